// SPDX-License-Identifier: GPL-3.0-or-later
#include "bitmapmaker.h"
#include "corefixture.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <climits>

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
    bool read(QString name) { return core().logoFiles.readFile(name); }
    // Everything a refused load must leave as it was.
    QStringList snapshot()
    {
        const auto s = static_cast<size_t>(core().state.currentSlot);
        return {QString::fromLatin1(core().state.logos[s].toByteArray().toHex()),
                core().state.slotFile[s],
                core().state.logoName[s],
                core().state.recentFiles[0],
                f->setting(QStringLiteral("BMPpath1")),
                QString::number(core().state.logoHeight[s])};
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
        const BitmapMaker shortOne{.height = 32, .seed = 100};
        QVERIFY(!read(write(QStringLiteral("short.bmp"), shortOne.bytes())));
        const QByteArray slot = core().state.logos[1].toByteArray();
        QCOMPARE(slot.left(1024), shortOne.pixels());
        QCOMPARE(slot.mid(1024), tall.pixels().mid(1024));
        QCOMPARE(core().state.logoHeight[1], 32);

        // The rows follow the palette: at 62 whatever the offset field says,
        // later behind a longer information header.
        for (const BitmapMaker &later :
             {BitmapMaker{.headerSize = 40, .pixelOffset = 1078, .seed = 7},
              BitmapMaker{.headerSize = 108, .seed = 108}, BitmapMaker{.headerSize = 124, .seed = 124}}) {
            QVERIFY(!read(write(QStringLiteral("later.bmp"), later.bytes())));
            QCOMPARE(core().state.logos[1].toByteArray(), later.pixels());
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
        QCOMPARE(core().reporter.panelTitle(), QStringLiteral("Read_File-B"));
        QCOMPARE(core().reporter.panelText(), QStringLiteral("Invalid File Name or Missing File!"));
        core().reporter.closePanel();
        QVERIFY(read(QStringLiteral("   ")));
        QVERIFY(!core().reporter.panelVisible());
        // Chosen or stored, a missing file and a folder are reported.
        QVERIFY(read(f->dir.filePath(QStringLiteral("missing.bmp"))));
        QCOMPARE(core().reporter.panelTitle(), QStringLiteral("Read_File"));
        QVERIFY(QDir(f->dir.path()).mkdir(QStringLiteral("folder.bmp")));
        QString folder = f->dir.filePath(QStringLiteral("folder.bmp"));
        QVERIFY(core().logoFiles.readFile(folder, LogoFiles::Origin::Stored));
        QVERIFY(core().reporter.panelText().contains(QStringLiteral("folder")));
        QVERIFY(core().state.slotFile[1].isEmpty());
    }

    void recentListMovesAndSaves()
    {
        QStringList paths;
        for (int i = 1; i <= 9; ++i)
            paths << write(QStringLiteral("logo%1.bmp").arg(i), BitmapMaker().bytes());
        for (int i = 0; i < 8; ++i)
            QVERIFY(!read(paths[i]));
        const auto &recent = core().state.recentFiles;
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
        core().state.currentSlot = 3;
        core().logoFiles.openChosenFile(path);
        QCOMPARE(core().state.currentSlot, 1);
        QCOMPARE(core().state.slotFile[1], path);

        // A cancelled dialog is no failure.
        core().logoFiles.openChosenFile(QString());
        QVERIFY(!core().reporter.panelVisible());

        core().logoFiles.openRecent(3); // empty entry
        QCOMPARE(core().reporter.panelTitle(), QStringLiteral("MnuRecentFile"));
        QCOMPARE(core().reporter.panelText(), QStringLiteral("Read of image file failed."));
    }
};

QUILLON_TEST_GUILESS_MAIN(TestLogoFiles)
#include "tst_logofiles.moc"
