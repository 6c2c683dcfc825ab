// SPDX-License-Identifier: GPL-3.0-or-later
#include "scheduleeditor.h"

#include "device_link/clock.h"
#include "device_link/devicestate.h"
#include "scheduler/schedulestate.h"
#include "settings/settingsstore.h"

namespace {

const QString kOff = QStringLiteral("Off");
const QString kDaySet = QStringLiteral("x");

// "8:05:00": the hours without a leading zero.
QString timeText(long long hours, long long minutes, long long seconds)
{
    return QStringLiteral("%1:%2:%3")
        .arg(hours)
        .arg(minutes, 2, 10, QLatin1Char('0'))
        .arg(seconds, 2, 10, QLatin1Char('0'));
}

QString logoText(int logo)
{
    return logo == 0 ? kOff : QString::number(logo);
}

// The value a sequence gives slider `index`.
int sliderValue(const ScheduleSequence &s, int index)
{
    switch (index) {
    case ScheduleEditor::StartSlider:
        return s.Start;
    case ScheduleEditor::OnSlider:
        return s.OnSteps;
    case ScheduleEditor::RepeatSlider:
        return s.RepeatSteps;
    default:
        return s.End;
    }
}

} // namespace

ScheduleEditor::ScheduleEditor(DeviceState &deviceState, ScheduleState &scheduleState,
                               SettingsStore &settings, const Clock &clock, QObject *parent)
    : QObject(parent)
    , m_deviceState(deviceState)
    , m_scheduleState(scheduleState)
    , m_settings(settings)
    , m_clock(clock)
{
}

QString ScheduleEditor::StepsToText(int steps)
{
    if (steps < 0)
        return QStringLiteral("Off     ");
    const long long seconds = steps * 15LL;
    return timeText(seconds / 3600, seconds % 3600 / 60, seconds % 60) + QLatin1Char(' ');
}

// ---------------------------------------------------------------------------
// Opening and closing

void ScheduleEditor::open()
{
    m_setupInProgress = true;
    fill();
    selectRow(NoRow);
    m_editorOpen = true;
}

bool ScheduleEditor::locked() const
{
    return !m_controlsEnabled || m_scheduleState.locked;
}

void ScheduleEditor::fill()
{
    m_setupInProgress = true;
    const bool locked = m_scheduleState.locked;
    for (int row = 0; row < Rows; ++row)
        fillRow(row);
    m_controlsEnabled = !locked;
    m_lblLockedVisible = locked;
    if (locked) {
        selectRow(NoRow);
        // The Auto Scan box stays as it was created, unticked and usable.
        m_cmdScanEnabled = false;
    } else {
        m_autoScan = m_settings.value(QStringLiteral("AutoScan"), QStringLiteral("False")).trimmed()
                     == QStringLiteral("1");
        m_cmdScanEnabled = !m_autoScan;
    }
    emit controlsChanged();
    scanConflicts();
    m_setupInProgress = false;
}

void ScheduleEditor::fillRow(int row)
{
    const ScheduleSequence &s = m_scheduleState.schedule[row];
    RowCells &c = m_cells[static_cast<size_t>(row)];
    RowCells filled{StepsToText(s.Start), StepsToText(s.OnSteps), StepsToText(s.RepeatSteps),
                    StepsToText(s.End),   logoText(s.Logo),       {}};
    for (size_t k = 0; k < 7; ++k)
        filled.days[k] = s.Days[k] ? kDaySet : QString();
    if (filled.start == c.start && filled.ton == c.ton && filled.off == c.off && filled.end == c.end
        && filled.logo == c.logo && filled.days == c.days)
        return;
    c = filled;
    emit cellsChanged(row);
}

void ScheduleEditor::close()
{
    m_editorOpen = false;
}

// ---------------------------------------------------------------------------
// Row selection and sliders

ScheduleSequence &ScheduleEditor::selected()
{
    return m_scheduleState.schedule[m_selectedRow];
}

void ScheduleEditor::chooseRow(int row)
{
    if (locked()) {
        // The selector the user chose goes back to "none".
        emit selectionChanged(m_selectedRow);
        return;
    }
    selectRow(row);
}

void ScheduleEditor::selectRow(int row)
{
    if (row < 0 || row > NoRow)
        return;
    beginChange();
    if (m_selectedRow != row) {
        m_selectedRow = row;
        emit selectionChanged(row);
    }
    // Each slider takes the row's value as it stands when its turn comes, so
    // a correction made by an earlier slider is not undone by a later one.
    // No row selected shows a blank entry.
    const auto value
        = [this](int index) { return m_selectedRow == NoRow ? 0 : sliderValue(selected(), index); };
    for (int index : {StartSlider, OnSlider, RepeatSlider, EndSlider})
        setSlider(index, value(index));
    endChange();
}

void ScheduleEditor::setSlider(int index, int value)
{
    const SliderRange &range = SliderRanges[static_cast<size_t>(index)];
    if (value < range.minimum || value > range.maximum || value == slider(index))
        return;
    moveSlider(index, value);
}

