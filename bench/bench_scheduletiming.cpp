// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the real program against qxsim with a schedule that switches the logo
// on and off every 15 seconds, and prints how far after its scheduled second
// each TAKE ON and TAKE OFF reached the line (median and worst).
#include "programhome.h"
#include "schedulefile.h"
#include "simprocess.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QTextStream>

#include <algorithm>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int transitions = argc > 1 ? std::max(atoi(argv[1]), 2) : 20;
    QTextStream out(stdout);
    ProgramHome home;

    const QDateTime now = QDateTime::currentDateTime();
    const int firstStep = (now.time().msecsSinceStartOfDay() / 1000 + 25) / 15 + 1;
    const int lastStep = firstStep + transitions;
    if (lastStep >= 5760) {
        out << "too close to midnight; run it again later\n";
        return 1;
    }
    if (!home.prepare("[FormInit]\nComPort=12\nScheduleOn=True\n"
                      + firstSequenceLines(firstStep, lastStep, 1, 2, 1, 1 << (now.date().dayOfWeek() % 7))))
        return 1;
    SimProcess sim(home.portsDir(), 12);
    if (!sim.start())
        return 1;
    QProcess program;
    if (!home.launch(program, {QStringLiteral("--no-splash")}))
        return 1;
    const int ons = (transitions + 1) / 2;
    sim.waitForReceived("AT0", (transitions + 4) * 15000, ons);

    const qint64 midnight = QDateTime(now.date(), QTime(0, 0)).toMSecsSinceEpoch();
    QList<qint64> offsets;
    for (const auto &entry : sim.received()) {
        if (entry.bytes != "AT1" && entry.bytes != "AT0")
            continue;
        const qint64 sinceMidnight = entry.ms - midnight;
        offsets << sinceMidnight - (sinceMidnight / 15000) * 15000; // after the 15-second step
    }
    program.kill();
    program.waitForFinished();
    if (offsets.isEmpty()) {
        out << "no TAKE reached the line\n";
        return 1;
    }
    std::sort(offsets.begin(), offsets.end());
    out << "schedule transitions measured: " << offsets.size() << "\n";
    out << "TAKE after its scheduled second, median: " << offsets[offsets.size() / 2] << " ms\n";
    out << "TAKE after its scheduled second, worst: " << offsets.last() << " ms\n";
    return 0;
}
