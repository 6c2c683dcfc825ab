// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QGroupBox>

class QLabel;
class QPushButton;
class Reporter;

// The error panel frameError: a framed group over the main window whose
// caption is the latest report's title, with the stacked messages and "OK".
class ErrorPanel : public QGroupBox
{
    Q_OBJECT

public:
    ErrorPanel(Reporter &reporter, QWidget *parent);

    void sync();

private:
    Reporter &m_reporter;
    QLabel *m_lblErrMsg;
    QPushButton *m_cmdErrOK;
};
