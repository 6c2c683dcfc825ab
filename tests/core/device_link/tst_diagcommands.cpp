// SPDX-License-Identifier: GPL-3.0-or-later
#include "corefixture.h"

#include "device_link/commandtable.h"
#include "device_link/diagcommands.h"

#include <QSignalSpy>
#include <QTest>

// Answers the questions in turn; a null text stands for the window closed
// without Enter.
struct ScriptedPrompter final : Prompter {
    QStringList answers;
    QStringList asked;
    std::optional<QString> ask(const QString &prompt) override
    {
        asked << prompt;
        const QString answer = answers.isEmpty() ? QString() : answers.takeFirst();
        return answer.isNull() ? std::nullopt : std::optional<QString>(answer);
    }
};

// What each Diag and Node menu entry asks and puts on the wire.
class TestDiagCommands : public QObject
{
    Q_OBJECT

    std::unique_ptr<CoreFixture> f;
    std::unique_ptr<DiagCommands> diag;
    ScriptedPrompter prompter;

    QuillonCore &core() { return *f->core; }

private slots:
    void init()
    {
        f = std::make_unique<CoreFixture>();
        QuillonCore &c = f->startConnected();
        diag = std::make_unique<DiagCommands>(c.state, c.reporter, *f->settings, c.link, c.download);
        diag->setPrompter(&prompter);
        prompter = ScriptedPrompter();
    }

    void cleanup()
    {
        diag.reset();
        f.reset();
    }

