// SPDX-License-Identifier: GPL-3.0-or-later
#include "corefixture.h"
#include "schedulemaker.h"

#include "device_link/serialport.h"
#include "scheduler/asrunlog.h"
#include "scheduler/nextswitch.h"
#include "scheduler/schedulerunner.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <QTimeZone>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {
constexpr int Sunday = 1, Monday = 2, Tuesday = 4, Wednesday = 8, Friday = 32, Saturday = 64, EveryDay = 127;

QDateTime at(int year, int month, int day, int hour, int minute, int second = 0, int ms = 505)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second, ms));
}
} // namespace

// The runner, ticked on a clock the test moves: which command goes out when.
class TestScheduleRunner : public QObject
{
    Q_OBJECT

    std::unique_ptr<CoreFixture> f;
    QuillonCore &core() { return *f->core; }

    // Ticks as the window does; each command as "ddd HH:mm:ss.zzz AJ02%00...".
    QStringList run(const QDateTime &from, const QDateTime &to)
    {
        QStringList sent;
        f->clock.time = from;
        while (f->clock.time < to) {
            const qsizetype before = f->port.writes.size();
            core().runner.tick();
            for (qsizetype i = before; i < f->port.writes.size(); ++i)
                sent << f->clock.time.toString(u"ddd HH:mm:ss.zzz "_s)
                            + QString::fromLatin1(f->port.writes[i].toPercentEncoding());
            f->clock.time = f->clock.time.addMSecs(core().runner.msUntilNextTick());
        }
        return sent;
    }
    static qsizetype count(const QStringList &sent, const QString &command)
    {
        return std::ranges::count_if(sent, [&](const QString &s) { return s.endsWith(u' ' + command); });
    }
    // The TAKE ONs and TAKE OFFs sent, as "ons/offs".
    QString takes(const QStringList &s) { return u"%1/%2"_s.arg(count(s, "AT1"_L1)).arg(count(s, "AT0"_L1)); }

private slots:
    void init()
    {
        f = std::make_unique<CoreFixture>();
        f->setSetting(u"QX_Model"_s, u"31"_s);
        f->startConnected();
        core().scheduleState.on = true;
    }

    // Select (twice: once more for the slot) at the look-ahead 8 s before;
    // TAKE ON and OFF in the tick of their second, on the sequence's days only.
    void switchTimes()
    {
        // 2026-12-07 is a Monday: a minute every ten from 8:00 to 10:00.
        core().scheduleState.schedule[0] = makeSequence(1920, 4, 40, 2400, 2, Monday);
        const QStringList sent = run(at(2026, 12, 7, 7, 59), at(2026, 12, 7, 10, 30));
        QCOMPARE(sent.mid(0, 5), (QStringList{u"Mon 07:59:51.505 AJ02%00%00%00"_s,
                                              u"Mon 07:59:51.505 AJ02%00%00%00"_s, u"Mon 08:00:00.005 AT1"_s,
                                              u"Mon 08:01:00.005 AT0"_s, u"Mon 08:10:00.005 AT1"_s}));
        QVERIFY(sent.last() == u"Mon 09:51:00.005 AT0"_s && takes(sent) == u"12/12"_s);
        QVERIFY(core().logoState.currentSlot == 2 && core().logoState.slotChosen[2]);
        QVERIFY(run(at(2026, 12, 8, 7, 59), at(2026, 12, 8, 10, 30)).isEmpty());

        // From midnight, selected the day before; to 24:00, off as the next day begins.
        core().scheduleState.schedule[0] = makeSequence(0, 20, 20, 20, 3, Sunday);
        core().scheduleState.schedule[1] = makeSequence(5756, 480, 480, 5760, 1, Wednesday);
        QCOMPARE(run(at(2026, 12, 12, 23, 59), at(2026, 12, 13, 0, 10)),
                 (QStringList{u"Sat 23:59:51.505 AJ03%00%00%00"_s, u"Sat 23:59:51.505 AJ03%00%00%00"_s,
                              u"Sun 00:00:00.005 AT1"_s, u"Sun 00:05:00.005 AT0"_s}));
        QCOMPARE(run(at(2026, 12, 9, 23, 58), at(2026, 12, 10, 0, 1)),
                 (QStringList{u"Wed 23:58:51.505 AJ01%00%00%00"_s, u"Wed 23:58:51.505 AJ01%00%00%00"_s,
                              u"Wed 23:59:00.005 AT1"_s, u"Thu 00:00:00.005 AT0"_s}));
    }

