// SPDX-License-Identifier: GPL-3.0-or-later
#include "corefixture.h"
#include "schedulemaker.h"

#include "scheduler/scheduleeditor.h"
#include "scheduler/schedulehelp.h"
#include "scheduler/weektimeline.h"

#include <QSignalSpy>
#include <QTest>

// The schedule editor's form logic on a started core: cells, slider rules,
// logo and day cells, the lock, SAVE, the conflict scan with auto-scan, undo
// and redo, and the week timeline drawn beside it.
class TestScheduleEditor : public QObject
{
    Q_OBJECT

    std::unique_ptr<CoreFixture> f;
    std::unique_ptr<ScheduleEditor> e;

    Schedule &table() { return f->core->state.schedule; }

    void create() { e = std::make_unique<ScheduleEditor>(f->core->state, *f->settings, f->clock); }
    void open()
    {
        create();
        e->Form_Load();
    }
    void setRow(int i, int start, int end, int on, int repeat, int logo, std::initializer_list<int> days)
    {
        ScheduleSequence &s = table()[i];
        s.Start = start;
        s.End = end;
        s.OnSteps = on;
        s.RepeatSteps = repeat;
        s.Logo = logo;
        for (int day : days)
            s.Days[static_cast<size_t>(day)] = true;
    }
    int scansDuring(int ticks)
    {
        QSignalSpy spy(e.get(), &ScheduleEditor::scanningChanged);
        for (int i = 0; i < ticks; ++i)
            e->Timer1_Timer();
        return static_cast<int>(spy.count()) / 2;
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
        e.reset();
        f.reset();
    }

    void stepsToText_data()
    {
        QTest::addColumn<int>("steps");
        QTest::addColumn<QString>("text");
        QTest::newRow("off") << -1 << QStringLiteral("Off     ");
        QTest::newRow("midnight") << 0 << QStringLiteral("0:00:00 ");
        QTest::newRow("one step") << 1 << QStringLiteral("0:00:15 ");
        QTest::newRow("eight") << 1920 << QStringLiteral("8:00:00 ");
        QTest::newRow("last step") << 5759 << QStringLiteral("23:59:45 ");
        QTest::newRow("end of day") << 5760 << QStringLiteral("24:00:00 ");
    }

    void stepsToText()
    {
        QFETCH(int, steps);
        QFETCH(QString, text);
        QCOMPARE(ScheduleEditor::StepsToText(steps), text);
    }

    void openingWithNothingStored()
    {
        open();
        for (int i = 0; i < ScheduleEditor::Rows; ++i) {
            const ScheduleEditor::RowCells &c = e->cells(i);
            QCOMPARE(c.start, QStringLiteral("Off     "));
            QCOMPARE(c.ton, QStringLiteral("0:00:00 "));
            QCOMPARE(c.off, QStringLiteral("0:00:00 "));
            QCOMPARE(c.end, QStringLiteral("0:00:00 "));
            QCOMPARE(c.logo, QStringLiteral("Off"));
            QCOMPARE(c.days, (std::array<QString, 7>{}));
        }
        QCOMPARE(e->selectedRow(), ScheduleEditor::NoRow);
        QVERIFY(e->editorOpen() && !e->setupInProgress());
        QVERIFY(e->controlsEnabled() && e->cmdScanEnabled());
        QVERIFY(!e->lblLockedVisible() && !e->autoScanTicked());

        // With no row selected the sliders move alone.
        e->VScroll_Do(ScheduleEditor::StartSlider, 100);
        QCOMPARE(e->slider(ScheduleEditor::StartSlider), 100);
        QCOMPARE(table()[0].Start, -1);
        QCOMPARE(e->cells(0).start, QStringLiteral("Off     "));
    }

