// SPDX-License-Identifier: GPL-3.0-or-later
// Prints what the operator tools cost: building the schedule editor's week
// timeline of 20 busy sequences (done again at each slider step), finding
// the next TAKE (done every second while the schedule runs), and a write to
// the port with the traffic log closed and open.
#include "busyschedule.h"
#include "corefixture.h"

#include "device_link/trafficrecorder.h"
#include "scheduler/nextswitch.h"
#include "scheduler/weektimeline.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

namespace {

template<typename Work> double nanosecondsEach(Work work, int rounds)
{
    QElapsedTimer timer;
    timer.start();
    qint64 sink = 0;
    for (int r = 0; r < rounds; ++r)
        sink += work(r);
    const double ns = static_cast<double>(timer.nsecsElapsed()) / rounds;
    return sink >= 0 ? ns : -1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const Schedule schedule = busySchedule();
    const WeekTimeline::Geometry geometry(QRect(0, 0, 700, 160), 40, 16);

    const double timeline = nanosecondsEach(
        [&](int) {
            const WeekTimeline week(schedule);
            qint64 bars = 0;
            for (int day = 0; day < 7; ++day)
                for (int i = 0; i < Schedule::Count; ++i)
                    bars += week.barRects(geometry, day, i).size();
            return bars + week.conflictRects(geometry, 0).size();
        },
        200);
    out << "week timeline of 20 busy sequences, built and laid out: "
        << QString::number(timeline / 1000, 'f', 0) << " us\n";

    const QDateTime monday(QDate(2026, 12, 7), QTime(9, 5, 7));
    const double next = nanosecondsEach(
        [&](int r) { return NextSwitch::find(schedule, monday.addSecs(r)).has_value() ? 1 : 0; }, 2000);
    Schedule sundayOnly;
    sundayOnly[0].Start = 480;
    sundayOnly[0].End = 500;
    sundayOnly[0].OnSteps = 4;
    sundayOnly[0].RepeatSteps = 8;
    sundayOnly[0].Logo = 1;
    sundayOnly[0].Days[0] = true;
    const double farthest
        = nanosecondsEach([&](int) { return NextSwitch::find(sundayOnly, monday).has_value() ? 1 : 0; }, 50);
    out << "next TAKE, busy schedule: " << QString::number(next / 1000, 'f', 1)
        << " us; six days ahead: " << QString::number(farthest / 1000, 'f', 0) << " us\n";

    CoreFixture f;
    QuillonCore &core = f.startConnected();
    TrafficRecorder recorder(core.link, f.clock);
    const QByteArray command = QByteArrayLiteral("AFR") + char(40);
    const auto send = [&](int r) {
        core.link.writeText(command);
        if (r % 1000 == 0)
            f.port.writes.clear();
        return 0;
    };
    nanosecondsEach(send, 200000); // warm-up
    const double closed = nanosecondsEach(send, 500000);
    recorder.setRecording(true);
    const double open = nanosecondsEach(send, 500000);
    out << "a write to the port: " << QString::number(closed, 'f', 0) << " ns with the traffic log closed, "
        << QString::number(open, 'f', 0) << " ns open\n";
    return 0;
}
