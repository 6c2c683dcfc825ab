// SPDX-License-Identifier: GPL-3.0-or-later
#include "simwindow.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

namespace {
constexpr int Port = 5;
}

// The real main window, offscreen, on a real pseudo-terminal with qxsim at
// the other end: start-up, polling, replies into the window, silence and a
// line that hangs up and comes back.
class TestEndToEnd : public QObject
{
    Q_OBJECT

    SimWindow w;
    qint64 m_openedAt = 0;

    QAction *action(const char *name) { return w.action(name); }
    template<typename T> T *child(const char *name) { return w.child<T>(name); }
    int countReceived(const QByteArray &bytes) const { return w.count("rx", bytes); }
    int countEvents(const QByteArray &event) const { return w.count("#", event); }

private slots:
    void initTestCase()
    {
        QVERIFY(w.open(Port, {{QStringLiteral("ShowReply"), QStringLiteral("True")}}));
        m_openedAt = QDateTime::currentMSecsSinceEpoch();
    }

    void cleanupTestCase() { w.close(); }

    void opensStoredPortAndWakesOnce()
    {
        QVERIFY(w.port->isOpen());
        QCOMPARE(w.port->devicePath(Port), w.sim->ptyPath());
        QVERIFY(w.sim->waitForReceived("WK,00", 6000));
        const auto received = w.sim->received();
        QCOMPARE(received.first().bytes, QByteArray("WK,00")); // the first traffic on the line
        const qint64 delay = received.first().ms - m_openedAt;
        QVERIFY2(delay >= 2000 && delay < 5000, qPrintable(QString::number(delay)));
        QVERIFY(w.sim->waitForReceived("ARC", 8000));
        QVERIFY(w.sim->waitForReceived("ARS", 8000));
        QCOMPARE(countReceived("WK,00"), 1);
    }

    void repliesReachTheWindow()
    {
        QTRY_COMPARE_WITH_TIMEOUT(w.window->windowTitle(), QStringLiteral("Quillon - QX4 Node Detected"),
                                  10000);
        auto *copyright = child<QLabel>("lblCopyright");
        QTRY_VERIFY_WITH_TIMEOUT(copyright->text().startsWith(QStringLiteral("(C) 2026")), 10000);
        QVERIFY(action("mnuDownloadLogotoRam")->isEnabled());
        QVERIFY(child<QLabel>("lblDiag")->text().startsWith(QStringLiteral("QX Reply: 73,")));

        // A value the window holds but the device does not is put right by
        // the next settings reply, and nothing is echoed back.
        auto *mix = child<QScrollBar>("hscrMix");
        w.window->core().state.panel.mix = 10;
        w.window->sync();
        QCOMPARE(mix->value(), 10);
        const int afl = countReceived(QByteArray("AFL"));
        QTRY_COMPARE_WITH_TIMEOUT(mix->value(), 99, 10000);
        QCOMPARE(countReceived(QByteArray("AFL")), afl);

        // A slider the user moves goes out once, and the device's answer
        // keeps it where the user put it.
        mix->setValue(40);
        QVERIFY(w.sim->waitForReceived(QByteArray("AFL\x3C"), 3000));
        const int polls = countReceived("ARS");
        QVERIFY(w.sim->waitForReceived("ARS", 10000, polls + 1));
        QTest::qWait(300);
        QCOMPARE(mix->value(), 40);
    }

    void panelControlsReachTheDeviceAndBack()
    {
        auto *hpos = child<QLineEdit>("txtHPOS");
        hpos->setFocus();
        hpos->selectAll();
        QTest::keyClicks(hpos, QStringLiteral("50"));
        QVERIFY(w.sim->waitForReceived("AHP5E", 3000));
        child<QScrollBar>("hscrIntensity")->setValue(30);
        QVERIFY(w.sim->waitForReceived(QByteArray("AIR\x1E"), 3000));

        // A reply with other values moves the controls and sends nothing back.
        const int before = static_cast<int>(w.sim->received().size());
        w.sim->control("send 73"
                       "0A"
                       "14"
                       "28"
                       "5E"
                       "1E"
                       "01"
                       "3030"
                       "0810"
                       "3032");
        QTRY_COMPARE_WITH_TIMEOUT(child<QScrollBar>("hscrFade")->value(), 80, 3000);
        QCOMPARE(child<QScrollBar>("hscrMix")->value(), 89);
        QCOMPARE(child<QScrollBar>("hscrIntensity")->value(), 40);
        QCOMPARE(child<QScrollBar>("hscrTimeOn")->value(), 8);
        QCOMPARE(child<QScrollBar>("hscrTimeInt")->value(), 16);
        QCOMPARE(w.window->core().state.currentSlot, 2);
        QTest::qWait(200);
        for (const auto &entry : w.sim->received().mid(before))
            QVERIFY2(entry.bytes == "ARC" || entry.bytes == "ARS", entry.bytes.constData());
    }

    void silenceRunsTheTimeoutCycle()
    {
        // The window keeps answering all through: a timer of its event loop
        // is never held up for anything like a second.
        QElapsedTimer sinceLast;
        qint64 longestGap = 0;
        QTimer probe;
        connect(&probe, &QTimer::timeout, this,
                [&] { longestGap = std::max(longestGap, sinceLast.restart()); });
        sinceLast.start();
        probe.start(50);

        w.sim->control("silent on");
        QVERIFY(w.sim->waitForEvent("silent on", 2000));
        const qint64 silentFrom = QDateTime::currentMSecsSinceEpoch();
        // Greyed menus after 20 s without a reply, the port closed after 30 s.
        QTRY_VERIFY_WITH_TIMEOUT(!action("mnuDownloadLogotoRam")->isEnabled(), 26000);
        const int closes = countEvents("close");
        QVERIFY(w.sim->waitForEvent("close", 15000, closes + 1));
        const qint64 closedAfter = QDateTime::currentMSecsSinceEpoch() - silentFrom;
        QVERIFY2(closedAfter > 20000, qPrintable(QString::number(closedAfter)));
        QCOMPARE(countReceived("WK,00"), 2); // the re-request's wake-up at 25 s
        // The next request opens the port again.
        const int opens = countEvents("open");
        QVERIFY(w.sim->waitForEvent("open", 8000, opens + 1));
        w.sim->control("silent off");
        QTRY_VERIFY_WITH_TIMEOUT(action("mnuDownloadLogotoRam")->isEnabled(), 10000);
        QVERIFY2(longestGap < 1000, qPrintable(QString::number(longestGap)));
    }

    void hangUpAndComeBack()
    {
        w.sim->control("hangup 1500");
        QVERIFY(w.sim->waitForEvent("up", 5000));
        // The program finds the new line behind the same port number by itself.
        QTRY_COMPARE_WITH_TIMEOUT(w.port->devicePath(Port), w.sim->ptyPath(), 3000);
        const int wakes = countReceived("WK,00");
        QVERIFY(w.sim->waitForReceived("WK,00", 8000, wakes + 1));
        QTRY_VERIFY_WITH_TIMEOUT(w.window->core().state.txtComColour == Indicator::Green, 10000);
        QVERIFY(action("mnuDownloadLogotoRam")->isEnabled());
    }
};

QUILLON_TEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
