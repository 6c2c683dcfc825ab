// SPDX-License-Identifier: GPL-3.0-or-later
#include "corefixture.h"

#include "bitmapmaker.h"
#include "readonlyfolder.h"

#include "logo/imageimport.h"
#include "scheduler/asrunlog.h"
#include "gui/filechooser.h"
#include "gui/frmimportimage.h"
#include "gui/frmquillon4.h"
#include "gui/logoview.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>

// Answers the open dialog with a prepared name.
class FixedChooser final : public FileChooser
{
public:
    QString answer;
    QString preset;
    QString filter;
    QString openFileName(QWidget *, const QString &, const QString &presetPath,
                         const QString &filterText) override
    {
        preset = presetPath;
        filter = filterText;
        return answer;
    }
    QString saveFileName(QWidget *, const QString &, const QString &presetPath,
                         const QString &filterText) override
    {
        preset = presetPath;
        filter = filterText;
        return answer;
    }
};

// The main window draws the core's state and hands the user's actions to it.
// The timers are not started: ticks are driven by hand.
class TestFrmQuillon4 : public QObject
{
    Q_OBJECT

    std::unique_ptr<CoreFixture> f;
    std::unique_ptr<FrmQuillon4> w;

    template<typename T> T *child(const QString &name)
    {
        T *found = w->findChild<T *>(name);
        if (!found)
            qFatal("no child %s", qPrintable(name));
        return found;
    }
    QAction *action(const QString &name) { return child<QAction>(name); }

private slots:
    void init()
    {
        f = std::make_unique<CoreFixture>();
        f->port.present = {2, 6};
        f->setSetting(QStringLiteral("ComPort"), QStringLiteral("6"));
        w = std::make_unique<FrmQuillon4>(*f->settings, f->port, f->clock,
                                          FrmQuillon4::Options{{}, false, false});
        w->show();
        for (int i = 0; i < 30; ++i)
            w->core().link.tmrComInit_Timer();
        f->port.writes.clear();
    }

    void cleanup()
    {
        w.reset();
        f.reset();
    }

    void portMenuShowsDevicePaths()
    {
        QAction *first = action(QStringLiteral("mnuCOMsel1"));
        QAction *second = action(QStringLiteral("mnuCOMsel2"));
        QVERIFY(first->isVisible());
        QCOMPARE(first->text(), QStringLiteral("COM&2"));
        QCOMPARE(second->toolTip(), QStringLiteral("/dev/fake6"));
        QCOMPARE(second->statusTip(), QStringLiteral("/dev/fake6"));
        QVERIFY(second->isChecked());
        QVERIFY(!action(QStringLiteral("mnuCOMsel3"))->isVisible());
        QCOMPARE(child<QLineEdit>(QStringLiteral("txtCom"))->text(), QStringLiteral("6"));

        first->trigger();
        QCOMPARE(f->port.openPort(), 2);
        QVERIFY(first->isChecked());
        QVERIFY(!second->isChecked());
        QCOMPARE(f->setting(QStringLiteral("ComPort")), QStringLiteral("2"));
    }

