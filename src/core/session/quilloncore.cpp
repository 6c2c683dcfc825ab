// SPDX-License-Identifier: GPL-3.0-or-later
#include "quilloncore.h"

#include "settings/settingsstore.h"

#include <utility>

QuillonCore::QuillonCore(SettingsStore &settingsStore, SerialPort &port, const Clock &clock)
    : settings(settingsStore)
    , link(state, reporter, settingsStore, port, clock)
    , logoFiles(state, reporter, settingsStore)
    , panel(state, link, reporter, settingsStore)
    , slotControl(state, link, logoFiles, reporter, settingsStore)
    , download(state, reporter, link)
    , upload(state, reporter, link)
    , ops(state, reporter, link, panel, slotControl, download, upload)
    , writer(state, reporter)
    , paint(state, reporter)
    , runner(state, reporter, settingsStore, link, ops, clock)
    , startup(state, reporter, settingsStore, link, panel, slotControl, logoFiles)
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
