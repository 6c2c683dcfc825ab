// SPDX-License-Identifier: GPL-3.0-or-later
#include "corefixture.h"

#include "device_link/commandtable.h"
#include "device_link/trafficrecorder.h"
#include "reporting/reporter.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

// The timers' cycles, driven tick by tick: the start-up wake-up, the periodic
// poll, the reply time-out, the port retry, the reply framing and the error
// panel's hiding.
class TestLinkCycles : public QObject
{
    Q_OBJECT

    std::unique_ptr<CoreFixture> f;
    QuillonCore &core() { return *f->core; }

    // What the next `count` ticks of the link's (or the start-up) timer
    // write, by tick.
    QMap<int, QByteArray> writesOver(int count, bool startUp = false)
    {
        QMap<int, QByteArray> sent;
        for (int tick = 1; tick <= count; ++tick) {
            const qsizetype before = f->port.writes.size();
            startUp ? core().link.wakeUpTick() : f->ticks(1);
            if (f->port.writes.size() > before)
                sent.insert(tick, f->port.writes.last());
        }
        return sent;
    }

private slots:
    void init()
    {
        f = std::make_unique<CoreFixture>();
        f->port.present = {1, 2};
        f->setSetting(QStringLiteral("ComPort"), QStringLiteral("1"));
        f->start();
    }

    // The first opening wakes after 22 ticks, a later one after 21; the
    // poll waits for the wake-up. (Quiet during a download: tst_logofiles.)
    void firstTrafficIsOneWakeupAfter22Ticks()
    {
        f->ticks(300);
        QVERIFY2(f->port.writes.isEmpty(), f->port.wire().constData());
        QCOMPARE(writesOver(50, true), (QMap<int, QByteArray>{{22, "WK,00"}}));
        QVERIFY(core().deviceState.portReady && !core().link.comInitEnabled());
        core().link.openPort();
        QCOMPARE(writesOver(50, true), (QMap<int, QByteArray>{{21, "WK,00"}}));
    }

    void pollAsksCopyrightThenSettingsEvery153Ticks()
    {
        f->wake();
        QCOMPARE(writesOver(204), (QMap<int, QByteArray>{{51, "ARC"}, {102, "ARS"}, {204, "ARC"}}));
    }

    // 600 quiet ticks after the wake-up: a settings request, the menus grey,
    // two more requests around a wake-up, then the port closes and shows red.
    // A reply ends the cycle.
    void silenceRunsTheTimeoutCycle()
    {
        f->wake();
        core().deviceState.transferBusy = true;     // no poll, only the time-out's own traffic
        core().deviceState.transfersEnabled = true; // as a reply left them
        QCOMPARE(writesOver(800), (QMap<int, QByteArray>{{700, "ARS"}}));
        QVERIFY(!core().deviceState.transfersEnabled && core().deviceState.portIndicator == Indicator::Cyan);
        QCOMPARE(writesOver(399), (QMap<int, QByteArray>{{100, "ARS"}, {200, "WK,00"}, {300, "ARS"}}));
        QVERIFY(f->port.isOpen());
        f->ticks(1);
        QVERIFY(!f->port.isOpen() && core().deviceState.portIndicator == Indicator::Red
                && core().link.replyWaitTicks() == 601);
        f->ticks(99); // the next request reopens the port (tst_protocol)
        f->port.receive(QByteArray("S\x01\x02\x03\x04\x05\x00\x00\x00\x01\x01", 11));
        f->ticks(2);
        QVERIFY(core().deviceState.portIndicator == Indicator::Green && core().deviceState.transfersEnabled);
    }

    // A reply is complete after two quiet ticks: pieces with one quiet tick
    // between them join.
    void piecesJoinUnlessTwoTicksPassQuietly()
    {
        f->wake();
        const int count = core().reporter.replyCount().toInt();
        const QByteArray head("s\x01\x02\x03\x04\x05\x00\x00\x00\x01\x01", 11);
        // One quiet tick between the pieces: one reply of 13 bytes.
        f->port.receive(head);
        f->ticks(1);
        f->port.receive("03");
        f->ticks(3);
        QVERIFY(core().reporter.replyCount().toInt() == count + 1 && core().logoState.currentSlot == 3);
        // Two quiet ticks: the head is a reply of its own, and the tail
        // (below the receive threshold) waits in the port for more.
        f->port.receive(head);
        f->ticks(2);
        QCOMPARE(core().reporter.replyCount().toInt(), count + 2);
        f->port.receive("03");
        f->ticks(3);
        QVERIFY(core().reporter.replyCount().toInt() == count + 2 && f->port.bytesWaiting() == 2);
    }

