// SPDX-License-Identifier: GPL-3.0-or-later
#include "panelcontroller.h"

#include "device_link/commandtable.h"
#include "device_link/devicelink.h"
#include "device_link/devicestate.h"
#include "device_link/protocol.h"
#include "logo/logostate.h"
#include "panel/panelstate.h"
#include "panel/panelvalues.h"
#include "panel/previewcolours.h"
#include "reporting/reporter.h"
#include "scheduler/schedulestate.h"
#include "settings/settingsstore.h"

#include <algorithm>
#include <array>

PanelController::PanelController(DeviceState &deviceState, LogoState &logoState, PanelState &panelState,
                                 ScheduleState &scheduleState, DeviceLink &link, Reporter &reporter,
                                 SettingsStore &settings, QObject *parent)
    : QObject(parent)
    , m_deviceState(deviceState)
    , m_logoState(logoState)
    , m_panelState(panelState)
    , m_scheduleState(scheduleState)
    , m_link(link)
    , m_reporter(reporter)
    , m_settings(settings)
{
    connect(&m_link, &DeviceLink::settingsReceived, this, &PanelController::applyDeviceSettings);
    connect(&m_link, &DeviceLink::ticked, this, [this] {
        if (m_dragThrottle > 0)
            --m_dragThrottle;
    });
}

void PanelController::send(int command, int value)
{
    m_link.sendCommand(command, Protocol::byte(value));
}

void PanelController::setFade(int value)
{
    PanelState &panel = m_panelState;
    panel.fade = std::clamp(value, PanelValues::FadeMin, PanelValues::FadeMax);
    send(CommandTable::FadeRate, PanelValues::fadeByte(panel.fade));
    showFade();
}

void PanelController::setMix(int value)
{
    PanelState &panel = m_panelState;
    panel.mix = std::clamp(value, PanelValues::MixMin, PanelValues::MixMax);
    send(CommandTable::MixLevel, PanelValues::mixByte(panel.mix));
    showMix();
}

void PanelController::setIntensity(int value)
{
    PanelState &panel = m_panelState;
    panel.intensity = std::clamp(value, PanelValues::IntensityMin, PanelValues::IntensityMax);
    send(CommandTable::IreLevel, PanelValues::intensityByte(panel.intensity));
    showIntensity();
}

// The label, the stored value and the preview of a slider that has moved,
// whether the user or the device moved it.
void PanelController::showFade()
{
    PanelState &panel = m_panelState;
    panel.fadeText = PanelValues::fadeLabel(panel.fade);
    m_panelState.notify();
    m_settings.setValue(QStringLiteral("Slider-FADE"), QString::number(panel.fade));
}

void PanelController::showMix()
{
    PanelState &panel = m_panelState;
    panel.mixText = QString::number(panel.mix);
    m_panelState.notify();
    refreshPreview();
    m_settings.setValue(QStringLiteral("Slider-MIX"), panel.mixText);
}

void PanelController::showIntensity()
{
    PanelState &panel = m_panelState;
    panel.intensityText = QString::number(panel.intensity);
    m_panelState.notify();
    refreshPreview();
    m_settings.setValue(QStringLiteral("Slider-INT"), panel.intensityText);
}

void PanelController::showOnTime(int value)
{
    m_panelState.timeOn = std::clamp(value, PanelValues::TimeMin, PanelValues::TimeMax);
    updateTimeLabels();
}

void PanelController::showIntervalTime(int value)
{
    m_panelState.timeInt = std::clamp(value, PanelValues::TimeMin, PanelValues::TimeMax);
    updateTimeLabels();
}

void PanelController::setOnTime(int value)
{
    showOnTime(value);
    send(CommandTable::SetTimeOn, m_panelState.timeOn);
}

void PanelController::setIntervalTime(int value)
{
    showIntervalTime(value);
    send(CommandTable::SetTimeOff, m_panelState.timeInt);
}

void PanelController::updateTimeLabels()
{
    PanelState &panel = m_panelState;
    panel.onTimeText = PanelValues::timeText(panel.timeOn);
    panel.intervalText = PanelValues::timeText(panel.timeOn + panel.timeInt);
    m_panelState.notify();
}

