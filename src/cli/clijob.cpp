// SPDX-License-Identifier: GPL-3.0-or-later
#include "clijob.h"

#include "device_link/commandtable.h"
#include "device_link/portholder.h"
#include "device_link/serialport.h"
#include "logo/bitmapfile.h"
#include "panel/panelvalues.h"
#include "session/linktimers.h"
#include "session/operationjob.h"
#include "session/quilloncore.h"
#include "settings/settingsstore.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <array>
#include <utility>

namespace {

constexpr int DrainMs = 10000;

const std::array<const char *, 7> kDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

} // namespace

CliJob::CliJob(QuillonCore &core, CliRequest request, Output output, LinkTimers *timers, QObject *parent)
    : QObject(parent)
    , m_core(core)
    , m_request(std::move(request))
    , m_output(std::move(output))
    , m_timers(timers)
{
}

QString CliJob::portName() const
{
    if (!m_request.device.isEmpty())
        return m_request.device;
    const QString path = m_core.link.portPath();
    const QString name = QStringLiteral("COM") + QString::number(m_core.deviceState.comPort);
    return path.isEmpty() ? name : name + QStringLiteral(" (") + path + QLatin1Char(')');
}

QString CliJob::portFailure() const
{
    if (m_core.deviceState.comPort == 0)
        return QStringLiteral(
            "no port: give --port N or --device PATH, or choose a port in Quillon's Com menu");
    switch (m_core.link.lastComError()) {
    case SerialPort::NotValid:
        if (const QString problem = m_core.link.portProblem(); !problem.isEmpty())
            return QStringLiteral("could not reach ") + problem;
        return QStringLiteral("there is no serial port at ") + portName();
    case SerialPort::InUse: {
        const auto holder = PortHolder::find(m_core.link.portPath());
        QString text = portName()
                       + (holder ? QStringLiteral(" is in use. ") + PortHolder::describe(*holder)
                                 : QStringLiteral(" is in use or not permitted."));
        if (m_request.command == CliRequest::Command::ScheduleRun)
            text += QStringLiteral(" The schedule does not run while another program holds the port.");
        return text;
    }
    default:
        return portName() + QStringLiteral(" could not be opened");
    }
}

void CliJob::start()
{
    if (m_request.offline()) {
        runOffline();
        return;
    }
    using Command = CliRequest::Command;
    // A file that cannot be used is reported before anything is sent.
    if (const QString problem = OperationJob::fileProblem(m_request); !problem.isEmpty()) {
        fail(OperationExit::FileProblem, problem);
        return;
    }

    connect(&m_core.reporter, &Reporter::errorReported, this, &CliJob::onError);
    connect(&m_core.link, &DeviceLink::comInitTimerChanged, this, [this](bool waiting) {
        if (waiting || (m_phase != Phase::Waking && m_phase != Phase::Running))
            return;
        // The link has sent its start-up wake-up to every node. A running
        // schedule wakes its one node after each of them, before any of its
        // switches go out.
        if (m_request.node)
            m_core.ops.wake(*m_request.node);
        if (m_phase == Phase::Running)
            return;
        act();
    });
    if (m_output.progressBar)
        connect(&m_core.reporter, &Reporter::changed, this, &CliJob::drawProgress);

    m_loading = true;
    std::optional<int> port = m_request.port;
    if (!m_request.device.isEmpty())
        port = 1; // the program's locator puts the device behind port 1
    m_core.startup.startHeadless(port);
    m_loading = false;
    if (!m_core.link.portOpen()) {
        fail(OperationExit::PortProblem, portFailure());
        return;
    }
    if (m_request.command == Command::ScheduleRun) {
        m_phase = Phase::Running;
        m_core.scheduleState.on = true;
        m_core.scheduleState.runningShown = true;
        if (m_timers)
            m_timers->armSchedule();
        m_output.err(QStringLiteral("quillon-cli: running the schedule on %1").arg(portName()));
        return;
    }
    m_phase = Phase::Waking;
}

