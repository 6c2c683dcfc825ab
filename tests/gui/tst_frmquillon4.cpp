// SPDX-License-Identifier: GPL-3.0-or-later
#include "corefixture.h"

#include "bitmapmaker.h"
#include "uifakes.h"

#include "gui/frmimportimage.h"
#include "gui/frmquillon4.h"
#include "gui/frmsplash.h"
#include "gui/logoview.h"
#include "gui/manuallauncher.h"
#include "logo/imageimport.h"
#include "scheduler/asrunlog.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

using namespace Qt::StringLiterals;

// The main window draws the core's state and hands the user's actions to it
// (the bytes of each operation are tst_cli's), and the windows it opens. The
// timers are not started: ticks are driven by hand.
class TestFrmQuillon4 : public QObject
{
    Q_OBJECT

    FixedChooser chooser;      // the window's file dialogs
    ScriptedPrompter prompter; // its input window
    std::unique_ptr<CoreFixture> f;
    std::unique_ptr<FrmQuillon4> w;

    template<typename T> T *child(const QString &name) { return ::child<T>(*w, name); }
    QAction *action(const QString &name) { return child<QAction>(name); }
    // A settings reply read by the link.
    void deviceSays(const QByteArray &reply)
    {
        f->port.receive(reply);
        for (int i = 0; i < 3; ++i)
            w->core().link.tick();
    }
    // Uses the control as the user would: a menu entry, a slider, a box,
    // the logo view or a button.
    void act(const QString &name, const QString &input)
    {
        auto *target = child<QObject>(name);
        if (auto *a = qobject_cast<QAction *>(target)) {
            a->trigger();
        } else if (auto *slider = qobject_cast<QScrollBar *>(target)) {
            // The time sliders send when let go, the others while dragged.
            slider->setSliderDown(true);
            slider->setSliderPosition(input.toInt());
            QCOMPARE(f->port.writes.isEmpty(), name.startsWith(u"hscrTime"_s));
            slider->setSliderDown(false);
        } else if (auto *box = qobject_cast<QLineEdit *>(target)) {
            box->setFocus();
            box->selectAll();
            QTest::keyClicks(box, input);
            QTest::mouseClick(box, Qt::LeftButton);
        } else if (auto *view = qobject_cast<LogoView *>(target)) { // dragged by 5, 5 pixels
            const QPoint start = view->pos();
            QTest::mousePress(view, Qt::LeftButton, {}, {20, 10});
            QTest::mouseMove(view, {25, 15});
            QTest::mouseRelease(view, Qt::LeftButton, {}, {25, 15});
            QCOMPARE(view->pos(), start + QPoint(5, 5));
        } else {
            qobject_cast<QAbstractButton *>(target)->click();
        }
    }

private slots:
    void init()
    {
        w.reset(); // before the fixture it uses
        f = std::make_unique<CoreFixture>();
        f->port.present = {2, 6};
        f->setSetting(u"ComPort"_s, u"6"_s);
        w = std::make_unique<FrmQuillon4>(*f->settings, f->port, f->clock,
                                          FrmQuillon4::Options{{}, false, false});
        w->setFileChooser(&chooser);
        prompter = ScriptedPrompter();
        w->setPrompter(&prompter);
        w->show();
        for (int i = 0; i < 30; ++i)
            w->core().link.wakeUpTick();
        f->port.writes.clear();
    }

