// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "scheduler/schedule.h"

#include <QDateTime>
#include <QString>

#include <optional>

// The next TAKE the schedule runner will send: the first moment after now at
// which a sequence goes on or off air, looking up to a week ahead.
struct NextSwitch {
    int sequence = 0; // 1 to 20
    bool on = false;  // TAKE ON, else TAKE OFF
    int logo = 0;
    QDateTime at;

    static std::optional<NextSwitch> find(const Schedule &schedule, const QDateTime &now);
    // "TAKE ON logo 2 (sequence 3) in 0:04:12", counted down from now.
    QString text(const QDateTime &now) const;
};
