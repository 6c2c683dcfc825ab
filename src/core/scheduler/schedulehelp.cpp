// SPDX-License-Identifier: GPL-3.0-or-later
#include "schedulehelp.h"

namespace {

QString joined(const QStringList &lines)
{
    return lines.join(QStringLiteral("\r\n"));
}

QString startPage()
{
    return joined({
        QStringLiteral("START TIME:"),
        QStringLiteral("The Start time is the time of day that the logo is to begin for "
                       "the first time. "
                       "The start time is based on the 24-hour clock and "
                       "can be set to any time from Midnight (00:00:00) to 11:59:45 PM "
                       "(23:59:45). "
                       "A start time of 8:00:15 will start a logo sequence "
                       "15 seconds after eight o'clock in the morning. "),
        QStringLiteral("The Start Time Slider:"),
        QStringLiteral("The slider allows "
                       "one to precisely choose a start time. It has three operating modes. "),
        QStringLiteral("1) Drag the slider to the desired time. "),
        QStringLiteral("2) Click on the space between the slider and the arrow to "
                       "advance or go back exactly one hour. "),
        QStringLiteral("3) Click on the end arrows to advance or go back in 15-second "
                       "steps until the desired time is reached."),
        QStringLiteral("Note: Click and hold for auto repeat. "),
        QStringLiteral("Move the slider all the way to the top to disable the sequence. "),
    });
}

QString endPage()
{
    return joined({
        QStringLiteral("END TIME:"),
        QStringLiteral("The End Time determines when the logo sequence is to end for the day."
                       "An End time of 12:00:00 will cancel a running logo "
                       "sequence at Noon."),
        QStringLiteral("The End Time Slider:"),
        QStringLiteral("The slider allows "
                       "one to precisely choose a stop time. It has three operating modes. "),
        QStringLiteral("1) Drag the slider to the desired time. "),
        QStringLiteral("2) Click on the space between the slider and the arrow to "
                       "advance or go back exactly one hour. "),
        QStringLiteral("3) Click on the end arrows to advance or go back in 15-second "
                       "steps until the desired time is reached."),
        QStringLiteral("Note: Click and hold for auto repeat. "),
    });
}

QString onTimePage()
{
    return joined({
        QStringLiteral("T-ON TIME:"),
        QStringLiteral("T-ON is the amount of time the logo is to appear on the screen each repeat period. "
                       "A T-ON value of 00:00:15 will display the logo for 15 seconds begining at the start "
                       "time and for 15 seconds at the begining of each repeat period. "),
        QStringLiteral("The T-ON Time Slider:"),
        QStringLiteral("The slider allows "
                       "one to precisely choose a logo ON time. It has three operating modes. "),
        QStringLiteral("1) Drag the slider to the desired time. "),
        QStringLiteral("2) Click on the space between the slider and the arrow to "
                       "advance or go back exactly 5 minutes. "),
        QStringLiteral("3) Click on the end arrows to advance or go back in 15-second "
                       "steps until the desired time is reached. "),
        QStringLiteral("Note: Click and hold for auto repeat. "),
        QStringLiteral("The maximum ON time permitted is 2 hours. "),
    });
}

QString repeatPage()
{
    return joined({
        QStringLiteral("REPEAT TIME:"),
        QStringLiteral("Repeat time determines how often the Logo is to reappear on the screen. "
                       "A value of 00:10:00 will cause the logo to reappear every ten minutes. "),
        QStringLiteral("The Repeat Time Slider:"),
        QStringLiteral("The slider allows "
                       "one to precisely choose a logo repeat period. It has three operating modes. "),
        QStringLiteral("1) Drag the slider to the desired time. "),
        QStringLiteral("2) Click on the space between the slider and the arrow to "
                       "advance or go back exactly 5 minutes. "),
        QStringLiteral("3) Click on the end arrows to advance or go back in 15-second "
                       "steps until the desired time is reached. "),
        QStringLiteral("Note: Click and hold for auto repeat. "),
        QStringLiteral("The maximum REPEAT time permitted is 2 hours. "),
    });
}

QString logoPage()
{
    return joined({
        QStringLiteral("LOGO SELECT:"),
        QStringLiteral("Logo Select permits selecting the logo to be used for the sequence period. "
                       "Select a logo to be used for the timing sequence or select OFF. "
                       "OFF will disable the timing sequence. "),
        QStringLiteral("Note: Only LOGO 1 will be displayed regardless of Logo selected on an QX-1 logo "
                       "generator. "),
    });
}

QString dayPage()
{
    return joined({
        QStringLiteral("DAY-OF-WEEK Select:"),
        QStringLiteral("Select the days of the week that the sequence will be valid. "
                       "If no days are selected, the sequence will be disabled. "),
    });
}

QString savePage()
{
    return joined({
        QStringLiteral("SAVE YOUR WORK:"),
        QStringLiteral("Save will store the sequence changes into the registry. "
                       "The programmed sequences are active immediately even if they are not saved. "
                       "If the settings are not saved, however, the settings will be lost "
                       "when the program is stopped or reset. The last saved program sequence will be "
                       "restored the next time the program is run. "),
    });
}

QString conflictsPage()
{
    return joined({
        QStringLiteral("CONFLICT TESTING:"),
        QStringLiteral("It is possible to schedule more than one logo to be on "
                       "at the same time. "
                       "If this is done, unpredictable results may occur even "
                       "if the conflicting logo sequences are calling for the same logo. "),
        QStringLiteral("Always make sure there are no conflicts. Click on the "
                       " Scan For Conflicts button to highlight the conflicts that may exist. "),
        QStringLiteral("Auto-Scan may be used to automatically scan every "
                       "2 seconds. "
                       "This feature may interfere with programming the sequences "
                       "and may be turned OFF and ON of as desired. "
                       " "),
    });
}

} // namespace

QStringList ScheduleHelp::tabCaptions()
{
    return {QStringLiteral("Start"),  QStringLiteral("End"),           QStringLiteral("T-ON"),
            QStringLiteral("Repeat"), QStringLiteral("Logo"),          QStringLiteral("Day-Of-Week"),
            QStringLiteral("SAVE "),  QStringLiteral("Scan Conflicts")};
}

QString ScheduleHelp::page(int tabIndex)
{
    switch (tabIndex) {
    case 0:
        return startPage();
    case 1:
        return endPage();
    case 2:
        return onTimePage();
    case 3:
        return repeatPage();
    case 4:
        return logoPage();
    case 5:
        return dayPage();
    case 6:
        return savePage();
    case 7:
        return conflictsPage();
    default:
        return QStringLiteral("Hello-else");
    }
}
