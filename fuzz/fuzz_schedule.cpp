// SPDX-License-Identifier: GPL-3.0-or-later
// The stored schedule: any settings file text, read as the program reads it
// at start-up, then scanned for conflicts.
#include "fuzzsupport.h"

#include "scheduler/conflictscan.h"
#include "scheduler/schedule.h"
#include "settings/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using FuzzSupport::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    const QString fileName = dir.filePath(QStringLiteral("Quillon.conf"));
    // An unreadable file is set aside beside the store: start clean each time.
    QDir folder(dir.path());
    for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden))
        folder.remove(name);
    {
        QFile file(fileName);
        require(file.open(QIODevice::WriteOnly));
        file.write(FuzzSupport::bytes(data, size));
    }
    SettingsStore settings(fileName);
    Schedule schedule;
    schedule.LoadSchedule(settings);
    const ConflictMarks marks = ConflictScan::Scan_Conflicts(schedule);
    // Only a sequence that runs on a day can conflict on it.
    for (int i = 0; i < Schedule::Count; ++i)
        for (int day = 0; day < 7; ++day)
            require(!marks.days[static_cast<size_t>(i)][static_cast<size_t>(day)]
                    || schedule[i].enabledOn(day));
    return 0;
}
