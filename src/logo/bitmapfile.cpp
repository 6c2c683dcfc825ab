#include "bitmapfile.h"

#include <QIODevice>
#include <QtEndian>

namespace BitmapFile {

Result read(QIODevice &device)
{
    Result result;
    const QByteArray headers = device.read(HeadersSize);
    result.bytesRead = headers.size();
    if (headers.size() < HeadersSize) {
        result.problem = Problem::Truncated;
        return result;
    }
    const auto *raw = reinterpret_cast<const uchar *>(headers.constData());
    result.width = qFromLittleEndian<qint32>(raw + 18);
    result.height = qFromLittleEndian<qint32>(raw + 22);
    result.bitsPerPixel = qFromLittleEndian<quint16>(raw + 28);
    if (result.width != 256 || (result.height != 32 && result.height != 64) || result.bitsPerPixel != 1) {
        result.problem = Problem::NotLogo;
        return result;
    }
    // The rows always follow the two palette entries, whatever the offset
    // field says.
    const qint64 wanted = qint64(result.height) * 256 / 8;
    if (!device.isSequential() && device.pos() != PixelOffset)
        device.seek(PixelOffset);
    result.pixels = device.read(wanted);
    result.bytesRead += result.pixels.size();
    if (result.pixels.size() < wanted)
        result.problem = Problem::Truncated;
    return result;
}

} // namespace BitmapFile
