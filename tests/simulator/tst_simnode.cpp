#include "simulator/simnode.h"

#include <QTest>

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (const int value : values)
        out += static_cast<char>(value);
    return out;
}

QByteArray send(SimNode &node, CommandTable::Number number, const QByteArray &argument = {})
{
    return node.handle(*CommandTable::find(number), argument);
}

// A shared line: every node hears the command; the replies in node order.
QByteArrayList send(QList<SimNode> &nodes, CommandTable::Number number, const QByteArray &argument = {})
{
    QByteArrayList replies;
    for (SimNode &node : nodes) {
        if (const QByteArray reply = send(node, number, argument); !reply.isEmpty())
            replies << reply;
    }
    return replies;
}

// A picture whose 64 rows all differ, with NUL bytes and the marker "SD", plain
// and inverted, in every row.
QByteArray picture()
{
    QByteArray rows;
    for (int row = 0; row < 64; ++row) {
        QByteArray line;
        for (int k = 0; k < 32; ++k)
            line += static_cast<char>(row + 64 * (k % 4));
        rows += line.replace(5, 4, "SD\xac\xbb");
    }
    return rows;
}

// The 64 line writes of a download: the odd field top down, then the even field.
QByteArray lines(const QByteArray &rows)
{
    QByteArray wire;
    for (int row = 62; row >= 0; row -= 2)
        wire += rows.mid(row * 32, 32);
    for (int row = 63; row >= 1; row -= 2)
        wire += rows.mid(row * 32, 32);
    return wire;
}

QByteArray inverted(QByteArray bytes)
{
    for (char &byte : bytes)
        byte = static_cast<char>(byte ^ 0xFF);
    return bytes;
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
    void settingsReply();
    void copyrightNamesTheModel();
    void mixRoundTripKeepsTheSlider();
    void valuesAreKeptInRange();
    void factoryResetKeepsIdentity();
    void sleepAndWakeByAddress();
    void asleepNodeIgnoresCommands();
    void logoDownloadStoreAndUpload();
    void describe();
};

void TestSimNode::settingsReply()
{
    SimNode one(1, 1);
    send(one, CommandTable::MixLevel, bytes({ 51 }));
    send(one, CommandTable::FadeRate, bytes({ 49 }));
    send(one, CommandTable::HorizPosn, "5E");
    send(one, CommandTable::VertPosn, "37");
    send(one, CommandTable::ToggleTake);
    QCOMPARE(
        send(one, CommandTable::RetrieveSettings), 'S' + bytes({ 50, 49, 99, 94, 55, 1, 48, 48, 20, 40 }));

    // A multi-logo node adds its slot; a slot beyond the model is refused.
    SimNode four(1, 4);
    send(four, CommandTable::SelectLogo, QByteArrayLiteral("03\0\0\0"));
    send(four, CommandTable::SelectLogo, QByteArrayLiteral("05\0\0\0"));
    QCOMPARE(send(four, CommandTable::RetrieveSettings),
        's' + bytes({ 0, 0, 99, 94, 30, 0, 48, 48, 20, 40 }) + "03");

    // Turning it into a one-logo model changes the reply's form.
    send(four, CommandTable::SetModel, "05");
    QCOMPARE(four.model(), 4);
    send(four, CommandTable::SetModel, "01");
    QCOMPARE(four.slot(), 1);
    QCOMPARE(four.settingsReply().size(), 11);
    QCOMPARE(four.settingsReply().at(0), 'S');
}

void TestSimNode::copyrightNamesTheModel()
{
    for (const int model : { 1, 4, 31 }) {
        SimNode node(1, model);
        const QByteArray line = send(node, CommandTable::RetrieveCopyright);
        QVERIFY(line.startsWith("(C)"));
        QVERIFY(line.endsWith("\r\n"));
        QCOMPARE(line.count("\r\n"), 1);
        // The program reads the model after the first "QX" of the line.
        QCOMPARE(line.mid(line.indexOf("QX"), 4), "QX" + QByteArray::number(model).rightJustified(2, '0'));
    }
}

// The program sends 100 - slider and shows 99 - m.
void TestSimNode::mixRoundTripKeepsTheSlider()
{
    SimNode node;
    for (int slider = 0; slider <= 99; ++slider) {
        send(node, CommandTable::MixLevel, bytes({ 100 - slider }));
        QCOMPARE(99 - node.mix(), slider);
    }
    send(node, CommandTable::MixLevel, bytes({ 0 }));
    QCOMPARE(node.mix(), 0);
    send(node, CommandTable::MixLevel, bytes({ 255 }));
    QCOMPARE(node.mix(), 99);
}

void TestSimNode::valuesAreKeptInRange()
{
    SimNode node;
    send(node, CommandTable::FadeRate, bytes({ 200 }));
    send(node, CommandTable::IreLevel, bytes({ 150 }));
    send(node, CommandTable::SetTimeOn, bytes({ 0 }));
    send(node, CommandTable::SetTimeOff, bytes({ 255 }));
    send(node, CommandTable::HorizPosn, "Z1");
    send(node, CommandTable::VertPosn, "-1");
    send(node, CommandTable::ChangeId, "00");
    QCOMPARE(node.settingsReply().left(11), 's' + bytes({ 0, 99, 99, 94, 30, 0, 48, 48, 1, 255 }));
    QCOMPARE(node.id(), 1);
    send(node, CommandTable::HorizPosn, "9a");
    QCOMPARE(node.horizontal(), 0x9A);
}

