// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A 24-bit colour.
struct Rgb {
    int red = 0;
    int green = 0;
    int blue = 0;
    bool operator==(const Rgb &) const = default;
};

inline constexpr Rgb PureBlue{0, 0, 255};

// The colours the logo view takes to imitate the keyed picture: the logo as a
// grey of the intensity laid over pure blue with the mix as its opacity.
// With a Show flag clear its value counts as 100.
struct PreviewColours {
    Rgb foreground; // clear bits
    Rgb background; // set bits

    static Rgb blend(int mix, int intensity, bool showMix, bool showIntensity);
    static PreviewColours forView(int mix, int intensity, bool showMix, bool showIntensity, bool negative);
    // The full-size view: white on dark blue, swapped by Negative.
    static PreviewColours forFullView(bool negative);
};
