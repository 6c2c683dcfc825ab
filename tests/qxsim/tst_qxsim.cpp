// SPDX-License-Identifier: GPL-3.0-or-later
#include "simprocess.h"

#include "device_link/telnetcodec.h"
#include "qxsim/commandsplitter.h"
#include "qxsim/simnode.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <fcntl.h>
#include <optional>

using namespace CommandTable;
using Item = CommandSplitter::Item;

namespace {

// Feeds bytes one per millisecond from startMs; returns what they complete.
QList<Item> feed(CommandSplitter &splitter, const QByteArray &bytes, qint64 startMs)
{
    QList<Item> items;
    for (qsizetype i = 0; i < bytes.size(); ++i)
        items += splitter.feed(bytes.at(i), startMs + i);
    return items;
}

// A compact view of items: "MNEMONIC(argument)" followed by the blanks that
// came with it, "!garbage", "=payload" or "~payload cut short".
QByteArrayList describe(const QList<Item> &items)
{
    QByteArrayList out;
    for (const Item &item : items)
        out << (item.kind != Item::Command ? "?!=~"[item.kind] + item.bytes
                                           : item.command->mnemonic + ('(' + item.argument + ')')
                                                 + item.bytes.mid(qsizetype(qstrlen(item.command->mnemonic))
                                                                  + item.argument.size()));
    return out;
}

QByteArray send(SimNode &node, int number, const QByteArray &argument = {})
{
    return node.handle(*CommandTable::find(number), argument);
}

// A shared line: every node hears the command; the replies in node order.
QByteArrayList send(QList<SimNode> &nodes, int number, const QByteArray &argument = {})
{
    QByteArrayList replies;
    for (SimNode &node : nodes)
        replies << send(node, number, argument);
    replies.removeAll(QByteArray());
    return replies;
}

// Sends commands (number, argument, number, argument, ..) in turn, to one
// node or a shared line.
template<typename Target, typename... More>
void play(Target &target, int number, const QByteArray &argument, More &&...more)
{
    send(target, number, argument);
    if constexpr (sizeof...(more) > 0)
        play(target, std::forward<More>(more)...);
}

QList<int> awakeIds(const QList<SimNode> &nodes)
{
    QList<int> ids;
    for (const SimNode &node : nodes)
        if (node.isAwake())
            ids << node.id();
    return ids;
}

// A logo's 64 lines of 32 bytes: all different, holding every byte value.
QByteArray logoLines()
{
    QByteArray wire;
    for (int i = 0; i < 2048; ++i)
        wire += static_cast<char>(i + i / 32);
    return wire;
}

constexpr int Timeout = 5000;

// A fresh node's settings; a one-logo model sends 'S' and no slot.
const QByteArray kSettings = QByteArray::fromHex("73 0000 63 5e 1e 00 3030 14 28 3031");
const QByteArray kSettingsModel1 = 'S' + kSettings.mid(1, 10);

// The controlling program's end of the line: qxsim's network listener, raw or
// telnet with RFC 2217, answering the negotiation on the way (the
// pty end, read and written, is what every integration test drives).
struct Client {
    explicit Client(SimProcess &sim)
    {
        const QUrl url(QString::fromLatin1(sim.readStdoutLine(Timeout).mid(7))); // "LISTEN url"
        if (url.scheme() == u"rfc2217")
            codec.emplace(TelnetCodec::Role::Client);
        socket.connectToHost(url.host(), quint16(url.port()));
        if (socket.waitForConnected(Timeout) && codec)
            socket.write(codec->start());
    }
    void write(const QByteArray &bytes)
    {
        socket.write(codec ? codec->takeReply() + TelnetCodec::encode(bytes) : bytes);
        socket.flush();
    }
    // The next count bytes of the line, or those that came in time.
    QByteArray read(qsizetype count)
    {
        for (const QDeadlineTimer deadline(Timeout);
             (got.size() < count || (codec && codec->settingsPending())) && !deadline.hasExpired();) {
            socket.waitForReadyRead(50);
            got += codec ? codec->decode(socket.readAll()) : socket.readAll();
            socket.write(codec ? codec->takeReply() : QByteArray());
        }
        QByteArray bytes = got.left(count);
        got.remove(0, bytes.size());
        return bytes;
    }
    QTcpSocket socket;
    std::optional<TelnetCodec> codec;
    QByteArray got;
};

} // namespace

// The device simulator: its command splitter and node model on their own,
// then qxsim itself through its network listeners and its pseudo-terminal.
class TestQxSim : public QObject
{
    Q_OBJECT
private slots:
    void splits_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArrayList>("expected");
        const QByteArray blanks(10, ' ');

