// SPDX-License-Identifier: GPL-3.0-or-later
#include "imageimport.h"

#include "logo/logofilewriter.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <vector>

namespace ImageImport {

QImage fitted(const QImage &source, const Options &options)
{
    const int height = options.height == 32 ? 32 : 64;
    const QSize size(LogoBitmap::Width, height);
    // Transparency counts as background (black) before the grey is taken.
    QImage canvas(size, QImage::Format_RGB32);
    canvas.fill(Qt::black);
    if (!source.isNull() && source.width() > 0 && source.height() > 0) {
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        QSize target = size;
        if (options.fit == Fit::KeepAspect)
            target = source.size().scaled(size, Qt::KeepAspectRatio);
        else if (options.fit == Fit::Crop)
            target = source.size().scaled(size, Qt::KeepAspectRatioByExpanding);
        target = target.expandedTo(QSize(1, 1));
        const QRect where((size.width() - target.width()) / 2, (size.height() - target.height()) / 2,
                          target.width(), target.height());
        painter.drawImage(where, source);
    }
    return canvas.convertToFormat(QImage::Format_Grayscale8);
}

LogoBitmap convert(const QImage &source, const Options &options)
{
    const QImage grey = fitted(source, options);
    const int width = grey.width();
    const int height = grey.height();
    const int threshold = std::clamp(options.threshold, 0, 255);
    std::vector<float> level(static_cast<size_t>(width * height));
    for (int y = 0; y < height; ++y) {
        const uchar *line = grey.constScanLine(y);
        for (int x = 0; x < width; ++x)
            level[static_cast<size_t>(y * width + x)] = line[x];
    }
    const auto spread = [&](int x, int y, float error) {
        if (x >= 0 && x < width && y < height)
            level[static_cast<size_t>(y * width + x)] += error;
    };

    LogoBitmap logo;
    logo.bytes.fill(0xFF); // all background
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const float old = level[static_cast<size_t>(y * width + x)];
            const bool light = old >= static_cast<float>(threshold);
            if (options.dither) {
                const float error = old - (light ? 255.0f : 0.0f);
                spread(x + 1, y, error * 7 / 16);
                spread(x - 1, y + 1, error * 3 / 16);
                spread(x, y + 1, error * 5 / 16);
                spread(x + 1, y + 1, error * 1 / 16);
            }
            if (light != options.invert) {
                // The logo's rows run bottom up.
                const int row = height - 1 - y;
                logo.bytes[static_cast<size_t>(row * LogoBitmap::RowBytes + x / 8)] &= ~(0x80 >> (x % 8));
            }
        }
    }
    return logo;
}

QByteArray bmpFile(const LogoBitmap &logo, int height)
{
    const int rows = height == 32 ? 32 : 64;
    QByteArray data = LogoFileWriter::bmpHeader(rows, 0x00FFFFFF, 0x00000000);
    data.append(reinterpret_cast<const char *>(logo.bytes.data()), rows * LogoBitmap::RowBytes);
    return data;
}

QString outputName(const QString &source)
{
    const QFileInfo info(source);
    const QString stem = info.dir().filePath(info.completeBaseName() + QStringLiteral("-logo"));
    QString name = stem + QStringLiteral(".bmp");
    for (int n = 2; QFileInfo::exists(name) && n < 1000; ++n)
        name = stem + QStringLiteral("-%1.bmp").arg(n);
    return name;
}

} // namespace ImageImport
