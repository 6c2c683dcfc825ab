// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRandomGenerator>
#include <QTcpServer>

// A TCP proxy in the test process on 127.0.0.1 that forwards bytes both ways
// to a port of 127.0.0.1, each piece held back a pseudo-random time of up to
// 200 ms (a fixed seed, so a failure can be replayed); bytes keep their order.
// What comes back from the target is also cut into pieces of pseudo-random
// sizes. What goes to it is not: the device takes a pause inside a command
// for its end, whoever made the pause.
class SplitProxy
{
public:
    explicit SplitProxy(quint16 targetPort, quint32 seed = 20261207);

    bool listen() { return m_server.listen(QHostAddress::LocalHost); }
    quint16 port() const { return m_server.serverPort(); }
    // Pieces forwarded so far, in both directions.
    int pieces() const { return m_pieces; }

private:
    void accept();

    QTcpServer m_server;
    quint16 m_target;
    QRandomGenerator m_random;
    int m_pieces = 0;
};
