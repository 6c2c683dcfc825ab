// SPDX-License-Identifier: GPL-3.0-or-later
#include "errorpanel.h"

#include "reporting/reporter.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

ErrorPanel::ErrorPanel(Reporter &reporter, QWidget *parent)
    : QGroupBox(parent)
    , m_reporter(reporter)
    , m_lblErrMsg(new QLabel(this))
    , m_cmdErrOK(new QPushButton(QStringLiteral("OK"), this))
{
    setObjectName(QStringLiteral("frameError"));
    m_lblErrMsg->setObjectName(QStringLiteral("lblErrMsg"));
    m_cmdErrOK->setObjectName(QStringLiteral("cmdErrOK"));
    m_lblErrMsg->setWordWrap(true);
    m_lblErrMsg->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    m_lblErrMsg->setTextInteractionFlags(Qt::TextSelectableByMouse);
    setAutoFillBackground(true);
    setStyleSheet(QStringLiteral(
        "QGroupBox#frameError { background: palette(window); border: 2px solid #b00000;"
        " border-radius: 4px; margin-top: 0; padding-top: 1.5em; font-weight: bold; }"
        "QGroupBox#frameError::title { subcontrol-origin: padding; subcontrol-position: top left;"
        " left: 8px; top: 4px; color: #b00000; }"
        "QLabel#lblErrMsg { font-weight: normal; }"));

    auto *scroll = new QScrollArea(this);
    scroll->setWidget(m_lblErrMsg);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(scroll, 1);
    layout->addWidget(m_cmdErrOK, 0, Qt::AlignHCenter);
    connect(m_cmdErrOK, &QPushButton::clicked, &m_reporter, &Reporter::closePanel);
    hide();
}

void ErrorPanel::sync()
{
    setTitle(m_reporter.panelTitle());
    // Line ends arrive as CR LF; show one line per report.
    m_lblErrMsg->setText(m_reporter.panelText().replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    if (m_reporter.panelVisible() != isVisible()) {
        setVisible(m_reporter.panelVisible());
        if (isVisible())
            raise();
    }
}
