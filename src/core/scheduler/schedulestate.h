// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logo/logostate.h"
#include "scheduler/schedule.h"

#include <QObject>

#include <array>

// The weekly schedule, shared by the runner and the editor, whether it runs
// (on) or is locked, and what the runner shows: the "Running" sign and its
// blink, the logo it selected last and the logos it holds on air.
class ScheduleState : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    void notify() { emit changed(); }

    Schedule schedule;
    bool on = false;
    bool locked = false;
    bool runningShown = false;
    bool runningLit = false;
    int runnerLogo = 0;
    std::array<bool, LogoState::MaxSlots + 1> onAir{};

signals:
    void changed();
};
