// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

#include <memory>
#include <thread>

// The as-run log: one line for every logo selection and TAKE a schedule
// runner sends, appended to a CSV file that is never rewritten. Each line is
// written with one append-mode write and flushed to the disk before the
// call returns, so a crash loses at most the line being written. Only a
// regular file is written to or read: a pipe, a device or a folder in its
// place is refused with a reason, never waited on.
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

    struct Tail {
        bool exists = false;
        QString text;    // the last maxBytes of the file
        QString problem; // why it could not be read; empty when it could
    };
    // The end of the file, for looking at.
    Tail readTail(qint64 maxBytes) const;

private:
    QString m_fileName;
};

// Writes as-run entries on a thread of its own, in order, so that a slow or
// stuck disk (a home folder on a network) never holds up the thread that
// sends the schedule's commands. Each write's outcome comes back as
// written() on the writer's own thread.
class AsRunWriter : public QObject
{
    Q_OBJECT

public:
    explicit AsRunWriter(AsRunLog log = AsRunLog(), QObject *parent = nullptr);
    // Waits a moment for the entries still queued; a writer stuck in the
    // file system is left behind rather than waited for.
    ~AsRunWriter() override;

    const AsRunLog &log() const { return m_log; }
    // Queues one entry and returns at once.
    void post(const AsRunLog::Entry &entry);
    // True once every entry posted so far has been written (or refused).
    bool waitUntilWritten(int timeoutMs) const;

signals:
    // The reason an entry was not written, empty when it was.
    void written(const QString &failure);

private:
    struct Queue;
    AsRunLog m_log;
    std::shared_ptr<Queue> m_queue;
    std::thread m_thread;
};
