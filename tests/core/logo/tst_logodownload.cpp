// SPDX-License-Identifier: GPL-3.0-or-later
#include "bitmapmaker.h"
#include "corefixture.h"

#include "device_link/protocol.h"
#include "logo/logodownload.h"
#include "logo/logofilewriter.h"
#include "panel/panelvalues.h"

#include <QFile>
#include <QTest>

// The download's exact traffic and its waits, tick by tick.
class TestLogoDownload : public QObject
{
    Q_OBJECT

    std::unique_ptr<CoreFixture> f;
    QuillonCore &core() { return *f->core; }
    static QByteArray line(char byte) { return QByteArray(32, byte); }

    // Ticks until the download has ended; returns the ticks it took.
    int finish()
    {
        int ticks = 0;
        for (; core().download.running() && ticks < 1000; ++ticks)
            f->ticks(1);
        return ticks;
    }
    int runDownload()
    {
        f->port.writes.clear();
        core().download.start();
        return finish();
    }
    // The 64 lines of the logo set up in init(): only row 63 set, sent 33rd.
    static void verifyLines(const QList<QByteArray> &lines)
    {
        QCOMPARE(lines.size(), 64);
        for (int i = 0; i < 64; ++i)
            QCOMPARE(lines[i], line(i == 32 ? '\xFF' : '\0'));
    }

private slots:
    void init()
    {
        f = std::make_unique<CoreFixture>();
        f->startConnected();
        core().panel.setFade(40);
        // A 64-line logo whose top line (row 63) is all set.
        for (int k = 0; k < 32; ++k)
            core().state.logos[1].bytes[static_cast<size_t>(63 * 32 + k)] = 0xFF;
    }

    // With TAKE off: TAKE is pressed first and left on (the stream with
    // TAKE on and the negative one: tst_cli).
    void fullStream()
    {
        const QByteArray fr0("AFR\0", 4), fr60("AFR\x3C", 4);
        QCOMPARE(runDownload(), 12 + 10 + 10 + 2 + 5 + 12 + 6);
        const QList<QByteArray> w = f->port.writes;
        QCOMPARE(w.mid(0, 5), (QList<QByteArray>{"ARS", "ATT", fr0, "AT0", "ALD"}));
        verifyLines(w.mid(5, 64));
        QCOMPARE(w.mid(69), (QList<QByteArray>{fr60, fr60}));
        QVERIFY(!core().state.transferBusy);
        QVERIFY(!core().reporter.progressVisible());
        QVERIFY(core().state.panel.takeOn);
    }

    // The selected button's slot goes, with its own height whatever file
    // was read last: a 64-line file beside a 32-line one (sent in both
    // fields), and a 32-line slot after an upload filled all 64 lines.
    void eachSlotKeepsItsOwnHeight_data()
    {
        QTest::addColumn<int>("slot");
        QTest::addColumn<bool>("upload");
        QTest::addColumn<int>("height");
        QTest::newRow("64-line file, a 32-line file read after it") << 2 << false << 64;
        QTest::newRow("32-line file") << 1 << false << 32;
        QTest::newRow("upload into a slot whose file had 32 lines") << 1 << true << 64;
    }
    void eachSlotKeepsItsOwnHeight()
    {
        QFETCH(int, slot);
        QFETCH(bool, upload);
        QFETCH(int, height);
        for (const int n : {2, 1}) { // read into slot 2 (64 lines), then slot 1 (32)
            QString name = f->dir.filePath(QStringLiteral("slot%1.bmp").arg(n));
            QFile file(name);
            QVERIFY(file.open(QIODevice::WriteOnly)
                    && file.write(BitmapMaker{.height = n == 1 ? 32 : 64, .seed = 0}.bytes()) > 0);
            file.close();
            core().state.currentSlot = n;
            QVERIFY(!core().logoFiles.readFile(name));
        }
        if (upload) {
            LogoBitmap uploaded;
            uploaded.assign(BitmapMaker{}.pixels());
            core().upload.takeStream(QByteArray(2, '\0') + "SD" + LogoFileWriter::qx1Bytes(uploaded, false));
            QCOMPARE(core().state.viewHeight[1], 64);
        }
        core().state.selectedSlotButton = slot;
        core().state.currentSlot = 3;
        runDownload();
        QCOMPARE(core().state.currentSlot, slot);
        const QList<QByteArray> lines = f->port.writes.mid(5, 64);
        for (int i = 0; i < 64; ++i) {
            // Rows hold their number (plus one when uploaded), the top line first.
            const int row = height == 32 ? 31 - i % 32 : i < 32 ? 62 - 2 * i : 127 - 2 * i;
            QCOMPARE(lines[i], line(static_cast<char>(row + (upload ? 1 : 0))));
        }
    }

