// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>

class DeviceLink;
class LogoFiles;
class DeviceState;
class LogoState;
class PanelState;
class ScheduleState;
class PanelController;
class Reporter;
class SettingsStore;
class SlotController;

// What the stored settings turn on in the window's menus.
struct MenuOptions {
    bool diagTools = false;    // "DiagTools": the Diag menu shows
    bool showReply = false;    // "ShowReply": the reply strip shows
    bool factoryReset = false; // "Enables" DIAG=1: Factory Reset and Set Model
    bool nodeMenu = false;     // "Enables" NODE=1: the Node menu
};

// The start-up of the main window: restores every stored setting into the
// program's state with Loading set, so that nothing reaches the device, finds
// and opens the serial port, and clears Loading at the end.
class Startup
{
public:
    Startup(DeviceState &deviceState, LogoState &logoState, PanelState &panelState,
            ScheduleState &scheduleState, Reporter &reporter, SettingsStore &settings, DeviceLink &link,
            PanelController &panel, SlotController &slotControl, LogoFiles &files);

    // The arguments are the process's command line without the program name.
    void start(const QStringList &arguments);
    // The start of the command-line program: the same stored settings, but
    // no search of every port, no bitmap files read into the slots, and the
    // port given (the stored one when none is).
    void startHeadless(std::optional<int> comPort);
    void setUp(bool readLogos = true);
    // As the stored settings left them at the last setUp().
    const MenuOptions &menuOptions() const { return m_menuOptions; }

    // The port that "SKIPCOM" on the command line keeps out of discovery, or -1.
    static int skipPortFromCommandLine(const QStringList &arguments);

    // The name/value pairs of the feature enables, both upper case.
    static QList<QPair<QString, QString>> featureEnables(const QString &names, const QString &values);

private:
    void restoreSlot();
    void openPort(std::optional<int> given);
    void readSliders();
    void applyFeatureEnables();

    DeviceState &m_deviceState;
    LogoState &m_logoState;
    PanelState &m_panelState;
    ScheduleState &m_scheduleState;
    Reporter &m_reporter;
    SettingsStore &m_settings;
    DeviceLink &m_link;
    PanelController &m_panel;
    SlotController &m_slots;
    LogoFiles &m_files;
    MenuOptions m_menuOptions;
};
