#include "simprocess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr int Timeout = 5000;

const QByteArray kFactorySettings = QByteArrayLiteral("s\x00\x00\x63\x5e\x1e\x00\x30\x30\x14\x28"
                                                      "01");
const QByteArray kFactorySettingsModel1 = QByteArrayLiteral("S\x00\x00\x63\x5e\x1e\x00\x30\x30\x14\x28");

// The controlling program's side of the line, with plain POSIX calls.
class Port
{
public:
    explicit Port(const QString &path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK))
    {
    }
    ~Port()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isOpen() const { return m_fd >= 0; }
    bool write(const QByteArray &bytes)
    {
        return ::write(m_fd, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size();
    }
    // Reads until count bytes came or the time is up.
    QByteArray read(qsizetype count, int timeoutMs = Timeout)
    {
        QByteArray bytes;
        const QDeadlineTimer deadline(timeoutMs);
        while (bytes.size() < count && !deadline.hasExpired()) {
            pollfd descriptor { m_fd, POLLIN, 0 };
            if (::poll(&descriptor, 1, static_cast<int>(qMin<qint64>(deadline.remainingTime(), 50))) <= 0)
                continue;
            char buffer[256];
            const ssize_t got
                = ::read(m_fd, buffer, static_cast<size_t>(qMin<qsizetype>(count - bytes.size(), 256)));
            if (got <= 0)
                break;
            bytes.append(buffer, got);
        }
        return bytes;
    }
    bool isHungUp() const
    {
        pollfd descriptor { m_fd, POLLIN, 0 };
        return ::poll(&descriptor, 1, 0) == 1 && (descriptor.revents & POLLHUP);
    }

private:
    int m_fd;
};

QList<SimProcess::Entry> ofKind(const QList<SimProcess::Entry> &entries, const QByteArray &kind)
{
    QList<SimProcess::Entry> result;
    for (const SimProcess::Entry &entry : entries) {
        if (entry.kind == kind)
            result.append(entry);
    }
    return result;
}

} // namespace

class TestQxSim : public QObject
{
    Q_OBJECT
private slots:
    void answersAtLinePace();
    void fastLineWithTwoNodes();
    void logoDownloadStoreAndUpload();
};

