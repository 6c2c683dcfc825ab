// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The link <dir>/com<N> through which the controlling program finds its serial
// port number N. The link is replaced atomically, and removed only while it
// still points where this object put it.
class PortLink
{
public:
    // $XDG_CONFIG_HOME/Quillon/ports, ~/.config/Quillon/ports when unset.
    static QString defaultDirectory();

    PortLink(const QString &directory, int port);

    QString path() const { return m_path; }

    // Points the link at target, creating the directory when needed.
    bool place(const QString &target, QString *error);
    // Removes the link if it still points at the last target placed.
    void remove();

private:
    QString m_directory;
    QString m_path;
    QString m_target;
};
