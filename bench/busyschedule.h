// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "scheduler/schedule.h"

// 20 sequences, every day, each on for 30 s to 1:30 every 5 to 11 minutes
// from midnight or the small hours to near the day's end.
inline Schedule busySchedule()
{
    Schedule schedule;
    for (int i = 0; i < Schedule::Count; ++i) {
        ScheduleSequence &s = schedule[i];
        s.Start = 240 * (i % 6) + 7 * i; // from midnight to the small hours
        s.End = 5760 - 13 * i;
        s.OnSteps = 2 + i % 5;            // 30 s to 1:30
        s.RepeatSteps = 20 + 4 * (i % 7); // every 5 to 11 minutes
        s.Logo = 1 + i % 4;
        for (int k = 0; k < 7; ++k)
            s.Days[static_cast<size_t>(k)] = true;
    }
    return schedule;
}
