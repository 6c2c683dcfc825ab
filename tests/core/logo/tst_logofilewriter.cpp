// SPDX-License-Identifier: GPL-3.0-or-later
#include "corefixture.h"
#include "readonlyfolder.h"

#include "logo/bitmapfile.h"
#include "logo/imageimport.h"
#include "logo/logofilewriter.h"
#include "logo/logoupload.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// The .QX1 and bitmap files byte for byte, and the upload stream decoding.
class TestLogoFileWriter : public QObject
{
    Q_OBJECT

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

private slots:
    void qx1AndBitmapBytes()
    {
        LogoBitmap empty;
        QCOMPARE(LogoFileWriter::qx1Bytes(empty, false), QByteArray(2048, '\xFF'));
        QCOMPARE(LogoFileWriter::qx1Bytes(empty, true), QByteArray(2048, '\0'));
        const QByteArray bmp = LogoFileWriter::bmpBytes(empty, false);
        QCOMPARE(bmp.mid(62), QByteArray(2048, '\xFF'));
        QCOMPARE(LogoFileWriter::bmpBytes(empty, true).mid(62), QByteArray(2048, '\0'));

        LogoBitmap corner;
        corner.bytes[0] = 0x80; // bottom-left pixel
        const QByteArray qx1 = LogoFileWriter::qx1Bytes(corner, true);
        QCOMPARE(qx1.indexOf('\x80'), 992); // row 0 ends the odd field
        QCOMPARE(qx1.count('\x80'), 1);
        QCOMPARE(LogoFileWriter::bmpBytes(corner, true).indexOf('\x80', 62), 62);

        // "BM", size 2110, offset 62, header 40, 256 x 64, 1 plane, 1 bit,
        // 24 bytes of zeros, palette black and white.
        const QByteArray header = QByteArray::fromHex("424d3e0800000000"
                                                      "00003e0000002800"
                                                      "0000000100004000"
                                                      "000001000100")
                                  + QByteArray(28, '\0') + QByteArray::fromHex("ffffff00");
        QCOMPARE(bmp.left(62), header);
    }

    void writingReplacesWholeFilesAndKeepsThemOnFailure()
    {
        CoreFixture f;
        f.start();
        f.core->state.logos[1].bytes.fill(0x0F);
        const QString qx1 = f.dir.filePath(QStringLiteral("logo.QX1"));
        QFile old(qx1);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(5000, 'x'));
        old.close();
        QVERIFY(f.core->writer.write(qx1, false));
        QCOMPARE(readAll(qx1), QByteArray(2048, '\xF0'));
        const QString bmp = f.dir.filePath(QStringLiteral("logo.bmp"));
        QVERIFY(f.core->writer.write(bmp + QLatin1Char(' '), true));
        QCOMPARE(readAll(bmp).size(), 2110);

        // Nothing for an empty name; a folder that does not exist fails and
        // is reported, and the earlier file is untouched.
        QVERIFY(!f.core->writer.write(QString(), true));
        QVERIFY(!f.core->reporter.panelVisible());
        QVERIFY(!f.core->writer.write(f.dir.filePath(QStringLiteral("no/such/folder/x.bmp")), true));
        QCOMPARE(f.core->reporter.panelTitle(), QStringLiteral("mnuSaveLogoDisk"));
        QVERIFY(!f.core->reporter.progressVisible());
        QCOMPARE(readAll(qx1), QByteArray(2048, '\xF0'));

