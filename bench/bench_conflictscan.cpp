// SPDX-License-Identifier: GPL-3.0-or-later
// Prints the cost of one conflict scan of 20 busy sequences, and of the
// plain sampling loop over the same week beside it.
#include "busyschedule.h"

#include "scheduler/conflictscan.h"

#include <QElapsedTimer>
#include <QTextStream>

namespace {

template<typename Scan> double microsecondsPerScan(Scan scan, int rounds)
{
    QElapsedTimer timer;
    timer.start();
    int marked = 0;
    for (int r = 0; r < rounds; ++r)
        marked += scan().logos[static_cast<size_t>(r % Schedule::Count)] ? 1 : 0;
    const double us = timer.nsecsElapsed() / 1000.0 / rounds;
    return marked >= 0 ? us : -1;
}

} // namespace

int main()
{
    const Schedule schedule = busySchedule();
    if (!(ConflictScan::scanConflicts(schedule) == ConflictScan::sampled(schedule))) {
        QTextStream(stderr) << "the two scans disagree\n";
        return 1;
    }
    const double fast = microsecondsPerScan([&] { return ConflictScan::scanConflicts(schedule); }, 2000);
    const double plain = microsecondsPerScan([&] { return ConflictScan::sampled(schedule); }, 20);
    QTextStream out(stdout);
    out << "conflict scan, 20 busy sequences: " << QString::number(fast, 'f', 1) << " us per scan\n";
    out << "plain sampling loop, same schedule: " << QString::number(plain, 'f', 1) << " us per scan\n";
    out << "ratio plain / scan: " << QString::number(plain / fast, 'f', 0) << "\n";
    return 0;
}
