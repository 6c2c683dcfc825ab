// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A ser2net of the test's own in front of a serial device (qxsim's
// pseudo-terminal), in the foreground with its own configuration: a raw TCP
// accepter and a telnet RFC 2217 one on free ports of 127.0.0.1. It can be
// stopped and started again on the same ports.
class Ser2net
{
public:
    explicit Ser2net(QString devicePath);
    ~Ser2net() { stop(); }
    Ser2net(const Ser2net &) = delete;
    Ser2net &operator=(const Ser2net &) = delete;

    // Starts ser2net and waits until both accepters listen. The first start
    // picks the ports (again, should another program take one meanwhile).
    bool start(int timeoutMs = 5000);
    // Ends ser2net (killed if it does not end); every connection drops.
    void stop();
    bool running() const { return m_process.state() != QProcess::NotRunning; }

    quint16 rawPort() const { return m_raw; }
    quint16 telnetPort() const { return m_telnet; }
    QString rawUrl() const { return QStringLiteral("socket://127.0.0.1:%1").arg(m_raw); }
    QString rfc2217Url() const { return QStringLiteral("rfc2217://127.0.0.1:%1").arg(m_telnet); }
    // What ser2net printed so far, for failure messages.
    QByteArray output();

    // The configuration for the device on these ports. A pseudo-terminal has
    // no modem lines: the connector sets none (dtr= or rts= makes its open
    // fail there) and ignores them ("local": no carrier to wait for). A
    // client's RFC 2217 request for DTR or RTS then goes unanswered.
    static QByteArray configuration(const QString &devicePath, quint16 raw, quint16 telnet);
    // The ser2net program, empty when it is not installed.
    static QString program();
    // Two free TCP ports of 127.0.0.1 (free when asked).
    static bool freePorts(quint16 &first, quint16 &second);

private:
    bool listening(int timeoutMs) const;

    QString m_device;
    QTemporaryDir m_dir;
    QProcess m_process;
    QByteArray m_output;
    quint16 m_raw = 0;
    quint16 m_telnet = 0;
};
