// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// The program's own command-line options. Everything else on the command
// line (the word SKIPCOM and its digit) is passed on to the start-up.
struct LaunchOptions {
    QStringList arguments;
    QString screenshotFile; // --screenshot FILE: save the main window as a picture
    int screenshotDelayMs = 4000;
    int quitAfterMs = -1; // --quit-after MS
    bool noSplash = false;
    bool reportShown = false; // --report-shown: print "SHOWN <epoch ms>" at the first paint

    static LaunchOptions parse(const QStringList &commandLine);
    void scheduleScreenshot(QWidget &window) const;
};
