// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logo/logostate.h"
#include "scheduler/schedule.h"

#include <QObject>

#include <array>

// The weekly schedule, shared by the runner and the editor, whether it runs
// or is locked, and what the runner shows: the blinking "Running" label, the
// logo it selected last (its button text green) and the on-air marks of the
// logos it holds on.
class ScheduleState : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    void notify() { emit changed(); }

    Schedule schedule;
    bool scheduleOn = false;
    bool scheduleLocked = false;
    bool runningLabelVisible = false;
    bool runningLabelYellow = false;
    int runnerLogoButton = 0;
    std::array<bool, LogoState::MaxSlots + 1> onAirMark{};

signals:
    void changed();
};
