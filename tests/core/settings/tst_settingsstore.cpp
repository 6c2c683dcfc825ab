// SPDX-License-Identifier: GPL-3.0-or-later
#include "corefixture.h"
#include "readonlyfolder.h"

#include "settings/settingsstore.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

// The settings file: texts in, the same texts out, whoever wrote the file.
class TestSettingsStore : public QObject
{
    Q_OBJECT

    static bool writeFile(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }
    static QByteArray readFile(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    // Hand-edited lists read as written; a value set is on the disk at once
    // and read back by the next store.
    void valuesRoundTripAndReachTheDiskAtOnce()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Quillon.conf"));
        QVERIFY(writeFile(path, "[FormInit]\nS_Logo=1,2,3,\nEnables_A=NODE,7,\nQuoted=\"a,b\"\n"));
        {
            SettingsStore store(path);
            QCOMPARE(store.value(QStringLiteral("S_Logo")), QStringLiteral("1,2,3,"));
            QCOMPARE(store.value(QStringLiteral("Enables_A")), QStringLiteral("NODE,7,"));
            QCOMPARE(store.value(QStringLiteral("Quoted")), QStringLiteral("a,b"));
            store.setValue(QStringLiteral("S_Start"), QStringLiteral("1920,-1,-1,"));
            store.setValue(QStringLiteral("ShowInt"), QStringLiteral("True"));
            const QByteArray text = readFile(path);
            QVERIFY(text.contains("[FormInit]") && text.contains("ShowInt=True"));
        }
        SettingsStore again(path);
        QCOMPARE(again.value(QStringLiteral("S_Start")), QStringLiteral("1920,-1,-1,"));
    }

    void unreadableFileIsKeptAsideAndReported_data()
    {
        QTest::addColumn<QByteArray>("bad");
        QTest::newRow("no closing bracket") << QByteArray("[FormInit\nComPort=3\n");
        QTest::newRow("NUL in a key") << QByteArray("[FormInit]\nCom\0Port=3\n", 21);
        QTest::newRow("not UTF-8") << QByteArray("[FormInit]\nA=\xff\xfe\n");
    }
    void unreadableFileIsKeptAsideAndReported()
    {
        QFETCH(QByteArray, bad);
        CoreFixture f;
        const QString path = f.settings->fileName();
        f.settings.reset();
        QVERIFY(writeFile(path, bad));
        f.settings = std::make_unique<SettingsStore>(path);
        const QString aside = f.settings->setAsideFile();
        QVERIFY(aside.startsWith(path + QStringLiteral(".corrupt-")));
        QCOMPARE(readFile(aside), bad);
        QuillonCore &core = f.start();
        QVERIFY(core.reporter.panelTitle() == QStringLiteral("Settings") && core.deviceState.comPort == 0);
    }

    // The file is replaced whole on every write: a program killed at any
    // moment leaves the previous or the new file, never a torn one.
    void killedWriterLeavesAReadableFile()
    {
        QTemporaryDir dir;
        const QString fileName = dir.filePath(QStringLiteral("Quillon.conf"));
        QRandomGenerator random(7);
        for (int round = 0; round < 40; ++round) {
            QProcess writer;
            writer.start(QStringLiteral(SETTINGS_WRITER_PATH), {fileName});
            QVERIFY2(writer.waitForReadyRead(10000), qPrintable(QString::number(round)));
            QThread::usleep(random.bounded(500, 40000));
            writer.kill();
            QVERIFY(writer.waitForFinished(5000));

            const QString context = QStringLiteral("round %1").arg(round);
            SettingsStore store(fileName);
            QVERIFY2(store.setAsideFile().isEmpty(), qPrintable(context));
            QCOMPARE(store.value(QStringLiteral("Marker")), QStringLiteral("present"));
            static const QRegularExpression whole(QStringLiteral("^value-(\\d+)-(x*)$"));
            for (int k = 0; k < 20; ++k) {
                const QString value = store.value(QStringLiteral("Key%1").arg(k));
                if (value.isEmpty())
                    continue;
                const auto match = whole.match(value);
                QVERIFY2(match.hasMatch(), qPrintable(context + QStringLiteral(": ") + value));
                QCOMPARE(match.captured(2).size(), int(match.captured(1).toULongLong() % 97));
            }
        }
    }

    // A settings folder that takes no new file: the first write that fails
    // is reported, the next ones stay quiet until a write gets through; what
    // was not written goes to the disk with that write.
    void failedWritesAreReportedOncePerStreak()
    {
        CoreFixture f;
        QuillonCore &core = f.start();
        QSignalSpy reports(&core.reporter, &Reporter::errorReported);
        const auto toggleScheduler = [&core] { core.runner.toggleRunning(); };
        const auto onDisk = [&f] { return readFile(f.settings->fileName()); };
        {
            ReadOnlyFolder folder(f.dir.path());
            if (!folder.refusesNewFiles())
                QSKIP("The folder cannot be made read-only here.");
            toggleScheduler();
            toggleScheduler();
        }
        QVERIFY(reports.size() == 1 && reports[0][1].toString() == QStringLiteral("Settings"));
        const QString message = reports[0][0].toString();
        QVERIFY2(message.contains(f.settings->fileName())
                     && message.contains(QStringLiteral("Permission denied")),
                 qPrintable(message));
        QVERIFY(!onDisk().contains("ScheduleOn"));

        toggleScheduler();
        QCOMPARE(reports.size(), 1);
        QVERIFY(onDisk().contains("ScheduleOn=True"));
        {
            ReadOnlyFolder folder(f.dir.path());
            toggleScheduler();
        }
        QVERIFY(reports.size() == 2 && core.reporter.panelTitle() == QStringLiteral("Settings"));
    }
};

QUILLON_TEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
