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
#include <QLocalSocket>
#include <QRegularExpression>
#include <QTest>

#include <csignal>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {
constexpr int Port = 12;

// A client of the control endpoint: the lines it received, as objects.
struct Client {
    QLocalSocket socket;
    QList<QJsonObject> lines;
    QByteArray input;

    bool open(const QString &path)
    {
        QObject::connect(&socket, &QLocalSocket::readyRead, [this] {
            input += socket.readAll();
            for (qsizetype end; (end = input.indexOf('\n')) >= 0; input.remove(0, end + 1))
                lines << QJsonDocument::fromJson(input.left(end)).object();
        });
        socket.connectToServer(path);
        return socket.waitForConnected(2000);
    }
    void send(const QByteArray &line) { socket.write(line + '\n'); }
    QList<QJsonObject> answers() const
    {
        QList<QJsonObject> result = lines;
        result.removeIf([](const QJsonObject &o) { return !o.contains(u"id"_s); });
        return result;
    }
};

// The 2048 logo bytes on the line for a bitmap's rows (bottom row first):
// rows 62, 60, .., 0, then 63, 61, .., 1.
QByteArray logoWire(const QByteArray &rows)
{
    QByteArray wire;
    for (int first : {62, 63})
        for (int row = first; row >= 0; row -= 2)
            wire += rows.mid(row * 32, 32);
    return wire;
}
} // namespace

// The control endpoint against the real programs and qxsim: quillon-cli
// through the line's holder, subscribers, the page's example session, and
// downloads with clients that load the holder or leave it.
class TestControl : public QObject
{
    Q_OBJECT

    ProgramHome m_home;
    std::unique_ptr<SimProcess> m_sim;
    QString m_socket;
    QProcess m_runner;

    void startCli(QProcess &cli, const QStringList &arguments) const
    {
        cli.setProcessEnvironment(m_home.environment());
        cli.start(QStringLiteral(QUILLON_CLI_PATH), arguments);
    }

    // quillon-cli schedule run, once the device woke and its endpoint answers.
    bool startRunner()
    {
        startCli(m_runner, {u"schedule"_s, u"run"_s});
        return m_sim->waitForReceived("WK,00", 15000)
               && QTest::qWaitFor(
                   [this] {
                       QLocalSocket probe;
                       probe.connectToServer(m_socket);
                       return probe.waitForConnected(100);
                   },
                   10000);
    }

    // Stops the runner cleanly: its exit code, -1 when it had ended before.
    int stopRunner()
    {
        if (m_runner.state() != QProcess::Running)
            return -1;
        ::kill(static_cast<pid_t>(m_runner.processId()), SIGTERM);
        return m_runner.waitForFinished(5000) ? m_runner.exitCode() : -1;
    }

    // Nothing qxsim took in was garbage or a cut logo line.
    bool noGarbage() const
    {
        return std::ranges::none_of(m_sim->entries(),
                                    [](const SimProcess::Entry &e) { return e.kind == "!"; });
    }

private slots:
    void init()
    {
        QVERIFY(m_home.prepare("[FormInit]\nComPort=" + QByteArray::number(Port) + "\n"));
        m_sim = std::make_unique<SimProcess>(m_home.portsDir(), Port);
        QVERIFY(m_sim->start());
        m_socket = m_home.path("run/Quillon/control-com12.sock");
    }

    void cleanup()
    {
        if (QTest::currentTestFailed()) {
            QFile log(m_sim->logPath());
            if (log.open(QIODevice::ReadOnly))
                qWarning("%s", log.readAll().right(6000).constData());
        }
        if (stopRunner() < 0 && m_runner.state() != QProcess::NotRunning) {
            m_runner.kill();
            m_runner.waitForFinished(3000);
        }
        m_sim.reset();
    }

