// SPDX-License-Identifier: GPL-3.0-or-later
#include "corefixture.h"

#include "control/controlprotocol.h"
#include "control/controlserver.h"
#include "device_link/commandtable.h"
#include "reporting/reporter.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// One client of the endpoint, local or TCP, reading answer lines.
struct Client {
    explicit Client(QIODevice *device)
        : socket(device)
    {
    }
    std::unique_ptr<QIODevice> socket;
    QByteArray input;

    void send(const QByteArray &line) { socket->write(line + '\n'); }
    // The next line, or an empty object when none came within the time.
    QJsonObject next(int timeoutMs = 3000)
    {
        (void)QTest::qWaitFor(
            [this] {
                input += socket->readAll();
                return input.contains('\n');
            },
            timeoutMs);
        const qsizetype end = input.indexOf('\n');
        if (end < 0)
            return {};
        const QJsonObject o = QJsonDocument::fromJson(input.left(end)).object();
        input.remove(0, end + 1);
        return o;
    }
    bool closed()
    {
        if (auto *local = qobject_cast<QLocalSocket *>(socket.get()))
            return QTest::qWaitFor([local] { return local->state() == QLocalSocket::UnconnectedState; },
                                   3000);
        auto *tcp = qobject_cast<QTcpSocket *>(socket.get());
        return QTest::qWaitFor([tcp] { return tcp->state() == QAbstractSocket::UnconnectedState; }, 3000);
    }
};

} // namespace

// The control endpoint: what a request may be, and clients that send what
// the protocol does not allow, ask too much or never read. Whatever they do,
// nothing they were not entitled to ask for reaches the line.
class TestControlServer : public QObject
{
    Q_OBJECT

    CoreFixture m_f;
    std::unique_ptr<ControlServer> m_server;
    QString m_path;

    std::unique_ptr<Client> connectLocal()
    {
        auto *socket = new QLocalSocket;
        socket->connectToServer(m_path);
        socket->waitForConnected(1000);
        return std::make_unique<Client>(socket);
    }

private slots:
    void initTestCase()
    {
        qputenv("XDG_RUNTIME_DIR", m_f.dir.filePath(u"run"_s).toLocal8Bit());
        m_f.startConnected();
        m_server = std::make_unique<ControlServer>(
            *m_f.core, ControlServer::Holder{u"quillon"_s, [] { return u"COM1"_s; }, {}});
        m_path = ControlServer::socketPath(1);
        QString problem;
        QVERIFY2(m_server->listenLocal(m_path, &problem), qPrintable(problem));
    }

    void init() { m_f.port.writes.clear(); }

    // Nothing a refused request names reaches the line: only the link's
    // own polls and wake-ups.
    void cleanup()
    {
        QTest::qWait(10);
        const QByteArrayList polls{CommandTable::text(CommandTable::RetrieveSettings),
                                   CommandTable::text(CommandTable::RetrieveCopyright)};
        for (const QByteArray &write : std::as_const(m_f.port.writes))
            QVERIFY2(polls.contains(write) || write.startsWith("WK,"), write.constData());
    }

