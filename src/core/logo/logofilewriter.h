// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logo/logobitmap.h"

#include <QByteArray>
#include <QString>

class LogoState;
class PanelState;
class Reporter;

// Writes the current slot's logo to disk: as a .QX1 logo file (2048 bytes in
// the device's field order) or as a 256 x 64 1-bit bitmap file (2110 bytes;
// 256 x 32 for a slot that holds a 32-line logo). Every logo byte is XOR the
// output mask: 0xFF with Negative off, 0x00 with it on. A file is replaced
// only once the new one is complete.
class LogoFileWriter
{
public:
    static constexpr int Qx1Size = 2048;
    static constexpr int BmpSize = 2110;

    LogoFileWriter(LogoState &logoState, PanelState &panelState, Reporter &reporter);

    // A 32-line logo is written as the device holds it: its 32 lines in
    // both fields, and a 32-line bitmap.
    static QByteArray qx1Bytes(const LogoBitmap &logo, bool negative, int height = LogoBitmap::Rows);
    static QByteArray bmpBytes(const LogoBitmap &logo, bool negative, int height = LogoBitmap::Rows);
    // The 62 bytes before the rows of a 256-wide, 1-bit bitmap file of the
    // given height with the two palette colours (0x00RRGGBB).
    static QByteArray bmpHeader(int height, quint32 colour0, quint32 colour1);

    // Writes the current slot; an empty name writes nothing. True on success.
    bool write(const QString &name, bool bmpMode);

    static QString qx1Filter();
    static QString bmpFilter();

private:
    LogoState &m_logoState;
    PanelState &m_panelState;
    Reporter &m_reporter;
};
