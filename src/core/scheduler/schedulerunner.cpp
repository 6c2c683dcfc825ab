// SPDX-License-Identifier: GPL-3.0-or-later
#include "schedulerunner.h"

#include "device_link/clock.h"
#include "device_link/devicelink.h"
#include "device_link/devicestate.h"
#include "device_link/protocol.h"
#include "logo/logostate.h"
#include "reporting/reporter.h"
#include "scheduler/asrunlog.h"
#include "scheduler/schedulestate.h"
#include "session/deviceoperations.h"
#include "settings/settingsstore.h"

#include <utility>

ScheduleRunner::ScheduleRunner(DeviceState &deviceState, LogoState &logoState, ScheduleState &scheduleState,
                               Reporter &reporter, SettingsStore &settings, DeviceLink &link,
                               DeviceOperations &operations, const Clock &clock, QObject *parent)
    : QObject(parent)
    , m_deviceState(deviceState)
    , m_logoState(logoState)
    , m_scheduleState(scheduleState)
    , m_reporter(reporter)
    , m_settings(settings)
    , m_link(link)
    , m_ops(operations)
    , m_clock(clock)
{
    connect(&m_link, &DeviceLink::replyReceived, this, &ScheduleRunner::onReply);
    connect(&m_link, &DeviceLink::settingsReceived, this, &ScheduleRunner::onSettings);
    connect(&m_deviceState, &DeviceState::changed, this, &ScheduleRunner::onDeviceState);
}

void ScheduleRunner::tick()
{
    // Transfers pause the polls: no silence of the device's.
    if (m_deviceState.portReady && !m_deviceState.transferBusy)
        ++m_silentTicks;
    m_lookAhead = !m_lookAhead;
    runPass();
    m_scheduleState.runningLit = !m_scheduleState.runningLit;
    m_scheduleState.notify();
}

int ScheduleRunner::msUntilNextTick() const
{
    constexpr int Late = 5;
    const int within = m_clock.now().time().msecsSinceStartOfDay() % 1000;
    // The tick after this one flips the phase: a look-ahead tick falls on the
    // half second, a present tick on the whole second.
    const int target = !m_lookAhead ? 500 + Late : Late;
    return (target - within + 1000) % 1000;
}

void ScheduleRunner::setEditorOpen(bool open)
{
    m_editorOpen = open;
    if (open)
        return;
    for (int row = 0; row < static_cast<int>(m_highlight.size()); ++row)
        setHighlight(row, Highlight::None);
}

void ScheduleRunner::setHighlight(int row, Highlight value)
{
    auto &slot = m_highlight[static_cast<size_t>(row)];
    if (slot == value)
        return;
    slot = value;
    emit highlightChanged(row);
}

bool ScheduleRunner::runPass()
{
    const QDateTime now = m_clock.now();
    int day = now.date().dayOfWeek() % 7; // 0 Sunday
    const double seconds = now.time().msecsSinceStartOfDay() / 1000.0;
    int t = 0;
    if (m_lookAhead) {
        t = Protocol::roundHalfEven(seconds + 8);
        if (t > 86399) {
            t -= 86400;
            day = (day + 1) % 7;
        }
    } else {
        t = Protocol::roundHalfEven(seconds);
    }

    // Until the link has woken the nodes (the first wake-up after the port
    // opened), sleeping nodes would miss what is sent: switches wait, and
    // go out at the first tick after it.
    const bool linkAwake = m_deviceState.portReady;
    bool failed = false;
    bool switched = false;
    for (int i = 0; i < Schedule::Count; ++i) {
        ScheduleSequence &s = m_scheduleState.schedule[i];
        bool on = false;
        if (s.enabledOn(day) && t >= s.Start * 15LL && t < s.End * 15LL)
            on = s.onAt(t);
        const bool logoValid = s.Logo >= 1 && s.Logo <= LogoState::MaxSlots;
        if (logoValid)
            m_reportedLogo[static_cast<size_t>(i)] = 0; // a later bad logo is news again
        if (on && !logoValid) {
            // The window has no logo button or on-air mark for this logo. The
            // sequence is skipped and reported once; the rest still runs.
            if (m_reportedLogo[static_cast<size_t>(i)] != s.Logo) {
                m_reportedLogo[static_cast<size_t>(i)] = s.Logo;
                m_reporter.ReportError(
                    QStringLiteral("Sequence %1 calls for logo %2, which has no logo button.")
                        .arg(i + 1)
                        .arg(s.Logo),
                    QStringLiteral("Scan_Schedule x5a"));
            }
            failed = true;
            continue;
        }
        // Only logos 1 to 15 have a button and an on-air mark; the logo of a
        // running sequence can have changed to any value since it went on.
        const auto logo = static_cast<size_t>(logoValid ? s.Logo : 0);
        if (on && m_lookAhead) {
            if (m_scheduledLogo != s.Logo && linkAwake)
                selectLogo(i, s.Logo);
        } else if (on) {
            if (!s.Running && linkAwake) {
                // No look-ahead saw it coming (a clock step, the program
                // started or the line came back inside the on period): the
                // logo is selected first, so no other logo goes on air.
                if (m_scheduledLogo != s.Logo)
                    selectLogo(i, s.Logo);
                m_scheduleState.onAir[logo] = true;
                m_onAirLogo[static_cast<size_t>(i)] = s.Logo;
                s.Running = true;
                switched = true;
                m_ops.takeOn();
                asRun(i, s.Logo, QStringLiteral("TAKE ON"));
            }
            if (m_editorOpen)
                setHighlight(i, Highlight::OnTime);
        } else if (!m_lookAhead) {
            if (s.Running && linkAwake) {
                // Whatever its logo has become, a sequence that holds TAKE on
                // takes it off, and clears the mark of the logo it went on with.
                const int marked = std::exchange(m_onAirLogo[static_cast<size_t>(i)], 0);
                if (marked >= 1 && marked <= LogoState::MaxSlots)
                    m_scheduleState.onAir[static_cast<size_t>(marked)] = false;
                s.Running = false;
                switched = true;
                m_ops.takeOff();
                asRun(i, s.Logo, QStringLiteral("TAKE OFF"));
            }
            if (m_editorOpen)
                setHighlight(i, s.Logo <= 0 || s.Start < 0 ? Highlight::None : Highlight::RepeatTime);
        }
    }
    // A switch of this pass put the device where the schedule holds it.
    if (switched) {
        m_restoreReason.clear();
        m_restoreReply.reset();
    } else if (!m_lookAhead && linkAwake && m_restoreReply) {
        restore(*std::exchange(m_restoreReply, std::nullopt));
    }
    m_scheduleState.notify();
    return failed;
}