        const auto row = [](const char *name, const QByteArray &bytes, const QByteArray &itemsJoinedByBar) {
            QTest::newRow(name) << bytes << itemsJoinedByBar.split('|');
        };
        row("fixed arguments with NULs", QByteArrayLiteral("AJ05\0\0\0AFR\0"),
            QByteArrayLiteral("AJ(05\0\0\0)|AFR(\0)"));
        row("argument bytes are no mnemonic", "AFRARS", "AFR(A)|!RS");
        row("open argument ends at two", "WK,00ANI,0AARS", "WK,(00)|ANI,(0A)|ARS()");
        row("empty open argument", "SPWK,", "SP()|WK,()");
        row("unfinished argument", "ARSAJ05", "ARS()|!AJ05");
        row("garbage is one item, then resync", QByteArrayLiteral("\xff\0xAQ!WAAT0"),
            QByteArrayLiteral("!\xff\0xAQ!WA|AT0()"));
        row("ATN, ATP with their blanks", "ATN" + blanks + "ATP" + blanks,
            "ATN()" + blanks + "|ATP()" + blanks);
        row("fewer blanks end at a non-blank or silence", "ATN   ATP", "ATN()   |ATP()");
        row("blanks beyond ten", "ATN" + blanks + "  ", "ATN()" + blanks + "|!  ");
    }

    void splits()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArrayList, expected);
        CommandSplitter splitter;
        QList<Item> items = feed(splitter, bytes, 0);
        items += splitter.checkSilence(bytes.size() + 100);
        QCOMPARE(describe(items), expected);
    }

    // An item carries the time of its last byte. Silence is seen by the clock, or
    // on the next byte when no check came in between. After ALD the logo lines
    // are one payload whatever they hold. Pauses far beyond a command's silence
    // do not end it; a long one, or the line closing, cuts it, and what follows
    // is read as commands again.
    void silenceAndTheLogoPayload()
    {
        CommandSplitter splitter;
        QVERIFY(feed(splitter, "WK,3", 100).isEmpty());
        QVERIFY(splitter.checkSilence(103 + CommandSplitter::SilenceMs - 1).isEmpty());
        const QList<Item> items = splitter.checkSilence(103 + CommandSplitter::SilenceMs);
        QVERIFY(describe(items) == QByteArrayList{"WK,(3)"} && items.constFirst().ms == 103);

        QVERIFY(feed(splitter, "AR", 200).isEmpty());
        QCOMPARE(describe(feed(splitter, "ANI,1", 250)), QByteArrayList{"!AR"});
        QCOMPARE(describe(feed(splitter, "ARS", 300)), (QByteArrayList{"ANI,(1)", "ARS()"}));

        const qint64 limit = CommandSplitter::PayloadSilenceMs;
        splitter = CommandSplitter();
        QCOMPARE(describe(feed(splitter, "ALD", 0)), QByteArrayList{"ALD()"});
        splitter.expectPayload(6);
        QVERIFY(feed(splitter, QByteArrayLiteral("AR\0"), 2 + limit - 1).isEmpty());
        QVERIFY(splitter.checkSilence(2 * limit).isEmpty());
        QCOMPARE(describe(feed(splitter, "S\xffZARS", 2 * limit)),
                 (QByteArrayList{QByteArrayLiteral("=AR\0S\xffZ"), "ARS()"}));

        QCOMPARE(describe(feed(splitter, "ALD", 2000)), QByteArrayList{"ALD()"});
        splitter.expectPayload(2048);
        QVERIFY(feed(splitter, "AL", 2003).isEmpty() && splitter.checkSilence(2004 + limit - 1).isEmpty());
        const QList<Item> cut = splitter.checkSilence(2004 + limit);
        QVERIFY(describe(cut) == QByteArrayList{"~AL"} && cut.constFirst().ms == 2004);
        QCOMPARE(describe(feed(splitter, "ARS", 3000)), QByteArrayList{"ARS()"});
        splitter.expectPayload(10); // and nothing comes
        QCOMPARE(describe(splitter.checkSilence(3002 + limit)), QByteArrayList{"~"});

        splitter.expectPayload(10);
        feed(splitter, QByteArrayLiteral("\0\0\0"), 3010);
        QCOMPARE(describe(splitter.flush()), QByteArrayList{QByteArrayLiteral("~\0\0\0")});
        QCOMPARE(describe(feed(splitter, "ARS", 3013)), QByteArrayList{"ARS()"});
    }

    // The values as the device keeps them. AFL b is kept as b - 1: the program
    // sends 100 - slider and shows 99 - m, so the slider stays where it was.
    void replies()
    {
        SimNode one(1, 1);
        play(one, MixLevel, "\x33", FadeRate, "\x31", HorizPosn, "9a", VertPosn, "37");
        send(one, ToggleTake);
        QCOMPARE(send(one, RetrieveSettings), QByteArray::fromHex("53 32 31 63 9a 37 01 3030 14 28"));

        // Out of range: kept at the limit, or refused.
        play(one, MixLevel, QByteArray(1, 0), FadeRate, "\xc8", IreLevel, "\x96", SetTimeOn, QByteArray(1, 0),
             SetTimeOff, "\xff", HorizPosn, "Z1", VertPosn, "-1", ChangeId, "00");
        QVERIFY(one.settingsReply() == QByteArray::fromHex("53 00 63 63 9a 37 01 3030 01 ff")
                && one.id() == 1);

        // A multi-logo node adds its slot; a slot or model it does not have is refused.
        SimNode four(1, 4);
        play(four, SelectLogo, QByteArrayLiteral("03\0\0\0"), SelectLogo, QByteArrayLiteral("05\0\0\0"),
             SetModel, "05");
        const QByteArray factory = kSettings.mid(1, 10);
        QCOMPARE(send(four, RetrieveSettings), 's' + factory + "03");
        // ARC: one line; the program reads the model after its first "QX".
        const QByteArray copyright = send(four, RetrieveCopyright);
        QVERIFY(copyright.startsWith("(C)") && copyright.endsWith("\r\n") && copyright.count('\n') == 1);
        QCOMPARE(copyright.indexOf("QX"), copyright.indexOf("QX04"));
        send(four, SetModel, "01");
        QCOMPARE(four.settingsReply(), 'S' + factory);
    }

    void sleepAndWakeByAddress()
    {
        QList<SimNode> nodes{SimNode(1, 1), SimNode(2, 4), SimNode(3, 4), SimNode(10, 7)};
        // Asleep, a node ignores all but a wake-up that names it or all nodes.
        send(nodes, Sleep);
        const QByteArray asleep = nodes.at(2).describe();
        for (const CommandInfo &command : CommandTable::all())
            if (command.number != Wakeup)
                QVERIFY(send(nodes, command.number, "03").isEmpty());
        QCOMPARE(nodes.at(2).describe(), asleep);
        play(nodes, Wakeup, "3", Wakeup, "0a"); // unpadded, lower case (a full ID: tst_faults)
        QCOMPARE(awakeIds(nodes), (QList<int>{3, 10}));

        // A renumbered node answers to its new ID only; an empty ID names none.
        play(nodes, Sleep, "", Wakeup, "03", ChangeId, "FF", Sleep, "", Wakeup, "03", Wakeup, "");
        QVERIFY(awakeIds(nodes).isEmpty());
        send(nodes, Wakeup, "00");
        QCOMPARE(awakeIds(nodes), (QList<int>{1, 2, 255, 10}));
    }

    // ALD, then 64 lines of 32 bytes (where they land: the RAM dump in fastSharedLine).
    // ASI stores them in the selected slot (the round trip through the window: tst_faults).
    void logoDownloadStoreAndUpload()
    {
        const QByteArray wire = logoLines();
        const QByteArray zero(2048, '\0');
        SimNode node(2, 4);

        // Lines without ALD, after another command, or short are not taken.
        node.takeLogoLines(wire);
        play(node, SendLogo, "", RetrieveSettings, "");
        node.takeLogoLines(wire);
        send(node, SendLogo);
        node.takeLogoLines(wire.left(2047));
        QCOMPARE(node.logoRam(), zero);

        send(node, SendLogo);
        node.takeLogoLines(wire);

        play(node, StandardPal, "", SelectLogo, QByteArrayLiteral("03\0\0\0"), SaveLogo, "");
        QVERIFY(node.storedLogo(3) == node.logoRam() && node.storedLogo(1) == zero);

        // A factory reset clears settings and logos, but keeps ID and model, and
        // answers with the emptied logo as a stream.
        QCOMPARE(send(node, FactoryReset), QByteArrayLiteral("\x00\x01SD") + QByteArray(2048, '\xFF'));
        QVERIFY(node.storedLogo(3) == zero && node.describe() == SimNode(2, 4).describe());
    }

    // A raw network client at the line's pace.
    void answersAtLinePace()
    {
        QTemporaryDir portsDir;
        SimProcess sim(portsDir.path(), 7, {QStringLiteral("--listen"), QStringLiteral("0")});
        QVERIFY(sim.start());
        Client client(sim);

        // Two commands in one write, at 9600 baud: ARC is taken 3 byte times after ARS.
        client.write("ARSARC");
        QCOMPARE(client.read(13), kSettings);
        QVERIFY(client.read(45).startsWith("(C) ") && sim.received().at(1).ms - sim.received().at(0).ms >= 3);

        // TAKE on at the front panel shows in the next reply only; a node
        // without power hears and answers nothing, and comes back with TAKE
        // off (the status byte's bit 0).
        int polls = sim.countReceived("ARS");
        const auto takeAfter = [&](const char *control) {
            sim.control(control);
            (void)sim.waitForEvent(control, Timeout);
            client.write("ARS");
            (void)sim.waitForReceived("ARS", Timeout, ++polls);
        };
        takeAfter("take on");
        QCOMPARE(client.read(13).at(6) & 1, 1);
        takeAfter("power off");
        takeAfter("power on");
        QCOMPARE(client.read(13).at(6) & 1, 0);

        // Hung up or stopped, the link goes (the line dropping and coming back: tst_faults).
        sim.control("hangup");
        QVERIFY(sim.waitForEvent("hangup", Timeout) && !QFileInfo(sim.linkPath()).isSymLink() && sim.stop());
        QVERIFY(!QFileInfo(sim.linkPath()).isSymLink());
    }

    // Two nodes on one unpaced line, through telnet with RFC 2217 (0xFF
    // doubled both ways): the line settings, addressing, a logo download, the
    // controls.
    void fastSharedLine()
    {
        QTemporaryDir dir;
        const QString linkPath = dir.filePath(QStringLiteral("com12"));
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), linkPath)); // a stale link is replaced
        SimProcess sim(
            dir.path(), 12,
            QStringLiteral("--fast --node 1:1 --node 2:4 --listen-rfc2217 127.0.0.1:0").split(u' '));
        QVERIFY(sim.start());
        QCOMPARE(QFile::symLinkTarget(linkPath), sim.ptyPath());
        Client client(sim);
        client.write("ARS");
        QCOMPARE(client.read(24), kSettingsModel1 + kSettings); // in node order
        QCOMPARE(client.codec->takeWarnings(), QStringList());
        QVERIFY(sim.waitForEvent("rfc2217 settings 9600 8 1 1", Timeout));

        // Address node 2 alone from the pseudo-terminal (its reply goes to the
        // network client too); the noise before it, NULs and 0xFF, is logged as
        // one garbage entry (a backslash escaped too, or the log would read
        // "\x41" as 'A').
        QFile pty;
        QVERIFY(pty.open(::open(QFile::encodeName(linkPath).constData(), O_WRONLY | O_NOCTTY),
                         QIODevice::WriteOnly | QIODevice::Unbuffered, QFile::AutoCloseHandle));
        QCOMPARE(pty.write(QByteArrayLiteral("\xff\0\\x41SPWK,02AJ03\0\0\0ARS")), 23);
        QCOMPARE(client.read(13), kSettings.left(11) + "03");
        QFile log(sim.logPath());
        QVERIFY(log.open(QIODevice::ReadOnly) && log.readAll().contains("\t!\t\\xFF\\x00\\x5Cx41\n"));

        // A logo: one rx entry, every byte through the log's escaping.
        const QByteArray wire = logoLines();
        client.write("ALD" + wire);
        QVERIFY(sim.waitForReceived(wire, Timeout));

        // The RAM as a 256 x 64 bitmap file, bottom row first: the lines in field
        // order, rows 62, 60, .., 0, then 63, 61, .., 1.
        const QByteArray fileName = QFile::encodeName(dir.filePath(QStringLiteral("ram.bmp")));
        sim.control("dumplogo " + fileName + " ram 2");
        QCOMPARE(sim.readStdoutLine(Timeout), "DUMPED " + fileName);
        QFile bitmap(QFile::decodeName(fileName));
        const QByteArray written = bitmap.open(QIODevice::ReadOnly) ? bitmap.readAll() : QByteArray();
        QCOMPARE(written.size(), 2110);
        QCOMPARE(written.left(62),
                 QByteArray::fromHex("424D 3E080000 00000000 3E000000"      // file header
                                     "28000000 00010000 40000000 0100 0100" // 256 x 64, 1 bit
                                     "00000000 00000000 00000000 00000000 00000000 00000000"
                                     "00000000 FFFFFF00")); // black, white
        QVERIFY(written.mid(62, 32) == wire.mid(31 * 32, 32) && written.right(32) == wire.mid(32 * 32, 32));

        // Noise before a logo stream (of the empty slot, 0xFF: the slot, not the RAM) holds no 'S'.
        sim.control("noise-before 300");
        QVERIFY(sim.waitForEvent("noise-before 300", Timeout));
        client.write("ARM");
        const QByteArray noisy = client.read(300 + 2052);
        QVERIFY(!noisy.left(300).contains('S'));
        QCOMPARE(noisy.mid(300), QByteArrayLiteral("\x00\x01SD") + QByteArray(2048, '\xff'));

        sim.control("short 5");
        QVERIFY(sim.waitForEvent("short 5", Timeout));
        client.write("WK,00ARS");
        QCOMPARE(client.read(10), kSettingsModel1.left(5) + kSettings.left(5));
    }
};

QUILLON_TEST_GUILESS_MAIN(TestQxSim)
#include "tst_qxsim.moc"