void CliJob::runOffline()
{
    using Command = CliRequest::Command;
    switch (m_request.command) {
    case Command::Help:
        m_output.out(CliArguments::usage());
        finish(OperationExit::Ok);
        return;
    case Command::Version:
        m_output.out(QStringLiteral("quillon-cli ") + QCoreApplication::applicationVersion());
        finish(OperationExit::Ok);
        return;
    default:
        break;
    }
    if (!m_core.settings.setAsideFile().isEmpty())
        m_output.err(
            QStringLiteral("quillon-cli: warning: the settings file could not be read; it was kept as ")
            + m_core.settings.setAsideFile());
    Schedule schedule;
    const Schedule::LoadProblem problem = schedule.LoadSchedule(m_core.settings);
    if (problem.bad)
        m_output.err(QStringLiteral("quillon-cli: warning: ") + problem.message);
    if (m_request.command == Command::ScheduleList) {
        m_output.out(scheduleTable(schedule));
        finish(OperationExit::Ok);
        return;
    }
    const QString conflicts = conflictText(schedule, ConflictScan::scanConflicts(schedule));
    m_output.out(conflicts.isEmpty() ? QStringLiteral("No conflicts.\n") : conflicts);
    finish(conflicts.isEmpty() ? OperationExit::Ok : OperationExit::Conflicts);
}

void CliJob::act()
{
    m_phase = Phase::Acting;
    m_job = new OperationJob(
        m_core, m_request, portName(), [this] { return portFailure(); }, this);
    connect(m_job, &OperationJob::output, this, [this](const QString &text) { m_output.out(text); });
    connect(m_job, &OperationJob::warning, this,
            [this](const QString &text) { m_output.err(QStringLiteral("quillon-cli: warning: ") + text); });
    connect(m_job, &OperationJob::finished, this, [this](int code, const QString &message) {
        // What was written leaves the port before the program ends: a close
        // throws away what is still in its buffer.
        if ((code == OperationExit::Ok || m_job->interruptedInDownload()) && !m_core.link.drain(DrainMs)) {
            fail(OperationExit::PortProblem, QStringLiteral("not everything written has left ") + portName());
            return;
        }
        if (message.isEmpty())
            finish(code);
        else
            fail(code, message);
    });
    m_job->start();
}

void CliJob::onError(const QString &message, const QString &title)
{
    if (m_loading) {
        // The port's own failure is told once the start-up is over.
        if (title != QLatin1String("StartCom 02"))
            m_output.err(QStringLiteral("quillon-cli: warning: ") + message);
        return;
    }
    if (m_phase == Phase::Running) {
        m_output.err(QStringLiteral("quillon-cli: ") + message);
        return;
    }
    // Once the operation runs, it tells its own errors.
    if (done() || m_phase != Phase::Waking)
        return;
    if (title == QLatin1String("RFC 2217")) {
        m_output.err(QStringLiteral("quillon-cli: warning: ") + message);
        return;
    }
    fail(title == QLatin1String("StartCom 02") ? OperationExit::PortProblem : OperationExit::DeviceProblem,
         title == QLatin1String("StartCom 02") ? portFailure() : message);
}

void CliJob::interrupt()
{
    if (m_phase == Phase::Running || m_phase == Phase::Idle) {
        finish(OperationExit::Ok);
        return;
    }
    if (m_job) {
        m_job->interrupt();
        return;
    }
    fail(OperationExit::Interrupted, QStringLiteral("interrupted"));
}

void CliJob::reloadSchedule()
{
    if (m_phase != Phase::Running)
        return;
    // A file that is gone, cannot be read, or holds none of the schedule's
    // keys (a window that started on an unreadable file writes a fresh one)
    // is no new schedule: the last one read runs on. Said once a streak.
    SettingsStore &settings = m_core.settings;
    const bool readable = QFileInfo(settings.fileName()).isFile() && settings.reload();
    const auto &keys = Schedule::listKeys();
    const bool holdsSchedule = readable && std::any_of(keys.begin(), keys.end(), [&](const QString &key) {
                                   return settings.contains(key);
                               });
    if (!holdsSchedule) {
        if (!m_scheduleKept)
            m_output.err(
                QStringLiteral("quillon-cli: the settings file %1 is %2; the last schedule read runs on")
                    .arg(settings.fileName(), !QFileInfo::exists(settings.fileName()) ? QStringLiteral("gone")
                                              : !readable ? QStringLiteral("unreadable")
                                                          : QStringLiteral("without a schedule")));
        m_scheduleKept = true;
        return;
    }
    m_scheduleKept = false;
    // A sequence the runner holds on stays held: if it is no longer on, the
    // next tick takes it off.
    Schedule &schedule = m_core.scheduleState.schedule;
    QStringList before;
    for (int list = 0; list < 6; ++list)
        before.append(schedule.listText(list));
    std::array<bool, Schedule::Count> running{};
    for (int i = 0; i < Schedule::Count; ++i)
        running[static_cast<size_t>(i)] = schedule[i].Running;
    const Schedule::LoadProblem problem = schedule.LoadSchedule(m_core.settings);
    for (int i = 0; i < Schedule::Count; ++i)
        schedule[i].Running = running[static_cast<size_t>(i)];
    if (problem.bad)
        m_output.err(QStringLiteral("quillon-cli: ") + problem.message);
    QStringList after;
    for (int list = 0; list < 6; ++list)
        after.append(schedule.listText(list));
    if (after != before)
        m_output.err(QStringLiteral("quillon-cli: the schedule was changed and is read again"));
}

