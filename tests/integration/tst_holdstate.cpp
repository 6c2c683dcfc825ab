// SPDX-License-Identifier: GPL-3.0-or-later
#include "programhome.h"
#include "schedulefile.h"
#include "simprocess.h"

#include "device_link/clock.h"
#include "device_link/systemserialport.h"
#include "gui/frmquillon4.h"
#include "settings/settingsstore.h"

#include <QTest>

#include <csignal>
#include <memory>

using namespace Qt::StringLiterals;

namespace {
// Today's wall-clock time of a schedule step.
QDateTime stepTime(int step)
{
    return QDateTime(QDate::currentDate(), QTime(0, 0).addSecs(step * 15));
}

void waitUntil(const QDateTime &at)
{
    QTest::qWait(int(std::max<qint64>(0, QDateTime::currentDateTime().msecsTo(at))));
}
} // namespace

// quillon-cli schedule run holds qxsim's device to a wall-clock schedule:
// TAKE goes back after a power cut, a switch that fell while the line was
// lost goes out when it is back, and an operator's TAKE OFF (at the window
// attached to the service, or at the device) stands until the next switch.
class TestHoldState : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramHome> m_home; // a fresh one a row: the as-run log starts empty
    std::unique_ptr<SimProcess> m_sim;
    QProcess m_runner;

    // How many commands qxsim took in at or after ms.
    int receivedSince(const QByteArray &command, qint64 ms) const
    {
        return int(std::ranges::count_if(
            m_sim->received(), [&](const SimProcess::Entry &e) { return e.ms >= ms && e.bytes == command; }));
    }
    qint64 lastEventMs(const QByteArray &event) const
    {
        qint64 ms = -1;
        for (const SimProcess::Entry &e : m_sim->entries())
            if (e.kind == "#" && e.bytes.startsWith(event))
                ms = e.ms;
        return ms;
    }

