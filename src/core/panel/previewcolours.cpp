// SPDX-License-Identifier: GPL-3.0-or-later
#include "previewcolours.h"

#include "device_link/protocol.h"

namespace {
// Computed in double precision, stored in single precision, then rounded.
int level(double value)
{
    return Protocol::roundHalfEven(static_cast<double>(static_cast<float>(value)));
}
} // namespace

Rgb PreviewColours::blend(int mix, int intensity, bool showMix, bool showIntensity)
{
    const double m = (showMix ? mix : 100) / 100.0;
    const double i = (showIntensity ? intensity : 100) / 100.0;
    const int f = level(i * m * 255.0);
    const int b = level(((1.0 - i) * (1.0 - m) + i) * 255.0);
    return {f, f, b};
}

PreviewColours PreviewColours::forView(int mix, int intensity, bool showMix, bool showIntensity,
                                       bool negative)
{
    const Rgb logo = blend(mix, intensity, showMix, showIntensity);
    return negative ? PreviewColours{PureBlue, logo} : PreviewColours{logo, PureBlue};
}

PreviewColours PreviewColours::forFullView(bool negative)
{
    const Rgb white{255, 255, 255};
    const Rgb darkBlue{0, 0, 224};
    return negative ? PreviewColours{darkBlue, white} : PreviewColours{white, darkBlue};
}
