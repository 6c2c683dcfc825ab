// SPDX-License-Identifier: GPL-3.0-or-later
#include "simwindow.h"

#include <QLabel>
#include <QScrollBar>
#include <QTest>

namespace {
constexpr int Port = 5;
}

// The real main window, offscreen, on a real pseudo-terminal with qxsim at
// the other end: start-up, polling, replies into the window and silence.
// (Hang-ups are tst_faults'.)
class TestEndToEnd : public QObject
{
    Q_OBJECT

    SimWindow w;

    QAction *action(const char *name) { return w.action(name); }

private slots:
    void initTestCase() { QVERIFY(w.open(Port, {{QStringLiteral("ShowReply"), QStringLiteral("True")}})); }

    void cleanupTestCase() { w.close(); }

    void opensStoredPortAndWakesOnce()
    {
        QVERIFY(w.port->isOpen());
        QCOMPARE(w.port->devicePath(Port), w.sim->ptyPath());
        QVERIFY(w.sim->waitForReceived("WK,00", 6000));
        QCOMPARE(w.sim->received().first().bytes, QByteArray("WK,00")); // the first traffic on the line
        QVERIFY(w.sim->waitForReceived("ARC", 8000));
        QVERIFY(w.sim->waitForReceived("ARS", 8000));
        QCOMPARE(w.count("rx", "WK,00"), 1);
    }

    void repliesReachTheWindow()
    {
        QTRY_COMPARE_WITH_TIMEOUT(w.window->windowTitle(), QStringLiteral("Quillon - QX4 Node Detected"),
                                  10000);
        auto *copyright = w.child<QLabel>("lblCopyright");
        QTRY_VERIFY_WITH_TIMEOUT(copyright->text().startsWith(QStringLiteral("(C) 2026")), 10000);
        QVERIFY(action("mnuDownloadLogotoRam")->isEnabled());
        QVERIFY(w.child<QLabel>("lblDiag")->text().startsWith(QStringLiteral("QX Reply: 73,")));

        auto *mix = w.child<QScrollBar>("hscrMix");
        // A slider the user moves goes out once, and the device's answer
        // keeps it where the user put it.
        mix->setValue(40);
        QVERIFY(w.sim->waitForReceived(QByteArray("AFL\x3C"), 3000));
        const int polls = w.count("rx", "ARS");
        QVERIFY(w.sim->waitForReceived("ARS", 10000, polls + 1));
        QTest::qWait(300);
        QCOMPARE(mix->value(), 40);
    }

    void silenceRunsTheTimeoutCycle()
    {
        w.sim->control("silent on");
        QVERIFY(w.sim->waitForEvent("silent on", 2000));
        // Its times are tst_linkcycles' (ticks); here: the menus grey, the
        // real port closes, and the next request opens it again.
        QTRY_VERIFY_WITH_TIMEOUT(!action("mnuDownloadLogotoRam")->isEnabled(), 26000);
        const int closes = w.count("#", "close");
        QVERIFY(w.sim->waitForEvent("close", 15000, closes + 1));
        const int opens = w.count("#", "open");
        QVERIFY(w.sim->waitForEvent("open", 8000, opens + 1));
        w.sim->control("silent off");
        QTRY_VERIFY_WITH_TIMEOUT(action("mnuDownloadLogotoRam")->isEnabled(), 10000);
    }
};

QUILLON_TEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
