// SPDX-License-Identifier: GPL-3.0-or-later
#include "corefixture.h"

#include "device_link/networkserialport.h"
#include "device_link/portlocator.h"
#include "device_link/porturl.h"
#include "device_link/systemserialport.h"
#include "reporting/reporter.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace Qt::StringLiterals;

// Ports on serial device servers: their URLs, the ports folder's URL files,
// the TCP port itself against a server of the test's own, and what the link
// makes of a line whose replies come in network-sized pieces.
class TestNetworkPort : public QObject
{
    Q_OBJECT

    static QByteArray settingsReply()
    {
        return QByteArray("s\x0a\x14\x28\x5e\x1e\x01\x00\x00\x08\x10", 11) + "03";
    }

private slots:
    void urls_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown"); // empty: refused
        QTest::addColumn<QString>("why");
        const auto row = [](const char *text, const char *shown, const char *why = "") {
            QTest::newRow(text) << QString::fromLatin1(text) << QString::fromLatin1(shown)
                                << QString::fromLatin1(why);
        };
        row("socket://server.local:3001", "socket://server.local:3001");
        row("  rfc2217://10.0.0.5:2217 \n", "rfc2217://10.0.0.5:2217");
        row("rfc2217://[fe80::1]:7000", "rfc2217://[fe80::1]:7000");
        row("rfc2217://fe80::1:7000", "", "IPv6 address in brackets");
        row("rfc2217://[server]:7000", "", "no IPv6 address");
        row("socket://:3001", "", "no host");
        row("socket://host", "", "no port number");
        row("socket://host:0", "", "1 to 65535");
        row("socket://host:65536", "", "1 to 65535");
        row("socket://host:+80", "", "1 to 65535");
        row("socket://ho st:80", "", "no host");
        row("telnet://host:23", "", "is not socket://HOST:PORT");
    }
    void urls()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QFETCH(QString, why);
        QString problem;
        const std::optional<PortUrl> url = PortUrl::parse(text, &problem);
        QCOMPARE(url ? url->text() : QString(), shown);
        QVERIFY2(problem.contains(why), qPrintable(problem));
    }

    // A text file in the ports folder is a port on a device server, found
    // without connecting; one with anything else is no port, with the reason.
    void portsFolderFiles()
    {
        QTemporaryDir dir;
        const auto put = [&dir](int n, const QByteArray &text) {
            QFile file(dir.filePath(u"com%1"_s.arg(n)));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
        };
        put(7, " socket://127.0.0.1:1 \nanything after\n");
        put(8, "/dev/ttyUSB0\n");
        const PortLocator locator(dir.path());
        QCOMPARE(locator.devicePath(7), u"socket://127.0.0.1:1"_s);
        QVERIFY(locator.devicePath(8).isEmpty());
        QVERIFY(locator.problem(8).contains(u"com8: \"/dev/ttyUSB0\" is not socket://"_s));
        SystemSerialPort port{PortLocator(dir.path())};
        QVERIFY(port.probe(7) && !port.probe(8));
        const SerialPort::OpenResult bad = port.open(8);
        QCOMPARE(bad.failure, int(SerialPort::NotValid));
        QVERIFY(bad.detail.contains(u"is not socket://"_s));
        QCOMPARE(PortLocator::forDevice(1, u"rfc2217://[::1]:2217"_s).devicePath(1),
                 u"rfc2217://[::1]:2217"_s);
    }

    // RFC 2217: what is written while connecting follows the client's
    // offers, its 0xFF doubled; a server that refuses the line settings is a
    // warning naming it, and the line goes on.
    void telnetServerThatRefusesSettings()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        NetworkSerialPort port;
        const QString url = u"rfc2217://127.0.0.1:%1"_s.arg(server.serverPort());
        port.setUrl(*PortUrl::parse(url));
        QSignalSpy warnings(&port, &SerialPort::warning);
        QVERIFY(port.open(5).ok());
        QCOMPARE(port.write(QByteArray("A\xFF", 2)), QString());
        QVERIFY(server.waitForNewConnection(5000));
        QTcpSocket *peer = server.nextPendingConnection();
        QTRY_COMPARE(peer->bytesAvailable(), 12);
        QVERIFY(peer->readAll().endsWith(QByteArray("A\xFF\xFF", 3)));
        peer->write("\xFF\xFE\x2C"); // DONT COM-PORT-OPTION
        QTRY_COMPARE(warnings.size(), 1);
        QVERIFY2(warnings.first().first().toString().startsWith(url + u": "_s),
                 qPrintable(warnings.first().first().toString()));
        QVERIFY(port.isOpen());
    }

    // Pieces of one reply up to 200 ms apart are one reply from a device
    // server (a known shape ends at once); on a local port two quiet ticks
    // still end it.
    void framing_data()
    {
        QTest::addColumn<bool>("network");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("gapTicks");
        QTest::addColumn<int>("replies");
        const QByteArray copyright = "(C) 2026 Logo Generator QX04\r\n";
        QTest::newRow("local, 2 ticks apart") << false << settingsReply() << 2 << 4;
        QTest::newRow("local, 1 tick apart") << false << settingsReply() << 1 << 1;
        QTest::newRow("network, 200 ms apart") << true << settingsReply() << 8 << 1;
        QTest::newRow("network, begun settings, 750 ms apart") << true << settingsReply() << 30 << 1;
        QTest::newRow("network, begun copyright, 750 ms apart") << true << copyright << 30 << 1;
        QTest::newRow("network, no known shape, 300 ms apart") << true << QByteArray("?!?!?!?!") << 12 << 2;
    }
    void framing()
    {
        QFETCH(bool, network);
        QFETCH(QByteArray, reply);
        QFETCH(int, gapTicks);
        QFETCH(int, replies);
        CoreFixture f;
        QuillonCore &core = f.startConnected();
        f.port.network = network;
        QSignalSpy got(&core.link, &DeviceLink::replyReceived);
        for (int at = 0; at < reply.size(); at += 4) {
            f.port.receive(reply.mid(at, 4));
            core.link.readReplies();
            f.ticks(gapTicks);
        }
        f.ticks(network ? 0 : 3);
        QCOMPARE(got.size(), replies);
        if (replies == 1)
            QCOMPARE(got.first().first().toByteArray(), reply);
    }

    // A logo stream from a device server may pause longer than a local
    // port's 20 quiet ticks on a busy server; it ends when it is whole.
    void networkStreamEndsWhenWhole()
    {
        CoreFixture f;
        QuillonCore &core = f.startConnected();
        f.port.network = true;
        QSignalSpy streams(&core.link, &DeviceLink::logoStreamReceived);
        core.link.expectLogoStream(500);
        const QByteArray stream = QByteArray("\x00\x01SD", 4) + QByteArray(2048, '\xFF');
        f.port.receive(stream.left(1000));
        core.link.readReplies();
        f.ticks(40);
        QCOMPARE(streams.size(), 0);
        f.port.receive(stream.mid(1000));
        core.link.readReplies();
        QVERIFY(streams.size() == 1 && streams.first().first().toByteArray() == stream);
    }

    // A device server that cannot be reached is reported like a missing
    // port, with its URL and the reason, once however often it is retried;
    // the retry goes on, and once connected a new failure is news again.
    void unreachableIsReportedOncePerStreak()
    {
        CoreFixture f;
        f.port.network = true;
        f.port.present = {1};
        f.setSetting(u"ComPort"_s, u"1"_s);
        QuillonCore &core = f.start();
        QSignalSpy reports(&core.reporter, &Reporter::errorReported);
        const auto told = [&reports] {
            QStringList texts;
            for (const QList<QVariant> &report : reports)
                texts << report.first().toString();
            return texts;
        };
        f.port.problem = u"rfc2217://10.1.1.1:2217 did not answer within 2 s"_s;
        for (int attempt = 0; attempt < 3; ++attempt) {
            emit f.port.commEvent(SerialPort::Unreachable);
            QVERIFY(!f.port.isOpen());
            f.ticks(41); // the once-a-second reopen
            QVERIFY(f.port.isOpen());
        }
        QCOMPARE(f.port.opened.size(), 4);
        QCOMPARE(told(), QStringList{u"Invalid Port Number - 1 Port not available for use as a device "
                                     "interface. (rfc2217://10.1.1.1:2217 did not answer within 2 s)"_s});
        f.ticks(200); // open, connecting: not opened again meanwhile
        QCOMPARE(f.port.opened.size(), 4);
        // Connecting is not yet a line: red until the connection is up.
        QCOMPARE(core.deviceState.portIndicator, Indicator::Red);
        emit f.port.commEvent(SerialPort::Connected);
        QCOMPARE(core.deviceState.portIndicator, Indicator::Cyan);
        f.wake();
        QCOMPARE(f.port.writes.last(), QByteArray("WK,00"));
        emit f.port.commEvent(SerialPort::Unreachable);
        QCOMPARE(told().size(), 2);
    }
};

QUILLON_TEST_GUILESS_MAIN(TestNetworkPort)
#include "tst_networkport.moc"
