// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "qxsim/trafficlog.h"

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

// Runs the qxsim device simulator for a test: starts it with a traffic log in a
// temporary directory, feeds it control lines and reads back what it logged.
class SimProcess
{
public:
    // ms: epoch milliseconds; kind: "rx", "tx", "!" or "#" (an event).
    using Entry = TrafficLog::Entry;

    SimProcess(const QString &portsDir, int port, const QStringList &extraArgs = {})
        : m_logPath(m_logDir.filePath(QStringLiteral("traffic.log")))
    {
        m_arguments << QStringLiteral("--ports-dir") << portsDir << QStringLiteral("--port")
                    << QString::number(port) << QStringLiteral("--log") << m_logPath << extraArgs;
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    // Quits the simulator (kills it if it does not).
    ~SimProcess()
    {
        if (m_process.state() != QProcess::NotRunning && !stop(3000)) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }

    // Starts qxsim and waits for its READY line.
    bool start(int timeoutMs = 5000);
    // Asks qxsim to quit and waits; true when it exited cleanly.
    bool stop(int timeoutMs = 5000)
    {
        if (m_process.state() != QProcess::NotRunning) {
            control("quit");
            if (!m_process.waitForFinished(timeoutMs)) {
                m_process.terminate();
                m_process.waitForFinished(timeoutMs);
                return false;
            }
        }
        return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    }
    // Writes one control line (see qxsim --help).
    void control(const QByteArray &line)
    {
        if (m_process.state() == QProcess::Running && m_process.write(line + '\n') > 0)
            m_process.waitForBytesWritten(1000);
    }

    // The whole log, read afresh, or its "rx" entries.
    QList<Entry> entries() const
    {
        QFile file(m_logPath);
        QList<Entry> result;
        const QByteArrayList lines
            = file.open(QIODevice::ReadOnly) ? file.readAll().split('\n') : QByteArrayList();
        for (const QByteArray &line : lines)
            if (const std::optional<Entry> entry = TrafficLog::parseLine(line))
                result.append(*entry);
        return result;
    }
    QList<Entry> received() const
    {
        QList<Entry> result = entries();
        result.removeIf([](const Entry &entry) { return entry.kind != "rx"; });
        return result;
    }
    // How many "rx" entries begin with command (so "ATN" also matches ATN with
    // its blanks), or how many "#" entries are event, or event followed by a
    // blank and more ("up" matches "up /dev/pts/7").
    int countReceived(const QByteArray &command) const
    {
        return int(
            std::ranges::count_if(received(), [&](const Entry &e) { return e.bytes.startsWith(command); }));
    }
    int countEvents(const QByteArray &event) const
    {
        return int(std::ranges::count_if(entries(), [&](const Entry &e) {
            return e.kind == "#" && (e.bytes == event || e.bytes.startsWith(event + ' '));
        }));
    }
    // Wait until there are occurrences of them; events are processed meanwhile.
    bool waitForReceived(const QByteArray &command, int timeoutMs, int occurrences = 1)
    {
        return QTest::qWaitFor([&] { return countReceived(command) >= occurrences; }, timeoutMs);
    }
    bool waitForEvent(const QByteArray &event, int timeoutMs, int occurrences = 1)
    {
        return QTest::qWaitFor([&] { return countEvents(event) >= occurrences; }, timeoutMs);
    }

    // The pty slave now in use: from READY, or from the latest "up" event.
    QString ptyPath() const
    {
        QString path = m_readyPtyPath;
        for (const Entry &entry : entries())
            if (entry.kind == "#" && entry.bytes.startsWith("up "))
                path = QString::fromLocal8Bit(entry.bytes.mid(3));
        return path;
    }
    QString linkPath() const { return m_linkPath; }
    QString logPath() const { return m_logPath; }
    // The next line qxsim prints on stdout (without its line end), or empty.
    QByteArray readStdoutLine(int timeoutMs);

private:
    QTemporaryDir m_logDir;
    QString m_logPath;
    QStringList m_arguments;
    QProcess m_process;
    QString m_linkPath;
    QString m_readyPtyPath;
};
