// SPDX-License-Identifier: GPL-3.0-or-later
#include "device_link/telnetcodec.h"

#include <QTest>

namespace {

using T = TelnetCodec;
constexpr int Sga = 3, Nop = 241, Ga = 249, Com = T::ComPortOption;

QByteArray b(std::initializer_list<int> values)
{
    QByteArray out;
    for (const int value : values)
        out += static_cast<char>(value);
    return out;
}
QByteArray cmd(int verb, int option)
{
    return b({T::Iac, verb, option});
}
// IAC SB COM-PORT-OPTION code value IAC SE, the value as it goes on the wire.
QByteArray sub(int code, const QByteArray &wireValue)
{
    return b({T::Iac, T::Sb, Com, code}) + wireValue + b({T::Iac, T::Se});
}

const QByteArray kBaud = b({0, 0, 0x25, 0x80});
const QByteArray kSettings = sub(1, kBaud) + sub(2, b({8})) + sub(3, b({1})) + sub(4, b({1}));
const QByteArray kAnswers = sub(101, kBaud) + sub(102, b({8})) + sub(103, b({1})) + sub(104, b({1}));

struct Outcome {
    QByteArray data, reply;
    QStringList warnings;
    bool pending;
};

Outcome runClient(const QList<QByteArray> &pieces)
{
    T codec(T::Role::Client);
    codec.start();
    Outcome out;
    for (const QByteArray &piece : pieces)
        out.data += codec.decode(piece);
    out.reply = codec.takeReply();
    out.warnings = codec.takeWarnings();
    out.pending = codec.settingsPending();
    return out;
}

// Carries each side's replies to the other in pieces of chunk bytes until both are quiet.
void talk(T &client, T &server, const QByteArray &first, qsizetype chunk, QByteArray *atServer,
          QByteArray *atClient)
{
    QByteArray toServer = first, toClient;
    while (!toServer.isEmpty() || !toClient.isEmpty()) {
        for (qsizetype at = 0; at < toServer.size(); at += chunk)
            *atServer += server.decode(toServer.mid(at, chunk));
        toServer.clear();
        toClient = server.takeReply();
        for (qsizetype at = 0; at < toClient.size(); at += chunk)
            *atClient += client.decode(toClient.mid(at, chunk));
        toServer = client.takeReply();
    }
}

} // namespace

class TestTelnetCodec : public QObject
{
    Q_OBJECT
private slots:
    // The client after start() against what a server sends; the same cut
    // anywhere in two.
    void client_data()
    {
        QTest::addColumn<QByteArray>("in");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QStringList>("warnings");
        QTest::addColumn<bool>("pending");
        const QByteArray agreed = cmd(T::Do, T::Binary) + cmd(T::Will, T::Binary) + cmd(T::Do, Com);
        const QString refused = QStringLiteral(
            "The device server does not take line settings (RFC 2217 refused): the line runs at whatever "
            "the server is set to, which may not be 9600,N,8,1.");

        QTest::newRow("agreed and answered, binary CR NUL kept")
            << agreed + QByteArray("A\r\0", 3) + kAnswers + "B" << QByteArray("A\r\0B", 4) << kSettings
            << QStringList() << false;
        QTest::newRow("pending until every answer") << agreed + kAnswers.left(kAnswers.size() - 7)
                                                    << QByteArray() << kSettings << QStringList() << true;
        QTest::newRow("DONT, twice: one warning")
            << cmd(T::Dont, Com) + "x" + cmd(T::Dont, Com) << QByteArray("x") << QByteArray()
            << QStringList{refused} << false;
        QTest::newRow("WONT") << cmd(T::Wont, Com) << QByteArray() << QByteArray() << QStringList{refused}
                              << false;
        QTest::newRow("other values, 0xFF inside")
            << agreed + sub(101, b({0, 0, 0x4b, 0})) + sub(102, b({8})) + sub(103, b({3}))
                   + sub(104, b({T::Iac, T::Iac}))
            << QByteArray() << kSettings
            << QStringList{QStringLiteral("The device server set the baud rate to 19200 instead of 9600."),
                           QStringLiteral("The device server set the parity to even instead of none."),
                           QStringLiteral("The device server set the stop bits to 255 instead of 1.")}
            << false;
        QTest::newRow("short answer")
            << sub(101, b({0x25, 0x80})) << QByteArray() << QByteArray()
            << QStringList{QStringLiteral("The device server answered the baud rate setting with 2 "
                                          "bytes instead of 4.")}
            << true;
        QTest::newRow("SGA agreed, the rest refused, answers not answered")
            << cmd(T::Will, Sga) + cmd(T::Do, Sga) + cmd(T::Do, 24) + cmd(T::Will, 1) + cmd(T::Will, Sga)
                   + cmd(T::Do, T::Binary) + cmd(T::Wont, 5) + cmd(T::Dont, 6)
            << QByteArray() << cmd(T::Do, Sga) + cmd(T::Will, Sga) + cmd(T::Wont, 24) + cmd(T::Dont, 1)
            << QStringList() << true;
        QTest::newRow("two-byte commands and IAC IAC")
            << "a" + b({T::Iac, Nop}) + "b" + b({T::Iac, Ga, T::Iac, T::Se, T::Iac, T::Iac, T::Iac, 'c'})
            << "ab" + b({T::Iac}) + "c" << QByteArray() << QStringList() << true;
        QTest::newRow("CR NUL until the server sends BINARY")
            << QByteArray("\r\0\r\r\0", 5) + cmd(T::Will, T::Binary) + QByteArray("\r\0", 2)
            << QByteArray("\r\r\r\r\0", 5) << QByteArray() << QStringList() << true;
        QTest::newRow("SB cut short by a command")
            << "a" + b({T::Iac, T::Sb, Com, 101, 0}) + cmd(T::Will, Sga) + "b" << QByteArray("ab")
            << cmd(T::Do, Sga) << QStringList() << true;
        QTest::newRow("huge and unknown SBs dropped")
            << "a" + sub(101, QByteArray(100, 'x')) + "b" + b({T::Iac, T::Sb, 24, 1, T::Iac, T::Se}) + "c"
            << QByteArray("abc") << QByteArray() << QStringList() << true;
    }

