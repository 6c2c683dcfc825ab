// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

// Sizes and positions are given in twips, 1/1440 inch: 15 twips make one
// logical pixel at 96 dpi; Qt scales logical pixels with the screen.
inline int twips(int value)
{
    return qRound(value / 15.0);
}

inline int toTwips(int pixels)
{
    return pixels * 15;
}