    // quillon-cli commands while schedule run holds the port, two at once in
    // rounds while the schedule switches on: each goes through the holder,
    // whole on the line, and the schedule goes on.
    void cliBesideTheRunner()
    {
        const QDateTime now = QDateTime::currentDateTime();
        const int seconds = now.time().msecsSinceStartOfDay() / 1000;
        if (seconds > 86400 - 120)
            QSKIP("too close to midnight for a one-day schedule");
        // On for 15 s every 30 s from the next whole step at least 3 s away.
        const int start = (seconds + 3) / 15 + 1;
        QVERIFY(m_home.prepare(
            "[FormInit]\nComPort=12\n"
            + firstSequenceLines(start, start + 8, 1, 2, 3, 1 << (now.date().dayOfWeek() % 7))));
        QVERIFY(startRunner());
        const QDateTime switchAt(now.date(), QTime(0, 0).addSecs(start * 15));
        QTest::qWait(int(std::max<qint64>(0, QDateTime::currentDateTime().msecsTo(switchAt) - 2000)));
        int rounds = 0;
        do {
            std::vector<std::unique_ptr<QProcess>> clis;
            for (const QString &setting : {u"mix 30"_s, u"intensity 50"_s})
                startCli(*clis.emplace_back(std::make_unique<QProcess>()), (u"set "_s + setting).split(u' '));
            for (const auto &cli : clis) {
                QVERIFY(cli->waitForFinished(20000));
                QVERIFY2(cli->exitCode() == 0, cli->readAllStandardError().constData());
            }
            ++rounds;
        } while (m_sim->countReceived("AT1") == 0 && rounds < 100);
        for (const QByteArray command : {"AFLF", "AIR2"}) // whole, once a round
            QTRY_COMPARE_WITH_TIMEOUT(m_sim->countReceived(command), rounds, 5000);
        QVERIFY(noGarbage());
        Client client; // still serving, the schedule running
        QVERIFY(client.open(m_socket));
        client.send(R"({"id":1,"op":"status"})");
        QTRY_COMPARE_WITH_TIMEOUT(client.answers().size(), 1, 5000);
        QCOMPARE(client.answers()[0].value(u"schedule"_s)[u"running"_s].toBool(), true);
        QCOMPARE(stopRunner(), 0);
    }

