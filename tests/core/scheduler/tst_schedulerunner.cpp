// SPDX-License-Identifier: GPL-3.0-or-later
#include "corefixture.h"
#include "schedulemaker.h"

#include "scheduler/asrunlog.h"
#include "scheduler/nextswitch.h"
#include "scheduler/schedulerunner.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <QTimeZone>

#include <sys/stat.h>

namespace {
constexpr int Sunday = 1, Monday = 2, Tuesday = 4, Wednesday = 8, Friday = 32, Saturday = 64, EveryDay = 127;

struct Sent {
    QString at; // local time hh:mm:ss.zzz of the tick that sent it
    QByteArray command;
    bool operator==(const Sent &) const = default;
};
} // namespace

namespace QTest {
template<> char *toString(const Sent &sent)
{
    return qstrdup(qPrintable(sent.at + QLatin1Char(' ') + QString::fromLatin1(sent.command.toHex(' '))));
}
} // namespace QTest

// The runner, tick by tick on a clock the test moves: which command goes out
// at which second.
class TestScheduleRunner : public QObject
{
    Q_OBJECT

    std::unique_ptr<CoreFixture> f;
    QuillonCore &core() { return *f->core; }

    // Ticks as the window does, aligned to the wall clock, from one instant
    // to another (milliseconds since the epoch in the clock's zone).
    QList<Sent> run(const QDateTime &from, const QDateTime &to)
    {
        QList<Sent> sent;
        f->clock.time = from;
        while (f->clock.time < to) {
            const qsizetype before = f->port.writes.size();
            core().runner.tmrSchedule_Timer();
            for (qsizetype i = before; i < f->port.writes.size(); ++i)
                sent.append({f->clock.time.toString(QStringLiteral("ddd HH:mm:ss.zzz")), f->port.writes[i]});
            f->clock.time = f->clock.time.addMSecs(core().runner.msUntilNextTick());
        }
        return sent;
    }

    static QList<QByteArray> commands(const QList<Sent> &sent)
    {
        QList<QByteArray> out;
        for (const Sent &s : sent)
            out << s.command;
        return out;
    }

private slots:
    void init()
    {
        f = std::make_unique<CoreFixture>();
        f->setSetting(QStringLiteral("QX_Model"), QStringLiteral("31"));
        f->startConnected();
        core().state.scheduleOn = true;
    }

    void repeatingSequenceOnItsDay()
    {
        core().state.schedule[0] = makeSequence(1920, 4, 40, 2400, 2, Monday);
        // 2026-12-07 is a Monday; the first tick looks ahead at the half second.
        const QList<Sent> sent = run(QDateTime(QDate(2026, 12, 7), QTime(7, 59, 0, 505)),
                                     QDateTime(QDate(2026, 12, 7), QTime(10, 30)));
        QCOMPARE(sent.value(0), (Sent{QStringLiteral("Mon 07:59:51.505"), QByteArray("AJ02\0\0\0", 7)}));
        QCOMPARE(sent.value(1).command, QByteArray("AJ02\0\0\0", 7)); // the slot selection sends it once more
        QCOMPARE(sent.value(2), (Sent{QStringLiteral("Mon 08:00:00.005"), "AT1"}));
        QCOMPARE(sent.value(3), (Sent{QStringLiteral("Mon 08:01:00.005"), "AT0"}));
        QCOMPARE(sent.value(4), (Sent{QStringLiteral("Mon 08:10:00.005"), "AT1"}));
        QCOMPARE(sent.last(), (Sent{QStringLiteral("Mon 09:51:00.005"), "AT0"}));
        QCOMPARE(commands(sent).count("AT1"), 12);
        QCOMPARE(commands(sent).count("AT0"), 12);
        QCOMPARE(core().state.currentSlot, 2);
        QVERIFY(core().state.logoMenuChecked[2]);

        // The next day sends nothing.
        QVERIFY(run(QDateTime(QDate(2026, 12, 8), QTime(7, 59, 0, 505)),
                    QDateTime(QDate(2026, 12, 8), QTime(10, 30)))
                    .isEmpty());
    }

