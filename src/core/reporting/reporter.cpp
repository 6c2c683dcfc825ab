// SPDX-License-Identifier: GPL-3.0-or-later
#include "reporter.h"

void Reporter::ReportError(const QString &message, const QString &title)
{
    m_panelTitle = title;
    if (m_panelVisible) {
        m_panelText += QStringLiteral("\r\n") + message;
        // A report that repeats while the panel stays open (a program left
        // running for weeks) must not grow the text without end: keep the
        // latest lines.
        const QStringList lines = m_panelText.split(QStringLiteral("\r\n"));
        if (lines.size() > MaxLines)
            m_panelText = lines.mid(lines.size() - MaxLines).join(QStringLiteral("\r\n"));
    } else {
        m_panelText = message;
        m_panelVisible = true;
    }
    m_errorPanelTicks = PanelTicks;
    emit changed();
    emit errorReported(message, title);
}

void Reporter::closePanel()
{
    m_errorPanelTicks = 0;
    m_panelVisible = false;
    emit changed();
}

void Reporter::tick()
{
    if (m_errorPanelTicks <= 0) {
        if (m_errorPanelTicks == 0)
            m_errorPanelTicks = -1;
        return;
    }
    if (--m_errorPanelTicks == 0) {
        m_panelVisible = false;
        m_errorPanelTicks = -1;
        emit changed();
    }
}

void Reporter::setDiagSend(const QString &text)
{
    m_diagSend = text;
    emit changed();
}

void Reporter::setDiagReply(const QString &text)
{
    if (m_diagReply == text)
        return;
    m_diagReply = text;
    emit changed();
}

void Reporter::countSent()
{
    const int count = m_sentCount.toInt() + 1;
    m_sentCount = count >= 10000 ? QStringLiteral("0") : QString::number(count);
    emit changed();
}

void Reporter::countReply()
{
    m_replyCount = QString::number((m_replyCount.toInt() + 1) % 10000);
    emit changed();
}

void Reporter::setUploadStatus(const QString &text)
{
    if (m_uploadStatus == text)
        return;
    m_uploadStatus = text;
    emit changed();
}

void Reporter::setProgressVisible(bool visible)
{
    if (m_progressVisible == visible)
        return;
    m_progressVisible = visible;
    emit changed();
}

void Reporter::setProgressValue(int value)
{
    m_progressValue = value;
    emit changed();
}

void Reporter::setCopyright(const QString &text)
{
    if (m_copyright == text)
        return;
    m_copyright = text;
    emit changed();
}

void Reporter::setCurrentTime(const QString &text)
{
    if (m_currentTime == text)
        return;
    m_currentTime = text;
    emit changed();
}
