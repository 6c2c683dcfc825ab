// SPDX-License-Identifier: GPL-3.0-or-later
#include "corefixture.h"
#include "uifakes.h"

#include "device_link/commandtable.h"
#include "gui/windowstate.h"

#include <QTest>

// What each Diag and Node menu entry asks and puts on the wire.
class TestDiagCommands : public QObject
{
    Q_OBJECT

    std::unique_ptr<CoreFixture> f;
    std::unique_ptr<DiagCommands> diag;
    ScriptedPrompter prompter;
    WindowState window;

    QuillonCore &core() { return *f->core; }

private slots:
    void init()
    {
        diag.reset(); // before the core it refers to
        f = std::make_unique<CoreFixture>();
        QuillonCore &c = f->startConnected();
        window = WindowState{};
        diag = std::make_unique<DiagCommands>(c.state, window, c.reporter, *f->settings, c.ops);
        diag->setPrompter(&prompter);
        prompter = ScriptedPrompter();
    }

    // Each entry's question, and its bytes for an answer; an empty answer,
    // or the window closed without Enter, then sends nothing, and a closed
    // window never acts on the answer given before.
    void entries_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("prompt"); // empty: nothing asked
        QTest::addColumn<QList<QByteArray>>("wire");
        QTest::addColumn<QString>("setup"); // "pal", "model1", "reset hidden"
        using W = QList<QByteArray>;
        const auto row = [](const char *name, int index, const char *answer, const char *prompt,
                            const W &wire, const char *setup = "") {
            QTest::newRow(name) << index << QString::fromLatin1(answer) << QString::fromLatin1(prompt) << wire
                                << QString::fromLatin1(setup);
        };
        const char *fade = "Enter a Fade Rate (0-99)";
        const char *h = "Enter a Horizontal Position Percent (0-99)";
        const char *v = "Enter a Vertical Position Percent (0-99)";
        const char *on = "Enter Take ON Time (15-3825)Seconds";
        const char *model = "Enter a Model number (01,04,07,15,31)";
        const char *logo = "Enter a Logo number (1-4)";
        const char *wake = "Enter Node to Wake-up (1-255) 0=All.";
        row("fade 99", 3, "99", fade, {QByteArray("AFR\0", 4)});
        row("fade text", 3, "fast", fade, {"AFR\x63"});
        row("fade 48.5 to even", 3, " 48.5s", fade, {"AFR\x33"});
        row("mix 30", 4, "30", "Enter a Mix Percent (0-99)", {"AFL\x45"});
        row("ire 200", 5, "200", "Enter an Intensity Percent (0-99)", {"AIR\x63"});
        row("horiz 50 pal", 6, "50", h, {"AHP7D"}, "pal");
        row("horiz 120 ntsc", 6, "120", h, {"AHP9A"});
        row("vert 50 pal", 7, "50", v, {"AVP24"}, "pal");
        row("vert -1 pal", 7, "-1", v, {"AVP04"}, "pal");
        row("send logo", 8, "", "", {"ARS"}); // the download's first step
        row("id 300", 12, "300", "Enter an ID Number (1-255)", {"ANI,FF"});
        row("on 15", 13, "15", on, {"APA\x01"});
        row("on 99999", 13, "99999", on, {"APA\xFF"});
        row("off 1935", 14, "1935", "Enter Take OFF Time (15-3825)Seconds", {"API\x81"});
        row("wake reset hidden", 15, "", "", {"WK,00"}, "reset hidden");
        row("wake 300", 15, "300", wake, {"SP", "WK,FF"});
        row("wake text", 15, "all", wake, {"SP", "WK,00"});
        row("logo 9 on model 4", 18, "9", logo, {QByteArray("AJ04\0\0\0", 7)});
        row("logo text", 18, "x", logo, {QByteArray("AJ01\0\0\0", 7)});
        row("logo on model 1", 18, "3", "Enter a Logo number (1-1)", {QByteArray("AJ01\0\0\0", 7)}, "model1");
        // Retrieve Logo and Factory Reset arm the upload wait.
        row("retrieve logo", 19, "", "", {"ARM"});
        row("factory reset", 20, "", "", {"ACM"});
        row("model 3", 21, "3", model, {"ACT04"});
        row("model 31", 21, "31", model, {"ACT31"});
        row("copyright", 22, "", "", {"ARC"}); // and clears the label
        row("show dialog", 23, "", "", {});
    }

    void entries()
    {
        QFETCH(int, index);
        QFETCH(QString, answer);
        QFETCH(QString, prompt);
        QFETCH(QList<QByteArray>, wire);
        QFETCH(QString, setup);
        QuillonCore &c = core();
        c.state.panel.standard = setup == QStringLiteral("pal") ? 1 : 0;
        c.state.modelNumber = setup == QStringLiteral("model1") ? 1 : 4;
        window.factoryResetVisible = setup != QStringLiteral("reset hidden");
        c.reporter.setCopyright(QStringLiteral("(C) old"));
        c.link.setPollTicks(0);
        prompter.answers = {answer, QStringLiteral(""), QString()};
        for (int i = prompt.isEmpty() ? 2 : 0; i < 3; ++i)
            diag->mnuDiagSub_Click(index);
        QCOMPARE(prompter.asked, prompt.isEmpty() ? QStringList() : QStringList(3, prompt));
        QCOMPARE(f->port.writes, wire);
        const bool uploads = index == CommandTable::RetrieveLogo || index == CommandTable::FactoryReset;
        QCOMPARE(c.state.uploadPending, uploads);
        QCOMPARE(c.link.pollTicks() == 500, uploads);
        QCOMPARE(c.reporter.copyright().isEmpty(), index == CommandTable::RetrieveCopyright);
    }

    void wakeUpNodeWakesAllWithoutAsking() // the other Node entries: tst_frmquillon4
    {
        diag->mnuWakeUpNode_Click();
        QCOMPARE(f->port.writes, QList<QByteArray>{"WK,00"});
        QVERIFY(prompter.asked.isEmpty());
    }
};

QUILLON_TEST_GUILESS_MAIN(TestDiagCommands)
#include "tst_diagcommands.moc"
