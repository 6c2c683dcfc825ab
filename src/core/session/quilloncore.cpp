// SPDX-License-Identifier: GPL-3.0-or-later
#include "quilloncore.h"

#include "settings/settingsstore.h"

#include <utility>

QuillonCore::QuillonCore(SettingsStore &settingsStore, SerialPort &port, const Clock &timeSource)
    : settings(settingsStore)
    , clock(timeSource)
    , link(deviceState, logoState, panelState, reporter, settingsStore, port, timeSource)
    , logoFiles(deviceState, logoState, panelState, scheduleState, reporter, settingsStore)
    , panel(deviceState, logoState, panelState, scheduleState, link, reporter, settingsStore)
    , slotControl(deviceState, logoState, link, logoFiles, reporter, settingsStore)
    , download(deviceState, logoState, panelState, reporter, link)
    , upload(deviceState, logoState, reporter, link)
    , ops(deviceState, panelState, reporter, link, panel, slotControl, download, upload)
    , writer(logoState, panelState, reporter)
    , paint(deviceState, logoState, reporter)
    , runner(deviceState, logoState, scheduleState, reporter, settingsStore, link, ops, timeSource)
    , startup(deviceState, logoState, panelState, scheduleState, reporter, settingsStore, link, panel,
              slotControl, logoFiles)
{
    QObject::connect(&settingsStore, &SettingsStore::writeFailed, &reporter, [this](const QString &problem) {
        if (std::exchange(m_settingsFailureReported, true))
            return;
        reporter.ReportError(QStringLiteral("The settings are not saved. %1. Changes are kept and saved "
                                            "with the first change that can be written.")
                                 .arg(problem),
                             QStringLiteral("Settings"));
    });
    QObject::connect(&settingsStore, &SettingsStore::writesResumed, &reporter,
                     [this] { m_settingsFailureReported = false; });
}
