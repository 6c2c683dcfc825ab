// SPDX-License-Identifier: GPL-3.0-or-later
#include "deviceoperations.h"

#include "device_link/commandtable.h"
#include "device_link/devicelink.h"
#include "device_link/devicestate.h"
#include "logo/logodownload.h"
#include "logo/logoupload.h"
#include "panel/panelcontroller.h"
#include "panel/panelstate.h"
#include "panel/slotcontroller.h"
#include "reporting/reporter.h"

#include <algorithm>

namespace {

constexpr int MinTime = 15;   // seconds
constexpr int MaxTime = 3825; // 255 steps of 15 s

// A time of the on/off cycle in seconds as the device's byte, 1 to 255.
int timeByte(int seconds)
{
    const int t = std::clamp(seconds, MinTime, MaxTime);
    return Protocol::roundHalfEven((t - MinTime) * 255.0 / MaxTime + 1);
}

// A position in percent, 0 to 99, as the device's raw value: its span and
// offset depend on the video standard.
QByteArray positionArg(int percent, int span, int offset)
{
    return Protocol::hex2(Protocol::roundHalfEven(std::clamp(percent, 0, 99) / 99.0 * span + offset));
}

int modelOrDefault(int model)
{
    constexpr int models[] = {1, 4, 7, 15, 31};
    return std::find(std::begin(models), std::end(models), model) != std::end(models) ? model : 4;
}

} // namespace

DeviceOperations::DeviceOperations(DeviceState &deviceState, PanelState &panelState, Reporter &reporter,
                                   DeviceLink &link, PanelController &panel, SlotController &slotControl,
                                   LogoDownload &download, LogoUpload &upload, QObject *parent)
    : QObject(parent)
    , m_deviceState(deviceState)
    , m_panelState(panelState)
    , m_reporter(reporter)
    , m_link(link)
    , m_panel(panel)
    , m_slots(slotControl)
    , m_download(download)
    , m_upload(upload)
{
    connect(&m_link, &DeviceLink::settingsReceived, this, &DeviceOperations::settingsReceived);
    connect(&m_link, &DeviceLink::takeChanged, this, &DeviceOperations::takeChanged);
    connect(&m_reporter, &Reporter::errorReported, this, &DeviceOperations::reported);
}

void DeviceOperations::wakeAll()
{
    m_link.sendCommand(CommandTable::Wakeup, QByteArrayLiteral("00"));
}

void DeviceOperations::wake(int node)
{
    m_link.sendCommand(CommandTable::Sleep);
    m_link.sendCommand(CommandTable::Wakeup, Protocol::hex2(std::clamp(node, 0, 255)));
}

void DeviceOperations::sleepAll()
{
    m_link.sendCommand(CommandTable::Sleep);
}

void DeviceOperations::setNodeId(int id)
{
    m_link.sendCommand(CommandTable::ChangeId, Protocol::hex2(std::clamp(id, 0, 255)));
}

void DeviceOperations::setFade(int value)
{
    m_panel.setFade(value);
}

void DeviceOperations::setMix(int value)
{
    m_panel.setMix(value);
}

void DeviceOperations::setIntensity(int value)
{
    m_panel.setIntensity(value);
}

void DeviceOperations::setOnTime(int steps)
{
    m_panel.setOnTime(steps);
}

void DeviceOperations::setIntervalTime(int steps)
{
    m_panel.setIntervalTime(steps);
}

void DeviceOperations::setPosition(bool horizontal, int percent)
{
    m_panel.setPosition(horizontal, percent);
}

void DeviceOperations::setStandard(bool pal)
{
    m_panel.setStandard(pal ? 1 : 0);
}

void DeviceOperations::takeOn()
{
    m_link.sendCommand(CommandTable::TakeOn);
}

void DeviceOperations::takeOff()
{
    m_link.sendCommand(CommandTable::TakeOff);
}

void DeviceOperations::toggleTake()
{
    m_link.sendCommand(CommandTable::ToggleTake);
}

void DeviceOperations::saveSettings()
{
    m_link.sendCommand(CommandTable::SaveSettings);
}

void DeviceOperations::selectSlot(int slot)
{
    m_slots.selectSlot(slot);
}

void DeviceOperations::sendSlotSelection(int slot)
{
    m_link.sendCommand(CommandTable::SelectLogo, Protocol::dec2(slot));
}

void DeviceOperations::downloadLogo()
{
    if (m_forward) {
        // The holder is told which file: the current slot's.
        m_forward({{QStringLiteral("op"), QStringLiteral("download")},
                   {QStringLiteral("negative"), m_panelState.negate}},
                  {});
        return;
    }
    m_download.start();
}

void DeviceOperations::storeLogoInNvram()
{
    if (m_forward) {
        m_forward({{QStringLiteral("op"), QStringLiteral("store-logo")}}, {});
        return;
    }
    m_download.storeInNvram();
}

void DeviceOperations::readLogoBack()
{
    m_upload.request();
}

void DeviceOperations::factoryReset()
{
    sendDiagnostic(CommandTable::FactoryReset);
}

void DeviceOperations::setModel(int model)
{
    sendDiagnostic(CommandTable::SetModel, model);
}

void DeviceOperations::askSettings()
{
    m_link.sendCommand(CommandTable::RetrieveSettings);
}

void DeviceOperations::askCopyright()
{
    if (m_forward) {
        m_reporter.setCopyright(QString());
        m_forward({{QStringLiteral("op"), QStringLiteral("copyright")}}, [this](const QJsonObject &answer) {
            m_reporter.setCopyright(answer.value(u"out").toString().trimmed());
            m_link.setCopyrightWait(200);
        });
        return;
    }
    m_link.sendCommand(CommandTable::RetrieveCopyright);
}

void DeviceOperations::sendDiagnostic(int command, int value)
{
    if (m_forward) {
        m_forward({{QStringLiteral("op"), QStringLiteral("diagnostic")},
                   {QStringLiteral("command"), command},
                   {QStringLiteral("value"), std::clamp(value, 0, 255)}},
                  {});
        return;
    }
    using namespace CommandTable;
    const bool pal = m_panelState.standard == 1;
    QByteArray arg;
    switch (command) {
    case FadeRate:
    case MixLevel:
        arg = Protocol::byte(99 - std::clamp(value, 0, 99));
        break;
    case IreLevel:
        arg = Protocol::byte(std::clamp(value, 0, 99));
        break;
    case HorizPosn:
        arg = pal ? positionArg(value, 164, 42) : positionArg(value, 120, 34);
        break;
    case VertPosn:
        arg = positionArg(value, pal ? 64 : 51, 4);
        break;
    case SendLogo:
        m_reporter.setUploadStatus(QString());
        m_download.start();
        return;
    case ChangeId:
        setNodeId(value);
        return;
    case SetTimeOn:
    case SetTimeOff:
        arg = Protocol::byte(timeByte(value));
        break;
    case Wakeup:
        wake(value);
        return;
    case SelectLogo:
        sendSlotSelection(std::max(1, std::min(value, m_deviceState.modelNumber)));
        return;
    case RetrieveLogo:
    case FactoryReset:
        // Whatever comes back is taken as a logo stream.
        m_link.expectLogoStream(LogoUpload::WaitTicks);
        m_reporter.setUploadStatus(QStringLiteral("Waiting for Reply"));
        break;
    case SetModel:
        arg = Protocol::dec2(modelOrDefault(value));
        break;
    case RetrieveCopyright:
        m_reporter.setCopyright(QString());
        break;
    default:
        break;
    }
    m_link.sendCommand(command, arg);
}
