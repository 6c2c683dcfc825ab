// SPDX-License-Identifier: GPL-3.0-or-later
#include "clijob.h"

#include "device_link/commandtable.h"
#include "device_link/portholder.h"
#include "device_link/serialport.h"
#include "logo/bitmapfile.h"
#include "panel/panelvalues.h"
#include "session/linktimers.h"
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

bool portTitle(const QString &title)
{
    return title == QLatin1String("Mscomm1_OnComm") || title == QLatin1String("StartCom 02")
           || title == QLatin1String("SendCom") || title == QLatin1String("Communication Error!");
}

bool fileTitle(const QString &title)
{
    return title.startsWith(QLatin1String("Read_File")) || title == QLatin1String("mnuSaveLogoDisk");
}

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
    // The program keeps absolute names of logo files.
    if (!m_request.file.isEmpty())
        m_request.file = QFileInfo(m_request.file).absoluteFilePath();
    // A file that cannot be used is reported before anything is sent.
    if (m_request.command == Command::Download) {
        QFile file(m_request.file);
        if (!file.open(QIODevice::ReadOnly)) {
            fail(CliArguments::FileProblem,
                 QStringLiteral("cannot read %1: %2").arg(m_request.file, file.errorString()));
            return;
        }
        const BitmapFile::Result bitmap = BitmapFile::read(file);
        if (bitmap.problem != BitmapFile::Problem::None) {
            fail(CliArguments::FileProblem,
                 QStringLiteral("%1 is not a 256 x 32 or 256 x 64 monochrome bitmap").arg(m_request.file));
            return;
        }
    } else if (m_request.command == Command::Upload) {
        const QFileInfo folder(QFileInfo(m_request.file).absolutePath());
        if (!folder.isDir() || !folder.isWritable()) {
            fail(CliArguments::FileProblem, QStringLiteral("cannot write into %1").arg(folder.filePath()));
            return;
        }
    }

    connect(&m_core.reporter, &Reporter::errorReported, this, &CliJob::onError);
    connect(&m_core.link, &DeviceLink::ticked, this, &CliJob::onTick);
    connect(&m_core.link, &DeviceLink::replyReceived, this, &CliJob::onReply);
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
        if (m_request.checksDevice())
            check();
        else
            act();
    });
    connect(&m_core.upload, &LogoUpload::saveRequested, this, [this] {
        if (m_wait != Wait::Upload)
            return;
        m_wait = Wait::Nothing;
        if (m_core.writer.write(m_request.file, true))
            actionSent();
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
        fail(CliArguments::PortProblem, portFailure());
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
        finish(CliArguments::Ok);
        return;
    case Command::Version:
        m_output.out(QStringLiteral("quillon-cli ") + QCoreApplication::applicationVersion());
        finish(CliArguments::Ok);
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
        finish(CliArguments::Ok);
        return;
    }
    const QString conflicts = conflictText(schedule, ConflictScan::scanConflicts(schedule));
    m_output.out(conflicts.isEmpty() ? QStringLiteral("No conflicts.\n") : conflicts);
    finish(conflicts.isEmpty() ? CliArguments::Ok : CliArguments::Conflicts);
}

void CliJob::check()
{
    m_phase = Phase::Checking;
    m_ticks = 0;
    m_replied = false;
    m_core.ops.askSettings();
}

void CliJob::onReply(const QByteArray &reply)
{
    if (m_phase != Phase::Checking)
        return;
    const auto parsed
        = Protocol::parseSettingsReply(Protocol::alignReply(reply), m_core.panelState.standard == 1);
    if (!parsed)
        return;
    m_reply = parsed;
    m_replied = true;
}

