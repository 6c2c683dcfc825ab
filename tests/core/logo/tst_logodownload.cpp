// SPDX-License-Identifier: GPL-3.0-or-later
#include "bitmapmaker.h"
#include "corefixture.h"

#include "device_link/protocol.h"
#include "logo/logodownload.h"
#include "logo/logofilewriter.h"
#include "panel/panelvalues.h"

#include <QFile>
#include <QTest>

namespace {
QByteArray line(char byte)
{
    return QByteArray(32, byte);
}
} // namespace

// The download's exact traffic and its waits, tick by tick.
class TestLogoDownload : public QObject
{
    Q_OBJECT

    std::unique_ptr<CoreFixture> f;
    QuillonCore &core() { return *f->core; }

    // Runs the download to its end; returns the ticks it took.
    int runDownload()
    {
        f->port.writes.clear();
        core().download.PicToQX();
        int ticks = 0;
        while (core().download.running() && ticks < 1000) {
            f->ticks(1);
            ++ticks;
        }
        return ticks;
    }
    // The writes without the poll's own requests (none run while busy).
    QList<QByteArray> writes() const { return f->port.writes; }

private slots:
    void init()
    {
        f = std::make_unique<CoreFixture>();
        f->startConnected();
        core().panel.hscrFade_Change(40);
        // A 64-line logo whose top line (row 63) is all set.
        for (int k = 0; k < 32; ++k)
            core().state.logos[1].bytes[static_cast<size_t>(63 * 32 + k)] = 0xFF;
    }

    void fullStreamTakeOff()
    {
        QCOMPARE(runDownload(), 12 + 10 + 10 + 2 + 5 + 12 + 6);
        const QList<QByteArray> w = writes();
        QCOMPARE(w.size(), 5 + 64 + 2);
        QCOMPARE(w.mid(0, 5), (QList<QByteArray>{"ARS", "ATT", QByteArray("AFR\0", 4), "AT0", "ALD"}));
        for (int i = 0; i < 64; ++i)
            QCOMPARE(w[5 + i], line(i == 32 ? '\xFF' : '\0'));
        QCOMPARE(w[69], QByteArray("AFR\x3C", 4));
        QCOMPARE(w[70], QByteArray("AFR\x3C", 4));
        QVERIFY(!core().state.transferBusy);
        QVERIFY(!core().reporter.progressVisible());
        QVERIFY(!core().state.busyPointer);
        // The button press left TAKE green until the device says otherwise.
        QVERIFY(core().state.panel.takeOn);
    }

    void takeOnIsRestoredAndNegativeInverts()
    {
        core().state.panel.takeOn = true;
        core().state.panel.negate = true;
        QCOMPARE(runDownload(), 12 + 10 + 10 + 2 + 5 + 12 + 12 + 6);
        const QList<QByteArray> w = writes();
        QCOMPARE(w.mid(0, 4), (QList<QByteArray>{"ARS", QByteArray("AFR\0", 4), "AT0", "ALD"}));
        for (int i = 0; i < 64; ++i)
            QCOMPARE(w[4 + i], line(i == 32 ? '\0' : '\xFF'));
        QCOMPARE(w.mid(68), (QList<QByteArray>{"AT1", QByteArray("AFR\x3C", 4), QByteArray("AFR\x3C", 4)}));
    }

    void thirtyTwoLineLogoSendsItsLinesInBothFields()
    {
        LogoBitmap &logo = core().state.logos[1];
        logo = LogoBitmap();
        for (int row = 0; row < 32; ++row)
            for (int k = 0; k < 32; ++k)
                logo.bytes[static_cast<size_t>(row * 32 + k)] = static_cast<unsigned char>(row);
        core().state.logoHeight[1] = 32;
        runDownload();
        const QList<QByteArray> lines = writes().mid(5, 64);
        for (int i = 0; i < 64; ++i)
            QCOMPARE(lines[i], line(static_cast<char>(31 - i % 32))); // top line first, twice
    }

