// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

class QIODevice;

// The 1-bit bitmap files that logos come in: a 14-byte file header, an
// information header of the size its own first field gives (40 bytes, or 108
// and 124 in the later versions that ImageMagick and several editors write),
// two palette entries, and right behind them the pixel rows, bottom row
// first, 32 bytes a row. With a 40-byte header the rows start at offset 62.
// The file's pixel-offset field is not used.
namespace BitmapFile {

inline constexpr int FileHeaderSize = 14;
inline constexpr int MinInfoSize = 40;  // the fields every version starts with
inline constexpr int MaxInfoSize = 124; // the latest version
inline constexpr int PaletteSize = 8;
// The headers and palette of a file with a 40-byte information header.
inline constexpr int HeadersSize = FileHeaderSize + MinInfoSize + PaletteSize;
inline constexpr int MaxHeadersSize = FileHeaderSize + MaxInfoSize + PaletteSize;

enum class Problem {
    None,
    Truncated, // the file ends inside its first 62 bytes
    // Not 256 wide, 32 or 64 high (bottom-up), 1 bit per pixel; or an
    // information header under 40 or over 124 bytes; or pixel rows that run
    // past the end of the file.
    NotLogo,
};

struct Result {
    Problem problem = Problem::None;
    int width = 0;
    int height = 0; // 32 or 64 when the file is a logo
    int bitsPerPixel = 0;
    QByteArray pixels;    // height x 32 bytes
    qint64 bytesRead = 0; // how much of the file was there
};

// Reads a logo bitmap from a device, from its current position on and
// without seeking, so a pipe does as well as a file. Reads no more than the
// headers and the rows a logo has, whatever the file's own fields claim.
Result read(QIODevice &device);

} // namespace BitmapFile
