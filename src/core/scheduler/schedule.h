// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <array>

class SettingsStore;

// One of the 20 TAKE sequences. Times and durations are whole steps of 15
// seconds: a time of day counts steps since midnight (5760 is 24:00:00).
struct ScheduleSequence {
    int Start = -1; // -1: off
    int End = -1;
    int OnSteps = -1;           // T-ON
    int RepeatSteps = -1;       // the whole repeat period
    int Logo = -1;              // 0: off
    std::array<bool, 7> Days{}; // Sunday first
    bool Running = false;       // the runner holds this sequence's TAKE on

    // Takes part on a day (0 Sunday to 6 Saturday).
    bool enabledOn(int day) const;
    // Calls for its logo at t seconds since midnight, given the on time in
    // seconds (the runner's own; the conflict scan widens it by a step).
    bool onAt(int seconds, long long onSeconds) const;
    bool onAt(int seconds) const { return onAt(seconds, OnSteps * 15LL); }
    int daysMask() const;
};

// The weekly schedule: 20 sequences shared by the runner and the editor,
// stored as six comma-terminated lists.
class Schedule
{
public:
    static constexpr int Count = 20;

    std::array<ScheduleSequence, Count> sequences{};

    ScheduleSequence &operator[](int i) { return sequences[static_cast<size_t>(i)]; }
    const ScheduleSequence &operator[](int i) const { return sequences[static_cast<size_t>(i)]; }

    struct LoadProblem {
        bool bad = false;
        QString message;
    };
    // Resets the table and reads the six lists. A day mask that is not a
    // number is read as no days and named in the returned problem.
    LoadProblem LoadSchedule(const SettingsStore &settings);
    // Writes the six lists; false when they did not all reach the disk.
    bool save(SettingsStore &settings) const;

    // The list keys in their stored order.
    static const std::array<QString, 6> &listKeys();
    // The text of list n (0 S_Start ... 5 S_Days).
    QString listText(int list) const;
};
