// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRandomGenerator>
#include <QTcpServer>

// A TCP proxy on 127.0.0.1, in the test's event loop, to a port of 127.0.0.1.
// Requests go on as they come; replies are cut into pieces of pseudo-random
// sizes, each held back up to 200 ms (a fixed seed, so a failure replays).
class SplitProxy
{
public:
    explicit SplitProxy(quint16 targetPort, quint32 seed = 20261207);

    bool listen() { return m_server.listen(QHostAddress::LocalHost); }
    quint16 port() const { return m_server.serverPort(); }

private:
    void accept();

    QTcpServer m_server;
    quint16 m_target;
    QRandomGenerator m_random;
};