    // An "ARM" nobody answers disarms the upload after its wait and says
    // so; the next settings reply is a settings reply again. A stream short
    // of 2051 bytes is reported, not taken (a whole one: tst_faults).
    void uploadWaitsThenTakesOnlyAWholeStream()
    {
        f->wake();
        core().upload.request();
        f->ticks(499);
        QVERIFY(core().link.awaitingLogoStream());
        f->ticks(1);
        QVERIFY(!core().link.awaitingLogoStream());
        QCOMPARE(core().reporter.panelTitle(), QStringLiteral("mnuUpLoadLogo_Click"));
        f->port.receive(QByteArray("s\x0a\x14\x28\x5e\x1e\x01\x00\x00\x08\x10", 11) + "03");
        f->ticks(3);
        QVERIFY(core().panelState.fade == 80 && core().reporter.uploadStatus().isEmpty());

        QSignalSpy stream(&core().link, &DeviceLink::logoStreamReceived);
        core().link.expectLogoStream(500);
        f->port.receive(QByteArray(1900, 'L'));
        f->ticks(21);
        QCOMPARE(core().reporter.uploadStatus(),
                 QStringLiteral("Data stream too short: 1900 Bytes of 2052."));
        QVERIFY(!core().link.awaitingLogoStream() && stream.isEmpty() && f->port.threshold == 11);
    }

    // A 10-byte settings reply (taken: tst_protocol) is reported once a streak.
    void shortSettingsReplyIsTakenAndReportedOnce()
    {
        f->wake();
        const QByteArray whole("S\x0a\x14\x28\x5e\x1e\x01\x00\x00\x08\x10", 11);
        for (const QByteArray &reply : {whole.left(10), whole.left(10), whole, whole.left(10)}) {
            f->port.receive(reply);
            core().link.setPollTicks(2); // below the receive threshold: read by the poll
            f->ticks(3);
        }
        QVERIFY(f->port.isOpen());
        QVERIFY(core().reporter.panelText().count(u"settings reply of 10 bytes"_s) == 2
                && core().reporter.panelTitle() == u"ProcessData"_s);
    }

    // A failing port is reported once a streak (after it opened once, the
    // same failure is news again); a port chosen from the menu is stored
    // even when it fails.
    void portFailuresAreReportedOnceAStreak()
    {
        const auto failures = [this] {
            return core().reporter.panelText().count(
                QStringLiteral("Port Already Open - Port in use - 2 can't be used as a device interface."));
        };
        f->port.failing.insert(2, SerialPort::InUse);
        core().link.choosePort(2);
        core().link.choosePort(2);
        QVERIFY(failures() == 1 && core().deviceState.portIndicator == Indicator::Red);
        QCOMPARE(f->setting(QStringLiteral("ComPort")), QStringLiteral("2"));
        f->port.failing.clear();
        core().link.openPort();
        QVERIFY(f->port.isOpen());
        f->port.failing.insert(2, SerialPort::InUse);
        core().link.openPort();
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
        if (path == 0)
            core().link.choosePort(2);
        else if (path == 1)
            core().link.choosePort(0);
        else if (path == 2)
            core().link.openPort();
        else
            f->ticks(1200);
        QVERIFY(f->port.closes > closes);
        QCOMPARE(f->port.dropped, QByteArray());
    }

    void clockLabelEverySixthTick()
    {
        QStringList shown;
        for (const int ticks : {1, 5, 1}) {
            f->ticks(ticks);
            shown << core().reporter.currentTime();
            f->clock.time = f->clock.time.addSecs(3600); // shown from the sixth tick on
        }
        QCOMPARE(shown, (QStringList{u"9:05:07"_s, u"9:05:07"_s, u"11:05:07"_s}));
    }

