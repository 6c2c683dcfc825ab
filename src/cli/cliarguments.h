// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// What quillon-cli was asked to do, read from its command line.
struct CliRequest {
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
    };
    enum class Setting { Fade, Mix, Intensity, HPos, VPos };
    enum class TakeMode { On, Off, Toggle };

    Command command = Command::Help;
    std::optional<int> port; // --port N
    QString device;          // --device PATH
    std::optional<int> node; // --node ID: the node to wake, instead of all
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
};

namespace CliArguments {

// Exit codes that scripts can test.
enum Exit : int {
    Ok = 0,
    Conflicts = 1,     // schedule check found conflicts
    Usage = 2,         // bad arguments
    PortProblem = 3,   // no port, a missing or busy port, the line lost
    DeviceProblem = 4, // no reply, or the device did not do what was asked
    FileProblem = 5,   // a bitmap that cannot be read, an output that cannot be written
    Interrupted = 130,
};

struct Parsed {
    std::optional<CliRequest> request;
    QString error; // one line, when the arguments are bad
};

// The arguments without the program name.
Parsed parse(const QStringList &arguments);
QString usage();

} // namespace CliArguments
