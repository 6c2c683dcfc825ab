// SPDX-License-Identifier: GPL-3.0-or-later
#include "bitmapmaker.h"
#include "simwindow.h"
#include "uifakes.h"

#include <QFile>
#include <QImage>
#include <QTest>
#include <QtEndian>

namespace {
constexpr int Port = 9;
} // namespace

// A logo goes into the device and comes back: the real window on a pty
// with qxsim taking the download, storing it and answering the upload.
class TestLogoTransfer : public QObject
{
    Q_OBJECT

    SimWindow w;
    FixedChooser m_chooser;
    QString m_original;

    QuillonCore &core() { return w.core(); }
    QAction *action(const char *name) { return w.action(name); }

    bool downloadToEnd(int timeoutMs)
    {
        core().download.start();
        return QTest::qWaitFor([this] { return !core().download.running(); }, timeoutMs);
    }

private slots:
    void initTestCase()
    {
        // A picture with every line different, its palette white then black,
        // so that the bitmap written back (bits inverted, palette black then
        // white) shows the very same picture.
        BitmapMaker maker;
        maker.seed = 3;
        QByteArray bytes = maker.bytes();
        qToLittleEndian<quint32>(0x00FFFFFF, bytes.data() + 54);
        qToLittleEndian<quint32>(0x00000000, bytes.data() + 58);
        m_original = w.config.filePath(QStringLiteral("original.bmp"));
        QVERIFY(writeFile(m_original, bytes));
        QVERIFY(w.open(Port, {{QStringLiteral("BMPpath1"), m_original}}));
        w.window->setFileChooser(&m_chooser);
        QTRY_VERIFY_WITH_TIMEOUT(action("mnuDownloadLogotoRam")->isEnabled(), 15000);
    }

    void cleanupTestCase() { w.close(); }

    void downloadStoreAndUploadGiveTheSameLogo()
    {
        const LogoBitmap original = core().logoState.logos[1];
        QVERIFY(!(original == LogoBitmap()));
        QVERIFY(downloadToEnd(15000));
        QVERIFY(w.sim->waitForReceived("ALD", 1000));
        action("mnuSaveLogoinNVRAM")->trigger();
        QVERIFY(w.sim->waitForReceived("ASI", 3000));

        core().logoState.logos[1] = LogoBitmap();
        m_chooser.answer = w.config.filePath(QStringLiteral("uploaded.bmp"));
        action("mnuUpLoadLogo")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(m_chooser.saves, 1, 15000);
        QVERIFY(core().logoState.logos[1] == original);
        QTRY_VERIFY(QFile::exists(m_chooser.answer));

        const QImage before(m_original);
        const QImage after(m_chooser.answer);
        QCOMPARE(after.size(), QSize(256, 64));
        QCOMPARE(after.convertToFormat(QImage::Format_RGB32), before.convertToFormat(QImage::Format_RGB32));
    }
};

QUILLON_TEST_MAIN(TestLogoTransfer)
#include "tst_logotransfer.moc"
