// SPDX-License-Identifier: GPL-3.0-or-later
#include "weektimelineview.h"

#include <QDateTime>
#include <QHelpEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

namespace {

const std::array<QString, WeekTimeline::Days> kDayNames{
    QStringLiteral("Sun"), QStringLiteral("Mon"), QStringLiteral("Tue"), QStringLiteral("Wed"),
    QStringLiteral("Thu"), QStringLiteral("Fri"), QStringLiteral("Sat")};

const QColor kHourLine(224, 224, 224);
const QColor kQuarterLine(176, 176, 176); // every six hours
const QColor kFrame(128, 128, 128);

constexpr int HourSeconds = 3600;
constexpr int Tick = 3;

} // namespace

WeekTimelineView::WeekTimelineView(QWidget *parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void WeekTimelineView::setSchedule(const Schedule *schedule)
{
    m_schedule = schedule;
    scheduleChanged();
}

void WeekTimelineView::setConflictColours(const QColor &stretch, const QColor &strip)
{
    m_conflictStretch = stretch;
    m_conflictStrip = strip;
    update();
}

void WeekTimelineView::scheduleChanged()
{
    // Built once however many edits a slider drag sends before the paint.
    m_stale = true;
    update();
}

void WeekTimelineView::setNow(const QDateTime &now)
{
    const int day = WeekTimeline::dayOf(now.date());
    const int seconds = now.time().msecsSinceStartOfDay() / 1000;
    const WeekTimeline::Geometry g = timelineGeometry();
    const bool moved = g.x(seconds) != g.x(m_nowSeconds);
    const bool newDay = day != m_nowDay;
    if (moved && !newDay)
        update(nowLine());
    m_nowDay = day;
    m_nowSeconds = seconds;
    // A new day moves the line to another row and today's name.
    if (newDay)
        update();
    else if (moved)
        update(nowLine());
}

QColor WeekTimelineView::sequenceColour(int sequence)
{
    // Neighbouring sequences lie far apart on the colour wheel, which skips
    // the reds; every other one is darker.
    const int n = std::clamp(sequence, 0, Schedule::Count - 1);
    const int hue = 35 + (n * 7 % Schedule::Count) * 15;
    return n % 2 == 0 ? QColor::fromHsv(hue, 200, 235) : QColor::fromHsv(hue, 255, 160);
}

const WeekTimeline &WeekTimelineView::timeline() const
{
    if (m_stale) {
        m_timeline = m_schedule ? WeekTimeline(*m_schedule) : WeekTimeline();
        m_stale = false;
    }
    return m_timeline;
}

int WeekTimelineView::labelWidth() const
{
    int widest = 0;
    for (const QString &name : kDayNames)
        widest = std::max(widest, fontMetrics().horizontalAdvance(name));
    return widest + 8;
}

int WeekTimelineView::axisHeight() const
{
    return fontMetrics().height() + Tick;
}

int WeekTimelineView::rowHeight() const
{
    return std::max(20, fontMetrics().height() + 4);
}

WeekTimeline::Geometry WeekTimelineView::timelineGeometry() const
{
    // A pixel to the right and below for the frame.
    return {contentsRect().adjusted(0, 0, -1, -1), labelWidth(), axisHeight()};
}

QSize WeekTimelineView::sizeHint() const
{
    const QMargins m = contentsMargins();
    return {m.left() + labelWidth() + 24 * 24 + 1 + m.right(),
            m.top() + axisHeight() + WeekTimeline::Days * rowHeight() + 1 + m.bottom()};
}

QSize WeekTimelineView::minimumSizeHint() const
{
    const QMargins m = contentsMargins();
    return {m.left() + labelWidth() + 24 * 4 + 1 + m.right(), sizeHint().height()};
}

QRect WeekTimelineView::nowLine() const
{
    const WeekTimeline::Geometry g = timelineGeometry();
    const QRect row = g.dayRow(m_nowDay);
    if (row.isEmpty())
        return {};
    return {g.x(m_nowSeconds) - 2, row.top() - 2, 5, row.height() + 4};
}

QString WeekTimelineView::toolTipAt(QPoint position) const
{
    return timeline().toolTip(timeline().hitTest(timelineGeometry(), position));
}

bool WeekTimelineView::event(QEvent *event)
{
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    const auto *help = static_cast<QHelpEvent *>(event);
    const QString text = toolTipAt(help->pos());
    if (text.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        // Moving along the same bar keeps the tip; leaving the row drops it.
        const WeekTimeline::Geometry g = timelineGeometry();
        QToolTip::showText(help->globalPos(), text, this, g.dayRow(g.dayAt(help->pos().y())));
    }
    return true;
}

void WeekTimelineView::paintEvent(QPaintEvent *event)
{
    const WeekTimeline &week = timeline();
    const WeekTimeline::Geometry g = timelineGeometry();
    const QRect plot = g.plot();
    if (plot.width() <= 0 || plot.height() <= 0)
        return;

    QPainter p(this);
    p.fillRect(plot, palette().color(QPalette::Base));

    // The axis: a tick every hour, a label as often as there is room.
    const QFontMetrics fm = fontMetrics();
    const int pitch = std::max(plot.width() / 24, 1);
    int every = 1;
    while (every < 12 && fm.horizontalAdvance(QStringLiteral("24")) + 6 > pitch * every)
        every *= 2;
    for (int hour = 0; hour <= 24; ++hour) {
        const int x = g.x(hour * HourSeconds);
        p.setPen(hour % 6 == 0 ? kQuarterLine : kHourLine);
        p.drawLine(x, plot.top(), x, plot.bottom());
        p.setPen(palette().color(QPalette::WindowText));
        p.drawLine(x, plot.top() - Tick, x, plot.top() - 1);
        if (hour % every != 0)
            continue;
        const QString label = QString::number(hour);
        const int width = fm.horizontalAdvance(label);
        const int left = std::clamp(x - width / 2, plot.left() - labelWidth(), plot.right() + 1 - width);
        p.drawText(QRect(left, contentsRect().top(), width, fm.height()), Qt::AlignCenter, label);
    }

    for (int day = 0; day < WeekTimeline::Days; ++day) {
        const QRect row = g.dayRow(day);
        if (!event->rect().intersects(row.adjusted(-labelWidth(), -2, 0, 2)))
            continue;
        QFont font = p.font();
        font.setBold(day == m_nowDay);
        p.setFont(font);
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(QRect(contentsRect().left(), row.top(), labelWidth() - 6, row.height()),
                   Qt::AlignRight | Qt::AlignVCenter, kDayNames[static_cast<size_t>(day)]);

        const QList<QRect> conflicts = week.conflictRects(g, day);
        for (const QRect &strip : conflicts)
            p.fillRect(QRect(strip.left(), row.top(), strip.width(), row.height()), m_conflictStretch);
        for (int sequence : week.sequencesOn(day)) {
            const QColor colour = sequenceColour(sequence);
            for (const QRect &bar : week.barRects(g, day, sequence))
                p.fillRect(bar, colour);
        }
        for (const QRect &strip : conflicts)
            p.fillRect(strip, m_conflictStrip);
        if (day > 0) {
            p.setPen(kFrame);
            p.drawLine(plot.left(), row.top(), plot.right(), row.top());
        }
    }

    p.setPen(kFrame);
    p.setBrush(Qt::NoBrush);
    p.drawRect(plot);

    const QRect now = nowLine();
    if (!now.isEmpty()) {
        const int x = now.left() + 2;
        p.fillRect(QRect(x - 1, now.top(), 2, now.height()), palette().color(QPalette::Text));
    }
}
