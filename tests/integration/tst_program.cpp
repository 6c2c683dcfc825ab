#include "simprocess.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {
constexpr int Port = 7;
}

// The quillon program itself, as users start it: its settings file, its
// first traffic, and the single-instance hand-over.
class TestProgram : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home.filePath(QStringLiteral("run")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        return env;
    }

    void launch(QProcess &program, const QStringList &arguments = {})
    {
        program.setProcessEnvironment(environment());
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(QStringLiteral(QUILLON_PATH), arguments);
        QVERIFY(program.waitForStarted());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(QDir().mkpath(m_home.filePath(QStringLiteral("config/Quillon"))));
        QVERIFY(QDir().mkpath(m_home.filePath(QStringLiteral("run"))));
        QFile::setPermissions(m_home.filePath(QStringLiteral("run")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile conf(m_home.filePath(QStringLiteral("config/Quillon/Quillon.conf")));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("[FormInit]\nComPort=7\nSlider-FADE=40\n");
    }

    void startsPollsAndHandsOver()
    {
        SimProcess sim(m_home.filePath(QStringLiteral("config/Quillon/ports")), Port);
        QVERIFY(sim.start());

        QProcess first;
        launch(first);
        QVERIFY(sim.waitForReceived("WK,00", 10000));
        QCOMPARE(sim.received().first().bytes, QByteArray("WK,00"));
        QVERIFY(sim.waitForReceived("ARC", 10000));
        QVERIFY(sim.waitForReceived("ARS", 10000));
        // Start-up read the stored fade without sending or rewriting it.
        for (const auto &entry : sim.received())
            QVERIFY(!entry.bytes.startsWith("AFR"));

        // A second instance closes the first and takes the line over.
        QProcess second;
        launch(second, {QStringLiteral("--no-splash")});
        QVERIFY(first.waitForFinished(10000));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        QVERIFY(sim.waitForReceived("WK,00", 10000, 2));
        QCOMPARE(second.state(), QProcess::Running);
        second.terminate();
        QVERIFY(second.waitForFinished(5000));

        QFile conf(m_home.filePath(QStringLiteral("config/Quillon/Quillon.conf")));
        QVERIFY(conf.open(QIODevice::ReadOnly));
        const QByteArray text = conf.readAll();
        QVERIFY(text.contains("ComPort=7"));
        QVERIFY(text.contains("Slider-FADE=40"));
    }
};

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
