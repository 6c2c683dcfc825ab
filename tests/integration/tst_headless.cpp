// SPDX-License-Identifier: GPL-3.0-or-later
#include "bitmapmaker.h"
#include "programhome.h"
#include "schedulefile.h"
#include "ser2net.h"
#include "simprocess.h"

#include "settings/settingsstore.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <algorithm>
#include <array>
#include <csignal>

using namespace Qt::StringLiterals;

namespace {
constexpr int Port = 12;

struct CliResult {
    int exit = -1;
    QByteArray out, err;
};
} // namespace

// The real quillon-cli and quillon programs against qxsim on a
// pseudo-terminal: the CLI's commands on the line, the headless schedule with
// its as-run log, and the port held by one program at a time.
class TestHeadless : public QObject
{
    Q_OBJECT

    ProgramHome m_home;
    std::unique_ptr<SimProcess> m_sim;

    void startCli(QProcess &cli, const QStringList &arguments) const
    {
        cli.setProcessEnvironment(m_home.environment());
        cli.start(QStringLiteral(QUILLON_CLI_PATH), arguments);
    }

    // Runs the CLI to its end (killed after 20 s: exit -1).
    CliResult runCli(const QStringList &arguments) const
    {
        QProcess cli;
        startCli(cli, arguments);
        const bool ended = cli.waitForFinished(20000) && cli.exitStatus() == QProcess::NormalExit;
        return {ended ? cli.exitCode() : -1, cli.readAllStandardOutput(), cli.readAllStandardError()};
    }

private slots:
    void init()
    {
        QVERIFY(m_home.prepare("[FormInit]\nComPort=" + QByteArray::number(Port) + "\n"));
        m_sim = std::make_unique<SimProcess>(m_home.portsDir(), Port);
        QVERIFY(m_sim->start());
    }

    void cleanup() { m_sim.reset(); }

    void commandsOverTheLine()
    {
        const QStringList onPort{u"--port"_s, QString::number(Port)};
        CliResult r = runCli(onPort + QStringList{u"status"_s});
        QCOMPARE(r.exit, 0);
        QCOMPARE(QJsonDocument::fromJson(r.out).object().value(u"model"_s).toInt(),
                 4); // the fields are tst_cli's
        // (--device with the line's path: tst_network's local runs.)

        // A download whole on the line (the round trip is tst_faults'),
        // and no progress bar without a terminal.
        QFile logo(m_home.path("logo.bmp"));
        QVERIFY(logo.open(QIODevice::WriteOnly) && logo.write(BitmapMaker{}.bytes()) > 0);
        logo.close();
        r = runCli(onPort + QStringList{u"download"_s, logo.fileName()});
        QCOMPARE(r.exit, 0);
        QVERIFY2(r.err.isEmpty(), r.err.constData());
        QVERIFY(m_sim->waitForReceived("ALD", 2000));
    }

    // One program at a time on the port: of window programs started at once
    // one stays, a later one takes over from it, and the service will not
    // start under it (a window beside the service: tst_control).
    void portOwnershipBothWays()
    {
        const int wakes = m_sim->countReceived("WK,00");
        const int polls = m_sim->countReceived("ARS");
        std::array<QProcess, 3> programs;
        for (QProcess &program : programs)
            QVERIFY(m_home.launch(program, {u"--no-splash"_s}));
        const auto isRunning = [](const QProcess &p) { return p.state() == QProcess::Running; };
        QTRY_COMPARE_WITH_TIMEOUT(std::count_if(programs.begin(), programs.end(), isRunning), 1, 15000);
        QTest::qWait(1500); // and it stays so
        QCOMPARE(std::count_if(programs.begin(), programs.end(), isRunning), 1);
        QProcess &first = *std::find_if(programs.begin(), programs.end(), isRunning);
        QVERIFY(m_sim->waitForReceived("WK,00", 10000, wakes + 1));
        QVERIFY(m_sim->waitForReceived("ARS", 10000, polls + 1)); // what start-up sends is tst_startup's

        // A second start (with its splash) closes the first and takes the line over.
        const int handOver = m_sim->countReceived("WK,00");
        QProcess second;
        QVERIFY(m_home.launch(second));
        QVERIFY(first.waitForFinished(10000));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        QVERIFY(m_sim->waitForReceived("WK,00", 10000, handOver + 1));
        const CliResult r = runCli({u"schedule"_s, u"run"_s});
        QCOMPARE(r.exit, 3);
        QVERIFY2(r.err.contains("is in use. It is held by the Quillon program (process "), r.err.constData());
        QVERIFY(r.err.contains("The schedule does not run while another program holds the port."));
        second.terminate();
        QVERIFY(second.waitForFinished(5000));
        QFile conf(m_home.path("config/Quillon/Quillon.conf"));
        QVERIFY(conf.open(QIODevice::ReadOnly) && conf.readAll().contains("ComPort=12"));
    }

