// SPDX-License-Identifier: GPL-3.0-or-later
#include "bitmapmaker.h"
#include "corefixture.h"

#include "logo/bitmapfile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTest>

// Reading bitmap files into slots: what is accepted, what goes into the
// slot, and that a refused file changes nothing at all.
class TestLogoFiles : public QObject
{
    Q_OBJECT

    std::unique_ptr<CoreFixture> f;
    QuillonCore &core() { return *f->core; }

    QString write(const QString &name, const QByteArray &bytes)
    {
        QString path = f->dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(path));
        file.write(bytes);
        return path;
    }
    bool read(QString name) { return core().logoFiles.Read_File(name); }
    // Everything a refused load must leave as it was.
    struct Snapshot {
        LogoBitmap slot;
        QString slotFile, logoName, recent0, bmpPath;
        int height;
    };
    Snapshot snapshot()
    {
        const auto s = static_cast<size_t>(core().state.currentSlot);
        return {core().state.logos[s],
                core().state.slotFile[s],
                core().state.logoName[s],
                core().state.recentFiles[0],
                f->setting(QStringLiteral("BMPpath1")),
                core().state.logoHeight[s]};
    }
    void verifyUnchanged(const Snapshot &before)
    {
        const Snapshot after = snapshot();
        QVERIFY(after.slot == before.slot);
        QCOMPARE(after.slotFile, before.slotFile);
        QCOMPARE(after.logoName, before.logoName);
        QCOMPARE(after.recent0, before.recent0);
        QCOMPARE(after.bmpPath, before.bmpPath);
        QCOMPARE(after.height, before.height);
    }