bool ScheduleRunner::restoring() const
{
    return m_settings.value(QStringLiteral("ScheduleRestore")) != SettingsStore::flagText(false);
}

void ScheduleRunner::setRestoring(bool on)
{
    m_settings.setValue(QStringLiteral("ScheduleRestore"), SettingsStore::flagText(on));
    m_scheduleState.notify();
}

void ScheduleRunner::onDeviceState()
{
    const bool ready = m_deviceState.portReady;
    if (std::exchange(m_portReady, ready) && !ready)
        m_restoreReason = QStringLiteral("line back");
}

void ScheduleRunner::onReply()
{
    if (m_silentTicks >= SilentTicks && m_restoreReason.isEmpty())
        m_restoreReason = QStringLiteral("device answering again");
    if (!m_restoreReason.isEmpty())
        m_restoreWhy = m_restoreReason;
    m_silentTicks = 0;
}

void ScheduleRunner::onSettings(const Protocol::SettingsReply &reply)
{
    // The next present tick compares, once its own switches are out.
    if (!std::exchange(m_restoreReason, QString()).isEmpty() || m_restoreReply)
        m_restoreReply = reply;
}

void ScheduleRunner::restore(const Protocol::SettingsReply &reply)
{
    if (!m_scheduleState.on || !restoring())
        return;
    int row = -1;
    for (int i = 0; i < Schedule::Count && row < 0; ++i)
        if (m_scheduleState.schedule[i].Running)
            row = i;
    const bool on = row >= 0;
    const int logo = on ? m_onAirLogo[static_cast<size_t>(row)] : 0;
    const QString why = QStringLiteral(" (%1)").arg(m_restoreWhy);
    if (on && logo >= 1 && reply.multiLogo && reply.slot && *reply.slot != logo) {
        m_ops.sendSlotSelection(logo);
        asRun(row, logo, QStringLiteral("RESTORE SELECT") + why);
    }
    if (reply.takeOn != on) {
        if (on)
            m_ops.takeOn();
        else
            m_ops.takeOff();
        asRun(row, logo, (on ? QStringLiteral("RESTORE TAKE ON") : QStringLiteral("RESTORE TAKE OFF")) + why);
    }
}

void ScheduleRunner::selectLogo(int row, int logo)
{
    if (m_scheduledLogo == 0)
        m_scheduledLogo = 1;
    m_scheduleState.runnerLogo = logo;
    m_ops.sendSlotSelection(logo);
    asRun(row, logo, QStringLiteral("SELECT"));
    m_logoState.slotChosen[static_cast<size_t>(m_scheduledLogo)] = false;
    m_scheduledLogo = logo;
    m_logoState.slotChosen[static_cast<size_t>(logo)] = true;
    m_ops.selectSlot(m_scheduledLogo);
}

void ScheduleRunner::toggleRunning()
{
    m_reporter.setUploadStatus(QString());
    m_scheduleState.on = !m_scheduleState.on;
    m_settings.setValue(QStringLiteral("ScheduleOn"), SettingsStore::flagText(m_scheduleState.on));
    m_scheduleState.runningShown = m_scheduleState.on;
    emit timerChanged(m_scheduleState.on);
    if (m_scheduleState.runnerLogo >= 1 && m_scheduleState.runnerLogo <= 4)
        m_scheduleState.runnerLogo = 0;
    for (size_t n = 1; n <= 4; ++n)
        m_scheduleState.onAir[n] = false;
    m_scheduleState.notify();
}

void ScheduleRunner::setAsRunLog(AsRunWriter *log)
{
    if (m_asRunLog)
        disconnect(m_asRunLog, nullptr, this, nullptr);
    m_asRunLog = log;
    if (m_asRunLog)
        connect(m_asRunLog, &AsRunWriter::written, this, &ScheduleRunner::asRunWritten);
}

void ScheduleRunner::asRun(int row, int logo, const QString &command)
{
    const AsRunLog::Entry entry{m_clock.now(), row + 1, logo, command, m_link.portOpen()};
    if (m_asRunLog)
        m_asRunLog->post(entry);
    emit asRunPosted(AsRunLog::line(entry));
}

void ScheduleRunner::asRunWritten(const QString &failure)
{
    if (failure.isEmpty()) {
        m_asRunFailing = false;
    } else if (!m_asRunFailing) {
        m_asRunFailing = true;
        m_reporter.ReportError(QStringLiteral("The as-run log could not be written: ") + failure
                                   + QStringLiteral(". The schedule goes on; logging resumes when the "
                                                    "file can be written again."),
                               QStringLiteral("As-Run Log"));
    }
}
