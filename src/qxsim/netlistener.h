// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "device_link/telnetcodec.h"

#include <QByteArray>
#include <QObject>
#include <QTcpServer>

#include <optional>

class QTcpSocket;

// One network listener of the simulator, as a serial device server has it:
// raw TCP (socket://) or telnet with RFC 2217 (rfc2217://), one client at a
// time. A second client is refused (closed at once) and the first keeps the
// line; while the listener is shut (the line hung up) every client is.
class NetListener : public QObject
{
    Q_OBJECT
public:
    enum class Kind { Raw, Rfc2217 };

    explicit NetListener(Kind kind, QObject *parent = nullptr);

    // Listens on [HOST:]PORT (HOST 127.0.0.1 when left out, PORT 0 for any
    // free one).
    bool listen(const QString &address, QString *error);
    // socket://HOST:PORT or rfc2217://HOST:PORT, as a ports file names it.
    QString url() const;
    Kind kind() const { return m_kind; }
    QByteArray scheme() const { return m_kind == Kind::Raw ? "socket" : "rfc2217"; }

    bool hasClient() const { return m_client != nullptr; }
    // The line's bytes to the client, if there is one.
    void send(const QByteArray &bytes);
    // Shut: the client goes and new ones are closed at once. Open again: they are taken.
    void setShut(bool shut);

signals:
    void clientCame(const QByteArray &peer);
    void clientRefused(const QByteArray &peer);
    void clientGone();
    // The line's bytes from the client.
    void received(const QByteArray &bytes);
    // RFC 2217: the line settings the client set, e.g. "9600 8 1 1" (baud,
    // data bits, parity and stop bits as RFC 2217 numbers them).
    void settingsRequested(const QByteArray &settings);

private:
    void onNewConnection();
    void onReadyRead();
    void dropClient();

    const Kind m_kind;
    QTcpServer m_server;
    QTcpSocket *m_client = nullptr;
    std::optional<TelnetCodec> m_codec;
    TelnetCodec::LineSettings m_settings;
    bool m_shut = false;
};
