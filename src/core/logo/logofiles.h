// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

class DeviceState;
class LogoState;
class PanelState;
class ScheduleState;
class Reporter;
class SettingsStore;

// Loading bitmap files into logo slots: the file reader with its checks and
// messages, the choice of slot, the open and recent-file commands and the
// eight-entry recent-file list.
class LogoFiles : public QObject
{
    Q_OBJECT

public:
    static constexpr int RecentCount = 8;

    LogoFiles(DeviceState &deviceState, LogoState &logoState, PanelState &panelState,
              ScheduleState &scheduleState, Reporter &reporter, SettingsStore &settings,
              QObject *parent = nullptr);

    // Where a file to load comes from: chosen by the user now, or the file
    // a slot held when the program last ran (not a recent file again, and
    // drawn even while the schedule runs).
    enum class Origin { Chosen, Stored };

    // Loads the named file into the current slot. The name is trimmed in
    // place. True when the load FAILED.
    bool readFile(QString &name, Origin origin = Origin::Chosen);
    void SelectLocationForLogo();
    // "&Open Logo File" once the dialog has given a name (empty: cancelled).
    void openChosenFile(const QString &chosen);
    // Recent-file entry i (0 to 7).
    void openRecent(int index);

    // The file filter of the open dialog.
    static QString fileFilter();

private:
    void moveToTop(const QString &name);
    void setRecent(int index, const QString &name);

    DeviceState &m_deviceState;
    LogoState &m_logoState;
    PanelState &m_panelState;
    ScheduleState &m_scheduleState;
    Reporter &m_reporter;
    SettingsStore &m_settings;
};
