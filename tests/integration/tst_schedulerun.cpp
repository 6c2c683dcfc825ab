// SPDX-License-Identifier: GPL-3.0-or-later
#include "programhome.h"
#include "schedulefile.h"
#include "simprocess.h"

#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QTest>

namespace {
constexpr int Port = 11;
}

// The real program runs a stored schedule: qxsim sees the logo selected about
// 8 seconds ahead, TAKE ON at the start and TAKE OFF at the end.
class TestScheduleRun : public QObject
{
    Q_OBJECT

private slots:
    void storedScheduleSwitchesOnTheWire()
    {
        const QDateTime now = QDateTime::currentDateTime();
        const int seconds = now.time().msecsSinceStartOfDay() / 1000;
        if (seconds > 86400 - 120)
            QSKIP("too close to midnight for a one-day schedule");
        const int start = (seconds + 25) / 15 + 1; // the first whole step at least 25 s away
        const int day = now.date().dayOfWeek() % 7;

        ProgramHome home;
        QVERIFY(home.prepare("[FormInit]\nComPort=11\nScheduleOn=True\n"
                             + firstSequenceLines(start, start + 1, 1, 480, 3, 1 << day)));
        SimProcess sim(home.portsDir(), Port);
        QVERIFY(sim.start());
        QProcess program;
        QVERIFY(home.launch(program, {QStringLiteral("--no-splash")}));

        QVERIFY(sim.waitForReceived("AT0", 80000));
        const qint64 startMs = QDateTime(now.date(), QTime(0, 0).addSecs(start * 15)).toMSecsSinceEpoch();
        const auto timeOf = [&](const QByteArray &command) {
            for (const auto &entry : sim.received())
                if (entry.bytes.startsWith(command))
                    return entry.ms - startMs;
            return qint64(-999999);
        };
        const qint64 select = timeOf(QByteArray("AJ03\0\0\0", 7));
        const qint64 on = timeOf("AT1");
        const qint64 off = timeOf("AT0");
        QVERIFY2(select >= -9000 && select <= -7000, qPrintable(QString::number(select)));
        QVERIFY2(on >= 0 && on < 1000, qPrintable(QString::number(on)));
        QVERIFY2(off >= 15000 && off < 16000, qPrintable(QString::number(off)));
        program.kill();
        program.waitForFinished();
    }
};

QUILLON_TEST_GUILESS_MAIN(TestScheduleRun)
#include "tst_schedulerun.moc"
