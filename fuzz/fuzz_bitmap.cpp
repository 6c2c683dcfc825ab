// SPDX-License-Identifier: GPL-3.0-or-later
// The bitmap reader behind "Open Logo File": any bytes, from a file that can
// seek and from a stream that cannot.
#include "fuzzsupport.h"

#include "logo/bitmapfile.h"

#include <QBuffer>

#include <algorithm>
#include <cstring>
#include <utility>

using FuzzSupport::require;

namespace {

// A device that cannot seek, like a pipe.
class Pipe : public QIODevice
{
public:
    explicit Pipe(QByteArray bytes)
        : m_bytes(std::move(bytes))
    {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 n = std::min<qint64>(maxSize, m_bytes.size() - m_at);
        if (n > 0)
            std::memcpy(data, m_bytes.constData() + m_at, static_cast<size_t>(n));
        m_at += std::max<qint64>(n, 0);
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_bytes;
    qint64 m_at = 0;
};

void check(const BitmapFile::Result &result, qint64 size)
{
    require(result.bytesRead <= size && result.bytesRead <= BitmapFile::MaxHeadersSize + 2048);
    require(result.pixels.size() <= 2048);
    if (result.problem == BitmapFile::Problem::None) {
        require(result.width == 256 && (result.height == 32 || result.height == 64));
        require(result.pixels.size() == result.height * 32);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes = FuzzSupport::bytes(data, size);
    QBuffer file(&bytes);
    file.open(QIODevice::ReadOnly);
    const BitmapFile::Result fromFile = BitmapFile::read(file);
    check(fromFile, bytes.size());

    Pipe pipe(bytes);
    const BitmapFile::Result fromPipe = BitmapFile::read(pipe);
    check(fromPipe, bytes.size());
    // The rows follow the palette either way, so both readings agree.
    require(fromFile.problem == fromPipe.problem && fromFile.pixels == fromPipe.pixels);
    return 0;
}
