// SPDX-License-Identifier: GPL-3.0-or-later
#include "logofiles.h"

#include "device_link/devicestate.h"
#include "logo/bitmapfile.h"
#include "logo/logostate.h"
#include "panel/panelstate.h"
#include "reporting/reporter.h"
#include "scheduler/schedulestate.h"
#include "settings/settingsstore.h"

#include <QFile>
#include <QFileInfo>

LogoFiles::LogoFiles(DeviceState &deviceState, LogoState &logoState, PanelState &panelState,
                     ScheduleState &scheduleState, Reporter &reporter, SettingsStore &settings,
                     QObject *parent)
    : QObject(parent)
    , m_deviceState(deviceState)
    , m_logoState(logoState)
    , m_panelState(panelState)
    , m_scheduleState(scheduleState)
    , m_reporter(reporter)
    , m_settings(settings)
{
}

QString LogoFiles::fileFilter()
{
    return QStringLiteral("BMP Files (*.bmp);;All Files (*)");
}

bool LogoFiles::readFile(QString &name, Origin origin)
{
    name = name.trimmed();
    const QString extension = name.right(3);
    if (extension.toUpper() != QLatin1String("BMP") || name.isEmpty()) {
        if (!name.isEmpty() || !extension.isEmpty())
            m_reporter.ReportError(QStringLiteral("Invalid File Name or Missing File!"),
                                   QStringLiteral("Read_File-B"));
        return true;
    }

    // Anything that keeps the file from being read is reported, whether or
    // not the program is loading, and the load fails; nothing is changed.
    const auto fail = [this](const QString &description) {
        m_reporter.ReportError(description, QStringLiteral("Read_File"));
        return true;
    };
    const QFileInfo info(name);
    if (info.isDir())
        return fail(QStringLiteral("%1 is a folder, not a bitmap file.").arg(name));
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("Cannot read %1: %2").arg(name, file.errorString()));
    const BitmapFile::Result bitmap = BitmapFile::read(file);
    file.close();
    if (bitmap.problem == BitmapFile::Problem::NotLogo) {
        m_reporter.ReportError(QStringLiteral("Logo must be a 256x32 or 256x64 Monochrome bitmap!"),
                               QStringLiteral("Read_File-A"));
        return true;
    }
    if (bitmap.problem == BitmapFile::Problem::Truncated)
        return fail(
            QStringLiteral("%1 is cut short: it ends after %2 bytes.").arg(name).arg(bitmap.bytesRead));

    const int slot = m_logoState.currentSlot;
    if (slot < 0 || slot >= LogoSlots)
        return fail(QStringLiteral("There is no logo slot %1.").arg(slot));
    const auto s = static_cast<size_t>(slot);
    m_logoState.logoHeight[s] = bitmap.height;
    m_logoState.logos[s].assign(bitmap.pixels);
    m_logoState.slotFile[s] = name;
    m_logoState.logoName[s] = info.fileName();
    m_logoState.selectedSlot = slot;
    m_reporter.setUploadStatus(QString()); // drawing the picture clears the status line
    m_logoState.lastPicture = LogoBitmap();
    m_logoState.lastPicture.assign(bitmap.pixels);
    m_logoState.lastPictureHeight = bitmap.height;

    const bool stored = origin == Origin::Stored;
    if (!stored && m_scheduleState.on && m_deviceState.platformCode <= 1) {
        m_logoState.notify();
        m_panelState.notify();
        return false;
    }
    m_logoState.viewHeight[s] = bitmap.height;
    m_panelState.previewVisible = true;
    if (!stored)
        moveToTop(name);
    m_settings.setValue(QStringLiteral("BMPpath") + QString::number(slot), name);
    m_logoState.notify();
    m_panelState.notify();
    return false;
}

void LogoFiles::setRecent(int index, const QString &name)
{
    m_logoState.recentFiles[static_cast<size_t>(index)] = name;
    m_settings.setValue(QStringLiteral("FileSelect") + QString::number(index + 1), name);
}

void LogoFiles::moveToTop(const QString &name)
{
    auto &recent = m_logoState.recentFiles;
    if (recent[0].trimmed() == name)
        return;
    int p = RecentCount - 1;
    for (int i = 0; i < RecentCount; ++i) {
        if (recent[static_cast<size_t>(i)] == name) {
            p = i;
            break;
        }
    }
    for (int j = p; j >= 1; --j) {
        const QString &above = recent[static_cast<size_t>(j - 1)];
        if (!above.isEmpty())
            setRecent(j, above);
    }
    setRecent(0, name);
}

void LogoFiles::SelectLocationForLogo()
{
    if (m_deviceState.modelNumber <= 1)
        m_logoState.currentSlot = 1;
}

void LogoFiles::openChosenFile(const QString &chosen)
{
    m_reporter.setUploadStatus(QString());
    // A cancelled dialog is not a failed read.
    if (chosen.trimmed().isEmpty())
        return;
    SelectLocationForLogo();
    if (m_logoState.currentSlot == 0)
        return;
    QString name = chosen.trimmed();
    if (readFile(name))
        m_reporter.ReportError(QStringLiteral("Read of image file failed."),
                               QStringLiteral("mnuOpenLogoFile"));
}

void LogoFiles::openRecent(int index)
{
    m_reporter.setUploadStatus(QString());
    SelectLocationForLogo();
    if (m_logoState.currentSlot == 0 || index < 0 || index >= RecentCount)
        return;
    QString name = m_settings.value(QStringLiteral("FileSelect") + QString::number(index + 1));
    if (readFile(name))
        m_reporter.ReportError(QStringLiteral("Read of image file failed."), QStringLiteral("MnuRecentFile"));
}
