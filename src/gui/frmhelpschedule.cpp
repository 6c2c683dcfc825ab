// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmhelpschedule.h"

#include "scheduler/schedulehelp.h"

#include <QPlainTextEdit>
#include <QTabBar>
#include <QVBoxLayout>

#include <algorithm>

FrmHelpSchedule::FrmHelpSchedule(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmHelpSchedule"));
    setWindowTitle(QStringLiteral("Schedule Help"));
    setModal(true);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(0);
    m_TabStrip1 = new QTabBar(this);
    m_TabStrip1->setObjectName(QStringLiteral("TabStrip1"));
    m_TabStrip1->setExpanding(false);
    m_TabStrip1->setDrawBase(false);
    for (const QString &caption : ScheduleHelp::tabCaptions())
        m_TabStrip1->addTab(caption);
    layout->addWidget(m_TabStrip1);

    m_txtHelp = new QPlainTextEdit(this);
    m_txtHelp->setObjectName(QStringLiteral("txtHelp"));
    m_txtHelp->setReadOnly(true);
    m_txtHelp->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    layout->addWidget(m_txtHelp, 1);

    m_TabStrip1->setCurrentIndex(0);
    TabStrip1_Click(0);
    connect(m_TabStrip1, &QTabBar::currentChanged, this, &FrmHelpSchedule::TabStrip1_Click);
    resize(std::max(560, m_TabStrip1->sizeHint().width() + 16), 340);
}

void FrmHelpSchedule::TabStrip1_Click(int index)
{
    m_txtHelp->setPlainText(ScheduleHelp::page(index));
}
