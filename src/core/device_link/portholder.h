// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

// Who else has a serial device open: another process of this user whose open
// files include the device. Used to say who holds a busy port.
namespace PortHolder {

struct Holder {
    qint64 pid = 0;
    QString command; // its command line, arguments joined by blanks
};

// The first other process with the device open, if this user may see it.
std::optional<Holder> find(const QString &devicePath, const QString &procFolder = QStringLiteral("/proc"));

// A sentence for the user: who holds the device, and what to do about it.
QString describe(const Holder &holder);

} // namespace PortHolder
