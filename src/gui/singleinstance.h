// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLockFile;

// One program per user session. The instance that runs holds the lock file
// "Quillon.instance.lock" in the runtime folder and listens on the local
// socket "Quillon.instance" beside it; a later one asks it to close, waits
// until its lock is free, and then starts in its place. The lock cannot be
// taken twice, so starts at the same moment end with one program.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    explicit SingleInstance(QObject *parent = nullptr);
    ~SingleInstance() override;

    static QString socketPath();
    static QString lockPath();

    struct Start {
        bool tookOver = false; // another instance was asked to close
        bool running = true;   // false: another instance would not close
        QString problem;       // why the check could not be made, or failed
    };
    // Takes the lock, asking whoever holds it to close (waiting at most
    // timeoutMs), then listens for later instances.
    Start start(int timeoutMs = 5000);

signals:
    void closeRequested();

private:
    static bool askToClose();
    bool listen();

    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
};
