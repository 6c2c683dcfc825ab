// SPDX-License-Identifier: GPL-3.0-or-later
#include "bitmapfile.h"

#include <QIODevice>
#include <QtEndian>

namespace BitmapFile {

Result read(QIODevice &device)
{
    Result result;
    // A file that ends where the headers of the plainest logo file would is
    // cut short; one that ends later, before its last row, is no logo.
    const auto endsEarly = [&result] {
        result.problem = result.bytesRead < HeadersSize ? Problem::Truncated : Problem::NotLogo;
        return result;
    };
    // The file header and the fields that every information header starts with.
    const QByteArray headers = device.read(FileHeaderSize + MinInfoSize);
    result.bytesRead = headers.size();
    if (headers.size() < FileHeaderSize + MinInfoSize)
        return endsEarly();
    const auto *raw = reinterpret_cast<const uchar *>(headers.constData());
    const auto infoSize = qFromLittleEndian<quint32>(raw + 14);
    result.width = qFromLittleEndian<qint32>(raw + 18);
    result.height = qFromLittleEndian<qint32>(raw + 22);
    result.bitsPerPixel = qFromLittleEndian<quint16>(raw + 28);
    if (infoSize < MinInfoSize || infoSize > MaxInfoSize || result.width != 256
        || (result.height != 32 && result.height != 64) || result.bitsPerPixel != 1) {
        result.problem = Problem::NotLogo;
        return result;
    }
    // The rest of a longer information header and the two palette entries;
    // the rows follow them, whatever the offset field says.
    const qint64 skipped = qint64(infoSize) - MinInfoSize + PaletteSize;
    result.bytesRead += device.read(skipped).size();
    if (result.bytesRead < FileHeaderSize + qint64(infoSize) + PaletteSize)
        return endsEarly();
    const qint64 wanted = qint64(result.height) * 256 / 8;
    result.pixels = device.read(wanted);
    result.bytesRead += result.pixels.size();
    if (result.pixels.size() < wanted)
        return endsEarly();
    return result;
}

} // namespace BitmapFile
