// SPDX-License-Identifier: GPL-3.0-or-later
// Mouse events go through the window system, so a double-click arrives as a
// real one does: press, release, double-click, release.
#define QTEST_QPA_MOUSE_HANDLING

#include "corefixture.h"
#include "readonlyfolder.h"
#include "schedulemaker.h"

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

// The schedule editor window draws its editor, the runner's highlight and the
// week under the grid, hands clicks and slider moves to the editor and undoes
// from its Edit menu. Timer ticks are driven by hand.
class TestFrmSchedule : public QObject
{
    Q_OBJECT

    std::unique_ptr<CoreFixture> f;
    std::unique_ptr<FrmSchedule> w;

    Schedule &table() { return f->core->state.schedule; }
    template<typename T> T *child(const QString &name)
    {
        T *found = w->findChild<T *>(name);
        if (!found)
            qFatal("no child %s", qPrintable(name));
        return found;
    }
    QLineEdit *cell(const char *column, int row)
    {
        return child<QLineEdit>(QStringLiteral("%1_%2").arg(QLatin1String(column)).arg(row));
    }
    QPushButton *day(int index) { return child<QPushButton>(QStringLiteral("Command1_%1").arg(index)); }
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
        QCOMPARE(w->objectName(), QStringLiteral("frmSchedule"));
        QCOMPARE(w->windowTitle(), QStringLiteral("QX-1 and  QX-4 Take Scheduler"));
        QCOMPARE(child<QLabel>(QStringLiteral("Label1"))->text(),
                 QStringLiteral("START     T-ON     REPEAT     END     LOGO  S M T W T F S"));
        QCOMPARE(child<QLabel>(QStringLiteral("Label3"))->text(), QStringLiteral("Start  T-ON  Repeat  End"));
        QCOMPARE(cell("txtStart", 0)->text(), QStringLiteral("9:00:00 "));
        QCOMPARE(cell("txtStart", 1)->text(), QStringLiteral("Off     "));
        QCOMPARE(day(1)->text(), QStringLiteral("x"));
        QVERIFY(child<QRadioButton>(QStringLiteral("Option1_20"))->isChecked());
        QVERIFY(!child<QLabel>(QStringLiteral("lblLocked"))->isVisible());
        auto *end = child<QScrollBar>(QStringLiteral("VScroll1_3"));
        QCOMPARE(end->minimum(), -1);
        QCOMPARE(end->maximum(), 5760);
        QCOMPARE(end->pageStep(), 240);
        QVERIFY(w->width() <= 1024 && w->height() <= 700);

        f->core->runner.tmrSchedule_Timer(); // look ahead
        f->core->runner.tmrSchedule_Timer(); // present: the T-ON cell turns yellow
        QCOMPARE(cell("txtTON", 0)->palette().color(QPalette::Base), QColor(255, 255, 0));
        const QColor normal = QApplication::palette().color(QPalette::Base);
        QCOMPARE(cell("txtOFF", 0)->palette().color(QPalette::Base), normal);

