// SPDX-License-Identifier: GPL-3.0-or-later
#include "bitmapmaker.h"
#include "programhome.h"
#include "ser2net.h"
#include "simprocess.h"
#include "splitproxy.h"

#include "device_link/clock.h"
#include "device_link/systemserialport.h"
#include "gui/frmquillon4.h"
#include "settings/settingsstore.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <array>
#include <memory>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
constexpr int Port = 14;

// What one quillon-cli run did: its exit code, its stdout (a status without
// its port), stderr, the bytes qxsim received, and an uploaded file.
struct Run {
    int exit = -1;
    QByteArray out, err;
    QByteArrayList received;
    QByteArray uploaded;
};

// A logo whose lines are alternately all 0xFF and all 0x00: on the line
// both ways (a logo comes back inverted) half its bytes are 0xFF.
QByteArray stripedLogo()
{
    QByteArray bytes = BitmapMaker{}.bytes();
    for (int row = 0; row < 64; ++row)
        bytes.replace(bytes.size() - (64 - row) * 32, 32, QByteArray(32, row % 2 ? '\x00' : '\xFF'));
    return bytes;
}

} // namespace

// quillon-cli and the window on network ports: qxsim behind the test's own
// ser2net, raw (socket://) and telnet RFC 2217 (rfc2217://), straight or
// through a proxy that cuts and delays the replies.
class TestNetwork : public QObject
{
    Q_OBJECT

    ProgramHome m_home;
    std::unique_ptr<SimProcess> m_sim;
    std::unique_ptr<Ser2net> m_ser2net;

    QString url(const QString &kind) const
    {
        return kind.startsWith(u"socket"_s) ? m_ser2net->rawUrl() : m_ser2net->rfc2217Url();
    }

    // COMn names `url`, and the window's settings use it.
    bool usePort(int n, const QString &url) const
    {
        QFile file(m_home.portsDir() + u"/com"_s + QString::number(n));
        if (!QDir().mkpath(m_home.portsDir()) || !file.open(QIODevice::WriteOnly)
            || file.write(url.toUtf8() + '\n') <= 0)
            return false;
        qputenv("XDG_CONFIG_HOME", m_home.path("config").toLocal8Bit());
        SettingsStore().setValue(u"ComPort"_s, QString::number(n));
        return true;
    }

    // Waits until nobody holds qxsim's line (ser2net lets go after its client).
    bool lineFree() const
    {
        return QTest::qWaitFor([this] { return m_sim->countEvents("open") == m_sim->countEvents("close"); },
                               5000);
    }