    // Each slot is sent with its own height, whatever file was read last:
    // a 64-line file beside a 32-line one, and a 32-line slot after an
    // upload filled all 64 lines.
    void eachSlotKeepsItsOwnHeight_data()
    {
        QTest::addColumn<bool>("upload");
        QTest::newRow("64-line file, a 32-line file read after it") << false;
        QTest::newRow("upload into a slot whose file had 32 lines") << true;
    }
    void eachSlotKeepsItsOwnHeight()
    {
        QFETCH(bool, upload);
        const auto read = [&](int slot, int height) {
            BitmapMaker bitmap;
            bitmap.height = height;
            bitmap.seed = 0;
            QString name = f->dir.filePath(QStringLiteral("slot%1.bmp").arg(slot));
            QFile file(name);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bitmap.bytes()) > 0);
            file.close();
            core().state.currentSlot = slot;
            QVERIFY(!core().logoFiles.Read_File(name));
        };
        read(2, 64);
        read(1, 32);
        int slot = 2;
        if (upload) {
            slot = 1;
            core().state.currentSlot = 1;
            LogoBitmap uploaded;
            uploaded.assign(BitmapMaker{}.pixels());
            core().upload.Save_Picture(QByteArray(2, '\0') + "SD"
                                       + LogoFileWriter::qx1Bytes(uploaded, false));
            QCOMPARE(core().state.viewHeight[1], 64);
        }
        core().state.selectedSlotButton = slot;
        runDownload();
        const QList<QByteArray> lines = writes().mid(5, 64);
        for (int i = 0; i < 32; ++i) {
            const char odd = static_cast<char>(62 - 2 * i + (upload ? 1 : 0)), even = odd + 1;
            QCOMPARE(lines[i], line(odd));
            QCOMPARE(lines[32 + i], line(even));
        }
    }

    void theSelectedButtonChoosesTheSlot()
    {
        core().state.logos[2].bytes.fill(0x55);
        core().state.selectedSlotButton = 2;
        core().state.currentSlot = 3;
        runDownload();
        QCOMPARE(writes()[5], line(0x55));
        QCOMPARE(core().state.currentSlot, 2);
    }

    void refusals()
    {
        core().state.selectedSlotButton = 5;
        runDownload();
        QVERIFY(writes().isEmpty());
        QCOMPARE(core().reporter.panelTitle(), QStringLiteral("No Logo"));
        QCOMPARE(core().reporter.panelText(), QStringLiteral("No logo was selected for download"));
        QVERIFY(!core().state.transferBusy);

        core().reporter.cmdErrOK_Click();
        core().state.selectedSlotButton = 2;
        core().link.closePort();
        core().state.comPort = 0;
        runDownload();
        QVERIFY(writes().isEmpty());
        QCOMPARE(core().reporter.panelTitle(), QStringLiteral("Communication Error!"));
        QCOMPARE(core().reporter.panelText(), QStringLiteral("No Valid COM Port Selected"));

        core().reporter.cmdErrOK_Click();
        core().state.portReady = false;
        runDownload();
        QVERIFY(writes().isEmpty());
        QVERIFY(!core().reporter.panelVisible());
        QVERIFY(!core().state.transferBusy);
    }

    void aSecondDownloadIsRefusedWhileOneRuns()
    {
        f->port.writes.clear();
        core().download.PicToQX();
        f->ticks(20);
        core().download.PicToQX();
        QCOMPARE(core().reporter.panelTitle(), QStringLiteral("Download Running"));
        while (core().download.running())
            f->ticks(1);
        QCOMPARE(f->port.writes.count(QByteArray("ALD")), 1);
        QCOMPARE(f->port.writes.count(QByteArray("ARS")), 1);
    }

    void theLineClosingMidwayEndsCleanly()
    {
        f->port.writes.clear();
        core().download.PicToQX();
        f->ticks(25);
        emit f->port.commEvent(SerialPort::LineLost);
        f->port.present.clear(); // and it does not come back
        int ticks = 0;
        while (core().download.running() && ticks++ < 500)
            f->ticks(1);
        QVERIFY(!core().download.running());
        QVERIFY(!core().state.transferBusy);
        QVERIFY(!core().reporter.progressVisible());
    }

    // Between "ALD" and the lines the device takes every byte as logo data:
    // a slider, TAKE and the NVRAM save asked for then go out after the
    // 64 lines, in order.
    void commandsWaitForTheLogoLines()
    {
        f->port.writes.clear();
        core().download.PicToQX();
        while (!f->port.writes.contains("ALD"))
            f->ticks(1);
        core().panel.hscrMix_Change(50);
        core().panel.optTAKE_Click();
        core().download.mnuSaveLogoinNVRAM_Click();
        QCOMPARE(f->port.writes.last(), "ALD");
        while (core().download.running())
            f->ticks(1);
        const QList<QByteArray> w = writes();
        const qsizetype at = w.indexOf("ALD") + 1;
        for (int i = 0; i < 64; ++i)
            QCOMPARE(w[at + i], line(i == 32 ? '\xFF' : '\0'));
        const QByteArray mix = "AFL" + Protocol::byte(PanelValues::mixByte(50));
        QCOMPARE(w.mid(at + 64, 3), (QList<QByteArray>{mix, "ATT", "ASI"}));
        // After the lines nothing waits any more.
        f->port.writes.clear();
        core().panel.optTAKE_Click();
        QCOMPARE(f->port.writes, QList<QByteArray>{"ATT"});
    }

    void nvramSaveShowsThreeSecondsOfProgress()
    {
        f->port.writes.clear();
        core().download.mnuSaveLogoinNVRAM_Click();
        QCOMPARE(f->port.writes, QList<QByteArray>{"ASI"});
        f->ticks(60);
        QVERIFY(core().reporter.progressVisible());
        QCOMPARE(core().reporter.progressValue(), 50);
        // A download asked for meanwhile is no second download: it starts
        // when the progress has ended.
        core().download.PicToQX();
        QVERIFY(!core().reporter.panelVisible());
        QVERIFY(!f->port.writes.contains("ARS"));
        f->ticks(60);
        QVERIFY(f->port.writes.contains("ARS"));
        QVERIFY(core().reporter.progressVisible());
        while (core().download.running())
            f->ticks(1);
        QCOMPARE(f->port.writes.count("ALD"), 1);
        QVERIFY(!core().reporter.progressVisible());
    }

    void pollAndWakeupStayQuietDuringTheDownload()
    {
        core().link.StartCom(); // arms the start-up wake-up again
        f->port.writes.clear();
        core().download.PicToQX();
        for (int i = 0; i < 60; ++i)
            core().link.tmrComInit_Timer();
        while (core().download.running())
            f->ticks(1);
        QVERIFY(!f->port.writes.contains(QByteArray("ARC")));
        QCOMPARE(f->port.writes.count(QByteArray("WK,00")), 0);
        for (int i = 0; i < 30; ++i)
            core().link.tmrComInit_Timer();
        QCOMPARE(f->port.writes.count(QByteArray("WK,00")), 1);
    }
};

QUILLON_TEST_GUILESS_MAIN(TestLogoDownload)
#include "tst_logodownload.moc"
