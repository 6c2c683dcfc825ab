// SPDX-License-Identifier: GPL-3.0-or-later
#include "corefixture.h"

#include "device_link/protocol.h"

#include <QTest>

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

// The settings and copyright replies, and what they do to the window.
class TestReplyParsing : public QObject
{
    Q_OBJECT

    std::unique_ptr<CoreFixture> f;
    QuillonCore &core() { return *f->core; }

    // A reply arrives whole and the line goes quiet.
    void arrive(const QByteArray &reply)
    {
        f->port.receive(reply);
        core().link.RecvData();
        f->ticks(3);
    }

private slots:
    void init()
    {
        f = std::make_unique<CoreFixture>();
        f->startConnected();
    }

    void oneLogoReplySetsPanelAndModel()
    {
        arrive(kExample);
        const PanelState &p = core().state.panel;
        QCOMPARE(p.mix, 49);
        QCOMPARE(p.fade, 51);
        QCOMPARE(p.intensity, 99);
        QCOMPARE(p.txtHPOS, QStringLiteral("50"));
        QCOMPARE(p.txtVPOS, QStringLiteral("100"));
        QVERIFY(p.takeOn);
        QCOMPARE(p.timeOn, 20);
        QCOMPARE(p.timeInt, 40);
        QCOMPARE(p.lblOnTime, QStringLiteral("0:05:00"));
        QCOMPARE(p.lblCycTime, QStringLiteral("0:15:00"));
        QCOMPARE(core().state.modelNumber, 1);
        QCOMPARE(core().state.title, QStringLiteral("Quillon - QX1 Node Detected"));
        QVERIFY(!core().state.uploadMenuVisible);
        QVERIFY(!core().state.logoMenuVisible[2]);
        QCOMPARE(core().state.txtComColour, Indicator::Green);
        QVERIFY(core().state.deviceMenusEnabled);
        QCOMPARE(core().reporter.diagReply(), QStringLiteral("QX Reply: 53,32,31,63,5E,37,01,30,30,14,28"));
        // Applying the reply echoes nothing back to the device, but the values are kept.
        QVERIFY(f->port.writes.isEmpty());
        QCOMPARE(f->setting(QStringLiteral("Slider-MIX")), QStringLiteral("49"));
        QCOMPARE(f->setting(QStringLiteral("Slider-FADE")), QStringLiteral("51"));
    }

