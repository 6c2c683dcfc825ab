// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "scheduler/scheduleeditor.h"

#include <QDialog>

#include <array>
#include <functional>

class Clock;
class QAction;
class QuillonCore;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QTimer;
class WeekTimelineView;

// The schedule editor window: four sliders left of a grid of 20 rows (row
// selector, START, T-ON, REPEAT, END, LOGO and the seven day buttons), the
// week as a timeline under the grid, the conflict scan, the clock and the
// lock; Edit undoes and redoes. It draws its ScheduleEditor and the runner's
// live highlight, and hands every user action to the editor.
class FrmSchedule : public QDialog
{
    Q_OBJECT

public:
    FrmSchedule(QuillonCore &core, QWidget *parent);
    // The same on a given clock, for tests.
    FrmSchedule(QuillonCore &core, const Clock &clock, QWidget *parent);
    ~FrmSchedule() override;

    ScheduleEditor &editor() { return m_editor; }
    // Takes the place of the message box that shows a failure (title, text),
    // for tests.
    void setMessageBoxHook(std::function<void(const QString &, const QString &)> hook)
    {
        m_messageBoxHook = std::move(hook);
    }

    void done(int result) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMenus();
    QWidget *buildGrid();
    QWidget *buildButtons();
    void wire();
    void Form_Unload();

    // Drawing.
    void syncAll();
    void syncRow(int row);
    void syncSelection(int row);
    void syncSliders();
    void syncControls();
    void syncHistory();
    void paintDay(int index);
    void paintLogo(int row);
    void paintHighlight(int row);
    void paintScanning(bool scanning);

    void mnuHelp2_Click();
    void mnuAbout_Click();
    void showFailure(const QString &procedure, const QString &description);

    QuillonCore &m_core;
    ScheduleEditor m_editor;
    bool m_unloaded = false;
    std::function<void(const QString &, const QString &)> m_messageBoxHook;

    QTimer *m_Timer1 = nullptr;
    QButtonGroup *m_rowGroup = nullptr;
    std::array<QRadioButton *, ScheduleEditor::Rows + 1> m_Option1{};
    std::array<QLineEdit *, ScheduleEditor::Rows> m_txtStart{};
    std::array<QLineEdit *, ScheduleEditor::Rows> m_txtTON{};
    std::array<QLineEdit *, ScheduleEditor::Rows> m_txtOFF{};
    std::array<QLineEdit *, ScheduleEditor::Rows> m_txtEnd{};
    std::array<QLineEdit *, ScheduleEditor::Rows> m_txtLogo{};
    std::array<QPushButton *, ScheduleEditor::DayButtons> m_Command1{};
    std::array<QScrollBar *, 4> m_VScroll1{};
    QCheckBox *m_chkAutoScan = nullptr;
    QPushButton *m_cmdScan = nullptr;
    std::array<QPushButton *, 2> m_cmdButtons{};
    QLabel *m_lblCurrentTime = nullptr;
    QLabel *m_lblLocked = nullptr;
    QAction *m_mnuUndo = nullptr;
    QAction *m_mnuRedo = nullptr;
    WeekTimelineView *m_weekTimeline = nullptr;
};