    // A full transmit buffer closes the port until the next command. A lost
    // line closes it and says so; a port that is not ready is reopened every
    // 41 ticks until a wake-up makes it ready.
    void lineEventsCloseThePort()
    {
        f->wake();
        emit f->port.commEvent(SerialPort::TransmitBufferFull);
        QVERIFY(!f->port.isOpen());
        QCOMPARE(core().reporter.panelTitle() + core().reporter.panelText(),
                 u"Mscomm1_OnCommTransmit Buffer Full"_s);
        core().link.sendCommand(CommandTable::RetrieveSettings);
        QVERIFY(f->port.isOpen());

        core().reporter.closePanel();
        emit f->port.commEvent(SerialPort::LineLost);
        QVERIFY(!f->port.isOpen() && !core().deviceState.portReady && core().reporter.panelVisible());
        f->port.receive(QByteArray(20, 'x')); // bytes wait in the port while it is not ready
        QCOMPARE(f->port.bytesWaiting(), 20);
        QVERIFY(core().link.rxBuffer().isEmpty());
        const qsizetype opens = f->port.opened.size();
        QList<qsizetype> reopened;
        for (const int ticks : {41, 40, 1}) {
            f->ticks(ticks);
            reopened << f->port.opened.size() - opens;
        }
        QCOMPARE(reopened, (QList<qsizetype>{1, 1, 2}));
        f->wake();
        QVERIFY(core().deviceState.portReady);
    }

    // The traffic window's recorder: nothing while it is not recording,
    // then every write and every reply, timed, within its line limit.
    // (A written line, pausing and saving: tst_frmquillon4.)
    void trafficRecorder()
    {
        TrafficRecorder recorder(core().link, f->clock);
        f->wake();
        QVERIFY(recorder.lines().empty());

        recorder.setRecording(true);
        core().link.sendCommand(CommandTable::RetrieveSettings);
        f->port.receive(QByteArray("s\x00\x32\x63\x5E\x1E\x01\x30\x30\x14\x28", 11) + "01");
        f->ticks(3);
        QCOMPARE(recorder.lines().size(), size_t(2)); // the written line: tst_frmquillon4
        QCOMPARE(TrafficRecorder::format(recorder.lines()[1]),
                 QStringLiteral("09:05:07.000  RX  73 00 32 63 5E 1E 01 30 30 14 28 30 31  s.2c^..00.(01"));

        for (int i = 0; i < TrafficRecorder::MaxLines + 10; ++i)
            core().link.writeText(QByteArray::number(i));
        QCOMPARE(recorder.lines().size(), size_t(TrafficRecorder::MaxLines));
        QCOMPARE(recorder.lines().back().bytes, QByteArray::number(TrafficRecorder::MaxLines + 9));

        const TrafficRecorder::Line stream{f->clock.time, false, QByteArray(300, 'A')};
        QVERIFY(TrafficRecorder::format(stream).endsWith(QStringLiteral("AAAA ... (300 bytes)")));
        QVERIFY(!recorder.save(f->dir.filePath(QStringLiteral("no/such/folder/x.txt"))).isEmpty());
    }

    // The error panel: reports pile up and hide five seconds after the last
    // one (the latest title and OK: tst_frmquillon4's report rows).
    void errorPanelPilesUpAndHides()
    {
        Reporter r;
        r.ReportError(QStringLiteral("first"), QStringLiteral("StartCom 02"));
        for (int i = 0; i < 160; ++i) // four seconds later
            r.tick();
        r.ReportError(QStringLiteral("second"), QStringLiteral("SendCom"));
        QCOMPARE(r.panelText(), QStringLiteral("first\r\nsecond"));
        for (int i = 0; i < 199; ++i)
            r.tick();
        QVERIFY(r.panelVisible());
        r.tick();
        QVERIFY(!r.panelVisible());
        r.ReportError(QStringLiteral("third"), QStringLiteral("RecvData"));
        QCOMPARE(r.panelText(), QStringLiteral("third"));
    }
};

QUILLON_TEST_GUILESS_MAIN(TestLinkCycles)
#include "tst_linkcycles.moc"
