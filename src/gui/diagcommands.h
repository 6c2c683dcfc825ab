// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

#include <optional>

class DeviceOperations;
class DeviceState;
struct WindowState;
class Reporter;
class SettingsStore;

// Asks the user for one value. The window asks in "Additional Data Needed";
// tests answer in its place.
class Prompter
{
public:
    virtual ~Prompter() = default;
    // The text confirmed with Enter; nothing when the window was closed
    // without Enter.
    virtual std::optional<QString> ask(const QString &prompt) = 0;
};

// The Diag menu, which sends every command by hand and asks for a value where
// the command needs one, and the Node menu, which wakes nodes, puts them to
// sleep and renumbers them. A value left empty, or a question closed without
// Enter, ends the action with nothing sent.
class DiagCommands : public QObject
{
    Q_OBJECT

public:
    static constexpr int EntryCount = 24; // Diag entries 0..23, by command number

    DiagCommands(const DeviceState &deviceState, WindowState &window, Reporter &reporter,
                 SettingsStore &settings, DeviceOperations &operations, QObject *parent = nullptr);

    // Not owned; without one, the entries that need a value report and stop.
    void setPrompter(Prompter *prompter) { m_prompter = prompter; }

    void mnuDiagSub_Click(int index);

    void mnuWakeUpNode_Click();
    void mnuWakeUpAllNodes_Click();
    void mnuAllNodesSleep_Click();
    void mnuSetIDtoCurrentNode_Click();
    void mnuCopyright_Click();

signals:
    // "Show Dialog" turned the reply strip on or off; the window fits its
    // height to it.
    void replyStripToggled(bool shown);

private:
    // The question an entry asks, or empty for one that asks nothing.
    QString prompt(int index) const;
    // The answer's leading number, rounded; nothing for an empty answer or a
    // closed window.
    std::optional<int> askNumber(const QString &prompt);
    void toggleReplyStrip();

    const DeviceState &m_deviceState;
    WindowState &m_window;
    Reporter &m_reporter;
    SettingsStore &m_settings;
    DeviceOperations &m_ops;
    Prompter *m_prompter = nullptr;
};
