// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "session/startup.h"

// What only the main window decides: its height, whether the full-size view
// shows, and the Diag and Node menus the stored settings turn on.
struct WindowState {
    int heightTwips = 5650;
    bool zoomOn = false;
    bool diagMenuVisible = true;
    bool diagToolsChecked = false;
    bool showDialogChecked = false; // the reply strip below the panel shows
    bool factoryResetVisible = true;
    bool setModelVisible = true;
    bool nodeMenuVisible = true;
    bool wakeUpNodeVisible = true;

    void apply(const MenuOptions &options)
    {
        diagMenuVisible = diagToolsChecked = options.diagTools;
        showDialogChecked = options.showReply;
        heightTwips = options.showReply ? 6125 : 5650;
        factoryResetVisible = setModelVisible = options.factoryReset;
        nodeMenuVisible = options.nodeMenu;
        wakeUpNodeVisible = false;
    }
};
