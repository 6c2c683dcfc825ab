// SPDX-License-Identifier: GPL-3.0-or-later
#include "corefixture.h"

#include "device_link/commandtable.h"
#include "device_link/protocol.h"
#include "panel/panelvalues.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {
QByteArray bytes(std::initializer_list<int> codes)
{
    QByteArray out;
    for (int c : codes)
        out.append(static_cast<char>(c));
    return out;
}
// The one-logo settings reply of the worked example: mix 49, fade 51,
// intensity 99, H 50 %, V 100 % (NTSC), TAKE on, on time 20, interval 40.
const QByteArray kExample = QByteArray("S") + bytes({50, 49, 99, 94, 55, 1, 48, 48, 20, 40});
} // namespace

// Both ways over the line: what sendCommand puts on the wire (where
// tst_cli's golden bytes and tst_frmquillon4's Diag rows do not already show it), the
// settings and copyright replies, and what both do to the window.
class TestProtocol : public QObject
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
    // A reply arrives whole and the line goes quiet.
    void arrive(const QByteArray &reply)
    {
        f->port.receive(reply);
        core().link.readReplies();
        f->ticks(3);
    }

private slots:
    void init()
    {
        f = std::make_unique<CoreFixture>();
        f->startConnected(3);
    }

    // Each write is counted and shown on the send line; every command, sent
    // or not (window-only entries, unknown numbers), clears the status.
    void commands_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QByteArray>("arg");
        QTest::addColumn<QList<QByteArray>>("wire");
        QTest::addColumn<int>("take"); // TAKE after the command (set opposite before), or -1
        using W = QList<QByteArray>;
        QTest::newRow("save settings") << 9 << QByteArray() << W{"ASS"} << -1;
        QTest::newRow("blink") << 11 << QByteArray() << W{"ACI"} << -1;
        QTest::newRow("id 7 pads") << 12 << QByteArray("7") << W{"ANI,01"} << -1;
        QTest::newRow("wake unpadded") << 15 << QByteArray("3") << W{"WK,3"} << -1;
        QTest::newRow("toggle TAKE on") << int(CommandTable::ToggleTake) << QByteArray() << W{"ATT"} << 1;
        QTest::newRow("toggle TAKE off") << int(CommandTable::ToggleTake) << QByteArray() << W{"ATT"} << 0;
        QTest::newRow("TAKE on") << int(CommandTable::TakeOn) << QByteArray() << W{"AT1"} << 1;
        QTest::newRow("TAKE off") << int(CommandTable::TakeOff) << QByteArray() << W{"AT0"} << 0;
        QTest::newRow("window only: 23") << 23 << QByteArray() << W{} << -1;
        QTest::newRow("window only: 26") << 26 << QByteArray() << W{} << -1;
        QTest::newRow("unknown") << -1 << QByteArray() << W{} << -1;
    }

    void commands()
    {
        QFETCH(int, command);
        QFETCH(QByteArray, arg);
        QFETCH(QList<QByteArray>, wire);
        QFETCH(int, take);
        core().panelState.takeOn = take == 0;
        core().reporter.setUploadStatus(QStringLiteral("busy"));
        const int count = core().reporter.sentCount().toInt();
        QCOMPARE(send(command, arg), wire);
        QCOMPARE(core().reporter.sentCount().toInt(), count + wire.size());
        QCOMPARE(core().reporter.uploadStatus(), QString());
        QVERIFY(wire.isEmpty()
                || core().reporter.diagSend()
                       == QStringLiteral("SendCom: ") + QString::fromLatin1(wire.last()));
        QVERIFY(take < 0 || core().panelState.takeOn == (take == 1));
    }

    // The sliders' top ends (their middles: tst_cli; the bottom: tst_frmquillon4).
    void slidersGiveTheirBytes()
    {
        f->port.writes.clear();
        core().panel.setFade(100);
        core().panel.setMix(99);
        core().panel.setIntensity(0);
        QCOMPARE(f->port.writes, (QList<QByteArray>{QByteArray("AFR\0", 4), QByteArray("AFL\x01", 4),
                                                    QByteArray("AIR\0", 4)}));
        QCOMPARE((QStringList{core().panelState.fadeText, core().panelState.intensityText,
                              f->setting(u"Slider-FADE"_s), f->setting(u"Slider-INT"_s),
                              PanelValues::fadeLabel(99), PanelValues::fadeLabel(80)}),
                 (QStringList{u" .05"_s, u"0"_s, u"100"_s, u"0"_s, u" .10"_s, u"1.05"_s}));
    }

    // The sent counter wraps to 0 after 9999, so does the reply counter
    // (which starts as 00000).
    void countersWrapAfter9999()
    {
        for (int i = core().reporter.sentCount().toInt(); i < 9999; ++i)
            core().link.writeText("SP");
        const QString top = core().reporter.sentCount();
        core().link.writeText("SP");
        Reporter r;
        const QString first = r.replyCount();
        for (int i = 0; i < 10000; ++i)
            r.countReply();
        QCOMPARE((QStringList{top, core().reporter.sentCount(), first, r.replyCount()}),
                 (QStringList{u"9999"_s, u"0"_s, u"00000"_s, u"0"_s}));
    }

    // A closed port is reopened for a write (shown by
    // transmitBufferFullClosesUntilNextCommand); if it cannot be, the
    // indicator turns red but the write still counts. A later write turns red to cyan.
    // With no port chosen a write is dropped, uncounted.
    void closedPortIsReopenedOrTurnsRed()
    {
        core().link.closePort();
        f->port.present.clear();
        const int count = core().reporter.sentCount().toInt();
        core().link.writeText("ARC");
        QVERIFY(core().deviceState.portIndicator == Indicator::Red
                && core().reporter.sentCount().toInt() == count + 1);
        QCOMPARE(core().reporter.diagSend(), QStringLiteral("SendCom: ARC"));

        f->port.present = {3};
        core().reporter.setDiagReply(QStringLiteral("QX Reply: 53"));
        send(CommandTable::RetrieveSettings);
        QVERIFY(core().reporter.diagReply().isEmpty() && core().deviceState.portIndicator == Indicator::Cyan);

        core().link.closePort();
        core().deviceState.comPort = 0;
        const QString sent = core().reporter.sentCount();
        core().link.writeText("ARS");
        QVERIFY(core().reporter.sentCount() == sent && !f->port.isOpen());
    }

    // A settings reply sets the panel, its time labels and the stored
    // sliders: out-of-range values are clamped or skipped, a 10-byte reply
    // keeps the interval, PAL has its own V scale.
    void replySetsThePanel_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("standard");
        QTest::addColumn<QList<int>>("mixFadeIntensityOnIntervalTop");
        QTest::addColumn<QString>("hposVposOnCycle");
        QTest::addColumn<bool>("take");
        using I = QList<int>;
        QTest::newRow("example") << kExample << 0 << I{49, 51, 99, 20, 40, 3120} << "50 100 0:05:00 0:15:00"
                                 << true;
        QTest::newRow("out of range") << QByteArray("S") + bytes({200, 250, 150, 20, 60, 0, 0, 0, 0, 0}) << 0
                                      << I{0, 1, 99, 1, 1, 240} << "100 100 0:00:15 0:00:30" << false;
        QTest::newRow("10 bytes") << kExample.left(10) << 0 << I{49, 51, 99, 20, 77, 3120}
                                  << "50 100 0:05:00 0:24:15" << true;
        QTest::newRow("PAL, hours") << QByteArray("S") + bytes({50, 49, 99, 94, 36, 1, 48, 48, 255, 255}) << 1
                                    << I{49, 51, 99, 255, 255, 1680} << "50 50 1:03:45 2:07:30" << true;
    }
    void replySetsThePanel()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, standard);
        core().panelState.standard = standard;
        core().panel.showIntervalTime(77);
        arrive(reply);
        const PanelState &p = core().panelState;
        QTEST((QList<int>{p.mix, p.fade, p.intensity, p.timeOn, p.timeInt, p.previewTop}),
              "mixFadeIntensityOnIntervalTop");
        QTEST((QStringList{p.hposText, p.vposText, p.onTimeText, p.intervalText}).join(u' '),
              "hposVposOnCycle");
        QTEST(p.takeOn, "take");
        QCOMPARE(f->setting(u"Slider-MIX"_s) + u' ' + f->setting(u"Slider-FADE"_s),
                 u"%1 %2"_s.arg(p.mix).arg(p.fade));
        QVERIFY(f->port.writes.isEmpty()); // nothing is echoed back to the device
    }

    // An "S" reply means a one-logo model (shown: tst_frmquillon4). One stray "S"
    // reply demotes the model to a single logo until an "s" reply comes;
    // that goes back to the model known before, not to 4.
    void strayOneLogoReplyIsUndone_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QByteArray>("copyright");
        QTest::addColumn<int>("model");
        QTest::newRow("stored QX-15") << QStringLiteral("15") << QByteArray() << 15;
        QTest::newRow("copyright QX-31")
            << QStringLiteral("0") << QByteArray("(C) 2026 Test QX31 V1.0\r\n") << 31;
        QTest::newRow("stored QX-1") << QStringLiteral("1") << QByteArray() << 4;
    }
    void strayOneLogoReplyIsUndone()
    {
        QFETCH(QString, stored);
        QFETCH(QByteArray, copyright);
        QFETCH(int, model);
        f = std::make_unique<CoreFixture>();
        f->setSetting(QStringLiteral("QX_Model"), stored);
        f->startConnected();
        if (!copyright.isEmpty())
            arrive(copyright);
        arrive(kExample);
        QCOMPARE(core().deviceState.modelNumber, 1);
        QCOMPARE(core().reporter.diagReply(), QStringLiteral("QX Reply: 53,32,31,63,5E,37,01,30,30,14,28"));
        arrive(QByteArray("s") + kExample.mid(1) + "03");
        QCOMPARE(core().deviceState.modelNumber, model);
        QCOMPARE(core().deviceState.title, QStringLiteral("Quillon - QX%1 Node Detected").arg(model));
        for (int i = 1; i <= 15; ++i)
            QCOMPARE(core().logoState.slotOffered[static_cast<size_t>(i)], i <= model);
        // The "s" reply selects its slot without echoing it to the device.
        QVERIFY(core().logoState.currentSlot == 3 && core().logoState.slotChosen[3]
                && core().deviceState.uploadOffered && f->port.writes.isEmpty()
                && f->setting(u"LogoSelect"_s) == u"3"_s);
    }

    // Bytes before the reply's letter are dropped when a whole reply follows;
    // a reply without a letter is not counted.
    void leadingBytesAreTrimmedOnlyWhenEnoughFollows()
    {
        const QString before = core().reporter.replyCount();
        arrive(QByteArray("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c", 12));
        QVERIFY(core().reporter.replyCount() == before && core().reporter.diagReply().isEmpty());
        arrive(QByteArray("\x01\x02", 2) + kExample);
        QCOMPARE(core().panelState.mix, 49);

        init();
        const int mix = core().panelState.mix;
        const int count = core().reporter.replyCount().toInt();
        arrive(QByteArray("\x01", 1) + kExample.left(10));
        QVERIFY(core().panelState.mix == mix && core().reporter.replyCount().toInt() == count + 1);
        QVERIFY(core().reporter.diagReply().startsWith(QStringLiteral("QX Reply: 01,53")));
        QCOMPARE(core().deviceState.title, QStringLiteral("Quillon - QX-4 Selected"));
    }

    // The label shows the line until 200 ticks after the request; the
    // model follows it only when "auto" is chosen and the model exists.
    void copyrightLineAndAutoSelect()
    {
        core().deviceState.transferBusy = true; // no poll to re-arm the countdown
        send(CommandTable::RetrieveCopyright);
        arrive("(C) 2006 QX04 V1.2\r\nmore");
        QCOMPARE(core().reporter.copyright(), QStringLiteral("(C) 2006 QX04 V1.2"));
        QCOMPARE(core().deviceState.title, QStringLiteral("Quillon"));

        core().deviceState.modelChosen[0] = true;
        core().deviceState.modelNumber = 1;
        arrive("(C) 2006 QX07 V1.2\r\n");
        QCOMPARE(core().deviceState.modelNumber, 7);
        QCOMPARE(core().deviceState.title, QStringLiteral("Quillon - QX-7 Detected"));
        QVERIFY(core().logoState.slotOffered[7] && !core().logoState.slotOffered[8]);

        arrive("(C) 2006 QX99 V1.2\r\n");
        QVERIFY(core().deviceState.modelNumber == 7
                && core().reporter.copyright() == u"(C) 2006 QX99 V1.2"_s);
        f->ticks(190);
        QVERIFY(!core().reporter.copyright().isEmpty());
        f->ticks(1);
        QVERIFY(core().reporter.copyright().isEmpty() && core().link.copyrightWait() == -1);

        QVERIFY(!Protocol::parseCopyright("(C) QX1")->model); // no line end: no model
        QVERIFY(!Protocol::parseCopyright("\r\n(C) 2006 QX04 V1.2\r\n"));
    }
};

QUILLON_TEST_GUILESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
