#include "simulator/commandsplitter.h"

#include <QTest>

#include <cstring>

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

// Feeds bytes from time 0, then lets the line fall silent.
QList<Item> split(const QByteArray &bytes)
{
    CommandSplitter splitter;
    QList<Item> items = feed(splitter, bytes, 0);
    items += splitter.checkSilence(bytes.size() + 100);
    return items;
}

// A compact view of items for comparison: "MNEMONIC(argument)" or "!garbage".
QByteArrayList describe(const QList<Item> &items)
{
    QByteArrayList out;
    for (const Item &item : items) {
        switch (item.kind) {
        case Item::Command:
            out << QByteArray(item.command->mnemonic) + '(' + item.argument + ')';
            break;
        case Item::Garbage:
            out << '!' + item.bytes;
            break;
        case Item::Payload:
            out << '=' + item.bytes;
            break;
        case Item::PayloadCut:
            out << '~' + item.bytes;
            break;
        }
    }
    return out;
}

} // namespace

class TestCommandSplitter : public QObject
{
    Q_OBJECT
private slots:
    void splits_data();
    void splits();
    void openArgumentEndsAtSilence();
    void standardBlanksBelongToTheCommand();
    void garbageIsOneItemAndResynchronises();
    void silenceSeenOnTheNextByte();
    void payload();
    void payloadCutBySilenceOrClose();
    void noMnemonicBeginsAnother();
};

void TestCommandSplitter::splits_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArrayList>("expected");

    QTest::newRow("back to back") << QByteArray("ARSARCAT1") << QByteArrayList { "ARS()", "ARC()", "AT1()" };
    QTest::newRow("slot with NULs") << QByteArrayLiteral("AJ05\0\0\0ARS")
                                    << QByteArrayList { QByteArrayLiteral("AJ(05\0\0\0)"), "ARS()" };
    QTest::newRow("NUL argument") << QByteArrayLiteral(
        "AFR\0AIR\0") << QByteArrayList { QByteArrayLiteral("AFR(\0)"), QByteArrayLiteral("AIR(\0)") };
    QTest::newRow("argument bytes are not mnemonics")
        << QByteArray("AFRARS") << QByteArrayList { "AFR(A)", "!RS" };
    QTest::newRow("hex position") << QByteArray("AHP5FAVP37") << QByteArrayList { "AHP(5F)", "AVP(37)" };
    QTest::newRow("wake all") << QByteArray("WK,00ARS") << QByteArrayList { "WK,(00)", "ARS()" };
    QTest::newRow("open argument ends at two")
        << QByteArray("ANI,0AARS") << QByteArrayList { "ANI,(0A)", "ARS()" };
    QTest::newRow("unpadded wake at the end") << QByteArray("WK,3") << QByteArrayList { "WK,(3)" };
    QTest::newRow("empty wake at the end") << QByteArray("SPWK,") << QByteArrayList { "SP()", "WK,()" };
    QTest::newRow("unfinished argument") << QByteArray("ARSAJ05") << QByteArrayList { "ARS()", "!AJ05" };
    QTest::newRow("partial mnemonic") << QByteArray("ARSAR") << QByteArrayList { "ARS()", "!AR" };
}

void TestCommandSplitter::splits()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArrayList, expected);
    QCOMPARE(describe(split(bytes)), expected);
}

void TestCommandSplitter::openArgumentEndsAtSilence()
{
    CommandSplitter splitter;
    QVERIFY(feed(splitter, "WK,3", 100).isEmpty());
    QVERIFY(splitter.checkSilence(103 + CommandSplitter::SilenceMs - 1).isEmpty());
    const QList<Item> items = splitter.checkSilence(103 + CommandSplitter::SilenceMs);
    QCOMPARE(describe(items), QByteArrayList { "WK,(3)" });
    QCOMPARE(items.constFirst().bytes, QByteArray("WK,3"));
    QCOMPARE(items.constFirst().ms, 103); // its last byte, not the moment of silence
    QVERIFY(splitter.isIdle());
}

void TestCommandSplitter::standardBlanksBelongToTheCommand()
{
    const QByteArray blanks(10, ' ');
    const QList<Item> full = split("ATN" + blanks + "ATP" + blanks);
    QCOMPARE(describe(full), (QByteArrayList { "ATN()", "ATP()" }));
    QCOMPARE(full.constFirst().bytes, "ATN" + blanks);
    QCOMPARE(full.constFirst().ms, 12);

    // The blanks come as a second write; fewer of them end at a non-blank or at
    // silence, and blanks beyond ten are not the command's.
    QCOMPARE(describe(split("ATN   ARS")), (QByteArrayList { "ATN()", "ARS()" }));
    QCOMPARE(split("ATN   ARS").constFirst().bytes, QByteArray("ATN   "));
    QCOMPARE(describe(split("ATP")), QByteArrayList { "ATP()" });
    QCOMPARE(describe(split("ATN" + blanks + "  ")), (QByteArrayList { "ATN()", "!  " }));
}

