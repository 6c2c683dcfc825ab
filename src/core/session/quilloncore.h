// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "device_link/devicelink.h"
#include "device_link/devicestate.h"
#include "logo/logodownload.h"
#include "logo/logofiles.h"
#include "logo/logofilewriter.h"
#include "logo/logostate.h"
#include "logo/logoupload.h"
#include "logo/paintlauncher.h"
#include "panel/panelcontroller.h"
#include "panel/panelstate.h"
#include "panel/slotcontroller.h"
#include "reporting/reporter.h"
#include "scheduler/schedulerunner.h"
#include "scheduler/schedulestate.h"
#include "session/deviceoperations.h"
#include "session/startup.h"

class Clock;
class SerialPort;
class SettingsStore;

// The core for one line, wired together: the models, the link, the timed
// transfers and the operations every front end calls. The window and
// quillon-cli each hold one; tests hold one with a fake port and clock.
class QuillonCore
{
public:
    QuillonCore(SettingsStore &settings, SerialPort &port, const Clock &clock);

    QuillonCore(const QuillonCore &) = delete;
    QuillonCore &operator=(const QuillonCore &) = delete;

    SettingsStore &settings;
    const Clock &clock;
    DeviceState deviceState;
    LogoState logoState;
    PanelState panelState;
    ScheduleState scheduleState;
    Reporter reporter;
    DeviceLink link;
    LogoFiles logoFiles;
    PanelController panel;
    SlotController slotControl;
    LogoDownload download;
    LogoUpload upload;
    DeviceOperations ops;
    LogoFileWriter writer;
    PaintLauncher paint;
    ScheduleRunner runner;
    Startup startup;

private:
    // A settings file that cannot be written is reported at the first write
    // that fails, and again only after a write has got through.
    bool m_settingsFailureReported = false;
};
