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

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    QDir folder(dir.path());
    for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden))
        folder.remove(name); // an unreadable file is set aside beside the store
    QFile file(folder.filePath(QStringLiteral("Quillon.conf")));
    FuzzSupport::require(file.open(QIODevice::WriteOnly)
                         && file.write(FuzzSupport::bytes(data, size)) == qint64(size));
    file.close();
    SettingsStore settings(file.fileName());
    Schedule schedule;
    schedule.LoadSchedule(settings);
    // The fast scan marks what sampling every step marks (on a sequence's days only).
    FuzzSupport::require(ConflictScan::scanConflicts(schedule) == ConflictScan::sampled(schedule));
    return 0;
}