    // File → Open Logo File draws the logo in the preview colours; File →
    // Import Image writes the bitmap beside the picture and loads it into
    // the current slot as any logo file.
    void openAndImportLogos()
    {
        BitmapMaker maker;
        maker.seed = 0; // row r filled with byte r: row 0 all clear, row 255... up to 63
        chooser.answer = f->dir.filePath(u"drawn.bmp"_s);
        QFile drawn(chooser.answer);
        QVERIFY(drawn.open(QIODevice::WriteOnly) && drawn.write(maker.bytes()) > 0);
        drawn.close();
        action(u"mnuOpenLogoFile"_s)->trigger();
        QCOMPARE(chooser.filter, u"BMP Files (*.bmp);;All Files (*)"_s);
        QCOMPARE(action(u"mnuRecentFile0"_s)->text(), chooser.answer);
        QVERIFY(action(u"mnuRecentFile0"_s)->isVisible());
        const QImage image = child<LogoView>(u"picPicture2"_s)->grab().toImage();
        // The bottom row (row 0, all bits clear) is drawn in the logo colour,
        // a light grey: intensity 99 % shown, mix not shown.
        QCOMPARE(image.pixelColor(image.width() / 2, image.height() - 1), QColor(252, 252, 252));

        QImage picture(300, 90, QImage::Format_ARGB32);
        picture.fill(Qt::transparent);
        QPainter(&picture).fillRect(50, 20, 200, 50, QColor(250, 250, 250));
        chooser.answer = f->dir.filePath(u"station.png"_s);
        QVERIFY(picture.save(chooser.answer));
        const ImageImport::Options chosen{.fit = ImageImport::Fit::Stretch, .invert = true};
        w->setImportDialogHook([&](FrmImportImage &dialog) {
            dialog.setOptions(chosen);
            QCOMPARE(dialog.logo(), ImageImport::convert(picture, chosen));
            dialog.accept();
        });
        action(u"mnuImportImage"_s)->trigger();
        const QString output = f->dir.filePath(u"station-logo.bmp"_s);
        QVERIFY(QFile::exists(output));
        QCOMPARE(w->core().logoState.logos[1], ImageImport::convert(picture, chosen));
        QCOMPARE(f->setting(u"BMPpath1"_s), output);

        // Not a picture (the settings file): reported, nothing loaded.
        chooser.answer = f->settings->fileName();
        action(u"mnuImportImage"_s)->trigger();
        QVERIFY(w->core().reporter.panelText().startsWith(u"Cannot read "_s));
        QCOMPARE(f->setting(u"BMPpath1"_s), output);
    }

    // Diag → Traffic Log records only while open and saves through the
    // file chooser (what it shows: the control table).
    void trafficLogSavesAndStops()
    {
        QVERIFY(!w->traffic().recording());
        action(u"mnuTrafficLog"_s)->trigger();
        QVERIFY(w->traffic().recording());
        child<QPushButton>(u"optTAKE"_s)->click();
        chooser.answer = f->dir.filePath(u"traffic.txt"_s);
        child<QPushButton>(u"cmdSave"_s)->click();
        QFile saved(chooser.answer);
        QVERIFY(saved.open(QIODevice::ReadOnly) && saved.readAll().endsWith("  TX  41 54 54  ATT\n"));
        child<QWidget>(u"trafficText"_s)->window()->close();
        QVERIFY(!w->traffic().recording());
    }

    // The Schedule menu's windows: the editor and the as-run log's file.
    void scheduleWindowsOpen()
    {
        QString title;
        QTimer::singleShot(0, this, [&title] {
            if (QWidget *modal = QApplication::activeModalWidget()) {
                title = modal->windowTitle();
                modal->close();
            }
        });
        action(u"mnuScheduleEdit0"_s)->trigger();
        QCOMPARE(title, u"QX-1 and  QX-4 Take Scheduler"_s);

        AsRunWriter writer{AsRunLog(f->dir.filePath(u"as-run.csv"_s))};
        w->core().runner.setAsRunLog(&writer);
        QString shown;
        w->setAsRunDialogHook([&](QDialog &dialog) {
            shown = dialog.findChild<QPlainTextEdit *>(u"asRunText"_s)->toPlainText();
        });
        action(u"mnuAsRunLog"_s)->trigger();
        QVERIFY(shown.startsWith(u"Nothing has been run yet"_s));
        const AsRunLog::Entry entry{f->clock.time, 4, 2, u"TAKE OFF"_s, true};
        QVERIFY(writer.log().append(entry).isEmpty());
        action(u"mnuAsRunLog"_s)->trigger();
        QCOMPARE(shown, AsRunLog::header() + u'\n' + AsRunLog::line(entry) + u'\n');
        w->core().runner.setAsRunLog(nullptr);
    }

    void closingDuringADownloadIsClean()
    {
        QVERIFY(!action(u"mnuDownloadLogotoRam"_s)->isEnabled()); // no reply yet
        action(u"mnuDiagSub8"_s)->trigger();                      // "Send Logo"
        for (int i = 0; i < 30; ++i)
            w->core().link.tick();
        QVERIFY(w->core().download.running() && QApplication::overrideCursor());
        w->close();
        QVERIFY(!f->port.isOpen() && !QApplication::overrideCursor());
    }

