#pragma once

#include <QByteArray>
#include <QString>

class QIODevice;

// The 1-bit bitmap files that logos come in: a 14-byte file header, a 40-byte
// information header, two palette entries, and the pixel rows from offset 62,
// bottom row first, 32 bytes a row.
namespace BitmapFile {

inline constexpr int HeadersSize = 62;
inline constexpr int PixelOffset = 62;

enum class Problem {
    None,
    Truncated, // the file ends inside its headers or its pixel rows
    NotLogo,   // not 256 wide, 32 or 64 high (bottom-up), 1 bit per pixel
};

struct Result {
    Problem problem = Problem::None;
    int width = 0;
    int height = 0; // 32 or 64 when the file is a logo
    int bitsPerPixel = 0;
    QByteArray pixels;    // height x 32 bytes
    qint64 bytesRead = 0; // how much of the file was there
};

// Reads a logo bitmap from a device. Reads no more than the headers and the
// rows a logo has, whatever the file's own fields claim.
Result read(QIODevice &device);

} // namespace BitmapFile
