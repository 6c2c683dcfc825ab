// SPDX-License-Identifier: GPL-3.0-or-later
#include "nextswitch.h"

#include "logo/logostate.h"

#include <bit>
#include <vector>

namespace {

constexpr int Step = 15;
constexpr int DaySeconds = 86400;

// As the runner decides it at a whole second: the sequence runs that day,
// calls for a logo the window has, and is within an on period.
bool onAir(const ScheduleSequence &s, int day, int seconds)
{
    return s.enabledOn(day) && s.Logo >= 1 && s.Logo <= LogoState::MaxSlots && s.onAt(seconds);
}

} // namespace

std::optional<NextSwitch> NextSwitch::find(const Schedule &schedule, const QDateTime &now)
{
    std::vector<int> active;
    for (int i = 0; i < Schedule::Count; ++i) {
        const ScheduleSequence &s = schedule[i];
        if (s.daysMask() != 0 && s.enabledOn(std::countr_zero(static_cast<unsigned>(s.daysMask())))
            && s.Logo >= 1 && s.Logo <= LogoState::MaxSlots)
            active.push_back(i);
    }
    if (active.empty())
        return std::nullopt;
    const QDate today = now.date();
    const int day = today.dayOfWeek() % 7; // 0 Sunday
    const int second = now.time().msecsSinceStartOfDay() / 1000;

    // Every switch falls on a whole step of the day: start, start plus whole
    // periods, the end of an on time, the end, or midnight.
    const int first = second / Step + 1;
    const int last = first + 7 * (DaySeconds / Step) + 1;
    for (int k = first; k <= last; ++k) {
        const int offset = k / (DaySeconds / Step);
        const int at = (k % (DaySeconds / Step)) * Step;
        const int d = (day + offset) % 7;
        const int before = at == 0 ? DaySeconds - Step : at - Step;
        const int dayBefore = at == 0 ? (d + 6) % 7 : d;
        for (const int i : active) {
            const ScheduleSequence &s = schedule[i];
            const bool was = onAir(s, dayBefore, before);
            const bool is = onAir(s, d, at);
            if (was == is)
                continue;
            NextSwitch next;
            next.sequence = i + 1;
            next.on = is;
            next.logo = s.Logo;
            next.at = QDateTime(today.addDays(offset), QTime(0, 0).addSecs(at));
            return next;
        }
    }
    return std::nullopt;
}

QString NextSwitch::text(const QDateTime &now) const
{
    const qint64 left = std::max<qint64>(0, now.secsTo(at));
    return QStringLiteral("TAKE %1 logo %2 (sequence %3) in %4:%5:%6")
        .arg(on ? QStringLiteral("ON") : QStringLiteral("OFF"))
        .arg(logo)
        .arg(sequence)
        .arg(left / 3600)
        .arg((left / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(left % 60, 2, 10, QLatin1Char('0'));
}
