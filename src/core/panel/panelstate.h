// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "panel/previewcolours.h"

#include <QObject>
#include <QString>

// The control panel's values as the device has them, each as shown, which of
// them the logo view imitates, and the view's colours.
class PanelState : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    void notify() { emit changed(); }

    int fade = 99;
    int mix = 99;
    int intensity = 99;
    int timeOn = 1;
    int timeInt = 1;
    bool timeSlidersEnabled = true;
    QString fadeText = QStringLiteral("000");
    QString mixText = QStringLiteral("000");
    QString intensityText = QStringLiteral("000");
    QString onTimeText = QStringLiteral("0:00:00");
    QString intervalText = QStringLiteral("0:00:00");
    QString hposText = QStringLiteral("100");
    QString vposText = QStringLiteral("100");
    bool takeOn = false; // TAKE button green: the logo is on air
    int standard = 0;    // 0 NTSC, 1 PAL
    bool negate = false;
    bool locked = false;    // PanelLocked
    int lockedViewSlot = 0; // the slot whose logo view the lock disabled
    int previewLeft = 60;   // twips inside the position frame
    int previewTop = 240;
    bool previewVisible = true;

    // Which values the logo view imitates, and its colours.
    bool showInt = true;
    bool showMix = false;
    bool showFade = false;
    PreviewColours viewColours{Rgb{255, 255, 255}, PureBlue};
    PreviewColours fullViewColours = PreviewColours::forFullView(false);

signals:
    void changed();
};
