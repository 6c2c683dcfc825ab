// SPDX-License-Identifier: GPL-3.0-or-later
#include "qxsim/simnode.h"

#include <QTest>

#include <utility>

using namespace CommandTable;

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (const int value : values)
        out += static_cast<char>(value);
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
    for (SimNode &node : nodes) {
        if (const QByteArray reply = send(node, number, argument); !reply.isEmpty())
            replies << reply;
    }
    return replies;
}

QList<int> awakeIds(const QList<SimNode> &nodes)
{
    QList<int> ids;
    for (const SimNode &node : nodes) {
        if (node.isAwake())
            ids << node.id();
    }
    return ids;
}

} // namespace

class TestSimNode : public QObject
{
    Q_OBJECT
private slots:
    // The values as the device keeps them. AFL b is kept as b - 1: the program
    // sends 100 - slider and shows 99 - m, so the slider stays where it was.
    void replies()
    {
        SimNode one(1, 1);
        send(one, MixLevel, bytes({51}));
        send(one, FadeRate, bytes({49}));
        send(one, HorizPosn, "9a");
        send(one, VertPosn, "37");
        send(one, ToggleTake);
        QCOMPARE(send(one, RetrieveSettings), 'S' + bytes({50, 49, 99, 154, 55, 1, 48, 48, 20, 40}));

        // Out of range: kept at the limit, or refused.
        const QList<std::pair<int, QByteArray>> outOfRange{
            {MixLevel, bytes({0})},     {FadeRate, bytes({200})},
            {IreLevel, bytes({150})},   {SetTimeOn, bytes({0})},
            {SetTimeOff, bytes({255})}, {HorizPosn, "Z1"},
            {VertPosn, "-1"},           {ChangeId, "00"}};
        for (const auto &[number, argument] : outOfRange)
            send(one, number, argument);
        QCOMPARE(one.settingsReply(), 'S' + bytes({0, 99, 99, 154, 55, 1, 48, 48, 1, 255}));
        QCOMPARE(one.id(), 1);

        // A multi-logo node adds its slot; a slot or model it does not have is refused.
        SimNode four(1, 4);
        send(four, SelectLogo, QByteArrayLiteral("03\0\0\0"));
        send(four, SelectLogo, QByteArrayLiteral("05\0\0\0"));
        send(four, SetModel, "05");
        const QByteArray factory = bytes({0, 0, 99, 94, 30, 0, 48, 48, 20, 40});
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
        for (const CommandInfo &command : CommandTable::all()) {
            if (command.number != Wakeup)
                QVERIFY(send(nodes, command.number, "03").isEmpty());
        }
        QCOMPARE(nodes.at(2).describe(), asleep);
        send(nodes, Wakeup, "02");
        QCOMPARE(awakeIds(nodes), QList<int>{2});
        send(nodes, Wakeup, "3"); // unpadded
        send(nodes, Wakeup, "0a");
        QCOMPARE(awakeIds(nodes), (QList<int>{2, 3, 10}));

        // A renumbered node answers to its new ID only; an empty ID names none.
        send(nodes, Sleep);
        send(nodes, Wakeup, "03");
        send(nodes, ChangeId, "FF");
        send(nodes, Sleep);
        send(nodes, Wakeup, "03");
        send(nodes, Wakeup, "");
        QVERIFY(awakeIds(nodes).isEmpty());
        send(nodes, Wakeup, "00");
        QCOMPARE(awakeIds(nodes), (QList<int>{1, 2, 255, 10}));
    }

    // ALD, then 64 lines of 32 bytes in field order: rows 62, 60, .., 0, then 63, 61, .., 1.
    // ASI stores them in the selected slot (the stream ARM gives back: tst_qxsim).
    void logoDownloadStoreAndUpload()
    {
        QByteArray wire; // lines that all differ, holding every byte value
        for (int i = 0; i < 2048; ++i)
            wire += static_cast<char>(i + i / 32);
        const QByteArray zero(2048, '\0');
        SimNode node(2, 4);

        // Lines without ALD, after another command, or short are not taken.
        node.takeLogoLines(wire);
        send(node, SendLogo);
        send(node, RetrieveSettings);
        node.takeLogoLines(wire);
        send(node, SendLogo);
        node.takeLogoLines(wire.left(2047));
        QCOMPARE(node.logoRam(), zero);

        send(node, SendLogo);
        node.takeLogoLines(wire);
        const int rowOfLine[][2] = {{0, 62}, {1, 60}, {31, 0}, {32, 63}, {33, 61}, {63, 1}};
        for (const auto &[line, row] : rowOfLine)
            QCOMPARE(node.logoRam().mid(row * 32, 32), wire.mid(line * 32, 32));

        QCOMPARE(send(node, RetrieveLogo).mid(4), QByteArray(2048, '\xff')); // the slot, not the RAM
        send(node, StandardPal);
        send(node, SelectLogo, QByteArrayLiteral("03\0\0\0"));
        send(node, SaveLogo);
        QCOMPARE(node.storedLogo(3), node.logoRam());
        QCOMPARE(node.storedLogo(1), zero);

        // A factory reset clears settings and logos, but keeps ID and model, and
        // answers with the emptied logo as a stream.
        QCOMPARE(send(node, FactoryReset), QByteArrayLiteral("\x00\x01SD") + QByteArray(2048, '\xFF'));
        QCOMPARE(node.storedLogo(3), zero);
        QCOMPARE(node.describe(), SimNode(2, 4).describe());
    }
};

QUILLON_TEST_APPLESS_MAIN(TestSimNode)
#include "tst_simnode.moc"