void TestCommandSplitter::garbageIsOneItemAndResynchronises()
{
    const QList<Item> items = split(QByteArrayLiteral("\xff\0xAQ!WAAT0"));
    QCOMPARE(describe(items), (QByteArrayList { QByteArrayLiteral("!\xff\0xAQ!WA"), "AT0()" }));
    QCOMPARE(items.at(0).ms, 7); // the last garbage byte
    QCOMPARE(items.at(1).ms, 10);

    // Noise alone is one item, however long it goes on, until the line is quiet.
    const QByteArray noise(300, '\x8e');
    QCOMPARE(describe(split(noise)), QByteArrayList { '!' + noise });
}

void TestCommandSplitter::silenceSeenOnTheNextByte()
{
    // Without a silence check in between, a late byte still ends what was pending.
    CommandSplitter splitter;
    QVERIFY(feed(splitter, "AR", 0).isEmpty());
    QCOMPARE(describe(feed(splitter, "ARS", 50)), (QByteArrayList { "!AR", "ARS()" }));
    QVERIFY(feed(splitter, "WK,1", 100).isEmpty());
    QCOMPARE(describe(feed(splitter, "ARS", 200)), (QByteArrayList { "WK,(1)", "ARS()" }));
}

void TestCommandSplitter::payload()
{
    CommandSplitter splitter;
    QCOMPARE(describe(feed(splitter, "ALD", 0)), QByteArrayList { "ALD()" });
    splitter.expectPayload(4);
    QCOMPARE(describe(feed(splitter, QByteArrayLiteral("AR\0S"), 3)),
        QByteArrayList { QByteArrayLiteral("=AR\0S") });
    QCOMPARE(describe(feed(splitter, "ARS", 7)), QByteArrayList { "ARS()" });
}

void TestCommandSplitter::payloadCutBySilenceOrClose()
{
    const qint64 limit = CommandSplitter::PayloadSilenceMs;
    const QByteArray block(100, 'A');

    // Pauses far beyond a command's silence do not end a payload; a long one
    // cuts it, and what follows is read as commands again.
    CommandSplitter splitter;
    splitter.expectPayload(300);
    QVERIFY(feed(splitter, block, limit - 1).isEmpty());
    QVERIFY(feed(splitter, block, 2 * limit).isEmpty());
    QVERIFY(splitter.checkSilence(2 * limit + 99 + limit - 1).isEmpty());
    const QList<Item> cut = splitter.checkSilence(2 * limit + 99 + limit);
    QCOMPARE(describe(cut), QByteArrayList { '~' + block + block });
    QCOMPARE(cut.constFirst().ms, 2 * limit + 99);
    QCOMPARE(describe(feed(splitter, "ARS", 5000)), QByteArrayList { "ARS()" });

    // Seen on a late byte; a payload that never begins is cut too.
    splitter.expectPayload(10);
    feed(splitter, "ALD", 5003);
    QCOMPARE(describe(feed(splitter, "ARS", 5005 + limit)), (QByteArrayList { "~ALD", "ARS()" }));
    splitter.expectPayload(10);
    QCOMPARE(describe(splitter.checkSilence(6000 + limit)), QByteArrayList { "~" });

    // The line closes in the middle.
    CommandSplitter closing;
    closing.expectPayload(10);
    feed(closing, QByteArrayLiteral("\0\0\0"), 0);
    QCOMPARE(describe(closing.flush()), QByteArrayList { QByteArrayLiteral("~\0\0\0") });
    QCOMPARE(describe(feed(closing, "ARS", 3)), QByteArrayList { "ARS()" });
}

// The splitter takes a mnemonic as complete the moment it matches.
void TestCommandSplitter::noMnemonicBeginsAnother()
{
    for (const CommandInfo &a : CommandTable::all()) {
        for (const CommandInfo &b : CommandTable::all()) {
            if (&a != &b && std::strlen(a.mnemonic) > 0)
                QVERIFY2(!QByteArray(b.mnemonic).startsWith(a.mnemonic), b.mnemonic);
        }
    }
}

QTEST_APPLESS_MAIN(TestCommandSplitter)
#include "tst_commandsplitter.moc"