private slots:
    void init()
    {
        f = std::make_unique<CoreFixture>();
        f->start();
    }

    void goodFilesFillTheSlot()
    {
        const BitmapMaker tall;
        QVERIFY(!read(write(QStringLiteral("tall.Bmp"), tall.bytes()) + QLatin1Char(' ')));
        QCOMPARE(core().state.logos[1].toByteArray(), tall.pixels());
        QCOMPARE(core().state.logoHeight[1], 64);
        QCOMPARE(core().state.logoName[1], QStringLiteral("tall.Bmp"));
        QCOMPARE(f->setting(QStringLiteral("BMPpath1")), f->dir.filePath(QStringLiteral("tall.Bmp")));

        // A 32-line file only changes the first 1024 bytes.
        BitmapMaker shortOne;
        shortOne.height = 32;
        shortOne.seed = 100;
        QVERIFY(!read(write(QStringLiteral("short.bmp"), shortOne.bytes())));
        const QByteArray slot = core().state.logos[1].toByteArray();
        QCOMPARE(slot.left(1024), shortOne.pixels());
        QCOMPARE(slot.mid(1024), tall.pixels().mid(1024));
        QCOMPARE(core().state.logoHeight[1], 32);

        // The pixel rows always start at offset 62, whatever the header says.
        BitmapMaker offset;
        offset.pixelOffset = 1078;
        offset.seed = 7;
        QVERIFY(!read(write(QStringLiteral("offset.bmp"), offset.bytes())));
        QCOMPARE(core().state.logos[1].toByteArray(), offset.pixels());

        // Behind a longer information header, they start after its palette.
        for (const quint32 size : {108U, 124U}) {
            BitmapMaker later;
            later.headerSize = size;
            later.seed = static_cast<int>(size);
            QVERIFY(!read(write(QStringLiteral("v%1.bmp").arg(size), later.bytes())));
            QCOMPARE(core().state.logos[1].toByteArray(), later.pixels());
        }
    }

    void wrongShapesAreRefused_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("bits");
        QTest::addColumn<uint>("header");
        QTest::addColumn<int>("rows");
        QTest::newRow("48 high") << 256 << 48 << 1 << 40U << 64;
        QTest::newRow("128 wide") << 128 << 64 << 1 << 40U << 64;
        QTest::newRow("8 bit") << 256 << 64 << 8 << 40U << 64;
        QTest::newRow("top down") << 256 << -64 << 1 << 40U << 64;
        QTest::newRow("most negative height") << 256 << int(0x80000000) << 1 << 40U << 64;
        QTest::newRow("huge") << 0x7fffffff << 0x7fffffff << 1 << 40U << 64;
        QTest::newRow("header of 12") << 256 << 64 << 1 << 12U << 64;
        QTest::newRow("header of 39") << 256 << 64 << 1 << 39U << 64;
        QTest::newRow("header of 4 GB") << 256 << 64 << 1 << 0xffffffffU << 64;
        QTest::newRow("rows past the end") << 256 << 64 << 1 << 40U << 63;
        QTest::newRow("rows past the end, header of 124") << 256 << 64 << 1 << 124U << 63;
    }

    void wrongShapesAreRefused()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, bits);
        QFETCH(uint, header);
        QFETCH(int, rows);
        BitmapMaker maker;
        maker.width = width;
        maker.height = height;
        maker.bitsPerPixel = static_cast<quint16>(bits);
        maker.headerSize = header;
        maker.rows = rows;
        QVERIFY(!read(write(QStringLiteral("good.bmp"), BitmapMaker().bytes())));
        const Snapshot before = snapshot();
        QVERIFY(read(write(QStringLiteral("bad.bmp"), maker.bytes())));
        QCOMPARE(core().reporter.panelTitle(), QStringLiteral("Read_File-A"));
        QCOMPARE(core().reporter.panelText(),
                 QStringLiteral("Logo must be a 256x32 or 256x64 Monochrome bitmap!"));
        verifyUnchanged(before);
    }

    void brokenFilesAreReportedAndChangeNothing()
    {
        QVERIFY(!read(write(QStringLiteral("good.bmp"), BitmapMaker().bytes())));
        const Snapshot before = snapshot();
        const QByteArray whole = BitmapMaker().bytes();
        // Cut inside the headers: cut short. At the end of the headers or
        // inside the rows: the rows run past the end, no logo.
        for (qsizetype length : {qsizetype(0), qsizetype(1), qsizetype(30), qsizetype(61), qsizetype(62),
                                 qsizetype(63), qsizetype(1024 + 62), whole.size() - 1}) {
            core().reporter.cmdErrOK_Click();
            QVERIFY(read(write(QStringLiteral("cut.bmp"), whole.left(length))));
            QCOMPARE(core().reporter.panelTitle(),
                     length < 62 ? QStringLiteral("Read_File") : QStringLiteral("Read_File-A"));
            verifyUnchanged(before);
        }
        // Loading clear or set, a missing file and a folder are reported.
        QVERIFY(read(f->dir.filePath(QStringLiteral("missing.bmp"))));
        QCOMPARE(core().reporter.panelTitle(), QStringLiteral("Read_File"));
        QVERIFY(QDir(f->dir.path()).mkdir(QStringLiteral("folder.bmp")));
        core().state.loading = true;
        QVERIFY(read(f->dir.filePath(QStringLiteral("folder.bmp"))));
        core().state.loading = false;
        QVERIFY(core().reporter.panelText().contains(QStringLiteral("folder")));
        verifyUnchanged(before);
    }

    void namesAreCheckedFirst()
    {
        QVERIFY(read(QStringLiteral("logo.dib")));
        QCOMPARE(core().reporter.panelTitle(), QStringLiteral("Read_File-B"));
        QCOMPARE(core().reporter.panelText(), QStringLiteral("Invalid File Name or Missing File!"));
        core().reporter.cmdErrOK_Click();
        QVERIFY(read(QStringLiteral("   ")));
        QVERIFY(!core().reporter.panelVisible());
    }

    void recentListMovesAndSaves()
    {
        QStringList paths;
        for (int i = 1; i <= 9; ++i)
            paths << write(QStringLiteral("logo%1.bmp").arg(i), BitmapMaker().bytes());
        for (int i = 0; i < 8; ++i)
            QVERIFY(!read(paths[i]));
        const auto &recent = core().state.recentFiles;
        QCOMPARE(recent[0], paths[7]);
        QCOMPARE(recent[7], paths[0]);

        // The top entry again: nothing moves.
        QVERIFY(!read(paths[7]));
        QCOMPARE(recent[0], paths[7]);
        QCOMPARE(recent[1], paths[6]);

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

        // While loading, the list stays as it is.
        core().state.loading = true;
        QVERIFY(!read(paths[0]));
        core().state.loading = false;
        QCOMPARE(recent[0], paths[8]);
    }

    void menusChooseTheSlot()
    {
        const QString path = write(QStringLiteral("one.bmp"), BitmapMaker().bytes());
        core().slotControl.mnuSetQXx_Click(1);
        core().state.currentSlot = 3;
        core().logoFiles.mnuOpenLogoFile(path);
        QCOMPARE(core().state.currentSlot, 1);
        QCOMPARE(core().state.slotFile[1], path);

        // A cancelled dialog is no failure.
        core().logoFiles.mnuOpenLogoFile(QString());
        QVERIFY(!core().reporter.panelVisible());

        core().logoFiles.MnuRecentFile(3); // empty entry
        QCOMPARE(core().reporter.panelTitle(), QStringLiteral("MnuRecentFile"));
        QCOMPARE(core().reporter.panelText(), QStringLiteral("Read of image file failed."));
    }

    void startUpLoadsStoredBitmaps()
    {
        CoreFixture g;
        BitmapMaker maker;
        maker.seed = 40;
        QFile file(g.dir.filePath(QStringLiteral("slot2.bmp")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(maker.bytes());
        file.close();
        g.setSetting(QStringLiteral("BMPpath2"), file.fileName());
        g.setSetting(QStringLiteral("BMPpath3"), QStringLiteral("a.bmp")); // too short to be a path
        g.setSetting(QStringLiteral("LogoSelect"), QStringLiteral("4"));
        g.start();
        QCOMPARE(g.core->state.logos[2].toByteArray(), maker.pixels());
        QCOMPARE(g.core->state.currentSlot, 4); // the restored slot, not the last one read
        QVERIFY(g.core->state.logoMenuChecked[4]);
        QVERIFY(g.core->state.recentFiles[0].isEmpty());
        QVERIFY(g.port.writes.isEmpty());
    }

    void readerNeverReadsMoreThanALogo()
    {
        BitmapMaker maker;
        QByteArray data = maker.bytes() + QByteArray(100000, 'x');
        QBuffer buffer(&data);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        const auto result = BitmapFile::read(buffer);
        QCOMPARE(result.problem, BitmapFile::Problem::None);
        QCOMPARE(result.pixels.size(), 2048);
        QCOMPARE(buffer.pos(), 62 + 2048);
    }
};

QUILLON_TEST_GUILESS_MAIN(TestLogoFiles)
#include "tst_logofiles.moc"
