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
#include <QScrollBar>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

// The schedule editor window draws its editor, the runner's highlight and the
// week under the grid, hands clicks and slider moves to the editor and undoes
// from its Edit menu. Timer ticks are driven by hand.
class TestFrmSchedule : public QObject
{
    Q_OBJECT

    std::unique_ptr<CoreFixture> f;
    std::unique_ptr<FrmSchedule> w;

    Schedule &table() { return f->core->state.schedule; }
    template<typename T> T *child(const QString &name) { return ::child<T>(*w, name); }
    QLineEdit *cell(const char *column, int row)
    {
        return child<QLineEdit>(u"%1_%2"_s.arg(QLatin1String(column)).arg(row));
    }
    QPushButton *day(int index) { return child<QPushButton>(u"Command1_%1"_s.arg(index)); }
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
        f->core->state.modelNumber = 4;
    }

    void cleanup()
    {
        w.reset();
        f.reset();
    }

    void opensFilledAndFollowsTheRunner()
    {
        // On now (Monday 09:05:07): 09:00 to 10:00, ten minutes on in ten.
        table()[0] = ScheduleSequence{2160, 2400, 40, 40, 1, {false, true}, false};
        f->core->state.scheduleOn = true;
        open();
        QCOMPARE(cell("txtStart", 0)->text(), u"9:00:00 "_s);
        QCOMPARE(cell("txtStart", 1)->text(), u"Off     "_s);
        QCOMPARE(day(1)->text(), u"x"_s);
        QVERIFY(child<QRadioButton>(u"Option1_20"_s)->isChecked());
        QVERIFY(!child<QLabel>(u"lblLocked"_s)->isVisible());
        QVERIFY(w->width() <= 1024 && w->height() <= 700);

        f->core->runner.tick(); // look ahead
        f->core->runner.tick(); // present: the T-ON cell turns yellow
        QCOMPARE(cell("txtTON", 0)->palette().color(QPalette::Base), QColor(255, 255, 0));
        const QColor normal = QApplication::palette().color(QPalette::Base);
        QCOMPARE(cell("txtOFF", 0)->palette().color(QPalette::Base), normal);

        auto *timer = child<QTimer>(u"Timer1"_s);
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 500);
        w->close();
        QVERIFY(!timer->isActive());
        QVERIFY(!w->editor().editorOpen());

        // Opened again, before the runner's next tick or with the scheduler
        // stopped: nothing is highlighted.
        open();
        QCOMPARE(cell("txtTON", 0)->palette().color(QPalette::Base), normal);
        w->close();
        f->core->state.scheduleOn = false;
        open();
        QCOMPARE(cell("txtTON", 0)->palette().color(QPalette::Base), normal);
    }

    void rowClickAndSliderEditTheTable()
    {
        open();
        QTest::mouseClick(cell("txtEnd", 3), Qt::LeftButton);
        QVERIFY(child<QRadioButton>(u"Option1_3"_s)->isChecked());
        child<QScrollBar>(u"VScroll1_0"_s)->setValue(1920);
        QCOMPARE(cell("txtStart", 3)->text(), u"8:00:00 "_s);
        QCOMPARE(table()[3].Start, 1920);
        child<QScrollBar>(u"VScroll1_1"_s)->setValue(40);
        QCOMPARE(cell("txtOFF", 3)->text(), u"0:10:00 "_s);
        QCOMPARE(table()[3].RepeatSteps, 40);
    }

    void logoCellAdvancesOnPressAndDoubleClick()
    {
        open();
        QTest::mousePress(cell("txtLogo", 2), Qt::LeftButton);
        QTest::mouseRelease(cell("txtLogo", 2), Qt::LeftButton);
        QCOMPARE(cell("txtLogo", 2)->text(), u"1"_s);
        QVERIFY(child<QRadioButton>(u"Option1_2"_s)->isChecked());
        QTest::mouseDClick(cell("txtLogo", 2), Qt::LeftButton);
        QCOMPARE(cell("txtLogo", 2)->text(), u"3"_s);
        QCOMPARE(table()[2].Logo, 3);
    }

    void dayButtonsToggleAndSaveStores()
    {
        open();
        QTest::mouseClick(day(38), Qt::LeftButton);
        QCOMPARE(day(38)->text(), u"x"_s);
        QVERIFY(table()[5].Days[3]);
        QTest::mouseClick(child<QPushButton>(u"cmdButtons_1"_s), Qt::LeftButton);
        QVERIFY(f->setting(u"S_Days"_s).startsWith(u"0,0,0,0,0,8,"_s));
        QTest::mouseClick(day(38), Qt::LeftButton);
        QCOMPARE(day(38)->text(), QString());
    }

    void saveThatCannotWriteSaysSo()
    {
        open();
        QStringList shown;
        w->setMessageBoxHook([&shown](const QString &title, const QString &text) { shown << title << text; });
        QTest::mouseClick(day(38), Qt::LeftButton);
        auto *save = child<QPushButton>(u"cmdButtons_1"_s);
        {
            ReadOnlyFolder folder(f->dir.path());
            if (!folder.refusesNewFiles())
                QSKIP("The folder cannot be made read-only here.");
            QTest::mouseClick(save, Qt::LeftButton);
        }
        QCOMPARE(shown.value(0), u"Save_Settings"_s);
        QVERIFY2(shown.value(1).contains(f->settings->fileName()), qPrintable(shown.value(1)));
        shown.clear();
        QTest::mouseClick(save, Qt::LeftButton);
        QVERIFY(shown.isEmpty());
    }

    void lockedDisablesTheRowsSlidersSaveAndScan()
    {
        f->core->state.scheduleLocked = true;
        open();
        QStringList enabled;
        for (QWidget *widget : w->findChildren<QWidget *>()) {
            const QString name = widget->objectName();
            const bool listed = name.startsWith(u"Option1_"_s) || name.startsWith(u"txt"_s)
                                || name.startsWith(u"Command1_"_s) || name.startsWith(u"VScroll1_"_s)
                                || name == u"cmdScan"_s || name == u"cmdButtons_1"_s;
            if (listed && widget->isEnabled() && !widget->isHidden())
                enabled << name;
        }
        QCOMPARE(enabled.join(u' '), QString());
        QVERIFY(child<QCheckBox>(u"chkAutoScan"_s)->isEnabled());
        QVERIFY(child<QPushButton>(u"cmdButtons_0"_s)->isEnabled());
        QVERIFY(child<QLabel>(u"lblLocked"_s)->isVisible());
    }

    void scanPaintsTheConflictingCells()
    {
        open();
        table()[0] = ScheduleSequence{1920, 2000, 4, 480, 1, {false, true}, false};
        table()[1] = ScheduleSequence{1924, 2000, 4, 480, 2, {false, true}, false};
        QTest::mouseClick(child<QPushButton>(u"cmdScan"_s), Qt::LeftButton);
        const QColor normalDay = QApplication::palette().color(QPalette::HighlightedText);
        for (int index : {1, 8})
            QCOMPARE(day(index)->palette().color(QPalette::Button), QColor(255, 128, 128));
        for (int index : {0, 2, 15})
            QCOMPARE(day(index)->palette().color(QPalette::Button), normalDay);
        QCOMPARE(cell("txtLogo", 1)->palette().color(QPalette::Text), QColor(255, 0, 0));
        QCOMPARE(cell("txtLogo", 2)->palette().color(QPalette::Text),
                 QApplication::palette().color(QPalette::WindowText));
        // The scan is over: the Auto Scan text is white again.
        auto *autoScan = child<QCheckBox>(u"chkAutoScan"_s);
        QCOMPARE(autoScan->palette().color(QPalette::WindowText), QColor(Qt::white));
    }

    void weekTimelineAndUndo()
    {
        // Sequence 3 on Monday, today: a minute every hour from 8:00.
        table()[2] = makeSequence(1920, 4, 240, 2400, 2, 0b10);
        open();
        auto *week = child<WeekTimelineView>(u"weekTimeline"_s);
        QVERIFY(week->isVisible());
        QVERIFY(week->y() > child<QWidget>(u"grid"_s)->geometry().bottom());
        const QRect bar = week->timeline().barRects(week->timelineGeometry(), 1, 2).value(0);
        QVERIFY(week->toolTipAt(bar.center()).startsWith(u"Sequence 3, logo 2:"_s));
        QSet<QRgb> colours;
        for (int i = 0; i < ScheduleEditor::Rows; ++i)
            colours << WeekTimelineView::sequenceColour(i).rgb();
        QCOMPARE(colours.size(), ScheduleEditor::Rows);

        auto *undo = child<QAction>(u"mnuUndo"_s);
        auto *redo = child<QAction>(u"mnuRedo"_s);
        QVERIFY(!undo->isEnabled() && !redo->isEnabled());
        QTest::mouseClick(day(15), Qt::LeftButton);
        QVERIFY(week->timeline().sequencesOn(1).isEmpty());
        QVERIFY(undo->isEnabled());

        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTest::keyClick(w.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(day(15)->text(), u"x"_s);
        QVERIFY(table()[2].Days[1]);
        QCOMPARE(week->timeline().sequencesOn(1), QList<int>{2});
        QVERIFY(!undo->isEnabled() && redo->isEnabled());
        QTest::keyClick(w.get(), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(day(15)->text(), QString());
        undo->trigger();
        QCOMPARE(day(15)->text(), u"x"_s);
    }
};

QTEST_MAIN(TestFrmSchedule)
#include "tst_frmschedule.moc"
