// SPDX-License-Identifier: GPL-3.0-or-later
#include "programhome.h"
#include "simprocess.h"

#include <QTest>

#include <algorithm>
#include <array>

namespace {
constexpr int Port = 7;
}

// The quillon program itself, as users start it: its settings file, its
// first traffic, and the single-instance hand-over.
class TestProgram : public QObject
{
    Q_OBJECT

    ProgramHome m_home;

private slots:
    void initTestCase() { QVERIFY(m_home.prepare("[FormInit]\nComPort=7\n")); }

    void startsPollsAndHandsOver()
    {
        SimProcess sim(m_home.portsDir(), Port);
        QVERIFY(sim.start());

        QProcess first;
        QVERIFY(m_home.launch(first));
        QVERIFY(sim.waitForReceived("WK,00", 10000));
        QVERIFY(sim.waitForReceived("ARS", 10000)); // what start-up sends and stores is tst_startup's

        // A second instance closes the first and takes the line over.
        QProcess second;
        QVERIFY(m_home.launch(second, {QStringLiteral("--no-splash")}));
        QVERIFY(first.waitForFinished(10000));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        QVERIFY(sim.waitForReceived("WK,00", 10000, 2));
        QCOMPARE(second.state(), QProcess::Running);
        second.terminate();
        QVERIFY(second.waitForFinished(5000));
        QVERIFY(m_home.settingsFile().contains("ComPort=7"));
    }

    // Starts at the same moment end with one program, whichever it is.
    void startsAtOnceLeaveOne()
    {
        std::array<QProcess, 3> programs;
        for (QProcess &program : programs)
            QVERIFY(m_home.launch(program, {QStringLiteral("--no-splash")}));
        const auto running = [&] {
            return std::count_if(programs.begin(), programs.end(),
                                 [](const QProcess &p) { return p.state() == QProcess::Running; });
        };
        QTRY_COMPARE_WITH_TIMEOUT(running(), 1, 15000);
        QTest::qWait(1500); // and it stays so
        QCOMPARE(running(), 1);
        for (QProcess &program : programs) {
            program.terminate();
            program.waitForFinished(5000);
        }
    }
};

QUILLON_TEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
