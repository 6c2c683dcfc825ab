// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "scheduler/schedule.h"

#include <QDateTime>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>

#include <array>

// The week as the runner will carry it out: for each day (0 Sunday to 6
// Saturday) the stretches each sequence is on and where two or more are on
// together. Times are seconds since midnight, each stretch from <= t < to.
// Built from the sequences' values alone, so it is cheap enough to build again
// on every slider move.
class WeekTimeline
{
public:
    static constexpr int Days = 7;
    static constexpr int DaySeconds = 86400;

    struct Interval {
        int from = 0;
        int to = 0;
        bool operator==(const Interval &) const = default;
    };
    using Intervals = QList<Interval>;

    // Where the picture's parts lie: a column of day names on the left, the
    // hour axis along the top, then a row a day. Each row is split into the
    // day's lanes, with a strip for the conflicts along its foot.
    class Geometry
    {
    public:
        static constexpr int ConflictStrip = 3;
        static constexpr int MinimumWidth = 2; // even a 15-second stretch shows

        Geometry() = default;
        Geometry(const QRect &area, int labelWidth, int axisHeight);

        // The seven rows together, under the axis and right of the names.
        QRect plot() const { return m_plot; }
        QRect dayRow(int day) const;
        // The pixel column second `seconds` is drawn in, and back: the first
        // second drawn in column x.
        int x(int seconds) const;
        int secondsAt(int x) const;
        // The row under y, or -1.
        int dayAt(int y) const;
        // A stretch of a day's row across its full height, at least
        // MinimumWidth wide; in one of `lanes` lanes; in the conflict strip.
        QRect rect(int day, int from, int to) const;
        QRect laneRect(int day, int lane, int lanes, int from, int to) const;
        QRect conflictRect(int day, int from, int to) const;

    private:
        QRect span(const QRect &row, int from, int to) const;

        QRect m_plot;
    };

    // The bar under a point, and the conflicting stretch at that time of day.
    struct Hit {
        int sequence = -1; // none
        Interval interval;
        Interval conflict; // empty: none
    };

    WeekTimeline() = default;
    explicit WeekTimeline(const Schedule &schedule);

    // When a sequence is on during a day it takes part in, as the runner
    // decides it, in order, touching stretches joined. Empty for a sequence
    // the runner never switches on.
    static Intervals onIntervals(const ScheduleSequence &s);
    // 0 Sunday to 6 Saturday, as the runner counts.
    static int dayOf(const QDate &date) { return date.dayOfWeek() % 7; }
    // "8:05:00", up to "24:00:00".
    static QString timeText(int seconds);

    // Empty for a day or sequence out of range.
    const Intervals &intervals(int day, int sequence) const;
    const Intervals &conflicts(int day) const;
    // The sequences with bars on a day, in order.
    const QList<int> &sequencesOn(int day) const;
    // Sequences that are never on together share a lane; each of the others
    // takes the first lane free all the times it is on. -1 for no bars.
    int lane(int day, int sequence) const;
    int laneCount(int day) const;
    int logo(int sequence) const;

    // The pixel rectangles of a sequence's bars on a day, bars that share a
    // pixel column drawn as one.
    QList<QRect> barRects(const Geometry &geometry, int day, int sequence) const;
    QList<QRect> conflictRects(const Geometry &geometry, int day) const;
    Hit hitTest(const Geometry &geometry, QPoint point) const;
    // "Sequence 3, logo 2: 8:00:00 – 8:01:00", a line for a conflict; empty
    // for no hit.
    QString toolTip(const Hit &hit) const;

private:
    std::array<Intervals, Schedule::Count> m_intervals{};
    std::array<std::array<bool, Days>, Schedule::Count> m_enabled{};
    std::array<int, Schedule::Count> m_logos{};
    std::array<Intervals, Days> m_conflicts{};
    std::array<QList<int>, Days> m_on{};
    std::array<std::array<int, Days>, Schedule::Count> m_lane{};
    std::array<int, Days> m_laneCount{};
};
