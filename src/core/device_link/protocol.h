// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Pure helpers for the bytes on the wire: number texts, the settings reply and
// the copyright reply. No state, no port.
namespace Protocol {

// Nearest whole number, halves to the even neighbour.
int roundHalfEven(double value);

// The number a text begins with (after leading blanks), 0 when it begins with
// none: "12abc" gives 12, "abc" gives 0, " -3.5" gives -3.5.
double leadingNumber(const QString &text);

// Two upper-case hexadecimal digits, zero-padded ("0A"); values are clamped
// to 0..255.
QByteArray hex2(int value);
// Two decimal digits, zero-padded ("05").
QByteArray dec2(int value);
// One byte of the given code.
QByteArray byte(int code);

// The settings reply ("ARS"): the letter S (one-logo device) or s (multi-logo),
// then mix, fade, intensity, horizontal and vertical position, the status byte,
// two unused bytes, on time, interval, and for "s" the slot as two digits.
struct SettingsReply {
    bool multiLogo = false; // first letter s
    int mixSlider = 0;      // 99 - mix, mix clamped to 0..99
    int fadeSlider = 0;     // 100 - fade
    int intensitySlider = 0;
    int rawH = 0;
    int rawV = 0;
    std::optional<int> hPercent; // only for 34 <= h < 155
    std::optional<int> vPercent; // only for 4 <= v < 57
    bool takeOn = false;
    int onTime = 1;              // 0 is read as 1
    std::optional<int> interval; // missing in a 10-byte reply
    std::optional<int> slot;     // "s" replies of 12 bytes or more: the leading number of bytes 11-12
};

// The reply the parser works on: a reply that does not begin with S or s is
// taken from its first S (or else first s) on when that rest is longer than 10
// characters; otherwise it stays as it is.
QByteArray alignReply(const QByteArray &reply);

// Parses an aligned reply beginning with S or s and at least 10 bytes long.
std::optional<SettingsReply> parseSettingsReply(const QByteArray &reply, bool pal);

// "QX Reply: " and every byte as two hexadecimal digits, separated by commas.
QString diagnosticText(const QByteArray &reply);

struct CopyrightReply {
    QString line;             // from "(C)" up to the first CR LF
    std::optional<int> model; // the two digits after the first "QX", when placed as expected
};

// Parses a reply that contains "(C)"; nothing when the line is empty.
std::optional<CopyrightReply> parseCopyright(const QByteArray &reply);

bool isModelNumber(int model);

} // namespace Protocol
