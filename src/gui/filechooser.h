// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QWidget;

// Asks the user for a file. The window uses the desktop's dialogs; tests
// answer in their place.
class FileChooser
{
public:
    virtual ~FileChooser() = default;
    // An empty text when the user cancelled.
    virtual QString openFileName(QWidget *parent, const QString &caption, const QString &preset,
                                 const QString &filter)
        = 0;
    virtual QString saveFileName(QWidget *parent, const QString &caption, const QString &preset,
                                 const QString &filter)
        = 0;
};

class DialogFileChooser final : public FileChooser
{
public:
    QString openFileName(QWidget *parent, const QString &caption, const QString &preset,
                         const QString &filter) override;
    QString saveFileName(QWidget *parent, const QString &caption, const QString &preset,
                         const QString &filter) override;
};
