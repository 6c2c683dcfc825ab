// SPDX-License-Identifier: GPL-3.0-or-later
#include "panelcontroller.h"

#include "session/mainstate.h"
#include "settings/settingsstore.h"
#include "device_link/commandtable.h"
#include "device_link/devicelink.h"
#include "device_link/protocol.h"
#include "panel/panelvalues.h"
#include "panel/previewcolours.h"
#include "reporting/reporter.h"

#include <algorithm>
#include <array>

PanelController::PanelController(MainState &state, DeviceLink &link, Reporter &reporter,
                                 SettingsStore &settings, QObject *parent)
    : QObject(parent)
    , m_state(state)
    , m_link(link)
    , m_reporter(reporter)
    , m_settings(settings)
{
    connect(&m_link, &DeviceLink::previewRefreshRequested, this, &PanelController::RefreshPreview);
}

void PanelController::hscrFade_Change(int value)
{
    m_state.panel.fade = std::clamp(value, PanelValues::FadeMin, PanelValues::FadeMax);
    m_link.CmdTree(CommandTable::FadeRate);
    m_state.notify();
}

void PanelController::hscrMix_Change(int value)
{
    m_state.panel.mix = std::clamp(value, PanelValues::MixMin, PanelValues::MixMax);
    m_link.CmdTree(CommandTable::MixLevel);
    m_state.notify();
}

void PanelController::hscrIntensity_Change(int value)
{
    m_state.panel.intensity = std::clamp(value, PanelValues::IntensityMin, PanelValues::IntensityMax);
    m_link.CmdTree(CommandTable::IreLevel);
    m_state.notify();
}

void PanelController::hscrTimeOn_Scroll(int value)
{
    m_state.panel.timeOn = std::clamp(value, PanelValues::TimeMin, PanelValues::TimeMax);
    Time_Change();
}

void PanelController::hscrTimeInt_Scroll(int value)
{
    m_state.panel.timeInt = std::clamp(value, PanelValues::TimeMin, PanelValues::TimeMax);
    Time_Change();
}

void PanelController::hscrTimeOn_Change(int value)
{
    hscrTimeOn_Scroll(value);
    if (!m_state.applyingReply) {
        QByteArray arg = Protocol::byte(m_state.panel.timeOn);
        m_link.CmdTree(CommandTable::SetTimeOn, arg);
    }
}

void PanelController::hscrTimeInt_Change(int value)
{
    hscrTimeInt_Scroll(value);
    if (!m_state.applyingReply) {
        QByteArray arg = Protocol::byte(m_state.panel.timeInt);
        m_link.CmdTree(CommandTable::SetTimeOff, arg);
    }
}

void PanelController::Time_Change()
{
    PanelState &panel = m_state.panel;
    panel.lblOnTime = PanelValues::timeText(panel.timeOn);
    panel.lblCycTime = PanelValues::timeText(panel.timeOn + panel.timeInt);
    m_state.notify();
}

void PanelController::optTAKE_Click()
{
    m_link.CmdTree(CommandTable::ToggleTake);
}

void PanelController::setPositionText(bool horizontal, const QString &text)
{
    (horizontal ? m_state.panel.txtHPOS : m_state.panel.txtVPOS) = text;
}

void PanelController::txtHPOS_Click()
{
    positionBoxClick(true);
}

void PanelController::txtVPOS_Click()
{
    positionBoxClick(false);
}

void PanelController::positionBoxClick(bool horizontal)
{
    PanelState &panel = m_state.panel;
    QString &text = horizontal ? panel.txtHPOS : panel.txtVPOS;
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
            m_state.notify();
        }
        return;
    }
    // A whole number beyond 16 bits does not convert: reported, nothing sent.
    if (typed < -32768.5 || typed > 32767.5) {
        m_reporter.ReportError(QStringLiteral("Overflow"), source);
        return;
    }
    const int percent = std::clamp(Protocol::roundHalfEven(typed), 0, 100);
    text = QString::number(percent);
    const bool pal = panel.standard == 1;
    if (horizontal) {
        QByteArray arg = Protocol::hex2(PanelValues::hposDeviceValue(percent, pal));
        m_link.CmdTree(CommandTable::HorizPosn, arg);
        panel.previewLeft = percent * 4020 / 100 + 60;
    } else {
        QByteArray arg = Protocol::hex2(PanelValues::vposDeviceValue(percent, pal));
        m_link.CmdTree(CommandTable::VertPosn, arg);
        panel.previewTop = Protocol::roundHalfEven(percent / 100.0 * 2880.0) + 240;
    }
    m_state.notify();
}

