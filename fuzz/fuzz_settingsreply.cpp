// SPDX-License-Identifier: GPL-3.0-or-later
// The settings reply and the copyright reply, as the link parses them.
#include "device_link/protocol.h"
#include "fuzzsupport.h"

using FuzzSupport::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray reply = FuzzSupport::bytes(data, size);
    const QByteArray aligned = Protocol::alignReply(reply);
    require(aligned.size() <= reply.size());
    for (const bool pal : {false, true}) {
        const auto parsed = Protocol::parseSettingsReply(aligned, pal);
        if (!parsed)
            continue;
        // Whatever the bytes, the values land inside the panel's ranges.
        require(parsed->mixSlider >= 0 && parsed->mixSlider <= 99);
        require(parsed->fadeSlider >= 1 && parsed->fadeSlider <= 100);
        require(parsed->intensitySlider >= 0 && parsed->intensitySlider <= 99);
        require(!parsed->hPercent || (*parsed->hPercent >= 0 && *parsed->hPercent <= 100));
        // NTSC's last raw line (56) reads as 102 %.
        require(!parsed->vPercent || (*parsed->vPercent >= 0 && *parsed->vPercent <= 102));
        require(parsed->onTime >= 1 && (!parsed->interval || *parsed->interval >= 1));
    }
    if (const auto copyright = Protocol::parseCopyright(reply)) {
        require(copyright->line.startsWith(QStringLiteral("(C)")));
        require(!copyright->model || (*copyright->model >= -9 && *copyright->model <= 99));
    }
    require(Protocol::diagnosticText(reply).size() == (reply.isEmpty() ? 10 : 10 + 3 * reply.size() - 1));
    return 0;
}
