// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class DeviceLink;
class MainState;
class Reporter;
class SettingsStore;

// The control panel's change handlers: each turns a control's new value into
// a command through the link (which also updates the labels and stores the
// value) and keeps the time labels drawn.
class PanelController : public QObject
{
    Q_OBJECT

public:
    PanelController(MainState &state, DeviceLink &link, Reporter &reporter, SettingsStore &settings,
                    QObject *parent = nullptr);

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

    // The position boxes: the text is checked, clamped to 0..100 and written
    // back, then sent and the logo view moved. Run on a click and on every
    // key released in the box.
    void txtHPOS_Click();
    void txtVPOS_Click();
    void setPositionText(bool horizontal, const QString &text);

    void NTSC_PAL_Click(int index);
    void NEGATE_Click(bool checked);
    void mnuPanelLock_Click();
    void mnuSaveCurrentSettings_Click();
    void mnuShowMode_Click(int index);

    // Recolours the logo view for the mix, the intensity and Negative.
    void RefreshPreview();

    // Dragging the current logo view moves the logo on air. Positions are
    // the mouse's in the view's own coordinates, in twips; the point pressed
    // stays under the mouse.
    void picPicture2_MouseDown(int x, int y);
    void picPicture2_MouseMove(int x, int y);
    void picPicture2_MouseUp();
    void mnuZoomOff_Click();
    void mnuZoomOn_Click();

signals:
    void beepRequested();

private:
    void positionBoxClick(bool horizontal);

    MainState &m_state;
    DeviceLink &m_link;
    Reporter &m_reporter;
    SettingsStore &m_settings;

    struct Drag {
        bool dragging = false;
        bool firstMove = false;
        int left = 0;
        int top = 0;
        int grabX = 0; // where the button went down
        int grabY = 0;
    } m_drag;
};