    // The window beside schedule run works through it: its controls and a
    // download reach the line, its panel follows what others change, and
    // when the service stops it says so once, takes the port itself and
    // answers quillon-cli status as the device would over the port.
    void windowAttachedToTheService()
    {
        QProcess direct;
        startCli(direct, {u"status"_s});
        QVERIFY(direct.waitForFinished(20000) && direct.exitCode() == 0);
        const QStringList keys = QJsonDocument::fromJson(direct.readAllStandardOutput()).object().keys();
        QVERIFY(keys.contains(u"take"_s));
        QFile logo(m_home.path("logo.bmp"));
        QVERIFY(logo.open(QIODevice::WriteOnly) && logo.write(BitmapMaker().bytes()) > 0);
        logo.close();
        QVERIFY(startRunner());
        qputenv("XDG_CONFIG_HOME", m_home.path("config").toLocal8Bit());
        qputenv("XDG_RUNTIME_DIR", m_home.path("run").toLocal8Bit());
        SettingsStore settings;
        settings.setValue(u"BMPpath1"_s, logo.fileName());
        SystemSerialPort port;
        SystemClock clock;
        { // closed while attached: the service goes on untouched
            FrmQuillon4 early(settings, port, clock, FrmQuillon4::Options{{}, false, true});
            QTRY_VERIFY_WITH_TIMEOUT(!early.core().deviceState.heldBy.isEmpty(), 10000);
        }
        FrmQuillon4 window(settings, port, clock, FrmQuillon4::Options{{}, false, true});
        QuillonCore &core = window.core();
        QStringList told;
        connect(&core.reporter, &Reporter::errorReported, this,
                [&told](const QString &message) { told << message; });
        QTRY_VERIFY_WITH_TIMEOUT(core.deviceState.heldBy.startsWith(u"quillon-cli schedule run on COM12"_s),
                                 10000);
        QVERIFY(!core.link.portOpen());

        core.ops.takeOn(); // as the TAKE button
        QVERIFY(m_sim->waitForReceived("AT1", 10000));
        QProcess cli;
        startCli(cli, {u"set"_s, u"mix"_s, u"30"_s});
        QVERIFY(cli.waitForFinished(20000) && cli.exitCode() == 0);
        QTRY_COMPARE_WITH_TIMEOUT(core.panelState.mix, 30, 15000);
        bool progressShown = false;
        connect(&core.reporter, &Reporter::changed, this,
                [&] { progressShown = progressShown || core.reporter.progressVisible(); });
        core.ops.downloadLogo();
        QVERIFY(m_sim->waitForReceived("ALD", 10000));
        QTRY_VERIFY_WITH_TIMEOUT(!core.deviceState.transferBusy && m_sim->countReceived("AT1") == 2, 15000);
        QVERIFY(progressShown);
        QVERIFY(noGarbage());

        const int wakes = m_sim->countReceived("WK,00");
        QCOMPARE(stopRunner(), 0);
        QVERIFY(m_sim->waitForReceived("WK,00", 15000, wakes + 1));
        QTRY_VERIFY_WITH_TIMEOUT(core.link.portOpen() && core.deviceState.heldBy.isEmpty(), 5000);
        QCOMPARE(told.filter(u"no longer serves the line"_s).size(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_socket), 10000);
        QProcess status;
        startCli(status, {u"status"_s});
        QTRY_COMPARE_WITH_TIMEOUT(status.state(), QProcess::NotRunning, 20000);
        QVERIFY2(status.exitCode() == 0, status.readAllStandardError().constData());
        QCOMPARE(QJsonDocument::fromJson(status.readAllStandardOutput()).object().keys(), keys);
    }

    // The "Example session" of doc/control-protocol.md against schedule run:
    // each > line is sent once the < lines before it came, in their order
    // among what else arrives.
    void exampleSession()
    {
        QFile page(QStringLiteral(QUILLON_CONTROL_PAGE));
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QByteArray text = page.readAll();
        const qsizetype section = text.indexOf("## Example session");
        const qsizetype begin = text.indexOf("```\n", section) + 4;
        QVERIFY(section >= 0 && begin > section);
        const QByteArrayList block = text.mid(begin, text.indexOf("```", begin) - begin).split('\n');

        QVERIFY(startRunner());
        Client client;
        QVERIFY(client.open(m_socket));
        static const QRegularExpression lineName(u"^COM\\d+ \\(/dev/\\S+\\)$"_s);
        const auto same = [](QJsonObject expected, QJsonObject got) {
            if (expected.contains(u"line"_s) && lineName.match(got.value(u"line"_s).toString()).hasMatch())
                expected.remove(u"line"_s), got.remove(u"line"_s);
            return expected == got;
        };
        QList<QJsonObject> expected;
        // How many of the expected lines came, in order.
        const auto matched = [&] {
            qsizetype at = 0, count = 0;
            for (const QJsonObject &e : std::as_const(expected)) {
                while (at < client.lines.size() && !same(e, client.lines[at]))
                    ++at;
                if (at++ >= client.lines.size())
                    break;
                ++count;
            }
            return count;
        };
        const auto received = [&] {
            QByteArray all;
            for (const QJsonObject &o : std::as_const(client.lines))
                all += QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
            return all;
        };
        for (const QByteArray &line : block) {
            if (line.startsWith("< ")) {
                expected << QJsonDocument::fromJson(line.mid(2)).object();
                QVERIFY2(!expected.last().isEmpty(), line.constData());
            } else if (line.startsWith("> ")) {
                QTRY_VERIFY2_WITH_TIMEOUT(matched() == expected.size(), received().constData(), 10000);
                client.send(line.mid(2));
            }
        }
        QVERIFY(!expected.isEmpty());
        QTRY_VERIFY2_WITH_TIMEOUT(matched() == expected.size(), received().constData(), 10000);
        QCOMPARE(stopRunner(), 0);
    }