void PanelController::NTSC_PAL_Click(int index)
{
    if (index != 0 && index != 1)
        return;
    m_state.panel.standard = index;
    m_settings.setValue(QStringLiteral("NTSC_PAL"), QString::number(index));
    m_link.CmdTree(index == 1 ? CommandTable::StandardPal : CommandTable::StandardNtsc);
    m_state.notify();
}

void PanelController::NEGATE_Click(bool checked)
{
    m_state.panel.negate = checked;
    RefreshPreview();
    m_state.notify();
}

void PanelController::mnuPanelLock_Click()
{
    m_reporter.setUploadStatus(QString());
    m_state.panel.locked = !m_state.panel.locked;
    // The lock disables the logo view of the slot that is current now; the
    // views of other slots stay usable.
    m_state.panel.lockedViewSlot = m_state.panel.locked ? m_state.currentSlot : 0;
    m_settings.setValue(QStringLiteral("PanelLock"), SettingsStore::flagText(m_state.panel.locked));
    m_state.notify();
}

void PanelController::mnuSaveCurrentSettings_Click()
{
    m_link.CmdTree(CommandTable::SaveSettings);
}

void PanelController::mnuShowMode_Click(int index)
{
    static constexpr std::array<const char *, 3> keys{"ShowInt", "ShowMix", "ShowFade"};
    if (index < 0 || index > 2)
        return;
    bool &flag = index == 0 ? m_state.showInt : index == 1 ? m_state.showMix : m_state.showFade;
    flag = !flag;
    m_settings.setValue(QString::fromLatin1(keys[static_cast<size_t>(index)]), SettingsStore::flagText(flag));
    if (index == 2 && !flag)
        m_state.panel.previewVisible = true;
    m_state.notify();
}

void PanelController::RefreshPreview()
{
    if ((m_state.scheduleOn && m_state.platformCode < 2) || m_state.loading || m_state.refreshingPreview)
        return;
    m_state.refreshingPreview = true;
    const PanelState &panel = m_state.panel;
    m_state.viewColours
        = PreviewColours::forView(panel.mix, panel.intensity, m_state.showMix, m_state.showInt, panel.negate);
    m_state.fullViewColours = PreviewColours::forFullView(panel.negate);
    // The views draw the slots' logos as held in memory, in the new colours.
    m_state.notify();
    m_state.refreshingPreview = false;
}

void PanelController::picPicture2_MouseDown(int x, int y)
{
    m_drag.dragging = true;
    m_drag.grabX = x;
    m_drag.grabY = y;
    m_drag.firstMove = false;
}

void PanelController::picPicture2_MouseMove(int x, int y)
{
    PanelState &panel = m_state.panel;
    if (!m_drag.firstMove) {
        m_drag.firstMove = true;
        m_drag.left = panel.previewLeft;
        m_drag.top = panel.previewTop;
    }
    // At most one move every three ticks of the 25 ms clock.
    if (m_link.dragThrottle() > 0)
        return;
    m_link.setDragThrottle(3);
    if (m_drag.dragging && !panel.locked) {
        m_drag.left = std::clamp(x - m_drag.grabX + m_drag.left, 60, 4080);
        m_drag.top = std::clamp(y - m_drag.grabY + m_drag.top, 240, 3120);
        panel.previewLeft = m_drag.left;
        panel.previewTop = m_drag.top;
        const int v = Protocol::roundHalfEven((m_drag.top - 240) * 100 / 2880.0);
        const int h = Protocol::roundHalfEven((m_drag.left - 60) * 100 / 4020.0);
        panel.txtHPOS = QString::number(h);
        panel.txtVPOS = QString::number(v);
        const bool pal = panel.standard == 1;
        const int deviceV = pal ? std::clamp(Protocol::roundHalfEven(v * 62 / 100.0 + 6), 6, 68)
                                : std::clamp(Protocol::roundHalfEven(v * 51 / 100.0 + 4), 4, 55);
        QByteArray vArg = Protocol::hex2(deviceV);
        m_link.CmdTree(CommandTable::VertPosn, vArg);
        const int deviceH
            = pal ? std::clamp(h * 164 / 100 + 42, 42, 206) : std::clamp(h * 120 / 100 + 34, 34, 154);
        QByteArray hArg = Protocol::hex2(deviceH);
        m_link.CmdTree(CommandTable::HorizPosn, hArg);
        m_state.notify();
    }
}

void PanelController::picPicture2_MouseUp()
{
    m_drag.dragging = false;
}

void PanelController::mnuZoomOff_Click()
{
    m_reporter.setUploadStatus(QString());
    m_state.panel.previewVisible = true;
    m_state.zoomOn = false;
    m_state.notify();
}

void PanelController::mnuZoomOn_Click()
{
    m_reporter.setUploadStatus(QString());
    if (!m_state.panel.previewVisible)
        return;
    m_state.zoomOn = true;
    m_state.notify();
}
