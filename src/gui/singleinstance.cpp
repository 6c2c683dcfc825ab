// SPDX-License-Identifier: GPL-3.0-or-later
#include "singleinstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

namespace {
const QByteArray kCloseRequest = QByteArrayLiteral("close\n");
}

SingleInstance::SingleInstance(QObject *parent)
    : QObject(parent)
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::socketPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder + QStringLiteral("/Quillon.instance");
}

QString SingleInstance::lockPath()
{
    return socketPath() + QStringLiteral(".lock");
}

bool SingleInstance::askToClose()
{
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(500))
        return false;
    socket.write(kCloseRequest);
    socket.flush();
    socket.waitForBytesWritten(500);
    // The other instance closes its window and exits; its end of the socket
    // goes away with it.
    const QDeadlineTimer deadline(3000);
    while (socket.state() == QLocalSocket::ConnectedState && !deadline.hasExpired())
        socket.waitForDisconnected(static_cast<int>(std::max<qint64>(deadline.remainingTime(), 1)));
    return true;
}

SingleInstance::Start SingleInstance::start(int timeoutMs)
{
    Start result;
    m_lock = std::make_unique<QLockFile>(lockPath());
    // Held for the program's life: it never goes stale by age. A lock whose
    // program has died is taken over by QLockFile itself.
    m_lock->setStaleLockTime(0);
    const QDeadlineTimer deadline(timeoutMs);
    while (!m_lock->tryLock(0)) {
        if (m_lock->error() != QLockFile::LockFailedError) {
            // The runtime folder cannot be written: there is no telling
            // whether another instance runs.
            result.problem = QStringLiteral("Quillon cannot tell whether it is already running: the lock %1 "
                                            "cannot be made.")
                                 .arg(lockPath());
            return result;
        }
        // Another instance holds it: ask it to close (one that has only
        // just started may not listen yet), then try again.
        result.tookOver = askToClose() || result.tookOver;
        if (m_lock->tryLock(100))
            break;
        if (deadline.hasExpired()) {
            result.running = false;
            result.problem = QStringLiteral("Another Quillon is running and did not close.");
            return result;
        }
    }
    if (!listen())
        result.problem = QStringLiteral("Quillon cannot listen on %1; a later start will not find it.")
                             .arg(socketPath());
    return result;
}

bool SingleInstance::listen()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // Only the holder of the lock gets here: a socket left is one an
    // instance that crashed left behind.
    QLocalServer::removeServer(socketPath());
    if (!m_server->listen(socketPath()))
        return false;
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *client = m_server->nextPendingConnection()) {
            connect(client, &QLocalSocket::readyRead, this, [this, client] {
                if (client->readAll().contains("close"))
                    emit closeRequested();
            });
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        }
    });
    return true;
}
