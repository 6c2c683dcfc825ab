// SPDX-License-Identifier: GPL-3.0-or-later
#include "corefixture.h"
#include "schedulemaker.h"

#include "scheduler/conflictscan.h"
#include "scheduler/scheduleeditor.h"
#include "scheduler/schedulehelp.h"
#include "scheduler/weektimeline.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

// The schedule table, the editor's form logic on a started core, and the
// week timeline, held to the runner's on rule.
class TestScheduleEditor : public QObject
{
    Q_OBJECT

    std::unique_ptr<CoreFixture> f;
    std::unique_ptr<ScheduleEditor> e;

    Schedule &table() { return f->core->scheduleState.schedule; }

    void open()
    {
        e = std::make_unique<ScheduleEditor>(f->core->deviceState, f->core->scheduleState, *f->settings,
                                             f->clock);
        e->open();
    }
    int scansDuring(int ticks)
    {
        QSignalSpy spy(e.get(), &ScheduleEditor::scanningChanged);
        for (int i = 0; i < ticks; ++i)
            e->tick();
        return static_cast<int>(spy.count()) / 2;
    }
    QList<int> values(int row) // Start, T-ON, Repeat, End
    {
        const ScheduleSequence &s = table()[row];
        return {s.Start, s.OnSteps, s.RepeatSteps, s.End};
    }
    QList<int> sliders() const { return {e->slider(0), e->slider(1), e->slider(2), e->slider(3)}; }
    static QList<ScheduleEditor::RowCells> allCells(const ScheduleEditor &editor)
    {
        QList<ScheduleEditor::RowCells> cells;
        for (int i = 0; i < ScheduleEditor::Rows; ++i)
            cells << editor.cells(i);
        return cells;
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
        e.reset();
        f.reset();
    }

    void openingWithNothingStored()
    {
        open();
        const ScheduleEditor::RowCells empty{u"Off     "_s, u"0:00:00 "_s, u"0:00:00 "_s,
                                             u"0:00:00 "_s, u"Off"_s,      {}};
        QCOMPARE(allCells(*e), QList<ScheduleEditor::RowCells>(ScheduleEditor::Rows, empty));
        QVERIFY(e->editorOpen() && !e->setupInProgress() && !e->autoScanTicked());

        // With no row selected the sliders move alone.
        e->changeSlider(ScheduleEditor::StartSlider, 100);
        QVERIFY(e->slider(ScheduleEditor::StartSlider) == 100 && table()[0].Start == -1);
        QCOMPARE(e->cells(0).start, u"Off     "_s);
        e->toggleDay(7 * 7 + 2); // nor does a day button select one
        QVERIFY(e->cells(7).days[2] == u"x"_s && e->selectedRow() == ScheduleEditor::NoRow);
    }

    void autoScanEveryFifthTickAfterTheLastSliderMove()
    {
        f->setSetting(u"AutoScan"_s, u" 1 "_s);
        open();
        QVERIFY(e->autoScanTicked() && !e->scanButtonEnabled());
        QCOMPARE((QList<int>{scansDuring(4), scansDuring(1)}), (QList<int>{0, 1})); // the fifth tick
        QCOMPARE(e->clockText(), u"9:05:07"_s);

        QCOMPARE(scansDuring(3), 0);
        e->changeSlider(ScheduleEditor::OnSlider, 5);
        QCOMPARE((QList<int>{scansDuring(4), scansDuring(1)}), (QList<int>{0, 1})); // the fifth tick

        e->setAutoScan(false);
        QCOMPARE(scansDuring(10), 0);

        // Locked, a stored auto scan is not ticked; it may still be switched, and is saved.
        f->core->scheduleState.locked = true;
        f->setSetting(u"AutoScan"_s, u"1"_s);
        open();
        QVERIFY(!e->controlsEnabled() && !e->scanButtonEnabled() && !e->autoScanTicked());
        e->setAutoScan(true);
        e->setAutoScan(false);
        QVERIFY(e->scanButtonEnabled());
        QCOMPARE(f->setting(u"AutoScan"_s), u"0"_s);
    }

    // A scan reports the marks only when they change (the window paints them).
    void onlyChangedMarksAreReported()
    {
        table()[0] = makeSequence(1920, 4, 480, 2000, 1, 2);
        table()[1] = makeSequence(1924, 4, 480, 2000, 2, 2); // on as A's minute ends: a conflict
        open();
        QSignalSpy spy(e.get(), &ScheduleEditor::marksChanged);
        e->scanNow();
        QVERIFY(spy.isEmpty() && e->marks().logos[0]);
        table()[1].Start = 1925;
        e->scanNow();
        QCOMPARE(spy.count(), 1);
        QVERIFY(!e->marks().logos[0] && !e->marks().days[1][1] && !e->scanBusy());
    }

