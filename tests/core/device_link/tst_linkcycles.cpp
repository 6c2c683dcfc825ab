// SPDX-License-Identifier: GPL-3.0-or-later
#include "corefixture.h"

#include "device_link/commandtable.h"
#include "device_link/trafficrecorder.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// The timers' cycles, driven tick by tick: the start-up wake-up, the periodic
// poll, the reply time-out, the port retry and the reply framing.
class TestLinkCycles : public QObject
{
    Q_OBJECT

    std::unique_ptr<CoreFixture> f;
    QuillonCore &core() { return *f->core; }

    // Ticks until the next write, returning the tick count it took.
    int ticksUntilWrite(int limit)
    {
        const qsizetype before = f->port.writes.size();
        for (int i = 1; i <= limit; ++i) {
            f->ticks(1);
            if (f->port.writes.size() > before)
                return i;
        }
        return -1;
    }

private slots:
    void init()
    {
        f = std::make_unique<CoreFixture>();
        f->port.present = {1, 2};
        f->setSetting(QStringLiteral("ComPort"), QStringLiteral("1"));
        f->start();
    }

    void firstTrafficIsOneWakeupAfter22Ticks()
    {
        QVERIFY(f->port.writes.isEmpty());
        QVERIFY(core().link.comInitEnabled());
        QSignalSpy timer(&core().link, &DeviceLink::comInitTimerChanged);
        for (int i = 1; i <= 21; ++i)
            core().link.tmrComInit_Timer();
        QVERIFY(f->port.writes.isEmpty());
        core().link.tmrComInit_Timer();
        QCOMPARE(f->port.writes, QList<QByteArray>{"WK,00"});
        QVERIFY(core().state.portReady);
        QVERIFY(!core().link.comInitEnabled());
        QCOMPARE(timer.count(), 1);

        // A later opening wakes after 21 ticks.
        core().link.StartCom();
        for (int i = 1; i <= 20; ++i)
            core().link.tmrComInit_Timer();
        QCOMPARE(f->port.writes.size(), 1);
        core().link.tmrComInit_Timer();
        QCOMPARE(f->port.writes.size(), 2);
    }

    void wakeupWaitsForADownload()
    {
        core().state.transferBusy = true;
        for (int i = 0; i < 50; ++i)
            core().link.tmrComInit_Timer();
        QVERIFY(f->port.writes.isEmpty());
        core().state.transferBusy = false;
        f->wake();
        QCOMPARE(f->port.writes, QList<QByteArray>{"WK,00"});
    }

    void pollAsksCopyrightThenSettingsEvery153Ticks()
    {
        f->wake();
        f->port.writes.clear();
        // Keep replies coming so the time-out stays out of the way.
        QCOMPARE(ticksUntilWrite(200), 51);
        QCOMPARE(f->port.writes.last(), QByteArray("ARC"));
        QCOMPARE(ticksUntilWrite(200), 51);
        QCOMPARE(f->port.writes.last(), QByteArray("ARS"));
        QCOMPARE(ticksUntilWrite(200), 102);
        QCOMPARE(f->port.writes.last(), QByteArray("ARC"));
    }

    void pollStaysQuietUntilReadyAndDuringDownload()
    {
        f->ticks(300);
        QVERIFY2(f->port.writes.isEmpty(), f->port.wire().constData());
        f->wake();
        core().state.transferBusy = true;
        f->port.writes.clear();
        f->ticks(300);
        QVERIFY(f->port.writes.isEmpty());
    }

