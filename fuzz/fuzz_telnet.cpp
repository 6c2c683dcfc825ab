// SPDX-License-Identifier: GPL-3.0-or-later
// The telnet codec of network ports at both ends: arbitrary bytes from the
// other end, whole and in pieces. Input: one byte that sets the piece
// lengths, then the bytes.
#include "fuzzsupport.h"

#include "device_link/telnetcodec.h"

using FuzzSupport::require;

namespace {

struct Run {
    QByteArray data, reply;
    QStringList warnings;
    bool pending;
    TelnetCodec::LineSettings requested;
    bool operator==(const Run &) const = default;
};

Run run(TelnetCodec::Role role, const QByteArray &stream, int key, bool whole)
{
    TelnetCodec codec(role);
    Run out;
    out.reply = codec.start();
    for (qsizetype at = 0, piece = 0; at < stream.size(); at += piece) {
        piece = whole ? stream.size() : 1 + (key * (at + 1)) % 17;
        out.data += codec.decode(stream.mid(at, piece));
        out.reply += codec.takeReply();
    }
    out.warnings = codec.takeWarnings();
    out.pending = codec.settingsPending();
    out.requested = codec.requested();
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const int key = data[0];
    const QByteArray stream = FuzzSupport::bytes(data + 1, size - 1);
    // What the other end sent as data arrives as it was, once BINARY is on.
    const char binary[] = {char(TelnetCodec::Iac), char(TelnetCodec::Will), char(TelnetCodec::Binary)};
    require(TelnetCodec(TelnetCodec::Role::Client).decode(QByteArray(binary, 3) + TelnetCodec::encode(stream))
            == stream);
    for (const auto role : {TelnetCodec::Role::Client, TelnetCodec::Role::Server}) {
        const Run whole = run(role, stream, key, true);
        require(run(role, stream, key, false) == whole);
        require(whole.data.size() <= stream.size());
        // Answers stay in proportion: no loop, no growth without input.
        require(whole.reply.size() <= 64 + 12 * stream.size());
        require(whole.warnings.size() <= 5); // each problem once
    }
    return 0;
}
