// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "device_link/portlocator.h"
#include "device_link/serialport.h"

class NetworkSerialPort;
class QSerialPort;

// The real serial port, through QSerialPort, with port numbers mapped to
// devices by the PortLocator; a number that maps to the URL of a port on a
// device server goes through a NetworkSerialPort instead.
class SystemSerialPort final : public SerialPort
{
    Q_OBJECT

public:
    explicit SystemSerialPort(PortLocator locator = PortLocator(), QObject *parent = nullptr);
    ~SystemSerialPort() override;

    OpenResult open(int portNumber) override;
    void close() override;
    bool isOpen() const override;
    bool probe(int portNumber) override;
    QString devicePath(int portNumber) const override;

    qint64 bytesWaiting() const override;
    QByteArray readWaiting(qint64 maxBytes) override;
    QString write(const QByteArray &bytes) override;
    void setReceiveThreshold(int bytes) override;
    void discardInput() override;
    void discardAll() override;
    bool drain(int timeoutMs) override;
    bool isNetwork() const override;
    QString lastProblem() const override;

    static constexpr qint64 OutputBufferSize = 2500;

private:
    void onReadyRead();
    void onError(int error);
    OpenResult openDevice(QSerialPort &port, int portNumber) const;

    PortLocator m_locator;
    QSerialPort *m_port;
    NetworkSerialPort *m_network;
    bool m_onNetwork = false; // the port open (or last opened) is on a device server
    int m_threshold = 11;
    bool m_lost = false;
};