    // The week's bars are the runner's on rule, second by second, on the
    // sequence's days; a logo with no button is never on.
    void timelineAgreesWithTheRunnerEverySecond()
    {
        const QList<ScheduleSequence> sequences{
            makeSequence(3, 7, 11, 5000, 1, 0b10),
            makeSequence(-7, 3, 10, 300, 2, 0b11), // a start before midnight
            makeSequence(100, 5, -9, 900, 3, 0x7f),
            makeSequence(5000, 9, 9, 9000, 4, 0b1),
            makeSequence(2000, 1, 2, 1000, 1, 0x7f),
            makeSequence(0, 1, 2, 5760, 2, 0b1000001),
            makeSequence(1920, 40, 60, 1990, 2, 0x7f),   // cut off in an on time
            makeSequence(5759, 480, 480, 5760, 3, 0x7f), // to midnight
            // Never on: no start, no logo, a logo with no button, no repeat, no T-ON.
            makeSequence(-1, 4, 40, 2400, 1, 0x7f),
            makeSequence(1920, 4, 40, 2400, 0, 0x7f),
            makeSequence(1920, 4, 40, 2400, 16, 0x7f),
            makeSequence(1920, 4, 0, 2400, 1, 0x7f),
            makeSequence(1920, 0, 40, 2400, 1, 0x7f),
        };
        for (int i = 0; i < sequences.size(); ++i)
            table()[i] = sequences[i];
        const WeekTimeline week(table());
        for (int i = 0; i < sequences.size(); ++i) {
            const ScheduleSequence &s = sequences[i];
            for (int day = 0; day < 7; ++day) {
                const WeekTimeline::Intervals &found = week.intervals(day, i);
                const bool runs = s.enabledOn(day) && s.Logo < 16;
                qsizetype k = 0;
                for (int t = 0; t < WeekTimeline::DaySeconds; ++t) {
                    while (k < found.size() && found[k].to <= t)
                        ++k;
                    if ((k < found.size() && found[k].from <= t) != (runs && s.onAt(t)))
                        QFAIL(qPrintable(u"sequence %1, day %2, second %3"_s.arg(i).arg(day).arg(t)));
                }
            }
        }
        QCOMPARE(week.sequencesOn(0), (QList<int>{1, 2, 3, 5, 6, 7}));
        QVERIFY(week.intervals(7, 1).isEmpty() && week.intervals(-1, 1).isEmpty()
                && week.sequencesOn(9).isEmpty());
    }

    void timelineConflicts()
    {
        // A: Mon+Tue 8:00-8:10 always on. B: Mon, a minute hourly from 8:05. C: on as A goes off.
        table()[0] = makeSequence(1920, 1, 1, 1960, 1, 0b110);
        table()[1] = makeSequence(1940, 4, 240, 2400, 2, 0b10);
        table()[2] = makeSequence(1960, 4, 240, 2000, 3, 0b110);
        const WeekTimeline week(table());
        QCOMPARE(week.conflicts(1), (WeekTimeline::Intervals{{29100, 29160}}));
        QVERIFY(week.conflicts(2).isEmpty());
        // B cannot share A's lane; C can. On Tuesday there is no B.
        QCOMPARE((QList<int>{week.laneCount(1), week.lane(1, 1), week.lane(1, 2)}), (QList<int>{2, 1, 0}));
        QCOMPARE((QList<int>{week.laneCount(2), week.lane(2, 1)}), (QList<int>{1, -1}));
    }