    // Every selection and TAKE the runner sends goes to the as-run log,
    // after whatever the file already held.
    void asRunLogRecordsWhatTheRunnerSends()
    {
        const QString fileName = f->dir.filePath(QStringLiteral("state/Quillon/as-run.csv"));
        AsRunWriter log{AsRunLog(fileName)};
        const QDateTime before(QDate(2026, 12, 6), QTime(23, 0), QTimeZone(-19800));
        QVERIFY(log.log().append({before, 9, 9, QStringLiteral("TAKE ON"), false}).isEmpty());
        core().runner.setAsRunLog(&log);
        core().state.schedule[2] = makeSequence(1920, 4, 40, 1928, 2, Monday);
        const QDateTime from(QDate(2026, 12, 7), QTime(7, 59, 0, 505));
        run(from, from.addSecs(180));
        QVERIFY(log.waitUntilWritten(5000));
        const int offset = from.offsetFromUtc() / 60;
        const QString zone = QStringLiteral("%1%2:%3")
                                 .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                                 .arg(std::abs(offset) / 60, 2, 10, QLatin1Char('0'))
                                 .arg(std::abs(offset) % 60, 2, 10, QLatin1Char('0'));

        QFile file(fileName);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines
            = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(
            lines,
            (QStringList{AsRunLog::header(), QStringLiteral("2026-12-06T23:00:00.000-05:30,9,9,TAKE ON,no"),
                         QStringLiteral("2026-12-07T07:59:51.505%1,3,2,SELECT,yes").arg(zone),
                         QStringLiteral("2026-12-07T08:00:00.005%1,3,2,TAKE ON,yes").arg(zone),
                         QStringLiteral("2026-12-07T08:01:00.005%1,3,2,TAKE OFF,yes").arg(zone)}));
    }

