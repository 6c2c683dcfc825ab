// SPDX-License-Identifier: GPL-3.0-or-later
#include "corefixture.h"
#include "schedulemaker.h"

#include "scheduler/conflictscan.h"
#include "scheduler/schedule.h"

#include <QRandomGenerator>
#include <QTest>

namespace {
constexpr int Monday = 1 << 1;
} // namespace

// The schedule table: its stored lists, the on rule, and the conflict scan
// against the plain sampling loop (the editor's tests show a conflict found
// and its marks; an empty store is shown there as every row off).
class TestSchedule : public QObject
{
    Q_OBJECT

private slots:
    void listsAsStoredAndHandEdited()
    {
        CoreFixture f;
        f.setSetting(QStringLiteral("S_Start"),
                     QStringLiteral("1920,abc,7.5,") + QStringLiteral("1,").repeated(30));
        f.setSetting(QStringLiteral("S_End"), QStringLiteral("2400,-3,12x,7"));
        f.setSetting(QStringLiteral("S_Days"), QStringLiteral("65,127,0,,62,"));
        Schedule schedule;
        const Schedule::LoadProblem problem = schedule.LoadSchedule(*f.settings);
        // "abc" is 0, 7.5 rounds half to even, items past 20 are ignored,
        // "12x" is 12 and a last item with no comma is not stored.
        QCOMPARE((QList<int>{schedule[0].Start, schedule[1].Start, schedule[2].Start, schedule[19].Start,
                             schedule[2].End, schedule[3].End}),
                 (QList<int>{1920, 0, 8, 1, 12, -1}));
        // The empty day item is reported; the items after it still load.
        QVERIFY(problem.bad);
        QVERIFY(problem.message.contains(QStringLiteral("S_Days")));
        QList<int> masks;
        for (int i = 0; i < 5; ++i)
            masks << schedule[i].daysMask();
        QCOMPARE(masks, (QList<int>{65, 127, 0, 0, 62}));

        schedule.save(*f.settings);
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
        QVERIFY(core.panelState.locked);
        QCOMPARE(core.panelState.intensity, 30);
        QCOMPARE(core.scheduleState.schedule[1].daysMask(), 2);
    }

    // On from Start, for T-ON in every Repeat, up to End; a sequence with no
    // T-ON, no Repeat, no Start or no logo runs on no day.
    void onRuleAtBoundaries()
    {
        const ScheduleSequence s = makeSequence(1920, 4, 40, 2400, 1, Monday);
        const ScheduleSequence midnight = makeSequence(5759, 480, 480, 5760, 1, Monday);
        QList<bool> on;
        for (int t : {28799, 28800, 28859, 28860, 29400, 35459, 36000})
            on << s.onAt(t);
        on << midnight.onAt(86399) << midnight.onAt(86400);
        QCOMPARE(on, (QList<bool>{false, true, true, false, true, true, false, true, false}));
        QList<bool> enabled;
        for (auto [start, ton, repeat, logo, day] : {std::array{1920, 4, 40, 1, 1},
                                                     {1920, 0, 40, 1, 1},
                                                     {1920, 4, 0, 1, 1},
                                                     {-1, 4, 40, 1, 1},
                                                     {1920, 4, 40, 0, 1},
                                                     {1920, 4, 40, 1, 2}})
            enabled << makeSequence(start, ton, repeat, 2400, logo, Monday).enabledOn(day);
        QCOMPARE(enabled, (QList<bool>{true, false, false, false, false, false}));
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
                     qPrintable(QStringLiteral("round %1").arg(round)));
        }
    }
};

QUILLON_TEST_GUILESS_MAIN(TestSchedule)
#include "tst_schedule.moc"
