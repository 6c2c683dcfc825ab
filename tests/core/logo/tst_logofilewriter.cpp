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
        QByteArray fields = LogoFileWriter::qx1Bytes(logo, false); // field order, inverted
        return lead + "SD" + fields;
    }

private slots:
    void qx1AndBitmapBytes()
    {
        LogoBitmap empty;
        QCOMPARE(LogoFileWriter::qx1Bytes(empty, false), QByteArray(2048, '\xFF'));
        QCOMPARE(LogoFileWriter::qx1Bytes(empty, true), QByteArray(2048, '\0'));
        const QByteArray bmp = LogoFileWriter::bmpBytes(empty, false);
        QCOMPARE(bmp.size(), 2110);
        QCOMPARE(bmp.mid(62), QByteArray(2048, '\xFF'));
        QCOMPARE(LogoFileWriter::bmpBytes(empty, true).mid(62), QByteArray(2048, '\0'));

        LogoBitmap corner;
        corner.bytes[0] = 0x80; // bottom-left pixel
        const QByteArray qx1 = LogoFileWriter::qx1Bytes(corner, true);
        QCOMPARE(qx1.indexOf('\x80'), 992); // row 0 ends the odd field
        QCOMPARE(qx1.count('\x80'), 1);
        const QByteArray corneredBmp = LogoFileWriter::bmpBytes(corner, true);
        QCOMPARE(corneredBmp.indexOf('\x80', 62), 62);

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

    void streamDecoding()
    {
        LogoBitmap logo;
        for (size_t i = 0; i < logo.bytes.size(); ++i)
            logo.bytes[i] = static_cast<unsigned char>(i * 7 + i / 32);
        const auto plain = LogoUpload::decode(streamOf(logo));
        QVERIFY(plain);
        QVERIFY(*plain == logo);
        // The marker at the very start with the two spare bytes behind.
        const auto leading = LogoUpload::decode(streamOf(logo, QByteArray()) + "zz");
        QVERIFY(leading && *leading == logo);

        // Data 0x00 is stored 0xFF; the first 32 data bytes are row 62, the
        // 1025th to 1056th row 63.
        QByteArray stream = QByteArray("ab") + "SD" + QByteArray(2048, '\0');
        stream.replace(4, 32, QByteArray(32, '\x11'));
        stream.replace(4 + 1024, 32, QByteArray(32, '\x22'));
        const auto rows = LogoUpload::decode(stream);
        QVERIFY(rows);
        QCOMPARE(rows->bytes[62 * 32], 0xEE);
        QCOMPARE(rows->bytes[63 * 32], 0xDD);
        QCOMPARE(rows->bytes[0], 0xFF);

        qsizetype available = 0;
        QVERIFY(!LogoUpload::decode(QByteArray(60, 'x') + "SD" + QByteArray(2038, '\0'), &available));
        QCOMPARE(available, 2038);
        QVERIFY(!LogoUpload::decode(QByteArray(2052, 'x')));
    }

    void savePictureChoosesTheSlotAndReports()
    {
        CoreFixture f;
        f.start();
        QuillonCore &core = *f.core;
        QSignalSpy save(&core.upload, &LogoUpload::saveRequested);
        LogoBitmap logo;
        logo.bytes.fill(0x3C);
        core.state.currentSlot = 9; // model 4
        core.upload.Save_Picture(streamOf(logo));
        QCOMPARE(core.state.currentSlot, 4);
        QVERIFY(core.state.logos[4] == logo);
        QCOMPARE(save.count(), 1);
        QCOMPARE(save.first().first().toInt(), 4);

        const LogoBitmap before = core.state.logos[4];
        core.upload.Save_Picture(QByteArray(60, 'x') + "SD" + QByteArray(2038, '\0'));
        QCOMPARE(core.reporter.panelTitle(), QStringLiteral("Save_Picture"));
        QVERIFY(core.reporter.panelText().endsWith(QStringLiteral(" 02")));
        QVERIFY(core.state.logos[4] == before);

        core.upload.Save_Picture(QByteArray(2060, 'x'));
        QVERIFY(core.reporter.progressVisible());
        QCOMPARE(core.reporter.progressValue(), 0);
        QVERIFY(core.state.logos[4] == before);
        QCOMPARE(save.count(), 1);
    }

    void uploadRequest()
    {
        CoreFixture f;
        f.startConnected();
        f.core->upload.mnuUpLoadLogo_Click();
        QCOMPARE(f.port.writes, QList<QByteArray>{"ARM"});
        QVERIFY(f.core->state.uploadPending);
        QCOMPARE(f.core->link.pollTicks(), 500);

        f.core->slotControl.mnuSetQXx_Click(1);
        f.port.writes.clear();
        f.core->upload.mnuUpLoadLogo_Click();
        QVERIFY(f.port.writes.isEmpty());
        QCOMPARE(f.core->reporter.panelTitle(), QStringLiteral("QX-1: No Can Do"));
    }

    // Any picture made into a logo: the fit, the threshold, the dithering,
    // the inversion, and the file that comes out.
    void importedImages()
    {
        using namespace ImageImport;
        const auto lightCount = [](const LogoBitmap &logo, int height, int x0 = 0, int x1 = 256) {
            int n = 0;
            for (int line = 0; line < height; ++line)
                for (int x = x0; x < x1; ++x)
                    n += logo.pixel(x, line, height) ? 0 : 1; // a clear bit is the logo
            return n;
        };

        // Left half white, right half black, at the logo's size.
        QImage halves(256, 64, QImage::Format_RGB32);
        halves.fill(Qt::black);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 128; ++x)
                halves.setPixel(x, y, qRgb(255, 255, 255));
        Options options;
        LogoBitmap logo = convert(halves, options);
        QCOMPARE(lightCount(logo, 64, 0, 128), 128 * 64);
        QCOMPARE(lightCount(logo, 64, 128, 256), 0);
        options.invert = true;
        logo = convert(halves, options);
        QCOMPARE(lightCount(logo, 64, 0, 128), 0);
        QCOMPARE(lightCount(logo, 64, 128, 256), 128 * 64);

        // A white square: kept whole and centred, stretched, or cropped.
        QImage square(100, 100, QImage::Format_RGB32);
        square.fill(Qt::white);
        options = Options();
        logo = convert(square, options);
        QCOMPARE(lightCount(logo, 64), 64 * 64);
        QCOMPARE(lightCount(logo, 64, 96, 160), 64 * 64);
        options.fit = Fit::Stretch;
        QCOMPARE(lightCount(convert(square, options), 64), 256 * 64);
        options.fit = Fit::Crop;
        options.height = 32;
        QCOMPARE(lightCount(convert(square, options), 32), 256 * 32);

        // Transparent parts are background; a grey at the threshold is light.
        QImage clear(40, 10, QImage::Format_ARGB32);
        clear.fill(Qt::transparent);
        QCOMPARE(lightCount(convert(clear, Options()), 64), 0);
        QImage grey(256, 64, QImage::Format_RGB32);
        grey.fill(qRgb(64, 64, 64));
        options = Options();
        options.threshold = 64;
        QCOMPARE(lightCount(convert(grey, options), 64), 256 * 64);
        options.threshold = 128;
        QCOMPARE(lightCount(convert(grey, options), 64), 0);
        // Dithered, a quarter grey comes out about a quarter light.
        options.dither = true;
        const int dithered = lightCount(convert(grey, options), 64);
        QVERIFY2(qAbs(dithered - 256 * 64 / 4) < 256 * 64 / 50, qPrintable(QString::number(dithered)));

        // The file reads back as the same logo, 32 lines high here.
        options = Options();
        options.height = 32;
        options.fit = Fit::Stretch;
        logo = convert(halves, options);
        const QByteArray file = bmpFile(logo, 32);
        QCOMPARE(file.size(), 62 + 32 * 32);
        QBuffer buffer;
        buffer.setData(file);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        const BitmapFile::Result read = BitmapFile::read(buffer);
        QCOMPARE(read.problem, BitmapFile::Problem::None);
        QCOMPARE(read.height, 32);
        QCOMPARE(read.pixels, logo.toByteArray().left(32 * 32));
        // Shown by any viewer as it was: white where the picture was light.
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
