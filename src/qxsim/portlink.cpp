// SPDX-License-Identifier: GPL-3.0-or-later
#include "portlink.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

QString PortLink::defaultDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/Quillon/ports");
}

PortLink::PortLink(const QString &directory, int port)
    : m_directory(directory)
    , m_path(QDir(directory).filePath(QStringLiteral("com%1").arg(port)))
{
}

bool PortLink::place(const QString &target, QString *error)
{
    if (!QDir().mkpath(m_directory)) {
        *error = QStringLiteral("cannot create %1").arg(m_directory);
        return false;
    }
    const QByteArray finalPath = QFile::encodeName(m_path);
    const QByteArray temporaryPath
        = finalPath + ".tmp" + QByteArray::number(QCoreApplication::applicationPid());
    ::unlink(temporaryPath.constData());
    if (::symlink(QFile::encodeName(target).constData(), temporaryPath.constData()) != 0
        || ::rename(temporaryPath.constData(), finalPath.constData()) != 0) {
        *error = QStringLiteral("cannot link %1 to %2: %3")
                     .arg(m_path, target, QString::fromLocal8Bit(std::strerror(errno)));
        ::unlink(temporaryPath.constData());
        return false;
    }
    m_target = target;
    return true;
}

void PortLink::remove()
{
    const QByteArray path = QFile::encodeName(m_path);
    char target[4096];
    const ssize_t length = ::readlink(path.constData(), target, sizeof target);
    if (!m_target.isEmpty() && length > 0 && QByteArray(target, length) == QFile::encodeName(m_target))
        ::unlink(path.constData());
    m_target.clear();
}
