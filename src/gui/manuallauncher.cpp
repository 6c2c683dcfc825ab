// SPDX-License-Identifier: GPL-3.0-or-later
#include "manuallauncher.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

// Set by the build: the installed documentation folder, absolute and as seen
// from the installed program's folder.
#ifndef QUILLON_DOC_DIR
#define QUILLON_DOC_DIR ""
#endif
#ifndef QUILLON_DOC_DIR_FROM_BIN
#define QUILLON_DOC_DIR_FROM_BIN ""
#endif

QStringList ManualLauncher::searchFolders()
{
    const QString programFolder = QCoreApplication::applicationDirPath();
    QStringList folders{programFolder};
    const QString docDir = QStringLiteral(QUILLON_DOC_DIR);
    if (!docDir.isEmpty())
        folders << QDir::cleanPath(docDir);
    const QString fromBin = QStringLiteral(QUILLON_DOC_DIR_FROM_BIN);
    if (!fromBin.isEmpty())
        folders << QDir::cleanPath(programFolder + QLatin1Char('/') + fromBin);
    folders.removeDuplicates();
    return folders;
}

QString ManualLauncher::find(const QStringList &folders)
{
    for (const QString &folder : folders) {
        const QFileInfo manual(QDir(folder), fileName());
        if (manual.isFile() && manual.isReadable())
            return manual.absoluteFilePath();
    }
    return QString();
}

QString ManualLauncher::open()
{
    return open(searchFolders(), [](const QUrl &url) { return QDesktopServices::openUrl(url); });
}

QString ManualLauncher::open(const QStringList &folders, const Opener &opener)
{
    const QString manual = find(folders);
    if (manual.isEmpty()) {
        return QStringLiteral("The manual %1 was not found in %2.")
            .arg(fileName(), folders.join(QStringLiteral(" or ")));
    }
    if (!opener(QUrl::fromLocalFile(manual))) {
        return QStringLiteral("No PDF viewer could be started for %1. Install one (for example evince or "
                              "okular) and make it the desktop's default for PDF files.")
            .arg(manual);
    }
    return QString();
}
