#include "simprocess.h"

#include "app/settingsstore.h"
#include "device_link/clock.h"
#include "device_link/systemserialport.h"
#include "ui/frmquillon4.h"

#include <QAction>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

namespace {
constexpr int Port = 5;

int countEvents(const SimProcess &sim, const QByteArray &event)
{
    const auto entries = sim.entries();
    return static_cast<int>(
        std::count_if(entries.cbegin(), entries.cend(), [&](const auto &e) { return e.kind == "#" && e.bytes == event; }));
}

int countReceived(const SimProcess &sim, const QByteArray &command)
{
    int n = 0;
    for (const auto &entry : sim.received())
        n += entry.bytes == command ? 1 : 0;
    return n;
}
} // namespace

// The real main window, offscreen, on a real pseudo-terminal with qxsim at
// the other end: start-up, polling, replies into the window, silence and a
// line that hangs up and comes back.
class TestEndToEnd : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    std::unique_ptr<SimProcess> m_sim;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<SystemSerialPort> m_port;
    SystemClock m_clock;
    std::unique_ptr<FrmQuillon4> m_window;
    qint64 m_openedAt = 0;

    QString portsDir() const { return m_config.filePath(QStringLiteral("Quillon/ports")); }
    QAction *action(const char *name) { return m_window->findChild<QAction *>(QString::fromLatin1(name)); }
    template<typename T> T *child(const char *name) { return m_window->findChild<T *>(QString::fromLatin1(name)); }

