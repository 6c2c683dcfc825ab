// SPDX-License-Identifier: GPL-3.0-or-later
#include "logoview.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>

namespace {
QColor toColor(const Rgb &rgb)
{
    return QColor(rgb.red, rgb.green, rgb.blue);
}
} // namespace

LogoView::LogoView(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void LogoView::setLogo(const LogoBitmap &logo, int height, const PreviewColours &colours,
                       const QString &placeholder)
{
    if (m_logo == logo && m_height == height && m_colours.foreground == colours.foreground
        && m_colours.background == colours.background && m_placeholder == placeholder)
        return;
    m_logo = logo;
    m_height = height;
    m_colours = colours;
    m_placeholder = placeholder;
    update();
}

QImage LogoView::render(const LogoBitmap &logo, int height, const PreviewColours &colours)
{
    QImage image(LogoBitmap::Width, height, QImage::Format_RGB32);
    const QRgb fg = toColor(colours.foreground).rgb();
    const QRgb bg = toColor(colours.background).rgb();
    for (int line = 0; line < height; ++line) {
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(line));
        for (int x = 0; x < LogoBitmap::Width; ++x)
            out[x] = logo.pixel(x, line, height) ? bg : fg;
    }
    return image;
}

void LogoView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_height == 32 || m_height == 64) {
        painter.drawImage(rect(), render(m_logo, m_height, m_colours));
        return;
    }
    painter.fillRect(rect(), toColor(m_colours.background));
    painter.setPen(toColor(m_colours.foreground));
    painter.drawText(rect(), Qt::AlignCenter, m_placeholder);
}

void LogoView::mousePressEvent(QMouseEvent *event)
{
    emit pressed(event->position().toPoint());
}

void LogoView::mouseMoveEvent(QMouseEvent *event)
{
    emit moved(event->position().toPoint());
}

void LogoView::mouseReleaseEvent(QMouseEvent *)
{
    emit released();
}
