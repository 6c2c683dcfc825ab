// SPDX-License-Identifier: GPL-3.0-or-later
// Mouse events go through the window system, so a double-click arrives as a
// real one does: press, release, double-click, release.
#define QTEST_QPA_MOUSE_HANDLING

#include "corefixture.h"
#include "readonlyfolder.h"
#include "schedulemaker.h"
#include "uifakes.h"

#include "gui/frmschedule.h"
#include "gui/weektimelineview.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

// The schedule window shows its editor, the runner's highlight and the week,
// and hands clicks to the editor (whose rules tst_scheduleeditor tests).
class TestFrmSchedule : public QObject
{
    Q_OBJECT

    std::unique_ptr<CoreFixture> f;
    std::unique_ptr<FrmSchedule> w;

    Schedule &table() { return f->core->scheduleState.schedule; }
    template<typename T> T *child(const QString &name) { return ::child<T>(*w, name); }
    QLineEdit *cell(const char *column, int row)
    {
        return child<QLineEdit>(u"%1_%2"_s.arg(QLatin1String(column)).arg(row));
    }
    QPushButton *day(int index) { return child<QPushButton>(u"Command1_%1"_s.arg(index)); }
    QColor base(const char *column, int row) { return cell(column, row)->palette().color(QPalette::Base); }
    void open()
    {
        w = std::make_unique<FrmSchedule>(*f->core, f->clock, nullptr);
        w->show();
    }

private slots:
    void init()
    {
        f = std::make_unique<CoreFixture>();
        f->start();
        f->core->deviceState.modelNumber = 4;
    }

    void cleanup()
    {
        w.reset();
        f.reset();
    }

    void opensFilledAndFollowsTheRunner()
    {
        // On now (Monday 09:05:07): 09:00 to 10:00, ten minutes on in ten.
        table()[0] = makeSequence(2160, 40, 40, 2400, 1, 0b10);
        f->core->scheduleState.on = true;
        open();
        QCOMPARE(cell("txtStart", 0)->text() + day(1)->text(), u"9:00:00 x"_s);
        QVERIFY(!child<QLabel>(u"lblLocked"_s)->isVisible() && w->width() <= 1024 && w->height() <= 700);

        f->core->runner.tick(); // look ahead
        f->core->runner.tick(); // present: the T-ON cell turns yellow
        QCOMPARE(base("txtTON", 0), QColor(255, 255, 0));
        const QColor normal = QApplication::palette().color(QPalette::Base);
        QCOMPARE(base("txtOFF", 0), normal);

        auto *timer = child<QTimer>(u"Timer1"_s);
        QVERIFY(timer->isActive());
        w->close();
        QVERIFY(!timer->isActive() && !w->editor().editorOpen());

        open(); // before the runner's next tick: no highlight
        QCOMPARE(base("txtTON", 0), normal);
    }

    // Row, slider, logo press and double-click, day button and SAVE reach the
    // editor; a SAVE that cannot write says so.
    void clicksReachTheEditor()
    {
        open();
        QStringList shown;
        w->setMessageBoxHook([&shown](const QString &title, const QString &text) { shown << title << text; });
        QTest::mouseClick(cell("txtEnd", 3), Qt::LeftButton);
        QVERIFY(child<QRadioButton>(u"Option1_3"_s)->isChecked());
        child<QScrollBar>(u"VScroll1_0"_s)->setValue(1920);
        QCOMPARE(cell("txtStart", 3)->text(), u"8:00:00 "_s);
        child<QScrollBar>(u"VScroll1_1"_s)->setValue(40);
        QCOMPARE(table()[3].RepeatSteps, 40);

        QTest::mousePress(cell("txtLogo", 2), Qt::LeftButton);
        QTest::mouseRelease(cell("txtLogo", 2), Qt::LeftButton);
        QCOMPARE(cell("txtLogo", 2)->text(), u"1"_s);
        QVERIFY(child<QRadioButton>(u"Option1_2"_s)->isChecked());
        QTest::mouseDClick(cell("txtLogo", 2), Qt::LeftButton);
        QCOMPARE(table()[2].Logo, 3);

        QTest::mouseClick(day(38), Qt::LeftButton);
        QCOMPARE(day(38)->text(), u"x"_s);
        QCOMPARE(f->setting(u"S_Days"_s), u"<missing>"_s); // until SAVE
        QTest::mouseClick(child<QPushButton>(u"cmdButtons_1"_s), Qt::LeftButton);
        QVERIFY(f->setting(u"S_Days"_s).startsWith(u"0,0,0,0,0,8,"_s) && shown.isEmpty());

        QTest::mouseClick(day(39), Qt::LeftButton);
        ReadOnlyFolder folder(f->dir.path());
        if (!folder.refusesNewFiles())
            QSKIP("The folder cannot be made read-only here.");
        QTest::mouseClick(child<QPushButton>(u"cmdButtons_1"_s), Qt::LeftButton);
        QCOMPARE(shown.value(0), u"Save_Settings"_s);
        QVERIFY2(shown.value(1).contains(f->settings->fileName()), qPrintable(shown.value(1)));
    }

