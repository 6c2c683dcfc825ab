// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QImage>
#include <QString>

// Renders the program's real windows offscreen, as the manual shows them: the
// main window with the demo logo in slot 1, the schedule editor with a few
// sequences (two of them in conflict) and the about window. The windows run
// on a settings file of their own and on a port that has no devices, so
// nothing of the user's settings and no serial port is touched.
class WindowShots
{
public:
    // The pictures by file name: mainwindow.png, schedule.png, about.png.
    // Empty, with the reason in error, when the windows could not be made.
    static QHash<QString, QImage> take(const QString &demoLogo, QString *error);
};
