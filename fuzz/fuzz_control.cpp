// SPDX-License-Identifier: GPL-3.0-or-later
// The control endpoint's request reader and dispatcher, fed whatever a
// client may send, in pieces, on a line that is up. Input: the bytes a
// client sends; a 0x01 byte runs the link's clock for a while instead.
#include "corefixture.h"
#include "fuzzsupport.h"

#include "control/controlprotocol.h"
#include "control/controlserver.h"
#include "device_link/commandtable.h"

#include <QIODevice>
#include <QJsonDocument>
#include <QJsonObject>

using FuzzSupport::require;

namespace {

// The client's end and the server's end of an in-memory connection.
class Pipe final : public QIODevice
{
public:
    Pipe() { open(QIODevice::ReadWrite); }
    void feed(const QByteArray &bytes)
    {
        m_in += bytes;
        emit readyRead();
    }
    QByteArray written;

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 n = std::min<qint64>(maxSize, m_in.size());
        std::copy_n(m_in.constData(), n, data);
        m_in.remove(0, n);
        return n;
    }
    qint64 writeData(const char *data, qint64 size) override
    {
        written.append(data, size);
        return size;
    }
    qint64 bytesAvailable() const override { return m_in.size() + QIODevice::bytesAvailable(); }
    bool isSequential() const override { return true; }

private:
    QByteArray m_in;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    CoreFixture fixture;
    QuillonCore &core = fixture.startConnected(1);
    fixture.port.writes.clear();
    ControlServer server(core, {QStringLiteral("quillon"), [] { return QStringLiteral("COM1"); }, {}});
    auto *pipe = new Pipe;
    server.serve(pipe);

    const QByteArray input = FuzzSupport::bytes(data, size);
    int requests = 0;
    for (const QByteArray &piece : input.split('\x01')) {
        requests += static_cast<int>(piece.count('\n'));
        pipe->feed(piece);
        fixture.ticks(40);
        QCoreApplication::processEvents();
    }
    // Every answer is one JSON object on its own line, and no request gets
    // more than one; events come only to a subscriber.
    int answers = 0;
    if (server.clientCount() == 1 || !pipe->written.isEmpty()) {
        const QByteArray written = pipe->written;
        for (const QByteArray &line : written.split('\n')) {
            if (line.isEmpty())
                continue;
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            require(!o.isEmpty());
            if (!o.contains(QStringLiteral("event")))
                ++answers;
        }
    }
    require(answers <= requests + 1); // +1: an overlong line's refusal
    // What reaches the line is commands of the table, whole.
    for (const QByteArray &write : std::as_const(fixture.port.writes))
        require(write.isEmpty() || CommandTable::matchPrefix(write) || write.size() == 32);
    return 0;
}
