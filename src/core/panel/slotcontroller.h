// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class DeviceLink;
class LogoFiles;
class DeviceState;
class LogoState;
class Reporter;
class SettingsStore;

// The logo slot selection and the model type: which slot is current, which
// Logo menu entries and slot buttons show, and how many slots the model has.
class SlotController : public QObject
{
    Q_OBJECT

public:
    SlotController(DeviceState &deviceState, LogoState &logoState, DeviceLink &link, LogoFiles &files,
                   Reporter &reporter, SettingsStore &settings, QObject *parent = nullptr);

    // Makes a slot current and selects it in the device.
    void selectSlot(int index);
    // Makes current the slot the device reported it has selected.
    void showSlot(int index);
    void chooseModel(int index);

    // Shows Logo menu entries 1 to the model number and hides the rest.
    void showLogoEntries();

private:
    void select(int index, bool tellDevice);
    void showGroupOfFour(int slot);

    DeviceState &m_deviceState;
    LogoState &m_logoState;
    DeviceLink &m_link;
    LogoFiles &m_files;
    Reporter &m_reporter;
    SettingsStore &m_settings;
};
