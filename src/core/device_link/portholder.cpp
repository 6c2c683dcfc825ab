// SPDX-License-Identifier: GPL-3.0-or-later
#include "portholder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace PortHolder {

std::optional<Holder> find(const QString &devicePath, const QString &procFolder)
{
    const QString device = QFileInfo(devicePath).canonicalFilePath();
    if (device.isEmpty())
        return std::nullopt;
    const qint64 self = QCoreApplication::applicationPid();
    const QStringList pids = QDir(procFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &name : pids) {
        bool isPid = false;
        const qint64 pid = name.toLongLong(&isPid);
        if (!isPid || pid == self)
            continue;
        const QString base = procFolder + QLatin1Char('/') + name;
        // Folders of other users' processes cannot be listed: skipped.
        const QFileInfoList fds
            = QDir(base + QStringLiteral("/fd")).entryInfoList(QDir::System | QDir::NoDotAndDotDot);
        for (const QFileInfo &fd : fds) {
            if (fd.symLinkTarget() != device)
                continue;
            Holder holder;
            holder.pid = pid;
            QFile cmdline(base + QStringLiteral("/cmdline"));
            if (cmdline.open(QIODevice::ReadOnly)) {
                QByteArray text = cmdline.read(4096);
                while (text.endsWith('\0'))
                    text.chop(1);
                text.replace('\0', ' ');
                holder.command = QString::fromLocal8Bit(text);
            }
            return holder;
        }
    }
    return std::nullopt;
}

QString describe(const Holder &holder)
{
    const QString program = QFileInfo(holder.command.section(QLatin1Char(' '), 0, 0)).fileName();
    const QString arguments = holder.command.section(QLatin1Char(' '), 1);
    if (program == QLatin1String("quillon-cli") && arguments.contains(QLatin1String("schedule run")))
        return QStringLiteral(
                   "It is held by the Quillon scheduler service (quillon-cli schedule run, process %1); "
                   "stop it with \"systemctl --user stop quillon-scheduler\" to use the port here.")
            .arg(holder.pid);
    if (program == QLatin1String("quillon"))
        return QStringLiteral("It is held by the Quillon program (process %1).").arg(holder.pid);
    if (program.isEmpty())
        return QStringLiteral("It is held by process %1.").arg(holder.pid);
    return QStringLiteral("It is held by %1 (process %2).")
        .arg(arguments.isEmpty() ? program : program + QLatin1Char(' ') + arguments)
        .arg(holder.pid);
}

} // namespace PortHolder
