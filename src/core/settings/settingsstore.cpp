// SPDX-License-Identifier: GPL-3.0-or-later
#include "settingsstore.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringList>
#include <QTemporaryFile>
#include <QThread>
#include <QVariant>

#include <utility>

namespace {
const QString kGroup = QStringLiteral("FormInit");

QString groupKey(const QString &key)
{
    return kGroup + QLatin1Char('/') + key;
}
} // namespace

SettingsStore::SettingsStore()
    : SettingsStore(defaultFileName())
{
}

QString SettingsStore::defaultFileName()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/Quillon/Quillon.conf");
}

SettingsStore::SettingsStore(const QString &fileName)
{
    open(fileName);
}

namespace {
// Text a settings file can hold: no NUL bytes, valid UTF-8.
bool readableText(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return true; // missing or unreadable: QSettings starts empty and says so
    const QByteArray bytes = file.readAll();
    if (bytes.contains('\0'))
        return false;
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    Q_UNUSED(text);
    return !decoder.hasError();
}
} // namespace

void SettingsStore::open(const QString &fileName)
{
    removeTornLock(fileName);
    m_settings = std::make_unique<QSettings>(fileName, QSettings::IniFormat);
    if (m_settings->status() != QSettings::FormatError && readableText(fileName))
        return;
    // Never overwrite what could not be read: keep it beside, start afresh.
    m_settings.reset();
    const QString aside = fileName + QStringLiteral(".corrupt-")
                          + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    // A second unreadable file within the same second gets a number.
    QString target = aside;
    for (int n = 2; QFileInfo::exists(target) && n < 100; ++n)
        target = aside + QLatin1Char('-') + QString::number(n);
    if (QFile::rename(fileName, target))
        m_setAside = target;
    m_settings = std::make_unique<QSettings>(fileName, QSettings::IniFormat);
}

// Every write takes the lock file beside the settings. A program killed
// while it was writing the lock itself leaves one that names no process, and
// the next write would wait half a minute for it to age. A live writer fills
// its lock within microseconds, so one that stays unreadable is removed.
void SettingsStore::removeTornLock(const QString &fileName)
{
    const QString lockName = fileName + QStringLiteral(".lock");
    const auto torn = [&lockName] {
        qint64 pid = 0;
        QString host, application;
        return QFileInfo::exists(lockName) && !QLockFile(lockName).getLockInfo(&pid, &host, &application);
    };
    if (!torn())
        return;
    QThread::msleep(50);
    if (torn())
        QFile::remove(lockName);
}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::value(const QString &key, const QString &defaultValue) const
{
    const QVariant stored = m_settings->value(groupKey(key));
    if (!stored.isValid())
        return defaultValue;
    if (stored.typeId() == QMetaType::QStringList)
        return stored.toStringList().join(QLatin1Char(','));
    return stored.toString();
}

namespace {
// Why the settings file cannot be replaced, as far as the file system says.
QString whyNotWritten(const QString &fileName)
{
    const QFileInfo info(fileName);
    const QString folder = info.absolutePath();
    QString reason;
    if (info.isDir()) {
        reason = QStringLiteral("it is a folder");
    } else if (!QFileInfo(folder).isDir()) {
        reason = QStringLiteral("its folder %1 cannot be made").arg(folder);
    } else {
        // Every write makes a lock file and a new file beside the old one.
        QTemporaryFile probe(folder + QStringLiteral("/.Quillon-XXXXXX"));
        if (!probe.open())
            reason = QStringLiteral("its folder takes no new files (%1)").arg(probe.errorString());
        else
            reason = QStringLiteral("the new file could not be written or put in its place");
    }
    return QStringLiteral("%1 cannot be written: %2").arg(fileName, reason);
}
} // namespace

bool SettingsStore::setValue(const QString &key, const QString &value)
{
    if (m_writeFailing) {
        // A QSettings keeps the first error it met for good, so a new one
        // tells whether this write gets through. Made while the old one still
        // exists, it shares the values held so far, unwritten ones included.
        m_settings = std::make_unique<QSettings>(m_settings->fileName(), QSettings::IniFormat);
    }
    m_settings->setValue(groupKey(key), value);
    m_settings->sync();
    if (m_settings->status() == QSettings::NoError) {
        if (std::exchange(m_writeFailing, false))
            emit writesResumed();
        return true;
    }
    m_writeFailing = true;
    m_writeProblem = whyNotWritten(m_settings->fileName());
    emit writeFailed(m_writeProblem);
    return false;
}

bool SettingsStore::contains(const QString &key) const
{
    return m_settings->contains(groupKey(key));
}

bool SettingsStore::reload()
{
    // A QSettings keeps the first error it met for good: a new one reads
    // the file as it is now, and replaces the old only when it could.
    auto fresh = std::make_unique<QSettings>(m_settings->fileName(), QSettings::IniFormat);
    fresh->sync();
    if (fresh->status() != QSettings::NoError || !readableText(fresh->fileName()))
        return false;
    m_settings = std::move(fresh);
    return true;
}

QString SettingsStore::fileName() const
{
    return m_settings->fileName();
}

bool SettingsStore::trueTest(const QString &text)
{
    return text.trimmed().toUpper() == QLatin1String("TRUE");
}

bool SettingsStore::falseTest(const QString &text)
{
    return text.trimmed().toUpper() != QLatin1String("FALSE");
}