void TestSimNode::factoryResetKeepsIdentity()
{
    SimNode node(7, 15);
    const QByteArray factory = node.settingsReply();
    send(node, CommandTable::FadeRate, bytes({ 10 }));
    send(node, CommandTable::SelectLogo, QByteArrayLiteral("12\0\0\0"));
    send(node, CommandTable::StandardPal, QByteArray(10, ' '));
    send(node, CommandTable::SaveSettings);
    QCOMPARE(node.standard(), SimNode::Standard::Pal);

    QVERIFY(send(node, CommandTable::FactoryReset).isEmpty());
    QCOMPARE(node.settingsReply(), factory);
    QCOMPARE(node.standard(), SimNode::Standard::Ntsc);
    QCOMPARE(node.id(), 7);
    QCOMPARE(node.model(), 15);
    QCOMPARE(node.settingsSaves(), 1);
}

void TestSimNode::sleepAndWakeByAddress()
{
    QList<SimNode> nodes { SimNode(1, 1), SimNode(2, 4), SimNode(3, 4), SimNode(10, 7) };
    const QByteArrayList all = send(nodes, CommandTable::RetrieveSettings);
    QCOMPARE(all.size(), 4);
    QCOMPARE(all.constFirst().at(0), 'S'); // in node order

    send(nodes, CommandTable::Sleep);
    QVERIFY(send(nodes, CommandTable::RetrieveSettings).isEmpty());
    send(nodes, CommandTable::Wakeup, "02");
    QCOMPARE(awakeIds(nodes), QList<int> { 2 });
    QCOMPARE(send(nodes, CommandTable::RetrieveSettings).size(), 1);

    send(nodes, CommandTable::Wakeup, "3"); // unpadded
    send(nodes, CommandTable::Wakeup, "0a");
    QCOMPARE(awakeIds(nodes), (QList<int> { 2, 3, 10 }));

    // A renumbered node answers to its new ID only.
    send(nodes, CommandTable::Sleep);
    send(nodes, CommandTable::Wakeup, "03");
    send(nodes, CommandTable::ChangeId, "FF");
    send(nodes, CommandTable::Sleep);
    send(nodes, CommandTable::Wakeup, "03");
    send(nodes, CommandTable::Wakeup, "");
    QVERIFY(awakeIds(nodes).isEmpty());
    send(nodes, CommandTable::Wakeup, "FF");
    QCOMPARE(awakeIds(nodes), QList<int> { 255 });

    send(nodes, CommandTable::Wakeup, "00");
    QCOMPARE(awakeIds(nodes), (QList<int> { 1, 2, 255, 10 }));
}

void TestSimNode::asleepNodeIgnoresCommands()
{
    SimNode node(5, 4);
    const QByteArray before = node.describe();
    send(node, CommandTable::Sleep);
    for (const CommandInfo &command : CommandTable::all()) {
        if (command.number != CommandTable::Wakeup)
            QVERIFY(node.handle(command, "03").isEmpty());
    }
    send(node, CommandTable::Wakeup, "04");
    QVERIFY(!node.isAwake());
    send(node, CommandTable::Wakeup, "05");
    QCOMPARE(node.describe(), before);
}

// ALD, the 64 lines in field order, ASI, ARM: the stream gives the lines back
// inverted behind two lead bytes and the marker.
void TestSimNode::logoDownloadStoreAndUpload()
{
    const QByteArray zero(2048, '\0');
    SimNode node(2, 4);
    node.takeLogoLines(lines(picture())); // no ALD before
    send(node, CommandTable::SendLogo);
    send(node, CommandTable::RetrieveSettings); // the lines are not coming
    node.takeLogoLines(lines(picture()));
    send(node, CommandTable::SendLogo);
    node.takeLogoLines(lines(picture()).left(2047));
    QCOMPARE(node.logoRam(), zero);

    send(node, CommandTable::SendLogo);
    node.takeLogoLines(lines(picture()));
    QCOMPARE(node.logoRam(), picture());
    send(node, CommandTable::SelectLogo, QByteArrayLiteral("03\0\0\0"));
    send(node, CommandTable::SaveLogo);
    QCOMPARE(node.storedLogo(3), picture());
    QCOMPARE(node.storedLogo(1), zero);

    // The receiver takes the first "SD", so the lead must not make one.
    const QByteArray stream = send(node, CommandTable::RetrieveLogo);
    QCOMPARE(stream.left(4), QByteArrayLiteral("\x00\x01SD"));
    QCOMPARE(stream.indexOf("SD"), 2);
    QCOMPARE(stream.mid(4), inverted(lines(picture())));
    send(node, CommandTable::SelectLogo, QByteArrayLiteral("01\0\0\0"));
    QCOMPARE(send(node, CommandTable::RetrieveLogo).mid(4), QByteArray(2048, '\xff'));

    send(node, CommandTable::FactoryReset);
    QCOMPARE(node.storedLogo(3), zero);

    // Asleep, a node does not take part.
    send(node, CommandTable::Sleep);
    send(node, CommandTable::SendLogo);
    QVERIFY(!node.isReceivingLogo());
}

// Other tests read this line from "dump"; its keys are part of qxsim's interface.
void TestSimNode::describe()
{
    SimNode node(12, 7);
    send(node, CommandTable::StandardPal);
    QCOMPARE(node.describe(),
        QByteArray("NODE id=12 model=7 awake=1 mix=0 fade=0 intensity=99 h=94 v=30 status=0 on=20 "
                   "interval=40 slot=1 std=PAL saves=0 ram=DE5C logo=DE5C"));
    send(node, CommandTable::SendLogo);
    node.takeLogoLines(lines(picture()));
    send(node, CommandTable::SaveLogo);
    QVERIFY(!node.describe().contains("DE5C"));
}

QTEST_APPLESS_MAIN(TestSimNode)
#include "tst_simnode.moc"
