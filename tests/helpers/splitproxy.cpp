// SPDX-License-Identifier: GPL-3.0-or-later
#include "splitproxy.h"

#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <array>
#include <memory>

namespace {
// One direction of a connection: what came from one socket, waiting to go
// out of the other piece by piece.
struct Lane {
    QTcpSocket *to = nullptr;
    QByteArray waiting;
    QTimer timer;
    bool closing = false; // the sender has gone: close once all is out
    bool cut = false;     // pieces smaller than what came
};
} // namespace

SplitProxy::SplitProxy(quint16 targetPort, quint32 seed)
    : m_target(targetPort)
    , m_random(seed)
{
    QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] { accept(); });
}

void SplitProxy::accept()
{
    while (QTcpSocket *client = m_server.nextPendingConnection()) {
        auto *upstream = new QTcpSocket(client);
        // The lanes live as long as the client socket: every connection that
        // holds them has it as its context.
        auto lanes = std::make_shared<std::array<Lane, 2>>();
        (*lanes)[0].to = upstream; // client to target
        (*lanes)[1].to = client;   // target to client
        (*lanes)[1].cut = true;
        const auto pump = [this](Lane &lane) {
            if (lane.to->state() == QAbstractSocket::UnconnectedState) {
                lane.waiting.clear(); // refused, or gone
                return;
            }
            if (lane.to->state() != QAbstractSocket::ConnectedState) {
                lane.timer.start(20); // the target is still being reached
                return;
            }
            if (lane.waiting.isEmpty()) {
                if (lane.closing)
                    lane.to->disconnectFromHost();
                return;
            }
            const int most = int(std::min<qsizetype>(lane.waiting.size(), 300));
            const qsizetype size = lane.cut ? m_random.bounded(1, most + 1) : lane.waiting.size();
            lane.to->write(lane.waiting.left(size));
            lane.waiting.remove(0, size);
            ++m_pieces;
            lane.timer.start(int(m_random.bounded(201)));
        };
        const auto take = [this](QTcpSocket *from, Lane &lane) {
            const bool idle = lane.waiting.isEmpty() && !lane.timer.isActive();
            lane.waiting += from->readAll();
            if (idle)
                lane.timer.start(int(m_random.bounded(201)));
        };
        const auto closed = [](Lane &lane) {
            lane.closing = true;
            if (!lane.timer.isActive())
                lane.timer.start(0);
        };
        for (Lane &lane : *lanes) {
            lane.timer.setSingleShot(true);
            QObject::connect(&lane.timer, &QTimer::timeout, client, [pump, lanes, &lane] { pump(lane); });
        }
        QObject::connect(client, &QTcpSocket::readyRead, client,
                         [take, client, lanes] { take(client, (*lanes)[0]); });
        QObject::connect(upstream, &QTcpSocket::readyRead, client,
                         [take, upstream, lanes] { take(upstream, (*lanes)[1]); });
        QObject::connect(client, &QTcpSocket::disconnected, client, [closed, lanes] { closed((*lanes)[0]); });
        QObject::connect(upstream, &QTcpSocket::disconnected, client,
                         [closed, lanes] { closed((*lanes)[1]); });
        QObject::connect(upstream, &QTcpSocket::errorOccurred, client,
                         [closed, lanes](QAbstractSocket::SocketError) { closed((*lanes)[1]); });
        QObject::connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
        upstream->connectToHost(QHostAddress::LocalHost, m_target);
    }
}