void ScheduleEditor::setCell(QString &cell, const QString &text, int row)
{
    if (cell == text)
        return;
    cell = text;
    emit cellsChanged(row);
}

void ScheduleEditor::changeSlider(int index, int value)
{
    if (index < StartSlider || index > EndSlider)
        return;
    if (locked()) {
        // The slider goes back to where it was.
        emit slidersChanged();
        return;
    }
    moveSlider(index, value);
}

void ScheduleEditor::moveSlider(int index, int value)
{
    beginChange();
    const int mergeKey = m_selectedRow == NoRow ? NoMerge : m_selectedRow * 4 + index;
    applySlider(index, value);
    endChange(mergeKey);
}

void ScheduleEditor::applySlider(int index, int value)
{
    // Any slider movement postpones the next automatic scan.
    m_scanCountdown = 0;
    if (slider(index) != value) {
        m_sliders[static_cast<size_t>(index)] = value;
        emit slidersChanged();
    }
    if (m_selectedRow == NoRow)
        return;

    const int row = m_selectedRow;
    ScheduleSequence &s = selected();
    RowCells &c = m_cells[static_cast<size_t>(row)];
    switch (index) {
    case StartSlider:
        s.Start = value;
        if (value >= 0 && !m_setupInProgress) {
            setCell(c.start, StepsToText(value), row);
            if (!(s.Start < s.End))
                setSlider(EndSlider, value + 1);
        } else {
            setCell(c.start, StepsToText(-1), row);
        }
        break;
    case OnSlider:
        s.OnSteps = value;
        setCell(c.ton, StepsToText(value), row);
        if (!(s.RepeatSteps >= s.OnSteps))
            setSlider(RepeatSlider, value);
        break;
    case RepeatSlider:
        s.RepeatSteps = value;
        setCell(c.off, StepsToText(value), row);
        if (!(s.RepeatSteps >= s.OnSteps))
            setSlider(OnSlider, value);
        break;
    case EndSlider:
        s.End = value;
        if (value >= 0 && !m_setupInProgress) {
            setCell(c.end, StepsToText(value), row);
            if (!(s.Start < s.End))
                setSlider(StartSlider, value - 1);
        } else {
            // At the top the END cell is blank and the sequence goes off.
            setCell(c.end, QString(), row);
            if (s.End <= 0)
                setSlider(StartSlider, -1);
        }
        break;
    }
}

// ---------------------------------------------------------------------------
// Logo and day cells

void ScheduleEditor::pressLogo(int row)
{
    if (m_logoClickBusy)
        return;
    m_logoClickBusy = true;
    advanceLogo(row);
    m_logoClickBusy = false;
}

void ScheduleEditor::doubleClickLogo(int row)
{
    pressLogo(row);
}

void ScheduleEditor::advanceLogo(int row)
{
    if (row < 0 || row >= Rows || locked())
        return;
    beginChange();
    RowCells &c = m_cells[static_cast<size_t>(row)];
    // Off, 1, 2, ... up to the model's number of logo slots, then Off again.
    int n = c.logo == kOff ? 1 : c.logo.toInt() + 1;
    if (n > m_deviceState.modelNumber)
        n = 0;
    m_scheduleState.schedule[row].Logo = n;
    setCell(c.logo, logoText(n), row);
    selectRow(row);
    endChange();
}

void ScheduleEditor::toggleDay(int index)
{
    if (m_setupInProgress || index < 0 || index >= DayButtons || locked())
        return;
    const int row = index / 7;
    const auto day = static_cast<size_t>(index % 7);
    QString &caption = m_cells[static_cast<size_t>(row)].days[day];
    const bool set = caption.isEmpty();
    beginChange();
    m_scheduleState.schedule[row].Days[day] = set;
    setCell(caption, set ? kDaySet : QString(), row);
    endChange();
}

// ---------------------------------------------------------------------------
// Buttons and timer

void ScheduleEditor::pressButton(int index)
{
    if (index == 0)
        emit closeRequested();
    else if (index == 1)
        save();
}

void ScheduleEditor::save()
{
    if (locked())
        return;
    if (!m_scheduleState.schedule.save(m_settings))
        emit failed(QStringLiteral("Save_Settings"),
                    QStringLiteral("The schedule is not saved. %1.").arg(m_settings.writeProblem()));
    else
        emit saved();
}

void ScheduleEditor::tick()
{
    const QTime now = m_clock.now().time();
    const QString text = timeText(now.hour(), now.minute(), now.second());
    if (text != m_clockText) {
        m_clockText = text;
        emit clockChanged(text);
    }
    if (!m_autoScan)
        return;
    // A scan every fifth tick, counted from the last slider movement.
    if (m_scanCountdown < 4) {
        ++m_scanCountdown;
    } else {
        m_scanCountdown = 0;
        scanConflicts();
    }
}

