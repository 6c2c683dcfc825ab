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
        core().link.readReplies();
        f->ticks(3);
    }

private slots:
    void init()
    {
        f = std::make_unique<CoreFixture>();
        f->startConnected();
    }

    // A settings reply sets the panel: out-of-range values are clamped or
    // skipped, a 10-byte reply keeps the interval, PAL has its own V scale.
    void replySetsThePanel_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("standard");
        QTest::addColumn<QList<int>>("mixFadeIntensityOnIntervalTop");
        QTest::addColumn<QString>("hpos");
        QTest::addColumn<QString>("vpos");
        QTest::addColumn<bool>("take");
        using I = QList<int>;
        QTest::newRow("example") << kExample << 0 << I{49, 51, 99, 20, 40, 3120} << "50"
                                 << "100" << true;
        QTest::newRow("out of range") << QByteArray("S") + bytes({200, 250, 150, 20, 60, 0, 0, 0, 0, 0}) << 0
                                      << I{0, 1, 99, 1, 1, 240} << "100"
                                      << "100" << false;
        QTest::newRow("10 bytes") << kExample.left(10) << 0 << I{49, 51, 99, 20, 77, 3120} << "50"
                                  << "100" << true;
        QTest::newRow("PAL") << QByteArray("S") + bytes({50, 49, 99, 94, 36, 1, 48, 48, 20, 40}) << 1
                             << I{49, 51, 99, 20, 40, 1680} << "50"
                             << "50" << true;
    }
    void replySetsThePanel()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, standard);
        QFETCH(QList<int>, mixFadeIntensityOnIntervalTop);
        core().panelState.standard = standard;
        core().panel.showIntervalTime(77);
        arrive(reply);
        const PanelState &p = core().panelState;
        QCOMPARE((QList<int>{p.mix, p.fade, p.intensity, p.timeOn, p.timeInt, p.previewTop}),
                 mixFadeIntensityOnIntervalTop);
        QTEST(p.hposText, "hpos");
        QTEST(p.vposText, "vpos");
        QTEST(p.takeOn, "take");
        QVERIFY(f->port.writes.isEmpty()); // nothing is echoed back to the device
    }

    void oneLogoReplySetsModelAndWindow()
    {
        arrive(kExample);
        QCOMPARE(core().panelState.onTimeText, QStringLiteral("0:05:00"));
        QCOMPARE(core().panelState.intervalText, QStringLiteral("0:15:00"));
        QCOMPARE(core().deviceState.modelNumber, 1);
        QCOMPARE(core().deviceState.title, QStringLiteral("Quillon - QX1 Node Detected"));
        QVERIFY(!core().deviceState.uploadOffered);
        QCOMPARE(core().deviceState.portIndicator, Indicator::Green);
        QVERIFY(core().deviceState.transfersEnabled);
        QCOMPARE(core().reporter.diagReply(), QStringLiteral("QX Reply: 53,32,31,63,5E,37,01,30,30,14,28"));
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
        QCOMPARE(core().deviceState.modelNumber, 1);
        arrive(QByteArray("s") + kExample.mid(1) + "03");
        QCOMPARE(core().deviceState.modelNumber, model);
        QCOMPARE(core().deviceState.title, QStringLiteral("Quillon - QX%1 Node Detected").arg(model));
        for (int i = 1; i <= 15; ++i)
            QCOMPARE(core().logoState.slotOffered[static_cast<size_t>(i)], i <= model);
        // The "s" reply selects its slot without echoing it to the device.
        QCOMPARE(core().logoState.currentSlot, 3);
        QVERIFY(core().logoState.slotChosen[3]);
        QVERIFY(core().deviceState.uploadOffered);
        QVERIFY(f->port.writes.isEmpty());
        QCOMPARE(f->setting(QStringLiteral("LogoSelect")), QStringLiteral("3"));
    }

    // Bytes before the reply's letter are dropped when a whole reply follows;
    // a reply without a letter is not counted.
    void leadingBytesAreTrimmedOnlyWhenEnoughFollows()
    {
        const QString before = core().reporter.replyCount();
        arrive(QByteArray("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c", 12));
        QCOMPARE(core().reporter.replyCount(), before);
        QCOMPARE(core().reporter.diagReply(), QString());
        arrive(QByteArray("\x01\x02", 2) + kExample);
        QCOMPARE(core().panelState.mix, 49);

        init();
        const int mix = core().panelState.mix;
        const int count = core().reporter.replyCount().toInt();
        arrive(QByteArray("\x01", 1) + kExample.left(10));
        QCOMPARE(core().panelState.mix, mix);
        QCOMPARE(core().reporter.replyCount().toInt(), count + 1);
        QVERIFY(core().reporter.diagReply().startsWith(QStringLiteral("QX Reply: 01,53")));
        QCOMPARE(core().deviceState.title, QStringLiteral("Quillon - QX-4 Selected"));
    }

    void takeOffHidesPreviewOnlyWithShowFade()
    {
        QByteArray off = kExample;
        off[6] = 0;
        arrive(off);
        QVERIFY(core().panelState.previewVisible);
        core().panelState.showFade = true;
        arrive(kExample);
        arrive(off);
        QVERIFY(!core().panelState.previewVisible);
    }

    // The label always shows the line; the model follows it only when
    // "auto" is chosen and the model exists.
    void copyrightLineAndAutoSelect()
    {
        arrive("(C) 2006 QX04 V1.2\r\nmore");
        QCOMPARE(core().reporter.copyright(), QStringLiteral("(C) 2006 QX04 V1.2"));
        QCOMPARE(core().deviceState.title, QStringLiteral("Quillon"));

        core().deviceState.modelChosen[0] = true;
        core().deviceState.modelNumber = 1;
        arrive("(C) 2006 QX07 V1.2\r\n");
        QCOMPARE(core().deviceState.modelNumber, 7);
        QCOMPARE(core().deviceState.title, QStringLiteral("Quillon - QX-7 Detected"));
        QVERIFY(core().logoState.slotOffered[7]);
        QVERIFY(!core().logoState.slotOffered[8]);

        arrive("(C) 2006 QX99 V1.2\r\n");
        QCOMPARE(core().deviceState.modelNumber, 7);
        QCOMPARE(core().reporter.copyright(), QStringLiteral("(C) 2006 QX99 V1.2"));

        QVERIFY(!Protocol::parseCopyright("(C) QX1")->model); // no line end: no model
        QVERIFY(!Protocol::parseCopyright("\r\n(C) 2006 QX04 V1.2\r\n"));
    }

    void copyrightLabelClearsAfter200Ticks()
    {
        core().deviceState.transferBusy = true; // no poll to re-arm the countdown
        core().link.sendCommand(22);
        arrive(QByteArray("(C) 2026 X QX04 V1\r\n"));
        QVERIFY(!core().reporter.copyright().isEmpty());
        f->ticks(200);
        QCOMPARE(core().reporter.copyright(), QString());
        QCOMPARE(core().link.copyrightWait(), -1);
    }
};

QUILLON_TEST_GUILESS_MAIN(TestReplyParsing)
#include "tst_replyparsing.moc"
