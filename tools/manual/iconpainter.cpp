// SPDX-License-Identifier: GPL-3.0-or-later
#include "iconpainter.h"

#include <QPainter>
#include <QPainterPath>

QImage IconPainter::draw(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // The picture is laid out on a 48 x 48 grid, as in the SVG file.
    p.scale(size / 48.0, size / 48.0);

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x55, 0x5b, 0x66));
    p.drawRect(QRectF(19, 37, 10, 4));
    p.drawRoundedRect(QRectF(12, 40, 24, 4), 2, 2);

    p.setPen(QPen(QColor(0x0d, 0x1b, 0x4a), 2));
    p.setBrush(QColor(0x1f, 0x3a, 0x93));
    p.drawRoundedRect(QRectF(3, 6, 42, 31), 4, 4);

    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(25, 10, 16, 9), 1.5, 1.5);
    p.setPen(QPen(QColor(0x1f, 0x3a, 0x93), 1.6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(33, 14.5), 2.6, 2.6);
    p.drawLine(QPointF(34.6, 16.1), QPointF(36.6, 18.1));

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x00, 0xe0, 0x00));
    p.drawEllipse(QPointF(9.5, 31), 2.5, 2.5);
    return image;
}
