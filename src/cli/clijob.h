// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/cliarguments.h"
#include "scheduler/conflictscan.h"

#include <QObject>
#include <QString>

#include <functional>

class LinkTimers;
class OperationJob;
class QuillonCore;
class Schedule;

// One run of quillon-cli on a core: opens the port, lets the link wake the
// device as the program does at start, checks that it answers, then does the
// one thing asked through the device operations the window calls too, and
// finishes with an exit code once everything sent has left
// the port. "schedule run" instead runs the schedule until interrupted.
// Driven by the link's ticks, so tests run it on a fake port by hand.
class CliJob : public QObject
{
    Q_OBJECT

public:
    struct Output {
        std::function<void(const QString &)> out; // results: a line, JSON, a table
        std::function<void(const QString &)> err; // errors, warnings, progress
        bool progressBar = false;                 // err is a terminal
    };

    // timers may be null (tests): the schedule's tick is then driven by hand.
    CliJob(QuillonCore &core, CliRequest request, Output output, LinkTimers *timers = nullptr,
           QObject *parent = nullptr);

    // Runs the start-up and begins. The result comes with finished().
    void start();
    // A signal asked the program to stop.
    void interrupt();
    // The settings file changed: reads the schedule again ("schedule run").
    void reloadSchedule();

    bool done() const { return m_phase == Phase::Done; }
    // The line in messages: "COM5 (/dev/ttyUSB0)", or the device given.
    QString portName() const;
    int exitCode() const { return m_exitCode; }
    // The 20 sequences as a table, one line each.
    static QString scheduleTable(const Schedule &schedule);
    // One line per sequence the scan marked, naming its days; empty without.
    static QString conflictText(const Schedule &schedule, const ConflictMarks &marks);

signals:
    void finished(int exitCode);

private:
    enum class Phase { Idle, Waking, Acting, Running, Done };

    void runOffline();
    void onError(const QString &message, const QString &title);
    void act();
    void drawProgress();
    void fail(int code, const QString &message);
    void finish(int code);
    QString portFailure() const;

    QuillonCore &m_core;
    CliRequest m_request;
    Output m_output;
    LinkTimers *m_timers;
    Phase m_phase = Phase::Idle;
    OperationJob *m_job = nullptr;
    bool m_loading = false;
    bool m_scheduleKept = false; // the settings file held no schedule at the last reload
    int m_exitCode = 0;
    int m_progressDrawn = -1;
};