    // Runs a command line ({logo}: the striped logo, {upload}: a new file) on
    // a device to its end (killed after 30 s: exit -1).
    Run runCli(const QString &line, const QString &device) const
    {
        static int uploads = 0;
        const QString upload = m_home.path("upload") + QString::number(++uploads) + u".bmp"_s;
        QStringList arguments{u"--device"_s, device};
        for (const QString &word : line.split(u' '))
            arguments << (word == u"{logo}"_s     ? m_home.path("logo.bmp")
                          : word == u"{upload}"_s ? upload
                                                  : word);
        const qsizetype before = m_sim->received().size();
        QProcess cli;
        cli.setProcessEnvironment(m_home.environment());
        cli.start(QStringLiteral(QUILLON_CLI_PATH), arguments);
        Run run;
        // The event loop keeps turning meanwhile: the proxy lives in it.
        if (QTest::qWaitFor([&cli] { return cli.state() == QProcess::NotRunning; }, 30000)
            && cli.exitStatus() == QProcess::NormalExit)
            run.exit = cli.exitCode();
        else
            cli.kill();
        cli.waitForFinished(1000);
        run.out = cli.readAllStandardOutput();
        run.err = cli.readAllStandardError();
        QJsonObject status = QJsonDocument::fromJson(run.out).object();
        status.remove(u"port"_s);
        if (!status.isEmpty())
            run.out = QJsonDocument(status).toJson();
        // What is still on its way is in qxsim's log once the line is free
        // and the log has stood still for a moment.
        (void)lineFree();
        for (qsizetype logged = -1; logged != m_sim->received().size();) {
            logged = m_sim->received().size();
            QTest::qWait(150);
        }
        // Without the background polls (ARS, ARC): how many fit into a run
        // depends on its timing, and a status or copyright row shows its
        // request's answer in the output.
        for (const SimProcess::Entry &entry : m_sim->received().mid(before))
            if (entry.bytes != "ARS" && entry.bytes != "ARC")
                run.received << entry.bytes;
        QFile file(upload);
        if (file.open(QIODevice::ReadOnly))
            run.uploaded = file.readAll();
        return run;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.prepare("[FormInit]\n"));
        QFile logo(m_home.path("logo.bmp"));
        QVERIFY(logo.open(QIODevice::WriteOnly) && logo.write(stripedLogo()) > 0);
        m_sim = std::make_unique<SimProcess>(m_home.portsDir(), Port);
        QVERIFY(m_sim->start());
        QVERIFY2(!Ser2net::program().isEmpty(), "ser2net is not installed (scripts/test installs it)");
        m_ser2net = std::make_unique<Ser2net>(m_sim->ptyPath());
        QVERIFY2(m_ser2net->start(), m_ser2net->output().constData());
    }

    // QUILLON_NETWORK: socket-a/-b or rfc2217-a/-b runs command rows, others the rest.
    void init()
    {
        const QByteArray share = qgetenv("QUILLON_NETWORK");
        const bool commands = QTest::currentTestFunction() == QByteArray("commandsReachTheDeviceTheSame");
        if (!share.isEmpty() && commands == (share == "others"))
            QSKIP("run by another network test");
    }

    // Whatever a test ended with, the next finds the line free.
    void cleanup()
    {
        // A test that failed with the server stopped leaves none of its
        // failure to the next one.
        if (!m_ser2net->running())
            QVERIFY2(m_ser2net->start(), m_ser2net->output().constData());
        QVERIFY(lineFree());
    }

    // Every panel command, a logo round trip (download, store, upload) and
    // replies cut and delayed on their way: the same exit, the same answer
    // and the very same bytes at the device as on the local pseudo-terminal.
    void commandsReachTheDeviceTheSame_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("kind"); // socket or rfc2217, "split" through the proxy
        const char *const lines[]{"status",      "set fade 30",     "set mix 0",    "set intensity 42",
                                  "set hpos 37", "set vpos 37",     "take toggle",  "take on",
                                  "take off",    "select 3",        "standard pal", "standard ntsc",
                                  "copyright",   "wake 1",          "wake",         "sleep",
                                  "set-id 1",    "download {logo}", "store-logo",   "upload {upload}"};
        // QUILLON_NETWORK=socket-a runs the first half of the socket rows and
        // the split ones, socket-b the rest, and so on.
        const QByteArray share = qgetenv("QUILLON_NETWORK");
        const QByteArray half = share.mid(share.indexOf('-') + 1);
        for (const char *kind : {"socket", "rfc2217"}) {
            if (!share.isEmpty() && !share.startsWith(kind))
                continue;
            const auto row = [kind](const char *line, const char *how) {
                QTest::addRow("%s%s %s", kind, how, line)
                    << QString::fromLatin1(line) << QString::fromLatin1(kind) + QString::fromLatin1(how);
            };
            for (size_t i = 0; i < std::size(lines); ++i)
                if (share.isEmpty() || (half == "a") == (i < std::size(lines) / 2))
                    row(lines[i], "");
            for (const char *line : {"status", "copyright", "upload {upload}"})
                if (share.isEmpty() || half == "a")
                    row(line, " split");
        }
    }

    void commandsReachTheDeviceTheSame()
    {
        QFETCH(QString, line);
        QFETCH(QString, kind);
        const Run local = runCli(line, m_sim->ptyPath());
        QVERIFY2(local.exit == 0, local.err.constData());
        QString device = url(kind);
        SplitProxy proxy(QUrl(device).port());
        if (kind.endsWith(u"split"_s)) {
            QVERIFY(proxy.listen());
            device = device.left(device.lastIndexOf(u':') + 1) + QString::number(proxy.port());
        }
        const Run run = runCli(line, device);
        QVERIFY2(run.exit == 0, run.err.constData());
        QCOMPARE(run.out, local.out);
        QCOMPARE(run.received, local.received);
        QCOMPARE(run.uploaded, local.uploaded);
    }

    // ser2net stopped in the middle of a download: quillon-cli ends at once
    // with the line lost, said once; while nothing listens, a connection is
    // refused: a port problem, told in one line with the URL; with the server
    // back, the port works.
    void serverStoppedInADownload_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("socket") << u"socket"_s;
        QTest::newRow("rfc2217") << u"rfc2217"_s;
    }

    void serverStoppedInADownload()
    {
        QFETCH(QString, kind);
        const int loads = m_sim->countReceived("ALD");
        QProcess cli;
        cli.setProcessEnvironment(m_home.environment());
        cli.start(QStringLiteral(QUILLON_CLI_PATH),
                  {u"--device"_s, url(kind), u"download"_s, m_home.path("logo.bmp")});
        QVERIFY(m_sim->waitForReceived("ALD", 15000, loads + 1));
        m_ser2net->stop();
        QVERIFY(cli.waitForFinished(10000));
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QCOMPARE(cli.exitCode(), 3);
        const QByteArray err = cli.readAllStandardError();
        // Stopped before the last logo byte was written, or after it (a
        // device server takes the bytes faster than its line sends them):
        // either way one report that says how far the download came.
        QVERIFY2(err.count("quillon-cli: ") == 1
                     && (err.contains("The download was not finished")
                         || err.contains("The logo was written whole")),
                 err.constData());

        Run run = runCli(u"status"_s, url(kind));
        QCOMPARE(run.exit, 3);
        QVERIFY2(run.err.count('\n') == 1 && run.err.contains(url(kind).toUtf8()), run.err.constData());
        QVERIFY2(m_ser2net->start(), m_ser2net->output().constData());
        run = runCli(u"status"_s, url(kind));
        QVERIFY2(run.exit == 0, run.err.constData());
    }

    // The window on an RFC 2217 port, ser2net stopped in the middle of a
    // download: the download ends cleanly, the loss is told once and nothing
    // is told twice while the server is away, and the window is back on the
    // line by itself once it returns.
    void windowFollowsTheServerAwayAndBack()
    {
        QVERIFY(usePort(16, m_ser2net->rfc2217Url()));
        SettingsStore settings;
        settings.setValue(u"BMPpath1"_s, m_home.path("logo.bmp"));
        SystemSerialPort port;
        SystemClock clock;
        FrmQuillon4 window(settings, port, clock, FrmQuillon4::Options{{}, false, true});
        window.show();
        QuillonCore &core = window.core();
        const auto answering = [&] { return core.deviceState.portIndicator == Indicator::Green; };
        QVERIFY(QTest::qWaitFor(answering, 15000));

        QStringList told;
        connect(&core.reporter, &Reporter::errorReported, this,
                [&told](const QString &message) { told << message; });
        const int loads = m_sim->countReceived("ALD");
        core.download.start();
        QVERIFY(m_sim->waitForReceived("ALD", 10000, loads + 1));
        m_ser2net->stop();
        QVERIFY(QTest::qWaitFor([&] { return !core.download.running(); }, 10000));
        QVERIFY(!core.deviceState.transferBusy);
        QVERIFY(!core.reporter.progressVisible());
        QTest::qWait(3000); // away for a while: the reopen tries again and again
        QCOMPARE(told.filter(u"Line lost"_s).size(), 1);
        QCOMPARE(QSet<QString>(told.begin(), told.end()).size(), told.size());

        const int wakes = m_sim->countReceived("WK,00");
        QVERIFY2(m_ser2net->start(), m_ser2net->output().constData());
        QVERIFY(m_sim->waitForReceived("WK,00", 15000, wakes + 1));
        QVERIFY(QTest::qWaitFor(answering, 15000));
    }

    // The window on a port whose address never answers: its event loop keeps
    // turning while it tries (a stall of a second or more is a fault); it
    // gives up after 2 s and says so once, with the URL, however often it
    // tries again.
    void blackHoleLeavesTheWindowTurning()
    {
        // A listener of 127.0.0.1 whose queue is full: the kernel drops
        // further handshakes, as on a route to nowhere.
        std::array<int, 4> fds{}; // the listener, then what fills its queue
        for (int &fd : fds)
            fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        const auto closeAll = qScopeGuard([&fds] { std::ranges::for_each(fds, ::close); });
        sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        auto *any = reinterpret_cast<sockaddr *>(&address);
        socklen_t length = sizeof address;
        QVERIFY(::bind(fds[0], any, length) == 0 && ::listen(fds[0], 0) == 0
                && ::getsockname(fds[0], any, &length) == 0);
        for (size_t i = 1; i < fds.size(); ++i)
            (void)::connect(fds[i], any, length);
        const QString device = u"socket://127.0.0.1:"_s + QString::number(ntohs(address.sin_port));
        QVERIFY(usePort(15, device));
        SettingsStore settings;

        QElapsedTimer clock;
        qint64 last = 0, worst = 0;
        QTimer ticks;
        connect(&ticks, &QTimer::timeout, this, [&] {
            worst = std::max(worst, clock.elapsed() - last);
            last = clock.elapsed();
        });
        clock.start();
        ticks.start(20);
        QTest::qWait(100);
        {
            SystemSerialPort port;
            SystemClock systemClock;
            FrmQuillon4 window(settings, port, systemClock, FrmQuillon4::Options{{}, false, true});
            QSignalSpy reports(&window.core().reporter, &Reporter::errorReported);
            window.show();
            QTest::qWait(4500);
            QCOMPARE(reports.size(), 1);
            const QString report = reports.first().first().toString();
            QVERIFY2(report.startsWith(u"Invalid Port Number - 15 "_s)
                         && report.contains(device + u" did not answer within 2 s"_s),
                     qPrintable(report));
            QVERIFY(window.core().deviceState.portIndicator == Indicator::Red);
        }
        QTest::qWait(100);
        QVERIFY2(worst < 1000, qPrintable(u"the event loop stood still for %1 ms"_s.arg(worst)));
    }
};

QUILLON_TEST_MAIN(TestNetwork)
#include "tst_network.moc"
