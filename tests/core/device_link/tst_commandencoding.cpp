// SPDX-License-Identifier: GPL-3.0-or-later
#include "corefixture.h"

#include "device_link/commandtable.h"
#include "device_link/protocol.h"
#include "panel/panelvalues.h"

#include <QTest>

// What sendCommand puts on the wire (where tst_cli's golden bytes and
// tst_diagcommands do not already show it) and does to the window around it.
class TestCommandEncoding : public QObject
{
    Q_OBJECT

    std::unique_ptr<CoreFixture> f;

    QuillonCore &core() { return *f->core; }
    QList<QByteArray> send(int command, const QByteArray &arg = {})
    {
        f->port.writes.clear();
        core().link.sendCommand(command, arg);
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

    // Each write is counted and shown on the send line.
    void commands_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QByteArray>("arg");
        QTest::addColumn<QList<QByteArray>>("wire");
        QTest::addColumn<int>("take"); // TAKE after the command (set opposite before), or -1
        using W = QList<QByteArray>;
        QTest::newRow("save settings") << 9 << QByteArray() << W{"ASS"} << -1;
        QTest::newRow("blink") << 11 << QByteArray() << W{"ACI"} << -1;
        QTest::newRow("id empty pads") << 12 << QByteArray() << W{"ANI,01"} << -1;
        QTest::newRow("id 7 pads") << 12 << QByteArray("7") << W{"ANI,01"} << -1;
        QTest::newRow("wake unpadded") << 15 << QByteArray("3") << W{"WK,3"} << -1;
        QTest::newRow("pal: two writes") << 25 << QByteArray() << W{"ATP", QByteArray(10, ' ')} << -1;
        QTest::newRow("toggle TAKE on") << int(CommandTable::ToggleTake) << QByteArray() << W{"ATT"} << 1;
        QTest::newRow("toggle TAKE off") << int(CommandTable::ToggleTake) << QByteArray() << W{"ATT"} << 0;
        QTest::newRow("TAKE on") << int(CommandTable::TakeOn) << QByteArray() << W{"AT1"} << 1;
        QTest::newRow("TAKE off") << int(CommandTable::TakeOff) << QByteArray() << W{"AT0"} << 0;
    }

    void commands()
    {
        QFETCH(int, command);
        QFETCH(QByteArray, arg);
        QFETCH(QList<QByteArray>, wire);
        QFETCH(int, take);
        core().state.panel.takeOn = take == 0;
        const int count = core().reporter.sentCount().toInt();
        QCOMPARE(send(command, arg), wire);
        QCOMPARE(core().reporter.sentCount().toInt(), count + wire.size());
        QCOMPARE(core().reporter.diagSend(), QStringLiteral("SendCom: ") + QString::fromLatin1(wire.last()));
        QVERIFY(take < 0 || core().state.panel.takeOn == (take == 1));
    }

    // The sliders' top ends (their middles: tst_cli).
    void slidersGiveTheirBytes()
    {
        f->port.writes.clear();
        core().panel.setFade(100);
        core().panel.setMix(99);
        core().panel.setIntensity(0);
        QCOMPARE(f->port.writes, (QList<QByteArray>{QByteArray("AFR\0", 4), QByteArray("AFL\x01", 4),
                                                    QByteArray("AIR\0", 4)}));
        QCOMPARE(core().state.panel.lblFade, QStringLiteral(" .05"));
        QCOMPARE(core().state.panel.lblIntensity, QStringLiteral("0"));
        QCOMPARE(f->setting(QStringLiteral("Slider-FADE")), QStringLiteral("100"));
        QCOMPARE(f->setting(QStringLiteral("Slider-INT")), QStringLiteral("0"));
        QCOMPARE(PanelValues::fadeLabel(1), QStringLiteral("5.00"));
        QCOMPARE(PanelValues::fadeLabel(99), QStringLiteral(" .10"));
        QCOMPARE(PanelValues::fadeLabel(80), QStringLiteral("1.05"));
    }

    // Window-only entries and unknown numbers send nothing but clear the status.
    void nothingSentButStatusCleared()
    {
        for (int command : {23, 26, -1}) {
            core().reporter.setUploadStatus(QStringLiteral("busy"));
            QVERIFY(send(command).isEmpty());
            QCOMPARE(core().reporter.uploadStatus(), QString());
        }
    }

    void loadingSendsNothing()
    {
        core().state.loading = true;
        f->port.writes.clear();
        core().link.sendCommand(CommandTable::FadeRate, Protocol::byte(10));
        core().link.writeText("ARS");
        QVERIFY(f->port.writes.isEmpty());
    }

    // The sent counter wraps to 0 after 9999, so does the reply counter
    // (which starts as 00000).
    void countersWrapAfter9999()
    {
        for (int i = core().reporter.sentCount().toInt(); i < 9999; ++i)
            core().link.writeText("SP");
        QCOMPARE(core().reporter.sentCount(), QStringLiteral("9999"));
        core().link.writeText("SP");
        QCOMPARE(core().reporter.sentCount(), QStringLiteral("0"));
        Reporter r;
        QCOMPARE(r.replyCount(), QStringLiteral("00000"));
        for (int i = 0; i < 10000; ++i)
            r.countReply();
        QCOMPARE(r.replyCount(), QStringLiteral("0"));
    }

    // A closed port is reopened for a write; if it cannot be, the indicator
    // turns red but the write still counts. A later write turns red to cyan.
    // With no port chosen a write is dropped, uncounted.
    void closedPortIsReopenedOrTurnsRed()
    {
        core().link.closePort();
        QCOMPARE(send(CommandTable::RetrieveSettings), QList<QByteArray>{"ARS"});

        core().link.closePort();
        f->port.present.clear();
        const int count = core().reporter.sentCount().toInt();
        core().link.writeText("ARC");
        QCOMPARE(core().state.txtComColour, Indicator::Red);
        QCOMPARE(core().reporter.diagSend(), QStringLiteral("SendCom: ARC"));
        QCOMPARE(core().reporter.sentCount().toInt(), count + 1);

        f->port.present = {3};
        core().reporter.setDiagReply(QStringLiteral("QX Reply: 53"));
        send(CommandTable::RetrieveSettings);
        QCOMPARE(core().reporter.diagReply(), QString());
        QCOMPARE(core().state.txtComColour, Indicator::Cyan);

        core().link.closePort();
        core().state.comPort = 0;
        const QString sent = core().reporter.sentCount();
        core().link.writeText("ARS");
        QCOMPARE(core().reporter.sentCount(), sent);
        QVERIFY(!f->port.isOpen());
    }
};

QUILLON_TEST_GUILESS_MAIN(TestCommandEncoding)
#include "tst_commandencoding.moc"
