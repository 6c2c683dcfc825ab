// SPDX-License-Identifier: GPL-3.0-or-later
#include "bitmapmaker.h"
#include "corefixture.h"
#include "readonlyfolder.h"

#include "device_link/protocol.h"
#include "logo/imageimport.h"
#include "logo/logodownload.h"
#include "logo/logofilewriter.h"
#include "logo/logoupload.h"
#include "panel/panelvalues.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <climits>

// Reading bitmap files into slots (what is accepted, what goes into the
// slot, and that a refused file changes nothing at all); the .QX1 and
// bitmap files written byte for byte, the upload stream decoding, the
// import of other pictures; the download's exact traffic and its waits,
// tick by tick.
class TestLogoFiles : public QObject
{
    Q_OBJECT

    std::unique_ptr<CoreFixture> f;
    QuillonCore &core() { return *f->core; }

    static QByteArray readAll(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // A stream as the device sends it: lead bytes, "SD", odd field, even
    // field, each byte inverted.
    static QByteArray streamOf(const LogoBitmap &logo, const QByteArray &lead = QByteArray("\x00\x01", 2))
    {
        return lead + "SD" + LogoFileWriter::qx1Bytes(logo, false); // field order, inverted
    }

    QString write(const QString &name, const QByteArray &bytes)
    {
        QFile file(f->dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(file.fileName()));
        return file.fileName();
    }
    bool read(QString name) { return core().logoFiles.readFile(name); }
    // Everything a refused load must leave as it was.
    QStringList snapshot()
    {
        const auto s = static_cast<size_t>(core().logoState.currentSlot);
        return {QString::fromLatin1(core().logoState.logos[s].toByteArray().toHex()),
                core().logoState.slotFile[s],
                core().logoState.logoName[s],
                core().logoState.recentFiles[0],
                f->setting(QStringLiteral("BMPpath1")),
                QString::number(core().logoState.logoHeight[s])};
    }

    // Downloads:
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
        // For the downloads: a 64-line logo whose top line (row 63) is all set.
        core().panel.setFade(40);
        for (int k = 0; k < 32; ++k)
            core().logoState.logos[1].bytes[static_cast<size_t>(63 * 32 + k)] = 0xFF;
    }

    void goodFilesFillTheSlot()
    {
        const BitmapMaker tall;
        QVERIFY(!read(write(QStringLiteral("tall.Bmp"), tall.bytes()) + QLatin1Char(' ')));
        QCOMPARE(core().logoState.logos[1].toByteArray(), tall.pixels());
        QCOMPARE(core().logoState.logoHeight[1], 64);
        QCOMPARE(core().logoState.logoName[1], QStringLiteral("tall.Bmp"));
        QCOMPARE(f->setting(QStringLiteral("BMPpath1")), f->dir.filePath(QStringLiteral("tall.Bmp")));

        // A 32-line file only changes the first 1024 bytes.
        const BitmapMaker shortOne{.height = 32, .seed = 100};
        QVERIFY(!read(write(QStringLiteral("short.bmp"), shortOne.bytes())));
        const QByteArray slot = core().logoState.logos[1].toByteArray();
        QCOMPARE(slot.left(1024), shortOne.pixels());
        QCOMPARE(slot.mid(1024), tall.pixels().mid(1024));
        QCOMPARE(core().logoState.logoHeight[1], 32);

        // The rows follow the palette: at 62 whatever the offset field says,
        // later behind a longer information header.
        for (const BitmapMaker &later :
             {BitmapMaker{.headerSize = 40, .pixelOffset = 1078, .seed = 7},
              BitmapMaker{.headerSize = 108, .seed = 108}, BitmapMaker{.headerSize = 124, .seed = 124}}) {
            QVERIFY(!read(write(QStringLiteral("later.bmp"), later.bytes())));
            QCOMPARE(core().logoState.logos[1].toByteArray(), later.pixels());
        }
    }