void TestQxSim::answersAtLinePace()
{
    QTemporaryDir portsDir;
    SimProcess sim(portsDir.path(), 7);
    QVERIFY(sim.start());
    QCOMPARE(sim.linkPath(), QDir(portsDir.path()).filePath(QStringLiteral("com7")));
    QCOMPARE(QFile::symLinkTarget(sim.linkPath()), sim.ptyPath());

    auto port = std::make_unique<Port>(sim.linkPath());
    QVERIFY(port->isOpen());
    QVERIFY(sim.waitForEvent("open", Timeout));
    QVERIFY(port->write("ARS"));
    QCOMPARE(port->read(13), kFactorySettings);
    QVERIFY(sim.waitForReceived("ARS", Timeout));
    QCOMPARE(ofKind(sim.entries(), "tx").constFirst().bytes, kFactorySettings);

    // One write of two commands: taken in at 9600 baud, answered after the
    // latency, and the second reply waits for the first to be on the line.
    // 58 bytes at 9600 baud cannot arrive in less than 57 byte times (59 ms).
    QElapsedTimer clock;
    clock.start();
    QVERIFY(port->write("ARSARC"));
    const QByteArray replies = port->read(13 + 45);
    QVERIFY(clock.elapsed() >= 57);
    QCOMPARE(replies.left(13), kFactorySettings);
    QVERIFY(replies.mid(13).startsWith("(C) "));
    QVERIFY(sim.waitForReceived("ARC", Timeout));
    const QList<SimProcess::Entry> rx = sim.received();
    const QList<SimProcess::Entry> tx = ofKind(sim.entries(), "tx");
    QCOMPARE(rx.size(), 3);
    QCOMPARE(tx.size(), 3);
    QVERIFY2(rx.at(2).ms - rx.at(1).ms >= 3, "three bytes take 3.1 ms at 9600 baud");
    QVERIFY(tx.at(1).ms - rx.at(1).ms >= 3);
    QVERIFY2(tx.at(2).ms - tx.at(1).ms >= 13, "thirteen bytes take 13.5 ms at 9600 baud");

    // The standard's blanks come as a second write and still belong to ATN.
    QVERIFY(port->write("ATN"));
    QVERIFY(port->write(QByteArray(10, ' ')));
    QVERIFY(sim.waitForReceived("ATN", Timeout));
    QCOMPARE(sim.received().constLast().bytes, "ATN" + QByteArray(10, ' '));

    // Silent: the request is logged but not answered.
    sim.control("silent on");
    QVERIFY(sim.waitForEvent("silent on", Timeout));
    QVERIFY(port->write("ARS"));
    QVERIFY(sim.waitForReceived("ARS", Timeout, 3));
    sim.control("silent off");
    QVERIFY(sim.waitForEvent("silent off", Timeout));
    QVERIFY(port->write("ARS"));
    QCOMPARE(port->read(14, 1000), kFactorySettings); // the silenced request left nothing behind
    QCOMPARE(ofKind(sim.entries(), "tx").size(), 4);

    // Hang-up and back after 300 ms on a new pseudo-terminal.
    const QString oldPty = sim.ptyPath();
    sim.control("hangup 300");
    QVERIFY(sim.waitForEvent("hangup", Timeout));
    QVERIFY(port->isHungUp());
    QVERIFY(sim.waitForEvent("up", Timeout));
    QVERIFY(sim.ptyPath() != oldPty); // the old one is still held open here
    QCOMPARE(QFile::symLinkTarget(sim.linkPath()), sim.ptyPath());
    port = std::make_unique<Port>(sim.linkPath());
    QVERIFY(port->write("ARS"));
    QCOMPARE(port->read(13), kFactorySettings);
    port.reset();
    QVERIFY(sim.waitForEvent("close", Timeout));

    QVERIFY(sim.stop());
    QVERIFY(!QFileInfo(sim.linkPath()).isSymLink());
}

void TestQxSim::fastLineWithTwoNodes()
{
    QTemporaryDir portsDir;
    const QString linkPath = QDir(portsDir.path()).filePath(QStringLiteral("com12"));
    QVERIFY(QFile::link(QStringLiteral("/dev/null"), linkPath)); // a stale link is replaced
    SimProcess sim(portsDir.path(), 12,
        { QStringLiteral("--fast"), QStringLiteral("--node"), QStringLiteral("1:1"), QStringLiteral("--node"),
            QStringLiteral("2:4") });
    QVERIFY(sim.start());
    QCOMPARE(QFile::symLinkTarget(linkPath), sim.ptyPath());

    Port port(linkPath);
    QVERIFY(port.isOpen());
    QVERIFY(port.write("ARS"));
    QCOMPARE(port.read(24), kFactorySettingsModel1 + kFactorySettings); // in node order

    // Address node 2 alone; noise before it is reported as garbage.
    QVERIFY(port.write(QByteArrayLiteral("\xff\0zzSPWK,02AJ03\0\0\0ARS")));
    QCOMPARE(port.read(13), kFactorySettings.left(11) + "03");
    QVERIFY(sim.waitForReceived("ARS", Timeout, 2));
    const QList<SimProcess::Entry> garbage = ofKind(sim.entries(), "!");
    QCOMPARE(garbage.size(), 1);
    QCOMPARE(garbage.constFirst().bytes, QByteArrayLiteral("\xff\0zz"));

    sim.control("short 5");
    QVERIFY(sim.waitForEvent("short 5", Timeout));
    QVERIFY(port.write("WK,00ARS"));
    QCOMPARE(port.read(10), kFactorySettingsModel1.left(5) + kFactorySettings.left(5));
    sim.control("short off");

    sim.control("noise 40");
    const QByteArray noise = port.read(40);
    QCOMPARE(noise.size(), 40);
    QVERIFY(!noise.contains('S') && !noise.contains('s') && !noise.contains('('));
    sim.control("send 530102");
    QCOMPARE(port.read(3), QByteArray("S\x01\x02"));

    sim.control("dump");
    QVERIFY(sim.readStdoutLine(Timeout).startsWith("NODE id=1 model=1 awake=1 "));
    QVERIFY(sim.readStdoutLine(Timeout).startsWith("NODE id=2 model=4 awake=1 mix=0 fade=0 intensity=99 "));

    // Down until told to come back.
    sim.control("hangup");
    QVERIFY(sim.waitForEvent("hangup", Timeout));
    QVERIFY(!QFileInfo(linkPath).isSymLink());
    QVERIFY(port.isHungUp());
    sim.control("up");
    QVERIFY(sim.waitForEvent("up", Timeout));
    Port again(linkPath);
    QVERIFY(again.write("ARC"));
    QVERIFY(again.read(90).startsWith("(C) 2026 Logo Generator Simulator QX01 V1.0\r\n(C)"));
}