void CliJob::onTick()
{
    ++m_ticks;
    if (m_phase == Phase::Checking) {
        // The link has taken the reply in by the next tick.
        if (m_replied) {
            if (m_request.command == CliRequest::Command::Wake)
                actionSent();
            else
                act();
        } else if (m_ticks > ReplyTicks) {
            fail(CliArguments::DeviceProblem,
                 QStringLiteral("no reply from the device on %1%2; is it connected, powered and awake?")
                     .arg(portName(),
                          m_request.node ? QStringLiteral(" (node %1)").arg(*m_request.node) : QString()));
        }
        return;
    }
    if (m_phase != Phase::Acting)
        return;
    switch (m_wait) {
    case Wait::Copyright:
        if (!m_core.reporter.copyright().isEmpty()) {
            m_wait = Wait::Nothing;
            m_output.out(m_core.reporter.copyright());
            actionSent();
        } else if (m_ticks > ReplyTicks) {
            fail(CliArguments::DeviceProblem,
                 QStringLiteral("no copyright line came back from ") + portName());
        }
        break;
    case Wait::Download:
    case Wait::NvSave:
        if (!m_core.download.running()) {
            m_wait = Wait::Nothing;
            if (m_interrupted)
                downloadInterrupted();
            else
                actionSent();
        }
        break;
    case Wait::Upload:
        if (!m_core.link.awaitingLogoStream()) {
            const QString status = m_core.reporter.uploadStatus();
            fail(CliArguments::DeviceProblem,
                 QStringLiteral("the device sent no logo")
                     + (status.isEmpty() ? QString() : QStringLiteral(": ") + status));
        } else if (m_ticks > StreamTicks && m_core.link.rxBuffer().isEmpty()) {
            fail(CliArguments::DeviceProblem, QStringLiteral("no logo came back from ") + portName());
        }
        break;
    case Wait::Nothing:
        break;
    }
}

void CliJob::act()
{
    using Command = CliRequest::Command;
    using Setting = CliRequest::Setting;
    m_phase = Phase::Acting;
    m_ticks = 0;
    QuillonCore &c = m_core;
    switch (m_request.command) {
    case Command::Status:
        m_output.out(statusJson(*m_reply, c.deviceState.modelNumber, portName()));
        actionSent();
        return;
    case Command::Copyright:
        m_wait = Wait::Copyright;
        c.reporter.setCopyright(QString());
        c.ops.askCopyright();
        return;
    case Command::Download: {
        // Into the slot the device has selected, as the window would hold it.
        QString name = m_request.file;
        c.logoFiles.readFile(name, LogoFiles::Origin::Stored);
        if (done())
            return;
        c.panelState.negate = m_request.negative;
        m_wait = Wait::Download;
        c.ops.downloadLogo();
        if (!done() && !c.download.running())
            fail(CliArguments::DeviceProblem, QStringLiteral("the download did not start"));
        return;
    }
    case Command::StoreLogo:
        m_wait = Wait::NvSave;
        c.ops.storeLogoInNvram();
        return;
    case Command::Upload:
        m_wait = Wait::Upload;
        c.ops.readLogoBack();
        return;
    case Command::Set:
        switch (m_request.setting) {
        case Setting::Fade:
            c.ops.setFade(m_request.value);
            break;
        case Setting::Mix:
            c.ops.setMix(m_request.value);
            break;
        case Setting::Intensity:
            c.ops.setIntensity(m_request.value);
            break;
        case Setting::HPos:
        case Setting::VPos:
            c.ops.setPosition(m_request.setting == Setting::HPos, m_request.value);
            break;
        }
        break;
    case Command::Standard:
        c.ops.setStandard(m_request.pal);
        break;
    case Command::Take:
        if (m_request.take == CliRequest::TakeMode::Toggle)
            c.ops.toggleTake();
        else if (m_request.take == CliRequest::TakeMode::On)
            c.ops.takeOn();
        else
            c.ops.takeOff();
        break;
    case Command::Select:
        if (m_request.value > c.deviceState.modelNumber) {
            fail(CliArguments::Usage, QStringLiteral("slot %1 is not a slot of this device (1 to %2)")
                                          .arg(m_request.value)
                                          .arg(c.deviceState.modelNumber));
            return;
        }
        c.ops.selectSlot(m_request.value);
        break;
    case Command::Wake:
        if (m_request.value > 0)
            c.ops.wake(m_request.value);
        else
            c.ops.wakeAll();
        check();
        return;
    case Command::Sleep:
        c.ops.sleepAll();
        break;
    case Command::SetId:
        c.ops.setNodeId(m_request.value);
        break;
    default:
        return;
    }
    if (!done())
        actionSent();
}