private slots:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
        m_sim = std::make_unique<SimProcess>(portsDir(), Port);
        QVERIFY(m_sim->start());
        m_settings = std::make_unique<SettingsStore>();
        m_settings->setValue(QStringLiteral("ComPort"), QString::number(Port));
        m_settings->setValue(QStringLiteral("ShowReply"), QStringLiteral("True"));
        m_port = std::make_unique<SystemSerialPort>();
        m_window = std::make_unique<FrmQuillon4>(*m_settings, *m_port, m_clock,
                                                 FrmQuillon4::Options{{}, false, true});
        m_openedAt = QDateTime::currentMSecsSinceEpoch();
        m_window->show();
    }

    void cleanupTestCase()
    {
        m_window.reset();
        m_sim.reset();
    }

    void opensStoredPortAndWakesOnce()
    {
        QVERIFY(m_port->isOpen());
        QCOMPARE(m_port->devicePath(Port), m_sim->ptyPath());
        QVERIFY(m_sim->waitForReceived("WK,00", 6000));
        const auto received = m_sim->received();
        QCOMPARE(received.first().bytes, QByteArray("WK,00")); // the first traffic on the line
        const qint64 delay = received.first().ms - m_openedAt;
        QVERIFY2(delay >= 2000 && delay < 5000, qPrintable(QString::number(delay)));
        QVERIFY(m_sim->waitForReceived("ARC", 8000));
        QVERIFY(m_sim->waitForReceived("ARS", 8000));
        QCOMPARE(countReceived(*m_sim, "WK,00"), 1);
    }

    void repliesReachTheWindow()
    {
        QTRY_COMPARE_WITH_TIMEOUT(m_window->windowTitle(), QStringLiteral("Quillon - QX4 Node Detected"), 10000);
        auto *copyright = child<QLabel>("lblCopyright");
        QTRY_VERIFY_WITH_TIMEOUT(copyright->text().startsWith(QStringLiteral("(C) 2026")), 10000);
        QVERIFY(action("mnuDownloadLogotoRam")->isEnabled());
        QVERIFY(child<QLabel>("lblDiag")->text().startsWith(QStringLiteral("QX Reply: 73,")));

        // A value the window holds but the device does not is put right by
        // the next settings reply, and nothing is echoed back.
        auto *mix = child<QScrollBar>("hscrMix");
        m_window->core().state.panel.mix = 10;
        m_window->sync();
        QCOMPARE(mix->value(), 10);
        const int afl = countReceived(*m_sim, QByteArray("AFL"));
        QTRY_COMPARE_WITH_TIMEOUT(mix->value(), 99, 10000);
        QCOMPARE(countReceived(*m_sim, QByteArray("AFL")), afl);

        // A slider the user moves goes out once, and the device's answer
        // keeps it where the user put it.
        mix->setValue(40);
        QVERIFY(m_sim->waitForReceived(QByteArray("AFL\x3C"), 3000));
        const int polls = countReceived(*m_sim, "ARS");
        QVERIFY(m_sim->waitForReceived("ARS", 10000, polls + 1));
        QTest::qWait(300);
        QCOMPARE(mix->value(), 40);
    }

    void panelControlsReachTheDeviceAndBack()
    {
        auto *hpos = child<QLineEdit>("txtHPOS");
        hpos->setFocus();
        hpos->selectAll();
        QTest::keyClicks(hpos, QStringLiteral("50"));
        QVERIFY(m_sim->waitForReceived("AHP5E", 3000));
        child<QScrollBar>("hscrIntensity")->setValue(30);
        QVERIFY(m_sim->waitForReceived(QByteArray("AIR\x1E"), 3000));

        // A reply with other values moves the controls and sends nothing back.
        const int before = static_cast<int>(m_sim->received().size());
        m_sim->control("send 73" "0A" "14" "28" "5E" "1E" "01" "3030" "0810" "3032");
        QTRY_COMPARE_WITH_TIMEOUT(child<QScrollBar>("hscrFade")->value(), 80, 3000);
        QCOMPARE(child<QScrollBar>("hscrMix")->value(), 89);
        QCOMPARE(child<QScrollBar>("hscrIntensity")->value(), 40);
        QCOMPARE(child<QScrollBar>("hscrTimeOn")->value(), 8);
        QCOMPARE(child<QScrollBar>("hscrTimeInt")->value(), 16);
        QCOMPARE(m_window->core().state.currentSlot, 2);
        QTest::qWait(200);
        for (const auto &entry : m_sim->received().mid(before))
            QVERIFY2(entry.bytes == "ARC" || entry.bytes == "ARS", entry.bytes.constData());
    }

    void silenceRunsTheTimeoutCycle()
    {
        m_sim->control("silent on");
        QVERIFY(m_sim->waitForEvent("silent on", 2000));
        const qint64 silentFrom = QDateTime::currentMSecsSinceEpoch();
        // Greyed menus after 20 s without a reply, the port closed after 30 s.
        QTRY_VERIFY_WITH_TIMEOUT(!action("mnuDownloadLogotoRam")->isEnabled(), 26000);
        const int closes = countEvents(*m_sim, "close");
        QVERIFY(m_sim->waitForEvent("close", 15000, closes + 1));
        const qint64 closedAfter = QDateTime::currentMSecsSinceEpoch() - silentFrom;
        QVERIFY2(closedAfter > 20000, qPrintable(QString::number(closedAfter)));
        QCOMPARE(countReceived(*m_sim, "WK,00"), 2); // the re-request's wake-up at 25 s
        // The next request opens the port again.
        const int opens = countEvents(*m_sim, "open");
        QVERIFY(m_sim->waitForEvent("open", 8000, opens + 1));
        m_sim->control("silent off");
        QTRY_VERIFY_WITH_TIMEOUT(action("mnuDownloadLogotoRam")->isEnabled(), 10000);
    }

    void hangUpAndComeBack()
    {
        m_sim->control("hangup 1500");
        QVERIFY(m_sim->waitForEvent("up", 5000));
        // The program finds the new line behind the same port number by itself.
        QTRY_COMPARE_WITH_TIMEOUT(m_port->devicePath(Port), m_sim->ptyPath(), 3000);
        const int wakes = countReceived(*m_sim, "WK,00");
        QVERIFY(m_sim->waitForReceived("WK,00", 8000, wakes + 1));
        QTRY_VERIFY_WITH_TIMEOUT(m_window->core().state.txtComColour == Indicator::Green, 10000);
        QVERIFY(action("mnuDownloadLogotoRam")->isEnabled());
    }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