    void refusals()
    {
        const auto refused = [this](const QString &panel) {
            core().reporter.closePanel();
            runDownload();
            QVERIFY(f->port.writes.isEmpty());
            QVERIFY(!core().state.transferBusy);
            const Reporter &r = core().reporter;
            QCOMPARE(r.panelVisible() ? r.panelTitle() + QStringLiteral(": ") + r.panelText() : QString(),
                     panel);
        };
        core().state.selectedSlotButton = 5;
        refused(QStringLiteral("No Logo: No logo was selected for download"));
        core().state.selectedSlotButton = 2;
        core().link.closePort();
        core().state.comPort = 0;
        refused(QStringLiteral("Communication Error!: No Valid COM Port Selected"));
        core().state.portReady = false;
        refused(QString()); // quietly
    }

    // Between "ALD" and the lines the device takes every byte as logo data:
    // a slider, TAKE and the NVRAM save asked for then go out after the
    // 64 lines, in order. A second download is refused meanwhile.
    void commandsWaitForTheLogoLines()
    {
        f->port.writes.clear();
        core().download.start();
        while (!f->port.writes.contains("ALD"))
            f->ticks(1);
        core().panel.setMix(50);
        core().ops.toggleTake();
        core().download.storeInNvram();
        core().download.start();
        QCOMPARE(core().reporter.panelTitle(), QStringLiteral("Download Running"));
        QCOMPARE(f->port.writes.last(), "ALD");
        finish();
        const QList<QByteArray> w = f->port.writes;
        const qsizetype at = w.indexOf("ALD") + 1;
        verifyLines(w.mid(at, 64));
        const QByteArray mix = "AFL" + Protocol::byte(PanelValues::mixByte(50));
        QCOMPARE(w.mid(at + 64, 3), (QList<QByteArray>{mix, "ATT", "ASI"}));
        QCOMPARE(w.count("ARS"), 1);
        // After the lines nothing waits any more.
        f->port.writes.clear();
        core().ops.toggleTake();
        QCOMPARE(f->port.writes, QList<QByteArray>{"ATT"});
    }

    void nvramSaveShowsThreeSecondsOfProgress()
    {
        f->port.writes.clear();
        core().download.storeInNvram();
        QCOMPARE(f->port.writes, QList<QByteArray>{"ASI"});
        f->ticks(60);
        QVERIFY(core().reporter.progressVisible());
        QCOMPARE(core().reporter.progressValue(), 50);
        // A download asked for meanwhile is no second download: it starts
        // when the progress has ended.
        core().download.start();
        QVERIFY(!core().reporter.panelVisible());
        QVERIFY(!f->port.writes.contains("ARS"));
        f->ticks(60);
        QVERIFY(f->port.writes.contains("ARS"));
        QVERIFY(core().reporter.progressVisible());
        finish();
        QCOMPARE(f->port.writes.count("ALD"), 1);
        QVERIFY(!core().reporter.progressVisible());
    }
};

QUILLON_TEST_GUILESS_MAIN(TestLogoDownload)
#include "tst_logodownload.moc"