    void silenceRunsTheTimeoutCycle()
    {
        f->wake();
        core().state.transferBusy = true; // no poll, only the time-out's own traffic
        f->port.writes.clear();
        QMap<int, QByteArray> sent;
        int closedAt = -1;
        bool greyAt800 = false;
        for (int tick = 1; tick <= 1200; ++tick) {
            const qsizetype before = f->port.writes.size();
            const bool wasOpen = f->port.isOpen();
            f->ticks(1);
            if (f->port.writes.size() > before)
                sent.insert(tick, f->port.writes.last());
            if (tick == 800)
                greyAt800 = !core().state.deviceMenusEnabled && core().state.txtComColour == Indicator::Cyan;
            if (wasOpen && !f->port.isOpen())
                closedAt = tick;
        }
        const QMap<int, QByteArray> expected{{700, "ARS"}, {900, "ARS"}, {1000, "WK,00"}, {1100, "ARS"}};
        QCOMPARE(sent, expected);
        QVERIFY(greyAt800);
        QCOMPARE(closedAt, 1200);
        QCOMPARE(core().state.txtComColour, Indicator::Red);
        QCOMPARE(core().link.replyWaitTicks(), 601);
        // The cycle repeats: "ARS" again 99 ticks later, and that reopens the port.
        f->ticks(99);
        QVERIFY(f->port.isOpen());
        QCOMPARE(f->port.writes.last(), QByteArray("ARS"));
    }

    void aReplyResetsTheTimeout()
    {
        f->wake();
        f->ticks(650);
        f->port.receive(QByteArray("S\x01\x02\x03\x04\x05\x00\x00\x00\x01\x01", 11));
        f->ticks(2);
        QCOMPARE(core().link.replyWaitTicks(), 1);
        QCOMPARE(core().state.txtComColour, Indicator::Green);
    }

    void notReadyPortIsReopenedEvery41Ticks()
    {
        core().state.portReady = false;
        core().link.closePort();
        const qsizetype opens = f->port.opened.size();
        f->ticks(41);
        QCOMPARE(f->port.opened.size(), opens + 1);
        f->ticks(40);
        QCOMPARE(f->port.opened.size(), opens + 1);
        f->ticks(1);
        QCOMPARE(f->port.opened.size(), opens + 2);
    }

    void replyIsCompleteAfterTwoQuietTicks()
    {
        f->wake();
        f->port.receive("S\x01\x02\x03\x04");
        QCOMPARE(core().link.rxBuffer(), QByteArray()); // below the receive threshold: still in the port
        f->port.receive(QByteArray("\x05\x00\x00\x00\x01\x01", 6));
        QCOMPARE(core().link.rxBuffer().size(), 11);
        QCOMPARE(core().link.pollTicks(), 2);
        const QString count = core().reporter.replyCount();
        f->ticks(1);
        QCOMPARE(core().reporter.replyCount(), count);
        f->ticks(1);
        QCOMPARE(core().reporter.replyCount().toInt(), count.toInt() + 1);
        QVERIFY(core().link.rxBuffer().isEmpty());
    }

    void piecesJoinUnlessTwoTicksPassQuietly()
    {
        f->wake();
        const int count = core().reporter.replyCount().toInt();
        const QByteArray head("s\x01\x02\x03\x04\x05\x00\x00\x00\x01\x01", 11);
        // One quiet tick between the pieces: one reply of 13 bytes.
        f->port.receive(head);
        f->ticks(1);
        f->port.receive("03");
        f->ticks(1);
        QCOMPARE(core().link.rxBuffer().size(), 13);
        f->ticks(2);
        QCOMPARE(core().reporter.replyCount().toInt(), count + 1);
        QCOMPARE(core().state.currentSlot, 3);
        // Two quiet ticks: the head is a reply of its own, and the tail
        // (below the receive threshold) waits in the port for more.
        f->port.receive(head);
        f->ticks(2);
        QCOMPARE(core().reporter.replyCount().toInt(), count + 2);
        f->port.receive("03");
        f->ticks(3);
        QCOMPARE(core().reporter.replyCount().toInt(), count + 2);
        QCOMPARE(f->port.bytesWaiting(), 2);
    }

    void bytesWaitWhileNotReady()
    {
        core().state.portReady = false;
        f->port.receive(QByteArray(20, 'x'));
        QCOMPARE(f->port.bytesWaiting(), 20);
        QVERIFY(core().link.rxBuffer().isEmpty());
    }