    // The stored schedule runs headless on the wall clock, through a device
    // server's RFC 2217 port, is read again when the settings change, and
    // every switch lands in the as-run log.
    void scheduleRunsHeadless()
    {
        const QDateTime now = QDateTime::currentDateTime();
        const int seconds = now.time().msecsSinceStartOfDay() / 1000;
        if (seconds > 86400 - 120)
            QSKIP("too close to midnight for a one-day schedule");
        const int start = (seconds + 25) / 15 + 1; // the first whole step at least 25 s away
        // The service on a port of a device server: ser2net's RFC 2217 port
        // in front of the same simulated line.
        Ser2net server(m_sim->ptyPath());
        QVERIFY2(server.start(), server.output().constData());
        QVERIFY(m_home.prepare(
            "[FormInit]\nComPort=13\n"
            + firstSequenceLines(start, start + 1, 1, 480, 3, 1 << (now.date().dayOfWeek() % 7))));
        QFile portFile(m_home.portsDir() + u"/com13"_s);
        QVERIFY(portFile.open(QIODevice::WriteOnly)
                && portFile.write(server.rfc2217Url().toUtf8() + '\n') > 0);
        portFile.close();

        QProcess service;
        startCli(service, {u"schedule"_s, u"run"_s});
        QVERIFY(m_sim->waitForReceived("WK,00", 10000));
        // Changed as the schedule editor would: logo 2 instead of 3.
        SettingsStore(m_home.path("config/Quillon/Quillon.conf"))
            .setValue(u"S_Logo"_s, u"2,"_s + u"0,"_s.repeated(19));
        QVERIFY(m_sim->waitForReceived("AT0", 80000));
        ::kill(static_cast<pid_t>(service.processId()), SIGTERM); // a clean stop
        QVERIFY(service.waitForFinished(5000));
        QCOMPARE(service.exitCode(), 0);
        QVERIFY(service.readAllStandardError().contains("the schedule was changed and is read again"));

        // Logo 2 selected (maybe again), TAKE ON, TAKE OFF in that order (their
        // times are tst_schedulerunner's), and logo 3 never.
        QByteArrayList switches;
        for (const SimProcess::Entry &entry : m_sim->received())
            if ((entry.bytes.startsWith("AJ") || entry.bytes.startsWith("AT"))
                && (switches.isEmpty() || switches.last() != entry.bytes))
                switches << entry.bytes;
        QCOMPARE(switches, (QByteArrayList{QByteArray("AJ02\0\0\0", 7), "AT1", "AT0"}));

        QFile log(m_home.path("state/Quillon/as-run.csv"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QByteArrayList rows; // after the heading without their times
        for (const QByteArray &line : log.readAll().trimmed().split('\n'))
            rows << (rows.isEmpty() ? line : line.mid(line.indexOf(',')));
        QCOMPARE(rows, (QByteArrayList{"time,sequence,logo,command,port_open", ",1,2,SELECT,yes",
                                       ",1,2,TAKE ON,yes", ",1,2,TAKE OFF,yes"}));
    }
};

QUILLON_TEST_MAIN(TestHeadless)
#include "tst_headless.moc"
