// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "gui/diagcommands.h"

#include <QDialog>

class QLabel;
class QLineEdit;

// "Additional Data Needed": one question and a text box. Enter takes the
// text; closing the window or Esc leaves without an answer.
class FrmEnterData : public QDialog
{
    Q_OBJECT

public:
    explicit FrmEnterData(QWidget *parent = nullptr);

    // Shows the question over an emptied text box.
    void Form_Load(const QString &prompt);
    // The text confirmed with Enter; empty before that.
    QString answer() const { return m_answer; }

private:
    void txtInput_KeyPress();

    QLabel *m_LblQuestion = nullptr;
    QLineEdit *m_txtInput = nullptr;
    QString m_answer;
};

// Asks in a modal FrmEnterData over the given window.
class DialogPrompter final : public Prompter
{
public:
    explicit DialogPrompter(QWidget *parent)
        : m_parent(parent)
    {
    }
    std::optional<QString> ask(const QString &prompt) override;

private:
    QWidget *m_parent;
};
