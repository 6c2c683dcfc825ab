// SPDX-License-Identifier: GPL-3.0-or-later
#include "corefixture.h"

#include <QTest>

// Logo slots and model types: what a selection sends, stores and shows.
class TestSlots : public QObject
{
    Q_OBJECT

    std::unique_ptr<CoreFixture> f;
    QuillonCore &core() { return *f->core; }

    QList<int> visibleButtons() const
    {
        QList<int> visible;
        for (int j = 1; j <= 15; ++j)
            if (f->core->state.slotButtonVisible[static_cast<size_t>(j)])
                visible << j;
        return visible;
    }

private slots:
    void init()
    {
        f = std::make_unique<CoreFixture>();
        f->startConnected();
    }

    void selectingSendsOnceAndStores()
    {
        core().slotControl.mnuLogoSel_Click(3);
        f->port.writes.clear();
        core().slotControl.mnuLogoSel_Click(3);
        QVERIFY(f->port.writes.isEmpty());
        core().slotControl.mnuLogoSel_Click(4);
        QCOMPARE(f->port.writes, QList<QByteArray>{QByteArray("AJ04\0\0\0", 7)});
        QCOMPARE(f->setting(QStringLiteral("LogoSelect")), QStringLiteral("4"));
        QCOMPARE(core().state.currentSlot, 4);
        QVERIFY(core().state.logoMenuChecked[4]);
        QVERIFY(!core().state.logoMenuChecked[3]);
    }

    void slotsAboveTheModelAreRefused()
    {
        core().slotControl.optLOGO_Click(5);
        core().slotControl.optLOGO_Click(0);
        QVERIFY(f->port.writes.isEmpty());
        QCOMPARE(core().state.currentSlot, 1);
    }

    void groupsOfFour()
    {
        core().slotControl.mnuSetQXx_Click(15);
        core().slotControl.optLOGO_Click(6);
        QCOMPARE(visibleButtons(), (QList<int>{5, 6, 7, 8}));
        core().slotControl.optLOGO_Click(13);
        QCOMPARE(visibleButtons(), (QList<int>{13, 14, 15}));
        core().slotControl.mnuSetQXx_Click(7);
        core().slotControl.optLOGO_Click(5);
        QCOMPARE(visibleButtons(), (QList<int>{5, 6, 7}));
    }

    void modelMenu()
    {
        core().slotControl.mnuSetQXx_Click(7);
        QCOMPARE(core().state.title, QStringLiteral("Quillon - QX7 Selected"));
        QCOMPARE(core().state.modelNumber, 7);
        QVERIFY(core().state.logoMenuVisible[7]);
        QVERIFY(!core().state.logoMenuVisible[8]);
        QVERIFY(core().state.modelMenuChecked[7]);
        QVERIFY(!core().state.modelMenuChecked[4]);
        QCOMPARE(f->setting(QStringLiteral("QX_Model")), QStringLiteral("7"));

        core().slotControl.mnuSetQXx_Click(0);
        QCOMPARE(core().state.modelNumber, 1);
        QVERIFY(core().state.modelMenuChecked[0]);
        QCOMPARE(f->setting(QStringLiteral("QX_Model")), QStringLiteral("0"));
        QVERIFY(!core().state.logoMenuVisible[2]);

        core().slotControl.mnuSetQXx_Click(5);
        QCOMPARE(core().state.modelNumber, 1);
        QVERIFY(core().state.modelMenuChecked[1]);
        QCOMPARE(f->setting(QStringLiteral("QX_Model")), QStringLiteral("1"));
        QVERIFY(f->port.writes.isEmpty());
    }
};

QUILLON_TEST_GUILESS_MAIN(TestSlots)
#include "tst_slots.moc"
