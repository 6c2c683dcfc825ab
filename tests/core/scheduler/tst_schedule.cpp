// SPDX-License-Identifier: GPL-3.0-or-later
#include "corefixture.h"
#include "schedulemaker.h"

#include "scheduler/conflictscan.h"
#include "scheduler/schedule.h"

#include <QRandomGenerator>
#include <QTest>

using namespace Qt::StringLiterals;

// The schedule table: its stored lists, and the conflict scan against the
// plain sampling loop. (The on rule is checked against the week timeline in
// tst_scheduleeditor, which also shows a conflict found and its marks.)
class TestSchedule : public QObject
{
    Q_OBJECT

private slots:
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
        const Schedule &schedule = core.state.schedule;
        // "abc" is 0, 7.5 rounds half to even, items past 20 are ignored,
        // "12x" is 12 and a last item with no comma is not stored; the empty
        // day item is 0 and the items after it still load.
        QCOMPARE((QList<int>{schedule[0].Start, schedule[1].Start, schedule[2].Start, schedule[19].Start,
                             schedule[2].End, schedule[3].End}),
                 (QList<int>{1920, 0, 8, 1, 12, -1}));
        QCOMPARE((QList<int>{schedule[0].daysMask(), schedule[1].daysMask(), schedule[2].daysMask(),
                             schedule[3].daysMask(), schedule[4].daysMask()}),
                 (QList<int>{65, 127, 0, 0, 62}));
        QCOMPARE(core.reporter.panelTitle(), u"Form_SetUp"_s);
        QVERIFY(core.reporter.panelText().contains(u"S_Days"_s));
        QVERIFY(core.state.panel.locked && core.state.panel.intensity == 30);

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
};

QUILLON_TEST_GUILESS_MAIN(TestSchedule)
#include "tst_schedule.moc"
