// SPDX-License-Identifier: GPL-3.0-or-later
// Reply framing: arbitrary bytes arrive in arbitrary pieces between quiet
// ticks on a connected link, with polls and commands going out meanwhile.
// Input: a run of records. A record byte with the top bit set is a quiet
// spell: its low 3 bits are ticks, times 40 when bit 5 is set (long enough
// for polls and the silence cycle); bit 6 also sends a command first.
// Otherwise its low 5 bits + 1 give the length of the piece that follows.
#include "corefixture.h"
#include "fuzzsupport.h"

#include "device_link/commandtable.h"
#include "device_link/devicelink.h"

using FuzzSupport::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    CoreFixture fixture;
    fixture.port.present = {1};
    QuillonCore &core = fixture.startConnected(1);
    size_t at = 0;
    while (at < size) {
        const uint8_t record = data[at++];
        if (record & 0x80) {
            if (record & 0x40)
                core.link.sendCommand(record % CommandTable::CommandCount);
            fixture.ticks((record & 0x07) * ((record & 0x20) ? 40 : 1));
            continue;
        }
        const size_t length = std::min<size_t>((record & 0x1F) + 1, size - at);
        fixture.port.receive(FuzzSupport::bytes(data + at, length));
        at += length;
    }
    fixture.ticks(200);
    // However the bytes came, the link never holds more than one read's worth.
    require(fixture.port.bytesWaiting() <= DeviceLink::MaxRead);
    return 0;
}
