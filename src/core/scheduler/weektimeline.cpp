// SPDX-License-Identifier: GPL-3.0-or-later
#include "weektimeline.h"

#include "logo/logostate.h"

#include <algorithm>
#include <bitset>
#include <cstdlib>
#include <vector>

namespace {

constexpr int StepSeconds = 15;
constexpr int Steps = WeekTimeline::DaySeconds / StepSeconds;
using StepBits = std::bitset<Steps>;

// Every edge lies on the 15-second grid, so a set of intervals is exactly
// the steps it covers.
StepBits stepsOf(const WeekTimeline::Intervals &intervals)
{
    StepBits bits;
    for (const WeekTimeline::Interval &interval : intervals)
        for (int step = interval.from / StepSeconds; step < interval.to / StepSeconds; ++step)
            bits.set(static_cast<size_t>(step));
    return bits;
}

// The last of a sorted list's intervals that starts before `limit`, or -1.
qsizetype lastStartingBefore(const WeekTimeline::Intervals &intervals, int limit)
{
    const auto after
        = std::partition_point(intervals.begin(), intervals.end(),
                               [limit](const WeekTimeline::Interval &i) { return i.from < limit; });
    return (after - intervals.begin()) - 1;
}

} // namespace

// ---------------------------------------------------------------------------
// Geometry

WeekTimeline::Geometry::Geometry(const QRect &area, int labelWidth, int axisHeight)
    : m_plot(area.adjusted(std::max(labelWidth, 0), std::max(axisHeight, 0), 0, 0))
{
}

QRect WeekTimeline::Geometry::dayRow(int day) const
{
    if (day < 0 || day >= Days || m_plot.height() <= 0)
        return {};
    const int top = m_plot.top() + m_plot.height() * day / Days;
    const int bottom = m_plot.top() + m_plot.height() * (day + 1) / Days;
    return {m_plot.left(), top, m_plot.width(), bottom - top};
}

int WeekTimeline::Geometry::x(int seconds) const
{
    const long long t = std::clamp(seconds, 0, DaySeconds);
    return m_plot.left() + static_cast<int>(t * std::max(m_plot.width(), 0) / DaySeconds);
}

int WeekTimeline::Geometry::secondsAt(int x) const
{
    const int width = m_plot.width();
    if (width <= 0)
        return 0;
    const long long column = std::clamp(x - m_plot.left(), 0, width);
    return static_cast<int>((column * DaySeconds + width - 1) / width);
}

int WeekTimeline::Geometry::dayAt(int y) const
{
    if (y < m_plot.top() || y > m_plot.bottom())
        return -1;
    for (int day = 0; day < Days; ++day)
        if (y <= dayRow(day).bottom())
            return day;
    return -1;
}

QRect WeekTimeline::Geometry::span(const QRect &row, int from, int to) const
{
    // Widened to the right, or at the end of the day to the left.
    const int end = x(DaySeconds);
    const int right = std::min(std::max(x(to), x(from) + MinimumWidth), end);
    const int left = std::max(std::min(x(from), right - MinimumWidth), m_plot.left());
    return {left, row.top(), std::max(right - left, 1), std::max(row.height(), 1)};
}

QRect WeekTimeline::Geometry::rect(int day, int from, int to) const
{
    return span(dayRow(day), from, to);
}

QRect WeekTimeline::Geometry::laneRect(int day, int lane, int lanes, int from, int to) const
{
    // A pixel clear at the top of the row, the conflict strip and a pixel at
    // its foot; the lanes share the rest, each at least a pixel high.
    const QRect row = dayRow(day);
    const int top = row.top() + 1;
    const int height = std::max(row.height() - 2 - ConflictStrip, 1);
    lanes = std::max(lanes, 1);
    lane = std::clamp(lane, 0, lanes - 1);
    const int laneTop = top + height * lane / lanes;
    const int laneBottom = std::max(top + height * (lane + 1) / lanes, laneTop + 1);
    return span(QRect(row.left(), laneTop, row.width(), laneBottom - laneTop), from, to);
}

