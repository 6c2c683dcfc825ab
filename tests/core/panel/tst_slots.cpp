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
            if (f->core->logoState.slotButtonOffered[static_cast<size_t>(j)])
                visible << j;
        return visible;
    }

private slots:
    void init()
    {
        f = std::make_unique<CoreFixture>();
        f->startConnected();
    }

    // A slot is sent once and stored; slots outside the model are refused.
    void selectingSendsOnceAndStores()
    {
        core().slotControl.selectSlot(3);
        f->port.writes.clear();
        for (int slot : {3, 5, 0, 4})
            core().slotControl.selectSlot(slot);
        QCOMPARE(f->port.writes, QList<QByteArray>{QByteArray("AJ04\0\0\0", 7)});
        QCOMPARE(f->setting(QStringLiteral("LogoSelect")), QStringLiteral("4"));
        QCOMPARE(core().logoState.currentSlot, 4);
        QVERIFY(core().logoState.slotChosen[4]);
        QVERIFY(!core().logoState.slotChosen[3]);
    }

    void groupsOfFour()
    {
        core().slotControl.chooseModel(15);
        core().slotControl.selectSlot(6);
        QCOMPARE(visibleButtons(), (QList<int>{5, 6, 7, 8}));
        core().slotControl.selectSlot(13);
        QCOMPARE(visibleButtons(), (QList<int>{13, 14, 15}));
        core().slotControl.chooseModel(7);
        core().slotControl.selectSlot(5);
        QCOMPARE(visibleButtons(), (QList<int>{5, 6, 7}));
    }

    // The model menu: "auto" (0) and models that do not exist mean one logo;
    // the entry is stored, nothing is sent.
    void modelMenu()
    {
        const auto choose = [this](int chosen, int model, const char *stored) {
            core().slotControl.chooseModel(chosen);
            QCOMPARE(core().deviceState.modelNumber, model);
            QVERIFY(!core().logoState.slotOffered[static_cast<size_t>(model + 1)]);
            QCOMPARE(f->setting(QStringLiteral("QX_Model")), QString::fromLatin1(stored));
        };
        choose(7, 7, "7");
        QCOMPARE(core().deviceState.title, QStringLiteral("Quillon - QX7 Selected"));
        QVERIFY(core().deviceState.modelChosen[7]);
        QVERIFY(!core().deviceState.modelChosen[4]);
        choose(0, 1, "0");
        QVERIFY(core().deviceState.modelChosen[0]);
        choose(5, 1, "1");
        QVERIFY(core().deviceState.modelChosen[1]);
        QVERIFY(f->port.writes.isEmpty());
    }
};

QUILLON_TEST_GUILESS_MAIN(TestSlots)
#include "tst_slots.moc"