private slots:
    void init() { m_home = std::make_unique<ProgramHome>(); }
    void cleanup()
    {
        if (QTest::currentTestFailed() && m_sim) {
            QFile log(m_sim->logPath());
            if (log.open(QIODevice::ReadOnly))
                qWarning("%s", log.readAll().right(4000).constData());
        }
        if (m_runner.state() != QProcess::NotRunning) {
            m_runner.kill();
            m_runner.waitForFinished(3000);
        }
        m_sim.reset();
    }

    void holdsTheDevice_data()
    {
        QTest::addColumn<QString>("event");
        QTest::addColumn<QByteArrayList>("asRun"); // the command column
        const QByteArrayList on{"SELECT", "TAKE ON"};
        QTest::newRow("power cut") << u"power"_s
                                   << on + QByteArrayList{"RESTORE TAKE ON (device answering again)"};
        QTest::newRow("device off as the service starts")
            << u"power at start"_s
            << on
                   + QByteArrayList{"RESTORE SELECT (device answering again)",
                                    "RESTORE TAKE ON (device answering again)"};
        QTest::newRow("line lost across the on switch") << u"hangup on"_s << on;
        QTest::newRow("line lost across the off switch")
            << u"hangup off"_s << on + QByteArrayList{"TAKE OFF"};
        const QByteArrayList offAndOn = on + QByteArrayList{"TAKE OFF", "TAKE ON"};
        QTest::newRow("TAKE OFF at the window") << u"window"_s << offAndOn;
        QTest::newRow("TAKE OFF at the device") << u"panel"_s << offAndOn;
    }
    void holdsTheDevice()
    {
        QFETCH(QString, event);
        QFETCH(QByteArrayList, asRun);
        const QDateTime now = QDateTime::currentDateTime();
        const int seconds = now.time().msecsSinceStartOfDay() / 1000;
        if (seconds > 86400 - 180)
            QSKIP("too close to midnight for a one-day schedule");
        const int current = seconds / 15;
        const int next = (seconds + 24) / 15 + 1; // the first whole step at least 24 s away
        // One sequence with logo 3, on when the runner starts until `next`
        // (after a power cut still on), or on from `next`; for the operator
        // on until `next`, off a step, then on again.
        int start = current, end = next, onSteps = 480, repeat = 480;
        if (event.startsWith(u"power"_s))
            end = current + 4;
        else if (event == u"hangup on"_s)
            start = next, end = next + 4;
        else if (event == u"window"_s || event == u"panel"_s)
            start = next - 3, end = next + 2, onSteps = 3, repeat = 4;
        QVERIFY(m_home->prepare(
            "[FormInit]\nComPort=12\n"
            + firstSequenceLines(start, end, onSteps, repeat, 3, 1 << (now.date().dayOfWeek() % 7))));
        m_sim = std::make_unique<SimProcess>(m_home->portsDir(), 12);
        QVERIFY(m_sim->start());
        if (event == u"power at start"_s) // what the runner sends goes nowhere
            m_sim->control("power off");
        m_runner.setProcessEnvironment(m_home->environment());
        m_runner.start(QStringLiteral(QUILLON_CLI_PATH), {u"schedule"_s, u"run"_s});
        QVERIFY(m_sim->waitForReceived("WK,00", 15000));
        if (event != u"hangup on"_s)
            QVERIFY(m_sim->waitForReceived("AT1", 10000));

        if (event.startsWith(u"power"_s)) {
            if (event == u"power"_s) { // cut once the runner has heard the device
                QVERIFY(m_sim->waitForReceived("ARS", 10000));
                QTest::qWait(1000);
                m_sim->control("power off");
            }
            QTest::qWait(6500); // the runner's 5 s of silence, and a poll
            m_sim->control("power on");
            QVERIFY(m_sim->waitForReceived("AT1", 10000, 2));
        } else if (event.startsWith(u"hangup"_s)) {
            // Down from 2 s before the switch to 3 s after it.
            waitUntil(stepTime(next).addSecs(-2));
            m_sim->control("hangup 5000");
            QVERIFY2(QDateTime::currentDateTime() < stepTime(next), "the switch came first");
            QVERIFY(m_sim->waitForEvent("up", 10000));
            const QByteArray take = event == u"hangup on"_s ? "AT1" : "AT0";
            QVERIFY(QTest::qWaitFor([&] { return receivedSince(take, lastEventMs("up")) == 1; }, 15000));
            QTest::qWait(3000); // and once
            QCOMPARE(m_sim->countReceived(take), 1);
        } else {
            // The window's port and settings are those of this home.
            qputenv("XDG_CONFIG_HOME", m_home->path("config").toLocal8Bit());
            qputenv("XDG_RUNTIME_DIR", m_home->path("run").toLocal8Bit());
            SettingsStore settings;
            SystemSerialPort port;
            SystemClock clock;
            std::unique_ptr<FrmQuillon4> window;
            if (event == u"window"_s) {
                window = std::make_unique<FrmQuillon4>(settings, port, clock,
                                                       FrmQuillon4::Options{{}, false, true});
                QTRY_VERIFY_WITH_TIMEOUT(
                    window->core().deviceState.heldBy.startsWith(u"quillon-cli schedule run"_s), 10000);
                window->core().ops.takeOff(); // as the TAKE button
                QVERIFY(m_sim->waitForReceived("AT0", 10000));
            } else {
                m_sim->control("take off");
            }
            // Two polls tell the runner, before the schedule's switch.
            QVERIFY(m_sim->waitForReceived("ARS", 10000, m_sim->countReceived("ARS") + 2));
            const int offs = m_sim->countReceived("AT0");
            QVERIFY2(QDateTime::currentDateTime() < stepTime(next), "the switch came first");
            QVERIFY(m_sim->waitForReceived("AT0", 30000, offs + 1));
            QCOMPARE(m_sim->countReceived("AT1"), 1);
            QVERIFY(m_sim->waitForReceived("AT1", 30000, 2));
            window.reset(); // the service goes on
        }
        ::kill(static_cast<pid_t>(m_runner.processId()), SIGTERM);
        QVERIFY(m_runner.waitForFinished(5000));
        QCOMPARE(m_runner.exitCode(), 0);

        QFile log(m_home->path("state/Quillon/as-run.csv"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QByteArrayList commands;
        for (const QByteArray &line : log.readAll().trimmed().split('\n').mid(1))
            commands << line.split(',').value(3);
        QCOMPARE(commands, asRun);
    }
};

QUILLON_TEST_MAIN(TestHoldState)
#include "tst_holdstate.moc"
