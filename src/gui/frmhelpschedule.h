// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QPlainTextEdit;
class QTabBar;

// The schedule editor's help window: a tab strip over the page of the chosen
// tab. It opens on the first tab.
class FrmHelpSchedule : public QDialog
{
    Q_OBJECT

public:
    explicit FrmHelpSchedule(QWidget *parent);

private:
    void TabStrip1_Click(int index);

    QTabBar *m_TabStrip1 = nullptr;
    QPlainTextEdit *m_txtHelp = nullptr;
};
