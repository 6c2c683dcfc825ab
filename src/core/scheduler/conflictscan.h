// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "scheduler/schedule.h"

#include <array>

// Marks of a conflict scan: which day buttons and which logo cells show a
// conflict.
struct ConflictMarks {
    std::array<std::array<bool, 7>, Schedule::Count> days{};
    std::array<bool, Schedule::Count> logos{};
    bool operator==(const ConflictMarks &) const = default;
};

// Finds the sequences that are on together with another one. The day is
// sampled 7 seconds into each of its 5760 steps, every day on its own, and a
// sequence's on time counts one step longer than the runner's.
namespace ConflictScan {

// Each sequence's on-steps as a bit set per day, intersected word by word.
ConflictMarks scanConflicts(const Schedule &schedule);

// The same marks by sampling every second asked for, one by one.
ConflictMarks sampled(const Schedule &schedule);

} // namespace ConflictScan