void CliJob::drawProgress()
{
    if (done() || !m_core.reporter.progressVisible())
        return;
    const int value = std::clamp(m_core.reporter.progressValue(), 0, 100);
    if (value == m_progressDrawn)
        return;
    m_progressDrawn = value;
    constexpr int Width = 30;
    const int filled = value * Width / 100;
    m_output.err(QStringLiteral("\r[%1%2] %3% %4")
                     .arg(QString(filled, QLatin1Char('#')), QString(Width - filled, QLatin1Char(' ')))
                     .arg(value, 3)
                     .arg(m_core.reporter.uploadStatus().leftJustified(24)));
}

void CliJob::fail(int code, const QString &message)
{
    if (done())
        return;
    if (m_progressDrawn >= 0)
        m_output.err(QStringLiteral("\n"));
    m_progressDrawn = -1;
    m_output.err(QStringLiteral("quillon-cli: ") + message);
    finish(code);
}

void CliJob::finish(int code)
{
    if (done())
        return;
    if (m_progressDrawn >= 0)
        m_output.err(QStringLiteral("\n"));
    m_phase = Phase::Done;
    m_exitCode = code;
    emit finished(code);
}

QString CliJob::scheduleTable(const Schedule &schedule)
{
    QString text = QStringLiteral("Seq  Logo  Start     End       On        Repeat    Days\n");
    for (int i = 0; i < Schedule::Count; ++i) {
        const ScheduleSequence &s = schedule[i];
        const auto time = [](int steps) {
            return (steps < 0 ? QStringLiteral("-") : PanelValues::timeText(steps)).leftJustified(9);
        };
        QStringList days;
        for (int d = 0; d < 7; ++d)
            if (s.Days[static_cast<size_t>(d)])
                days.append(QString::fromLatin1(kDayNames[static_cast<size_t>(d)]));
        const bool off = s.Start < 0 || s.Logo <= 0;
        text += QStringLiteral("%1  %2  %3 %4 %5 %6 %7\n")
                    .arg(i + 1, 3)
                    .arg(s.Logo > 0 ? QString::number(s.Logo) : QStringLiteral("-"), 4)
                    .arg(time(s.Start), time(s.End), time(s.OnSteps), time(s.RepeatSteps),
                         off              ? QStringLiteral("(off)")
                         : days.isEmpty() ? QStringLiteral("none")
                                          : days.join(QLatin1Char(' ')));
    }
    return text;
}

QString CliJob::conflictText(const Schedule &schedule, const ConflictMarks &marks)
{
    QString text;
    for (int i = 0; i < Schedule::Count; ++i) {
        const auto &dayMarks = marks.days[static_cast<size_t>(i)];
        QStringList days;
        for (int d = 0; d < 7; ++d)
            if (dayMarks[static_cast<size_t>(d)])
                days.append(QString::fromLatin1(kDayNames[static_cast<size_t>(d)]));
        if (days.isEmpty() && !marks.logos[static_cast<size_t>(i)])
            continue;
        text += QStringLiteral("Sequence %1 (logo %2) conflicts%3\n")
                    .arg(i + 1)
                    .arg(schedule[i].Logo)
                    .arg(days.isEmpty() ? QString()
                                        : QStringLiteral(" on ") + days.join(QStringLiteral(", ")));
    }
    return text;
}
