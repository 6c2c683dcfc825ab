// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "device_link/porturl.h"
#include "device_link/serialport.h"
#include "device_link/telnetcodec.h"

#include <QElapsedTimer>
#include <QTimer>

#include <optional>

class QTcpSocket;

// A serial line on a device server, over TCP: raw (socket://) or telnet
// with RFC 2217 (rfc2217://). Opening only starts the connection, so the
// window never waits for the network: a server that does not answer within
// ConnectMs, or refuses, is reported as Unreachable; a connection that drops
// once it was up is LineLost. Until the connection is up what is written
// waits in order.
class NetworkSerialPort final : public SerialPort
{
    Q_OBJECT

public:
    static constexpr int ConnectMs = 2000;
    // How long the server may leave a line setting unanswered before that is
    // reported.
    static constexpr int SettingsMs = 3000;

    explicit NetworkSerialPort(QObject *parent = nullptr);
    ~NetworkSerialPort() override;

    // The server to use at the next open().
    void setUrl(const PortUrl &url) { m_url = url; }

    OpenResult open(int portNumber) override;
    void close() override;
    bool isOpen() const override;
    bool probe(int portNumber) override;
    QString devicePath(int portNumber) const override;
    bool isNetwork() const override { return true; }
    QString lastProblem() const override { return m_problem; }

    qint64 bytesWaiting() const override;
    QByteArray readWaiting(qint64 maxBytes) override;
    QString write(const QByteArray &bytes) override;
    void setReceiveThreshold(int bytes) override;
    void discardInput() override;
    void discardAll() override;
    bool drain(int timeoutMs) override;

private:
    void onConnected();
    // Takes what the socket holds; true when the line's bytes grew.
    bool pull();
    void onReadyRead();
    void onSocketError();
    void fail(const QString &problem);
    void sendNegotiation();

    std::optional<PortUrl> m_url;
    QTcpSocket *m_socket;
    std::optional<TelnetCodec> m_telnet;
    QTimer m_connectTimer;
    QTimer m_settingsTimer;
    QByteArray m_received; // the line's bytes not read yet
    QByteArray m_unsent;   // written before the connection was up
    QString m_problem;
    QElapsedTimer m_clock;
    qint64 m_lineFreeAt = 0; // ms on m_clock when the server's line is idle again
    int m_threshold = 11;
    bool m_open = false;
    bool m_connected = false;
};