void CliJob::actionSent()
{
    if (done())
        return;
    if (!m_core.link.drain(DrainMs)) {
        fail(CliArguments::PortProblem, QStringLiteral("not everything written has left ") + portName());
        return;
    }
    finish(CliArguments::Ok);
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
    if (done())
        return;
    if (title == QLatin1String("RFC 2217")) {
        // A device server that keeps its own line settings: the line may
        // still work.
        m_output.err(QStringLiteral("quillon-cli: warning: ") + message);
        return;
    }
    if (title == QLatin1String("StartCom 02")) {
        // A device server that could not be reached once start-up was over.
        fail(CliArguments::PortProblem, portFailure());
        return;
    }
    QString text = message;
    if (m_wait == Wait::Download && m_core.download.running())
        text += QLatin1Char(' ') + downloadLeft();
    fail(portTitle(title)   ? CliArguments::PortProblem
         : fileTitle(title) ? CliArguments::FileProblem
                            : CliArguments::DeviceProblem,
         text);
}

QString CliJob::downloadLeft() const
{
    switch (m_core.download.load()) {
    case LogoDownload::Load::Untouched:
        return QStringLiteral("The download was not finished: the logo in the device was not touched.");
    case LogoDownload::Load::Partial:
        return QStringLiteral("The download was not finished: the logo in the device is partly written.");
    case LogoDownload::Load::Written:
        break;
    }
    return QStringLiteral("The logo was written whole, but TAKE and the fade may not have been put back.");
}

void CliJob::interrupt()
{
    if (m_phase == Phase::Running || m_phase == Phase::Idle) {
        finish(CliArguments::Ok);
        return;
    }
    // A download is first brought to a safe end: TAKE and the fade put back
    // as a finished one leaves them. A second interruption does not wait.
    if (m_wait == Wait::Download && m_core.download.running() && !m_interrupted) {
        m_interrupted = true;
        m_core.download.interrupt();
        m_output.err(QStringLiteral("quillon-cli: interrupted; putting TAKE and the fade back "
                                    "(interrupt again to stop at once)"));
        if (!m_core.download.running())
            downloadInterrupted();
        return;
    }
    fail(CliArguments::Interrupted, m_wait == Wait::Download && m_core.download.running()
                                        ? QStringLiteral("interrupted: ") + downloadLeft()
                                        : QStringLiteral("interrupted"));
}

void CliJob::downloadInterrupted()
{
    const bool written = m_core.download.load() == LogoDownload::Load::Written;
    if (!m_core.link.drain(DrainMs)) {
        fail(CliArguments::PortProblem, QStringLiteral("not everything written has left ") + portName());
        return;
    }
    fail(CliArguments::Interrupted,
         written ? QStringLiteral("interrupted: the logo went out whole; TAKE and the fade are as they were")
                 : QStringLiteral("interrupted: the logo in the device was not touched; TAKE and the fade "
                                  "are as they were"));
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

QString CliJob::statusJson(const Protocol::SettingsReply &reply, int model, const QString &port)
{
    const auto optional = [](const std::optional<int> &v) { return v ? QJsonValue(*v) : QJsonValue(); };
    QJsonObject o;
    o[QStringLiteral("port")] = port;
    o[QStringLiteral("model")] = model;
    o[QStringLiteral("multi_logo")] = reply.multiLogo;
    o[QStringLiteral("slot")] = reply.multiLogo ? optional(reply.slot) : QJsonValue(1);
    o[QStringLiteral("take")] = reply.takeOn;
    o[QStringLiteral("mix")] = reply.mixSlider;
    o[QStringLiteral("fade")] = reply.fadeSlider;
    o[QStringLiteral("intensity")] = reply.intensitySlider;
    o[QStringLiteral("hpos")] = optional(reply.hPercent);
    o[QStringLiteral("vpos")] = optional(reply.vPercent);
    o[QStringLiteral("hpos_raw")] = reply.rawH;
    o[QStringLiteral("vpos_raw")] = reply.rawV;
    o[QStringLiteral("on_time")] = reply.onTime;
    o[QStringLiteral("on_time_text")] = PanelValues::timeText(reply.onTime);
    o[QStringLiteral("interval")] = optional(reply.interval);
    o[QStringLiteral("interval_text")]
        = reply.interval ? QJsonValue(PanelValues::timeText(*reply.interval)) : QJsonValue();
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Indented));
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