    void client()
    {
        QFETCH(QByteArray, in);
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, reply);
        QFETCH(QStringList, warnings);
        QFETCH(bool, pending);
        for (qsizetype cut = 0; cut <= in.size(); ++cut) {
            const Outcome out = runClient({in.left(cut), in.mid(cut)});
            QCOMPARE(out.data, data);
            QCOMPARE(out.reply, reply);
            QCOMPARE(out.warnings, warnings);
            QCOMPARE(out.pending, pending);
        }
    }

    // The server records what is asked and answers with what it set; 0 asks.
    void server_data()
    {
        QTest::addColumn<QByteArray>("in");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QList<int>>("requested");
        const QByteArray baud19200 = b({0, 0, 0x4b, 0});
        QTest::newRow("asked and set")
            << cmd(T::Will, Com) + sub(1, baud19200) + sub(3, b({3}))
            << cmd(T::Do, Com) + sub(101, baud19200) + sub(103, b({3})) << QList<int>{19200, 0, 3, 0};
        QTest::newRow("0 asks the current")
            << sub(1, b({0, 0, 0, 0})) + sub(2, b({0})) + sub(2, b({7})) + sub(2, b({0}))
            << sub(101, kBaud) + sub(102, b({8})) + sub(102, b({7})) + sub(102, b({7}))
            << QList<int>{0, 7, 0, 0};
        QTest::newRow("no COM-PORT-OPTION of its own, short value ignored")
            << cmd(T::Do, Com) + sub(1, b({1})) << cmd(T::Wont, Com) << QList<int>{0, 0, 0, 0};
    }

    void server()
    {
        QFETCH(QByteArray, in);
        QFETCH(QByteArray, reply);
        QFETCH(QList<int>, requested);
        T codec(T::Role::Server);
        QVERIFY(codec.decode(in).isEmpty());
        QCOMPARE(codec.takeReply(), reply);
        const T::LineSettings asked = codec.requested();
        QCOMPARE((QList<int>{int(asked.baud), asked.dataBits, asked.parity, asked.stopBits}), requested);
    }

    // Client and server reach 9600,N,8,1 with no warnings, every byte value
    // (CR NUL too) crossing both ways in the same bytes as the negotiation.
    void bothEnds_data()
    {
        QTest::addColumn<qsizetype>("chunk");
        QTest::newRow("whole") << qsizetype(100000);
        QTest::newRow("a byte at a time") << qsizetype(1);
        QTest::newRow("three") << qsizetype(3);
    }

    void bothEnds()
    {
        QFETCH(qsizetype, chunk);
        QByteArray all("\r\0", 2);
        for (int value = 0; value < 256; ++value)
            all += static_cast<char>(value);
        T client(T::Role::Client), server(T::Role::Server);
        QByteArray atServer, atClient;
        talk(client, server, client.start() + T::encode(all), chunk, &atServer, &atClient);
        QCOMPARE(atServer, all);
        QCOMPARE(server.requested(), (T::LineSettings{9600, 8, T::ParityNone, T::StopBitsOne}));
        QVERIFY(!client.settingsPending());
        QCOMPARE(client.takeWarnings(), QStringList());
        QCOMPARE(client.decode(T::encode(all)), all);
    }
};

QUILLON_TEST_APPLESS_MAIN(TestTelnetCodec)
#include "tst_telnetcodec.moc"
