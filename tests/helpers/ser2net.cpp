// SPDX-License-Identifier: GPL-3.0-or-later
#include "ser2net.h"

#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTest>

QString Ser2net::program()
{
    // Debian puts it in /usr/sbin, which a user's PATH leaves out.
    return QStandardPaths::findExecutable(QStringLiteral("ser2net"), qEnvironmentVariable("PATH").split(u':')
                                                                         << QStringLiteral("/usr/sbin"));
}

bool Ser2net::start(int timeoutMs)
{
    if (m_process.state() != QProcess::NotRunning)
        return true;
    if (m_raw == 0) {
        QTcpServer raw;
        QTcpServer telnet;
        if (!raw.listen(QHostAddress::LocalHost) || !telnet.listen(QHostAddress::LocalHost))
            return false;
        m_raw = raw.serverPort();
        m_telnet = telnet.serverPort();
    }
    // A pseudo-terminal has no modem lines: "local" waits for no carrier, and
    // dtr= or rts= would make the open fail.
    const QByteArray connector = "    connector: serialdev," + m_device.toLocal8Bit()
                                 + ",9600n81,local\n    options:\n      kickolduser: true\n";
    const QByteArray text = "%YAML 1.1\n---\nconnection: &raw\n    accepter: tcp,127.0.0.1,"
                            + QByteArray::number(m_raw) + "\n" + connector
                            + "connection: &rfc2217\n    accepter: telnet(rfc2217),tcp,127.0.0.1,"
                            + QByteArray::number(m_telnet) + "\n" + connector;
    const QString path = m_dir.filePath(QStringLiteral("ser2net.yaml"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return false;
    file.close();
    // -n -d: in the foreground, its messages on stdout; -u: no UUCP locks.
    m_process.start(program(), {QStringLiteral("-n"), QStringLiteral("-d"), QStringLiteral("-u"),
                                QStringLiteral("-c"), path});
    return m_process.waitForStarted(timeoutMs) && listening(timeoutMs);
}

void Ser2net::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000))
        m_process.kill();
    m_process.waitForFinished(3000);
    m_output += m_process.readAll();
}

// From the kernel's table of TCP sockets: a connection would open the device
// and show in qxsim's log.
bool Ser2net::listening(int timeoutMs) const
{
    const auto entry = [](quint16 port) {
        return " 0100007F:" + QByteArray::number(port, 16).toUpper().rightJustified(4, '0')
               + " 00000000:0000 0A ";
    };
    return QTest::qWaitFor(
        [&] {
            QFile table(QStringLiteral("/proc/net/tcp"));
            const QByteArray text = table.open(QIODevice::ReadOnly) ? table.readAll() : QByteArray();
            return m_process.state() != QProcess::NotRunning && text.contains(entry(m_raw))
                   && text.contains(entry(m_telnet));
        },
        timeoutMs);
}
