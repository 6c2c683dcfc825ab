// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QUrl;

// Finds the printed manual, Quillon-Manual.pdf, and opens it in the desktop's
// viewer. The program's own folder comes first (a build tree keeps the manual
// beside the program), then the installed documentation folder.
class ManualLauncher
{
public:
    using Opener = std::function<bool(const QUrl &)>;

    static QString fileName() { return QStringLiteral("Quillon-Manual.pdf"); }

    // The folders searched, in order: the program's folder, the
    // documentation folder the build installs to, and that folder relative
    // to the program's (for an installation moved elsewhere).
    static QStringList searchFolders();

    // The manual in the first folder that holds it; empty when none does.
    static QString find(const QStringList &folders);

    // Opens the manual with the desktop's default viewer. Returns an empty
    // text on success, else what went wrong, in words for the user.
    static QString open();
    static QString open(const QStringList &folders, const Opener &opener);
};
