// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// How the control panel's values become device values and label texts.
namespace PanelValues {

// Slider ranges and design values.
inline constexpr int FadeMin = 1, FadeMax = 100, FadeDesign = 99;
inline constexpr int MixMin = 0, MixMax = 99, MixDesign = 99;
inline constexpr int IntensityMin = 0, IntensityMax = 99, IntensityDesign = 99;
inline constexpr int TimeMin = 1, TimeMax = 255, TimeDesign = 1;

inline int fadeByte(int slider)
{
    return 100 - slider;
}
inline int mixByte(int slider)
{
    return 100 - slider;
}
inline int intensityByte(int slider)
{
    return slider;
}

// The fade time in seconds as the fade label shows it: at most four
// characters, no zero before the point, a leading blank below one second
// ("5.00" for slider 1, " .10" for 99, " .05" for 100).
QString fadeLabel(int slider);

// H:MM:SS for a count of 15-second steps ("0:25:00" for 100).
QString timeText(int steps);

// Device values of the position boxes (percent 0..100).
int hposDeviceValue(int percent, bool pal);
int vposDeviceValue(int percent, bool pal);

// Where the logo view goes for a position percentage, in twips inside its frame.
int previewLeft(double percent);
int previewTop(double percent);

} // namespace PanelValues
