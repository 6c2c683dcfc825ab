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

} // namespace

class TestTelnetCodec : public QObject
{
    Q_OBJECT
private slots:
    // The client after start() against what a server sends (in pieces: fuzz_telnet).
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
        QTest::newRow("WONT, then DONT: one warning")
            << cmd(T::Wont, Com) + "x" + cmd(T::Dont, Com) << QByteArray("x") << QByteArray()
            << QStringList{refused} << false;
        QTest::newRow("other values, 0xFF inside")
            << agreed + sub(101, b({0, 0, 0x4b, 0})) + sub(102, b({8, 8})) + sub(103, b({3}))
                   + sub(104, b({T::Iac, T::Iac}))
            << QByteArray() << kSettings
            << QStringList{QStringLiteral("The device server set the baud rate to 19200 instead of 9600."),
                           QStringLiteral("The device server answered the data bits setting with 2 bytes "
                                          "instead of 1."),
                           QStringLiteral("The device server set the parity to even instead of none."),
                           QStringLiteral("The device server set the stop bits to 255 instead of 1.")}
            << false;
        QTest::newRow("SGA agreed, the rest refused, answers not answered")
            << cmd(T::Will, Sga) + cmd(T::Do, Sga) + cmd(T::Do, 24) + cmd(T::Will, 1) + cmd(T::Will, Sga)
                   + cmd(T::Do, T::Binary) + cmd(T::Wont, 5) + cmd(T::Dont, 6)
            << QByteArray() << cmd(T::Do, Sga) + cmd(T::Will, Sga) + cmd(T::Wont, 24) + cmd(T::Dont, 1)
            << QStringList() << true;
        // CR NUL until the server sends BINARY; two-byte commands, IAC IAC, an SB
        // cut short by a command, huge and unknown SBs.
        QTest::newRow("commands among the data")
            << QByteArray("\r\0\r\r\0", 5) + cmd(T::Will, T::Binary) + QByteArray("\r\0", 2) + "a"
                   + b({T::Iac, Nop}) + "b" + b({T::Iac, Ga, T::Iac, T::Se, T::Iac, T::Iac, T::Iac, 'c'})
                   + b({T::Iac, T::Sb, Com, 101, 0}) + cmd(T::Will, Sga) + "d"
                   + sub(101, QByteArray(100, 'x')) + "e" + b({T::Iac, T::Sb, 24, 1, T::Iac, T::Se}) + "f"
            << QByteArray("\r\r\r\r\0", 5) + "ab" + b({T::Iac}) + "cdef" << cmd(T::Do, Sga) << QStringList()
            << true;
    }

    void client()
    {
        QFETCH(QByteArray, in);
        T codec(T::Role::Client);
        codec.start();
        QTEST(codec.decode(in), "data");
        QTEST(codec.takeReply(), "reply");
        QTEST(codec.takeWarnings(), "warnings");
        QTEST(codec.settingsPending(), "pending");
    }

    // The server records what is asked and answers with what it set; 0 asks.
    void server_data()
    {
        QTest::addColumn<QByteArray>("in");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QList<int>>("requested");
        const QByteArray baud19200 = b({0, 0, 0x4b, 0});
        QTest::newRow("BINARY agreed, asked and set")
            << cmd(T::Will, T::Binary) + cmd(T::Do, T::Binary) + cmd(T::Will, Com) + sub(1, baud19200)
                   + sub(3, b({3}))
            << cmd(T::Do, T::Binary) + cmd(T::Will, T::Binary) + cmd(T::Do, Com) + sub(101, baud19200)
                   + sub(103, b({3}))
            << QList<int>{19200, 0, 3, 0};
        QTest::newRow("0 asks the current; no COM-PORT-OPTION of its own, short value ignored")
            << sub(1, b({0, 0, 0, 0})) + sub(2, b({0})) + sub(2, b({7})) + sub(2, b({0})) + cmd(T::Do, Com)
                   + sub(1, b({1}))
            << sub(101, kBaud) + sub(102, b({8})) + sub(102, b({7})) + sub(102, b({7})) + cmd(T::Wont, Com)
            << QList<int>{0, 7, 0, 0};
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
};

QUILLON_TEST_APPLESS_MAIN(TestTelnetCodec)
#include "tst_telnetcodec.moc"