QRect WeekTimeline::Geometry::conflictRect(int day, int from, int to) const
{
    const QRect row = dayRow(day);
    const int strip = std::min(ConflictStrip, row.height());
    return span(QRect(row.left(), row.bottom() + 1 - strip, row.width(), strip), from, to);
}

// ---------------------------------------------------------------------------
// Building

WeekTimeline::WeekTimeline(const Schedule &schedule)
{
    std::array<StepBits, Schedule::Count> steps;
    for (int i = 0; i < Schedule::Count; ++i) {
        const auto n = static_cast<size_t>(i);
        const ScheduleSequence &s = schedule[i];
        m_logos[n] = s.Logo;
        m_intervals[n] = onIntervals(s);
        m_lane[n].fill(-1);
        for (int day = 0; day < Days; ++day) {
            const bool on = !m_intervals[n].isEmpty() && s.enabledOn(day);
            m_enabled[n][static_cast<size_t>(day)] = on;
            if (on)
                m_on[static_cast<size_t>(day)] << i;
        }
        steps[n] = stepsOf(m_intervals[n]);
    }

    for (int day = 0; day < Days; ++day) {
        const auto d = static_cast<size_t>(day);
        // The steps any sequence is on in, and those two or more are on in.
        StepBits any;
        StepBits many;
        std::vector<StepBits> lanes;
        for (int i : m_on[d]) {
            const StepBits &bits = steps[static_cast<size_t>(i)];
            many |= any & bits;
            any |= bits;
            size_t lane = 0;
            while (lane < lanes.size() && (lanes[lane] & bits).any())
                ++lane;
            if (lane == lanes.size())
                lanes.emplace_back();
            lanes[lane] |= bits;
            m_lane[static_cast<size_t>(i)][d] = static_cast<int>(lane);
        }
        m_laneCount[d] = static_cast<int>(lanes.size());
        if (many.none())
            continue;
        Intervals &found = m_conflicts[d];
        for (int step = 0; step < Steps; ++step) {
            if (!many.test(static_cast<size_t>(step)))
                continue;
            const int from = step * StepSeconds;
            if (!found.isEmpty() && found.last().to == from)
                found.last().to = from + StepSeconds;
            else
                found << Interval{from, from + StepSeconds};
        }
    }
}

WeekTimeline::Intervals WeekTimeline::onIntervals(const ScheduleSequence &s)
{
    // The runner skips a logo it has no button for.
    if (s.Logo < 1 || s.Logo > LogoState::MaxSlots || s.Start == -1)
        return {};
    // The runner's test: start <= t < end and (t - start) mod period < on,
    // where the remainder keeps the sign of t - start.
    const long long start = s.Start * 15LL;
    const long long end = std::min<long long>(s.End * 15LL, DaySeconds);
    const long long period = std::llabs(static_cast<long long>(s.RepeatSteps)) * 15;
    const long long on = s.OnSteps * 15LL;
    const long long first = std::max<long long>(start, 0);
    if (period == 0 || on <= 0 || first >= end)
        return {};
    if (on >= period)
        return {{static_cast<int>(first), static_cast<int>(end)}};

    Intervals found;
    long long begin = start;
    if (begin < 0)
        begin += (-begin) / period * period;
    for (; begin < end; begin += period) {
        const long long from = std::max(begin, first);
        const long long to = std::min(begin + on, end);
        if (from < to)
            found << Interval{static_cast<int>(from), static_cast<int>(to)};
    }
    return found;
}

