// SPDX-License-Identifier: GPL-3.0-or-later
#include "simprocess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr int Timeout = 5000;

// A fresh node's settings; a one-logo model sends 'S' and no slot.
const QByteArray kSettings = QByteArray::fromHex("73 0000 63 5e 1e 00 3030 14 28 3031");
const QByteArray kSettingsModel1 = 'S' + kSettings.mid(1, 10);

// The controlling program's side of the line, with plain POSIX calls.
struct Port {
    explicit Port(const QString &path)
        : fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK))
    {
    }
    ~Port() { ::close(fd); }
    bool write(const QByteArray &bytes)
    {
        return ::write(fd, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size();
    }
    // Reads until count bytes came or the time is up.
    QByteArray read(qsizetype count, int timeoutMs = Timeout)
    {
        QByteArray bytes(count, '\0');
        qsizetype got = 0;
        pollfd descriptor{fd, POLLIN, 0};
        for (const QDeadlineTimer deadline(timeoutMs); got < count && !deadline.hasExpired();) {
            if (::poll(&descriptor, 1, 50) <= 0)
                continue;
            const ssize_t n = ::read(fd, bytes.data() + got, static_cast<size_t>(count - got));
            if (n <= 0)
                break;
            got += n;
        }
        return bytes.left(got);
    }
    int fd;
};

// The traffic log as others read it.
QByteArray logText(const SimProcess &sim)
{
    QFile log(sim.logPath());
    return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
}

} // namespace

class TestQxSim : public QObject
{
    Q_OBJECT
private slots:
    void answersAtLinePace()
    {
        QTemporaryDir portsDir;
        SimProcess sim(portsDir.path(), 7);
        QVERIFY(sim.start());
        Port port(sim.linkPath());

        // Two commands in one write, at 9600 baud: ARC is taken 3 byte times after ARS.
        QVERIFY(port.write("ARSARC"));
        QCOMPARE(port.read(13), kSettings);
        QVERIFY(port.read(45).startsWith("(C) "));
        const QList<SimProcess::Entry> rx = sim.received();
        QVERIFY(rx.at(1).ms - rx.at(0).ms >= 3);

        // Hung up, the line drops and the link goes (coming back: tst_endtoend).
        sim.control("hangup");
        QVERIFY(sim.waitForEvent("hangup", Timeout));
        pollfd hungUp{port.fd, POLLIN, 0};
        QVERIFY(::poll(&hungUp, 1, 0) == 1 && (hungUp.revents & POLLHUP));
        QVERIFY(!QFileInfo(sim.linkPath()).isSymLink());
        sim.control("up");
        QVERIFY(sim.waitForEvent("up", Timeout));
        QVERIFY(sim.stop());
        QVERIFY(!QFileInfo(sim.linkPath()).isSymLink());
    }

    // Two nodes on one unpaced line: addressing, a logo round trip, the controls.
    void fastSharedLine()
    {
        QTemporaryDir dir;
        const QString linkPath = dir.filePath(QStringLiteral("com12"));
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), linkPath)); // a stale link is replaced
        SimProcess sim(dir.path(), 12,
                       {QStringLiteral("--fast"), QStringLiteral("--node"), QStringLiteral("1:1"),
                        QStringLiteral("--node"), QStringLiteral("2:4")});
        QVERIFY(sim.start());
        QCOMPARE(QFile::symLinkTarget(linkPath), sim.ptyPath());
        Port port(linkPath);
        QVERIFY(port.write("ARS"));
        QCOMPARE(port.read(24), kSettingsModel1 + kSettings); // in node order

        // Address node 2 alone; the noise before it is logged as one garbage entry
        // (a backslash escaped too, or the log would read "\x41" as 'A').
        QVERIFY(port.write(QByteArrayLiteral("\xff\0\\x41SPWK,02AJ03\0\0\0ARS")));
        QCOMPARE(port.read(13), kSettings.left(11) + "03");
        QVERIFY(logText(sim).contains("\t!\t\\xFF\\x00\\x5Cx41\n"));
        sim.control("dump");
        QVERIFY(sim.readStdoutLine(Timeout).startsWith("NODE id=1 model=1 awake=0 "));
        QCOMPARE(
            sim.readStdoutLine(Timeout),
            "NODE id=2 model=4 awake=1 mix=0 fade=0 intensity=99 h=94 v=30 status=0 on=20 interval=40 slot=3 "
            "std=NTSC saves=0 ram=DE5C logo=DE5C");

        // A logo in 64 lines that all differ and hold every byte value, one write each.
        QByteArray wire;
        for (int i = 0; i < 2048; ++i)
            wire += static_cast<char>(i + i / 32);
        QByteArray stream = wire;
        for (char &byte : stream)
            byte = static_cast<char>(~byte);
        stream.prepend(QByteArrayLiteral("\x00\x01SD"));
        QVERIFY(port.write("ALD"));
        for (qsizetype line = 0; line < 64; ++line)
            QVERIFY(port.write(wire.mid(line * 32, 32)));
        QVERIFY(sim.waitForReceived(wire, Timeout)); // one rx entry, every byte through the log's escaping

        // The RAM as a 256 x 64 bitmap file: bytes as stored, bottom row (line 31) first.
        const QByteArray fileName = QFile::encodeName(dir.filePath(QStringLiteral("ram.bmp")));
        sim.control("dumplogo " + fileName + " ram 2");
        QCOMPARE(sim.readStdoutLine(Timeout), "DUMPED " + fileName);
        QFile bitmap(QFile::decodeName(fileName));
        QVERIFY(bitmap.open(QIODevice::ReadOnly));
        const QByteArray written = bitmap.readAll();
        QCOMPARE(written.size(), 2110);
        QCOMPARE(written.left(62),
                 QByteArray::fromHex("424D 3E080000 00000000 3E000000"      // file header
                                     "28000000 00010000 40000000 0100 0100" // 256 x 64, 1 bit
                                     "00000000 00000000 00000000 00000000 00000000 00000000"
                                     "00000000 FFFFFF00")); // black, white
        QCOMPARE(written.mid(62, 32), wire.mid(31 * 32, 32));
        QCOMPARE(written.right(32), wire.mid(32 * 32, 32));

        // Lines cut short leave the RAM alone and commands are understood again;
        // stored and asked back after noise, the logo comes inverted behind 00 01 "SD".
        QVERIFY(port.write("ALD" + wire.left(100)));
        QVERIFY(sim.waitForEvent("payload cut 100", Timeout));
        sim.control("noise-before 300");
        QVERIFY(sim.waitForEvent("noise-before 300", Timeout));
        QVERIFY(port.write("ASIARM"));
        const QByteArray noisy = port.read(300 + 2052);
        QVERIFY(!noisy.left(300).contains('S'));
        QCOMPARE(noisy.mid(300), stream);

        sim.control("short 5");
        QVERIFY(sim.waitForEvent("short 5", Timeout));
        QVERIFY(port.write("WK,00ARS"));
        QCOMPARE(port.read(10), kSettingsModel1.left(5) + kSettings.left(5));
    }
};

QUILLON_TEST_GUILESS_MAIN(TestQxSim)
#include "tst_qxsim.moc"