    void timelineGeometryAndHits()
    {
        // A minute a pixel, after 40 pixels of day names and 20 of axis; rows of 30.
        const WeekTimeline::Geometry g(QRect(0, 0, 1480, 230), 40, 20);
        QCOMPARE(g.secondsAt(521), 28860);
        QCOMPARE(g.rect(1, 28800, 29100), QRect(520, 50, 5, 30));
        QCOMPARE(g.rect(1, 28800, 28815).width(), WeekTimeline::Geometry::MinimumWidth);
        QCOMPARE(g.rect(6, 0, 86400), QRect(40, 200, 1440, 30));
        QCOMPARE((QList<int>{g.dayAt(19), g.dayAt(49), g.dayAt(50), g.dayAt(230)}),
                 (QList<int>{-1, 0, 1, -1}));

        // Monday: sequences 3 and 6 both on at 8:00, in two lanes. Sunday: 15 s
        // in 30 all day, a pixel's bars drawn as one.
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
        QCOMPARE(tip(bars[0].center()),
                 u"Sequence 3, logo 2: 8:00:00 \u2013 8:01:00\nConflict: 8:00:00 \u2013 8:01:00"_s);
        QCOMPARE(tip(QPoint(522, lane6.center().y())), u"Sequence 6, logo 1: 8:00:00 \u2013 8:03:00"_s);
        QCOMPARE(tip(QPoint(522, bars[0].center().y())), QString());
        QCOMPARE(tip(QPoint(580, bars[0].center().y())), u"Sequence 3, logo 2: 9:00:00 \u2013 9:01:00"_s);
        QCOMPARE(tip(QPoint(10, 60)), QString());
        QCOMPARE(week.hitTest(WeekTimeline::Geometry(), QPoint(0, 0)).sequence, -1);
        QCOMPARE(week.barRects(WeekTimeline::Geometry(QRect(0, 0, 10, 5), 40, 20), 1, 2).size(), 1);
    }

    // Edits as a script: rN row N, sN=V slider N to V, lN logo N, dN day button N,
    // c scan, u undo, y redo, v SAVE, k the lock comes. Row 2 is on Mondays, row 3 on Tuesdays a minute
    // after it: on Mondays too, they conflict. After: row 2's values, logo and
    // days, row 3's days; then what can be undone and redone ("uy"), and row
    // 2's time cells, or else every cell and the marks as opening would show them.
    void edits_data()
    {
        QTest::addColumn<ScheduleSequence>("row2");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QList<int>>("after");
        QTest::addColumn<QString>("history");
        QTest::addColumn<QString>("cells");
        const auto row = [](const char *name, const ScheduleSequence &row2, const QString &script,
                            QList<int> after, const char *cells, const char *history = "u-") {
            if (after.size() == 4)
                after << 1 << 2 << 4; // logo and days as they were
            QTest::newRow(name) << row2 << script << after << QString::fromLatin1(history)
                                << QString::fromLatin1(cells);
        };
        const ScheduleSequence s = makeSequence(1920, 4, 40, 2400, 1, 0b10);
        // The rules between the four values, and row 2's time cells; undo then
        // redo puts back the cells as shown.
        row("start pushes end", s, u"r2 s0=2400 u y"_s, {2400, 4, 40, 2401},
            "10:00:00 0:01:00 0:10:00 10:00:15 ");
        row("end 0: start off", s, u"r2 s3=0 u y"_s, {-1, 4, 40, 0}, "Off     0:01:00 0:10:00 0:00:00 ");
        row("end -1 blanks END", s, u"r2 s3=-1 u y"_s, {-1, 4, 40, -1}, "Off     0:01:00 0:10:00 ");
        row("end 24:00", s, u"r2 s3=5760 u y"_s, {1920, 4, 40, 5760}, "8:00:00 0:01:00 0:10:00 24:00:00 ");
        row("start from off pushes end", makeSequence(-1, 4, 40, 0, 1, 2), u"r2 s0=100"_s, {100, 4, 40, 101},
            "0:25:00 0:01:00 0:10:00 0:25:15 ");
        row("end to start pulls start", s, u"r2 s3=1920"_s, {1919, 4, 40, 1920},
            "7:59:45 0:01:00 0:10:00 8:00:00 ");
        row("T-ON past repeat raises repeat", makeSequence(1920, 0, 20, 2400, 1, 2), u"r2 s1=40"_s,
            {1920, 40, 40, 2400}, "8:00:00 0:10:00 0:10:00 10:00:00 ");
        row("repeat below T-ON lowers T-ON", makeSequence(1920, 40, 40, 2400, 1, 2), u"r2 s2=10"_s,
            {1920, 10, 10, 2400}, "8:00:00 0:02:30 0:02:30 10:00:00 ");
        row("selecting applies the rules", makeSequence(3000, 40, 20, 2000, 1, 2), u"r2"_s,
            {3000, 40, 40, 3001}, "12:30:00 0:10:00 0:10:00 12:30:15 ");
        row("beyond what the sliders show", makeSequence(6000, 4, 40, 6100, 1, 2), u"r2"_s,
            {6000, 4, 40, 6100}, "", "--");
        // A logo press goes through the model's four slots and off.
        row("logo up to the fourth", s, u"l2 l2 l2"_s, {1920, 4, 40, 2400, 4, 2, 4}, "");
        row("logo off", s, u"l2 l2 l2 l2"_s, {1920, 4, 40, 2400, 0, 2, 4}, "");
        row("logo round again", s, u"l2 l2 l2 l2 l2"_s, {1920, 4, 40, 2400, 1, 2, 4}, "");
        // Undo and redo.
        const QString run = u"r2 s0=2300 s0=2400 s0=2500 s1=8 "_s; // End pushed along
        const QList<int> unchanged{1920, 4, 40, 2400, 1, 2, 4};
        const QList<int> moved{2500, 4, 40, 2501, 1, 2, 4};
        row("a slider's moves are one step", s, run + u"u"_s, moved, "", "uy");
        row("back to the start", s, run + u"u u"_s, unchanged, "", "-y");
        row("redo", s, run + u"u u y"_s, moved, "", "uy");
        row("another row ends the run", s, u"r2 s0=2500 r3 r2 s0=2000 u"_s, moved, "", "uy");
        row("logo and day one at a time", s, u"d16 l2 u"_s, {1920, 4, 40, 2400, 1, 6, 4}, "", "uy");
        row("both undone", s, u"d16 l2 u u"_s, unchanged, "", "-y");
        row("a change drops the redo", s, u"l2 u d20 y"_s, {1920, 4, 40, 2400, 1, 66, 4}, "", "u-");
        row("undo scans again", s, u"d22 c u"_s, unchanged, "", "-y");
        row("redo scans again", s, u"d22 u y"_s, {1920, 4, 40, 2400, 1, 2, 6}, "", "u-");
        // Fifty steps are kept: an odd number of toggles stays.
        const QString toggles = u"d14 "_s.repeated(ScheduleEditor::HistoryLimit + 5);
        row("history capped", s, toggles + u"u "_s.repeated(ScheduleEditor::HistoryLimit),
            {1920, 4, 40, 2400, 1, 3, 4}, "", "-y");
        row("history capped, a step before", s, toggles + u"u "_s.repeated(ScheduleEditor::HistoryLimit - 1),
            unchanged, "", "uy");
        // Locked with a row selected and history: every way in refuses; no row, no history.
        for (const char *step : {"r3", "s0=100", "l2", "d14", "u", "y", "v"})
            row(qPrintable(u"locked, then "_s + QLatin1String(step)), s,
                u"d16 d17 u r2 k "_s + QLatin1String(step), {1920, 4, 40, 2400, 1, 6, 4}, "", "--");
    }