    // File → Import Image: the bitmap is written beside the picture and
    // loaded into the current slot as any logo file.
    void importImage()
    {
        QImage picture(300, 90, QImage::Format_ARGB32);
        picture.fill(Qt::transparent);
        for (int y = 20; y < 70; ++y)
            for (int x = 50; x < 250; ++x)
                picture.setPixel(x, y, qRgba(250, 250, 250, 255));
        const QString source = f->dir.filePath(QStringLiteral("station.png"));
        QVERIFY(picture.save(source));
        FixedChooser chooser;
        chooser.answer = source;
        w->setFileChooser(&chooser);
        ImageImport::Options chosen;
        chosen.fit = ImageImport::Fit::Stretch;
        chosen.invert = true;
        w->setImportDialogHook([&](FrmImportImage &dialog) {
            dialog.setOptions(chosen);
            QCOMPARE(dialog.logo(), ImageImport::convert(picture, chosen));
            dialog.accept();
        });
        action(QStringLiteral("mnuImportImage"))->trigger();

        const QString output = f->dir.filePath(QStringLiteral("station-logo.bmp"));
        QVERIFY(QFile::exists(output));
        QCOMPARE(w->core().state.logos[1], ImageImport::convert(picture, chosen));
        QCOMPARE(w->core().state.recentFiles[0], output);
        QCOMPARE(f->setting(QStringLiteral("BMPpath1")), output);

        // Not a picture: reported, nothing loaded.
        QFile junk(f->dir.filePath(QStringLiteral("junk.png")));
        QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write("not a picture") > 0);
        junk.close();
        chooser.answer = junk.fileName();
        action(QStringLiteral("mnuImportImage"))->trigger();
        QVERIFY(w->core().reporter.panelText().startsWith(QStringLiteral("Cannot read ")));
        QCOMPARE(w->core().state.recentFiles[0], output);
    }

    // In a folder that takes no new file, the bitmap beside the picture is
    // overwritten in place.
    void importImageIntoAReadOnlyFolder()
    {
        const QString folderPath = f->dir.filePath(QStringLiteral("pictures"));
        QVERIFY(QDir().mkdir(folderPath));
        QImage picture(256, 64, QImage::Format_RGB32);
        picture.fill(Qt::white);
        FixedChooser chooser;
        chooser.answer = folderPath + QStringLiteral("/station.png");
        QVERIFY(picture.save(chooser.answer));
        QFile output(folderPath + QStringLiteral("/station-logo.bmp"));
        QVERIFY(output.open(QIODevice::WriteOnly) && output.write("old") == 3);
        output.close();
        w->setFileChooser(&chooser);
        w->setImportDialogHook([&output](FrmImportImage &dialog) {
            dialog.setOutputName(output.fileName());
            dialog.accept();
        });
        {
            ReadOnlyFolder folder(folderPath);
            if (!folder.refusesNewFiles())
                QSKIP("The folder cannot be made read-only here.");
            action(QStringLiteral("mnuImportImage"))->trigger();
        }
        QCOMPARE(w->core().state.recentFiles[0], output.fileName());
        QCOMPARE(output.size(), 62 + 2048);
    }

    // Diag → Traffic Log: records while open, shows each command and reply,
    // pauses, clears, saves through the file chooser.
    void trafficLogWindow()
    {
        QVERIFY(!w->traffic().recording());
        action(QStringLiteral("mnuTrafficLog"))->trigger();
        auto *text = w->findChild<QPlainTextEdit *>(QStringLiteral("trafficText"));
        QVERIFY(text && text->isVisible());
        QVERIFY(w->traffic().recording());
        child<QPushButton>(QStringLiteral("optTAKE"))->click();
        QVERIFY2(text->toPlainText().endsWith(QStringLiteral("TX  41 54 54  ATT")),
                 qPrintable(text->toPlainText()));

        child<QPushButton>(QStringLiteral("cmdPause"))->click();
        child<QPushButton>(QStringLiteral("optTAKE"))->click();
        QCOMPARE(text->toPlainText().count(QLatin1Char('\n')), 0);
        child<QPushButton>(QStringLiteral("cmdPause"))->click();

        FixedChooser chooser;
        chooser.answer = f->dir.filePath(QStringLiteral("traffic.txt"));
        w->setFileChooser(&chooser);
        child<QPushButton>(QStringLiteral("cmdSave"))->click();
        QFile saved(chooser.answer);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QVERIFY(saved.readAll().endsWith("ATT\n"));

        child<QPushButton>(QStringLiteral("cmdClear"))->click();
        QVERIFY(text->toPlainText().isEmpty());
        text->window()->close();
        QVERIFY(!w->traffic().recording());
    }

    void asRunLogEntryShowsTheFile()
    {
        AsRunWriter writer{AsRunLog(f->dir.filePath(QStringLiteral("as-run.csv")))};
        const AsRunLog &log = writer.log();
        w->core().runner.setAsRunLog(&writer);
        QString shown;
        w->setAsRunDialogHook([&](QDialog &dialog) {
            shown = dialog.findChild<QPlainTextEdit *>(QStringLiteral("asRunText"))->toPlainText();
        });
        action(QStringLiteral("mnuAsRunLog"))->trigger();
        QVERIFY(shown.startsWith(QStringLiteral("Nothing has been run yet")));
        QVERIFY(log.append({f->clock.time, 4, 2, QStringLiteral("TAKE OFF"), true}).isEmpty());
        action(QStringLiteral("mnuAsRunLog"))->trigger();
        QCOMPARE(shown, AsRunLog::header() + QStringLiteral("\n")
                            + AsRunLog::line({f->clock.time, 4, 2, QStringLiteral("TAKE OFF"), true})
                            + QStringLiteral("\n"));

        // A named pipe in its place is told for what it is, never waited on.
        const QString pipe = f->dir.filePath(QStringLiteral("pipe.csv"));
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0644), 0);
        AsRunWriter piped{AsRunLog(pipe)};
        w->core().runner.setAsRunLog(&piped);
        action(QStringLiteral("mnuAsRunLog"))->trigger();
        QVERIFY2(shown.contains(QStringLiteral("is a named pipe")), qPrintable(shown));
        w->core().runner.setAsRunLog(nullptr);
    }

    void slidersSendThroughTheCore()
    {
        child<QScrollBar>(QStringLiteral("hscrFade"))->setValue(1);
        QCOMPARE(f->port.writes, QList<QByteArray>{QByteArray("AFR\x63", 4)});
        QCOMPARE(child<QLabel>(QStringLiteral("lblFade"))->text(), QStringLiteral("5.00"));
        QCOMPARE(child<QLabel>(QStringLiteral("lblDiagSend"))->text(), QStringLiteral("SendCom: AFRc"));

        // The time sliders send when released, not while dragged.
        auto *on = child<QScrollBar>(QStringLiteral("hscrTimeOn"));
        f->port.writes.clear();
        on->setSliderDown(true);
        on->setSliderPosition(4);
        QCOMPARE(child<QLabel>(QStringLiteral("lblOnTime"))->text(), QStringLiteral("0:01:00"));
        QVERIFY(f->port.writes.isEmpty());
        on->setSliderDown(false);
        QCOMPARE(f->port.writes, QList<QByteArray>{QByteArray("APA\x04", 4)});
    }

    void replyMovesControlsWithoutEcho()
    {
        f->port.receive(QByteArray("S\x32\x31\x63\x5E\x37\x01\x30\x30\x14\x28", 11));
        for (int i = 0; i < 3; ++i)
            w->core().link.tmr_Delay_Timer();
        QCOMPARE(child<QScrollBar>(QStringLiteral("hscrMix"))->value(), 49);
        QCOMPARE(child<QScrollBar>(QStringLiteral("hscrFade"))->value(), 51);
        QCOMPARE(child<QScrollBar>(QStringLiteral("hscrTimeInt"))->value(), 40);
        QCOMPARE(child<QLineEdit>(QStringLiteral("txtHPOS"))->text(), QStringLiteral("50"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Quillon - QX1 Node Detected"));
        QVERIFY(!action(QStringLiteral("mnuUpLoadLogo"))->isVisible());
        QVERIFY(action(QStringLiteral("mnuDownloadLogotoRam"))->isEnabled());
        QCOMPARE(child<QPushButton>(QStringLiteral("optTAKE"))->palette().color(QPalette::Button),
                 QColor(0, 255, 0));
        QVERIFY(f->port.writes.isEmpty());
    }

    void errorPanelStacksAndHides()
    {
        auto *panel = child<QGroupBox>(QStringLiteral("frameError"));
        QVERIFY(!panel->isVisible());
        w->core().reporter.ReportError(QStringLiteral("one"), QStringLiteral("A"));
        w->core().reporter.ReportError(QStringLiteral("two"), QStringLiteral("B"));
        QVERIFY(panel->isVisible());
        QCOMPARE(panel->title(), QStringLiteral("B"));
        QCOMPARE(child<QLabel>(QStringLiteral("lblErrMsg"))->text(), QStringLiteral("one\ntwo"));
        for (int i = 0; i < 200; ++i)
            w->core().link.tmr_Delay_Timer();
        QVERIFY(!panel->isVisible());
        w->core().reporter.ReportError(QStringLiteral("three"), QStringLiteral("C"));
        QTest::mouseClick(child<QPushButton>(QStringLiteral("cmdErrOK")), Qt::LeftButton);
        QVERIFY(!panel->isVisible());
    }

    void diagnosticToolsAndReplyStripAreRemembered()
    {
        QAction *tools = action(QStringLiteral("mnuDiagTools"));
        auto *diag = child<QMenu>(QStringLiteral("mnuDiag"));
        QVERIFY(!diag->menuAction()->isVisible());
        tools->trigger();
        tools->trigger();
        tools->trigger();
        QVERIFY(diag->menuAction()->isVisible());
        QVERIFY(tools->isChecked());
        QCOMPARE(f->setting(QStringLiteral("DiagTools")), QStringLiteral("True"));

        auto *strip = child<QWidget>(QStringLiteral("replyStrip"));
        QVERIFY(!strip->isVisible());
        action(QStringLiteral("mnuDiagSub23"))->trigger();
        QVERIFY(strip->isVisible());
        QCOMPARE(f->setting(QStringLiteral("ShowReply")), QStringLiteral("True"));
        QVERIFY(w->height() >= 6125 / 15);
        action(QStringLiteral("mnuDiagSub23"))->trigger();
        QVERIFY(!strip->isVisible());
        QCOMPARE(f->setting(QStringLiteral("ShowReply")), QStringLiteral("False"));
        QVERIFY(f->port.writes.isEmpty());
    }

    void panelLockDisablesExactlyItsControls()
    {
        action(QStringLiteral("mnuPanelLock"))->trigger();
        const QStringList locked{
            QStringLiteral("picPicture2"), QStringLiteral("txtVPOS"),       QStringLiteral("txtHPOS"),
            QStringLiteral("hscrTimeInt"), QStringLiteral("lblCycTime"),    QStringLiteral("lblOnTime"),
            QStringLiteral("hscrTimeOn"),  QStringLiteral("hscrIntensity"), QStringLiteral("hscrMix"),
            QStringLiteral("hscrFade"),    QStringLiteral("optTAKE"),       QStringLiteral("NEGATE")};
        for (const QString &name : locked)
            QVERIFY2(!child<QWidget>(name)->isEnabled(), qPrintable(name));
        for (const QString &name :
             {QStringLiteral("NTSC_PAL0"), QStringLiteral("NTSC_PAL1"), QStringLiteral("lblFade"),
              QStringLiteral("lblRatio"), QStringLiteral("lblIntensity"), QStringLiteral("txtCom")})
            QVERIFY2(child<QWidget>(name)->isEnabled(), qPrintable(name));
        QVERIFY(action(QStringLiteral("mnuSaveCurrentSettings"))->isVisible());
        QVERIFY(action(QStringLiteral("mnuPanelLock"))->isChecked());
        // Another slot's view is not locked.
        action(QStringLiteral("mnuLogoSel2"))->trigger();
        QVERIFY(child<QWidget>(QStringLiteral("picPicture2"))->isEnabled());
        action(QStringLiteral("mnuPanelLock"))->trigger();
        for (const QString &name : locked)
            QVERIFY2(child<QWidget>(name)->isEnabled(), qPrintable(name));
    }

    // A drag moves the logo view as far as the mouse went from where the
    // button went down, and sends that position.
    void draggingTheLogoView()
    {
        auto *view = child<LogoView>(QStringLiteral("picPicture2"));
        const auto drag = [&](QPoint from, QPoint to) {
            for (int i = 0; i < 3; ++i) // a move every three ticks at most
                w->core().link.tmr_Delay_Timer();
            f->port.writes.clear();
            const auto send = [view](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
                QMouseEvent event(type, at, view->mapToGlobal(at),
                                  type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                                  Qt::NoModifier);
                QApplication::sendEvent(view, &event);
            };
            send(QEvent::MouseButtonPress, from, Qt::LeftButton);
            send(QEvent::MouseMove, to, Qt::LeftButton);
            send(QEvent::MouseButtonRelease, to, Qt::NoButton);
        };
        drag({30, 10}, {-1000, -1000}); // to the top left corner: 60, 240 twips
        const QPoint corner = view->pos();
        drag({20, 10}, {25, 15});
        QCOMPARE(view->pos(), corner + QPoint(5, 5));
        QCOMPARE(w->core().state.panel.previewLeft, 60 + 75);
        QCOMPARE(w->core().state.panel.previewTop, 240 + 75);
        // 2 % and 3 % on NTSC
        QCOMPARE(f->port.writes, (QList<QByteArray>{"AVP06", "AHP24"}));
        drag({40, 20}, {38, 23});
        QCOMPARE(view->pos(), corner + QPoint(3, 8));
        // 1 % and 4 %
        QCOMPARE(f->port.writes, (QList<QByteArray>{"AVP06", "AHP23"}));
    }

    void typingAPositionSendsAtEveryKey()
    {
        auto *box = child<QLineEdit>(QStringLiteral("txtVPOS"));
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, QStringLiteral("75"));
        // "7" then "75": 7 % and 75 % of the NTSC range.
        QCOMPARE(f->port.writes, (QList<QByteArray>{"AVP08", "AVP2A"}));
        QCOMPARE(box->text(), QStringLiteral("75"));
        QTest::keyClicks(box, QStringLiteral("0"));
        QCOMPARE(box->text(), QStringLiteral("100"));
        QCOMPARE(f->port.writes.last(), QByteArray("AVP37"));
    }

    void openedLogoIsDrawnInThePreviewColours()
    {
        FixedChooser chooser;
        w->setFileChooser(&chooser);
        BitmapMaker maker;
        maker.seed = 0; // row r filled with byte r: row 0 all clear, row 255... up to 63
        const QString path = f->dir.filePath(QStringLiteral("drawn.bmp"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(maker.bytes());
        file.close();
        chooser.answer = path;
        action(QStringLiteral("mnuOpenLogoFile"))->trigger();
        QCOMPARE(chooser.filter, QStringLiteral("BMP Files (*.bmp);;All Files (*)"));
        QCOMPARE(action(QStringLiteral("mnuRecentFile0"))->text(), path);
        QVERIFY(action(QStringLiteral("mnuRecentFile0"))->isVisible());

        const QImage image = child<LogoView>(QStringLiteral("picPicture2"))->grab().toImage();
        QVERIFY(!image.isNull());
        // The bottom row (row 0, all bits clear) is drawn in the logo colour,
        // a light grey: intensity 99 % shown, mix not shown.
        const QColor bottom = image.pixelColor(image.width() / 2, image.height() - 1);
        QCOMPARE(bottom, QColor(252, 252, 252));
        // Row 63 holds 0x3F: pixels 0 and 1 clear, 2 to 7 set (background blue).
        const QImage logo = LogoView::render(w->core().state.logos[1], 64, w->core().state.viewColours);
        QCOMPARE(logo.pixelColor(0, 0), QColor(252, 252, 252));
        QCOMPARE(logo.pixelColor(2, 0), QColor(0, 0, 255));
        QCOMPARE(child<QLineEdit>(QStringLiteral("txtCom"))->text(), QStringLiteral("6"));
    }

    void closingDuringADownloadIsClean()
    {
        QVERIFY(!action(QStringLiteral("mnuDownloadLogotoRam"))->isEnabled()); // no reply yet
        action(QStringLiteral("mnuDiagSub8"))->trigger();                      // "Send Logo"
        for (int i = 0; i < 30; ++i)
            w->core().link.tmr_Delay_Timer();
        QVERIFY(w->core().download.running());
        QVERIFY(QApplication::overrideCursor());
        w->close();
        QVERIFY(!f->port.isOpen());
        QVERIFY(!QApplication::overrideCursor());
        w.reset();
    }

    void zoomShowsTheFullSizeView()
    {
        auto *full = child<QWidget>(QStringLiteral("PicPicture1"));
        QVERIFY(!full->isVisible());
        action(QStringLiteral("mnuZoomOn"))->trigger();
        QVERIFY(full->isVisible());
        QVERIFY(action(QStringLiteral("mnuZoomOn"))->isChecked());
        action(QStringLiteral("mnuZoomOff"))->trigger();
        QVERIFY(!full->isVisible());
        QVERIFY(action(QStringLiteral("mnuZoomOff"))->isChecked());
    }

    void scheduleMenus()
    {
        QString title;
        QTimer::singleShot(0, this, [&title] {
            QWidget *modal = QApplication::activeModalWidget();
            title = modal ? modal->windowTitle() : QString();
            if (modal)
                modal->close();
        });
        action(QStringLiteral("mnuScheduleEdit0"))->trigger();
        QCOMPARE(title, QStringLiteral("QX-1 and  QX-4 Take Scheduler"));

        action(QStringLiteral("mnuScheduleEdit1"))->trigger();
        QVERIFY(action(QStringLiteral("mnuScheduleEdit1"))->isChecked());
        QCOMPARE(f->setting(QStringLiteral("Locked")), QStringLiteral("True"));
        action(QStringLiteral("mnuScheduleOnOff"))->trigger();
        QVERIFY(action(QStringLiteral("mnuScheduleOnOff"))->isChecked());
        QVERIFY(child<QLabel>(QStringLiteral("lblRunning"))->isVisible());
        QCOMPARE(f->setting(QStringLiteral("ScheduleOn")), QStringLiteral("True"));
    }

    void menusSendTheirCommands()
    {
        action(QStringLiteral("mnuAllNodesSleep"))->trigger();
        action(QStringLiteral("mnuWakeUpAllNodes"))->trigger();
        action(QStringLiteral("mnuCopyright"))->trigger();
        action(QStringLiteral("mnuLogoSel3"))->trigger();
        action(QStringLiteral("mnuSetQXx7"))->trigger();
        const QList<QByteArray> expected{"SP", "WK,00", "ARC", QByteArray("AJ03\0\0\0", 7)};
        QCOMPARE(f->port.writes, expected);
        QVERIFY(action(QStringLiteral("mnuLogoSel3"))->isChecked());
        QCOMPARE(w->windowTitle(), QStringLiteral("Quillon - QX7 Selected"));
        QVERIFY(action(QStringLiteral("mnuLogoSel7"))->isVisible());
        QCOMPARE(f->setting(QStringLiteral("QX_Model")), QStringLiteral("7"));
    }
};

QUILLON_TEST_MAIN(TestFrmQuillon4)
#include "tst_frmquillon4.moc"
