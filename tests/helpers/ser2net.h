// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <utility>

// ser2net in front of a serial device (qxsim's pseudo-terminal), in the
// foreground on a configuration of the test's own: a raw accepter and a
// telnet RFC 2217 one on free ports of 127.0.0.1, the same after a restart.
class Ser2net
{
public:
    explicit Ser2net(QString devicePath)
        : m_device(std::move(devicePath))
    {
        m_process.setProcessChannelMode(QProcess::MergedChannels);
    }
    ~Ser2net() { stop(); }

    // Starts ser2net and waits until both accepters listen.
    bool start(int timeoutMs = 5000);
    // Ends ser2net; every connection drops.
    void stop();
    bool running() const { return m_process.state() != QProcess::NotRunning; }

    QString rawUrl() const { return QStringLiteral("socket://127.0.0.1:%1").arg(m_raw); }
    QString rfc2217Url() const { return QStringLiteral("rfc2217://127.0.0.1:%1").arg(m_telnet); }
    // What ser2net printed so far, for failure messages.
    QByteArray output() { return m_output += m_process.readAll(); }
    // The ser2net program, empty when it is not installed.
    static QString program();

private:
    bool listening(int timeoutMs) const;

    QString m_device;
    QTemporaryDir m_dir;
    QProcess m_process;
    QByteArray m_output;
    quint16 m_raw = 0;
    quint16 m_telnet = 0;
};
