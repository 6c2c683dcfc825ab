// SPDX-License-Identifier: GPL-3.0-or-later
#include "panelvalues.h"

#include "device_link/protocol.h"

#include <algorithm>
#include <charconv>

namespace PanelValues {

QString fadeLabel(int slider)
{
    const float seconds = (static_cast<float>(100 - slider) * 4.995f + 5.5f) / 100.0f;
    char buffer[32] = {};
    const auto result = std::to_chars(buffer, buffer + sizeof buffer - 1, seconds);
    QString text = QString::fromLatin1(buffer, result.ptr - buffer).trimmed();
    if (text.startsWith(QLatin1String("0.")))
        text.remove(0, 1);
    else if (text.startsWith(QLatin1String("-0.")))
        text.remove(1, 1);
    if (seconds < 1.0f)
        text.prepend(QLatin1Char(' '));
    return text.left(4);
}

QString timeText(int steps)
{
    return QStringLiteral("%1:%2:%3")
        .arg(steps / 240)
        .arg((steps / 4) % 60, 2, 10, QLatin1Char('0'))
        .arg((steps % 4) * 15, 2, 10, QLatin1Char('0'));
}

int hposDeviceValue(int percent, bool pal)
{
    return pal ? percent * 164 / 100 + 42 : percent * 120 / 100 + 34;
}

int vposDeviceValue(int percent, bool pal)
{
    return pal ? Protocol::roundHalfEven(percent * 62 / 100.0 + 6)
               : Protocol::roundHalfEven(percent * 51 / 100.0 + 4);
}

int previewLeft(double percent)
{
    return std::clamp(Protocol::roundHalfEven(percent / 100.0 * 4020.0 + 60.0), 60, 4080);
}

int previewTop(double percent)
{
    return std::clamp(Protocol::roundHalfEven(percent / 100.0 * 2880.0 + 240.0), 240, 3120);
}

} // namespace PanelValues
