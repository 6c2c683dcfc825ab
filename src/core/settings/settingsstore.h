// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QSettings;

// The per-user key/value store. Every key lives in the group "FormInit" of
// $XDG_CONFIG_HOME/Quillon/Quillon.conf. Values are texts, written the moment
// they change and synced to disk at once. A write that does not reach the
// disk is signalled at once; its value is kept, reads back as written and
// goes to the disk with the next write that gets through.
class SettingsStore : public QObject
{
    Q_OBJECT

public:
    SettingsStore();
    // A store on an explicit file, for tools and tests.
    explicit SettingsStore(const QString &fileName);
    ~SettingsStore() override;

    SettingsStore(const SettingsStore &) = delete;
    SettingsStore &operator=(const SettingsStore &) = delete;

    // The stored text, or the default when the key is missing. A value that
    // the INI reader split at its commas is joined again, so a hand-edited
    // "1,2,3," reads as the text it was.
    QString value(const QString &key, const QString &defaultValue = QString()) const;
    // False when the file could not be written; writeFailed() tells why.
    bool setValue(const QString &key, const QString &value);
    bool contains(const QString &key) const;
    // Why the last write that failed did not reach the disk: the file and
    // the reason, as in "/home/op/.config/Quillon/Quillon.conf cannot be
    // written: its folder takes no new files (Permission denied)".
    QString writeProblem() const { return m_writeProblem; }

    QString fileName() const;
    // Reads the file again after another program changed it; false when it
    // can no longer be read (the values read before are kept).
    bool reload();
    // When the file could not be read at start (torn, not text, a section
    // that never closes) it is moved aside and the store starts empty: the
    // path it was kept under, else empty.
    QString setAsideFile() const { return m_setAside; }
    // $XDG_CONFIG_HOME/Quillon/Quillon.conf
    static QString defaultFileName();

    // True only for the text TRUE (trimmed, any case).
    static bool trueTest(const QString &text);
    // False only for the text FALSE (trimmed, any case).
    static bool falseTest(const QString &text);
    static QString flagText(bool value) { return value ? QStringLiteral("True") : QStringLiteral("False"); }

signals:
    // Every write that did not reach the disk.
    void writeFailed(const QString &problem);
    // The first write that reached the disk after one or more failed.
    void writesResumed();

private:
    void open(const QString &fileName);
    static void removeTornLock(const QString &fileName);

    std::unique_ptr<QSettings> m_settings;
    QString m_setAside;
    bool m_writeFailing = false;
    QString m_writeProblem;
};
