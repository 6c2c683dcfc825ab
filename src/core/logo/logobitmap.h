// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <array>

// One logo as the device and the bitmap file hold it: 64 rows of 32 bytes,
// row 0 the bottom line, bit 7 of a byte the leftmost pixel. A bit is the
// colour index as the file stored it.
struct LogoBitmap {
    static constexpr int Width = 256;
    static constexpr int Rows = 64;
    static constexpr int RowBytes = 32;
    static constexpr int Size = Rows * RowBytes;

    std::array<unsigned char, Size> bytes{};

    // x from the left, line from the top of a picture of the given height.
    bool pixel(int x, int line, int height = Rows) const
    {
        const int row = height - 1 - line;
        return (bytes[static_cast<size_t>(row * RowBytes + x / 8)] >> (7 - x % 8)) & 1;
    }
    QByteArray toByteArray() const { return QByteArray(reinterpret_cast<const char *>(bytes.data()), Size); }
    // Copies data into the logo from byte 0 on; bytes beyond it keep their value.
    void assign(const QByteArray &data)
    {
        const auto n = std::min<qsizetype>(data.size(), Size);
        for (qsizetype i = 0; i < n; ++i)
            bytes[static_cast<size_t>(i)] = static_cast<unsigned char>(data[i]);
    }
    bool operator==(const LogoBitmap &) const = default;
};

// The logos of slots 0 to 32.
inline constexpr int LogoSlots = 33;
using LogoStore = std::array<LogoBitmap, LogoSlots>;
