// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logo/logobitmap.h"

#include <QByteArray>
#include <QString>

class QImage;

// Any picture made into a logo: fitted to 256 x 64 (or 32), then cut to one
// bit a pixel by a threshold or by Floyd-Steinberg dithering. Light parts
// become the logo (a clear bit, drawn in the logo colour), dark and
// transparent parts the background; Invert swaps them.
namespace ImageImport {

enum class Fit {
    Stretch,    // scale to fit, whatever the proportions
    KeepAspect, // the whole picture, centred, the rest background
    Crop,       // fill the logo, cutting what sticks out
};

struct Options {
    int height = 64; // 64 or 32
    Fit fit = Fit::KeepAspect;
    bool dither = false;
    int threshold = 128; // 0..255: from this grey up a pixel is light
    bool invert = false;
};

// The picture as a grey 256 x height image, fitted.
QImage fitted(const QImage &source, const Options &options);
LogoBitmap convert(const QImage &source, const Options &options);
// The bitmap file of a converted logo, in the program's own format: palette
// entry 0 white (the logo), entry 1 black.
QByteArray bmpFile(const LogoBitmap &logo, int height);
// A name beside the source that names no file yet: "name-logo.bmp",
// "name-logo-2.bmp", ...
QString outputName(const QString &source);

} // namespace ImageImport
