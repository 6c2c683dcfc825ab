// SPDX-License-Identifier: GPL-3.0-or-later
#include "conflictscan.h"

#include <bitset>
#include <cstdlib>

namespace {

constexpr int Steps = 5760;
using DayBits = std::bitset<Steps>;

// Sample m lies at 15m + 7 seconds. For whole-step start S, end E, period P
// and widened on time (O + 1) steps, "start <= t < end and (t - start) mod
// period < on" holds exactly for S <= m < E and (m - S) mod |P| < O + 1.
DayBits onSteps(const ScheduleSequence &s)
{
    DayBits bits;
    const long long period = std::llabs(static_cast<long long>(s.RepeatSteps));
    const long long on = static_cast<long long>(s.OnSteps) + 1;
    const long long from = std::max<long long>(s.Start, 0);
    const long long to = std::min<long long>(s.End, Steps);
    if (period == 0 || on <= 0 || from >= to)
        return bits;
    if (on >= period) {
        for (long long m = from; m < to; ++m)
            bits.set(static_cast<size_t>(m));
        return bits;
    }
    // The first period that reaches the day, then one on-interval a period.
    long long begin = s.Start;
    if (begin < from)
        begin += ((from - begin) / period) * period;
    for (; begin < to; begin += period) {
        const long long stop = std::min(begin + on, to);
        for (long long m = std::max(begin, from); m < stop; ++m)
            bits.set(static_cast<size_t>(m));
    }
    return bits;
}

} // namespace

namespace ConflictScan {

ConflictMarks scanConflicts(const Schedule &schedule)
{
    ConflictMarks marks;
    std::array<DayBits, Schedule::Count> bits;
    std::array<bool, Schedule::Count> computed{};
    for (int day = 0; day < 7; ++day) {
        DayBits any;
        DayBits many;
        for (int i = 0; i < Schedule::Count; ++i) {
            if (!schedule[i].enabledOn(day))
                continue;
            const auto n = static_cast<size_t>(i);
            if (!computed[n]) {
                bits[n] = onSteps(schedule[i]);
                computed[n] = true;
            }
            many |= any & bits[n];
            any |= bits[n];
        }
        if (many.none())
            continue;
        for (int i = 0; i < Schedule::Count; ++i) {
            const auto n = static_cast<size_t>(i);
            if (schedule[i].enabledOn(day) && (bits[n] & many).any()) {
                marks.days[n][static_cast<size_t>(day)] = true;
                marks.logos[n] = true;
            }
        }
    }
    return marks;
}

ConflictMarks sampled(const Schedule &schedule)
{
    ConflictMarks marks;
    for (int day = 0; day < 7; ++day) {
        for (int t = 7; t <= 86400; t += 15) {
            int onList[Schedule::Count];
            int count = 0;
            for (int i = 0; i < Schedule::Count; ++i) {
                const ScheduleSequence &s = schedule[i];
                if (s.enabledOn(day) && s.onAt(t, (s.OnSteps + 1LL) * 15))
                    onList[count++] = i;
            }
            if (count < 2)
                continue;
            for (int c = 0; c < count; ++c) {
                marks.days[static_cast<size_t>(onList[c])][static_cast<size_t>(day)] = true;
                marks.logos[static_cast<size_t>(onList[c])] = true;
            }
        }
    }
    return marks;
}

} // namespace ConflictScan
