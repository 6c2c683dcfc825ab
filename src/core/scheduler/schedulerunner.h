// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "device_link/protocol.h"

#include <QObject>
#include <QString>

#include <array>

class AsRunWriter;
class Clock;
class DeviceLink;
class DeviceState;
class LogoState;
class ScheduleState;
class Reporter;
class SettingsStore;
class DeviceOperations;

// Carries the weekly schedule out from a half-second tick. The ticks take
// turns: a look-ahead tick selects, 8 seconds early, the logo of every
// sequence that will then be on; a present tick switches TAKE on and off as
// sequences come on and go off, each against its own Running flag.
class ScheduleRunner : public QObject
{
    Q_OBJECT

public:
    // The editor's live highlight of one row.
    enum class Highlight { None, OnTime, RepeatTime };

    ScheduleRunner(DeviceState &deviceState, LogoState &logoState, ScheduleState &scheduleState,
                   Reporter &reporter, SettingsStore &settings, DeviceLink &link,
                   DeviceOperations &operations, const Clock &clock, QObject *parent = nullptr);

    void tick();
    // One pass over the 20 sequences; true after a failure.
    bool runPass();
    void toggleRunning();
    // Every selection and TAKE the runner sends is also written here, by
    // the writer's own thread; a failing streak is reported once.
    void setAsRunLog(AsRunWriter *log);
    const AsRunWriter *asRunLog() const { return m_asRunLog; }

    bool lookAheadPhase() const { return m_lookAhead; }
    int scheduledLogo() const { return m_scheduledLogo; }
    // Closing the editor clears its highlight, so the next one opens clean.
    void setEditorOpen(bool open);
    Highlight highlight(int row) const { return m_highlight[static_cast<size_t>(row)]; }

    // Holding the device to the schedule: once the line is back (the port
    // reopened, or the device answering again after SilentTicks without a
    // reply), the first settings reply is compared, at the next present
    // tick, with what the runner holds, and the logo and TAKE are put back,
    // once; a switch of that tick does it instead. A difference that
    // appears while the device keeps answering (an operator) is left until
    // the next switch. Stored as ScheduleRestore, on unless set to False.
    static constexpr int SilentTicks = 10; // 5 s: polls answer every 1.3 s
    bool restoring() const;
    void setRestoring(bool on);

    // Milliseconds from now to the next tick: the next half second for a
    // look-ahead tick, the next whole second for a present tick, a few
    // milliseconds late so the tick's time rounds to that second.
    int msUntilNextTick() const;

signals:
    // The timer should run or stop.
    void timerChanged(bool running);
    void highlightChanged(int row);
    // Each as-run line as it goes to the log (or would, without one).
    void asRunPosted(const QString &line);

private:
    void setHighlight(int row, Highlight value);
    // Selects a logo for sequence row (1 to 15).
    void selectLogo(int row, int logo);
    void asRun(int row, int logo, const QString &command);
    void asRunWritten(const QString &failure);
    void onReply();
    void onSettings(const Protocol::SettingsReply &reply);
    void restore(const Protocol::SettingsReply &reply);
    void onDeviceState();

    DeviceState &m_deviceState;
    LogoState &m_logoState;
    ScheduleState &m_scheduleState;
    Reporter &m_reporter;
    SettingsStore &m_settings;
    DeviceLink &m_link;
    DeviceOperations &m_ops;
    const Clock &m_clock;
    AsRunWriter *m_asRunLog = nullptr;
    bool m_asRunFailing = false; // reported once until a write works again
    bool m_lookAhead = false;
    int m_scheduledLogo = 0;
    bool m_editorOpen = false;
    std::array<Highlight, 20> m_highlight{};
    std::array<int, 20> m_reportedLogo{}; // the bad logo last reported per sequence
    // Why the next settings reply is checked against the schedule; empty
    // when it is not.
    QString m_restoreReason;
    QString m_restoreWhy;
    std::optional<Protocol::SettingsReply> m_restoreReply;
    int m_silentTicks = 0;
    bool m_portReady = false;
    std::array<int, 20> m_onAirLogo{}; // the logo each sequence went on air with
};
