// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;
class TrafficRecorder;

// The traffic window: every command sent and every reply received, newest
// last, with pause, clear and save. The recorder listens only while the
// window is open.
class FrmTraffic : public QDialog
{
    Q_OBJECT

public:
    FrmTraffic(TrafficRecorder &recorder, QWidget *parent);
    ~FrmTraffic() override;

signals:
    // Save was pressed: the main window asks for a file name.
    void saveRequested();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void reload();

    TrafficRecorder &m_recorder;
    QPlainTextEdit *m_text;
    QPushButton *m_pause;
};