    void lockedDisablesTheRowsSlidersSaveAndScan()
    {
        f->core->scheduleState.locked = true;
        open();
        QStringList enabled;
        const QRegularExpression listed(u"^(Option1_|txt|Command1_|VScroll1_|cmdScan$|cmdButtons_1$)"_s);
        for (QWidget *widget : w->findChildren<QWidget *>(listed))
            if (widget->isEnabled() && !widget->isHidden())
                enabled << widget->objectName();
        QCOMPARE(enabled.join(u' '), QString());
        QVERIFY(child<QCheckBox>(u"chkAutoScan"_s)->isEnabled()
                && child<QPushButton>(u"cmdButtons_0"_s)->isEnabled()
                && child<QLabel>(u"lblLocked"_s)->isVisible());
    }

    void scanPaintsTheConflictingCells()
    {
        open();
        table()[0] = makeSequence(1920, 4, 480, 2000, 1, 0b10);
        table()[1] = makeSequence(1924, 4, 480, 2000, 2, 0b10);
        QTest::mouseClick(child<QPushButton>(u"cmdScan"_s), Qt::LeftButton);
        for (int index : {1, 8, 0, 2, 15})
            QCOMPARE(day(index)->palette().color(QPalette::Button),
                     index == 1 || index == 8 ? QColor(255, 128, 128)
                                              : QApplication::palette().color(QPalette::HighlightedText));
        QCOMPARE(cell("txtLogo", 1)->palette().color(QPalette::Text), QColor(255, 0, 0));
        QCOMPARE(cell("txtLogo", 2)->palette().color(QPalette::Text),
                 QApplication::palette().color(QPalette::WindowText));
        // The scan is over: the Auto Scan text is white again.
        QCOMPARE(child<QCheckBox>(u"chkAutoScan"_s)->palette().color(QPalette::WindowText),
                 QColor(Qt::white));
    }

    // The week under the grid follows changes; Ctrl+Z, Ctrl+Y and Edit undo/redo.
    void weekTimelineAndUndo()
    {
        // Sequence 3 on Monday, today: a minute every hour from 8:00.
        table()[2] = makeSequence(1920, 4, 240, 2400, 2, 0b10);
        open();
        auto *week = child<WeekTimelineView>(u"weekTimeline"_s);
        QVERIFY(week->isVisible() && week->y() > child<QWidget>(u"grid"_s)->geometry().bottom());
        const QRect bar = week->timeline().barRects(week->timelineGeometry(), 1, 2).value(0);
        QVERIFY(week->toolTipAt(bar.center()).startsWith(u"Sequence 3, logo 2:"_s));
        QSet<QRgb> colours; // one for each sequence
        for (int i = 0; i < ScheduleEditor::Rows; ++i)
            colours << WeekTimelineView::sequenceColour(i).rgb();
        QCOMPARE(colours.size(), ScheduleEditor::Rows);

        auto *undo = child<QAction>(u"mnuUndo"_s);
        auto *redo = child<QAction>(u"mnuRedo"_s);
        QVERIFY(!undo->isEnabled() && !redo->isEnabled());
        QTest::mouseClick(day(15), Qt::LeftButton);
        QVERIFY(week->timeline().sequencesOn(1).isEmpty() && undo->isEnabled());

        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTest::keyClick(w.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(day(15)->text(), u"x"_s);
        QCOMPARE(week->timeline().sequencesOn(1), QList<int>{2});
        QVERIFY(!undo->isEnabled() && redo->isEnabled());
        QTest::keyClick(w.get(), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(day(15)->text(), QString());
        undo->trigger();
        QCOMPARE(day(15)->text(), u"x"_s);
    }
};

QUILLON_TEST_MAIN(TestFrmSchedule)
#include "tst_frmschedule.moc"