    void startAndEndKeepTheirOrder()
    {
        setRow(2, 1920, 2000, 4, 40, 1, {1});
        open();
        e->Option1_Click(2);
        e->VScroll_Do(ScheduleEditor::StartSlider, 2400);
        QCOMPARE(table()[2].End, 2401);
        QCOMPARE(e->slider(ScheduleEditor::EndSlider), 2401);
        QCOMPARE(e->cells(2).end, QStringLiteral("10:00:15 "));

        // End at midnight turns Start off; Start pushes End out again.
        e->VScroll_Do(ScheduleEditor::EndSlider, 0);
        QCOMPARE(table()[2].Start, -1);
        QCOMPARE(e->cells(2).start, QStringLiteral("Off     "));
        e->VScroll_Do(ScheduleEditor::StartSlider, 100);
        QCOMPARE(table()[2].End, 101);

        // End at the top: END blank, START off.
        e->VScroll_Do(ScheduleEditor::EndSlider, -1);
        QCOMPARE(e->cells(2).end, QString());
        QCOMPARE(e->cells(2).start, QStringLiteral("Off     "));
        QCOMPARE(table()[2].Start, -1);
        QCOMPARE(e->slider(ScheduleEditor::StartSlider), -1);
    }

    void endDownToStartPullsStart()
    {
        setRow(3, 1920, 2400, 4, 40, 1, {1});
        open();
        e->Option1_Click(3);
        e->VScroll_Do(ScheduleEditor::EndSlider, 1920);
        QCOMPARE(table()[3].Start, 1919);
        QCOMPARE(e->cells(3).start, QStringLiteral("7:59:45 "));
    }

    void repeatAndOnTimeFollowEachOther()
    {
        setRow(1, 1920, 2400, 0, 20, 1, {1});
        open();
        e->Option1_Click(1);
        e->VScroll_Do(ScheduleEditor::OnSlider, 40);
        QCOMPARE(table()[1].RepeatSteps, 40);
        QCOMPARE(e->cells(1).off, QStringLiteral("0:10:00 "));
        e->VScroll_Do(ScheduleEditor::RepeatSlider, 10);
        QCOMPARE(table()[1].OnSteps, 10);
        QCOMPARE(e->slider(ScheduleEditor::OnSlider), 10);
        QCOMPARE(e->cells(1).ton, QStringLiteral("0:02:30 "));
    }

    void selectingARowAppliesTheRules()
    {
        setRow(4, 3000, 2000, 40, 20, 1, {});
        setRow(6, 6000, 6100, 4, 40, 1, {}); // beyond what the sliders show
        open();
        e->Option1_Click(4);
        QCOMPARE(table()[4].End, 3001);
        QCOMPARE(table()[4].RepeatSteps, 40);

        e->Option1_Click(6);
        QCOMPARE(e->slider(ScheduleEditor::StartSlider), 3000);
        QCOMPARE(e->slider(ScheduleEditor::EndSlider), 3001);
        QCOMPARE(e->slider(ScheduleEditor::OnSlider), 4);
        QCOMPARE(table()[6].Start, 6000);
        QCOMPARE(table()[6].End, 6100);
    }

