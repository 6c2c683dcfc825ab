// SPDX-License-Identifier: GPL-3.0-or-later
// The schedule runner while any field of any sequence changes between any
// ticks (as the editor or a reloaded settings file change it), the clock
// stepping as it likes. Input: records. A byte with the top bit set is its
// low 6 bits + 1 ticks, after as many hours' clock step if bit 6 is set; else
// three bytes: sequence (this byte mod 20), field (mod 6) and a value.
#include "corefixture.h"
#include "fuzzsupport.h"
#include "schedulemaker.h"

#include "scheduler/schedulerunner.h"

using FuzzSupport::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    CoreFixture fixture;
    fixture.setSetting(QStringLiteral("QX_Model"), QStringLiteral("31"));
    QuillonCore &core = fixture.startConnected(1);
    core.scheduleState.on = true;
    fixture.clock.time = QDateTime(QDate(2026, 12, 7), QTime(7, 59, 0, 505));
    const auto tick = [&] {
        core.runner.tick();
        fixture.clock.time = fixture.clock.time.addMSecs(core.runner.msUntilNextTick());
    };
    size_t at = 0;
    while (at < size) {
        const uint8_t record = data[at++];
        if (record & 0x80) {
            const int count = (record & 0x3F) + 1;
            if (record & 0x40)
                fixture.clock.time = fixture.clock.time.addSecs(count * 3600LL);
            for (int i = 0; i < count; ++i)
                tick();
            continue;
        }
        if (size - at < 2)
            break;
        ScheduleSequence &s = core.scheduleState.schedule[record % Schedule::Count];
        const int field = data[at] % 6, value = data[at + 1];
        at += 2;
        // Start, T-ON, Repeat, End, logo (the editor's 0 to 31, and worse), days.
        int *const fields[] = {&s.Start, &s.OnSteps, &s.RepeatSteps, &s.End, &s.Logo};
        const int values[] = {value * 23 - 1, value - 1, value - 1, value * 23, value % 40 - 4};
        if (field < 5)
            *fields[field] = values[field];
        else
            s.Days = makeSequence(0, 0, 0, 0, 0, value).Days;
    }
    // Every sequence ends: whatever the schedule became, each TAKE ON the
    // runner sent is followed by its TAKE OFF.
    for (ScheduleSequence &s : core.scheduleState.schedule.sequences)
        s.Days = {};
    tick();
    tick();
    const QList<QByteArray> &sent = fixture.port.writes;
    require(sent.count("AT1") == sent.count("AT0"));
    for (const ScheduleSequence &s : core.scheduleState.schedule.sequences)
        require(!s.Running);
    return 0;
}
