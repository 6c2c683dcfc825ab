// SPDX-License-Identifier: GPL-3.0-or-later
#include "operationjob.h"

#include "logo/bitmapfile.h"
#include "panel/panelvalues.h"
#include "session/quilloncore.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <utility>

namespace {

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

OperationJob::OperationJob(QuillonCore &core, OperationRequest request, QString portName,
                           std::function<QString()> portFailure, QObject *parent)
    : QObject(parent)
    , m_core(core)
    , m_request(std::move(request))
    , m_portName(std::move(portName))
    , m_portFailure(std::move(portFailure))
{
}

QString OperationJob::fileProblem(OperationRequest &request)
{
    using Command = OperationRequest::Command;
    // The program keeps absolute names of logo files.
    if (!request.file.isEmpty())
        request.file = QFileInfo(request.file).absoluteFilePath();
    if (request.command == Command::Download) {
        QFile file(request.file);
        if (!file.open(QIODevice::ReadOnly))
            return QStringLiteral("cannot read %1: %2").arg(request.file, file.errorString());
        if (BitmapFile::read(file).problem != BitmapFile::Problem::None)
            return QStringLiteral("%1 is not a 256 x 32 or 256 x 64 monochrome bitmap").arg(request.file);
    } else if (request.command == Command::Upload) {
        const QFileInfo folder(QFileInfo(request.file).absolutePath());
        if (!folder.isDir() || !folder.isWritable())
            return QStringLiteral("cannot write into %1").arg(folder.filePath());
    }
    return {};
}

void OperationJob::start()
{
    if (m_started)
        return;
    m_started = true;
    connect(&m_core.reporter, &Reporter::errorReported, this, &OperationJob::onError);
    connect(&m_core.link, &DeviceLink::ticked, this, &OperationJob::onTick);
    connect(&m_core.link, &DeviceLink::replyReceived, this, &OperationJob::onReply);
    connect(&m_core.upload, &LogoUpload::saveRequested, this, [this] {
        if (m_wait != Wait::Upload)
            return;
        m_wait = Wait::Nothing;
        if (m_core.writer.write(m_request.file, true))
            finish(OperationExit::Ok);
    });
    if (m_request.checksDevice())
        check();
    else
        act();
}

void OperationJob::check()
{
    m_wait = Wait::Reply;
    m_ticks = 0;
    m_reply.reset();
    m_core.ops.askSettings();
}

void OperationJob::onReply(const QByteArray &reply)
{
    if (m_wait != Wait::Reply || m_reply)
        return;
    m_reply = Protocol::parseSettingsReply(Protocol::alignReply(reply), m_core.panelState.standard == 1);
}

void OperationJob::onTick()
{
    if (m_done)
        return;
    ++m_ticks;
    switch (m_wait) {
    case Wait::Reply:
        // The link has taken the reply in by the next tick.
        if (m_reply) {
            m_wait = Wait::Nothing;
            if (m_request.command == OperationRequest::Command::Wake)
                finish(OperationExit::Ok);
            else
                act();
        } else if (m_ticks > ReplyTicks) {
            finish(OperationExit::DeviceProblem,
                   QStringLiteral("no reply from the device on %1%2; is it connected, powered and awake?")
                       .arg(m_portName,
                            m_request.node ? QStringLiteral(" (node %1)").arg(*m_request.node) : QString()));
        }
        break;
    case Wait::Copyright:
        if (!m_core.reporter.copyright().isEmpty()) {
            m_wait = Wait::Nothing;
            emit output(m_core.reporter.copyright());
            finish(OperationExit::Ok);
        } else if (m_ticks > ReplyTicks) {
            finish(OperationExit::DeviceProblem,
                   QStringLiteral("no copyright line came back from ") + m_portName);
        }
        break;
    case Wait::Download:
    case Wait::NvSave:
        if (!m_core.download.running()) {
            m_wait = Wait::Nothing;
            if (m_interrupted)
                downloadInterrupted();
            else
                finish(OperationExit::Ok);
        }
        break;
    case Wait::Upload:
        if (!m_core.link.awaitingLogoStream()) {
            const QString status = m_core.reporter.uploadStatus();
            finish(OperationExit::DeviceProblem,
                   QStringLiteral("the device sent no logo")
                       + (status.isEmpty() ? QString() : QStringLiteral(": ") + status));
        } else if (m_ticks > StreamTicks && m_core.link.rxBuffer().isEmpty()) {
            finish(OperationExit::DeviceProblem, QStringLiteral("no logo came back from ") + m_portName);
        }
        break;
    case Wait::Nothing:
        break;
    }
}

void OperationJob::act()
{
    using Command = OperationRequest::Command;
    using Setting = OperationRequest::Setting;
    m_ticks = 0;
    QuillonCore &c = m_core;
    switch (m_request.command) {
    case Command::Status:
        emit output(statusJson(*m_reply, c.deviceState.modelNumber, m_portName));
        break;
    case Command::Copyright:
        m_wait = Wait::Copyright;
        c.reporter.setCopyright(QString());
        c.ops.askCopyright();
        return;
    case Command::Download: {
        // Into the slot the device has selected, as the window would hold it.
        QString name = m_request.file;
        c.logoFiles.readFile(name, LogoFiles::Origin::Stored);
        if (m_done)
            return;
        // The negative is this download's; the panel's comes back at the end.
        m_negateBefore = std::exchange(c.panelState.negate, m_request.negative);
        m_wait = Wait::Download;
        c.ops.downloadLogo();
        if (!m_done && !c.download.running())
            finish(OperationExit::DeviceProblem, QStringLiteral("the download did not start"));
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
        case Setting::OnTime:
            c.ops.setOnTime(m_request.value);
            break;
        case Setting::Interval:
            c.ops.setIntervalTime(m_request.value);
            break;
        }
        break;
    case Command::Standard:
        c.ops.setStandard(m_request.pal);
        break;
    case Command::Take:
        if (m_request.take == OperationRequest::TakeMode::Toggle)
            c.ops.toggleTake();
        else if (m_request.take == OperationRequest::TakeMode::On)
            c.ops.takeOn();
        else
            c.ops.takeOff();
        break;
    case Command::Select:
        if (m_request.value > c.deviceState.modelNumber) {
            finish(OperationExit::Usage, QStringLiteral("slot %1 is not a slot of this device (1 to %2)")
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
        finish(OperationExit::Usage, QStringLiteral("this command does not act on the line"));
        return;
    }
    finish(OperationExit::Ok);
}

void OperationJob::onError(const QString &message, const QString &title)
{
    if (m_done)
        return;
    if (title == QLatin1String("RFC 2217")) {
        // A device server that keeps its own line settings: the line may
        // still work.
        emit warning(message);
        return;
    }
    if (title == QLatin1String("StartCom 02")) {
        // A device server that could not be reached again.
        finish(OperationExit::PortProblem, m_portFailure ? m_portFailure() : message);
        return;
    }
    QString text = message;
    if (m_wait == Wait::Download && m_core.download.running())
        text += QLatin1Char(' ') + downloadLeft();
    finish(portTitle(title)   ? OperationExit::PortProblem
           : fileTitle(title) ? OperationExit::FileProblem
                              : OperationExit::DeviceProblem,
           text);
}

QString OperationJob::downloadLeft() const
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

void OperationJob::interrupt()
{
    if (m_done)
        return;
    const bool downloading = m_wait == Wait::Download && m_core.download.running();
    if (downloading && !m_interrupted) {
        m_interrupted = true;
        m_core.download.interrupt();
        emit warning(
            QStringLiteral("interrupted; putting TAKE and the fade back (interrupt again to stop at once)"));
        if (!m_core.download.running())
            downloadInterrupted();
        return;
    }
    m_interrupted = false;
    finish(OperationExit::Interrupted,
           downloading ? QStringLiteral("interrupted: ") + downloadLeft() : QStringLiteral("interrupted"));
}

void OperationJob::downloadInterrupted()
{
    const bool written = m_core.download.load() == LogoDownload::Load::Written;
    finish(OperationExit::Interrupted,
           written
               ? QStringLiteral("interrupted: the logo went out whole; TAKE and the fade are as they were")
               : QStringLiteral("interrupted: the logo in the device was not touched; TAKE and the fade "
                                "are as they were"));
}

void OperationJob::finish(int code, const QString &message)
{
    if (m_done)
        return;
    m_done = true;
    m_wait = Wait::Nothing;
    if (m_negateBefore)
        m_core.panelState.negate = *m_negateBefore;
    emit finished(code, message);
}

QString OperationJob::statusJson(const Protocol::SettingsReply &reply, int model, const QString &port)
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
