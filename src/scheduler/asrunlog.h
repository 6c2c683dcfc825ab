#pragma once

#include <QDateTime>
#include <QString>

// The as-run log: one line for every logo selection and TAKE a schedule
// runner sends, appended to a CSV file that is never rewritten. Each line is
// written with one append-mode write and flushed to the disk before the
// call returns, so a crash loses at most the line being written.
class AsRunLog
{
public:
    struct Entry {
        QDateTime time;
        int sequence = 0; // 1 to 20
        int logo = 0;
        QString command; // "SELECT", "TAKE ON" or "TAKE OFF"
        bool portOpen = false;
    };

    // $XDG_STATE_HOME/Quillon/as-run.csv (~/.local/state when unset).
    static QString defaultFileName();
    static QString header() { return QStringLiteral("time,sequence,logo,command,port_open"); }
    // One CSV line without its line end, e.g.
    // "2026-12-07T09:05:07.250+01:00,3,2,TAKE ON,yes".
    static QString line(const Entry &entry);

    explicit AsRunLog(QString fileName = defaultFileName());
    QString fileName() const { return m_fileName; }

    // Appends one entry (and the header first when the file is new or
    // empty); the reason on failure, else an empty text.
    QString append(const Entry &entry) const;

private:
    QString m_fileName;
};
