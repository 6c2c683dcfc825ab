// SPDX-License-Identifier: GPL-3.0-or-later
#include "slotcontroller.h"

#include "device_link/commandtable.h"
#include "device_link/devicelink.h"
#include "device_link/devicestate.h"
#include "device_link/protocol.h"
#include "logo/logofiles.h"
#include "logo/logostate.h"
#include "reporting/reporter.h"
#include "settings/settingsstore.h"

SlotController::SlotController(DeviceState &deviceState, LogoState &logoState, DeviceLink &link,
                               LogoFiles &files, Reporter &reporter, SettingsStore &settings, QObject *parent)
    : QObject(parent)
    , m_deviceState(deviceState)
    , m_logoState(logoState)
    , m_link(link)
    , m_files(files)
    , m_reporter(reporter)
    , m_settings(settings)
{
    connect(&m_link, &DeviceLink::slotReported, this, &SlotController::showSlot);
}

void SlotController::selectSlot(int index)
{
    select(index, true);
}

void SlotController::showSlot(int index)
{
    select(index, false);
}

void SlotController::select(int index, bool tellDevice)
{
    if (index <= 0 || index > m_deviceState.modelNumber || index > LogoState::MaxSlots)
        return;
    if (index == m_logoState.previousSlot)
        return;
    m_reporter.setUploadStatus(QString());
    for (int i = 1; i <= std::min(m_deviceState.modelNumber, LogoState::MaxSlots); ++i)
        m_logoState.slotChosen[static_cast<size_t>(i)] = false;
    m_logoState.slotChosen[static_cast<size_t>(index)] = true;
    m_logoState.currentSlot = index;
    m_logoState.previousSlot = index;
    m_logoState.selectedSlot = index;

    if (tellDevice)
        m_link.sendCommand(CommandTable::SelectLogo, Protocol::dec2(index));
    m_settings.setValue(QStringLiteral("LogoSelect"), QString::number(index));
    QString path = m_logoState.slotFile[static_cast<size_t>(index)];
    if (!path.isEmpty())
        m_files.readFile(path, LogoFiles::Origin::Stored);
    showGroupOfFour(index);
    m_logoState.notify();
}

void SlotController::showGroupOfFour(int slot)
{
    const int first = ((slot - 1) / 4) * 4 + 1;
    const int last = std::min(first + 3, 31);
    for (int j = 1; j <= LogoState::MaxSlots; ++j)
        m_logoState.slotButtonOffered[static_cast<size_t>(j)]
            = j >= first && j <= last && j <= m_deviceState.modelNumber;
}

void SlotController::chooseModel(int index)
{
    m_reporter.setUploadStatus(QString());
    m_deviceState.modelChosen.fill(false);
    if (index == 0 || index == 1) {
        m_deviceState.modelNumber = 1;
        m_settings.setValue(QStringLiteral("QX_Model"), QString::number(index));
        m_deviceState.modelChosen[static_cast<size_t>(index)] = true;
    } else if (Protocol::isModelNumber(index)) {
        m_deviceState.modelNumber = index;
        m_settings.setValue(QStringLiteral("QX_Model"), QString::number(index));
        m_deviceState.title
            = QStringLiteral("Quillon - QX") + QString::number(index) + QStringLiteral(" Selected");
        m_deviceState.modelChosen[static_cast<size_t>(index)] = true;
    } else {
        m_deviceState.modelNumber = 1;
        m_settings.setValue(QStringLiteral("QX_Model"), QStringLiteral("1"));
        m_deviceState.modelChosen[1] = true;
    }
    showLogoEntries();
}

void SlotController::showLogoEntries()
{
    for (int i = 1; i <= LogoState::MaxSlots; ++i)
        m_logoState.slotOffered[static_cast<size_t>(i)] = i <= m_deviceState.modelNumber;
    m_logoState.notify();
}
