// SPDX-License-Identifier: GPL-3.0-or-later
#include "portlocator.h"

#include "device_link/porturl.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <utility>

PortLocator::PortLocator()
    : m_portsFolder(defaultPortsFolder())
{
}

PortLocator::PortLocator(QString portsFolder)
    : m_portsFolder(std::move(portsFolder))
{
}

PortLocator PortLocator::forDevice(int portNumber, const QString &path)
{
    PortLocator locator;
    locator.m_fixedNumber = portNumber;
    locator.m_fixedPath = path;
    return locator;
}

QString PortLocator::defaultPortsFolder()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/Quillon/ports");
}

QString PortLocator::builtInPath(int portNumber)
{
    if (portNumber >= 1 && portNumber <= 32)
        return QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
    if (portNumber >= 33 && portNumber <= 64)
        return QStringLiteral("/dev/ttyUSB%1").arg(portNumber - 33);
    if (portNumber >= 65 && portNumber <= 96)
        return QStringLiteral("/dev/ttyACM%1").arg(portNumber - 65);
    return QString();
}

QString PortLocator::stableName(const QString &devicePath, const QString &byIdFolder)
{
    const QString device = QFileInfo(devicePath).canonicalFilePath();
    if (device.isEmpty())
        return QString();
    const QFileInfoList links
        = QDir(byIdFolder).entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &link : links) {
        if (link.isSymLink() && link.canonicalFilePath() == device)
            return link.absoluteFilePath();
    }
    return QString();
}

QString PortLocator::devicePath(int portNumber) const
{
    return find(portNumber).path;
}

QString PortLocator::problem(int portNumber) const
{
    return find(portNumber).problem;
}

namespace {
// A port URL as the path to show and open, or the reason it is none.
PortLocator::Found fromUrl(const QString &text)
{
    QString why;
    const std::optional<PortUrl> url = PortUrl::parse(text, &why);
    return url ? PortLocator::Found{url->text(), QString()} : PortLocator::Found{QString(), why};
}
} // namespace

PortLocator::Found PortLocator::find(int portNumber) const
{
    if (portNumber < 1 || portNumber > 255)
        return {};
    if (m_fixedNumber != 0) {
        if (portNumber != m_fixedNumber)
            return {};
        if (PortUrl::looksLikeUrl(m_fixedPath))
            return fromUrl(m_fixedPath);
        if (!QFileInfo::exists(m_fixedPath))
            return {};
        return {QFileInfo(m_fixedPath).canonicalFilePath(), QString()};
    }
    const QFileInfo mapped(m_portsFolder + QStringLiteral("/com") + QString::number(portNumber));
    if (mapped.isFile() && !mapped.isSymLink()) {
        // A port on a device server: the URL on the file's first line.
        QFile file(mapped.absoluteFilePath());
        if (!file.open(QIODevice::ReadOnly))
            return {QString(), QStringLiteral("%1 cannot be read").arg(mapped.absoluteFilePath())};
        Found found = fromUrl(QString::fromUtf8(file.readLine(4096)));
        if (!found.problem.isEmpty())
            return {QString(), QStringLiteral("%1: %2").arg(mapped.absoluteFilePath(), found.problem)};
        return found;
    }
    if (mapped.isSymLink()) {
        // A dangling link (a simulator that went away) is no port at all.
        const QFileInfo target(mapped.symLinkTarget());
        return {target.exists() ? target.absoluteFilePath() : QString(), QString()};
    }
    if (mapped.exists())
        return {mapped.absoluteFilePath(), QString()};
    QString builtIn = builtInPath(portNumber);
    if (!builtIn.isEmpty() && QFileInfo::exists(builtIn))
        return {builtIn, QString()};
    return {};
}