    void logoCyclesThroughTheModelsSlots()
    {
        open();
        QStringList shown;
        for (int press = 0; press < 6; ++press) {
            e->txtLogo_MouseDown(7);
            shown << e->cells(7).logo;
        }
        QCOMPARE(shown, (QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                                     QStringLiteral("4"), QStringLiteral("Off"), QStringLiteral("1")}));
        QCOMPARE(table()[7].Logo, 1);
        QCOMPARE(e->selectedRow(), 7);
        QVERIFY(!e->logoClickBusy());
    }

    void dayButtonToggles()
    {
        open();
        e->Command1_Click(38);
        QVERIFY(table()[5].Days[3]);
        QCOMPARE(e->cells(5).days[3], QStringLiteral("x"));
        QCOMPARE(e->selectedRow(), ScheduleEditor::NoRow);
        e->Command1_Click(38);
        QVERIFY(!table()[5].Days[3]);
        QCOMPARE(e->cells(5).days[3], QString());
    }

    void lockedShowsButRefuses()
    {
        f->core->state.scheduleLocked = true;
        f->setSetting(QStringLiteral("AutoScan"), QStringLiteral("1"));
        open();
        QVERIFY(!e->controlsEnabled());
        QVERIFY(e->lblLockedVisible());
        QVERIFY(!e->cmdScanEnabled());
        QVERIFY(!e->autoScanTicked());
        e->chkAutoScan_Click(true);
        e->chkAutoScan_Click(false);
        QVERIFY(e->cmdScanEnabled());
        QCOMPARE(f->setting(QStringLiteral("AutoScan")), QStringLiteral("0"));
    }

    void lockedRefusesEveryChange_data()
    {
        QTest::addColumn<QString>("change");
        for (const char *change : {"row selector", "START cell", "T-ON cell", "REPEAT cell", "END cell",
                                   "Start slider", "T-ON slider", "Repeat slider", "End slider", "logo press",
                                   "logo double-click", "logo", "day button", "undo", "redo", "SAVE"})
            QTest::newRow(change) << QString::fromLatin1(change);
    }

    void lockedRefusesEveryChange()
    {
        QFETCH(QString, change);
        setRow(4, 1920, 2400, 4, 40, 1, {1});
        open();
        // Something to undo and something to redo, and a row selected, when
        // the lock comes.
        e->Command1_Click(4 * 7 + 2);
        e->Command1_Click(4 * 7 + 3);
        e->undo();
        e->Option1_Click(4);
        f->core->state.scheduleLocked = true;
        e->Form_SetUp();
        QCOMPARE(e->selectedRow(), ScheduleEditor::NoRow);

        const auto lists = [this] {
            QStringList texts;
            for (int list = 0; list < 6; ++list)
                texts << table().listText(list);
            return texts;
        };
        const QStringList listsBefore = lists();
        std::array<ScheduleEditor::RowCells, ScheduleEditor::Rows> cellsBefore;
        for (int i = 0; i < ScheduleEditor::Rows; ++i)
            cellsBefore[static_cast<size_t>(i)] = e->cells(i);
        const QList<int> slidersBefore{e->slider(0), e->slider(1), e->slider(2), e->slider(3)};

        const QStringList sliders{QStringLiteral("Start slider"), QStringLiteral("T-ON slider"),
                                  QStringLiteral("Repeat slider"), QStringLiteral("End slider")};
        if (change == QLatin1String("row selector"))
            e->Option1_Click(4);
        else if (change == QLatin1String("START cell"))
            e->txtStart_Click(4);
        else if (change == QLatin1String("T-ON cell"))
            e->txtTON_Click(4);
        else if (change == QLatin1String("REPEAT cell"))
            e->txtOFF_Click(4);
        else if (change == QLatin1String("END cell"))
            e->txtEnd_Click(4);
        else if (sliders.contains(change))
            e->VScroll_Do(static_cast<int>(sliders.indexOf(change)), 100);
        else if (change == QLatin1String("logo press"))
            e->txtLogo_MouseDown(4);
        else if (change == QLatin1String("logo double-click"))
            e->txtLogo_DblClick(4);
        else if (change == QLatin1String("logo"))
            e->txtLogo_Do(4);
        else if (change == QLatin1String("day button"))
            e->Command1_Click(4 * 7);
        else if (change == QLatin1String("undo"))
            e->undo();
        else if (change == QLatin1String("redo"))
            e->redo();
        else
            e->cmdButtons_Click(1);

        QCOMPARE(lists(), listsBefore);
        for (int i = 0; i < ScheduleEditor::Rows; ++i)
            QVERIFY(e->cells(i) == cellsBefore[static_cast<size_t>(i)]);
        QCOMPARE(e->selectedRow(), ScheduleEditor::NoRow);
        QCOMPARE((QList<int>{e->slider(0), e->slider(1), e->slider(2), e->slider(3)}), slidersBefore);
        QCOMPARE(f->setting(QStringLiteral("S_Start")), QStringLiteral("<missing>"));
    }

    void saveWritesTheSixLists()
    {
        open();
        e->Option1_Click(0);
        e->VScroll_Do(ScheduleEditor::StartSlider, 1920);
        e->VScroll_Do(ScheduleEditor::OnSlider, 4);
        e->VScroll_Do(ScheduleEditor::RepeatSlider, 40);
        e->VScroll_Do(ScheduleEditor::EndSlider, 2400);
        e->txtLogo_MouseDown(0);
        e->txtLogo_MouseDown(0);
        e->Command1_Click(1);
        QCOMPARE(f->setting(QStringLiteral("S_Start")), QStringLiteral("<missing>"));

        e->cmdButtons_Click(1);
        const auto list = [](const QString &first, const QString &rest) {
            return first + QLatin1Char(',') + (rest + QLatin1Char(',')).repeated(19);
        };
        QCOMPARE(f->setting(QStringLiteral("S_Start")), list(QStringLiteral("1920"), QStringLiteral("-1")));
        QCOMPARE(f->setting(QStringLiteral("S_End")), list(QStringLiteral("2400"), QStringLiteral("0")));
        QCOMPARE(f->setting(QStringLiteral("S_ON")), list(QStringLiteral("4"), QStringLiteral("0")));
        QCOMPARE(f->setting(QStringLiteral("S_OFF")), list(QStringLiteral("40"), QStringLiteral("0")));
        QCOMPARE(f->setting(QStringLiteral("S_Logo")), list(QStringLiteral("2"), QStringLiteral("0")));
        QCOMPARE(f->setting(QStringLiteral("S_Days")), list(QStringLiteral("2"), QStringLiteral("0")));
    }

    void autoScanEveryFifthTickAfterTheLastSliderMove()
    {
        f->setSetting(QStringLiteral("AutoScan"), QStringLiteral(" 1 "));
        open();
        QVERIFY(e->autoScanTicked());
        QVERIFY(!e->cmdScanEnabled());
        QCOMPARE(scansDuring(4), 0);
        QCOMPARE(scansDuring(1), 1);
        QCOMPARE(e->clockText(), QStringLiteral("9:05:07"));

        QCOMPARE(scansDuring(3), 0);
        e->VScroll_Do(ScheduleEditor::OnSlider, 5);
        QCOMPARE(scansDuring(4), 0);
        QCOMPARE(scansDuring(1), 1);

        e->chkAutoScan_Click(false);
        QVERIFY(e->cmdScanEnabled());
        QCOMPARE(f->setting(QStringLiteral("AutoScan")), QStringLiteral("0"));
        QCOMPARE(scansDuring(10), 0);
    }

    void onlyChangedMarksAreReported()
    {
        // B comes on exactly when A's minute ends: a conflict on Monday.
        setRow(0, 1920, 2000, 4, 480, 1, {1});
        setRow(1, 1924, 2000, 4, 480, 2, {1});
        create();
        QSignalSpy spy(e.get(), &ScheduleEditor::marksChanged);
        e->Form_Load();
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).value<QList<int>>(), (QList<int>{1, 8}));
        QCOMPARE(spy.at(0).at(1).value<QList<int>>(), (QList<int>{0, 1}));

        e->cmdScan_Click();
        QCOMPARE(spy.count(), 1);

        table()[1].Start = 1925;
        e->cmdScan_Click();
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(1).at(0).value<QList<int>>(), (QList<int>{1, 8}));
        QVERIFY(!e->marks().logos[0] && !e->marks().days[1][1]);
        QVERIFY(!e->scanBusy());
    }

    void timelineIntervals()
    {
        using Intervals = WeekTimeline::Intervals;
        // Monday 8:00 to 9:00, a minute every half hour.
        table()[0] = makeSequence(1920, 4, 120, 2160, 1, 0b10);
        // Every day from 8:00, ten minutes in fifteen, cut off at 8:17:30.
        table()[1] = makeSequence(1920, 40, 60, 1990, 2, 0x7f);
        // Sunday, 15 seconds in 15 all day: one bar.
        table()[2] = makeSequence(0, 1, 1, 5760, 3, 0b1);
        // Never on: no start, no logo, a logo with no button, no repeat, no T-ON.
        table()[3] = makeSequence(-1, 4, 40, 2400, 1, 0x7f);
        table()[4] = makeSequence(1920, 4, 40, 2400, 0, 0x7f);
        table()[5] = makeSequence(1920, 4, 40, 2400, 16, 0x7f);
        table()[6] = makeSequence(1920, 4, 0, 2400, 1, 0x7f);
        table()[7] = makeSequence(1920, 0, 40, 2400, 1, 0x7f);

        const WeekTimeline week(table());
        QCOMPARE(week.intervals(1, 0), (Intervals{{28800, 28860}, {30600, 30660}}));
        QVERIFY(week.intervals(2, 0).isEmpty());
        QCOMPARE(week.intervals(4, 1), (Intervals{{28800, 29400}, {29700, 29850}}));
        QCOMPARE(week.intervals(0, 2), (Intervals{{0, 86400}}));
        QCOMPARE(week.sequencesOn(0), (QList<int>{1, 2}));
        QCOMPARE(week.sequencesOn(1), (QList<int>{0, 1}));
        for (int day = 0; day < 7; ++day)
            for (int i = 3; i <= 7; ++i)
                QVERIFY(week.intervals(day, i).isEmpty());
        QVERIFY(week.intervals(7, 1).isEmpty() && week.intervals(-1, 1).isEmpty()
                && week.sequencesOn(9).isEmpty());
    }

    void timelineAgreesWithTheRunnerEverySecond()
    {
        const QList<ScheduleSequence> sequences{
            makeSequence(3, 7, 11, 5000, 1, 1),
            makeSequence(-7, 3, 10, 300, 1, 1), // a stored start before midnight
            makeSequence(100, 5, -9, 900, 1, 1),
            makeSequence(5000, 9, 9, 9000, 1, 1),
            makeSequence(2000, 1, 2, 1000, 1, 1),
            makeSequence(0, 1, 2, 5760, 1, 1),
        };
        for (const ScheduleSequence &s : sequences) {
            const WeekTimeline::Intervals found = WeekTimeline::onIntervals(s);
            qsizetype k = 0;
            for (int t = 0; t < WeekTimeline::DaySeconds; ++t) {
                while (k < found.size() && found[k].to <= t)
                    ++k;
                const bool drawn = k < found.size() && found[k].from <= t;
                if (drawn != s.onAt(t))
                    QFAIL(qPrintable(QStringLiteral("start %1, second %2").arg(s.Start).arg(t)));
            }
        }
    }

    void timelineConflicts()
    {
        // A: Monday and Tuesday 8:00 to 8:10 without a break. B: Monday, a
        // minute every hour from 8:05. C: on the moment A goes off.
        table()[0] = makeSequence(1920, 1, 1, 1960, 1, 0b110);
        table()[1] = makeSequence(1940, 4, 240, 2400, 2, 0b10);
        table()[2] = makeSequence(1960, 4, 240, 2000, 3, 0b110);
        const WeekTimeline week(table());
        QCOMPARE(week.conflicts(1), (WeekTimeline::Intervals{{29100, 29160}}));
        QVERIFY(week.conflicts(2).isEmpty());
        // B cannot share A's lane; C can.
        QCOMPARE(week.laneCount(1), 2);
        QCOMPARE(week.lane(1, 1), 1);
        QCOMPARE(week.lane(1, 2), 0);
        QCOMPARE(week.laneCount(2), 1);
        QCOMPARE(week.lane(2, 1), -1);
    }

    void timelineGeometryAndHits()
    {
        // A minute a pixel, after 40 pixels of day names and 20 of axis; rows of 30.
        const WeekTimeline::Geometry g(QRect(0, 0, 1480, 230), 40, 20);
        QCOMPARE(g.plot(), QRect(40, 20, 1440, 210));
        QCOMPARE(g.x(28800), 520);
        QCOMPARE(g.secondsAt(520), 28800);
        QCOMPARE(g.secondsAt(521), 28860);
        QCOMPARE(g.rect(1, 28800, 29100), QRect(520, 50, 5, 30));
        QCOMPARE(g.rect(1, 28800, 28815).width(), WeekTimeline::Geometry::MinimumWidth);
        QCOMPARE(g.rect(6, 0, 86400), QRect(40, 200, 1440, 30));
        QCOMPARE(g.dayAt(49), 0);
        QCOMPARE(g.dayAt(50), 1);
        QCOMPARE(g.dayAt(19), -1);
        QCOMPARE(g.dayAt(230), -1);

        // Monday: sequence 3 a minute each hour from 8:00, sequence 6 on from
        // 8:00 to 8:03, on together at first, so in two lanes. Sunday: 15 seconds in
        // 30 all day, a pixel's bars drawn as one.
        table()[2] = makeSequence(1920, 4, 240, 2400, 2, 0b10);
        table()[5] = makeSequence(1920, 12, 480, 2400, 1, 0b10);
        table()[7] = makeSequence(0, 1, 2, 5760, 4, 0b1);
        const WeekTimeline week(table());
        QCOMPARE(week.barRects(g, 0, 7), (QList<QRect>{QRect(40, 21, 1440, 25)}));
        const QList<QRect> bars = week.barRects(g, 1, 2);
        QCOMPARE(bars.size(), 2);
        const QRect lane6 = week.barRects(g, 1, 5).value(0);
        QVERIFY(lane6.top() > bars[0].bottom());

        const auto tip = [&](QPoint at) { return week.toolTip(week.hitTest(g, at)); };
        const auto line = [](const char *what, const char *from, const char *to) {
            return QStringLiteral("%1: %2 %3 %4")
                .arg(QLatin1String(what), QLatin1String(from), QChar(0x2013), QLatin1String(to));
        };
        QCOMPARE(tip(bars[0].center()), line("Sequence 3, logo 2", "8:00:00", "8:01:00") + QLatin1Char('\n')
                                            + line("Conflict", "8:00:00", "8:01:00"));
        QCOMPARE(tip(QPoint(522, lane6.center().y())), line("Sequence 6, logo 1", "8:00:00", "8:03:00"));
        QCOMPARE(tip(QPoint(522, bars[0].center().y())), QString());
        QCOMPARE(tip(QPoint(580, bars[0].center().y())), line("Sequence 3, logo 2", "9:00:00", "9:01:00"));
        QCOMPARE(tip(QPoint(10, 60)), QString());
        QCOMPARE(week.hitTest(WeekTimeline::Geometry(), QPoint(0, 0)).sequence, -1);
        QCOMPARE(week.barRects(WeekTimeline::Geometry(QRect(0, 0, 10, 5), 40, 20), 1, 2).size(), 1);
    }

    void sliderMovesUndoAsOneStep()
    {
        setRow(2, 1920, 2400, 4, 40, 1, {1});
        open();
        e->Option1_Click(2);
        QVERIFY(!e->canUndo() && !e->canRedo());
        QSignalSpy history(e.get(), &ScheduleEditor::historyChanged);
        for (int value = 2300; value <= 2500; value += 50)
            e->VScroll_Do(ScheduleEditor::StartSlider, value); // pushes End along
        e->VScroll_Do(ScheduleEditor::OnSlider, 8);
        QCOMPARE(history.count(), 1);
        QCOMPARE(table()[2].End, 2501);

        e->undo();
        QCOMPARE(table()[2].OnSteps, 4);
        QCOMPARE(table()[2].Start, 2500);
        e->undo();
        QCOMPARE(table()[2].Start, 1920);
        QCOMPARE(table()[2].End, 2400);
        QCOMPARE(e->cells(2).start, QStringLiteral("8:00:00 "));
        QCOMPARE(e->cells(2).end, QStringLiteral("10:00:00 "));
        QCOMPARE(e->slider(ScheduleEditor::StartSlider), 1920);
        QCOMPARE(e->slider(ScheduleEditor::EndSlider), 2400);
        QVERIFY(!e->canUndo() && e->canRedo());

        e->redo();
        QCOMPARE(table()[2].Start, 2500);
        QCOMPARE(e->slider(ScheduleEditor::EndSlider), 2501);

        // Another row between two moves of the same slider ends the run.
        e->Option1_Click(3);
        e->Option1_Click(2);
        e->VScroll_Do(ScheduleEditor::StartSlider, 2000);
        e->undo();
        QCOMPARE(table()[2].Start, 2500);
    }

    void logoAndDayUndoAndRedo()
    {
        open();
        e->txtLogo_MouseDown(7);
        e->Command1_Click(7 * 7 + 2);
        e->undo();
        QVERIFY(!table()[7].Days[2]);
        QCOMPARE(e->cells(7).days[2], QString());
        QCOMPARE(table()[7].Logo, 1);
        e->undo();
        QCOMPARE(table()[7].Logo, 0);
        QCOMPARE(e->cells(7).logo, QStringLiteral("Off"));
        e->redo();
        QCOMPARE(table()[7].Logo, 1);
        QCOMPARE(e->cells(7).logo, QStringLiteral("1"));

        // A new change drops what was left to redo.
        QVERIFY(e->canRedo());
        e->Command1_Click(0);
        QVERIFY(!e->canRedo());
        e->redo();
        QVERIFY(!table()[7].Days[2]);
    }

    void undoRestoresExactlyAndMarksAgain()
    {
        setRow(0, 1920, 2000, 4, 480, 1, {1});
        setRow(1, 1924, 2000, 4, 480, 2, {2});
        open();
        table()[0].Running = true;
        e->Command1_Click(1 * 7 + 1); // B on Monday as well
        e->cmdScan_Click();
        QVERIFY(e->marks().logos[1]);
        e->Option1_Click(1);
        e->VScroll_Do(ScheduleEditor::EndSlider, -1); // END blank, START off
        const ScheduleEditor::RowCells edited = e->cells(1);
        QCOMPARE(edited.end, QString());

        e->undo();
        e->undo();
        QVERIFY(!e->marks().logos[0] && !e->marks().logos[1] && !e->marks().days[1][1]);
        QCOMPARE(table()[1].Start, 1924);
        QCOMPARE(table()[1].End, 2000);
        QCOMPARE(table()[1].daysMask(), 0b100);
        QVERIFY(table()[0].Running); // the runner's, not the editor's

        e->redo();
        QVERIFY(e->marks().logos[0] && e->marks().days[1][1]);
        e->redo();
        QVERIFY(!e->marks().logos[0]);
        QCOMPARE(e->cells(1), edited);
        QCOMPARE(table()[1].Start, -1);
        QCOMPARE(table()[1].End, -1);
    }

    void historyIsCappedAndLockedOut()
    {
        open();
        for (int i = 0; i < ScheduleEditor::HistoryLimit + 5; ++i)
            e->Command1_Click(0);
        int steps = 0;
        for (; e->canUndo(); ++steps)
            e->undo();
        QCOMPARE(steps, ScheduleEditor::HistoryLimit);
        QVERIFY(table()[0].Days[0]); // five toggles stay

        f->core->state.scheduleLocked = true;
        e->Form_SetUp();
        QVERIFY(!e->canUndo() && !e->canRedo());
        e->redo();
        QVERIFY(table()[0].Days[0]);
    }

    void helpPages()
    {
        QCOMPARE(ScheduleHelp::tabCaptions(),
                 (QStringList{QStringLiteral("Start"), QStringLiteral("End"), QStringLiteral("T-ON"),
                              QStringLiteral("Repeat"), QStringLiteral("Logo"), QStringLiteral("Day-Of-Week"),
                              QStringLiteral("SAVE "), QStringLiteral("Scan Conflicts")}));
        QCOMPARE(ScheduleHelp::page(1),
                 QStringLiteral("END TIME:\r\nThe End Time determines when the logo sequence is to end "
                                "for the day.An End time of 12:00:00 will cancel a running logo sequence "
                                "at Noon.\r\nThe End Time Slider:\r\nThe slider allows one to precisely "
                                "choose a stop time. It has three operating modes. \r\n1) Drag the slider "
                                "to the desired time. \r\n2) Click on the space between the slider and "
                                "the arrow to advance or go back exactly one hour. \r\n3) Click on the "
                                "end arrows to advance or go back in 15-second steps until the desired "
                                "time is reached.\r\nNote: Click and hold for auto repeat. "));
        QCOMPARE(ScheduleHelp::page(7),
                 QStringLiteral("CONFLICT TESTING:\r\nIt is possible to schedule more than one logo to "
                                "be on at the same time. If this is done, unpredictable results may occur "
                                "even if the conflicting logo sequences are calling for the same logo. "
                                "\r\nAlways make sure there are no conflicts. Click on the  Scan For "
                                "Conflicts button to highlight the conflicts that may exist. \r\nAuto-Scan "
                                "may be used to automatically scan every 2 seconds. This feature may "
                                "interfere with programming the sequences and may be turned OFF and ON "
                                "of as desired.  "));
        QVERIFY(ScheduleHelp::page(2).contains(QStringLiteral("15 seconds begining at the start time")));
        QCOMPARE(ScheduleHelp::page(8), QStringLiteral("Hello-else"));
        QCOMPARE(ScheduleHelp::page(-1), QStringLiteral("Hello-else"));
    }
};

QUILLON_TEST_GUILESS_MAIN(TestScheduleEditor)
#include "tst_scheduleeditor.moc"
