// SPDX-License-Identifier: GPL-3.0-or-later
#include "filechooser.h"

#include <QFileDialog>

QString DialogFileChooser::openFileName(QWidget *parent, const QString &caption, const QString &preset,
                                        const QString &filter)
{
    return QFileDialog::getOpenFileName(parent, caption, preset, filter);
}

QString DialogFileChooser::saveFileName(QWidget *parent, const QString &caption, const QString &preset,
                                        const QString &filter)
{
    return QFileDialog::getSaveFileName(parent, caption, preset, filter);
}