    // A log that cannot be written is reported once, for what it is, and the
    // runner goes on: a file that is no regular file is never waited on (a
    // named pipe with no reader would block an open for good).
    void asRunLogThatCannotBeWritten_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reported");
        QTest::newRow("missing folder") << QString() << QStringLiteral("cannot create the folder");
        QTest::newRow("named pipe") << QStringLiteral("fifo") << QStringLiteral("is a named pipe");
        QTest::newRow("folder") << QStringLiteral("folder") << QStringLiteral("is a folder");
    }
    void asRunLogThatCannotBeWritten()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reported);
        QString fileName = f->dir.filePath(QStringLiteral("as-run.csv"));
        if (kind == QLatin1String("fifo"))
            QCOMPARE(::mkfifo(QFile::encodeName(fileName).constData(), 0644), 0);
        else if (kind == QLatin1String("folder"))
            QVERIFY(QDir().mkpath(fileName));
        else
            fileName = QStringLiteral("/proc/no-such-folder/as-run.csv");
        AsRunWriter log{AsRunLog(fileName)};
        core().runner.setAsRunLog(&log);
        core().state.schedule[2] = makeSequence(1920, 4, 40, 1928, 2, Monday);
        const QList<Sent> sent = run(QDateTime(QDate(2026, 12, 14), QTime(7, 59, 0, 505)),
                                     QDateTime(QDate(2026, 12, 14), QTime(8, 2)));
        QCOMPARE(commands(sent).count("AT1"), 1);
        QCOMPARE(commands(sent).count("AT0"), 1);
        QVERIFY(log.waitUntilWritten(5000));
        QCoreApplication::processEvents();
        const QString text = core().reporter.panelText();
        QCOMPARE(text.count(QStringLiteral("as-run log could not be written")), 1);
        QVERIFY2(text.contains(reported), qPrintable(text));
        if (kind.isEmpty())
            return;
        const AsRunLog::Tail tail = log.log().readTail(1000);
        QVERIFY(tail.exists);
        QVERIFY2(tail.problem.contains(reported), qPrintable(tail.problem));
    }

    // A sequence found on with no look-ahead before it (the program started
    // inside the on period, the clock stepped forward into it) selects its
    // logo first, in the same tick as TAKE ON; and nothing goes out before
    // the link's wake-up, or sleeping nodes would miss it.
    void goingOnUnforeseenSelectsFirst_data()
    {
        QTest::addColumn<bool>("started");
        QTest::newRow("started inside the on period") << true;
        QTest::newRow("clock step into the on period") << false;
    }
    void goingOnUnforeseenSelectsFirst()
    {
        QFETCH(bool, started);
        core().state.schedule[0] = makeSequence(2880, 40, 480, 2960, 3, Monday); // 12:00 for ten minutes
        // Ticks before, ending so that the first tick after is a present one.
        const auto before = [&](const QDateTime &from) {
            const QList<Sent> sent = run(from, from.addSecs(3));
            if (!core().runner.lookAheadPhase())
                core().runner.tmrSchedule_Timer();
            return sent;
        };
        if (started) {
            f = std::make_unique<CoreFixture>();
            f->port.present.insert(1);
            f->setSetting(QStringLiteral("ComPort"), QStringLiteral("1"));
            f->start();
            core().state.schedule[0] = makeSequence(2880, 40, 480, 2960, 3, Monday);
            QVERIFY(before(QDateTime(QDate(2026, 12, 7), QTime(12, 1, 0, 505))).isEmpty());
            QVERIFY(f->port.writes.isEmpty());
            f->wake();
        } else {
            QVERIFY(before(QDateTime(QDate(2026, 12, 7), QTime(11, 0, 0, 505))).isEmpty());
        }
        const QDateTime from(QDate(2026, 12, 7), QTime(12, 2, 0, 5));
        const QList<Sent> sent = run(from, from.addSecs(2));
        const QByteArray select("AJ03\0\0\0", 7);
        QCOMPARE(commands(sent).mid(0, 3), (QList<QByteArray>{select, select, "AT1"}));
        QCOMPARE(sent[0].at, sent[2].at);
    }

    void acrossMidnightAndToTheEndOfTheDay()
    {
        core().state.schedule[0] = makeSequence(0, 20, 20, 20, 3, Sunday);
        core().state.schedule[1] = makeSequence(5756, 480, 480, 5760, 1, Wednesday);
        // Saturday 2026-12-12 into Sunday.
        const QList<Sent> weekend = run(QDateTime(QDate(2026, 12, 12), QTime(23, 59, 0, 505)),
                                        QDateTime(QDate(2026, 12, 13), QTime(0, 10)));
        QCOMPARE(weekend.value(0), (Sent{QStringLiteral("Sat 23:59:51.505"), QByteArray("AJ03\0\0\0", 7)}));
        QCOMPARE(weekend.value(2), (Sent{QStringLiteral("Sun 00:00:00.005"), "AT1"}));
        QCOMPARE(weekend.value(3), (Sent{QStringLiteral("Sun 00:05:00.005"), "AT0"}));
        QCOMPARE(weekend.size(), 4);

        const QList<Sent> wednesday = run(QDateTime(QDate(2026, 12, 9), QTime(23, 58, 0, 505)),
                                          QDateTime(QDate(2026, 12, 10), QTime(0, 1)));
        QCOMPARE(commands(wednesday).count("AT1"), 1);
        QCOMPARE(wednesday.value(2), (Sent{QStringLiteral("Wed 23:59:00.005"), "AT1"}));
        QCOMPARE(wednesday.last(), (Sent{QStringLiteral("Thu 00:00:00.005"), "AT0"}));
    }

    void overlappingSequencesInterfere()
    {
        core().state.schedule[0] = makeSequence(1920, 8, 480, 1928, 1, Tuesday); // 08:00-08:02
        core().state.schedule[1] = makeSequence(1924, 8, 480, 1932, 2, Tuesday); // 08:01-08:03
        const QList<QByteArray> sent = commands(run(QDateTime(QDate(2026, 12, 8), QTime(7, 59, 0, 505)),
                                                    QDateTime(QDate(2026, 12, 8), QTime(8, 5))));
        QCOMPARE(sent.count("AT1"), 2);
        QCOMPARE(sent.count("AT0"), 2);
        // In the overlap both logos are selected every second.
        QVERIFY(sent.count(QByteArray("AJ01\0\0\0", 7)) > 40);
        QVERIFY(sent.count(QByteArray("AJ02\0\0\0", 7)) > 40);
    }

    void logoWithoutAButtonIsReportedOnceAndTheRestRuns()
    {
        core().state.schedule[0] = makeSequence(2880, 4, 480, 2900, 16, Friday);
        core().state.schedule[1] = makeSequence(2880, 4, 480, 2900, 4, Friday);
        const QList<QByteArray> sent = commands(run(QDateTime(QDate(2026, 12, 11), QTime(11, 59, 0, 505)),
                                                    QDateTime(QDate(2026, 12, 11), QTime(12, 5))));
        QCOMPARE(sent,
                 (QList<QByteArray>{QByteArray("AJ04\0\0\0", 7), QByteArray("AJ04\0\0\0", 7), "AT1", "AT0"}));
        QCOMPARE(core().reporter.panelTitle(), QStringLiteral("Scan_Schedule x5a"));
        QCOMPARE(core().reporter.panelText().count(QStringLiteral("logo 16")), 1);
    }

    // The editor cycles logos up to 31 and the headless runner reloads the
    // schedule keeping Running: a sequence on air whose logo changes to one
    // without a button still goes off at its off time. The bad logo is
    // reported once a streak: again after it was valid in between.
    void logoChangedWhileOnAirStillGoesOff()
    {
        const auto day = [](int hour, int minute) {
            return QDateTime(QDate(2026, 12, 11), QTime(hour, minute, 0, 505));
        };
        ScheduleSequence &s = core().state.schedule[0];
        s = makeSequence(2880, 8, 480, 2900, 2, Friday); // 12:00 for two minutes
        const MainState before = {};
        QCOMPARE(commands(run(day(11, 59), day(12, 1))).count("AT1"), 1);
        s.Logo = 31;
        QCOMPARE(commands(run(day(12, 1), day(12, 3))), QList<QByteArray>{"AT0"});
        QVERIFY(!s.Running);
        QCOMPARE(core().state.onAirMark, before.onAirMark);
        for (int logo : {20, 3, 20}) {
            s.Logo = logo;
            run(day(12, 0), day(12, 1));
        }
        QCOMPARE(core().reporter.panelText().count(QStringLiteral("logo 31")), 1);
        QCOMPARE(core().reporter.panelText().count(QStringLiteral("logo 20")), 2);
    }

    void switchingOffLeavesTheLogoOnAir()
    {
        core().state.schedule[0] = makeSequence(1920, 40, 480, 2400, 1, EveryDay);
        run(QDateTime(QDate(2026, 12, 7), QTime(7, 59, 50, 505)),
            QDateTime(QDate(2026, 12, 7), QTime(8, 0, 5)));
        QVERIFY(core().state.schedule[0].Running);
        f->port.writes.clear();
        core().runner.mnuScheduleOnOff_Click();
        QVERIFY(!core().state.scheduleOn);
        QVERIFY(!core().state.runningLabelVisible);
        QVERIFY(f->port.writes.isEmpty());
        QCOMPARE(f->setting(QStringLiteral("ScheduleOn")), QStringLiteral("False"));
        // Back on after the sequence ended: TAKE OFF at the next present tick.
        core().runner.mnuScheduleOnOff_Click();
        const QList<QByteArray> sent = commands(run(QDateTime(QDate(2026, 12, 7), QTime(10, 0, 0, 505)),
                                                    QDateTime(QDate(2026, 12, 7), QTime(10, 0, 3))));
        QCOMPARE(sent, QList<QByteArray>{"AT0"});
    }

    void daylightSavingChanges()
    {
        const QTimeZone berlin("Europe/Berlin");
        QVERIFY(berlin.isValid());
        core().state.schedule[0]
            = makeSequence(360, 600, 600, 960, 1, EveryDay);                     // 01:30-04:00, on throughout
        core().state.schedule[1] = makeSequence(540, 60, 60, 600, 2, EveryDay);  // 02:15-02:30
        core().state.schedule[2] = makeSequence(720, 4, 480, 1000, 3, EveryDay); // 03:00 for a minute
        const auto local = [&](QDate date, QTime time) { return QDateTime(date, time, berlin); };

        // Spring: 02:00 becomes 03:00. The sequence across the gap switches
        // once each way, the one inside the missing hour never, the one at
        // 03:00 still does.
        QList<Sent> spring
            = run(local(QDate(2025, 3, 30), QTime(1, 0, 0, 505)), local(QDate(2025, 3, 30), QTime(5, 0)));
        QList<QByteArray> sent = commands(spring);
        QCOMPARE(sent.count("AT1"), 2);
        QCOMPARE(sent.count("AT0"), 2);
        QVERIFY(!sent.contains(QByteArray("AJ02\0\0\0", 7)));
        QCOMPARE(spring.first(), (Sent{QStringLiteral("Sun 01:29:51.505"), QByteArray("AJ01\0\0\0", 7)}));

        // Autumn: 03:00 becomes 02:00 again. The hour between happens twice:
        // the sequence inside it switches in each, the long one only once.
        for (ScheduleSequence &s : core().state.schedule.sequences)
            s.Running = false;
        QList<Sent> autumn
            = run(local(QDate(2025, 10, 26), QTime(1, 0, 0, 505)), local(QDate(2025, 10, 26), QTime(5, 0)));
        sent = commands(autumn);
        QCOMPARE(sent.count("AT1"), 1 + 2 + 1);
        QCOMPARE(sent.count("AT0"), 1 + 2 + 1);
    }

    // The main window's "next TAKE": the first switch after now, within the
    // day, across midnight and across the week's end.
    void nextSwitch()
    {
        const auto at = [](int day, const char *time) {
            // 2026-12-06 is a Sunday: day 0 to 6 is Sunday to Saturday.
            return QDateTime(QDate(2026, 12, 6).addDays(day), QTime::fromString(QString::fromLatin1(time)));
        };
        Schedule schedule;
        // Mondays 8:00 to 8:20, one minute on every two.
        schedule[2] = makeSequence(1920, 4, 8, 2000, 2, 1 << 1);
        // Sundays from 23:59 to midnight; Saturdays 6:00 for a minute.
        schedule[5] = makeSequence(5756, 4, 8, 5760, 4, 1 << 0);
        schedule[7] = makeSequence(1440, 4, 480, 1444, 16, 1 << 6); // logo 16 has no button: never switched

        const auto check = [&](const QDateTime &now, int sequence, bool on, const QDateTime &when) {
            const auto next = NextSwitch::find(schedule, now);
            QVERIFY(next.has_value());
            QCOMPARE(next->sequence, sequence);
            QCOMPARE(next->on, on);
            QCOMPARE(next->at, when);
        };
        check(at(1, "07:59:50"), 3, true, at(1, "08:00:00"));
        check(at(1, "08:00:30"), 3, false, at(1, "08:01:00"));
        check(at(1, "08:01:00"), 3, true, at(1, "08:02:00"));
        // After the last on time of Monday the next is Sunday's, six days on.
        check(at(1, "08:19:30"), 6, true, at(7, "23:59:00"));
        // On at midnight on Sunday: off as Monday begins (not a Monday sequence).
        check(at(0, "23:59:10"), 6, false, at(1, "00:00:00"));
        // Saturday evening: the week wraps to Sunday night.
        check(at(6, "22:00:00"), 6, true, at(7, "23:59:00"));

        const auto next = NextSwitch::find(schedule, at(1, "07:58:50"));
        QCOMPARE(next->text(at(1, "07:58:50")), QStringLiteral("TAKE ON logo 2 (sequence 3) in 0:01:10"));

        Schedule nothing;
        nothing[0] = makeSequence(1440, 4, 8, 1500, 0, 0x7F); // no logo
        QVERIFY(!NextSwitch::find(nothing, at(3, "12:00:00")).has_value());
    }
};

QUILLON_TEST_GUILESS_MAIN(TestScheduleRunner)
#include "tst_schedulerunner.moc"
