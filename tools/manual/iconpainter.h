// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>

// Draws the program's icon, the same picture as
// share/icons/hicolor/scalable/apps/quillon.svg: a blue screen on a stand,
// with the keyed logo in its upper right corner and the green on-air mark.
class IconPainter
{
public:
    static QImage draw(int size);
};