    void edits()
    {
        QFETCH(ScheduleSequence, row2);
        QFETCH(QString, script);
        QFETCH(QList<int>, after);
        QFETCH(QString, history);
        QFETCH(QString, cells);
        table()[2] = row2;
        table()[3] = makeSequence(1924, 4, 480, 2000, 2, 0b100);
        open();
        table()[2].Running = table()[3].Running = true;
        QList<int> lockedSliders;
        for (const QString &step : script.split(u' ', Qt::SkipEmptyParts)) {
            const int n = step.mid(1).section(u'=', 0, 0).toInt();
            const char op = step[0].toLatin1();
            if (op == 'r')
                e->chooseRow(n);
            else if (op == 's')
                e->changeSlider(n, step.section(u'=', 1).toInt());
            else if (op == 'l')
                e->pressLogo(n);
            else if (op == 'd')
                e->toggleDay(n);
            else if (op == 'c')
                e->scanNow();
            else if (op == 'v')
                e->pressButton(1);
            else if (op == 'k') {
                f->core->scheduleState.locked = true;
                e->fill();
                lockedSliders = sliders();
            } else
                op == 'u' ? e->undo() : e->redo();
        }
        QCOMPARE((values(2) + QList<int>{table()[2].Logo, table()[2].daysMask(), table()[3].daysMask()}),
                 after);
        QCOMPARE(QString(e->canUndo() ? u'u' : u'-') + (e->canRedo() ? u'y' : u'-'), history);
        QVERIFY(table()[2].Running && table()[3].Running); // the runner's, not the editor's
        QCOMPARE(f->setting(u"S_Start"_s), u"<missing>"_s);
        if (!lockedSliders.isEmpty())
            QVERIFY(e->selectedRow() == ScheduleEditor::NoRow && sliders() == lockedSliders);
        if (e->selectedRow() == 2 && table()[2].End <= 5760)
            QCOMPARE(sliders(), values(2));
        const ScheduleEditor::RowCells &c = e->cells(2);
        if (!cells.isEmpty()) {
            QCOMPARE(c.start + c.ton + c.off + c.end, cells);
            return;
        }
        ScheduleEditor opened(f->core->deviceState, f->core->scheduleState, *f->settings, f->clock);
        opened.open();
        QCOMPARE(allCells(*e), allCells(opened));
        QVERIFY(e->marks() == opened.marks());
    }

