// SPDX-License-Identifier: GPL-3.0-or-later
#include "simwindow.h"
#include "uifakes.h"

#include "gui/frmenterdata.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>

namespace {
constexpr int Port = 9;
} // namespace

// Three nodes on one line: all put to sleep, one woken by its ID, and only
// that one obeys what follows.
class TestNodes : public QObject
{
    Q_OBJECT

    SimWindow w;
    ScriptedPrompter prompter;

    // qxsim's "dump": one line per node, in the order of its --node options.
    QList<QByteArray> dump()
    {
        w.sim->control("dump");
        QList<QByteArray> lines;
        for (int i = 0; i < 3; ++i)
            lines << w.sim->readStdoutLine(3000);
        return lines;
    }

    void answer(const char *entry, const QString &text)
    {
        prompter.answers << text;
        w.action(entry)->trigger();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(w.open(Port, {},
                       {QStringLiteral("--node"), QStringLiteral("1:4"), QStringLiteral("--node"),
                        QStringLiteral("2:4"), QStringLiteral("--node"), QStringLiteral("3:1")}));
        w.window->setPrompter(&prompter);
    }

    void cleanupTestCase() { w.close(); }

    void inputWindowTakesTheTextOnlyOnEnter()
    {
        FrmEnterData window;
        auto *input = window.findChild<QLineEdit *>(QStringLiteral("txtInput"));
        for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
            window.Form_Load(QStringLiteral("Enter an ID Number (1-255)"));
            QCOMPARE(window.findChild<QLabel *>(QStringLiteral("LblQuestion"))->text(),
                     QStringLiteral("Enter an ID Number (1-255)"));
            QCOMPARE(input->text(), QString());
            window.show();
            QTest::keyClicks(input, QStringLiteral("42"));
            QTest::keyClick(input, key);
            QVERIFY(!window.isVisible());
            QCOMPARE(window.result(), key == Qt::Key_Return ? QDialog::Accepted : QDialog::Rejected);
            QCOMPARE(window.answer(), key == Qt::Key_Return ? QStringLiteral("42") : QString());
        }
    }

    void onlyTheWokenNodeObeys()
    {
        QVERIFY(w.sim->waitForReceived("WK,00", 6000)); // the start-up wake-up
        const QList<QByteArray> before = dump();
        for (const QByteArray &line : before)
            QVERIFY2(line.contains(" awake=1 "), line.constData());

        w.windowState().factoryResetVisible = true; // Diag "Wakeup QX" then asks for a node
        const int wakeAll = w.count("rx", "WK,00");
        w.action("mnuAllNodesSleep")->trigger();
        answer("mnuDiagSub15", QStringLiteral("2"));
        answer("mnuDiagSub5", QStringLiteral("30")); // "IRE Level"
        QVERIFY(w.sim->waitForReceived(QByteArray("AIR\x1E"), 3000));
        QCOMPARE(prompter.asked, (QStringList{QStringLiteral("Enter Node to Wake-up (1-255) 0=All."),
                                              QStringLiteral("Enter an Intensity Percent (0-99)")}));
        QList<QByteArray> sent;
        for (const auto &entry : w.sim->received())
            if (entry.bytes == "SP" || entry.bytes == "WK,02")
                sent << entry.bytes;
        QCOMPARE(sent, (QList<QByteArray>{"SP", "SP", "WK,02"})); // one for each menu entry
        // A wake-up for all in between (the reply time-out's) would spoil the test.
        QCOMPARE(w.count("rx", "WK,00"), wakeAll);

        const QList<QByteArray> after = dump();
        QCOMPARE(after.at(0), QByteArray(before.at(0)).replace(" awake=1 ", " awake=0 "));
        QCOMPARE(after.at(2), QByteArray(before.at(2)).replace(" awake=1 ", " awake=0 "));
        QByteArray second = before.at(1);
        const qsizetype at = second.indexOf(" intensity=") + 11;
        second.replace(at, second.indexOf(' ', at) - at, "30");
        QCOMPARE(after.at(1), second);

        answer("mnuSetIDtoCurrentNode", QStringLiteral("9")); // "Change Node &ID"
        QVERIFY(w.sim->waitForReceived("ANI,09", 3000));
        QCOMPARE(dump(),
                 (QList<QByteArray>{after.at(0), QByteArray(after.at(1)).replace("NODE id=2 ", "NODE id=9 "),
                                    after.at(2)}));
    }
};

QUILLON_TEST_MAIN(TestNodes)
#include "tst_nodes.moc"
