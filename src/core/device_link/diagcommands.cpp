// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagcommands.h"

#include "session/mainstate.h"
#include "settings/settingsstore.h"
#include "device_link/commandtable.h"
#include "device_link/devicelink.h"
#include "device_link/protocol.h"
#include "logo/logodownload.h"
#include "logo/logoupload.h"
#include "reporting/reporter.h"

#include <algorithm>

namespace {

constexpr int MinTime = 15;   // seconds
constexpr int MaxTime = 3825; // 255 steps of 15 s

// A time of the on/off cycle in seconds as the device's byte, 1 to 255.
int timeByte(int seconds)
{
    const int t = std::clamp(seconds, MinTime, MaxTime);
    return Protocol::roundHalfEven((t - MinTime) * 255.0 / MaxTime + 1);
}

// A position in percent, 0 to 99, as the device's raw value: its span and
// offset depend on the video standard.
QByteArray positionArg(int percent, int span, int offset)
{
    return Protocol::hex2(Protocol::roundHalfEven(std::clamp(percent, 0, 99) / 99.0 * span + offset));
}

int modelOrDefault(int model)
{
    constexpr int models[] = {1, 4, 7, 15, 31};
    return std::find(std::begin(models), std::end(models), model) != std::end(models) ? model : 4;
}

} // namespace

DiagCommands::DiagCommands(MainState &state, Reporter &reporter, SettingsStore &settings, DeviceLink &link,
                           LogoDownload &download, QObject *parent)
    : QObject(parent)
    , m_state(state)
    , m_reporter(reporter)
    , m_settings(settings)
    , m_link(link)
    , m_download(download)
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
        return m_state.factoryResetVisible ? QStringLiteral("Enter Node to Wake-up (1-255) 0=All.")
                                           : QString();
    case SelectLogo:
        return QStringLiteral("Enter a Logo number (1-") + QString::number(m_state.modelNumber)
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
    const bool pal = m_state.panel.standard == 1;
    QByteArray arg;
    switch (index) {
    case FadeRate:
    case MixLevel:
        arg = Protocol::byte(99 - std::clamp(v, 0, 99));
        break;
    case IreLevel:
        arg = Protocol::byte(std::clamp(v, 0, 99));
        break;
    case HorizPosn:
        arg = pal ? positionArg(v, 164, 42) : positionArg(v, 120, 34);
        break;
    case VertPosn:
        arg = positionArg(v, pal ? 64 : 51, 4);
        break;
    case SendLogo:
        m_reporter.setUploadStatus(QString());
        m_download.PicToQX();
        return;
    case ChangeId:
        arg = Protocol::hex2(std::clamp(v, 0, 255));
        break;
    case SetTimeOn:
    case SetTimeOff:
        arg = Protocol::byte(timeByte(v));
        break;
    case Wakeup:
        // Asked for one node: all to sleep first, then wake the one named.
        if (m_state.factoryResetVisible) {
            m_link.CmdTree(Sleep);
            arg = Protocol::hex2(std::clamp(v, 0, 255));
        } else {
            arg = QByteArrayLiteral("00");
        }
        break;
    case SelectLogo:
        arg = Protocol::dec2(std::max(1, std::min(v, m_state.modelNumber)));
        break;
    case RetrieveLogo:
    case FactoryReset:
        // Whatever comes back is taken as a logo stream.
        m_link.armUpload(LogoUpload::WaitTicks);
        m_reporter.setUploadStatus(QStringLiteral("Waiting for Reply"));
        break;
    case SetModel:
        arg = Protocol::dec2(modelOrDefault(v));
        break;
    case RetrieveCopyright:
        m_reporter.setCopyright(QString());
        break;
    case ShowDialog:
        toggleReplyStrip();
        break;
    default:
        break;
    }
    m_link.CmdTree(index, arg);
}

void DiagCommands::toggleReplyStrip()
{
    m_state.showDialogChecked = !m_state.showDialogChecked;
    m_settings.setValue(QStringLiteral("ShowReply"), SettingsStore::flagText(m_state.showDialogChecked));
    emit replyStripToggled(m_state.showDialogChecked);
    m_state.notify();
}

void DiagCommands::mnuWakeUpNode_Click()
{
    m_link.CmdTree(CommandTable::Wakeup);
}

void DiagCommands::mnuWakeUpAllNodes_Click()
{
    QByteArray all = QByteArrayLiteral("00");
    m_link.CmdTree(CommandTable::Wakeup, all);
}

void DiagCommands::mnuAllNodesSleep_Click()
{
    m_link.CmdTree(CommandTable::Sleep);
}

void DiagCommands::mnuSetIDtoCurrentNode_Click()
{
    mnuDiagSub_Click(CommandTable::ChangeId);
}

void DiagCommands::mnuCopyright_Click()
{
    m_link.CmdTree(CommandTable::RetrieveCopyright);
    m_link.setCopyrightWait(200);
}
