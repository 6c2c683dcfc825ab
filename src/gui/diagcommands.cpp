// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagcommands.h"

#include "device_link/commandtable.h"
#include "device_link/devicestate.h"
#include "device_link/protocol.h"
#include "gui/windowstate.h"
#include "reporting/reporter.h"
#include "session/deviceoperations.h"
#include "settings/settingsstore.h"

DiagCommands::DiagCommands(const DeviceState &deviceState, WindowState &window, Reporter &reporter,
                           SettingsStore &settings, DeviceOperations &operations, QObject *parent)
    : QObject(parent)
    , m_deviceState(deviceState)
    , m_window(window)
    , m_reporter(reporter)
    , m_settings(settings)
    , m_ops(operations)
{
}

std::optional<int> DiagCommands::askNumber(const QString &prompt)
{
    if (!m_prompter) {
        m_reporter.ReportError(QStringLiteral("No input window to ask: ") + prompt,
                               QStringLiteral("mnuDiagSub_Click"));
        return std::nullopt;
    }
    const std::optional<QString> answer = m_prompter->ask(prompt);
    if (!answer || answer->isEmpty())
        return std::nullopt;
    return Protocol::roundHalfEven(Protocol::leadingNumber(*answer));
}

QString DiagCommands::prompt(int index) const
{
    using namespace CommandTable;
    switch (index) {
    case FadeRate:
        return QStringLiteral("Enter a Fade Rate (0-99)");
    case MixLevel:
        return QStringLiteral("Enter a Mix Percent (0-99)");
    case IreLevel:
        return QStringLiteral("Enter an Intensity Percent (0-99)");
    case HorizPosn:
        return QStringLiteral("Enter a Horizontal Position Percent (0-99)");
    case VertPosn:
        return QStringLiteral("Enter a Vertical Position Percent (0-99)");
    case ChangeId:
        return QStringLiteral("Enter an ID Number (1-255)");
    case SetTimeOn:
        return QStringLiteral("Enter Take ON Time (15-3825)Seconds");
    case SetTimeOff:
        return QStringLiteral("Enter Take OFF Time (15-3825)Seconds");
    case Wakeup:
        // With "Factory Reset" hidden the entry wakes every node unasked.
        return m_window.factoryResetVisible ? QStringLiteral("Enter Node to Wake-up (1-255) 0=All.")
                                            : QString();
    case SelectLogo:
        return QStringLiteral("Enter a Logo number (1-") + QString::number(m_deviceState.modelNumber)
               + QStringLiteral(")");
    case SetModel:
        return QStringLiteral("Enter a Model number (01,04,07,15,31)");
    default:
        return QString();
    }
}

void DiagCommands::mnuDiagSub_Click(int index)
{
    using namespace CommandTable;
    if (index < 0 || index >= EntryCount)
        return;
    int v = 0;
    if (const QString question = prompt(index); !question.isEmpty()) {
        const std::optional<int> answer = askNumber(question);
        if (!answer)
            return;
        v = *answer;
    }
    if (index == ShowDialog)
        toggleReplyStrip();
    // With "Factory Reset" hidden the wake-up entry asks nothing and wakes
    // every node.
    if (index == Wakeup && !m_window.factoryResetVisible)
        m_ops.wakeAll();
    else
        m_ops.sendDiagnostic(index, v);
}

void DiagCommands::toggleReplyStrip()
{
    m_window.showDialogChecked = !m_window.showDialogChecked;
    m_settings.setValue(QStringLiteral("ShowReply"), SettingsStore::flagText(m_window.showDialogChecked));
    emit replyStripToggled(m_window.showDialogChecked);
}

void DiagCommands::mnuWakeUpNode_Click()
{
    m_ops.wakeAll();
}

void DiagCommands::mnuWakeUpAllNodes_Click()
{
    m_ops.wakeAll();
}

void DiagCommands::mnuAllNodesSleep_Click()
{
    m_ops.sleepAll();
}

void DiagCommands::mnuSetIDtoCurrentNode_Click()
{
    mnuDiagSub_Click(CommandTable::ChangeId);
}

void DiagCommands::mnuCopyright_Click()
{
    m_ops.askCopyright();
}