void TestQxSim::logoDownloadStoreAndUpload()
{
    QTemporaryDir dir;
    SimProcess sim(dir.path(), 3, { QStringLiteral("--fast") });
    QVERIFY(sim.start());
    Port port(sim.linkPath());
    QVERIFY(port.isOpen());

    // Rows that all differ; the download sends rows 62, 60, .., 0, then 63, .., 1.
    QByteArray rows;
    for (int i = 0; i < 2048; ++i)
        rows += static_cast<char>(i / 32 + (i % 32) * 8);
    QByteArray wire;
    for (int row = 62; row >= 0; row -= 2)
        wire += rows.mid(row * 32, 32);
    for (int row = 63; row >= 1; row -= 2)
        wire += rows.mid(row * 32, 32);
    QByteArray stream = wire;
    for (char &byte : stream)
        byte = static_cast<char>(~byte);
    stream.prepend(QByteArrayLiteral("\x00\x01SD"));

    QVERIFY(port.write("ALD"));
    for (qsizetype line = 0; line < 64; ++line)
        QVERIFY(port.write(wire.mid(line * 32, 32)));
    QVERIFY(port.write(QByteArrayLiteral("AJ02\0\0\0ASIARM")));
    QCOMPARE(port.read(2052), stream);
    QVERIFY(sim.waitForReceived("ARM", Timeout));
    QCOMPARE(sim.received().at(1).bytes, wire); // the lines are one rx entry

    const QByteArray fileName = QFile::encodeName(dir.filePath(QStringLiteral("ram.bmp")));
    sim.control("dumplogo " + fileName);
    QCOMPARE(sim.readStdoutLine(Timeout), "DUMPED " + fileName);
    QFile bitmap(QFile::decodeName(fileName));
    QVERIFY(bitmap.open(QIODevice::ReadOnly));
    const QByteArray written = bitmap.readAll();
    QCOMPARE(written.size(), 2110);
    QCOMPARE(written.mid(62), rows);

    // Lines cut short leave the RAM alone; commands are understood again.
    sim.control("dump");
    const QByteArray before = sim.readStdoutLine(Timeout);
    QVERIFY(port.write("ALD" + wire.left(100)));
    QVERIFY(sim.waitForEvent("payload cut 100", Timeout));
    QVERIFY(port.write("ARS"));
    QCOMPARE(port.read(13), kFactorySettings.left(11) + "02");
    sim.control("dump");
    QCOMPARE(sim.readStdoutLine(Timeout), before);

    sim.control("noise-before 300");
    QVERIFY(port.write("ARM"));
    const QByteArray noisy = port.read(300 + 2052);
    QVERIFY(!noisy.left(300).contains('S'));
    QCOMPARE(noisy.mid(300), stream);
}

QTEST_GUILESS_MAIN(TestQxSim)
#include "tst_qxsim.moc"
