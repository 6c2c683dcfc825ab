// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logo/logobitmap.h"
#include "panel/previewcolours.h"

#include <QWidget>

// Draws a monochrome logo stretched to the widget: a clear bit in the
// foreground colour, a set bit in the background colour.
class LogoView : public QWidget
{
    Q_OBJECT

public:
    explicit LogoView(QWidget *parent = nullptr);

    // height 0: no logo loaded yet; a placeholder is drawn.
    void setLogo(const LogoBitmap &logo, int height, const PreviewColours &colours,
                 const QString &placeholder);

    // The logo as a 256-pixel-wide picture in the given colours.
    static QImage render(const LogoBitmap &logo, int height, const PreviewColours &colours);

signals:
    void pressed(QPoint position);
    void moved(QPoint position);
    void released();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    LogoBitmap m_logo;
    int m_height = 0;
    PreviewColours m_colours;
    QString m_placeholder;
};
