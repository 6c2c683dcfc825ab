// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class DeviceState;
class LogoState;
class Reporter;

// "&PaintBrush": opens the checked slot's bitmap file in an image editor: the
// program named by $QUILLON_PAINT, else kolourpaint, pinta, gimp, else
// xdg-open. Exactly one editor is started: the first that starts.
class PaintLauncher
{
public:
    using Starter = std::function<bool(const QString &program, const QStringList &arguments)>;

    PaintLauncher(DeviceState &deviceState, LogoState &logoState, Reporter &reporter);

    // Tests watch the starts instead of opening editors.
    void setStarter(Starter starter) { m_starter = std::move(starter); }

    static QStringList candidates();
    // The program that was started, empty when none could be.
    QString editInPaint();

private:
    DeviceState &m_deviceState;
    LogoState &m_logoState;
    Reporter &m_reporter;
    Starter m_starter;
};