void ScheduleEditor::setAutoScan(bool ticked)
{
    const bool changed = m_autoScan != ticked;
    m_autoScan = ticked;
    if (m_setupInProgress) {
        if (changed)
            emit controlsChanged();
        return;
    }
    m_cmdScanEnabled = !ticked;
    m_settings.setValue(QStringLiteral("AutoScan"), ticked ? QStringLiteral("1") : QStringLiteral("0"));
    emit controlsChanged();
}

void ScheduleEditor::scanNow()
{
    scanConflicts();
}

void ScheduleEditor::scanConflicts()
{
    if (m_scanBusy)
        return;
    m_scanBusy = true;
    emit scanningChanged(true);

    const ConflictMarks found = ConflictScan::scanConflicts(m_scheduleState.schedule);
    QList<int> dayButtons;
    QList<int> logoRows;
    for (size_t i = 0; i < static_cast<size_t>(Rows); ++i) {
        for (size_t k = 0; k < 7; ++k)
            if (found.days[i][k] != m_marks.days[i][k])
                dayButtons << static_cast<int>(i * 7 + k);
        if (found.logos[i] != m_marks.logos[i])
            logoRows << static_cast<int>(i);
    }
    m_marks = found;
    if (!dayButtons.isEmpty() || !logoRows.isEmpty())
        emit marksChanged(dayButtons, logoRows);

    m_scanBusy = false;
    emit scanningChanged(false);
}

// ---------------------------------------------------------------------------
// Undo and redo

std::array<ScheduleEditor::RowState, ScheduleEditor::Rows> ScheduleEditor::rowStates() const
{
    std::array<RowState, Rows> rows;
    for (int row = 0; row < Rows; ++row) {
        const ScheduleSequence &s = m_scheduleState.schedule[row];
        rows[static_cast<size_t>(row)] = {s.Start, s.End, s.OnSteps, s.RepeatSteps, s.Logo, s.Days};
    }
    return rows;
}

ScheduleEditor::Snapshot ScheduleEditor::snapshot() const
{
    return {rowStates(), m_cells};
}

void ScheduleEditor::beginChange()
{
    if (m_changeDepth++ == 0)
        m_before = snapshot();
}

void ScheduleEditor::endChange(int mergeKey)
{
    if (--m_changeDepth > 0)
        return;
    if (m_before.rows == rowStates()) {
        // Anything else between two moves ends the run.
        if (mergeKey != m_mergeKey)
            m_mergeKey = NoMerge;
        return;
    }
    const bool couldUndo = canUndo();
    const bool couldRedo = canRedo();
    if (mergeKey == NoMerge || mergeKey != m_mergeKey || m_undo.empty()) {
        m_undo.push_back(std::move(m_before));
        if (m_undo.size() > static_cast<size_t>(HistoryLimit))
            m_undo.erase(m_undo.begin());
    }
    m_redo.clear();
    m_mergeKey = mergeKey;
    if (couldUndo != canUndo() || couldRedo != canRedo())
        emit historyChanged();
}

void ScheduleEditor::undo()
{
    if (!canUndo() || m_changeDepth > 0)
        return;
    m_redo.push_back(snapshot());
    const Snapshot state = std::move(m_undo.back());
    m_undo.pop_back();
    restore(state);
    emit historyChanged();
}

void ScheduleEditor::redo()
{
    if (!canRedo() || m_changeDepth > 0)
        return;
    m_undo.push_back(snapshot());
    const Snapshot state = std::move(m_redo.back());
    m_redo.pop_back();
    restore(state);
    emit historyChanged();
}

void ScheduleEditor::restore(const Snapshot &state)
{
    for (int row = 0; row < Rows; ++row) {
        const auto n = static_cast<size_t>(row);
        const RowState &r = state.rows[n];
        ScheduleSequence &s = m_scheduleState.schedule[row];
        s.Start = r.start;
        s.End = r.end;
        s.OnSteps = r.on;
        s.RepeatSteps = r.repeat;
        s.Logo = r.logo;
        s.Days = r.days;
    }
    for (int row = 0; row < Rows; ++row) {
        const auto n = static_cast<size_t>(row);
        if (m_cells[n] != state.cells[n]) {
            m_cells[n] = state.cells[n];
            emit cellsChanged(row);
        }
    }
    // The sliders show the selected row as it now stands. Moving them through
    // changeSlider would apply the rules again, a change of its own.
    if (m_selectedRow != NoRow) {
        bool moved = false;
        for (int index : {StartSlider, OnSlider, RepeatSlider, EndSlider}) {
            const int value = sliderValue(selected(), index);
            const SliderRange &range = SliderRanges[static_cast<size_t>(index)];
            if (value < range.minimum || value > range.maximum || value == slider(index))
                continue;
            m_sliders[static_cast<size_t>(index)] = value;
            moved = true;
        }
        if (moved)
            emit slidersChanged();
    }
    m_mergeKey = NoMerge;
    // As after a slider move, the automatic scan waits; the marks follow now.
    m_scanCountdown = 0;
    scanConflicts();
}