    void shortLogoStreamIsReported()
    {
        f->wake();
        QSignalSpy stream(&core().link, &DeviceLink::logoStreamReceived);
        core().link.armUpload(500);
        f->port.receive(QByteArray(1900, 'L'));
        f->ticks(21);
        QCOMPARE(core().reporter.uploadStatus(),
                 QStringLiteral("Data stream too short: 1900 Bytes of 2052."));
        QVERIFY(!core().state.uploadPending);
        QCOMPARE(stream.count(), 0);
        QCOMPARE(f->port.threshold, 11);

        core().link.armUpload(500);
        f->port.receive(QByteArray(2051, 'L'));
        f->ticks(21);
        QCOMPARE(stream.count(), 1);
        QCOMPARE(stream.first().first().toByteArray().size(), 2051);
    }

    // An "ARM" nobody answers disarms the upload after its wait and says
    // so; the next settings reply is a settings reply again.
    void unansweredUploadDisarms()
    {
        f->wake();
        core().upload.mnuUpLoadLogo_Click();
        f->ticks(499);
        QVERIFY(core().state.uploadPending);
        f->ticks(1);
        QVERIFY(!core().state.uploadPending);
        QCOMPARE(core().reporter.panelTitle(), QStringLiteral("mnuUpLoadLogo_Click"));
        const int count = core().reporter.replyCount().toInt();
        f->port.receive(QByteArray("s\x0a\x14\x28\x5e\x1e\x01\x00\x00\x08\x10"
                                   "03",
                                   13));
        f->ticks(3);
        QCOMPARE(core().reporter.replyCount().toInt(), count + 1);
        QCOMPARE(core().state.panel.fade, 80);
        QVERIFY(core().reporter.uploadStatus().isEmpty());
    }

    // A 10-byte settings reply is taken, and reported once a streak.
    void shortSettingsReplyIsTakenAndReportedOnce()
    {
        f->wake();
        const QByteArray whole("S\x0a\x14\x28\x5e\x1e\x01\x00\x00\x08\x10", 11);
        for (const QByteArray &reply : {whole.left(10), whole.left(10), whole, whole.left(10)}) {
            f->port.receive(reply);
            core().link.setPollTicks(2); // below the receive threshold: read by the poll
            f->ticks(3);
        }
        QCOMPARE(core().state.panel.fade, 80);
        QVERIFY(f->port.isOpen());
        QCOMPARE(core().reporter.panelText().count(QStringLiteral("settings reply of 10 bytes")), 2);
        QCOMPARE(core().reporter.panelTitle(), QStringLiteral("ProcessData"));
    }

    // A failing port is reported once a streak: after it opened once, the
    // same failure is news again.
    void portFailuresAreReportedOnceAStreak()
    {
        const auto failures
            = [this] { return core().reporter.panelText().count(QStringLiteral("Port Already Open")); };
        f->port.failing.insert(2, SerialPort::InUse);
        core().state.comPort = 2;
        core().link.StartCom();
        core().link.StartCom();
        QCOMPARE(failures(), 1);
        f->port.failing.clear();
        f->port.present.insert(2);
        core().link.StartCom();
        QVERIFY(f->port.isOpen());
        f->port.failing.insert(2, SerialPort::InUse);
        core().link.StartCom();
        QCOMPARE(failures(), 2);
    }

    // Every close but a lost line lets what was written leave first: the
    // sleep of a port change, the polls before a port search or a reopen,
    // the silence cycle's wake-up.
    void closingLetsWrittenBytesLeave_data()
    {
        QTest::addColumn<int>("path");
        QTest::newRow("port change") << 0;
        QTest::newRow("port search") << 1;
        QTest::newRow("reopen") << 2;
        QTest::newRow("silence cycle") << 3;
    }
    void closingLetsWrittenBytesLeave()
    {
        QFETCH(int, path);
        f->wake();
        f->ticks(60); // a poll
        const int closes = f->port.closes;
        switch (path) {
        case 0:
            core().link.mnuCOMsel_Click(2);
            QVERIFY(f->port.wire().startsWith("WK,00ARCSP"));
            break;
        case 1:
            core().link.mnuCOMsel_Click(0);
            break;
        case 2:
            core().link.StartCom();
            break;
        default:
            f->ticks(1200);
            break;
        }
        QVERIFY(f->port.closes > closes);
        QCOMPARE(f->port.dropped, QByteArray());
    }