    // The about window links to the page and writes to the maintainers,
    // each only when set (by default from the build settings); the start-up
    // splash has no links and no system information.
    void aboutWindowLinks()
    {
        QApplication::setApplicationVersion(u"4.0.0"_s);
        const auto text = [](const FrmSplash &window, const char *name) {
            const auto *label = window.findChild<QLabel *>(QLatin1String(name));
            return label ? label->text() : u"(none)"_s;
        };
        const QString page = u"https://example.org/quillon"_s;
        const FrmSplash about(FrmSplash::Role::About, {page, u"team@example.org"_s}, nullptr);
        QVERIFY(text(about, "lblHomepage").contains(u"href=\"https://example.org/quillon\""_s));
        QVERIFY(text(about, "lblMail").contains(u"href=\"mailto:team@example.org?subject=Quillon%204.0.0"_s));
        QVERIFY(text(about, "lblSystemInfo").contains(QLatin1String(qVersion())));
        QVERIFY(text(about, "lblSystemInfo").contains(QSysInfo::currentCpuArchitecture()));
        const FrmSplash pageOnly(FrmSplash::Role::About, {page, QString()}, nullptr);
        QVERIFY(text(pageOnly, "lblHomepage").contains(u"href"_s));
        QCOMPARE(text(pageOnly, "lblMail"), u"(none)"_s);
        const FrmSplash neither(FrmSplash::Role::About, {}, nullptr);
        QCOMPARE(text(neither, "lblHomepage") + text(neither, "lblMail"), u"(none)(none)"_s);
        const FrmSplash splash(FrmSplash::Role::Startup, {page, QString()}, nullptr);
        QCOMPARE(text(splash, "lblHomepage") + text(splash, "lblSystemInfo"), u"(none)(none)"_s);
        QCOMPARE(FrmSplash::builtInLinks().homepage, QStringLiteral(EXPECTED_HOMEPAGE));
        QCOMPARE(FrmSplash::builtInLinks().email, QStringLiteral(EXPECTED_EMAIL));
    }

