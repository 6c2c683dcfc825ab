#include "panelcontroller.h"

#include "app/mainstate.h"
#include "device_link/commandtable.h"
#include "device_link/devicelink.h"
#include "device_link/protocol.h"
#include "panel/panelvalues.h"

#include <algorithm>

PanelController::PanelController(MainState &state, DeviceLink &link, QObject *parent)
    : QObject(parent)
    , m_state(state)
    , m_link(link)
{
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
