// SPDX-License-Identifier: GPL-3.0-or-later
#include "corefixture.h"
#include "schedulemaker.h"

#include "scheduler/conflictscan.h"
#include "scheduler/schedule.h"

#include <QRandomGenerator>
#include <QTest>

namespace {
constexpr int Monday = 1 << 1;
constexpr int Tuesday = 1 << 2;
} // namespace

// The schedule table: its stored lists, the on rule, and the conflict scan
// against the plain sampling loop.
class TestSchedule : public QObject
{
    Q_OBJECT

private slots:
    void emptyStoreLoadsEverySequenceDisabled()
    {
        CoreFixture f;
        Schedule schedule;
        QVERIFY(!schedule.LoadSchedule(*f.settings).bad);
        for (const ScheduleSequence &s : schedule.sequences) {
            QCOMPARE(s.Start, -1);
            QCOMPARE(s.End, 0);
            QCOMPARE(s.Logo, 0);
            QCOMPARE(s.daysMask(), 0);
            QVERIFY(!s.enabledOn(1));
        }
    }

    void listsAsStoredAndHandEdited()
    {
        CoreFixture f;
        f.setSetting(QStringLiteral("S_Start"),
                     QStringLiteral("1920,abc,7.5,") + QStringLiteral("1,").repeated(30));
        f.setSetting(QStringLiteral("S_End"), QStringLiteral("2400,-3,12x,7"));
        f.setSetting(QStringLiteral("S_Days"), QStringLiteral("65,127,0,,62,"));
        Schedule schedule;
        const Schedule::LoadProblem problem = schedule.LoadSchedule(*f.settings);
        QCOMPARE(schedule[0].Start, 1920);
        QCOMPARE(schedule[1].Start, 0);  // no number: 0
        QCOMPARE(schedule[2].Start, 8);  // half to even
        QCOMPARE(schedule[19].Start, 1); // more than 20 items: the rest ignored
        QCOMPARE(schedule[2].End, 12);
        QCOMPARE(schedule[3].End, -1); // "7" has no comma: not stored
        QCOMPARE(schedule[0].daysMask(), 65);
        QCOMPARE(schedule[1].daysMask(), 127);
        // The empty day item is reported; the items after it still load.
        QVERIFY(problem.bad);
        QVERIFY(problem.message.contains(QStringLiteral("S_Days")));
        QCOMPARE(schedule[3].daysMask(), 0);
        QCOMPARE(schedule[4].daysMask(), 62);

        schedule.Save_Settings(*f.settings);
        QCOMPARE(f.setting(QStringLiteral("S_Days")),
                 QStringLiteral("65,127,0,0,62,") + QStringLiteral("0,").repeated(15));
        Schedule again;
        QVERIFY(!again.LoadSchedule(*f.settings).bad);
        for (int list = 0; list < 6; ++list)
            QCOMPARE(again.listText(list), schedule.listText(list));
    }

    void badDayMaskAtStartUpStopsNothingElse()
    {
        CoreFixture f;
        f.setSetting(QStringLiteral("S_Days"), QStringLiteral("x,") + QStringLiteral("2,").repeated(19));
        f.setSetting(QStringLiteral("PanelLock"), QStringLiteral("True"));
        f.setSetting(QStringLiteral("Slider-INT"), QStringLiteral("30"));
        QuillonCore &core = f.start();
        QCOMPARE(core.reporter.panelTitle(), QStringLiteral("Form_SetUp"));
        QVERIFY(core.state.panel.locked);
        QCOMPARE(core.state.panel.intensity, 30);
        QCOMPARE(core.state.schedule[1].daysMask(), 2);
    }

    void onRuleAtBoundaries()
    {
        const ScheduleSequence s = makeSequence(1920, 4, 40, 2400, 1, Monday);
        QVERIFY(!s.onAt(28799));
        QVERIFY(s.onAt(28800));
        QVERIFY(s.onAt(28859));
        QVERIFY(!s.onAt(28860));
        QVERIFY(s.onAt(29400));
        QVERIFY(s.onAt(35459));
        QVERIFY(!s.onAt(36000)); // the end
        const ScheduleSequence midnight = makeSequence(5759, 480, 480, 5760, 1, Monday);
        QVERIFY(midnight.onAt(86399));
        QVERIFY(!midnight.onAt(86400));
        QVERIFY(!makeSequence(1920, 0, 40, 2400, 1, Monday).enabledOn(1));
        QVERIFY(!makeSequence(1920, 4, 0, 2400, 1, Monday).enabledOn(1));
        QVERIFY(!makeSequence(-1, 4, 40, 2400, 1, Monday).enabledOn(1));
        QVERIFY(!makeSequence(1920, 4, 40, 2400, 0, Monday).enabledOn(1));
        QVERIFY(!makeSequence(1920, 4, 40, 2400, 1, Monday).enabledOn(2));
    }

    void conflictCases()
    {
        Schedule schedule;
        schedule[0] = makeSequence(1920, 4, 480, 2000, 1, Monday);
        QVERIFY(ConflictScan::Scan_Conflicts(schedule) == ConflictMarks());
        schedule[1] = makeSequence(1924, 4, 480, 2000, 2, Monday);
        ConflictMarks marks = ConflictScan::Scan_Conflicts(schedule);
        QVERIFY(marks.days[0][1] && marks.days[1][1] && marks.logos[0] && marks.logos[1]);
        QVERIFY(!marks.days[0][2]);
        schedule[1].Start = 1925;
        QVERIFY(ConflictScan::Scan_Conflicts(schedule) == ConflictMarks());
        schedule[1] = makeSequence(1924, 4, 480, 2000, 2, Tuesday);
        QVERIFY(ConflictScan::Scan_Conflicts(schedule) == ConflictMarks());
        // Disabled sequences never take part.
        for (auto disabled :
             {makeSequence(1920, 4, 480, 2000, 0, Monday), makeSequence(-1, 4, 480, 2000, 2, Monday),
              makeSequence(1920, 0, 480, 2000, 2, Monday), makeSequence(1920, 4, 0, 2000, 2, Monday),
              makeSequence(1920, 4, 480, 2000, 2, 0)}) {
            schedule[1] = disabled;
            QVERIFY(ConflictScan::Scan_Conflicts(schedule) == ConflictMarks());
        }
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
            QVERIFY2(ConflictScan::Scan_Conflicts(schedule) == ConflictScan::sampled(schedule),
                     qPrintable(QStringLiteral("round %1").arg(round)));
        }
    }
};

QUILLON_TEST_GUILESS_MAIN(TestSchedule)
#include "tst_schedule.moc"
