#include "settingsstore.h"

#include <QDateTime>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringList>
#include <QVariant>

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
    m_settings = std::make_unique<QSettings>(fileName, QSettings::IniFormat);
    if (m_settings->status() != QSettings::FormatError && readableText(fileName))
        return;
    // Never overwrite what could not be read: keep it beside, start afresh.
    m_settings.reset();
    const QString aside = fileName + QStringLiteral(".corrupt-")
                          + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    if (QFile::rename(fileName, aside))
        m_setAside = aside;
    m_settings = std::make_unique<QSettings>(fileName, QSettings::IniFormat);
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

void SettingsStore::setValue(const QString &key, const QString &value)
{
    m_settings->setValue(groupKey(key), value);
    m_settings->sync();
}

bool SettingsStore::contains(const QString &key) const
{
    return m_settings->contains(groupKey(key));
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
