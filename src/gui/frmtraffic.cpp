// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmtraffic.h"

#include "device_link/trafficrecorder.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

FrmTraffic::FrmTraffic(TrafficRecorder &recorder, QWidget *parent)
    : QDialog(parent)
    , m_recorder(recorder)
    , m_text(new QPlainTextEdit(this))
    , m_pause(new QPushButton(QStringLiteral("&Pause"), this))
{
    setObjectName(QStringLiteral("frmTraffic"));
    setWindowTitle(QStringLiteral("Traffic Log"));
    m_text->setObjectName(QStringLiteral("trafficText"));
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setMaximumBlockCount(TrafficRecorder::MaxLines);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    m_pause->setObjectName(QStringLiteral("cmdPause"));
    m_pause->setCheckable(true);
    auto *clear = new QPushButton(QStringLiteral("C&lear"), this);
    clear->setObjectName(QStringLiteral("cmdClear"));
    auto *save = new QPushButton(QStringLiteral("&Save..."), this);
    save->setObjectName(QStringLiteral("cmdSave"));
    auto *close = new QPushButton(QStringLiteral("&Close"), this);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_pause);
    buttons->addWidget(clear);
    buttons->addWidget(save);
    buttons->addStretch();
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addLayout(buttons);
    resize(760, 420);

    connect(m_pause, &QPushButton::toggled, this, [this](bool paused) {
        m_recorder.setPaused(paused);
        m_pause->setText(paused ? QStringLiteral("&Resume") : QStringLiteral("&Pause"));
    });
    connect(clear, &QPushButton::clicked, &m_recorder, &TrafficRecorder::clear);
    connect(save, &QPushButton::clicked, this, &FrmTraffic::saveRequested);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(&m_recorder, &TrafficRecorder::appended, this, [this](const TrafficRecorder::Line &line) {
        m_text->appendPlainText(TrafficRecorder::format(line));
    });
    connect(&m_recorder, &TrafficRecorder::cleared, m_text, &QPlainTextEdit::clear);
}

FrmTraffic::~FrmTraffic()
{
    m_recorder.setRecording(false);
}

void FrmTraffic::reload()
{
    QStringList text;
    for (const TrafficRecorder::Line &line : m_recorder.lines())
        text.append(TrafficRecorder::format(line));
    m_text->setPlainText(text.join(QLatin1Char('\n')));
    m_text->moveCursor(QTextCursor::End);
}

void FrmTraffic::showEvent(QShowEvent *event)
{
    reload();
    m_recorder.setRecording(true);
    QDialog::showEvent(event);
}

void FrmTraffic::hideEvent(QHideEvent *event)
{
    m_recorder.setRecording(false);
    QDialog::hideEvent(event);
}