QString WeekTimeline::timeText(int seconds)
{
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds % 3600 / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// ---------------------------------------------------------------------------
// Reading

const WeekTimeline::Intervals &WeekTimeline::intervals(int day, int sequence) const
{
    static const Intervals none;
    if (day < 0 || day >= Days || sequence < 0 || sequence >= Schedule::Count
        || !m_enabled[static_cast<size_t>(sequence)][static_cast<size_t>(day)])
        return none;
    return m_intervals[static_cast<size_t>(sequence)];
}

const WeekTimeline::Intervals &WeekTimeline::conflicts(int day) const
{
    static const Intervals none;
    return day < 0 || day >= Days ? none : m_conflicts[static_cast<size_t>(day)];
}

const QList<int> &WeekTimeline::sequencesOn(int day) const
{
    static const QList<int> none;
    return day < 0 || day >= Days ? none : m_on[static_cast<size_t>(day)];
}

int WeekTimeline::lane(int day, int sequence) const
{
    if (intervals(day, sequence).isEmpty())
        return -1;
    return m_lane[static_cast<size_t>(sequence)][static_cast<size_t>(day)];
}

int WeekTimeline::laneCount(int day) const
{
    return day < 0 || day >= Days ? 0 : m_laneCount[static_cast<size_t>(day)];
}

int WeekTimeline::logo(int sequence) const
{
    return sequence < 0 || sequence >= Schedule::Count ? 0 : m_logos[static_cast<size_t>(sequence)];
}

QList<QRect> WeekTimeline::barRects(const Geometry &geometry, int day, int sequence) const
{
    QList<QRect> rects;
    const int at = lane(day, sequence);
    if (at < 0)
        return rects;
    for (const Interval &interval : intervals(day, sequence)) {
        const QRect r = geometry.laneRect(day, at, laneCount(day), interval.from, interval.to);
        if (!rects.isEmpty() && r.left() <= rects.last().right() + 1)
            rects.last().setRight(std::max(rects.last().right(), r.right()));
        else
            rects << r;
    }
    return rects;
}

QList<QRect> WeekTimeline::conflictRects(const Geometry &geometry, int day) const
{
    QList<QRect> rects;
    for (const Interval &interval : conflicts(day)) {
        const QRect r = geometry.conflictRect(day, interval.from, interval.to);
        if (!rects.isEmpty() && r.left() <= rects.last().right() + 1)
            rects.last().setRight(std::max(rects.last().right(), r.right()));
        else
            rects << r;
    }
    return rects;
}

WeekTimeline::Hit WeekTimeline::hitTest(const Geometry &geometry, QPoint point) const
{
    Hit hit;
    const int day = geometry.dayAt(point.y());
    if (day < 0 || point.x() < geometry.plot().left() || point.x() > geometry.plot().right())
        return hit;
    // Everything drawn in this pixel column starts before the next column.
    const int limit = geometry.secondsAt(point.x() + 1);

    const Intervals &found = conflicts(day);
    const qsizetype c = lastStartingBefore(found, limit);
    if (c >= 0) {
        const Interval &conflict = found[c];
        const QRect r = geometry.conflictRect(day, conflict.from, conflict.to);
        if (point.x() >= r.left() && point.x() <= r.right())
            hit.conflict = conflict;
    }

    // Bars that share a pixel: the later sequence is drawn on top.
    const QList<int> &on = sequencesOn(day);
    for (qsizetype k = on.size() - 1; k >= 0; --k) {
        const int i = on[k];
        const Intervals &bars = intervals(day, i);
        const qsizetype b = lastStartingBefore(bars, limit);
        if (b < 0)
            continue;
        const QRect r = geometry.laneRect(day, lane(day, i), laneCount(day), bars[b].from, bars[b].to);
        if (r.contains(point)) {
            hit.sequence = i;
            hit.interval = bars[b];
            break;
        }
    }
    return hit;
}

QString WeekTimeline::toolTip(const Hit &hit) const
{
    const QChar dash(0x2013);
    QStringList lines;
    if (hit.sequence >= 0)
        lines << QStringLiteral("Sequence %1, logo %2: %3 %4 %5")
                     .arg(hit.sequence + 1)
                     .arg(logo(hit.sequence))
                     .arg(timeText(hit.interval.from), dash, timeText(hit.interval.to));
    if (hit.conflict.to > hit.conflict.from)
        lines << QStringLiteral("Conflict: %1 %2 %3")
                     .arg(timeText(hit.conflict.from), dash, timeText(hit.conflict.to));
    return lines.join(QLatin1Char('\n'));
}
