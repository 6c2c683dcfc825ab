// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "scheduler/conflictscan.h"
#include "scheduler/schedule.h"

#include <QList>
#include <QObject>
#include <QString>

#include <array>
#include <vector>

class Clock;
class DeviceState;
class ScheduleState;
class SettingsStore;

// The schedule editor frmSchedule without its widgets: what the grid, the
// sliders and the buttons show, and what every click, slider move and timer
// tick does to the shared schedule table. Edits go straight into the table,
// so the runner uses them at its next tick; SAVE stores the table. Every
// change can be undone and redone; the history lives as long as the editor.
// While the schedule is locked the editor shows the table and changes
// nothing: every edit, row selection, undo, redo and SAVE is refused, and no
// row is selected.
class ScheduleEditor : public QObject
{
    Q_OBJECT

public:
    static constexpr int Rows = Schedule::Count;
    static constexpr int NoRow = Rows; // Option1(20): no row selected
    static constexpr int DayButtons = Rows * 7;
    static constexpr int HistoryLimit = 200; // undo steps kept

    // VScroll1(0..3). The top of a slider is its minimum; one step is 15 s.
    enum Slider { StartSlider, OnSlider, RepeatSlider, EndSlider };
    struct SliderRange {
        int minimum;
        int maximum;
        int arrowStep;
        int pageStep;
    };
    static constexpr std::array<SliderRange, 4> SliderRanges{{
        {-1, 5759, 1, 240}, // Start: Off, then up to 23:59:45; a page is an hour
        {0, 480, 1, 20},    // T-ON: up to 2 hours; a page is 5 minutes
        {0, 480, 1, 20},    // Repeat
        {-1, 5760, 1, 240}, // End: up to 24:00:00
    }};

    // The texts of one row: txtStart, txtTON, txtOFF, txtEnd, txtLogo and the
    // captions of its seven day buttons, Sunday first.
    struct RowCells {
        QString start;
        QString ton;
        QString off;
        QString end;
        QString logo;
        std::array<QString, 7> days;
        bool operator==(const RowCells &) const = default;
    };

    ScheduleEditor(DeviceState &deviceState, ScheduleState &scheduleState, SettingsStore &settings,
                   const Clock &clock, QObject *parent = nullptr);

    // A step count as a time cell shows it: "8:00:00 ", or "Off     " below 0.
    static QString StepsToText(int steps);

    // Opening: fills the cells from the table, runs one conflict scan and
    // leaves no row selected. close() ends the live highlight.
    void open();
    void fill();
    void close();

    // Row selection: the sliders take the row's values.
    void chooseRow(int row);

    // Slider `index` now stands at `value`: applies it to the selected row,
    // keeping Start < End and Repeat >= T-ON.
    void changeSlider(int index, int value);

    // A press or a double-click on a logo cell advances its logo.
    void pressLogo(int row);
    void doubleClickLogo(int row);
    void advanceLogo(int row);

    // Day button row * 7 + day.
    void toggleDay(int index);
    // 0 EXIT, 1 SAVE.
    void pressButton(int index);
    void save();

    // Every 500 ms: the clock, then the auto-scan countdown.
    void tick();
    void setAutoScan(bool ticked);
    void scanNow();
    void scanConflicts();

    // Takes back the last change, or makes it again: the table and the cells
    // as they were, then a conflict scan. Moves of one slider on one row, one
    // after another, are a single change. Nothing while the schedule is
    // locked.
    bool canUndo() const { return !locked() && !m_undo.empty(); }
    bool canRedo() const { return !locked() && !m_redo.empty(); }
    void undo();
    void redo();

    int selectedRow() const { return m_selectedRow; }
    bool setupInProgress() const { return m_setupInProgress; }
    bool logoClickBusy() const { return m_logoClickBusy; }
    bool editorOpen() const { return m_editorOpen; }
    int slider(int index) const { return m_sliders[static_cast<size_t>(index)]; }
    const RowCells &cells(int row) const { return m_cells[static_cast<size_t>(row)]; }
    // The row selectors, time, logo and day cells, the sliders and SAVE; all
    // disabled while the schedule is locked.
    bool controlsEnabled() const { return m_controlsEnabled; }
    // Locked when the editor was set up, or since.
    bool locked() const;
    bool lblLockedVisible() const { return m_lblLockedVisible; }
    bool autoScanTicked() const { return m_autoScan; }
    bool scanButtonEnabled() const { return m_cmdScanEnabled; }
    // Set while a scan runs; the Auto Scan box is green meanwhile.
    bool scanBusy() const { return m_scanBusy; }
    int scanCountdown() const { return m_scanCountdown; }
    const ConflictMarks &marks() const { return m_marks; }
    QString clockText() const { return m_clockText; }
    const Clock &clock() const { return m_clock; }

signals:
    void cellsChanged(int row);
    void selectionChanged(int row);
    void slidersChanged();
    // Enabled states, "LOCKED", the Auto Scan box and the scan button.
    void controlsChanged();
    // The day buttons (row * 7 + day) and logo cells whose marking changed.
    void marksChanged(const QList<int> &dayButtons, const QList<int> &logoRows);
    void scanningChanged(bool scanning);
    void clockChanged(const QString &text);
    void closeRequested();
    // SAVE stored the table in the settings file.
    void saved();
    // canUndo() or canRedo() may have changed.
    void historyChanged();
    // A step failed: shown in a message box with OK, titled with the
    // procedure's name.
    void failed(const QString &procedure, const QString &description);

private:
    // What an undo step puts back: the sequences' values, not the runner's
    // Running flags, and the cells as they showed them.
    struct RowState {
        int start;
        int end;
        int on;
        int repeat;
        int logo;
        std::array<bool, 7> days;
        bool operator==(const RowState &) const = default;
    };
    struct Snapshot {
        std::array<RowState, Rows> rows;
        std::array<RowCells, Rows> cells;
    };
    static constexpr int NoMerge = -1;

    ScheduleSequence &selected();
    // A user's action runs between these; the outermost pair records one
    // undo step if the table changed. Moves with the same merge key, one
    // after another, share a step.
    void beginChange();
    void endChange(int mergeKey = NoMerge);
    std::array<RowState, Rows> rowStates() const;
    Snapshot snapshot() const;
    void restore(const Snapshot &state);

    void selectRow(int row);
    // Moves a slider as the program does: a value it cannot show leaves it
    // where it is; a new value is applied as a slider move.
    void setSlider(int index, int value);
    void moveSlider(int index, int value);
    void applySlider(int index, int value);
    void setCell(QString &cell, const QString &text, int row);
    void fillRow(int row);

    DeviceState &m_deviceState;
    ScheduleState &m_scheduleState;
    SettingsStore &m_settings;
    const Clock &m_clock;

    int m_selectedRow = NoRow;
    bool m_setupInProgress = false;
    bool m_logoClickBusy = false;
    bool m_editorOpen = false;
    std::array<int, 4> m_sliders{};
    std::array<RowCells, Rows> m_cells{};
    bool m_controlsEnabled = true;
    bool m_lblLockedVisible = false;
    bool m_autoScan = false;
    bool m_cmdScanEnabled = true;
    bool m_scanBusy = false;
    int m_scanCountdown = 0;
    ConflictMarks m_marks{};
    QString m_clockText = QStringLiteral("00:00:00");

    std::vector<Snapshot> m_undo;
    std::vector<Snapshot> m_redo;
    int m_changeDepth = 0;
    Snapshot m_before{};
    int m_mergeKey = NoMerge;
};