    // One stray "S" reply demotes the model to a single logo until an "s"
    // reply comes; that goes back to the model known before, not to 4.
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
        QCOMPARE(core().state.modelNumber, 1);
        arrive(QByteArray("s") + kExample.mid(1) + "01");
        QCOMPARE(core().state.modelNumber, model);
        for (int i = 1; i <= 15; ++i)
            QCOMPARE(core().state.logoMenuVisible[static_cast<size_t>(i)], i <= model);
    }

    void multiLogoReplyRaisesModelAndSelectsSlot()
    {
        arrive(kExample);
        arrive(QByteArray("s") + kExample.mid(1) + "03");
        QCOMPARE(core().state.modelNumber, 4);
        QCOMPARE(core().state.title, QStringLiteral("Quillon - QX4 Node Detected"));
        QCOMPARE(core().state.currentSlot, 3);
        QVERIFY(core().state.logoMenuChecked[3]);
        QVERIFY(core().state.uploadMenuVisible);
        QVERIFY(f->port.writes.isEmpty()); // the slot change is not echoed either
        QCOMPARE(f->setting(QStringLiteral("LogoSelect")), QStringLiteral("3"));
    }

    void leadingBytesAreTrimmedOnlyWhenEnoughFollows()
    {
        arrive(QByteArray("\x01\x02", 2) + kExample);
        QCOMPARE(core().state.panel.mix, 49);

        f = std::make_unique<CoreFixture>();
        init();
        const int mix = core().state.panel.mix;
        const QString count = core().reporter.replyCount();
        arrive(QByteArray("\x01", 1) + kExample.left(10));
        QCOMPARE(core().state.panel.mix, mix);
        QCOMPARE(core().reporter.replyCount().toInt(), count.toInt() + 1);
        QVERIFY(core().reporter.diagReply().startsWith(QStringLiteral("QX Reply: 01,53")));
        QCOMPARE(core().state.title, QStringLiteral("Quillon - QX-4 Selected"));
    }

    void replyWithoutMarkersIsIgnored()
    {
        const QString count = core().reporter.replyCount();
        arrive(QByteArray("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c", 12));
        QCOMPARE(core().reporter.replyCount(), count);
        QCOMPARE(core().reporter.diagReply(), QString());
    }

    void outOfRangeValuesAreClampedOrSkipped()
    {
        // mix 200 -> 99, fade 250 -> 99, H and V out of their windows, times 0.
        arrive(QByteArray("S") + bytes({200, 250, 150, 20, 60, 0, 0, 0, 0, 0}));
        const PanelState &p = core().state.panel;
        QCOMPARE(p.mix, 0);
        QCOMPARE(p.fade, 1);
        QCOMPARE(p.intensity, 99);
        QCOMPARE(p.txtHPOS, QStringLiteral("100"));
        QCOMPARE(p.txtVPOS, QStringLiteral("100"));
        QCOMPARE(p.timeOn, 1);
        QCOMPARE(p.timeInt, 1);
        QVERIFY(!p.takeOn);
    }

    void tenByteReplyKeepsTheInterval()
    {
        core().panel.hscrTimeInt_Scroll(77);
        arrive(QByteArray("S") + bytes({50, 49, 99, 94, 55, 1, 48, 48, 20}));
        QCOMPARE(core().state.panel.timeOn, 20);
        QCOMPARE(core().state.panel.timeInt, 77);
    }

    void palVerticalScale()
    {
        core().state.panel.standard = 1;
        arrive(QByteArray("S") + bytes({50, 49, 99, 94, 36, 1, 48, 48, 20, 40}));
        QCOMPARE(core().state.panel.txtVPOS, QStringLiteral("50"));
        QCOMPARE(core().state.panel.previewTop, 1680);
    }

    void takeOffHidesPreviewOnlyWithShowFade()
    {
        QByteArray off = kExample;
        off[6] = 0;
        arrive(off);
        QVERIFY(core().state.panel.previewVisible);
        core().state.showFade = true;
        arrive(kExample);
        QVERIFY(core().state.panel.previewVisible);
        arrive(off);
        QVERIFY(!core().state.panel.previewVisible);
    }

    void copyrightLineAndAutoSelect()
    {
        const QByteArray line("(C) 2006 QX04 V1.2\r\nmore");
        arrive(line);
        QCOMPARE(core().reporter.copyright(), QStringLiteral("(C) 2006 QX04 V1.2"));
        QCOMPARE(core().state.modelNumber, 4);
        QCOMPARE(core().state.title, QStringLiteral("Quillon"));

        core().state.modelMenuChecked[0] = true;
        core().state.modelNumber = 1;
        arrive(QByteArray("(C) 2006 QX07 V1.2\r\n"));
        QCOMPARE(core().state.modelNumber, 7);
        QCOMPARE(core().state.title, QStringLiteral("Quillon - QX-7 Detected"));
        QVERIFY(core().state.logoMenuVisible[7]);
        QVERIFY(!core().state.logoMenuVisible[8]);

        // A model that does not exist changes nothing but the label.
        arrive(QByteArray("(C) 2006 QX99 V1.2\r\n"));
        QCOMPARE(core().state.modelNumber, 7);
        QCOMPARE(core().reporter.copyright(), QStringLiteral("(C) 2006 QX99 V1.2"));
    }

    void copyrightLabelClearsAfter200Ticks()
    {
        core().state.transferBusy = true; // no poll to re-arm the countdown
        core().link.CmdTree(22);
        arrive(QByteArray("(C) 2026 X QX04 V1\r\n"));
        QVERIFY(!core().reporter.copyright().isEmpty());
        f->ticks(200);
        QCOMPARE(core().reporter.copyright(), QString());
        QCOMPARE(core().link.copyrightWait(), -1);
    }

    void protocolHelpers()
    {
        QCOMPARE(Protocol::roundHalfEven(52.5), 52);
        QCOMPARE(Protocol::roundHalfEven(53.5), 54);
        QCOMPARE(Protocol::roundHalfEven(-0.5), 0);
        QCOMPARE(Protocol::leadingNumber(QStringLiteral(" 12abc")), 12.0);
        QCOMPARE(Protocol::leadingNumber(QStringLiteral("abc")), 0.0);
        QCOMPARE(Protocol::leadingNumber(QStringLiteral("-3.5x")), -3.5);
        QCOMPARE(Protocol::hex2(10), QByteArray("0A"));
        QCOMPARE(Protocol::hex2(300), QByteArray("FF"));
        const auto noLineEnd = Protocol::parseCopyright("(C) QX1");
        QVERIFY(noLineEnd);
        QVERIFY(!noLineEnd->model);
        QVERIFY(!Protocol::parseCopyright("\r\n(C) 2006 QX04 V1.2\r\n"));
    }
};

QUILLON_TEST_GUILESS_MAIN(TestReplyParsing)
#include "tst_replyparsing.moc"