    void entries_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("setup");  // "pal", "model1", "reset hidden"
        QTest::addColumn<QString>("prompt"); // empty: nothing asked
        QTest::addColumn<QList<QByteArray>>("wire");
        using W = QList<QByteArray>;
        const QString fade = QStringLiteral("Enter a Fade Rate (0-99)");
        const QString h = QStringLiteral("Enter a Horizontal Position Percent (0-99)");
        const QString v = QStringLiteral("Enter a Vertical Position Percent (0-99)");
        const QString id = QStringLiteral("Enter an ID Number (1-255)");
        const QString on = QStringLiteral("Enter Take ON Time (15-3825)Seconds");
        const QString model = QStringLiteral("Enter a Model number (01,04,07,15,31)");
        const QString logo = QStringLiteral("Enter a Logo number (1-4)");
        const QString wake = QStringLiteral("Enter Node to Wake-up (1-255) 0=All.");
        const QString none;
        QTest::newRow("fade 99") << 3 << "99" << none << fade << W{QByteArray("AFR\0", 4)};
        QTest::newRow("fade 0") << 3 << "0" << none << fade << W{"AFR\x63"};
        QTest::newRow("fade 150") << 3 << "150" << none << fade << W{QByteArray("AFR\0", 4)};
        QTest::newRow("fade text") << 3 << "fast" << none << fade << W{"AFR\x63"};
        QTest::newRow("fade 48.5 to even") << 3 << "48.5s" << none << fade << W{"AFR\x33"};
        QTest::newRow("mix 30") << 4 << "30" << none << "Enter a Mix Percent (0-99)" << W{"AFL\x45"};
        QTest::newRow("ire 30") << 5 << "30" << none << "Enter an Intensity Percent (0-99)" << W{"AIR\x1E"};
        QTest::newRow("ire 200") << 5 << "200" << none << "Enter an Intensity Percent (0-99)" << W{"AIR\x63"};
        QTest::newRow("horiz 50 ntsc") << 6 << "50" << none << h << W{"AHP5F"};
        QTest::newRow("horiz 50 pal") << 6 << "50"
                                      << "pal" << h << W{"AHP7D"};
        QTest::newRow("horiz 120 ntsc") << 6 << "120" << none << h << W{"AHP9A"};
        QTest::newRow("horiz text") << 6 << "left" << none << h << W{"AHP22"};
        QTest::newRow("vert 50 ntsc") << 7 << "50" << none << v << W{"AVP1E"};
        QTest::newRow("vert 50 pal") << 7 << "50"
                                     << "pal" << v << W{"AVP24"};
        QTest::newRow("vert -1 pal") << 7 << "-1"
                                     << "pal" << v << W{"AVP04"};
        QTest::newRow("send logo") << 8 << none << none << none << W{"ARS"}; // the download's first step
        QTest::newRow("id 255") << 12 << "255" << none << id << W{"ANI,FF"};
        QTest::newRow("id 10") << 12 << "10" << none << id << W{"ANI,0A"};
        QTest::newRow("id 300") << 12 << "300" << none << id << W{"ANI,FF"};
        QTest::newRow("id text") << 12 << "node" << none << id << W{"ANI,00"};
        QTest::newRow("on 15") << 13 << "15" << none << on << W{"APA\x01"};
        QTest::newRow("on 3825") << 13 << "3825" << none << on << W{"APA\xFF"};
        QTest::newRow("on 1935") << 13 << "1935" << none << on << W{"APA\x81"};
        QTest::newRow("on 99999") << 13 << "99999" << none << on << W{"APA\xFF"};
        QTest::newRow("off 1935") << 14 << "1935" << none << "Enter Take OFF Time (15-3825)Seconds"
                                  << W{"API\x81"};
        QTest::newRow("wake reset hidden") << 15 << none << "reset hidden" << none << W{"WK,00"};
        QTest::newRow("wake 18") << 15 << "18" << none << wake << W{"SP", "WK,12"};
        QTest::newRow("wake 300") << 15 << "300" << none << wake << W{"SP", "WK,FF"};
        QTest::newRow("wake text") << 15 << "all" << none << wake << W{"SP", "WK,00"};
        QTest::newRow("logo 9 on model 4") << 18 << "9" << none << logo << W{QByteArray("AJ04\0\0\0", 7)};
        QTest::newRow("logo text") << 18 << "x" << none << logo << W{QByteArray("AJ01\0\0\0", 7)};
        QTest::newRow("logo on model 1") << 18 << "3"
                                         << "model1"
                                         << "Enter a Logo number (1-1)" << W{QByteArray("AJ01\0\0\0", 7)};
        QTest::newRow("model 3") << 21 << "3" << none << model << W{"ACT04"};
        QTest::newRow("model 31") << 21 << "31" << none << model << W{"ACT31"};
        QTest::newRow("model text") << 21 << "QX" << none << model << W{"ACT04"};
        QTest::newRow("copyright") << 22 << none << none << none << W{"ARC"};
        QTest::newRow("show dialog") << 23 << none << none << none << W{};
    }

    void entries()
    {
        QFETCH(int, index);
        QFETCH(QString, answer);
        QFETCH(QString, setup);
        QFETCH(QString, prompt);
        QFETCH(QList<QByteArray>, wire);
        MainState &state = core().state;
        state.panel.standard = setup == QStringLiteral("pal") ? 1 : 0;
        state.modelNumber = setup == QStringLiteral("model1") ? 1 : 4;
        state.factoryResetVisible = setup != QStringLiteral("reset hidden");
        prompter.answers = {answer};
        diag->mnuDiagSub_Click(index);
        QCOMPARE(prompter.asked, prompt.isEmpty() ? QStringList() : QStringList{prompt});
        QCOMPARE(f->port.writes, wire);
    }

    // An empty answer, or the window closed without Enter, sends nothing,
    // and a closed window never acts on the answer given before.
    void emptyOrClosedSendsNothing()
    {
        core().state.factoryResetVisible = true;
        for (int index : {3, 4, 5, 6, 7, 12, 13, 14, 15, 18, 21}) {
            prompter.answers = {QStringLiteral("20"), QStringLiteral(""), QString()};
            for (int i = 0; i < 3; ++i)
                diag->mnuDiagSub_Click(index);
            const QByteArray entry = "entry " + QByteArray::number(index);
            QVERIFY2(prompter.asked.size() == 3, entry.constData());
            QVERIFY2(f->port.writes.size() == (index == CommandTable::Wakeup ? 2 : 1), entry.constData());
            f->port.writes.clear();
            prompter.asked.clear();
        }
    }

    void sideEffects()
    {
        QuillonCore &c = core();
        for (int index : {19, 20}) {
            c.state.uploadPending = false;
            c.link.setPollTicks(0);
            diag->mnuDiagSub_Click(index);
            QVERIFY(c.state.uploadPending);
            QCOMPARE(c.link.pollTicks(), 500);
        }
        QCOMPARE(f->port.writes, (QList<QByteArray>{"ARM", "ACM"}));

        c.reporter.setCopyright(QStringLiteral("(C) old"));
        diag->mnuDiagSub_Click(CommandTable::RetrieveCopyright);
        QCOMPARE(c.reporter.copyright(), QString());

        QSignalSpy strip(diag.get(), &DiagCommands::replyStripToggled);
        const bool before = c.state.showDialogChecked;
        diag->mnuDiagSub_Click(CommandTable::ShowDialog);
        QCOMPARE(strip.size(), 1);
        QCOMPARE(strip.at(0).at(0).toBool(), !before);
        QCOMPARE(f->setting(QStringLiteral("ShowReply")), SettingsStore::flagText(!before));
    }

    void nodeMenu()
    {
        core().link.setCopyrightWait(0);
        prompter.answers = {QStringLiteral("9")};
        diag->mnuWakeUpNode_Click();
        diag->mnuWakeUpAllNodes_Click();
        diag->mnuAllNodesSleep_Click();
        diag->mnuSetIDtoCurrentNode_Click();
        diag->mnuCopyright_Click();
        QCOMPARE(f->port.writes, (QList<QByteArray>{"WK,00", "WK,00", "SP", "ANI,09", "ARC"}));
        QCOMPARE(prompter.asked, QStringList{QStringLiteral("Enter an ID Number (1-255)")});
        QCOMPARE(core().link.copyrightWait(), 200);
    }
};

QUILLON_TEST_GUILESS_MAIN(TestDiagCommands)
#include "tst_diagcommands.moc"
