// SPDX-License-Identifier: GPL-3.0-or-later
#include "linktimers.h"

#include "device_link/devicelink.h"
#include "scheduler/schedulerunner.h"
#include "scheduler/schedulestate.h"

#include <QTimer>

LinkTimers::LinkTimers(DeviceLink &link, ScheduleRunner &runner, const ScheduleState &scheduleState,
                       QObject *parent)
    : QObject(parent)
    , m_link(link)
    , m_runner(runner)
    , m_scheduleState(scheduleState)
    , m_tmrDelay(new QTimer(this))
    , m_tmrComInit(new QTimer(this))
    , m_tmrSchedule(new QTimer(this))
{
    m_tmrDelay->setObjectName(QStringLiteral("tmr_Delay"));
    m_tmrDelay->setInterval(25);
    m_tmrDelay->setTimerType(Qt::PreciseTimer);
    connect(m_tmrDelay, &QTimer::timeout, &m_link, &DeviceLink::tick);

    m_tmrComInit->setObjectName(QStringLiteral("tmrComInit"));
    m_tmrComInit->setInterval(100);
    m_tmrComInit->setTimerType(Qt::PreciseTimer);
    connect(m_tmrComInit, &QTimer::timeout, &m_link, &DeviceLink::wakeUpTick);

    m_tmrSchedule->setObjectName(QStringLiteral("tmrSchedule"));
    m_tmrSchedule->setSingleShot(true);
    m_tmrSchedule->setTimerType(Qt::PreciseTimer);
    connect(m_tmrSchedule, &QTimer::timeout, this, [this] {
        m_runner.tick();
        armSchedule();
    });
}

void LinkTimers::start()
{
    if (m_started || m_stopped)
        return;
    m_started = true;
    m_tmrDelay->start();
    connect(&m_runner, &ScheduleRunner::timerChanged, this, [this](bool running) {
        if (running)
            armSchedule();
        else
            m_tmrSchedule->stop();
    });
    connect(&m_link, &DeviceLink::comInitTimerChanged, this, [this](bool enabled) {
        if (enabled && !m_stopped)
            m_tmrComInit->start();
        else
            m_tmrComInit->stop();
    });
    if (m_link.comInitEnabled())
        m_tmrComInit->start();
    armSchedule();
}

void LinkTimers::stop()
{
    m_stopped = true;
    m_tmrComInit->stop();
    m_tmrDelay->stop();
    m_tmrSchedule->stop();
}

void LinkTimers::armSchedule()
{
    if (m_started && !m_stopped && m_scheduleState.on)
        m_tmrSchedule->start(m_runner.msUntilNextTick());
}
