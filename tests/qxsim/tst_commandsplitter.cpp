// SPDX-License-Identifier: GPL-3.0-or-later
#include "qxsim/commandsplitter.h"

#include <QTest>

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
    for (const Item &item : items) {
        if (item.kind == Item::Command) {
            const auto head = static_cast<qsizetype>(qstrlen(item.command->mnemonic)) + item.argument.size();
            out << item.command->mnemonic + ('(' + item.argument + ')') + item.bytes.mid(head);
        } else {
            out << "?!=~"[item.kind] + item.bytes;
        }
    }
    return out;
}

} // namespace

class TestCommandSplitter : public QObject
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
        row("back to back", "ARSARCAT1", "ARS()|ARC()|AT1()");
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
    // on the next byte when no check came in between.
    void silenceEndsWhatIsPending()
    {
        CommandSplitter splitter;
        QVERIFY(feed(splitter, "WK,3", 100).isEmpty());
        QVERIFY(splitter.checkSilence(103 + CommandSplitter::SilenceMs - 1).isEmpty());
        const QList<Item> items = splitter.checkSilence(103 + CommandSplitter::SilenceMs);
        QCOMPARE(describe(items), QByteArrayList{"WK,(3)"});
        QCOMPARE(items.constFirst().ms, 103);

        QVERIFY(feed(splitter, "AR", 200).isEmpty());
        QCOMPARE(describe(feed(splitter, "ANI,1", 250)), QByteArrayList{"!AR"});
        const QList<Item> late = feed(splitter, "ATN  ARS", 300);
        QCOMPARE(describe(late), (QByteArrayList{"ANI,(1)", "ATN()  ", "ARS()"}));
        QCOMPARE(late.at(1).ms, 304);
    }

    // After ALD the logo lines are one payload whatever they hold. Pauses far
    // beyond a command's silence do not end it; a long one, or the line closing,
    // cuts it, and what follows is read as commands again.
    void payloadAfterAld()
    {
        const qint64 limit = CommandSplitter::PayloadSilenceMs;
        CommandSplitter splitter;
        QCOMPARE(describe(feed(splitter, "ALD", 0)), QByteArrayList{"ALD()"});
        splitter.expectPayload(6);
        QVERIFY(feed(splitter, QByteArrayLiteral("AR\0"), 2 + limit - 1).isEmpty());
        QVERIFY(splitter.checkSilence(2 * limit).isEmpty());
        QCOMPARE(describe(feed(splitter, "S\xffZARS", 2 * limit)),
                 (QByteArrayList{QByteArrayLiteral("=AR\0S\xffZ"), "ARS()"}));

        QCOMPARE(describe(feed(splitter, "ALD", 2000)), QByteArrayList{"ALD()"});
        splitter.expectPayload(2048);
        QVERIFY(feed(splitter, "AL", 2003).isEmpty());
        QVERIFY(splitter.checkSilence(2004 + limit - 1).isEmpty());
        const QList<Item> cut = splitter.checkSilence(2004 + limit);
        QCOMPARE(describe(cut), QByteArrayList{"~AL"});
        QCOMPARE(cut.constFirst().ms, 2004);
        QCOMPARE(describe(feed(splitter, "ARS", 3000)), QByteArrayList{"ARS()"});
        splitter.expectPayload(10); // and nothing comes
        QCOMPARE(describe(splitter.checkSilence(3002 + limit)), QByteArrayList{"~"});

        splitter.expectPayload(10);
        feed(splitter, QByteArrayLiteral("\0\0\0"), 3010);
        QCOMPARE(describe(splitter.flush()), QByteArrayList{QByteArrayLiteral("~\0\0\0")});
        QCOMPARE(describe(feed(splitter, "ARS", 3013)), QByteArrayList{"ARS()"});
    }
};

QUILLON_TEST_APPLESS_MAIN(TestCommandSplitter)
#include "tst_commandsplitter.moc"
