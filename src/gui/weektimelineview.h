// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "scheduler/weektimeline.h"

#include <QColor>
#include <QWidget>

class QDateTime;

// The schedule editor's picture of the week: a row a day, Sunday first, under
// a 24-hour axis, each sequence's on-times as bars in its own colour,
// conflicts in the conflict colours and the present moment as a line on
// today's row. A bar's tooltip names its sequence and times.
class WeekTimelineView : public QWidget
{
    Q_OBJECT

public:
    explicit WeekTimelineView(QWidget *parent = nullptr);

    // The table drawn; read again at the next paint after scheduleChanged().
    void setSchedule(const Schedule *schedule);
    // `stretch` behind a conflicting stretch, `strip` along its foot.
    void setConflictColours(const QColor &stretch, const QColor &strip);
    void setNow(const QDateTime &now);

    // One of 20 colours, each sequence its own; none is a conflict red.
    static QColor sequenceColour(int sequence);

    const WeekTimeline &timeline() const;
    WeekTimeline::Geometry timelineGeometry() const;
    QString toolTipAt(QPoint position) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

public slots:
    // The table may have changed: built again before the next paint.
    void scheduleChanged();

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    int labelWidth() const;
    int axisHeight() const;
    int rowHeight() const;
    QRect nowLine() const;

    const Schedule *m_schedule = nullptr;
    mutable WeekTimeline m_timeline;
    mutable bool m_stale = true;
    QColor m_conflictStretch{255, 128, 128};
    QColor m_conflictStrip{255, 0, 0};
    int m_nowDay = -1;
    int m_nowSeconds = 0;
};
