// SPDX-License-Identifier: GPL-3.0-or-later
#include "bitmapmaker.h"
#include "programhome.h"
#include "schedulefile.h"
#include "simprocess.h"
#include "windowtraffic.h"

#include "settings/settingsstore.h"
#include "device_link/clock.h"
#include "device_link/systemserialport.h"
#include "gui/frmquillon4.h"

#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QtEndian>

#include <csignal>

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
    FakeSerialPort m_fakePort;

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.path("config"));
        env.insert(QStringLiteral("XDG_STATE_HOME"), m_home.path("state"));
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
        return QStringList{QStringLiteral("--port"), QString::number(Port)} + command;
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
        CliResult r = runCli(onPort({QStringLiteral("status")}));
        QCOMPARE(r.exit, 0);
        const QJsonObject status = QJsonDocument::fromJson(r.out).object();
        QCOMPARE(status.value(QStringLiteral("model")).toInt(), 4);
        QVERIFY(status.value(QStringLiteral("fade")).isDouble());
        QVERIFY(status.value(QStringLiteral("take")).isBool());

        // The device itself, by its path.
        r = runCli(
            {QStringLiteral("--device"), m_sim->ptyPath(), QStringLiteral("take"), QStringLiteral("on")});
        QCOMPARE(r.exit, 0);
        QVERIFY(m_sim->waitForReceived("AT1", 2000));

        // A logo there and back: palette white then black, so that the file
        // written back (bits inverted, palette black then white) shows the
        // very same picture.
        BitmapMaker maker;
        maker.seed = 5;
        QByteArray bytes = maker.bytes();
        qToLittleEndian<quint32>(0x00FFFFFF, bytes.data() + 54);
        qToLittleEndian<quint32>(0x00000000, bytes.data() + 58);
        const QString original = m_home.path("original.bmp");
        QFile file(original);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        r = runCli(onPort({QStringLiteral("download"), original}));
        QCOMPARE(r.exit, 0);
        QVERIFY2(r.err.isEmpty(), r.err.constData()); // no progress bar without a terminal
        QCOMPARE(runCli(onPort({QStringLiteral("store-logo")})).exit, 0);
        const QString uploaded = m_home.path("uploaded.bmp");
        r = runCli(onPort({QStringLiteral("upload"), uploaded}));
        QCOMPARE(r.exit, 0);
        QCOMPARE(QImage(uploaded).convertToFormat(QImage::Format_RGB32),
                 QImage(original).convertToFormat(QImage::Format_RGB32));
    }

    // Every command on the real line: qxsim receives what the window sends
    // for the same action (on a fake line, given the reply qxsim gave).
    void everyCommandAsTheWindowSendsIt()
    {
        const QString bitmap = m_home.path("logo.bmp");
        QFile file(bitmap);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(BitmapMaker{}.bytes()) > 0);
        file.close();
        const QString settingsFile = m_home.path("config/Quillon/Quillon.conf");
        const QString before = m_home.path("before.conf");
        for (const WindowTraffic::Case &c : WindowTraffic::cases(bitmap, m_home.path("upload.bmp"))) {
            // An upload takes longer on the line than the poll's interval, so
            // a poll falls inside it there but not on the fake line.
            if (c.arguments.first() == QLatin1String("upload"))
                continue;
            QFile::remove(before);
            QVERIFY(QFile::copy(settingsFile, before));
            const qsizetype seen = m_sim->entries().size();
            const CliResult r = runCli(onPort(c.arguments));
            QVERIFY2(r.exit == 0, c.name);
            QByteArray reply;
            const auto received = [&] {
                QByteArray bytes;
                const auto entries = m_sim->entries();
                for (qsizetype i = seen; i < entries.size(); ++i) {
                    if (entries[i].kind == "rx")
                        bytes += entries[i].bytes;
                    else if (entries[i].kind == "tx" && entries[i].bytes.startsWith('s') && reply.isEmpty())
                        reply = entries[i].bytes;
                }
                return bytes;
            };
            const bool checks = CliArguments::parse(c.arguments).request->checksDevice();
            QTRY_VERIFY_WITH_TIMEOUT(received().startsWith("WK,00") && (!checks || !reply.isEmpty()), 2000);
            const QList<QByteArray> window = WindowTraffic::windowWrites(
                c, Port, reply.isEmpty() ? WindowTraffic::FakeDevice{m_fakePort}.settings : reply, before,
                bitmap, m_home.path("window-upload.bmp"));
            const QByteArray expected = WindowTraffic::cliWire(c, window);
            // qxsim logs what it has read a moment after the program ends.
            [[maybe_unused]] const bool whole
                = QTest::qWaitFor([&] { return received().size() >= expected.size(); }, 3000);
            const QByteArray sent = received();
            QVERIFY2(sent == expected,
                     qPrintable(QStringLiteral("%1: %2 against %3")
                                    .arg(QString::fromLatin1(c.name), QString::fromLatin1(sent.toHex(' ')),
                                         QString::fromLatin1(expected.toHex(' ')))));
        }
    }

    void silentDeviceAndMissingPort()
    {
        m_sim->control("silent on");
        CliResult r = runCli(onPort({QStringLiteral("take"), QStringLiteral("off")}));
        QCOMPARE(r.exit, 4);
        QVERIFY(r.err.startsWith("quillon-cli: no reply from the device on COM12"));
        QCOMPARE(r.err.count('\n'), 1);

        r = runCli({QStringLiteral("--port"), QStringLiteral("200"), QStringLiteral("status")});
        QCOMPARE(r.exit, 3);
        QCOMPARE(r.err, QByteArray("quillon-cli: there is no serial port at COM200\n"));
    }

    // One program at a time on the port: the window tells who holds it when
    // the service does, and the service will not start under the window.
    void portOwnershipBothWays()
    {
        QProcess service;
        startCli(service, {QStringLiteral("schedule"), QStringLiteral("run")});
        QVERIFY(m_sim->waitForReceived("WK,00", 10000));
        {
            qputenv("XDG_CONFIG_HOME", m_home.path("config").toLocal8Bit());
            SettingsStore settings;
            SystemSerialPort port;
            SystemClock clock;
            FrmQuillon4 window(settings, port, clock, FrmQuillon4::Options{{}, false, false});
            const QString report = window.core().reporter.panelText();
            QVERIFY2(report.contains(QStringLiteral("Port Already Open - Port in use - 12")),
                     qPrintable(report));
            QVERIFY2(report.contains(QStringLiteral("held by the Quillon scheduler service")),
                     qPrintable(report));
            QVERIFY(report.contains(QStringLiteral("systemctl --user stop quillon-scheduler")));
            QVERIFY(!window.core().link.portOpen());
        }
        ::kill(static_cast<pid_t>(service.processId()), SIGTERM);
        QVERIFY(service.waitForFinished(5000));
        QCOMPARE(service.exitCode(), 0);

        QProcess program;
        QVERIFY(m_home.launch(program, {QStringLiteral("--no-splash")}));
        QVERIFY(m_sim->waitForReceived("WK,00", 10000, 2));
        const CliResult r = runCli({QStringLiteral("schedule"), QStringLiteral("run")});
        QCOMPARE(r.exit, 3);
        QVERIFY2(r.err.contains("is in use. It is held by the Quillon program (process "), r.err.constData());
        QVERIFY(r.err.contains("The schedule does not run while another program holds the port."));
        program.kill();
        program.waitForFinished();
    }

    // The stored schedule runs headless, is read again when the settings
    // change, and every switch lands in the as-run log.
    void scheduleRunsHeadless()
    {
        const QDateTime now = QDateTime::currentDateTime();
        const int seconds = now.time().msecsSinceStartOfDay() / 1000;
        if (seconds > 86400 - 120)
            QSKIP("too close to midnight for a one-day schedule");
        const int start = (seconds + 15) / 15 + 1; // the first whole step at least 15 s away
        const int day = now.date().dayOfWeek() % 7;
        QVERIFY(m_home.prepare("[FormInit]\nComPort=12\n"
                               + firstSequenceLines(start, start + 1, 1, 480, 3, 1 << day)));

        QProcess service;
        startCli(service, {QStringLiteral("schedule"), QStringLiteral("run")});
        QVERIFY(m_sim->waitForReceived("WK,00", 10000));
        // Changed as the schedule editor would: logo 2 instead of 3.
        {
            SettingsStore settings(m_home.path("config/Quillon/Quillon.conf"));
            settings.setValue(QStringLiteral("S_Logo"),
                              QStringLiteral("2,") + QStringLiteral("0,").repeated(19));
        }
        QVERIFY(m_sim->waitForReceived("AT0", 45000));
        QVERIFY(m_sim->waitForReceived(QByteArray("AJ02\0\0\0", 7), 100));
        QVERIFY(!m_sim->waitForReceived(QByteArray("AJ03\0\0\0", 7), 0));
        ::kill(static_cast<pid_t>(service.processId()), SIGTERM);
        QVERIFY(service.waitForFinished(5000));
        QCOMPARE(service.exitCode(), 0);
        QVERIFY(service.readAllStandardError().contains("the schedule was changed and is read again"));

        QFile log(m_home.path("state/Quillon/as-run.csv"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = log.readAll().trimmed().split('\n');
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0], QByteArray("time,sequence,logo,command,port_open"));
        QVERIFY2(lines[1].endsWith(",1,2,SELECT,yes"), lines[1].constData());
        QVERIFY2(lines[2].endsWith(",1,2,TAKE ON,yes"), lines[2].constData());
        QVERIFY2(lines[3].endsWith(",1,2,TAKE OFF,yes"), lines[3].constData());
        const QDateTime on = QDateTime::fromString(QString::fromLatin1(lines[2].left(lines[2].indexOf(','))),
                                                   Qt::ISODateWithMs);
        const QDateTime startTime(now.date(), QTime(0, 0).addSecs(start * 15));
        QVERIFY2(qAbs(on.msecsTo(startTime)) < 1000, qPrintable(on.toString(Qt::ISODateWithMs)));
    }
};

QUILLON_TEST_MAIN(TestHeadless)
#include "tst_headless.moc"
