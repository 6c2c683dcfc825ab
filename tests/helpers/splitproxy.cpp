// SPDX-License-Identifier: GPL-3.0-or-later
#include "splitproxy.h"

#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <memory>

SplitProxy::SplitProxy(quint16 targetPort, quint32 seed)
    : m_target(targetPort)
    , m_random(seed)
{
    QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] { accept(); });
}

// Sockets live as long as the proxy: the server owns the client ones.
void SplitProxy::accept()
{
    while (QTcpSocket *client = m_server.nextPendingConnection()) {
        auto *target = new QTcpSocket(client);
        auto *timer = new QTimer(client);
        timer->setSingleShot(true);
        auto waiting = std::make_shared<QByteArray>(); // replies not yet passed on
        const auto up = [client, target] {
            if (target->state() == QAbstractSocket::ConnectedState)
                target->write(client->readAll());
        };
        const auto down = [this, client, target, timer, waiting] {
            if (waiting->isEmpty()) {
                if (target->state() == QAbstractSocket::UnconnectedState)
                    client->disconnectFromHost(); // all out, the target gone
                return;
            }
            const auto size = m_random.bounded(1, int(std::min<qsizetype>(waiting->size(), 300)) + 1);
            client->write(waiting->left(size));
            waiting->remove(0, size);
            timer->start(int(m_random.bounded(201)));
        };
        QObject::connect(timer, &QTimer::timeout, client, down);
        QObject::connect(target, &QTcpSocket::connected, client, up);
        QObject::connect(client, &QTcpSocket::readyRead, client, up);
        QObject::connect(target, &QTcpSocket::readyRead, client, [this, target, timer, waiting] {
            *waiting += target->readAll();
            if (!timer->isActive())
                timer->start(int(m_random.bounded(201)));
        });
        QObject::connect(target, &QTcpSocket::disconnected, client, down);
        QObject::connect(target, &QTcpSocket::errorOccurred, client, down);
        QObject::connect(client, &QTcpSocket::disconnected, target, &QTcpSocket::disconnectFromHost);
        target->connectToHost(QHostAddress::LocalHost, m_target);
    }
}
