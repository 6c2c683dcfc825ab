// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Finds the device behind a port number. A link or device node named comN in
// the ports folder ($XDG_CONFIG_HOME/Quillon/ports) comes first, or a text
// file there whose first line is the URL of a port on a device server; otherwise
// COM1-32 are /dev/ttyS0-31, COM33-64 /dev/ttyUSB0-31 and COM65-96
// /dev/ttyACM0-31. Numbers above 96 exist only through the ports folder.
class PortLocator
{
public:
    PortLocator();
    explicit PortLocator(QString portsFolder);

    // A locator that puts one device behind one port number, whatever the
    // ports folder says (the command line's --device).
    static PortLocator forDevice(int portNumber, const QString &path);

    static QString defaultPortsFolder();

    QString portsFolder() const { return m_portsFolder; }

    // What is behind port n: the path to open, or the URL of a port on a
    // device server; empty when nothing is there, with the reason when the
    // ports folder names something unusable.
    struct Found {
        QString path;
        QString problem;
    };
    Found find(int portNumber) const;
    QString devicePath(int portNumber) const;
    QString problem(int portNumber) const;
    // Where the built-in map puts port n, whether or not it exists.
    static QString builtInPath(int portNumber);
    // The name that stays with a USB adapter whatever number it gets: a link
    // in the by-id folder that leads to the device; empty when none does.
    static QString stableName(const QString &devicePath,
                              const QString &byIdFolder = QStringLiteral("/dev/serial/by-id"));

private:
    QString m_portsFolder;
    int m_fixedNumber = 0;
    QString m_fixedPath;
};