    // A download with other clients about: 50 of them asking status 100
    // times each, or its own client leaving midway. The logo reaches the
    // device whole and the holder serves on.
    void downloadHoldsUp_data()
    {
        QTest::addColumn<int>("clients");
        QTest::addColumn<bool>("leaves");
        QTest::addColumn<QByteArray>("mark"); // on the line when the others come, or it leaves
        QTest::newRow("50 clients asking status") << 50 << false << QByteArray("ALD");
        QTest::newRow("its client leaves at the fast fade") << 0 << true << QByteArray("AFR\0", 4);
    }
    void downloadHoldsUp()
    {
        QFETCH(int, clients);
        QFETCH(bool, leaves);
        QFETCH(QByteArray, mark);
        constexpr int Requests = 100;
        BitmapMaker maker;
        QByteArray bitmap = maker.bytes();
        bitmap.replace(bitmap.size() - 2048, 1024, QByteArray(1024, '\xFF'));
        QFile file(m_home.path("logo.bmp"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bitmap) == bitmap.size());
        file.close();

        QVERIFY(startRunner());
        auto downloader = std::make_unique<Client>();
        QVERIFY(downloader->open(m_socket));
        downloader->send(
            QJsonDocument(QJsonObject{{u"id"_s, 1}, {u"op"_s, u"download"_s}, {u"file"_s, file.fileName()}})
                .toJson(QJsonDocument::Compact));
        QVERIFY(m_sim->waitForReceived(mark, 10000));
        if (leaves)
            downloader.reset();

        std::vector<std::unique_ptr<Client>> others;
        QByteArray requests;
        for (int id = 1; id <= Requests; ++id)
            requests += R"({"id":)" + QByteArray::number(id) + R"(,"op":"status"})" + '\n';
        for (int i = 0; i < clients; ++i) {
            QVERIFY(others.emplace_back(std::make_unique<Client>())->open(m_socket));
            others.back()->socket.write(requests);
        }
        const auto allAnswered = [&] {
            return std::ranges::all_of(others, [](const auto &c) { return c->answers().size() == Requests; });
        };
        QTRY_VERIFY_WITH_TIMEOUT(allAnswered(), 60000);
        bool sawBusy = !clients;
        for (const auto &client : others) {
            const QList<QJsonObject> answers = client->answers();
            for (int i = 0; i < Requests; ++i) {
                QCOMPARE(answers[i].value(u"id"_s).toInt(), i + 1);
                QVERIFY(answers[i].value(u"ok"_s).toBool());
                sawBusy = sawBusy || answers[i].value(u"busy"_s).toBool();
            }
        }
        QVERIFY(sawBusy); // they came while the download ran

        QVERIFY(m_sim->waitForReceived(logoWire(bitmap.right(2048)), 15000));
        QCOMPARE(m_sim->countReceived(logoWire(bitmap.right(2048))), 1);
        QVERIFY(noGarbage());
        if (downloader) {
            QTRY_COMPARE_WITH_TIMEOUT(downloader->answers().size(), 1, 15000);
            QVERIFY(downloader->answers()[0].value(u"ok"_s).toBool());
        }
        // And the line serves a new client's operation.
        Client after;
        QVERIFY(after.open(m_socket));
        after.send(R"({"id":1,"op":"take","take":"off"})");
        QTRY_COMPARE_WITH_TIMEOUT(after.answers().size(), 1, 15000);
        QVERIFY(after.answers()[0].value(u"ok"_s).toBool());
        QCOMPARE(stopRunner(), 0);
    }
};

QUILLON_TEST_MAIN(TestControl)
#include "tst_control.moc"
