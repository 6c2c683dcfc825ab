// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "device_link/protocol.h"

#include <QJsonObject>
#include <QObject>
#include <QString>

#include <functional>

class DeviceLink;
class LogoDownload;
class LogoUpload;
class DeviceState;
class PanelState;
class PanelController;
class Reporter;
class SlotController;

// What a front end can do with the logo generators on one line, each named
// by what it does: the window's handlers, quillon-cli and the schedule
// runner all come here. Asking the user for a value, and which menu entries
// show, is the front end's business; these take the value.
class DeviceOperations : public QObject
{
    Q_OBJECT

public:
    DeviceOperations(DeviceState &deviceState, PanelState &panelState, Reporter &reporter, DeviceLink &link,
                     PanelController &panel, SlotController &slotControl, LogoDownload &download,
                     LogoUpload &upload, QObject *parent = nullptr);

    // Nodes. wake() puts every node to sleep, then wakes the one named.
    void wakeAll();
    void wake(int node);
    void sleepAll();
    void setNodeId(int id);

    // Keying, in the panel's units (sliders 0-99, times in 15 s steps,
    // positions in percent). Each is sent, shown and stored.
    void setFade(int value);
    void setMix(int value);
    void setIntensity(int value);
    void setOnTime(int steps);
    void setIntervalTime(int steps);
    void setPosition(bool horizontal, int percent);
    void setStandard(bool pal);
    void takeOn();
    void takeOff();
    void toggleTake();
    void saveSettings();

    // Logos.
    void selectSlot(int slot);
    // Tells the device to select a logo, whatever the program holds current.
    void sendSlotSelection(int slot);
    void downloadLogo();
    void storeLogoInNvram();
    void readLogoBack();
    // The device answers a factory reset with a logo stream, which is taken
    // as an upload.
    void factoryReset();
    void setModel(int model);

    void askSettings();
    void askCopyright();

    // Any command of the command table with the one value the Diag menu
    // asks for (a percentage, seconds, a node, a logo or a model number;
    // ignored by commands that take none).
    void sendDiagnostic(int command, int value = 0);

    // While another Quillon process holds the line, the transfers, the
    // copyright question and the Diag menu's commands go to it as requests
    // of its control endpoint (the link forwards every other command).
    using Answered = std::function<void(const QJsonObject &answer)>;
    using Forward = std::function<void(const QJsonObject &request, Answered done)>;
    void forwardTo(Forward forward) { m_forward = std::move(forward); }

signals:
    void settingsReceived(const Protocol::SettingsReply &settings);
    void takeChanged(bool on);
    void reported(const QString &message, const QString &title);

private:
    DeviceState &m_deviceState;
    PanelState &m_panelState;
    Reporter &m_reporter;
    DeviceLink &m_link;
    PanelController &m_panel;
    SlotController &m_slots;
    LogoDownload &m_download;
    LogoUpload &m_upload;
    Forward m_forward;
};