    void refused_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("error");
        const auto row = [](const char *line, const char *error) {
            QTest::newRow(line) << QByteArray(line) << QString::fromUtf8(error);
        };
        row("{\"id\":1,\"op\":\"take\"", "not JSON");
        row("[1,2]", "a request is a JSON object");
        row("{\"op\":\"hello\"}", "needs an \"id\"");
        row("{\"id\":1.5,\"op\":\"hello\"}", "needs an \"id\"");
        row("{\"id\":{},\"op\":\"hello\"}", "needs an \"id\"");
        row("{\"id\":1}", "needs an \"op\"");
        row("{\"id\":1,\"op\":7}", "needs an \"op\"");
        row("{\"id\":1,\"op\":\"launch\"}", "unknown operation \"launch\"");
        row("{\"id\":1,\"op\":\"hello\",\"token\":5}", "\"token\" must be a string");
        row("{\"id\":1,\"op\":\"take\"}", "\"take\" needs the field \"take\"");
        row("{\"id\":1,\"op\":\"take\",\"take\":\"sideways\"}", "take is on, off or toggle");
        row("{\"id\":1,\"op\":\"set\",\"setting\":\"fade\",\"value\":\"40\"}",
            "\"value\" must be a whole number");
        row("{\"id\":1,\"op\":\"set\",\"setting\":\"fade\",\"value\":40.5}",
            "\"value\" must be a whole number");
        row("{\"id\":1,\"op\":\"set\",\"setting\":\"fade\",\"value\":1e12}",
            "\"value\" must be a whole number");
        row("{\"id\":1,\"op\":\"set\",\"setting\":\"fade\",\"value\":150}", "from 1 to 100");
        row("{\"id\":1,\"op\":\"set\",\"setting\":\"glow\",\"value\":1}", "knows fade, mix");
        row("{\"id\":1,\"op\":\"select\",\"slot\":16}", "the slot must be");
        row("{\"id\":1,\"op\":\"set-id\",\"node\":0}", "the node ID must be");
        row("{\"id\":1,\"op\":\"download\",\"file\":\"logo.bmp\"}", "must be an absolute path");
        row("{\"id\":1,\"op\":\"download\",\"file\":\"/l.bmp\",\"negative\":1}", "true or false");
        row("{\"id\":1,\"op\":\"diagnostic\",\"command\":26}", "command number from 0 to 25");
        row("{\"id\":1,\"op\":\"diagnostic\",\"command\":2,\"value\":256}", "from 0 to 255");
        row("{\"id\":1,\"op\":\"command\",\"command\":8}", "sent by download, upload or diagnostic");
        row("{\"id\":1,\"op\":\"command\",\"command\":4,\"argument\":\"zz\"}", "up to 4 bytes in hex");
        row("{\"id\":1,\"op\":\"command\",\"command\":4,\"argument\":\"0102030405\"}", "up to 4 bytes");
    }
    void refused()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, error);
        auto client = connectLocal();
        client->send(line);
        const QJsonObject answer = client->next();
        QCOMPARE(answer.value(u"ok").toBool(true), false);
        QCOMPARE(answer.value(u"exit").toInt(), 2);
        QVERIFY2(answer.value(u"error").toString().contains(error),
                 qPrintable(answer.value(u"error").toString()));
        // The id comes back whenever the request had a usable one.
        if (!error.contains(u"\"id\""_s) && !error.startsWith(u"not JSON"_s)
            && !error.contains(u"JSON object"_s))
            QCOMPARE(answer.value(u"id").toInt(), 1);
        // And the client is still served.
        client->send(R"({"id":"again","op":"hello"})");
        QCOMPARE(client->next().value(u"id").toString(), u"again"_s);
    }

    // A line over 64 KiB is refused and its client closed; the others go on.
    void overlongLineClosesItsClient()
    {
        auto other = connectLocal();
        auto client = connectLocal();
        client->socket->write(QByteArray(ControlProtocol::MaxLine + 100, 'x'));
        QVERIFY(client->next().value(u"error").toString().contains(u"longer than 65536 bytes"_s));
        QVERIFY(client->closed());
        other->send(R"({"id":2,"op":"status"})");
        QVERIFY(other->next().value(u"ok").toBool());
    }

    // An operation that cannot start within its limit (a download holds the
    // line) is answered with an error and never sent.
    void queuedRequestRunsOutOfTime()
    {
        auto client = connectLocal();
        m_f.core->link.holdCommands(true);
        client->send(R"({"id":3,"op":"diagnostic","command":2})");
        QCOMPARE(client->next(200), QJsonObject());
        m_f.ticks(ControlServer::QueueWaitMs / 25 + 1);
        const QJsonObject answer = client->next();
        QCOMPARE(answer.value(u"exit").toInt(), 3);
        QVERIFY(answer.value(u"error").toString().contains(u"busy for 30 s"_s));
        m_f.core->link.holdCommands(false);
        m_f.ticks(2);
    }

    // A subscriber that never reads is dropped once its backlog is full;
    // the events go on to the others.
    void clientThatNeverReadsIsDropped()
    {
        QSignalSpy notices(m_server.get(), &ControlServer::notice);
        auto reader = connectLocal();
        auto sleeper = connectLocal();
        static_cast<QLocalSocket *>(sleeper->socket.get())->setReadBufferSize(4096);
        for (auto *c : {reader.get(), sleeper.get()}) {
            c->send(R"({"id":4,"op":"subscribe"})");
            QVERIFY(c->next().value(u"ok").toBool());
        }
        const int clients = m_server->clientCount();
        const QString text(2000, u'x');
        for (int i = 0; i < 2000 && m_server->clientCount() == clients; ++i) {
            m_f.core->reporter.ReportError(text, u"Test"_s);
            reader->socket->readAll();
            QCoreApplication::processEvents();
        }
        QCOMPARE(m_server->clientCount(), clients - 1);
        QVERIFY(notices.size() == 1 && notices.first().first().toString().contains(u"did not read"_s));
        m_f.core->reporter.ReportError(u"still here"_s, u"Test"_s);
        QTRY_VERIFY((reader->input += reader->socket->readAll()).contains("still here"));
    }

    // A hundred clients at once are each answered.
    void hundredClientsAtOnce()
    {
        std::array<std::unique_ptr<Client>, 100> clients;
        for (auto &c : clients) {
            c = connectLocal();
            c->send(R"({"id":5,"op":"hello"})");
        }
        for (auto &c : clients)
            QCOMPARE(c->next().value(u"protocol").toInt(), ControlProtocol::Version);
    }

    // On TCP the first request must carry the token; a wrong one is refused,
    // logged and closed. The token is compared whole, at any length.
    void tcpNeedsTheToken_data()
    {
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<bool>("served");
        QTest::newRow("right") << QByteArray(R"({"id":1,"op":"hello","token":"s3cret"})") << true;
        QTest::newRow("wrong") << QByteArray(R"({"id":1,"op":"hello","token":"s3creT"})") << false;
        QTest::newRow("prefix") << QByteArray(R"({"id":1,"op":"hello","token":"s3cre"})") << false;
        QTest::newRow("longer") << QByteArray(R"({"id":1,"op":"hello","token":"s3crets"})") << false;
        QTest::newRow("NUL") << QByteArray(R"({"id":1,"op":"hello","token":"s3cret\u0000"})") << false;
        QTest::newRow("empty") << QByteArray(R"({"id":1,"op":"hello","token":""})") << false;
        QTest::newRow("missing") << QByteArray(R"({"id":1,"op":"hello"})") << false;
        QTest::newRow("bad JSON") << QByteArray(R"({"token":"s3cret")") << false;
    }
    void tcpNeedsTheToken()
    {
        QFETCH(QByteArray, first);
        QFETCH(bool, served);
        ControlServer tcp(*m_f.core, {u"quillon"_s, [] { return u"COM1"_s; }, {}});
        QString problem;
        QVERIFY2(tcp.listenTcp(u"127.0.0.1:0"_s, u"s3cret"_s, &problem), qPrintable(problem));
        QSignalSpy notices(&tcp, &ControlServer::notice);
        auto *socket = new QTcpSocket;
        Client client(socket);
        socket->connectToHost(QHostAddress::LocalHost, QUrl(u"x://"_s + tcp.tcpAddress()).port());
        QVERIFY(socket->waitForConnected(1000));
        client.send(first);
        QCOMPARE(client.next().value(u"ok").toBool(), served);
        if (served) {
            client.send(R"({"id":2,"op":"status"})");
            QVERIFY(client.next().value(u"ok").toBool());
        } else {
            QVERIFY(client.closed());
            QCOMPARE(notices.size(), 1);
        }
        QVERIFY(!tcp.listenTcp(u"127.0.0.1:0"_s, QString(), &problem));
    }

    // The socket is its user's alone; a socket file nobody serves any more
    // is taken over, one that still answers is not.
    void socketFileAndFolder()
    {
        struct stat file {
        }, folder{};
        QVERIFY(::stat(QFile::encodeName(m_path).constData(), &file) == 0);
        QVERIFY(::stat(QFile::encodeName(QFileInfo(m_path).path()).constData(), &folder) == 0);
        QCOMPARE(file.st_mode & 0777, 0600u);
        QCOMPARE(folder.st_mode & 0777, 0700u);

        ControlServer second(*m_f.core, {u"quillon"_s, [] { return u"COM1"_s; }, {}});
        QString problem;
        QVERIFY(!second.listenLocal(m_path, &problem));
        QVERIFY(problem.contains(u"served by another process"_s));

        const QString stale = ControlServer::socketPath(0, u"/dev/ttyUSB9"_s);
        QVERIFY(QFileInfo(stale).fileName().startsWith(u"control-"_s) && stale.endsWith(u".sock"_s));
        QVERIFY(QDir().mkpath(QFileInfo(stale).path()));
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, QFile::encodeName(stale).constData(), sizeof address.sun_path);
        QVERIFY(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0);
        ::close(fd); // a process that died without removing its socket
        QVERIFY2(second.listenLocal(stale, &problem), qPrintable(problem));
    }
};

QUILLON_TEST_GUILESS_MAIN(TestControlServer)
#include "tst_controlserver.moc"
