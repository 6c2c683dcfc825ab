// SPDX-License-Identifier: GPL-3.0-or-later
#include "simprocess.h"

#include <QDeadlineTimer>

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

QByteArray SimProcess::readStdoutLine(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!m_process.canReadLine()) {
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            return {};
        m_process.waitForReadyRead(50);
    }
    return m_process.readLine().trimmed();
}