void PanelController::setPositionText(bool horizontal, const QString &text)
{
    (horizontal ? m_panelState.hposText : m_panelState.vposText) = text;
}

void PanelController::enterPosition(bool horizontal)
{
    PanelState &panel = m_panelState;
    QString &text = horizontal ? panel.hposText : panel.vposText;
    const QString source = horizontal ? QStringLiteral("txtHPOS") : QStringLiteral("txtVPOS");
    bool isNumber = false;
    const double typed = text.trimmed().toDouble(&isNumber);
    if (!isNumber) {
        emit beepRequested();
        if (!text.isEmpty()) {
            m_reporter.ReportError(horizontal ? QStringLiteral("Allowable Range 34 to 154  ")
                                              : QStringLiteral("Allowable Range 0 to 100%"),
                                   source);
            text = QStringLiteral("0");
            m_panelState.notify();
        }
        return;
    }
    // A whole number beyond 16 bits does not convert: reported, nothing sent.
    if (typed < -32768.5 || typed > 32767.5) {
        m_reporter.ReportError(QStringLiteral("Overflow"), source);
        return;
    }
    setPosition(horizontal, Protocol::roundHalfEven(typed));
}

void PanelController::setPosition(bool horizontal, int value)
{
    PanelState &panel = m_panelState;
    const int percent = std::clamp(value, 0, 100);
    (horizontal ? panel.hposText : panel.vposText) = QString::number(percent);
    const bool pal = panel.standard == 1;
    if (horizontal) {
        m_link.sendCommand(CommandTable::HorizPosn,
                           Protocol::hex2(PanelValues::hposDeviceValue(percent, pal)));
        panel.previewLeft = percent * 4020 / 100 + 60;
    } else {
        m_link.sendCommand(CommandTable::VertPosn,
                           Protocol::hex2(PanelValues::vposDeviceValue(percent, pal)));
        panel.previewTop = Protocol::roundHalfEven(percent / 100.0 * 2880.0) + 240;
    }
    m_panelState.notify();
}

void PanelController::setStandard(int index)
{
    if (index != 0 && index != 1)
        return;
    m_panelState.standard = index;
    m_settings.setValue(QStringLiteral("NTSC_PAL"), QString::number(index));
    m_link.sendCommand(index == 1 ? CommandTable::StandardPal : CommandTable::StandardNtsc);
    m_panelState.notify();
}

void PanelController::setNegative(bool checked)
{
    m_panelState.negate = checked;
    refreshPreview();
    m_panelState.notify();
}

void PanelController::toggleLock()
{
    m_reporter.setUploadStatus(QString());
    m_panelState.locked = !m_panelState.locked;
    // The lock disables the logo view of the slot that is current now; the
    // views of other slots stay usable.
    m_panelState.lockedViewSlot = m_panelState.locked ? m_logoState.currentSlot : 0;
    m_settings.setValue(QStringLiteral("PanelLock"), SettingsStore::flagText(m_panelState.locked));
    m_panelState.notify();
}

void PanelController::toggleShowMode(int index)
{
    static constexpr std::array<const char *, 3> keys{"ShowInt", "ShowMix", "ShowFade"};
    if (index < 0 || index > 2)
        return;
    bool &flag = index == 0   ? m_panelState.showInt
                 : index == 1 ? m_panelState.showMix
                              : m_panelState.showFade;
    flag = !flag;
    m_settings.setValue(QString::fromLatin1(keys[static_cast<size_t>(index)]), SettingsStore::flagText(flag));
    if (index == 2 && !flag)
        m_panelState.previewVisible = true;
    m_panelState.notify();
}

void PanelController::refreshPreview()
{
    if ((m_scheduleState.on && m_deviceState.platformCode < 2) || m_refreshingPreview)
        return;
    m_refreshingPreview = true;
    const PanelState &panel = m_panelState;
    m_panelState.viewColours = PreviewColours::forView(panel.mix, panel.intensity, m_panelState.showMix,
                                                       m_panelState.showInt, panel.negate);
    m_panelState.fullViewColours = PreviewColours::forFullView(panel.negate);
    // The views draw the slots' logos as held in memory, in the new colours.
    m_panelState.notify();
    m_refreshingPreview = false;
}

