// SPDX-License-Identifier: GPL-3.0-or-later
#include "ser2net.h"

#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTest>

#include <utility>

Ser2net::Ser2net(QString devicePath)
    : m_device(std::move(devicePath))
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

QByteArray Ser2net::configuration(const QString &devicePath, quint16 raw, quint16 telnet)
{
    const QByteArray connector = "    connector: serialdev," + devicePath.toLocal8Bit() + ",9600n81,local\n";
    const QByteArray options = "    options:\n      kickolduser: true\n";
    return "%YAML 1.1\n---\nconnection: &raw\n    accepter: tcp,127.0.0.1," + QByteArray::number(raw) + "\n"
           + connector + options + "connection: &rfc2217\n    accepter: telnet(rfc2217),tcp,127.0.0.1,"
           + QByteArray::number(telnet) + "\n" + connector + options;
}

bool Ser2net::freePorts(quint16 &first, quint16 &second)
{
    QTcpServer a;
    QTcpServer b;
    if (!a.listen(QHostAddress::LocalHost) || !b.listen(QHostAddress::LocalHost))
        return false;
    first = a.serverPort();
    second = b.serverPort();
    return true;
}

QString Ser2net::program()
{
    // A user's PATH on Debian leaves out /usr/sbin, where the package puts it.
    const QString inPath = QStandardPaths::findExecutable(QStringLiteral("ser2net"));
    return inPath.isEmpty() ? QStandardPaths::findExecutable(
               QStringLiteral("ser2net"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin")})
                            : inPath;
}

bool Ser2net::start(int timeoutMs)
{
    if (running())
        return true;
    const bool choose = m_raw == 0;
    for (int attempt = 0; attempt < (choose ? 3 : 1); ++attempt) {
        if (choose && !freePorts(m_raw, m_telnet))
            return false;
        const QString path = m_dir.filePath(QStringLiteral("ser2net.yaml"));
        QFile file(path);
        const QByteArray text = configuration(m_device, m_raw, m_telnet);
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
            return false;
        file.close();
        // -n -d: in the foreground, its messages on stdout; -u: no UUCP lock
        // files in the system's lock folder.
        m_process.start(program(), {QStringLiteral("-n"), QStringLiteral("-d"), QStringLiteral("-u"),
                                    QStringLiteral("-c"), path});
        if (m_process.waitForStarted(timeoutMs) && listening(timeoutMs))
            return true;
        stop(); // a port taken meanwhile: ser2net runs on without that accepter
    }
    return false;
}

void Ser2net::stop()
{
    if (!running())
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
    m_output += m_process.readAll();
}

QByteArray Ser2net::output()
{
    m_output += m_process.readAll();
    return m_output;
}

// From the kernel's table of TCP sockets rather than by connecting, which
// would open the device and show in qxsim's log.
bool Ser2net::listening(int timeoutMs) const
{
    const auto entry = [](quint16 port) {
        return QByteArray(" 0100007F:") + QByteArray::number(port, 16).toUpper().rightJustified(4, '0')
               + " 00000000:0000 0A ";
    };
    return QTest::qWaitFor(
        [&] {
            QFile table(QStringLiteral("/proc/net/tcp"));
            const QByteArray text = table.open(QIODevice::ReadOnly) ? table.readAll() : QByteArray();
            return running() && text.contains(entry(m_raw)) && text.contains(entry(m_telnet));
        },
        timeoutMs);
}
