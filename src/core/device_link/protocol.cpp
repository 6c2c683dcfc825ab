// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol.h"

#include <algorithm>
#include <cfenv>
#include <cmath>

namespace Protocol {

int roundHalfEven(double value)
{
    if (!std::isfinite(value))
        return 0;
    const double clamped = std::clamp(value, -2147483648.0, 2147483647.0);
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(clamped);
    std::fesetround(previous);
    return static_cast<int>(rounded);
}

double leadingNumber(const QString &text)
{
    const QString t = text.trimmed();
    qsizetype end = 0;
    if (end < t.size() && (t[end] == QLatin1Char('-') || t[end] == QLatin1Char('+')))
        ++end;
    bool digits = false;
    while (end < t.size() && t[end].isDigit() && t[end].unicode() < 128) {
        ++end;
        digits = true;
    }
    if (end < t.size() && t[end] == QLatin1Char('.')) {
        ++end;
        while (end < t.size() && t[end].isDigit() && t[end].unicode() < 128) {
            ++end;
            digits = true;
        }
    }
    if (!digits)
        return 0.0;
    bool ok = false;
    const double value = t.left(end).toDouble(&ok);
    return ok ? value : 0.0;
}

QByteArray hex2(int value)
{
    return QByteArray::number(std::clamp(value, 0, 255), 16).toUpper().rightJustified(2, '0');
}

QByteArray dec2(int value)
{
    return QByteArray::number(value).rightJustified(2, '0');
}

QByteArray byte(int code)
{
    return QByteArray(1, static_cast<char>(static_cast<unsigned char>(code & 0xFF)));
}

QByteArray alignReply(const QByteArray &reply)
{
    if (reply.startsWith('S') || reply.startsWith('s'))
        return reply;
    qsizetype at = reply.indexOf('S');
    if (at < 0)
        at = reply.indexOf('s');
    if (at > 0 && reply.size() - at > 10)
        return reply.mid(at);
    return reply;
}

std::optional<SettingsReply> parseSettingsReply(const QByteArray &reply, bool pal)
{
    if (reply.size() < 10 || (reply[0] != 'S' && reply[0] != 's'))
        return std::nullopt;
    const auto at = [&reply](qsizetype i) { return static_cast<int>(static_cast<unsigned char>(reply[i])); };
    SettingsReply r;
    r.multiLogo = reply[0] == 's';
    r.mixSlider = 99 - std::clamp(at(1), 0, 99);
    r.fadeSlider = 100 - std::clamp(at(2), 0, 99);
    r.intensitySlider = std::clamp(at(3), 0, 99);
    r.rawH = at(4);
    r.rawV = at(5);
    if (r.rawH >= 34 && r.rawH < 155)
        r.hPercent = roundHalfEven((r.rawH - 34) * 100.0 / 120.0);
    if (r.rawV >= 4 && r.rawV < 57)
        r.vPercent = roundHalfEven((r.rawV - 4) / (pal ? 64.0 : 51.0) * 100.0);
    r.takeOn = (at(6) & 1) != 0;
    r.onTime = std::max(at(9), 1);
    if (reply.size() > 10)
        r.interval = std::max(at(10), 1);
    if (r.multiLogo && reply.size() >= 12)
        r.slot = static_cast<int>(leadingNumber(QString::fromLatin1(reply.mid(11, 2))));
    return r;
}

QString diagnosticText(const QByteArray &reply)
{
    QString text = QStringLiteral("QX Reply: ");
    for (qsizetype i = 0; i < reply.size(); ++i) {
        if (i > 0)
            text += QLatin1Char(',');
        text += QString::fromLatin1(hex2(static_cast<unsigned char>(reply[i])));
    }
    return text;
}

std::optional<CopyrightReply> parseCopyright(const QByteArray &reply)
{
    const qsizetype p = reply.indexOf("(C)");
    if (p < 0)
        return std::nullopt;
    qsizetype e = reply.indexOf("\r\n");
    if (e < 0)
        e = reply.size();
    if (p >= e)
        return std::nullopt;
    CopyrightReply result;
    result.line = QString::fromLatin1(reply.mid(p, e - p));
    const qsizetype q = reply.indexOf("QX");
    if (q >= 0 && q < e - 4) {
        const int n = static_cast<int>(leadingNumber(QString::fromLatin1(reply.mid(q + 2, 2))));
        result.model = n;
    }
    return result;
}

bool isModelNumber(int model)
{
    return model == 1 || model == 3 || model == 4 || model == 7 || model == 15 || model == 31;
}

} // namespace Protocol
