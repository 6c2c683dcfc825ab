// SPDX-License-Identifier: GPL-3.0-or-later
#include "corefixture.h"

#include "device_link/commandtable.h"
#include "device_link/protocol.h"
#include "panel/panelvalues.h"

#include <QSignalSpy>
#include <QTest>

// What goes on the wire for every command, and what CmdTree and SendCom do
// to the window around it.
class TestCommandEncoding : public QObject
{
    Q_OBJECT

    std::unique_ptr<CoreFixture> f;

    QuillonCore &core() { return *f->core; }
    QList<QByteArray> send(int command, QByteArray arg = {})
    {
        f->port.writes.clear();
        core().link.CmdTree(command, arg);
        return f->port.writes;
    }

private slots:
    void init()
    {
        f = std::make_unique<CoreFixture>();
        f->port.present = {3};
        f->setSetting(QStringLiteral("ComPort"), QStringLiteral("3"));
        f->start();
        QVERIFY(f->port.isOpen());
    }

    void fixedCommands_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QByteArray>("arg");
        QTest::addColumn<QByteArray>("wire");
        QTest::newRow("toggle") << 0 << QByteArray() << QByteArray("ATT");
        QTest::newRow("off") << 1 << QByteArray() << QByteArray("AT0");
        QTest::newRow("on") << 2 << QByteArray() << QByteArray("AT1");
        QTest::newRow("fade arg") << 3 << QByteArray("\x07", 1) << QByteArray("AFR\x07", 4);
        QTest::newRow("mix arg") << 4 << QByteArray("\x05", 1) << QByteArray("AFL\x05", 4);
        QTest::newRow("ire arg") << 5 << QByteArray("\x00", 1) << QByteArray("AIR\x00", 4);
        QTest::newRow("horiz") << 6 << QByteArray("5E") << QByteArray("AHP5E");
        QTest::newRow("vert") << 7 << QByteArray("37") << QByteArray("AVP37");
        QTest::newRow("send logo") << 8 << QByteArray() << QByteArray("ALD");
        QTest::newRow("save settings") << 9 << QByteArray() << QByteArray("ASS");
        QTest::newRow("save logo") << 10 << QByteArray() << QByteArray("ASI");
        QTest::newRow("blink") << 11 << QByteArray() << QByteArray("ACI");
        QTest::newRow("id 05") << 12 << QByteArray("05") << QByteArray("ANI,05");
        QTest::newRow("time on") << 13 << QByteArray("\xff", 1) << QByteArray("APA\xff", 4);
        QTest::newRow("time off") << 14 << QByteArray("\x01", 1) << QByteArray("API\x01", 4);
        QTest::newRow("wake empty") << 15 << QByteArray() << QByteArray("WK,00");
        QTest::newRow("wake unpadded") << 15 << QByteArray("3") << QByteArray("WK,3");
        QTest::newRow("sleep") << 16 << QByteArray() << QByteArray("SP");
        QTest::newRow("settings") << 17 << QByteArray() << QByteArray("ARS");
        QTest::newRow("select 05") << 18 << QByteArray("05") << QByteArray("AJ05\0\0\0", 7);
        QTest::newRow("logo") << 19 << QByteArray() << QByteArray("ARM");
        QTest::newRow("factory") << 20 << QByteArray() << QByteArray("ACM");
        QTest::newRow("model") << 21 << QByteArray("04") << QByteArray("ACT04");
        QTest::newRow("copyright") << 22 << QByteArray() << QByteArray("ARC");
    }

    void fixedCommands()
    {
        QFETCH(int, command);
        QFETCH(QByteArray, arg);
        QFETCH(QByteArray, wire);
        const auto writes = send(command, arg);
        QCOMPARE(writes.size(), 1);
        QCOMPARE(writes.first(), wire);
        QCOMPARE(core().reporter.diagSend(), QStringLiteral("SendCom: ") + QString::fromLatin1(wire));
    }

    void slidersGiveTheirBytes()
    {
        auto &panel = core().panel;
        f->port.writes.clear();
        panel.hscrFade_Change(1);
        panel.hscrFade_Change(100);
        panel.hscrMix_Change(0);
        panel.hscrMix_Change(99);
        panel.hscrIntensity_Change(0);
        const QList<QByteArray> expected{QByteArray("AFR\x63", 4), QByteArray("AFR\0", 4),
                                         QByteArray("AFL\x64", 4), QByteArray("AFL\x01", 4),
                                         QByteArray("AIR\0", 4)};
        QCOMPARE(f->port.writes, expected);
        QCOMPARE(core().state.panel.lblFade, QStringLiteral(" .05"));
        QCOMPARE(f->setting(QStringLiteral("Slider-FADE")), QStringLiteral("100"));
        QCOMPARE(f->setting(QStringLiteral("Slider-MIX")), QStringLiteral("99"));
        QCOMPARE(f->setting(QStringLiteral("Slider-INT")), QStringLiteral("0"));
        QCOMPARE(core().state.panel.lblIntensity, QStringLiteral("0"));
    }

    void fadeLabelTexts()
    {
        QCOMPARE(PanelValues::fadeLabel(1), QStringLiteral("5.00"));
        QCOMPARE(PanelValues::fadeLabel(99), QStringLiteral(" .10"));
        QCOMPARE(PanelValues::fadeLabel(100), QStringLiteral(" .05"));
        QCOMPARE(PanelValues::fadeLabel(80), QStringLiteral("1.05"));
    }

    void changeIdPadsShortArgumentsInTheCallersText()
    {
        for (const QByteArray &given : {QByteArray(), QByteArray("7")}) {
            QByteArray arg = given;
            f->port.writes.clear();
            core().link.CmdTree(CommandTable::ChangeId, arg);
            QCOMPARE(f->port.writes, QList<QByteArray>{QByteArray("ANI,01")});
            QCOMPARE(arg, QByteArray("01"));
        }
    }

    void standardsWriteTwiceAndCountTwice()
    {
        const QString before = core().reporter.sentCount();
        QCOMPARE(send(CommandTable::StandardNtsc), (QList<QByteArray>{"ATN", QByteArray(10, ' ')}));
        QCOMPARE(core().reporter.sentCount().toInt(), before.toInt() + 2);
        QCOMPARE(send(CommandTable::StandardPal), (QList<QByteArray>{"ATP", QByteArray(10, ' ')}));
    }

    void nothingSentButStatusCleared()
    {
        for (int command : {23, 26, -1}) {
            core().reporter.setUploadStatus(QStringLiteral("busy"));
            QVERIFY(send(command).isEmpty());
            QCOMPARE(core().reporter.uploadStatus(), QString());
        }
    }

    void takeColourFollowsCommands()
    {
        auto &state = core().state;
        send(CommandTable::ToggleTake);
        QVERIFY(state.panel.takeOn);
        send(CommandTable::ToggleTake);
        QVERIFY(!state.panel.takeOn);
        send(CommandTable::TakeOn);
        QVERIFY(state.panel.takeOn);
        send(CommandTable::TakeOff);
        QVERIFY(!state.panel.takeOn);
    }

    void copyrightRequestArmsTheLabelCountdown()
    {
        core().link.setCopyrightWait(0);
        send(CommandTable::RetrieveCopyright);
        QCOMPARE(core().link.copyrightWait(), 200);
    }

    void loadingSuppressesEverything()
    {
        auto &state = core().state;
        const QString label = state.panel.lblFade;
        f->setSetting(QStringLiteral("Slider-FADE"), QStringLiteral("55"));
        state.loading = true;
        f->port.writes.clear();
        core().panel.hscrFade_Change(10);
        core().link.SendCom("ARS");
        QVERIFY(f->port.writes.isEmpty());
        QCOMPARE(state.panel.lblFade, label);
        QCOMPARE(f->setting(QStringLiteral("Slider-FADE")), QStringLiteral("55"));
    }

    void applyingReplyKeepsLabelsAndSettingsButSendsNothing()
    {
        auto &state = core().state;
        state.applyingReply = true;
        f->port.writes.clear();
        core().panel.hscrFade_Change(1);
        core().panel.hscrMix_Change(20);
        QByteArray h("5E");
        core().link.CmdTree(CommandTable::HorizPosn, h);
        QVERIFY(f->port.writes.isEmpty());
        QCOMPARE(state.panel.lblFade, QStringLiteral("5.00"));
        QCOMPARE(f->setting(QStringLiteral("Slider-FADE")), QStringLiteral("1"));
        QCOMPARE(f->setting(QStringLiteral("Slider-MIX")), QStringLiteral("20"));
        state.applyingReply = false;
    }

    void busyCommandIsDropped()
    {
        core().state.cmdBusy = true;
        QVERIFY(send(CommandTable::RetrieveSettings).isEmpty());
        core().state.cmdBusy = false;
    }

    void counterWrapsAfter9999()
    {
        for (int i = core().reporter.sentCount().toInt(); i < 9999; ++i)
            core().link.SendCom("SP");
        QCOMPARE(core().reporter.sentCount(), QStringLiteral("9999"));
        core().link.SendCom("SP");
        QCOMPARE(core().reporter.sentCount(), QStringLiteral("0"));
    }

    void noPortChosenDropsSilently()
    {
        core().link.closePort();
        core().state.comPort = 0;
        const QString count = core().reporter.sentCount();
        const QString line = core().reporter.diagSend();
        core().link.SendCom("ARS");
        QCOMPARE(core().reporter.sentCount(), count);
        QCOMPARE(core().reporter.diagSend(), line);
        QVERIFY(!f->port.isOpen());
    }

    void closedPortIsReopenedOrTurnsRed()
    {
        core().link.closePort();
        f->port.writes.clear();
        core().link.SendCom("ARS");
        QVERIFY(f->port.isOpen());
        QCOMPARE(f->port.writes, QList<QByteArray>{"ARS"});

        core().link.closePort();
        f->port.present.clear();
        const int count = core().reporter.sentCount().toInt();
        core().link.SendCom("ARC");
        QCOMPARE(core().state.txtComColour, Indicator::Red);
        QCOMPARE(core().reporter.diagSend(), QStringLiteral("SendCom: ARC"));
        QCOMPARE(core().reporter.sentCount().toInt(), count + 1);
    }

    void sendingClearsTheReplyLineAndRecoversRedIndicator()
    {
        core().reporter.setDiagReply(QStringLiteral("QX Reply: 53"));
        core().state.txtComColour = Indicator::Red;
        send(CommandTable::RetrieveSettings);
        QCOMPARE(core().reporter.diagReply(), QString());
        QCOMPARE(core().state.txtComColour, Indicator::Cyan);
    }
};

QUILLON_TEST_GUILESS_MAIN(TestCommandEncoding)
#include "tst_commandencoding.moc"
