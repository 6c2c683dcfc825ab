// SPDX-License-Identifier: GPL-3.0-or-later
// The real program against qxsim: start-up times (launch to the window shown,
// launch to the first "WK," on the line) and the idle cost of a program left
// polling an open port (CPU time / wall time).
#include "programhome.h"
#include "simprocess.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTextStream>
#include <QTimer>

#include <unistd.h>

namespace {

// User + system CPU seconds of a running process, from /proc.
double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    // The fields after the command name in parentheses, which may hold blanks.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return double(fields.at(11).toLongLong() + fields.at(12).toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int idleSeconds = argc > 1 ? std::max(atoi(argv[1]), 1) : 60;
    QTextStream out(stdout);

    ProgramHome home;
    if (!home.prepare("[FormInit]\nComPort=6\n"))
        return 1;
    SimProcess sim(home.portsDir(), 6);
    if (!sim.start())
        return 1;

    QProcess program;
    const qint64 launched = QDateTime::currentMSecsSinceEpoch();
    if (!home.launch(program, {QStringLiteral("--no-splash"), QStringLiteral("--report-shown")}))
        return 1;
    qint64 shown = -1;
    QObject::connect(&program, &QProcess::readyReadStandardOutput, [&] {
        while (program.canReadLine()) {
            const QByteArray line = program.readLine().trimmed();
            if (line.startsWith("SHOWN "))
                shown = line.mid(6).toLongLong();
        }
    });
    if (!sim.waitForReceived("WK,", 15000)) {
        out << "the program never woke the simulated device\n";
        return 1;
    }
    const qint64 firstWake = sim.received().constFirst().ms;
    out << "start-up, launch to window shown: "
        << (shown < 0 ? QStringLiteral("not reported")
                      : QString::number(shown - launched) + QStringLiteral(" ms"))
        << "\n";
    out << "start-up, launch to first WK, on the line: " << firstWake - launched << " ms\n";

    // Idle: the port open and polled, nothing else going on.
    sim.waitForReceived("ARS", 15000);
    const double cpuBefore = cpuSeconds(program.processId());
    const qint64 wallBefore = QDateTime::currentMSecsSinceEpoch();
    wait(idleSeconds * 1000);
    const double cpu = cpuSeconds(program.processId()) - cpuBefore;
    const double wall = double(QDateTime::currentMSecsSinceEpoch() - wallBefore) / 1000.0;
    out << "idle CPU over " << idleSeconds
        << " s with the port open and polling: " << QString::number(100.0 * cpu / wall, 'f', 2)
        << " % of one core\n";
    program.terminate();
    program.waitForFinished(5000);
    return 0;
}