void PanelController::startDrag(int x, int y)
{
    m_drag.dragging = true;
    m_drag.grabX = x;
    m_drag.grabY = y;
    m_drag.firstMove = false;
}

void PanelController::dragTo(int x, int y)
{
    PanelState &panel = m_panelState;
    if (!m_drag.firstMove) {
        m_drag.firstMove = true;
        m_drag.left = panel.previewLeft;
        m_drag.top = panel.previewTop;
    }
    // At most one move every three ticks of the 25 ms clock.
    if (m_dragThrottle > 0)
        return;
    m_dragThrottle = 3;
    if (m_drag.dragging && !panel.locked) {
        m_drag.left = std::clamp(x - m_drag.grabX + m_drag.left, 60, 4080);
        m_drag.top = std::clamp(y - m_drag.grabY + m_drag.top, 240, 3120);
        panel.previewLeft = m_drag.left;
        panel.previewTop = m_drag.top;
        const int v = Protocol::roundHalfEven((m_drag.top - 240) * 100 / 2880.0);
        const int h = Protocol::roundHalfEven((m_drag.left - 60) * 100 / 4020.0);
        panel.hposText = QString::number(h);
        panel.vposText = QString::number(v);
        const bool pal = panel.standard == 1;
        const int deviceV = pal ? std::clamp(Protocol::roundHalfEven(v * 62 / 100.0 + 6), 6, 68)
                                : std::clamp(Protocol::roundHalfEven(v * 51 / 100.0 + 4), 4, 55);
        m_link.sendCommand(CommandTable::VertPosn, Protocol::hex2(deviceV));
        const int deviceH
            = pal ? std::clamp(h * 164 / 100 + 42, 42, 206) : std::clamp(h * 120 / 100 + 34, 34, 154);
        m_link.sendCommand(CommandTable::HorizPosn, Protocol::hex2(deviceH));
        m_panelState.notify();
    }
}

void PanelController::endDrag()
{
    m_drag.dragging = false;
}

void PanelController::applyDeviceSettings(const Protocol::SettingsReply &settings)
{
    PanelState &panel = m_panelState;
    // A slider the device has moved shows its new value without sending it
    // back.
    bool shadeChanged = false;
    if (settings.mixSlider != panel.mix) {
        m_reporter.setUploadStatus(QString());
        panel.mix = std::clamp(settings.mixSlider, PanelValues::MixMin, PanelValues::MixMax);
        showMix();
        shadeChanged = true;
    }
    if (settings.fadeSlider != panel.fade) {
        m_reporter.setUploadStatus(QString());
        panel.fade = std::clamp(settings.fadeSlider, PanelValues::FadeMin, PanelValues::FadeMax);
        showFade();
        shadeChanged = true;
    }
    if (settings.intensitySlider != panel.intensity) {
        m_reporter.setUploadStatus(QString());
        panel.intensity
            = std::clamp(settings.intensitySlider, PanelValues::IntensityMin, PanelValues::IntensityMax);
        showIntensity();
        shadeChanged = true;
    }
    if (shadeChanged)
        refreshPreview();
    if (panel.fadeText == QLatin1String("000"))
        panel.fadeText = QString::number(panel.fade);
    if (panel.intensityText == QLatin1String("000"))
        panel.intensityText = QString::number(panel.intensity);
    if (panel.mixText == QLatin1String("000"))
        panel.mixText = QString::number(panel.mix);
    if (settings.hPercent) {
        panel.hposText = QString::number(*settings.hPercent);
        panel.previewLeft = PanelValues::previewLeft(*settings.hPercent);
    }
    if (settings.vPercent) {
        panel.vposText = QString::number(*settings.vPercent);
        panel.previewTop = PanelValues::previewTop(*settings.vPercent);
    }
    panel.timeSlidersEnabled = false;
    showOnTime(settings.onTime);
    if (settings.interval)
        showIntervalTime(*settings.interval);
    panel.timeSlidersEnabled = true;
    updateTimeLabels();
    panel.takeOn = settings.takeOn;
    if (settings.takeOn)
        panel.previewVisible = true;
    else if (m_panelState.showFade)
        panel.previewVisible = false;
    m_panelState.notify();
}