    // The lists as start-up reads them, hand-edited: a bad day item is
    // reported and stops nothing else. Saved back, they read the same.
    void listsAsStoredAndHandEdited()
    {
        CoreFixture f;
        f.setSetting(u"S_Start"_s, u"1920,abc,7.5,"_s + u"1,"_s.repeated(30));
        f.setSetting(u"S_End"_s, u"2400,-3,12x,7"_s);
        f.setSetting(u"S_Days"_s, u"65,127,0,,62,"_s);
        f.setSetting(u"S_ON"_s, u"4,8,"_s);
        f.setSetting(u"S_OFF"_s, u"40,80,"_s);
        f.setSetting(u"S_Logo"_s, u"2,3,"_s);
        f.setSetting(u"PanelLock"_s, u"True"_s);
        f.setSetting(u"Slider-INT"_s, u"30"_s);
        QuillonCore &core = f.start();
        const Schedule &schedule = core.scheduleState.schedule;
        // "abc" is 0, 7.5 rounds half to even, items past 20 are ignored,
        // "12x" is 12 and a last item with no comma is not stored; the empty
        // day item is 0 and the items after it still load.
        QList<int> loaded{schedule[0].Start,  schedule[1].Start, schedule[2].Start,
                          schedule[19].Start, schedule[2].End,   schedule[3].End};
        for (int i = 0; i < 5; ++i)
            loaded << schedule[i].daysMask();
        QCOMPARE(loaded, (QList<int>{1920, 0, 8, 1, 12, -1, 65, 127, 0, 0, 62}));
        QCOMPARE(core.reporter.panelTitle(), u"Form_SetUp"_s);
        QVERIFY(core.reporter.panelText().contains(u"S_Days"_s));
        QVERIFY(core.panelState.locked && core.panelState.intensity == 30);

        schedule.save(*f.settings);
        QCOMPARE(f.setting(u"S_Days"_s), u"65,127,0,0,62,"_s + u"0,"_s.repeated(15));
        Schedule again;
        QVERIFY(!again.LoadSchedule(*f.settings).bad);
        for (int list = 0; list < 6; ++list)
            QCOMPARE(again.listText(list), schedule.listText(list));
    }

    void fastScanMatchesSampling()
    {
        QRandomGenerator random(20261206);
        const auto pick = [&](std::initializer_list<int> values) {
            return *(values.begin() + random.bounded(static_cast<int>(values.size())));
        };
        for (int round = 0; round < 300; ++round) {
            Schedule schedule;
            for (int i = 0; i < Schedule::Count; ++i) {
                if (random.bounded(4) == 0)
                    continue;
                const int start = pick({-5, -1, 0, 1, 1919, 1920, 5759, random.bounded(5760)});
                const int end = pick({-1, 0, 1921, 2400, 5760, 9000, random.bounded(5761)});
                const int on = pick({0, 1, 2, 4, 40, 480, random.bounded(481)});
                const int repeat = pick({-7, 0, 1, 2, 5, 40, 480, random.bounded(481)});
                schedule[i] = makeSequence(start, on, repeat, end, pick({0, 1, 2, 16}), random.bounded(128));
            }
            QVERIFY2(ConflictScan::scanConflicts(schedule) == ConflictScan::sampled(schedule),
                     qPrintable(u"round %1"_s.arg(round)));
        }
    }

    // The help window: a page per tab, and a page for no tab.
    void helpPages()
    {
        QVERIFY(ScheduleHelp::page(1).startsWith(u"END TIME:\r\n"_s)
                && ScheduleHelp::page(7).startsWith(u"CONFLICT TESTING:"_s));
        QVERIFY(ScheduleHelp::page(8) == u"Hello-else"_s && ScheduleHelp::page(-1) == u"Hello-else"_s);
    }
};

QUILLON_TEST_GUILESS_MAIN(TestScheduleEditor)
#include "tst_scheduleeditor.moc"