    // The manual is looked for in the program's folder first; opening it
    // says what went wrong.
    void manual()
    {
        QTemporaryDir program;
        QTemporaryDir docs;
        const QStringList folders{program.path(), docs.path()};
        const auto put = [](const QTemporaryDir &folder) { // returns where
            QFile file(folder.filePath(ManualLauncher::fileName()));
            return file.open(QIODevice::WriteOnly) && file.write("%PDF-1.4\n") > 0 ? file.fileName()
                                                                                   : QString();
        };
        QList<QUrl> opened;
        bool works = true;
        const auto viewer = [&](const QUrl &url) {
            opened << url;
            return works;
        };
        QCOMPARE(ManualLauncher::find(folders), QString());
        const QString missing = ManualLauncher::open({program.path()}, viewer);
        QVERIFY(missing.contains(ManualLauncher::fileName()) && missing.contains(program.path())
                && opened.isEmpty());
        QCOMPARE(ManualLauncher::find(folders), put(docs));
        const QString inProgram = put(program);
        QCOMPARE(ManualLauncher::find(folders), inProgram);
        QCOMPARE(ManualLauncher::searchFolders().constFirst(), QApplication::applicationDirPath());
        QCOMPARE(ManualLauncher::open({program.path()}, viewer), QString());
        QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(inProgram)});
        works = false;
        QVERIFY(!ManualLauncher::open({program.path()}, viewer).isEmpty());
    }

    // Each kind of control reaches its operation, and the window shows the
    // new state; the Diag entries ask their question and send their bytes
    // for the answer (an empty answer, or the window closed without Enter,
    // then sends nothing). The bytes of the plain operations are tst_cli's;
    // the node, store and upload menus are tst_faults' against qxsim.
    void controlsReachTheirOperations_data()
    {
        // Acted on in turn, the last one checked; "resetMenu": the Factory
        // Reset entry shown; "reply": the device's settings reply (input, in
        // hex); "report": two errors reported.
        QTest::addColumn<QString>("controls");
        QTest::addColumn<QString>("input"); // a slider's value, keys typed, an answer
        QTest::addColumn<QList<QByteArray>>("wire");
        // child.property=value, setting.Key=value, asked=the question each time
        QTest::addColumn<QStringList>("shows");
        using W = QList<QByteArray>;
        const auto row
            = [](const char *controls, const char *input, const W &wire, const QStringList &shows = {}) {
                  QTest::newRow(controls)
                      << QString::fromLatin1(controls) << QString::fromLatin1(input) << wire << shows;
              };
        row("hscrFade", "1", {"AFRc"}, {u"lblFade.text=5.00"_s, u"lblDiagSend.text=SendCom: AFRc"_s});
        row("hscrIntensity", "42", {"AIR*"});
        row("hscrTimeOn", "4", {QByteArray("APA\x04", 4)}, {u"lblOnTime.text=0:01:00"_s}); // sent when let go
        // At every key, "7" then "75" (7 % and 75 % of the NTSC range), and at a click.
        row("txtVPOS", "75", {"AVP08", "AVP2A", "AVP2A"}, {u"txtVPOS.text=75"_s});
        // 5 pixels right and down from where the reply put it (94, 30; the twips
        // behind the bytes are tst_panel's).
        row("picPicture2", "", {"AVP20", "AHP60"});
        row("optTAKE", "", {"ATT"});
        row("optLOGO3", "", {QByteArray("AJ03\0\0\0", 7)});
        row("mnuLogoSel3", "", {QByteArray("AJ03\0\0\0", 7)}, {u"mnuLogoSel3.checked=true"_s});
        row("mnuCopyright", "", {"ARC"});
        row("NTSC_PAL1", "", {"ATP", QByteArray(10, ' ')});
        row("mnuWakeUpAllNodes", "", {"WK,00"});
        row("mnuSetQXx7", "", {}, {u"w.windowTitle=Quillon - QX7 Selected"_s, u"mnuLogoSel7.visible=true"_s});
        // The port menu shows the device paths (the change, both lines put
        // to sleep, is tst_startup's).
        row("mnuCOMsel1", "", {"SP", "SP"},
            {u"mnuCOMsel1.text=COM&2"_s, u"mnuCOMsel2.toolTip=/dev/fake6"_s,
             u"mnuCOMsel2.statusTip=/dev/fake6"_s, u"mnuCOMsel3.visible=false"_s,
             u"mnuCOMsel1.checked=true"_s, u"mnuCOMsel2.checked=false"_s, u"txtCom.text=2"_s});
        // A QX-1's settings reply moves the controls and sends nothing back.
        row("reply", "533231635e370130301428", {},
            {u"hscrMix.value=49"_s, u"hscrFade.value=51"_s, u"hscrTimeInt.value=40"_s, u"txtHPOS.text=50"_s,
             u"w.windowTitle=Quillon - QX1 Node Detected"_s, u"mnuUpLoadLogo.visible=false"_s,
             u"mnuDownloadLogotoRam.enabled=true"_s,
             u"optTAKE.styleSheet=background-color: rgb(0,255,0);"_s});
        // Only a visible logo view can be zoomed (with "Show Fade" a TAKE off
        // hides it, without it not); zooming out shows it again.
        const char *takeOff = "730032635e1e00303014283031";
        QTest::newRow("TAKE off") << u"reply"_s << QString::fromLatin1(takeOff) << W{}
                                  << QStringList{u"picPicture2.visible=true"_s};
        row("mnuZoomOn", "", {}, {u"PicPicture1.visible=true"_s, u"mnuZoomOn.checked=true"_s});
        row("mnuZoomOn mnuZoomOff", "", {}, {u"PicPicture1.visible=false"_s, u"mnuZoomOff.checked=true"_s});
        row("mnuShowMode2 reply mnuZoomOn", takeOff, {},
            {u"PicPicture1.visible=false"_s, u"picPicture2.visible=false"_s, u"optTAKE.styleSheet="_s});
        row("mnuShowMode2 reply mnuZoomOff", takeOff, {}, {u"picPicture2.visible=true"_s});
        // The panel lock disables exactly its controls, not another slot's view.
        const auto enabled = [](const char *names, const char *on) {
            return QString(QLatin1String(names) + u' ')
                .replace(u" "_s, u".enabled="_s + QLatin1String(on) + u' ')
                .split(u' ', Qt::SkipEmptyParts);
        };
        const char *locked = "picPicture2 txtVPOS txtHPOS hscrTimeInt lblCycTime lblOnTime hscrTimeOn "
                             "hscrIntensity hscrMix hscrFade optTAKE NEGATE";
        row("mnuPanelLock", "", {},
            enabled(locked, "false")
                + enabled("NTSC_PAL0 NTSC_PAL1 lblFade lblRatio lblIntensity txtCom", "true")
                + QStringList{u"mnuSaveCurrentSettings.visible=true"_s, u"mnuPanelLock.checked=true"_s});
        row("mnuPanelLock mnuLogoSel2", "", {QByteArray("AJ02\0\0\0", 7)}, {u"picPicture2.enabled=true"_s});
        row("mnuPanelLock mnuPanelLock", "", {}, enabled(locked, "true"));
        // Entries that switch something on and off (once on, twice off):
        // their tick, what they show, the setting that remembers them ("Show
        // Dialog" makes room for the reply strip: 6125 twips).
        row("mnuDiagTools", "", {},
            {u"mnuDiagTools.checked=true"_s, u"mnuDiag.visible=true"_s, u"setting.DiagTools=True"_s});
        row("mnuDiagTools mnuDiagTools", "", {},
            {u"mnuDiagTools.checked=false"_s, u"mnuDiag.visible=false"_s, u"setting.DiagTools=False"_s});
        row("mnuDiagSub23", "", {},
            {u"mnuDiagSub23.checked=true"_s, u"replyStrip.visible=true"_s, u"setting.ShowReply=True"_s,
             u"w.height=408"_s});
        row("mnuDiagSub23 mnuDiagSub23", "", {},
            {u"mnuDiagSub23.checked=false"_s, u"replyStrip.visible=false"_s, u"setting.ShowReply=False"_s});
        row("mnuScheduleOnOff", "", {},
            {u"mnuScheduleOnOff.checked=true"_s, u"lblRunning.visible=true"_s, u"setting.ScheduleOn=True"_s});
        row("mnuScheduleOnOff mnuScheduleOnOff", "", {},
            {u"mnuScheduleOnOff.checked=false"_s, u"lblRunning.visible=false"_s,
             u"setting.ScheduleOn=False"_s});
        row("mnuScheduleEdit1", "", {}, {u"mnuScheduleEdit1.checked=true"_s, u"setting.Locked=True"_s});
        row("mnuScheduleEdit1 mnuScheduleEdit1", "", {},
            {u"mnuScheduleEdit1.checked=false"_s, u"setting.Locked=False"_s});
        // The traffic log shows each command, pauses and clears.
        row("mnuTrafficLog cmdPause cmdPause optTAKE", "", {"ATT"},
            {u"trafficText.visible=true"_s, u"trafficText.plainText=09:05:07.000  TX  41 54 54  ATT"_s});
        row("mnuTrafficLog cmdPause optTAKE", "", {"ATT"}, {u"trafficText.plainText="_s});
        row("mnuTrafficLog optTAKE cmdClear", "", {}, {u"trafficText.plainText="_s});
        // Errors stack in the panel until OK.
        row("report", "", {},
            {u"frameError.visible=true"_s, u"frameError.title=B"_s, u"lblErrMsg.text=one\ntwo"_s});
        row("report cmdErrOK", "", {}, {u"frameError.visible=false"_s});

        const auto asked
            = [](const char *question) { return QStringList{u"asked="_s + QLatin1String(question)}; };
        const QStringList fade = asked("Enter a Fade Rate (0-99)");
        const QStringList h = asked("Enter a Horizontal Position Percent (0-99)");
        const QStringList v = asked("Enter a Vertical Position Percent (0-99)");
        const QStringList on = asked("Enter Take ON Time (15-3825)Seconds");
        const QStringList model = asked("Enter a Model number (01,04,07,15,31)");
        const QStringList logo = asked("Enter a Logo number (1-4)");
        const QStringList wake = asked("Enter Node to Wake-up (1-255) 0=All.");
        QTest::newRow("fade 99") << u"mnuDiagSub3"_s << u"99"_s << W{QByteArray("AFR\0", 4)} << fade;
        QTest::newRow("fade 48.5 to even") << u"mnuDiagSub3"_s << u" 48.5s"_s << W{"AFR\x33"} << fade;
        row("mnuDiagSub4", "30", {"AFL\x45"}, asked("Enter a Mix Percent (0-99)"));
        row("mnuDiagSub5", "200", {"AIR\x63"}, asked("Enter an Intensity Percent (0-99)"));
        row("NTSC_PAL1 mnuDiagSub6", "50", {"AHP7D"}, h);
        row("mnuDiagSub6", "120", {"AHP9A"}, h);
        QTest::newRow("vert 50 pal") << u"NTSC_PAL1 mnuDiagSub7"_s << u"50"_s << W{"AVP24"} << v;
        QTest::newRow("vert -1 pal") << u"NTSC_PAL1 mnuDiagSub7"_s << u"-1"_s << W{"AVP04"} << v;
        row("mnuDiagSub12", "300", {"ANI,FF"}, asked("Enter an ID Number (1-255)"));
        QTest::newRow("on 15") << u"mnuDiagSub13"_s << u"15"_s << W{"APA\x01"} << on;
        QTest::newRow("on 99999") << u"mnuDiagSub13"_s << u"99999"_s << W{"APA\xFF"} << on;
        row("mnuDiagSub14", "1935", {"API\x81"}, asked("Enter Take OFF Time (15-3825)Seconds"));
        row("mnuDiagSub15", "", {"WK,00"}); // with Factory Reset hidden: all, unasked
        row("resetMenu mnuWakeUpNode", "", {"WK,00"});
        QTest::newRow("wake 300") << u"resetMenu mnuDiagSub15"_s << u"300"_s << W{"SP", "WK,FF"} << wake;
        QTest::newRow("wake text") << u"resetMenu mnuDiagSub15"_s << u"all"_s << W{"SP", "WK,00"} << wake;
        QTest::newRow("logo 9") << u"mnuDiagSub18"_s << u"9"_s << W{QByteArray("AJ04\0\0\0", 7)} << logo;
        QTest::newRow("logo text") << u"mnuDiagSub18"_s << u"x"_s << W{QByteArray("AJ01\0\0\0", 7)} << logo;
        row("mnuSetQXx0 mnuDiagSub18", "3", {QByteArray("AJ01\0\0\0", 7)},
            asked("Enter a Logo number (1-1)"));
        // Retrieve Logo and Factory Reset arm the upload wait; the copyright
        // request clears the label.
        row("mnuDiagSub19", "", {"ARM"});
        row("mnuDiagSub20", "", {"ACM"});
        QTest::newRow("model 3") << u"mnuDiagSub21"_s << u"3"_s << W{"ACT04"} << model;
        QTest::newRow("model 31") << u"mnuDiagSub21"_s << u"31"_s << W{"ACT31"} << model;
        row("mnuDiagSub22", "", {"ARC"}, {u"lblCopyright.text="_s});
    }
    void controlsReachTheirOperations()
    {
        QFETCH(QString, controls);
        QFETCH(QString, input);
        QFETCH(QList<QByteArray>, wire);
        QFETCH(QStringList, shows);
        // A device that answered: fade 50, mix 99, intensity 99, TAKE on.
        deviceSays(QByteArray("s\x00\x32\x63\x5E\x1E\x01\x30\x30\x14\x28", 11) + "01");
        w->core().reporter.setCopyright(u"(C) old"_s);
        prompter.answers = {input, u""_s, QString()};
        const QStringList steps = controls.split(u' ');
        for (const QString &step : steps) {
            f->port.writes.clear();
            if (step == u"resetMenu") {
                w->windowState().factoryResetVisible = true;
            } else if (step == u"reply") {
                deviceSays(QByteArray::fromHex(input.toLatin1()));
            } else if (step == u"report") {
                w->core().reporter.ReportError(u"one"_s, u"A"_s);
                w->core().reporter.ReportError(u"two"_s, u"B"_s);
            } else {
                act(step, input);
            }
        }
        for (int i = 0; i < 2 && !prompter.asked.isEmpty(); ++i) // answered empty, then closed
            act(steps.last(), input);
        QCOMPARE(f->port.writes, wire);
        QCOMPARE(w->core().link.awaitingLogoStream(), wire.contains("ARM") || wire.contains("ACM"));
        QCOMPARE(prompter.asked.isEmpty(), shows.filter(u"asked="_s).isEmpty());
        const auto lookUp = [this](const QString &name) {
            QObject *found = name == u"w" ? w.get() : child<QObject>(name);
            auto *menu = qobject_cast<QMenu *>(found);
            return menu ? menu->menuAction() : found;
        };
        for (const QString &item : shows) {
            const QString name = item.section(u'.', 0, 0).section(u'=', 0, 0);
            const QByteArray property = item.section(u'=', 0, 0).section(u'.', 1).toLatin1();
            const QString value = item.section(u'=', 1, -1);
            if (name == u"asked")
                QCOMPARE(prompter.asked, QStringList(3, value));
            else if (name == u"setting")
                QCOMPARE(f->setting(QString::fromLatin1(property)), value);
            else // of the window ("w"), a child, or a menu's entry in the menu bar
                QCOMPARE(lookUp(name)->property(property).toString(), value);
        }
    }
};

QUILLON_TEST_MAIN(TestFrmQuillon4)
#include "tst_frmquillon4.moc"
