// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class DeviceLink;
class ScheduleState;
class QTimer;
class ScheduleRunner;

// The clocks a core runs on: the link's 25 ms tick, the 100 ms timer that
// wakes the device up after a port opens, and the schedule's tick, re-armed
// after every tick for the next half or whole second of the wall clock so
// that TAKE leaves just after its second. The window and the command-line
// program both drive their core with one; tests drive the ticks by hand.
class LinkTimers : public QObject
{
    Q_OBJECT

public:
    LinkTimers(DeviceLink &link, ScheduleRunner &runner, const ScheduleState &scheduleState,
               QObject *parent = nullptr);

    // Starts the tick and from then on follows the link's wake-up timer and
    // the runner's on/off.
    void start();
    // Stops every timer for good.
    void stop();
    // Arms the schedule's tick when the schedule is on.
    void armSchedule();

private:
    DeviceLink &m_link;
    ScheduleRunner &m_runner;
    const ScheduleState &m_scheduleState;
    QTimer *m_tmrDelay;
    QTimer *m_tmrComInit;
    QTimer *m_tmrSchedule;
    bool m_started = false;
    bool m_stopped = false;
};
