// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// The pages of the schedule editor's help window, one per tab. A page is its
// lines joined with CR LF, without one after the last line.
class ScheduleHelp
{
public:
    static constexpr int TabCount = 8;

    // The tab captions, in the order of the tab strip.
    static QStringList tabCaptions();
    // The page of a tab; a tab that does not exist shows "Hello-else".
    static QString page(int tabIndex);
};