    // Wrong shapes, and files cut inside the headers (cut short) or at their
    // end or inside the rows (the rows run past the end: no logo).
    void refusedFilesChangeNothing_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("title");
        const QString shape = QStringLiteral("Read_File-A");
        QTest::newRow("48 high") << BitmapMaker{.height = 48}.bytes() << shape;
        QTest::newRow("128 wide") << BitmapMaker{.width = 128}.bytes() << shape;
        QTest::newRow("8 bit") << BitmapMaker{.bitsPerPixel = 8}.bytes() << shape;
        QTest::newRow("top down") << BitmapMaker{.height = -64, .rows = 64}.bytes() << shape;
        QTest::newRow("most negative height") << BitmapMaker{.height = INT_MIN, .rows = 64}.bytes() << shape;
        QTest::newRow("huge") << BitmapMaker{.width = INT_MAX, .height = INT_MAX, .rows = 64}.bytes()
                              << shape;
        QTest::newRow("header of 12") << BitmapMaker{.headerSize = 12}.bytes() << shape;
        QTest::newRow("header of 39") << BitmapMaker{.headerSize = 39}.bytes() << shape;
        QTest::newRow("header of 4 GB") << BitmapMaker{.headerSize = 0xffffffffU}.bytes() << shape;
        QTest::newRow("rows past the end") << BitmapMaker{.rows = 63}.bytes() << shape;
        QTest::newRow("rows past the end, header of 124")
            << BitmapMaker{.headerSize = 124, .rows = 63}.bytes() << shape;
        const QByteArray whole = BitmapMaker().bytes();
        for (const qsizetype length : {0, 1, 30, 61, 62, 63, 1024 + 62, 2048 + 62 - 1})
            QTest::addRow("cut at %d", int(length))
                << whole.left(length) << (length < 62 ? QStringLiteral("Read_File") : shape);
    }
    void refusedFilesChangeNothing()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, title);
        QVERIFY(!read(write(QStringLiteral("good.bmp"), BitmapMaker().bytes())));
        const QStringList before = snapshot();
        QVERIFY(read(write(QStringLiteral("bad.bmp"), bytes)));
        QCOMPARE(core().reporter.panelTitle(), title);
        if (title.endsWith(QLatin1Char('A')))
            QCOMPARE(core().reporter.panelText(),
                     QStringLiteral("Logo must be a 256x32 or 256x64 Monochrome bitmap!"));
        QCOMPARE(snapshot(), before);
    }

    // Names are checked first; missing files and folders are reported.
    void badNamesAndPaths()
    {
        QVERIFY(read(QStringLiteral("logo.dib")));
        QCOMPARE(core().reporter.panelTitle() + core().reporter.panelText(),
                 QStringLiteral("Read_File-BInvalid File Name or Missing File!"));
        core().reporter.closePanel();
        QVERIFY(read(QStringLiteral("   ")) && !core().reporter.panelVisible());
        // Chosen or stored, a missing file and a folder are reported.
        QVERIFY(read(f->dir.filePath(QStringLiteral("missing.bmp"))));
        QCOMPARE(core().reporter.panelTitle(), QStringLiteral("Read_File"));
        QVERIFY(QDir(f->dir.path()).mkdir(QStringLiteral("folder.bmp")));
        QString folder = f->dir.filePath(QStringLiteral("folder.bmp"));
        QVERIFY(core().logoFiles.readFile(folder, LogoFiles::Origin::Stored));
        QVERIFY(core().reporter.panelText().contains(QStringLiteral("folder")));
        QVERIFY(core().logoState.slotFile[1].isEmpty());
    }

    void recentListMovesAndSaves()
    {
        QStringList paths;
        for (int i = 1; i <= 9; ++i)
            paths << write(QStringLiteral("logo%1.bmp").arg(i), BitmapMaker().bytes());
        for (int i = 0; i < 8; ++i)
            QVERIFY(!read(paths[i]));
        const auto &recent = core().logoState.recentFiles;
        QVERIFY(!read(paths[7])); // the top entry again: nothing moves
        // Entry 5 moves to the top; entries 0 to 4 move down one place.
        QVERIFY(!read(paths[2]));
        const QStringList expected{paths[2], paths[7], paths[6], paths[5],
                                   paths[4], paths[3], paths[1], paths[0]};
        for (int i = 0; i < 8; ++i) {
            QCOMPARE(recent[static_cast<size_t>(i)], expected[i]);
            QCOMPARE(f->setting(QStringLiteral("FileSelect%1").arg(i + 1)), expected[i]);
        }
        // A ninth file drops the last entry.
        QVERIFY(!read(paths[8]));
        QCOMPARE(recent[0], paths[8]);
        QCOMPARE(recent[7], paths[1]);
    }

    void menusChooseTheSlot()
    {
        const QString path = write(QStringLiteral("one.bmp"), BitmapMaker().bytes());
        core().slotControl.chooseModel(1);
        core().logoState.currentSlot = 3;
        core().logoFiles.openChosenFile(path);
        QVERIFY(core().logoState.currentSlot == 1 && core().logoState.slotFile[1] == path);

        // A cancelled dialog is no failure.
        core().logoFiles.openChosenFile(QString());
        QVERIFY(!core().reporter.panelVisible());

        core().logoFiles.openRecent(3); // empty entry
        QCOMPARE(core().reporter.panelTitle() + core().reporter.panelText(),
                 QStringLiteral("MnuRecentFileRead of image file failed."));
    }

    // Negative .QX1 files are not inverted (the bits' order: the upload
    // decoding below; bitmaps: the hash of tst_cli's uploaded bitmap).
    void writingReplacesWholeFilesAndKeepsThemOnFailure()
    {
        QCOMPARE(LogoFileWriter::qx1Bytes(LogoBitmap(), true), QByteArray(2048, '\0'));
        core().logoState.logos[1].bytes.fill(0x0F);
        const QString qx1 = write(QStringLiteral("logo.QX1"), QByteArray(5000, 'x'));
        QVERIFY(core().writer.write(qx1, false));
        QCOMPARE(readAll(qx1), QByteArray(2048, '\xF0'));
        const QString bmp = f->dir.filePath(QStringLiteral("logo.bmp"));
        QVERIFY(core().writer.write(bmp + QLatin1Char(' '), true));
        QCOMPARE(readAll(bmp).mid(62), QByteArray(2048, '\xF0')); // 2110 bytes, inverted

        // Nothing for an empty name; a folder that does not exist fails and
        // is reported, and the earlier file is untouched.
        QVERIFY(!core().writer.write(QString(), true) && !core().reporter.panelVisible());
        QVERIFY(!core().writer.write(f->dir.filePath(QStringLiteral("no/such/folder/x.bmp")), true));
        QCOMPARE(core().reporter.panelTitle(), QStringLiteral("mnuSaveLogoDisk"));
        QVERIFY(!core().reporter.progressVisible());
        QCOMPARE(readAll(qx1), QByteArray(2048, '\xF0'));

        // In a folder that takes no new file, a file there is written in place.
        {
            const ReadOnlyFolder closed(f->dir.path());
            if (!closed.refusesNewFiles())
                QSKIP("this folder cannot be closed to new files here");
            core().logoState.logos[1].bytes.fill(0x00);
            QVERIFY(core().writer.write(qx1, false));
        }
        QCOMPARE(readAll(qx1), QByteArray(2048, '\xFF'));
    }

    // The upload stream decodes to what qx1Bytes (the download's lines) encodes,
    // into the slot the model has, and the picture is offered for saving.
    void uploadChoosesTheSlotAndReports()
    {
        QSignalSpy save(&core().upload, &LogoUpload::saveRequested);
        LogoBitmap logo;
        for (size_t i = 0; i < logo.bytes.size(); ++i)
            logo.bytes[i] = static_cast<unsigned char>(i * 7 + i / 32);
        // The marker may also come first, with the two spare bytes behind.
        const auto leading = LogoUpload::decode(streamOf(logo, QByteArray()) + "zz");
        QVERIFY(leading && *leading == logo);
        core().logoState.currentSlot = 9; // model 4
        core().upload.takeStream(streamOf(logo));
        QVERIFY(core().logoState.logos[4] == logo);
        QCOMPARE(
            (QList<int>{core().logoState.currentSlot, int(save.count()), save.value(0).value(0).toInt()}),
            (QList<int>{4, 1, 4}));

        // Too few bytes behind the marker, or no marker: reported, the slot kept.
        core().upload.takeStream(QByteArray(60, 'x') + "SD" + QByteArray(2038, '\0'));
        QCOMPARE(
            core().reporter.panelTitle() + core().reporter.panelText(),
            QStringLiteral("Save_PictureThe logo stream holds only 2038 of 2048 bytes after its marker. 02"));
        QVERIFY(core().logoState.logos[4] == logo);

        core().upload.takeStream(QByteArray(2060, 'x'));
        QVERIFY(core().reporter.progressVisible() && core().reporter.progressValue() == 0);
        QVERIFY(core().logoState.logos[4] == logo && save.count() == 1);

        // A one-logo model has nothing to upload (the "ARM" itself: tst_cli).
        core().slotControl.chooseModel(1);
        f->port.writes.clear();
        core().upload.request();
        QVERIFY(f->port.writes.isEmpty());
        QCOMPARE(core().reporter.panelTitle(), QStringLiteral("QX-1: No Can Do"));
    }

    // Any picture made into a logo: the fit, the threshold, the dithering,
    // the inversion, and the file that comes out.
    void importedImages()
    {
        using namespace ImageImport;
        const auto solid = [](int width, int height, QColor colour) {
            QImage image(width, height, QImage::Format_ARGB32);
            image.fill(colour);
            return image;
        };
        // Light pixels (clear bits) in lines 0..height, columns x0..x1.
        const auto light = [](const QImage &picture, const Options &o, int x0 = 0, int x1 = 256) {
            const LogoBitmap logo = convert(picture, o);
            int n = 0;
            for (int line = 0; line < o.height; ++line)
                for (int x = x0; x < x1; ++x)
                    n += logo.pixel(x, line, o.height) ? 0 : 1;
            return n;
        };
        QImage halves = solid(256, 64, Qt::black); // left half white
        QPainter(&halves).fillRect(0, 0, 128, 64, Qt::white);
        QCOMPARE(
            (QList<int>{light(halves, Options(), 0, 128), light(halves, Options(), 128, 256),
                        light(halves, {.invert = true}, 0, 128), light(halves, {.invert = true}, 128, 256)}),
            (QList<int>{128 * 64, 0, 0, 128 * 64}));
        // A white square: kept whole and centred, stretched, or cropped.
        const QImage square = solid(100, 100, Qt::white);
        // Transparent parts are background; a grey at the threshold is light.
        const QImage grey = solid(256, 64, qRgb(64, 64, 64));
        QCOMPARE(
            (QList<int>{light(square, Options()), light(square, Options(), 96, 160),
                        light(square, {.fit = Fit::Stretch}), light(square, {.height = 32, .fit = Fit::Crop}),
                        light(solid(40, 10, Qt::transparent), Options()), light(grey, {.threshold = 64}),
                        light(grey, {.threshold = 65})}),
            (QList<int>{64 * 64, 64 * 64, 256 * 64, 256 * 32, 0, 256 * 64, 0}));
        // Dithered, a quarter grey comes out about a quarter light.
        QVERIFY2(qAbs(light(grey, {.dither = true}) - 256 * 64 / 4) < 256 * 64 / 50, "dithered");

        // The file, 32 lines high here, shows white where the picture was
        // light (read back as the same logo: tst_frmquillon4).
        const QImage shown
            = QImage::fromData(bmpFile(convert(halves, {.height = 32, .fit = Fit::Stretch}), 32));
        QVERIFY(shown.size() == QSize(256, 32) && shown.pixel(10, 5) == qRgb(255, 255, 255)
                && shown.pixel(200, 5) == qRgb(0, 0, 0));

        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("station.png"));
        QFile(dir.filePath(QStringLiteral("station-logo.bmp"))).open(QIODevice::WriteOnly);
        QCOMPARE(outputName(source), dir.filePath(QStringLiteral("station-logo-2.bmp")));
    }

    // With TAKE off: TAKE is pressed first and left on (the lines, and the
    // stream with TAKE on and the negative one: tst_cli).
    void fullStream()
    {
        const QByteArray fr0("AFR\0", 4), fr60("AFR\x3C", 4);
        QCOMPARE(runDownload(), 12 + 10 + 10 + 2 + 5 + 12 + 6);
        const QList<QByteArray> w = f->port.writes;
        QCOMPARE(w.mid(0, 5), (QList<QByteArray>{"ARS", "ATT", fr0, "AT0", "ALD"}));
        QCOMPARE(w.mid(69), (QList<QByteArray>{fr60, fr60}));
        QVERIFY(core().panelState.takeOn);
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
            core().logoState.currentSlot = n;
            QVERIFY(!read(write(QStringLiteral("slot%1.bmp").arg(n),
                                BitmapMaker{.height = n == 1 ? 32 : 64, .seed = 0}.bytes())));
        }
        if (upload) {
            LogoBitmap uploaded;
            uploaded.assign(BitmapMaker{}.pixels());
            core().upload.takeStream(streamOf(uploaded));
            QCOMPARE(core().logoState.viewHeight[1], 64);
        }
        core().logoState.selectedSlot = slot;
        core().logoState.currentSlot = 3;
        runDownload();
        QCOMPARE(core().logoState.currentSlot, slot);
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
            QVERIFY(f->port.writes.isEmpty() && !core().deviceState.transferBusy);
            const Reporter &r = core().reporter;
            QCOMPARE(r.panelVisible() ? r.panelTitle() + QStringLiteral(": ") + r.panelText() : QString(),
                     panel);
        };
        core().logoState.selectedSlot = 5;
        refused(QStringLiteral("No Logo: No logo was selected for download"));
        core().logoState.selectedSlot = 2;
        core().link.closePort();
        core().deviceState.comPort = 0;
        refused(QStringLiteral("Communication Error!: No Valid COM Port Selected"));
        core().deviceState.portReady = false;
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
        QVERIFY(core().reporter.panelTitle() == QStringLiteral("Download Running")
                && f->port.writes.last() == "ALD");
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
        core().download.storeInNvram(); // "ASI": tst_cli
        f->ticks(60);
        QVERIFY(core().reporter.progressVisible() && core().reporter.progressValue() == 50);
        // A download asked for meanwhile is no second download: it starts
        // when the progress has ended.
        core().download.start();
        QVERIFY(!core().reporter.panelVisible() && !f->port.writes.contains("ARS"));
        f->ticks(60);
        QVERIFY(f->port.writes.contains("ARS") && core().reporter.progressVisible());
        finish();
        QVERIFY(f->port.writes.count("ALD") == 1 && !core().reporter.progressVisible());
    }
};

QUILLON_TEST_GUILESS_MAIN(TestLogoFiles)
#include "tst_logofiles.moc"
