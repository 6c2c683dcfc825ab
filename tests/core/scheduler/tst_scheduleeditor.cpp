// SPDX-License-Identifier: GPL-3.0-or-later
#include "corefixture.h"
#include "schedulemaker.h"

#include "scheduler/scheduleeditor.h"
#include "scheduler/schedulehelp.h"
#include "scheduler/weektimeline.h"

#include <QSignalSpy>
#include <QTest>

#include <functional>

using namespace Qt::StringLiterals;

using EditorChange = std::function<void(ScheduleEditor &)>;
Q_DECLARE_METATYPE(EditorChange)

// The schedule editor's form logic on a started core, and the week timeline.
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
        f->core->state.modelNumber = 4;
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
        QCOMPARE(e->selectedRow(), ScheduleEditor::NoRow);
        QVERIFY(e->editorOpen() && !e->setupInProgress());
        QVERIFY(e->controlsEnabled() && e->scanButtonEnabled());
        QVERIFY(!e->lblLockedVisible() && !e->autoScanTicked());

        // With no row selected the sliders move alone.
        e->changeSlider(ScheduleEditor::StartSlider, 100);
        QCOMPARE(e->slider(ScheduleEditor::StartSlider), 100);
        QCOMPARE(table()[0].Start, -1);
        QCOMPARE(e->cells(0).start, u"Off     "_s);
        e->toggleDay(7 * 7 + 2); // nor does a day button select one
        QCOMPARE(e->cells(7).days[2], u"x"_s);
        QCOMPARE(e->selectedRow(), ScheduleEditor::NoRow);
    }

    // A slider moved on a selected row: the rules between the four values;
    // undo then redo puts back the values, sliders and cells as shown (END blank too).
    void sliderRules_data()
    {
        QTest::addColumn<ScheduleSequence>("row");
        QTest::addColumn<int>("slider");
        QTest::addColumn<int>("value");
        QTest::addColumn<QList<int>>("after"); // Start, T-ON, Repeat, End
        QTest::addColumn<QStringList>("cells");
        const auto row
            = [](const char *name, ScheduleSequence s, int slider, int value, const QList<int> &after,
                 const QStringList &cells) { QTest::newRow(name) << s << slider << value << after << cells; };
        const ScheduleSequence s = makeSequence(1920, 4, 40, 2000, 1, 2);
        row("start pushes end", s, ScheduleEditor::StartSlider, 2400, {2400, 4, 40, 2401},
            {u"10:00:00 "_s, u"0:01:00 "_s, u"0:10:00 "_s, u"10:00:15 "_s});
        row("end at midnight turns start off", s, ScheduleEditor::EndSlider, 0, {-1, 4, 40, 0},
            {u"Off     "_s, u"0:01:00 "_s, u"0:10:00 "_s, u"0:00:00 "_s});
        row("end at the top blanks END", s, ScheduleEditor::EndSlider, -1, {-1, 4, 40, -1},
            {u"Off     "_s, u"0:01:00 "_s, u"0:10:00 "_s, QString()});
        row("end at the end of the day", s, ScheduleEditor::EndSlider, 5760, {1920, 4, 40, 5760},
            {u"8:00:00 "_s, u"0:01:00 "_s, u"0:10:00 "_s, u"24:00:00 "_s});
        row("start from off pushes end", makeSequence(-1, 4, 40, 0, 1, 2), ScheduleEditor::StartSlider, 100,
            {100, 4, 40, 101}, {u"0:25:00 "_s, u"0:01:00 "_s, u"0:10:00 "_s, u"0:25:15 "_s});
        row("end down to start pulls start", makeSequence(1920, 4, 40, 2400, 1, 2), ScheduleEditor::EndSlider,
            1920, {1919, 4, 40, 1920}, {u"7:59:45 "_s, u"0:01:00 "_s, u"0:10:00 "_s, u"8:00:00 "_s});
        row("T-ON past repeat raises repeat", makeSequence(1920, 0, 20, 2400, 1, 2), ScheduleEditor::OnSlider,
            40, {1920, 40, 40, 2400}, {u"8:00:00 "_s, u"0:10:00 "_s, u"0:10:00 "_s, u"10:00:00 "_s});
        row("repeat below T-ON lowers T-ON", makeSequence(1920, 40, 40, 2400, 1, 2),
            ScheduleEditor::RepeatSlider, 10, {1920, 10, 10, 2400},
            {u"8:00:00 "_s, u"0:02:30 "_s, u"0:02:30 "_s, u"10:00:00 "_s});
    }

    void sliderRules()
    {
        QFETCH(ScheduleSequence, row);
        QFETCH(int, slider);
        QFETCH(int, value);
        QFETCH(QList<int>, after);
        QFETCH(QStringList, cells);
        table()[2] = row;
        open();
        e->chooseRow(2);
        e->changeSlider(slider, value);
        for (int pass = 0; pass < 2; ++pass) {
            QCOMPARE(values(2), after);
            QCOMPARE(sliders(), after);
            const ScheduleEditor::RowCells &c = e->cells(2);
            QCOMPARE((QStringList{c.start, c.ton, c.off, c.end}), cells);
            e->undo();
            e->redo();
        }
    }

    void selectingARowAppliesTheRules()
    {
        table()[4] = makeSequence(3000, 40, 20, 2000, 1, 0);
        table()[6] = makeSequence(6000, 4, 40, 6100, 1, 0); // beyond what the sliders show
        open();
        e->chooseRow(4);
        QCOMPARE(values(4), (QList<int>{3000, 40, 40, 3001}));
        e->chooseRow(6);
        QCOMPARE(sliders(), (QList<int>{3000, 4, 40, 3001}));
        QCOMPARE(values(6), (QList<int>{6000, 4, 40, 6100}));
    }

    void logoCyclesThroughTheModelsSlots()
    {
        open();
        QStringList shown;
        for (int press = 0; press < 6; ++press) {
            e->pressLogo(7);
            shown << e->cells(7).logo;
        }
        QCOMPARE(shown, (QStringList{u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"Off"_s, u"1"_s}));
        QCOMPARE(table()[7].Logo, 1);
        QCOMPARE(e->selectedRow(), 7);
        QVERIFY(!e->logoClickBusy());
    }

    void lockedShowsButRefuses()
    {
        f->core->state.scheduleLocked = true;
        f->setSetting(u"AutoScan"_s, u"1"_s);
        open();
        QVERIFY(!e->controlsEnabled() && e->lblLockedVisible());
        QVERIFY(!e->scanButtonEnabled() && !e->autoScanTicked());
        e->setAutoScan(true);
        e->setAutoScan(false);
        QVERIFY(e->scanButtonEnabled());
        QCOMPARE(f->setting(u"AutoScan"_s), u"0"_s);
    }

    void lockedRefusesEveryChange_data()
    {
        QTest::addColumn<EditorChange>("change");
        // One row for each way in that checks the lock.
        QTest::newRow("row selector") << EditorChange([](ScheduleEditor &e) { e.chooseRow(4); });
        QTest::newRow("slider") << EditorChange([](ScheduleEditor &e) { e.changeSlider(0, 100); });
        QTest::newRow("logo press") << EditorChange([](ScheduleEditor &e) { e.pressLogo(4); });
        QTest::newRow("day button") << EditorChange([](ScheduleEditor &e) { e.toggleDay(4 * 7); });
        QTest::newRow("undo") << EditorChange([](ScheduleEditor &e) { e.undo(); });
        QTest::newRow("redo") << EditorChange([](ScheduleEditor &e) { e.redo(); });
        QTest::newRow("SAVE") << EditorChange([](ScheduleEditor &e) { e.pressButton(1); });
    }

    void lockedRefusesEveryChange()
    {
        QFETCH(EditorChange, change);
        table()[4] = makeSequence(1920, 4, 40, 2400, 1, 2);
        open();
        // Something to undo and to redo, and a row selected, when the lock comes.
        e->toggleDay(4 * 7 + 2);
        e->toggleDay(4 * 7 + 3);
        e->undo();
        e->chooseRow(4);
        f->core->state.scheduleLocked = true;
        e->fill();
        QCOMPARE(e->selectedRow(), ScheduleEditor::NoRow);
        QVERIFY(!e->canUndo() && !e->canRedo());

        // The six lists, every cell and the sliders.
        const auto state = [this] {
            QStringList lists;
            for (int list = 0; list < 6; ++list)
                lists << table().listText(list);
            return std::tuple(lists, allCells(*e), sliders());
        };
        const auto before = state();
        change(*e);
        QVERIFY(state() == before);
        QCOMPARE(e->selectedRow(), ScheduleEditor::NoRow);
        QCOMPARE(f->setting(u"S_Start"_s), u"<missing>"_s);
    }

    void autoScanEveryFifthTickAfterTheLastSliderMove()
    {
        f->setSetting(u"AutoScan"_s, u" 1 "_s);
        open();
        QVERIFY(e->autoScanTicked() && !e->scanButtonEnabled());
        QCOMPARE(scansDuring(4), 0);
        QCOMPARE(scansDuring(1), 1);
        QCOMPARE(e->clockText(), u"9:05:07"_s);

        QCOMPARE(scansDuring(3), 0);
        e->changeSlider(ScheduleEditor::OnSlider, 5);
        QCOMPARE(scansDuring(4), 0);
        QCOMPARE(scansDuring(1), 1);

        e->setAutoScan(false);
        QVERIFY(e->scanButtonEnabled());
        QCOMPARE(f->setting(u"AutoScan"_s), u"0"_s);
        QCOMPARE(scansDuring(10), 0);
    }

    void onlyChangedMarksAreReported()
    {
        // B comes on exactly when A's minute ends: a conflict on Monday.
        table()[0] = makeSequence(1920, 4, 480, 2000, 1, 2);
        table()[1] = makeSequence(1924, 4, 480, 2000, 2, 2);
        create();
        QSignalSpy spy(e.get(), &ScheduleEditor::marksChanged);
        e->open();
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).value<QList<int>>(), (QList<int>{1, 8}));
        QCOMPARE(spy.at(0).at(1).value<QList<int>>(), (QList<int>{0, 1}));

        e->scanNow();
        QCOMPARE(spy.count(), 1);

        table()[1].Start = 1925;
        e->scanNow();
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(1).at(0).value<QList<int>>(), (QList<int>{1, 8}));
        QVERIFY(!e->marks().logos[0] && !e->marks().days[1][1]);
        QVERIFY(!e->scanBusy());
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
                const WeekTimeline::Intervals found = week.intervals(day, i);
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
        // B cannot share A's lane; C can.
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

    // Undo and redo as a script: rN row N, sN=V slider N to V, lN logo N, dN day
    // button N, u undo, y redo. Row 2 is on Mondays, row 3 on Tuesdays a minute
    // after it: on Mondays too, they conflict. After: row 2's values, logo and
    // days, row 3's days; cells, sliders and marks as opening would show them.
    void undoAndRedo_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QList<int>>("after");
        QTest::addColumn<bool>("canUndo");
        QTest::addColumn<bool>("canRedo");
        const QList<int> unchanged{1920, 4, 40, 2400, 1, 2, 4};
        const QList<int> moved{2500, 4, 40, 2501, 1, 2, 4};
        const QString run = u"r2 s0=2300 s0=2400 s0=2500 s1=8 "_s; // End pushed along
        QTest::newRow("a slider's moves are one step") << run + u"u"_s << moved << true << true;
        QTest::newRow("back to the start") << run + u"u u"_s << unchanged << false << true;
        QTest::newRow("redo") << run + u"u u y"_s << moved << true << true;
        QTest::newRow("another row ends the run") << u"r2 s0=2500 r3 r2 s0=2000 u"_s << moved << true << true;
        QTest::newRow("logo and day one at a time")
            << u"d16 l2 u"_s << QList<int>{1920, 4, 40, 2400, 1, 6, 4} << true << true;
        QTest::newRow("both undone") << u"d16 l2 u u"_s << unchanged << false << true;
        QTest::newRow("a change drops the redo")
            << u"l2 u d20 y"_s << QList<int>{1920, 4, 40, 2400, 1, 66, 4} << true << false;
        QTest::newRow("undo scans again") << u"d22 c u"_s << unchanged << false << true;
        QTest::newRow("redo scans again")
            << u"d22 u y"_s << QList<int>{1920, 4, 40, 2400, 1, 2, 6} << true << false;
    }

    void undoAndRedo()
    {
        QFETCH(QString, script);
        QFETCH(QList<int>, after);
        QFETCH(bool, canUndo);
        QFETCH(bool, canRedo);
        table()[2] = makeSequence(1920, 4, 40, 2400, 1, 0b10);
        table()[3] = makeSequence(1924, 4, 480, 2000, 2, 0b100);
        open();
        QVERIFY(!e->canUndo() && !e->canRedo());
        table()[2].Running = table()[3].Running = true;
        for (const QString &step : script.split(u' ')) {
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
            else
                op == 'u' ? e->undo() : e->redo();
        }
        QCOMPARE((values(2) + QList<int>{table()[2].Logo, table()[2].daysMask(), table()[3].daysMask()}),
                 after);
        QCOMPARE(e->canUndo(), canUndo);
        QCOMPARE(e->canRedo(), canRedo);
        QVERIFY(table()[2].Running && table()[3].Running); // the runner's, not the editor's
        if (e->selectedRow() == 2)
            QCOMPARE(sliders(), values(2));
        ScheduleEditor opened(f->core->state, *f->settings, f->clock);
        opened.open();
        QCOMPARE(allCells(*e), allCells(opened));
        QVERIFY(e->marks() == opened.marks());
    }

    void historyIsCapped()
    {
        open();
        for (int i = 0; i < ScheduleEditor::HistoryLimit + 5; ++i)
            e->toggleDay(0);
        int steps = 0;
        for (; e->canUndo(); ++steps)
            e->undo();
        QCOMPARE(steps, ScheduleEditor::HistoryLimit);
        QVERIFY(table()[0].Days[0]); // five toggles stay
    }

    // The help window: a page per tab, and a page for no tab.
    void helpPages()
    {
        QCOMPARE(ScheduleHelp::tabCaptions().size(), 8);
        QVERIFY(ScheduleHelp::page(1).startsWith(u"END TIME:\r\n"_s));
        QVERIFY(ScheduleHelp::page(7).startsWith(u"CONFLICT TESTING:"_s));
        QCOMPARE(ScheduleHelp::page(8), u"Hello-else"_s);
        QCOMPARE(ScheduleHelp::page(-1), u"Hello-else"_s);
    }
};

QUILLON_TEST_GUILESS_MAIN(TestScheduleEditor)
#include "tst_scheduleeditor.moc"