    // What the runner sends is appended to the as-run log, at the clock's
    // offset. A log that cannot be written is reported once, for what it is,
    // and the runner goes on; a named pipe with no reader is never opened.
    void asRunLog_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("path"); // in the test's folder
        QTest::addColumn<QString>("reported");
        QTest::newRow("new folder and file") << u"file"_s << u"state/Quillon/as-run.csv"_s << QString();
        QTest::newRow("missing folder")
            << QString() << u"/proc/no-such-folder/as-run.csv"_s << u"cannot create the folder"_s;
        QTest::newRow("named pipe") << u"fifo"_s << u"as-run.csv"_s << u"is a named pipe"_s;
        QTest::newRow("folder") << u"folder"_s << u"as-run.csv"_s << u"is a folder"_s;
    }
    void asRunLog()
    {
        QFETCH(QString, kind);
        QFETCH(QString, path);
        QFETCH(QString, reported);
        const QString fileName = f->dir.filePath(path);
        if (kind == "fifo"_L1)
            QCOMPARE(::mkfifo(QFile::encodeName(fileName).constData(), 0644), 0);
        else if (kind == "folder"_L1)
            QVERIFY(QDir().mkpath(fileName));
        AsRunWriter log{AsRunLog(fileName)};
        const QTimeZone zone(-19800); // 5:30 behind UTC, as a line already there
        const QString earlier = u"2026-12-06T23:00:00.000-05:30,9,9,TAKE ON,no"_s;
        if (kind == "file"_L1)
            QVERIFY(
                log.log()
                    .append({QDateTime(QDate(2026, 12, 6), QTime(23, 0), zone), 9, 9, u"TAKE ON"_s, false})
                    .isEmpty());
        core().runner.setAsRunLog(&log);
        core().scheduleState.schedule[2] = makeSequence(1920, 4, 40, 1928, 2, Monday);
        const QDateTime from(QDate(2026, 12, 7), QTime(7, 59, 0, 505), zone);
        const QStringList sent = run(from, from.addSecs(180));
        QCOMPARE(takes(sent), u"1/1"_s);
        QVERIFY(log.waitUntilWritten(5000));
        QCoreApplication::processEvents();
        const QString text = core().reporter.panelText();
        QCOMPARE(text.count(u"as-run log could not be written"_s), reported.isEmpty() ? 0 : 1);
        QVERIFY2(text.contains(reported), qPrintable(text));
        const AsRunLog::Tail tail = log.log().readTail(1000);
        QCOMPARE(tail.exists, !kind.isEmpty());
        QVERIFY2(!tail.exists || tail.problem.contains(reported), qPrintable(tail.problem));
        if (kind == "file"_L1)
            QCOMPARE(
                tail.text.split(u'\n', Qt::SkipEmptyParts),
                (QStringList{AsRunLog::header(), earlier, u"2026-12-07T07:59:51.505-05:30,3,2,SELECT,yes"_s,
                             u"2026-12-07T08:00:00.005-05:30,3,2,TAKE ON,yes"_s,
                             u"2026-12-07T08:01:00.005-05:30,3,2,TAKE OFF,yes"_s}));
    }

    // A sequence found on without a look-ahead selects its logo in the TAKE ON
    // tick; nothing goes out before the link's wake-up (sleeping nodes miss it).
    void goingOnUnforeseenSelectsFirst_data()
    {
        QTest::addColumn<bool>("started");
        QTest::newRow("started inside the on period") << true;
        QTest::newRow("clock step into the on period") << false;
    }
    void goingOnUnforeseenSelectsFirst()
    {
        QFETCH(bool, started);
        if (started) { // inside the on period, the port open but its node asleep
            f = std::make_unique<CoreFixture>();
            f->port.present.insert(1);
            f->setSetting(u"ComPort"_s, u"1"_s);
            f->start();
        }
        core().scheduleState.schedule[0]
            = makeSequence(2880, 40, 480, 2960, 3, Monday); // ten minutes from noon
        const QDateTime before = started ? at(2026, 12, 7, 12, 1) : at(2026, 12, 7, 11, 0);
        QVERIFY(run(before, before.addSecs(3)).isEmpty());
        if (!core().runner.lookAheadPhase()) // so that the next tick is a present one
            core().runner.tick();
        if (started) {
            QVERIFY(f->port.writes.isEmpty());
            f->wake();
        }
        const QDateTime from = at(2026, 12, 7, 12, 2, 0, 5);
        QCOMPARE(run(from, from.addSecs(2)).mid(0, 3),
                 (QStringList{u"Mon 12:02:00.005 AJ03%00%00%00"_s, u"Mon 12:02:00.005 AJ03%00%00%00"_s,
                              u"Mon 12:02:00.005 AT1"_s}));
    }

    void overlappingSequencesInterfere()
    {
        core().scheduleState.schedule[0] = makeSequence(1920, 8, 480, 1928, 1, Tuesday); // 08:00-08:02
        core().scheduleState.schedule[1] = makeSequence(1924, 8, 480, 1932, 2, Tuesday); // 08:01-08:03
        const QStringList sent = run(at(2026, 12, 8, 7, 59), at(2026, 12, 8, 8, 5));
        QCOMPARE(takes(sent), u"2/2"_s);
        // In the overlap both logos are selected every second.
        QVERIFY(count(sent, u"AJ01%00%00%00"_s) > 40 && count(sent, u"AJ02%00%00%00"_s) > 40);
    }

    // A logo without a button is reported once a streak and the rest runs; a
    // sequence on air whose logo changes to such a one still goes off.
    void logoWithoutAButton()
    {
        const auto friday = [](int hour, int minute) { return at(2026, 12, 11, hour, minute); };
        ScheduleSequence &s = core().scheduleState.schedule[0];
        s = makeSequence(2880, 4, 480, 2900, 16, Friday);
        core().scheduleState.schedule[1] = makeSequence(2880, 4, 480, 2900, 4, Friday);
        QCOMPARE(run(friday(11, 59), friday(12, 5)),
                 (QStringList{u"Fri 11:59:51.505 AJ04%00%00%00"_s, u"Fri 11:59:51.505 AJ04%00%00%00"_s,
                              u"Fri 12:00:00.005 AT1"_s, u"Fri 12:01:00.005 AT0"_s}));
        QCOMPARE(core().reporter.panelTitle(), u"Scan_Schedule x5a"_s);
        QCOMPARE(core().reporter.panelText().count(u"logo 16"_s), 1);

        core().scheduleState.schedule[1] = {};
        s = makeSequence(2880, 8, 480, 2900, 2, Friday); // 12:00 for two minutes
        QCOMPARE(count(run(friday(11, 59), friday(12, 1)), u"AT1"_s), 1);
        s.Logo = 31;
        QCOMPARE(run(friday(12, 1), friday(12, 3)), QStringList{u"Fri 12:02:00.005 AT0"_s});
        QVERIFY(!s.Running);
        QCOMPARE(core().scheduleState.onAir, ScheduleState().onAir);
        for (int logo : {20, 3, 20}) {
            s.Logo = logo;
            run(friday(12, 0), friday(12, 1));
        }
        QCOMPARE(core().reporter.panelText().count(u"logo 31"_s), 1);
        QCOMPARE(core().reporter.panelText().count(u"logo 20"_s), 2);
    }

    void switchingOffLeavesTheLogoOnAir()
    {
        core().scheduleState.schedule[0] = makeSequence(1920, 40, 480, 2400, 1, EveryDay);
        run(at(2026, 12, 7, 7, 59, 50), at(2026, 12, 7, 8, 0, 5, 0));
        QVERIFY(core().scheduleState.schedule[0].Running);
        f->port.writes.clear();
        core().runner.toggleRunning();
        QVERIFY(f->port.writes.isEmpty());
        // Back on after the sequence ended: TAKE OFF at the next present tick.
        core().runner.toggleRunning();
        const QStringList sent = run(at(2026, 12, 7, 10, 0), at(2026, 12, 7, 10, 0, 3, 0));
        QVERIFY(count(sent, u"AT0"_s) == 1 && sent.size() == 1);
    }

    // Holding the device to the schedule: when the line is back, or the
    // device answers again after a silence, what it reports is put back to
    // what the runner holds, once, with a correction line; a difference
    // while it kept answering (an operator) is left alone.
    void holdsTheDeviceToTheSchedule_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<int>("endStep"); // the sequence's end, from 8:00 on
        QTest::addColumn<bool>("reportedTake");
        QTest::addColumn<QString>("sent");  // after the reply
        QTest::addColumn<QString>("asRun"); // its command column
        QTest::newRow("power cut") << u"silence"_s << 2400 << false << u"AT1"_s
                                   << u"RESTORE TAKE ON (device answering again)"_s;
        QTest::newRow("line lost") << u"lost"_s << 2400 << false << u"AT1"_s
                                   << u"RESTORE TAKE ON (line back)"_s;
        QTest::newRow("line lost, slot changed")
            << u"lost slot"_s << 2400 << true << u"AJ02%00%00%00"_s << u"RESTORE SELECT (line back)"_s;
        QTest::newRow("operator took it off") << u"operator"_s << 2400 << false << QString() << QString();
        QTest::newRow("restoring turned off") << u"silence off"_s << 2400 << false << QString() << QString();
        QTest::newRow("lost across the off switch")
            << u"lost across"_s << 1924 << true << u"AT0"_s << u"TAKE OFF"_s;
    }
    void holdsTheDeviceToTheSchedule()
    {
        QFETCH(QString, what);
        QFETCH(int, endStep);
        QFETCH(bool, reportedTake);
        QFETCH(QString, sent);
        QFETCH(QString, asRun);
        QStringList lines;
        connect(&core().runner, &ScheduleRunner::asRunPosted, this,
                [&lines](const QString &line) { lines << line.section(u',', 3, 3); });
        const auto reply = [this](bool take, int slot) {
            f->port.receive(QByteArray("s\x0a\x14\x28\x5e\x1e", 6) + char(take ? 1 : 0)
                            + QByteArray("\x00\x00\x08\x10", 4)
                            + QByteArray::number(slot).rightJustified(2, '0'));
            core().link.readReplies();
            f->ticks(3);
        };
        core().runner.setRestoring(!what.endsWith(u" off"_s));
        core().scheduleState.schedule[0] = makeSequence(1920, 480, 480, endStep, 2, EveryDay);
        run(at(2026, 12, 7, 7, 59, 50), at(2026, 12, 7, 8, 0, 5, 0));
        reply(true, 2);
        if (what.startsWith(u"silence"_s))
            run(at(2026, 12, 7, 8, 0, 5), at(2026, 12, 7, 8, 0, 12));
        if (what.startsWith(u"lost"_s)) {
            emit f->port.commEvent(SerialPort::LineLost);
            run(at(2026, 12, 7, 8, 0, 30), at(2026, 12, 7, 8, 1, 30));
            f->ticks(41);
            f->wake();
        }
        lines.clear();
        QStringList after = run(at(2026, 12, 7, 8, 1, 30), at(2026, 12, 7, 8, 1, 31));
        reply(reportedTake, what.endsWith(u"slot"_s) ? 3 : 2);
        after += run(at(2026, 12, 7, 8, 1, 31), at(2026, 12, 7, 8, 1, 34));
        after.removeIf([](const QString &s) { return s.endsWith(u"ARS"_s) || s.endsWith(u"ARC"_s); });
        QCOMPARE(after.join(u' ').section(u' ', 2), sent);
        QCOMPARE(lines.join(u' '), asRun);
    }

    void daylightSavingChanges()
    {
        const QTimeZone berlin("Europe/Berlin");
        QVERIFY(berlin.isValid());
        core().scheduleState.schedule[0]
            = makeSequence(360, 600, 600, 960, 1, EveryDay); // 01:30-04:00, on throughout
        core().scheduleState.schedule[1] = makeSequence(540, 60, 60, 600, 2, EveryDay);  // 02:15-02:30
        core().scheduleState.schedule[2] = makeSequence(720, 4, 480, 1000, 3, EveryDay); // 03:00 for a minute
        const auto local
            = [&](QDate date, int hour) { return QDateTime(date, QTime(hour, 0, 0, 505), berlin); };

        // Spring, 02:00 becomes 03:00: across the gap once each way, inside it never.
        const QStringList spring = run(local(QDate(2025, 3, 30), 1), local(QDate(2025, 3, 30), 5));
        QVERIFY(takes(spring) == u"2/2"_s && count(spring, u"AJ02%00%00%00"_s) == 0);
        QCOMPARE(spring.first(), u"Sun 01:29:51.505 AJ01%00%00%00"_s);

        // Autumn: the repeated hour switches the one inside it twice, the long one once.
        for (ScheduleSequence &s : core().scheduleState.schedule.sequences)
            s.Running = false;
        const QStringList autumn = run(local(QDate(2025, 10, 26), 1), local(QDate(2025, 10, 26), 5));
        QCOMPARE(takes(autumn), u"4/4"_s);
    }

    // The main window's "next TAKE", within the day and across midnight and the week.
    void nextSwitch()
    {
        Schedule schedule;
        // Mondays 8:00 to 8:20, one minute on every two.
        schedule[2] = makeSequence(1920, 4, 8, 2000, 2, Monday);
        // Sundays from 23:59 to midnight; Saturdays 6:00 for a minute.
        schedule[5] = makeSequence(5756, 4, 8, 5760, 4, Sunday);
        schedule[7] = makeSequence(1440, 4, 480, 1444, 16, Saturday); // logo 16 has no button: never switched
        schedule[0] = makeSequence(1440, 4, 8, 1500, 0, EveryDay);    // no logo: never switched

        // As "sequence on|off day-of-month time"; day 0 to 6 is Sunday 2026-12-06 to Saturday.
        const auto next = [&](const Schedule &in, int day, const char *time) {
            const auto found = NextSwitch::find(
                in, QDateTime(QDate(2026, 12, 6 + day), QTime::fromString(QLatin1String(time))));
            return found ? u"%1 %2 %3"_s.arg(found->sequence)
                               .arg(found->on ? "on"_L1 : "off"_L1)
                               .arg(found->at.toString(u"dd HH:mm:ss"_s))
                         : QString();
        };
        QCOMPARE(next(schedule, 1, "07:59:50"), u"3 on 07 08:00:00"_s);
        QCOMPARE(next(schedule, 1, "08:00:30"), u"3 off 07 08:01:00"_s);
        QCOMPARE(next(schedule, 1, "08:01:00"), u"3 on 07 08:02:00"_s); // strictly after now
        // After the last on time of Monday the next is Sunday's, six days on.
        QCOMPARE(next(schedule, 1, "08:19:30"), u"6 on 13 23:59:00"_s);
        // On at midnight on Sunday: off as Monday begins (not a Monday sequence).
        QCOMPARE(next(schedule, 0, "23:59:10"), u"6 off 07 00:00:00"_s);
        // Saturday evening: the week wraps to Sunday night.
        QCOMPARE(next(schedule, 6, "22:00:00"), u"6 on 13 23:59:00"_s);
        const QDateTime monday(QDate(2026, 12, 7), QTime(7, 58, 50));
        QCOMPARE(NextSwitch::find(schedule, monday)->text(monday),
                 u"TAKE ON logo 2 (sequence 3) in 0:01:10"_s);
        QCOMPARE(next(Schedule(), 3, "12:00:00"), QString());
    }
};

QUILLON_TEST_GUILESS_MAIN(TestScheduleRunner)
#include "tst_schedulerunner.moc"
