#pragma once

#include <QObject>

class DeviceLink;
class MainState;

// The control panel's change handlers: each turns a control's new value into
// a command through the link (which also updates the labels and stores the
// value) and keeps the time labels drawn.
class PanelController : public QObject
{
    Q_OBJECT

public:
    PanelController(MainState &state, DeviceLink &link, QObject *parent = nullptr);

    // Fade, mix and intensity send at every thumb movement and every change.
    void hscrFade_Change(int value);
    void hscrMix_Change(int value);
    void hscrIntensity_Change(int value);

    // The time sliders redraw their labels while dragged and send when set.
    void hscrTimeOn_Scroll(int value);
    void hscrTimeInt_Scroll(int value);
    void hscrTimeOn_Change(int value);
    void hscrTimeInt_Change(int value);
    void Time_Change();

    void optTAKE_Click();

private:
    MainState &m_state;
    DeviceLink &m_link;
};
