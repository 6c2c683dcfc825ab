// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmenterdata.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

FrmEnterData::FrmEnterData(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmEnterData"));
    setWindowTitle(QStringLiteral("Additional Data Needed"));
    setModal(true);
    m_LblQuestion = new QLabel(this);
    m_LblQuestion->setObjectName(QStringLiteral("LblQuestion"));
    m_LblQuestion->setWordWrap(true);
    m_txtInput = new QLineEdit(this);
    m_txtInput->setObjectName(QStringLiteral("txtInput"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_LblQuestion);
    layout->addWidget(m_txtInput);
    setMinimumWidth(300);
    connect(m_txtInput, &QLineEdit::returnPressed, this, &FrmEnterData::txtInput_KeyPress);
}

void FrmEnterData::Form_Load(const QString &prompt)
{
    m_answer.clear();
    m_txtInput->clear();
    m_LblQuestion->setText(prompt);
    m_txtInput->setFocus();
}

void FrmEnterData::txtInput_KeyPress()
{
    m_answer = m_txtInput->text();
    accept();
}

std::optional<QString> DialogPrompter::ask(const QString &prompt)
{
    FrmEnterData window(m_parent);
    window.Form_Load(prompt);
    if (window.exec() != QDialog::Accepted)
        return std::nullopt;
    return window.answer();
}