    void clockLabelEverySixthTick()
    {
        f->ticks(1);
        QCOMPARE(core().reporter.currentTime(), QStringLiteral("9:05:07"));
        f->clock.time = f->clock.time.addSecs(3600);
        f->ticks(5);
        QCOMPARE(core().reporter.currentTime(), QStringLiteral("9:05:07"));
        f->ticks(1);
        QCOMPARE(core().reporter.currentTime(), QStringLiteral("10:05:07"));
    }

    void lostLineClosesAndComesBack()
    {
        f->wake();
        emit f->port.commEvent(SerialPort::LineLost);
        QVERIFY(!f->port.isOpen());
        QVERIFY(!core().state.portReady);
        QVERIFY(core().reporter.panelVisible());
        f->ticks(41);
        QVERIFY(f->port.isOpen());
        f->wake();
        QVERIFY(core().state.portReady);
    }

    void transmitBufferFullClosesUntilNextCommand()
    {
        f->wake();
        emit f->port.commEvent(SerialPort::TransmitBufferFull);
        QVERIFY(!f->port.isOpen());
        QCOMPARE(core().reporter.panelTitle(), QStringLiteral("Mscomm1_OnComm"));
        QCOMPARE(core().reporter.panelText(), QStringLiteral("Transmit Buffer Full"));
        core().link.CmdTree(CommandTable::RetrieveSettings);
        QVERIFY(f->port.isOpen());
    }

    // The traffic window's recorder: nothing while it is not recording,
    // then every write and every reply, timed, within its line limit.
    void trafficRecorder()
    {
        TrafficRecorder recorder(core().link, f->clock);
        f->wake();
        QVERIFY(recorder.lines().empty());

        recorder.setRecording(true);
        core().link.CmdTree(CommandTable::RetrieveSettings);
        f->port.receive(QByteArray("s\x00\x32\x63\x5E\x1E\x01\x30\x30\x14\x28", 11) + "01");
        f->ticks(3);
        QCOMPARE(recorder.lines().size(), size_t(2));
        QCOMPARE(TrafficRecorder::format(recorder.lines()[0]),
                 QStringLiteral("09:05:07.000  TX  41 52 53  ARS"));
        QCOMPARE(TrafficRecorder::format(recorder.lines()[1]),
                 QStringLiteral("09:05:07.000  RX  73 00 32 63 5E 1E 01 30 30 14 28 30 31  s.2c^..00.(01"));

        recorder.setPaused(true);
        core().link.CmdTree(CommandTable::TakeOn);
        recorder.setPaused(false);
        recorder.setRecording(false);
        core().link.CmdTree(CommandTable::TakeOff);
        QCOMPARE(recorder.lines().size(), size_t(2));

        recorder.setRecording(true);
        for (int i = 0; i < TrafficRecorder::MaxLines + 10; ++i)
            core().link.SendCom(QByteArray::number(i));
        QCOMPARE(recorder.lines().size(), size_t(TrafficRecorder::MaxLines));
        QCOMPARE(recorder.lines().back().bytes, QByteArray::number(TrafficRecorder::MaxLines + 9));

        const TrafficRecorder::Line stream{f->clock.time, false, QByteArray(300, 'A')};
        QVERIFY(TrafficRecorder::format(stream).endsWith(QStringLiteral("AAAA ... (300 bytes)")));

        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("traffic.txt"));
        QCOMPARE(recorder.save(file), QString());
        QFile saved(file);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll().count('\n'), TrafficRecorder::MaxLines);
        QVERIFY(!recorder.save(dir.filePath(QStringLiteral("no/such/folder/x.txt"))).isEmpty());
        recorder.clear();
        QVERIFY(recorder.lines().empty());
    }
};

QUILLON_TEST_GUILESS_MAIN(TestLinkCycles)
#include "tst_linkcycles.moc"
