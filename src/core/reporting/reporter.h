// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

// The main window's reporting elements: the error panel with its stacking and
// five-second hiding, the diagnostic strip (send line, reply line, counters),
// the status line and progress of the transfers, and the copyright label.
class Reporter : public QObject
{
    Q_OBJECT

public:
    static constexpr int PanelTicks = 200; // 5 s of 25 ms ticks
    static constexpr int MaxLines = 50;    // stacked reports kept in the panel

    using QObject::QObject;

    // Shows a message under a title; messages that arrive while the panel is
    // open pile up under the latest title, and each restarts the 5 seconds.
    void ReportError(const QString &message, const QString &title);
    // The panel's OK button.
    void closePanel();
    // One 25 ms tick of the panel countdown.
    void tick();

    bool panelVisible() const { return m_panelVisible; }
    QString panelTitle() const { return m_panelTitle; }
    QString panelText() const { return m_panelText; }
    int errorPanelTicks() const { return m_errorPanelTicks; }

    // Diagnostic strip.
    QString diagSend() const { return m_diagSend; }
    void setDiagSend(const QString &text);
    QString diagReply() const { return m_diagReply; }
    void setDiagReply(const QString &text);
    QString sentCount() const { return m_sentCount; }
    void countSent();
    QString replyCount() const { return m_replyCount; }
    void countReply();

    // Status line and progress bar of the transfers.
    QString uploadStatus() const { return m_uploadStatus; }
    void setUploadStatus(const QString &text);
    bool progressVisible() const { return m_progressVisible; }
    int progressValue() const { return m_progressValue; }
    void setProgressVisible(bool visible);
    void setProgressValue(int value);

    QString copyright() const { return m_copyright; }
    void setCopyright(const QString &text);

    QString currentTime() const { return m_currentTime; }
    void setCurrentTime(const QString &text);

signals:
    void changed();
    // Every report as it is made, for the command-line program's stderr.
    void errorReported(const QString &message, const QString &title);

private:
    bool m_panelVisible = false;
    QString m_panelTitle = QStringLiteral("Error of Some Sort");
    QString m_panelText;
    int m_errorPanelTicks = -1;
    QString m_diagSend;
    QString m_diagReply;
    QString m_sentCount = QStringLiteral("00000");
    QString m_replyCount = QStringLiteral("00000");
    QString m_uploadStatus;
    bool m_progressVisible = false;
    int m_progressValue = 0;
    QString m_copyright;
    QString m_currentTime = QStringLiteral("00:00:00");
};
