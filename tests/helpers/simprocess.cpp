// SPDX-License-Identifier: GPL-3.0-or-later
#include "simprocess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTest>

#include <algorithm>

SimProcess::SimProcess(const QString &portsDir, int port, const QStringList &extraArgs)
    : m_logPath(m_logDir.filePath(QStringLiteral("traffic.log")))
{
    m_arguments << QStringLiteral("--ports-dir") << portsDir << QStringLiteral("--port")
                << QString::number(port) << QStringLiteral("--log") << m_logPath << extraArgs;
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

SimProcess::~SimProcess()
{
    if (m_process.state() != QProcess::NotRunning && !stop(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

bool SimProcess::start(int timeoutMs)
{
    m_process.start(QStringLiteral(QXSIM_PATH), m_arguments);
    const QList<QByteArray> words
        = m_process.waitForStarted(timeoutMs) ? readStdoutLine(timeoutMs).split(' ') : QList<QByteArray>();
    if (words.size() != 3 || words.at(0) != "READY")
        return false;
    m_linkPath = QString::fromLocal8Bit(words.at(1));
    m_readyPtyPath = QString::fromLocal8Bit(words.at(2));
    return true;
}

bool SimProcess::stop(int timeoutMs)
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

void SimProcess::control(const QByteArray &line)
{
    if (m_process.state() != QProcess::Running)
        return;
    m_process.write(line + '\n');
    m_process.waitForBytesWritten(1000);
}

QList<SimProcess::Entry> SimProcess::entries() const
{
    QFile file(m_logPath);
    QList<Entry> result;
    const QList<QByteArray> lines
        = file.open(QIODevice::ReadOnly) ? file.readAll().split('\n') : QList<QByteArray>();
    for (const QByteArray &line : lines) {
        if (const std::optional<Entry> entry = TrafficLog::parseLine(line))
            result.append(*entry);
    }
    return result;
}

QList<SimProcess::Entry> SimProcess::received() const
{
    QList<Entry> result = entries();
    result.removeIf([](const Entry &entry) { return entry.kind != "rx"; });
    return result;
}

int SimProcess::countReceived(const QByteArray &command) const
{
    const QList<Entry> all = received();
    return int(
        std::count_if(all.cbegin(), all.cend(), [&](const Entry &e) { return e.bytes.startsWith(command); }));
}

int SimProcess::countEvents(const QByteArray &event) const
{
    const QList<Entry> all = entries();
    return int(std::count_if(all.cbegin(), all.cend(), [&](const Entry &e) {
        return e.kind == "#" && (e.bytes == event || e.bytes.startsWith(event + ' '));
    }));
}

bool SimProcess::waitForReceived(const QByteArray &command, int timeoutMs, int occurrences)
{
    return QTest::qWaitFor([&] { return countReceived(command) >= occurrences; }, timeoutMs);
}

bool SimProcess::waitForEvent(const QByteArray &event, int timeoutMs, int occurrences)
{
    return QTest::qWaitFor([&] { return countEvents(event) >= occurrences; }, timeoutMs);
}

QString SimProcess::ptyPath() const
{
    QString path = m_readyPtyPath;
    for (const Entry &entry : entries()) {
        if (entry.kind == "#" && entry.bytes.startsWith("up "))
            path = QString::fromLocal8Bit(entry.bytes.mid(3));
    }
    return path;
}

QByteArray SimProcess::readStdoutLine(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!m_process.canReadLine()) {
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            return {};
        m_process.waitForReadyRead(
            static_cast<int>(qMax<qint64>(1, qMin<qint64>(deadline.remainingTime(), 50))));
    }
    return m_process.readLine().trimmed();
}
