#include "bitmapmaker.h"
#include "simprocess.h"

#include "app/settingsstore.h"
#include "device_link/clock.h"
#include "device_link/systemserialport.h"
#include "logo/logofilewriter.h"
#include "ui/filechooser.h"
#include "ui/frmquillon4.h"

#include <QAction>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

namespace {
constexpr int Port = 9;

// Answers every save dialog with one name.
class SaveChooser final : public FileChooser
{
public:
    QString answer;
    int saves = 0;
    QString openFileName(QWidget *, const QString &, const QString &, const QString &) override { return answer; }
    QString saveFileName(QWidget *, const QString &, const QString &, const QString &) override
    {
        ++saves;
        return answer;
    }
};
} // namespace

// A logo goes into the device and comes back: the real window on a pty
// with qxsim taking the download, storing it and answering the upload.
class TestLogoTransfer : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    std::unique_ptr<SimProcess> m_sim;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<SystemSerialPort> m_port;
    SystemClock m_clock;
    SaveChooser m_chooser;
    std::unique_ptr<FrmQuillon4> m_window;
    QString m_original;

    QuillonCore &core() { return m_window->core(); }
    QAction *action(const char *name) { return m_window->findChild<QAction *>(QString::fromLatin1(name)); }

    bool downloadToEnd(int timeoutMs)
    {
        core().download.PicToQX();
        return QTest::qWaitFor([this] { return !core().download.running(); }, timeoutMs);
    }

private slots:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
        m_sim = std::make_unique<SimProcess>(m_config.filePath(QStringLiteral("Quillon/ports")), Port);
        QVERIFY(m_sim->start());

        // A picture with every line different, its palette white then black,
        // so that the bitmap written back (bits inverted, palette black then
        // white) shows the very same picture.
        BitmapMaker maker;
        maker.seed = 3;
        QByteArray bytes = maker.bytes();
        qToLittleEndian<quint32>(0x00FFFFFF, bytes.data() + 54);
        qToLittleEndian<quint32>(0x00000000, bytes.data() + 58);
        m_original = m_config.filePath(QStringLiteral("original.bmp"));
        QFile file(m_original);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();

        m_settings = std::make_unique<SettingsStore>();
        m_settings->setValue(QStringLiteral("ComPort"), QString::number(Port));
        m_settings->setValue(QStringLiteral("BMPpath1"), m_original);
        m_port = std::make_unique<SystemSerialPort>();
        m_window = std::make_unique<FrmQuillon4>(*m_settings, *m_port, m_clock, FrmQuillon4::Options{{}, false, true});
        m_window->setFileChooser(&m_chooser);
        m_window->show();
        QTRY_VERIFY_WITH_TIMEOUT(action("mnuDownloadLogotoRam")->isEnabled(), 15000);
    }

    void cleanupTestCase()
    {
        m_window.reset();
        m_sim.reset();
    }

    void downloadStoreAndUploadGiveTheSameLogo()
    {
        const LogoBitmap original = core().state.logos[1];
        QVERIFY(!(original == LogoBitmap()));
        QVERIFY(downloadToEnd(15000));
        QVERIFY(m_sim->waitForReceived("ALD", 1000));
        action("mnuSaveLogoinNVRAM")->trigger();
        QVERIFY(m_sim->waitForReceived("ASI", 3000));

        core().state.logos[1] = LogoBitmap();
        m_chooser.answer = m_config.filePath(QStringLiteral("uploaded.bmp"));
        action("mnuUpLoadLogo")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(m_chooser.saves, 1, 15000);
        QVERIFY(core().state.logos[1] == original);
        QTRY_VERIFY(QFile::exists(m_chooser.answer));

        const QImage before(m_original);
        const QImage after(m_chooser.answer);
        QCOMPARE(after.size(), QSize(256, 64));
        QCOMPARE(after.convertToFormat(QImage::Format_RGB32), before.convertToFormat(QImage::Format_RGB32));
    }

    void hangUpDuringADownloadEndsCleanly()
    {
        const auto received = m_sim->received();
        const int loads = static_cast<int>(
            std::count_if(received.cbegin(), received.cend(), [](const auto &e) { return e.bytes == "ALD"; }));
        core().download.PicToQX();
        QVERIFY(m_sim->waitForReceived("ALD", 5000, loads + 1));
        m_sim->control("hangup 1500");
        QTRY_VERIFY_WITH_TIMEOUT(!core().download.running(), 10000);
        QVERIFY(!core().state.transferBusy);
        QVERIFY(!core().reporter.progressVisible());
        // The line comes back by itself and the next download goes through.
        QTRY_VERIFY_WITH_TIMEOUT(action("mnuDownloadLogotoRam")->isEnabled(), 15000);
        const qsizetype before = m_sim->received().size();
        QVERIFY(downloadToEnd(15000));
        // The device takes the lines in at 9600 baud, after the download's last wait.
        const auto payloadArrived = [&] {
            const auto after = m_sim->received().mid(before);
            return std::any_of(after.cbegin(), after.cend(), [](const auto &e) { return e.bytes.size() == 2048; });
        };
        QTRY_VERIFY_WITH_TIMEOUT(payloadArrived(), 5000);
    }
};

QTEST_MAIN(TestLogoTransfer)
#include "tst_logotransfer.moc"
