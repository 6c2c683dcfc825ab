// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "device_link/protocol.h"

#include <QObject>

class DeviceLink;
class DeviceState;
class LogoState;
class PanelState;
class ScheduleState;
class Reporter;
class SettingsStore;

// The control panel's values: the keying sliders, the on/off times, the
// position, the standard, Negative and the panel lock. Setting a value sends
// it to the device, shows it in its label and stores it; values the device
// reports come in through applyDeviceSettings() and are shown and stored,
// never sent back.
class PanelController : public QObject
{
    Q_OBJECT

public:
    PanelController(DeviceState &deviceState, LogoState &logoState, PanelState &panelState,
                    ScheduleState &scheduleState, DeviceLink &link, Reporter &reporter,
                    SettingsStore &settings, QObject *parent = nullptr);

    // Fade, mix and intensity, in slider steps.
    void setFade(int value);
    void setMix(int value);
    void setIntensity(int value);

    // The on and interval times, in steps of 15 s: show*() only redraws the
    // labels (a slider being dragged), set*() also sends.
    void showOnTime(int value);
    void showIntervalTime(int value);
    void setOnTime(int value);
    void setIntervalTime(int value);
    void updateTimeLabels();

    // The position boxes: the typed text is checked, clamped to 0..100 and
    // written back, then sent and the logo view moved. Run on a click and on
    // every key released in the box.
    void setPositionText(bool horizontal, const QString &text);
    void enterPosition(bool horizontal);
    // A position in percent, clamped to 0..100.
    void setPosition(bool horizontal, int percent);

    // 0 NTSC, 1 PAL.
    void setStandard(int standard);
    void setNegative(bool checked);
    void toggleLock();
    void toggleShowMode(int index);

    // The settings a reply carried.
    void applyDeviceSettings(const Protocol::SettingsReply &settings);

    // Recolours the logo view for the mix, the intensity and Negative.
    void refreshPreview();

    // Dragging the current logo view moves the logo on air. Positions are
    // the mouse's in the view's own coordinates, in twips; the point pressed
    // stays under the mouse.
    void startDrag(int x, int y);
    void dragTo(int x, int y);
    void endDrag();

signals:
    void beepRequested();

private:
    void send(int command, int value);
    void showFade();
    void showMix();
    void showIntensity();

    DeviceState &m_deviceState;
    LogoState &m_logoState;
    PanelState &m_panelState;
    ScheduleState &m_scheduleState;
    DeviceLink &m_link;
    Reporter &m_reporter;
    SettingsStore &m_settings;

    bool m_refreshingPreview = false; // the views redraw, which may ask again
    int m_dragThrottle = 0;           // ticks until the next drag step may send
    struct Drag {
        bool dragging = false;
        bool firstMove = false;
        int left = 0;
        int top = 0;
        int grabX = 0; // where the button went down
        int grabY = 0;
    } m_drag;
};
