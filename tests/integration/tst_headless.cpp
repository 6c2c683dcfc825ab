// SPDX-License-Identifier: GPL-3.0-or-later
#include "bitmapmaker.h"
#include "programhome.h"
#include "schedulefile.h"
#include "simprocess.h"

#include "device_link/clock.h"
#include "device_link/systemserialport.h"
#include "gui/frmquillon4.h"
#include "settings/settingsstore.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {
constexpr int Port = 12;

struct CliResult {
    int exit = -1;
    QByteArray out;
    QByteArray err;
};
} // namespace

// The real quillon-cli against qxsim on a pseudo-terminal: its commands on
// the line, the headless schedule with its as-run log, and the port shared
// with the window program one at a time.
class TestHeadless : public QObject
{
    Q_OBJECT

    ProgramHome m_home;
    std::unique_ptr<SimProcess> m_sim;

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_CONFIG_HOME"_s, m_home.path("config"));
        env.insert(u"XDG_STATE_HOME"_s, m_home.path("state"));
        return env;
    }

    void startCli(QProcess &cli, const QStringList &arguments) const
    {
        cli.setProcessEnvironment(environment());
        cli.start(QStringLiteral(QUILLON_CLI_PATH), arguments);
    }

    CliResult runCli(const QStringList &arguments, int timeoutMs = 20000) const
    {
        QProcess cli;
        startCli(cli, arguments);
        CliResult result;
        if (!cli.waitForFinished(timeoutMs)) {
            cli.kill();
            cli.waitForFinished();
            return result;
        }
        result.exit = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
        result.out = cli.readAllStandardOutput();
        result.err = cli.readAllStandardError();
        return result;
    }

    QStringList onPort(const QStringList &command) const
    {
        return QStringList{u"--port"_s, QString::number(Port)} + command;
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
        CliResult r = runCli(onPort({u"status"_s}));
        QCOMPARE(r.exit, 0);
        const QJsonObject status = QJsonDocument::fromJson(r.out).object();
        QCOMPARE(status.value(u"model"_s).toInt(), 4); // the fields are tst_cli's

        // The device itself, by its path.
        r = runCli({u"--device"_s, m_sim->ptyPath(), u"take"_s, u"on"_s});
        QCOMPARE(r.exit, 0);
        QVERIFY(m_sim->waitForReceived("AT1", 2000));

        // A download whole on the line (the round trip is tst_logotransfer's),
        // and no progress bar without a terminal.
        const QString logo = m_home.path("logo.bmp");
        QFile file(logo);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(BitmapMaker{}.bytes()) > 0);
        file.close();
        r = runCli(onPort({u"download"_s, logo}));
        QCOMPARE(r.exit, 0);
        QVERIFY2(r.err.isEmpty(), r.err.constData());
        QVERIFY(m_sim->waitForReceived("ALD", 2000));
    }

    // One program at a time on the port: the window tells who holds it when
    // the service does, and the service will not start under the window.
    void portOwnershipBothWays()
    {
        QProcess service;
        startCli(service, {u"schedule"_s, u"run"_s});
        QVERIFY(m_sim->waitForReceived("WK,00", 10000));
        {
            qputenv("XDG_CONFIG_HOME", m_home.path("config").toLocal8Bit());
            SettingsStore settings;
            SystemSerialPort port;
            SystemClock clock;
            FrmQuillon4 window(settings, port, clock, FrmQuillon4::Options{{}, false, false});
            const QString report = window.core().reporter.panelText();
            QVERIFY2(report.contains(u"Port Already Open - Port in use - 12"_s), qPrintable(report));
            QVERIFY2(report.contains(u"held by the Quillon scheduler service"_s), qPrintable(report));
            QVERIFY(report.contains(u"systemctl --user stop quillon-scheduler"_s));
            QVERIFY(!window.core().link.portOpen());
        }
        ::kill(static_cast<pid_t>(service.processId()), SIGTERM);
        QVERIFY(service.waitForFinished(5000));
        QCOMPARE(service.exitCode(), 0);

        QProcess program;
        QVERIFY(m_home.launch(program, {u"--no-splash"_s}));
        QVERIFY(m_sim->waitForReceived("WK,00", 10000, 2));
        const CliResult r = runCli({u"schedule"_s, u"run"_s});
        QCOMPARE(r.exit, 3);
        QVERIFY2(r.err.contains("is in use. It is held by the Quillon program (process "), r.err.constData());
        QVERIFY(r.err.contains("The schedule does not run while another program holds the port."));
        program.kill();
        program.waitForFinished();
    }

    // The stored schedule runs headless on the wall clock, is read again
    // when the settings change, and every switch lands in the as-run log.
    void scheduleRunsHeadless()
    {
        const QDateTime now = QDateTime::currentDateTime();
        const int seconds = now.time().msecsSinceStartOfDay() / 1000;
        if (seconds > 86400 - 120)
            QSKIP("too close to midnight for a one-day schedule");
        const int start = (seconds + 25) / 15 + 1; // the first whole step at least 25 s away
        const int day = now.date().dayOfWeek() % 7;
        QVERIFY(m_home.prepare("[FormInit]\nComPort=12\n"
                               + firstSequenceLines(start, start + 1, 1, 480, 3, 1 << day)));

        QProcess service;
        startCli(service, {u"schedule"_s, u"run"_s});
        QVERIFY(m_sim->waitForReceived("WK,00", 10000));
        // Changed as the schedule editor would: logo 2 instead of 3.
        {
            SettingsStore settings(m_home.path("config/Quillon/Quillon.conf"));
            settings.setValue(u"S_Logo"_s, u"2,"_s + u"0,"_s.repeated(19));
        }
        QVERIFY(m_sim->waitForReceived("AT0", 80000));
        ::kill(static_cast<pid_t>(service.processId()), SIGTERM);
        QVERIFY(service.waitForFinished(5000));
        QCOMPARE(service.exitCode(), 0);
        QVERIFY(service.readAllStandardError().contains("the schedule was changed and is read again"));

        // Logo 2 selected, TAKE ON, TAKE OFF in that order (their times are
        // tst_schedulerunner's), and logo 3 never.
        const auto indexOf = [&](const QByteArray &command) {
            const auto received = m_sim->received();
            for (qsizetype i = 0; i < received.size(); ++i)
                if (received[i].bytes.startsWith(command))
                    return i;
            return qsizetype(-1);
        };
        const qsizetype on = indexOf("AT1");
        QVERIFY(indexOf(QByteArray("AJ02\0\0\0", 7)) >= 0);
        QVERIFY(indexOf(QByteArray("AJ02\0\0\0", 7)) < on && on < indexOf("AT0"));
        QCOMPARE(indexOf(QByteArray("AJ03\0\0\0", 7)), qsizetype(-1));

        QFile log(m_home.path("state/Quillon/as-run.csv"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = log.readAll().trimmed().split('\n');
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0], QByteArray("time,sequence,logo,command,port_open"));
        QVERIFY2(lines[1].endsWith(",1,2,SELECT,yes"), lines[1].constData());
        QVERIFY2(lines[2].endsWith(",1,2,TAKE ON,yes"), lines[2].constData());
        QVERIFY2(lines[3].endsWith(",1,2,TAKE OFF,yes"), lines[3].constData());
    }
};

QUILLON_TEST_MAIN(TestHeadless)
#include "tst_headless.moc"