        // In a folder that takes no new file, a file there is written in place.
        {
            const ReadOnlyFolder closed(f.dir.path());
            if (!closed.refusesNewFiles())
                QSKIP("this folder cannot be closed to new files here");
            f.core->state.logos[1].bytes.fill(0x00);
            QVERIFY(f.core->writer.write(qx1, false));
        }
        QCOMPARE(readAll(qx1), QByteArray(2048, '\xFF'));
    }

    // The upload stream decodes to what qx1Bytes (pinned above) encodes,
    // into the slot the model has, and the picture is offered for saving.
    void savePictureChoosesTheSlotAndReports()
    {
        CoreFixture f;
        f.start();
        QuillonCore &core = *f.core;
        QSignalSpy save(&core.upload, &LogoUpload::saveRequested);
        LogoBitmap logo;
        for (size_t i = 0; i < logo.bytes.size(); ++i)
            logo.bytes[i] = static_cast<unsigned char>(i * 7 + i / 32);
        // The marker may also come first, with the two spare bytes behind.
        const auto leading = LogoUpload::decode(streamOf(logo, QByteArray()) + "zz");
        QVERIFY(leading && *leading == logo);
        core.state.currentSlot = 9; // model 4
        core.upload.takeStream(streamOf(logo));
        QCOMPARE(core.state.currentSlot, 4);
        QVERIFY(core.state.logos[4] == logo);
        QCOMPARE(save.count(), 1);
        QCOMPARE(save.first().first().toInt(), 4);

        // Too few bytes behind the marker, or no marker: reported, the slot kept.
        core.upload.takeStream(QByteArray(60, 'x') + "SD" + QByteArray(2038, '\0'));
        QCOMPARE(core.reporter.panelTitle(), QStringLiteral("Save_Picture"));
        QCOMPARE(core.reporter.panelText(),
                 QStringLiteral("The logo stream holds only 2038 of 2048 bytes after its marker. 02"));
        QVERIFY(core.state.logos[4] == logo);

        core.upload.takeStream(QByteArray(2060, 'x'));
        QVERIFY(core.reporter.progressVisible());
        QCOMPARE(core.reporter.progressValue(), 0);
        QVERIFY(core.state.logos[4] == logo);
        QCOMPARE(save.count(), 1);
    }

    // A one-logo model has nothing to upload (the "ARM" itself: tst_cli).
    void uploadRefusedForOneLogo()
    {
        CoreFixture f;
        f.startConnected();
        f.core->slotControl.chooseModel(1);
        f.port.writes.clear();
        f.core->upload.request();
        QVERIFY(f.port.writes.isEmpty());
        QCOMPARE(f.core->reporter.panelTitle(), QStringLiteral("QX-1: No Can Do"));
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
        const auto options = [](bool invert, int threshold = 128, Fit fit = Options().fit, int height = 64) {
            return Options{height, fit, false, threshold, invert};
        };
        QImage halves = solid(256, 64, Qt::black); // left half white
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 128; ++x)
                halves.setPixel(x, y, qRgb(255, 255, 255));
        QCOMPARE(light(halves, Options(), 0, 128), 128 * 64);
        QCOMPARE(light(halves, Options(), 128, 256), 0);
        QCOMPARE(light(halves, options(true), 0, 128), 0);
        QCOMPARE(light(halves, options(true), 128, 256), 128 * 64);
        // A white square: kept whole and centred, stretched, or cropped.
        const QImage square = solid(100, 100, Qt::white);
        QCOMPARE(light(square, Options()), 64 * 64);
        QCOMPARE(light(square, Options(), 96, 160), 64 * 64);
        QCOMPARE(light(square, options(false, 128, Fit::Stretch)), 256 * 64);
        QCOMPARE(light(square, options(false, 128, Fit::Crop, 32)), 256 * 32);
        // Transparent parts are background; a grey at the threshold is light.
        QCOMPARE(light(solid(40, 10, Qt::transparent), Options()), 0);
        const QImage grey = solid(256, 64, qRgb(64, 64, 64));
        QCOMPARE(light(grey, options(false, 64)), 256 * 64);
        QCOMPARE(light(grey, options(false, 65)), 0);
        // Dithered, a quarter grey comes out about a quarter light.
        Options dither;
        dither.dither = true;
        QVERIFY2(qAbs(light(grey, dither) - 256 * 64 / 4) < 256 * 64 / 50, "dithered");

        // The file reads back as the same logo, 32 lines high here, and shows
        // white where the picture was light.
        const LogoBitmap logo = convert(halves, options(false, 128, Fit::Stretch, 32));
        const QByteArray file = bmpFile(logo, 32);
        QBuffer buffer;
        buffer.setData(file + QByteArray(1000, 'x')); // the reader stops at the logo's end
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        const BitmapFile::Result read = BitmapFile::read(buffer);
        QCOMPARE(read.problem, BitmapFile::Problem::None);
        QCOMPARE(read.pixels, logo.toByteArray().left(32 * 32));
        QCOMPARE(buffer.pos(), file.size());
        const QImage shown = QImage::fromData(file);
        QCOMPARE(shown.pixel(10, 5), qRgb(255, 255, 255));
        QCOMPARE(shown.pixel(200, 5), qRgb(0, 0, 0));

        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("station.png"));
        QCOMPARE(outputName(source), dir.filePath(QStringLiteral("station-logo.bmp")));
        QFile(dir.filePath(QStringLiteral("station-logo.bmp"))).open(QIODevice::WriteOnly);
        QCOMPARE(outputName(source), dir.filePath(QStringLiteral("station-logo-2.bmp")));
    }
};

QUILLON_TEST_GUILESS_MAIN(TestLogoFileWriter)
#include "tst_logofilewriter.moc"