        auto *timer = child<QTimer>(QStringLiteral("Timer1"));
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
        QVERIFY(child<QRadioButton>(QStringLiteral("Option1_3"))->isChecked());
        child<QScrollBar>(QStringLiteral("VScroll1_0"))->setValue(1920);
        QCOMPARE(cell("txtStart", 3)->text(), QStringLiteral("8:00:00 "));
        QCOMPARE(table()[3].Start, 1920);
        QCOMPARE(child<QScrollBar>(QStringLiteral("VScroll1_3"))->value(), 1921);
        QCOMPARE(cell("txtEnd", 3)->text(), QStringLiteral("8:00:15 "));
        child<QScrollBar>(QStringLiteral("VScroll1_1"))->setValue(40);
        QCOMPARE(cell("txtOFF", 3)->text(), QStringLiteral("0:10:00 "));
        QCOMPARE(table()[3].RepeatSteps, 40);
    }

    void logoCellAdvancesOnPressAndDoubleClick()
    {
        open();
        QTest::mousePress(cell("txtLogo", 2), Qt::LeftButton);
        QTest::mouseRelease(cell("txtLogo", 2), Qt::LeftButton);
        QCOMPARE(cell("txtLogo", 2)->text(), QStringLiteral("1"));
        QVERIFY(child<QRadioButton>(QStringLiteral("Option1_2"))->isChecked());
        QTest::mouseDClick(cell("txtLogo", 2), Qt::LeftButton);
        QCOMPARE(cell("txtLogo", 2)->text(), QStringLiteral("3"));
        QCOMPARE(table()[2].Logo, 3);
    }

    void dayButtonsToggleAndSaveStores()
    {
        open();
        QTest::mouseClick(day(38), Qt::LeftButton);
        QCOMPARE(day(38)->text(), QStringLiteral("x"));
        QVERIFY(table()[5].Days[3]);
        QTest::mouseClick(child<QPushButton>(QStringLiteral("cmdButtons_1")), Qt::LeftButton);
        QCOMPARE(f->setting(QStringLiteral("S_Days")),
                 QStringLiteral("0,0,0,0,0,8,") + QStringLiteral("0,").repeated(14));
        QCOMPARE(f->setting(QStringLiteral("S_Start")), QStringLiteral("-1,").repeated(20));
        QTest::mouseClick(day(38), Qt::LeftButton);
        QCOMPARE(day(38)->text(), QString());
    }

    void saveThatCannotWriteSaysSo()
    {
        open();
        QStringList shown;
        w->setMessageBoxHook([&shown](const QString &title, const QString &text) { shown << title << text; });
        QTest::mouseClick(day(38), Qt::LeftButton);
        auto *save = child<QPushButton>(QStringLiteral("cmdButtons_1"));
        {
            ReadOnlyFolder folder(f->dir.path());
            if (!folder.refusesNewFiles())
                QSKIP("The folder cannot be made read-only here.");
            QTest::mouseClick(save, Qt::LeftButton);
        }
        QCOMPARE(shown.value(0), QStringLiteral("Save_Settings"));
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
            const bool listed
                = name.startsWith(QStringLiteral("Option1_")) || name.startsWith(QStringLiteral("txt"))
                  || name.startsWith(QStringLiteral("Command1_"))
                  || name.startsWith(QStringLiteral("VScroll1_")) || name == QStringLiteral("cmdScan")
                  || name == QStringLiteral("cmdButtons_1");
            if (listed && widget->isEnabled() && !widget->isHidden())
                enabled << name;
        }
        QCOMPARE(enabled.join(QLatin1Char(' ')), QString());
        QVERIFY(child<QCheckBox>(QStringLiteral("chkAutoScan"))->isEnabled());
        QVERIFY(child<QPushButton>(QStringLiteral("cmdButtons_0"))->isEnabled());
        QVERIFY(child<QLabel>(QStringLiteral("lblLocked"))->isVisible());
    }

    void scanPaintsTheConflictingCells()
    {
        open();
        table()[0] = ScheduleSequence{1920, 2000, 4, 480, 1, {false, true}, false};
        table()[1] = ScheduleSequence{1924, 2000, 4, 480, 2, {false, true}, false};
        QTest::mouseClick(child<QPushButton>(QStringLiteral("cmdScan")), Qt::LeftButton);
        const QColor normalDay = QApplication::palette().color(QPalette::HighlightedText);
        for (int index : {1, 8})
            QCOMPARE(day(index)->palette().color(QPalette::Button), QColor(255, 128, 128));
        for (int index : {0, 2, 15})
            QCOMPARE(day(index)->palette().color(QPalette::Button), normalDay);
        QCOMPARE(cell("txtLogo", 1)->palette().color(QPalette::Text), QColor(255, 0, 0));
        QCOMPARE(cell("txtLogo", 2)->palette().color(QPalette::Text),
                 QApplication::palette().color(QPalette::WindowText));
        // The scan is over: the Auto Scan text is white again.
        auto *autoScan = child<QCheckBox>(QStringLiteral("chkAutoScan"));
        QCOMPARE(autoScan->palette().color(QPalette::WindowText), QColor(Qt::white));
    }

    void weekTimelineAndUndo()
    {
        // Sequence 3 on Monday, today: a minute every hour from 8:00.
        table()[2] = makeSequence(1920, 4, 240, 2400, 2, 0b10);
        open();
        auto *week = child<WeekTimelineView>(QStringLiteral("weekTimeline"));
        QVERIFY(week->isVisible());
        QVERIFY(week->y() > child<QWidget>(QStringLiteral("grid"))->geometry().bottom());
        const QRect bar = week->timeline().barRects(week->timelineGeometry(), 1, 2).value(0);
        QCOMPARE(week->toolTipAt(bar.center()),
                 QStringLiteral("Sequence 3, logo 2: 8:00:00 %1 8:01:00").arg(QChar(0x2013)));
        QSet<QRgb> colours;
        for (int i = 0; i < ScheduleEditor::Rows; ++i)
            colours << WeekTimelineView::sequenceColour(i).rgb();
        QCOMPARE(colours.size(), ScheduleEditor::Rows);

        auto *undo = child<QAction>(QStringLiteral("mnuUndo"));
        auto *redo = child<QAction>(QStringLiteral("mnuRedo"));
        QVERIFY(!undo->isEnabled() && !redo->isEnabled());
        QTest::mouseClick(day(15), Qt::LeftButton);
        QVERIFY(week->timeline().sequencesOn(1).isEmpty());
        QVERIFY(undo->isEnabled());

        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTest::keyClick(w.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(day(15)->text(), QStringLiteral("x"));
        QVERIFY(table()[2].Days[1]);
        QCOMPARE(week->timeline().sequencesOn(1), QList<int>{2});
        QVERIFY(!undo->isEnabled() && redo->isEnabled());
        QTest::keyClick(w.get(), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(day(15)->text(), QString());
        undo->trigger();
        QCOMPARE(day(15)->text(), QStringLiteral("x"));
    }
};

QUILLON_TEST_MAIN(TestFrmSchedule)
#include "tst_frmschedule.moc"
