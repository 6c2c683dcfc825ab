// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// One thing asked of the line, as quillon-cli's command words and the
// control endpoint's requests both name it: the command and its operands,
// checked against their ranges.
struct OperationRequest {
    enum class Command {
        Help,
        Version,
        Status,
        Copyright,
        Download,
        StoreLogo,
        Upload,
        Set,
        Standard,
        Take,
        Select,
        Wake,
        Sleep,
        SetId,
        ScheduleList,
        ScheduleCheck,
        ScheduleRun,
        Watch, // quillon-cli only: the events of a line another process holds
    };
    enum class Setting { Fade, Mix, Intensity, HPos, VPos, OnTime, Interval };
    enum class TakeMode { On, Off, Toggle };

    Command command = Command::Help;
    std::optional<int> node; // the node to wake before, instead of all
    QString file;            // download's bitmap, upload's output
    bool negative = false;   // download --negative
    Setting setting = Setting::Fade;
    int value = 0;    // set, select, set-id, wake ID (0: every node)
    bool pal = false; // standard
    TakeMode take = TakeMode::Toggle;

    // Commands that need no port at all.
    bool offline() const;
    // Commands that check the device answers before they act.
    bool checksDevice() const;

    // The command a word names ("status", "set-id", "schedule"; "schedule"
    // is ScheduleRun until its next word says list or check).
    static std::optional<Command> commandNamed(const QString &word);
    // Reads the words after the command (name is the command as typed, for
    // the messages); false with a one-line error on a bad one.
    bool readOperands(const QString &name, const QStringList &words, QString &error);
    // A whole number within a range, or an error naming what it was for.
    static std::optional<int> number(const QString &text, int min, int max, const QString &what,
                                     QString &error);
};

// Exit codes that scripts can test, the same whichever way a command went.
namespace OperationExit {
enum Code : int {
    Ok = 0,
    Conflicts = 1,     // schedule check found conflicts
    Usage = 2,         // bad arguments
    PortProblem = 3,   // no port, a missing or busy port, the line lost
    DeviceProblem = 4, // no reply, or the device did not do what was asked
    FileProblem = 5,   // a bitmap that cannot be read, an output that cannot be written
    Interrupted = 130,
};
} // namespace OperationExit
