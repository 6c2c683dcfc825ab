// SPDX-License-Identifier: GPL-3.0-or-later
#include "slotcontroller.h"

#include "device_link/commandtable.h"
#include "device_link/devicelink.h"
#include "device_link/protocol.h"
#include "logo/logofiles.h"
#include "reporting/reporter.h"
#include "session/mainstate.h"
#include "settings/settingsstore.h"

SlotController::SlotController(MainState &state, DeviceLink &link, LogoFiles &files, Reporter &reporter,
                               SettingsStore &settings, QObject *parent)
    : QObject(parent)
    , m_state(state)
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
    if (index <= 0 || index > m_state.modelNumber || index > MainState::MaxSlots)
        return;
    if (index == m_state.previousSlotButton)
        return;
    m_reporter.setUploadStatus(QString());
    for (int i = 1; i <= std::min(m_state.modelNumber, MainState::MaxSlots); ++i)
        m_state.logoMenuChecked[static_cast<size_t>(i)] = false;
    m_state.logoMenuChecked[static_cast<size_t>(index)] = true;
    m_state.currentSlot = index;
    m_state.previousSlotButton = index;
    m_state.selectedSlotButton = index;

    if (!m_state.loading) {
        if (tellDevice)
            m_link.sendCommand(CommandTable::SelectLogo, Protocol::dec2(index));
        m_settings.setValue(QStringLiteral("LogoSelect"), QString::number(index));
        QString path = m_state.slotFile[static_cast<size_t>(index)];
        if (!path.isEmpty())
            m_files.readFile(path, LogoFiles::Origin::Stored);
    }
    showGroupOfFour(index);
    m_state.notify();
}

void SlotController::showGroupOfFour(int slot)
{
    const int first = ((slot - 1) / 4) * 4 + 1;
    const int last = std::min(first + 3, 31);
    for (int j = 1; j <= MainState::MaxSlots; ++j)
        m_state.slotButtonVisible[static_cast<size_t>(j)]
            = j >= first && j <= last && j <= m_state.modelNumber;
}

void SlotController::chooseModel(int index)
{
    m_reporter.setUploadStatus(QString());
    m_state.modelMenuChecked.fill(false);
    if (index == 0 || index == 1) {
        m_state.modelNumber = 1;
        m_settings.setValue(QStringLiteral("QX_Model"), QString::number(index));
        m_state.modelMenuChecked[static_cast<size_t>(index)] = true;
    } else if (Protocol::isModelNumber(index)) {
        m_state.modelNumber = index;
        m_settings.setValue(QStringLiteral("QX_Model"), QString::number(index));
        m_state.title = QStringLiteral("Quillon - QX") + QString::number(index) + QStringLiteral(" Selected");
        m_state.modelMenuChecked[static_cast<size_t>(index)] = true;
    } else {
        m_state.modelNumber = 1;
        m_settings.setValue(QStringLiteral("QX_Model"), QStringLiteral("1"));
        m_state.modelMenuChecked[1] = true;
    }
    showLogoEntries();
}

void SlotController::showLogoEntries()
{
    for (int i = 1; i <= MainState::MaxSlots; ++i)
        m_state.logoMenuVisible[static_cast<size_t>(i)] = i <= m_state.modelNumber;
    m_state.notify();
}
