// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmschedule.h"

#include "device_link/clock.h"
#include "gui/frmhelpschedule.h"
#include "gui/frmsplash.h"
#include "gui/weektimelineview.h"
#include "session/quilloncore.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString kColumnHeader = QStringLiteral("START     T-ON     REPEAT     END     LOGO  S M T W T F S");
const QString kSliderHeader = QStringLiteral("Start  T-ON  Repeat  End");

const QColor kConflictDay(255, 128, 128);
const QColor kConflictLogo(255, 0, 0);
const QColor kHighlight(255, 255, 0);
const QColor kScanning(0, 255, 0);
const QColor kAutoScanText(255, 255, 255);
// The Auto Scan box sits on a dark strip so that its white text shows.
const QColor kAutoScanBack(48, 64, 80);

constexpr int Rows = ScheduleEditor::Rows;
constexpr int Margin = 8;
constexpr int CellGap = 4;

const Clock &systemClock()
{
    static const SystemClock clock;
    return clock;
}

template<typename T> T *at(std::array<T *, Rows> &cells, int row)
{
    return cells[static_cast<size_t>(row)];
}

void setColour(QWidget *widget, QPalette::ColorRole role, const QColor &colour)
{
    QPalette palette = widget->palette();
    if (palette.color(role) == colour)
        return;
    palette.setColor(role, colour);
    widget->setPalette(palette);
}

void setText(QLineEdit *cell, const QString &text)
{
    if (cell->text() != text)
        cell->setText(text);
}

// Where each blank-separated word of a text begins, in characters.
QList<qsizetype> wordStarts(const QString &text)
{
    QList<qsizetype> starts;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i] != QLatin1Char(' ') && (i == 0 || text[i - 1] == QLatin1Char(' ')))
            starts << i;
    return starts;
}

QLineEdit *makeCell(QWidget *parent, const QString &name)
{
    auto *cell = new QLineEdit(parent);
    cell->setObjectName(name);
    cell->setReadOnly(true);
    cell->setFocusPolicy(Qt::NoFocus);
    cell->setContextMenuPolicy(Qt::NoContextMenu);
    cell->setCursor(Qt::ArrowCursor);
    cell->setTextMargins(1, 0, 0, 0);
    return cell;
}

} // namespace

FrmSchedule::FrmSchedule(QuillonCore &core, QWidget *parent)
    : FrmSchedule(core, systemClock(), parent)
{
}

FrmSchedule::FrmSchedule(QuillonCore &core, const Clock &clock, QWidget *parent)
    : QDialog(parent)
    , m_core(core)
    , m_editor(core.deviceState, core.scheduleState, core.settings, clock)
{
    setObjectName(QStringLiteral("frmSchedule"));
    setWindowTitle(QStringLiteral("QX-1 and  QX-4 Take Scheduler"));
    setModal(true);

    auto *layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->setContentsMargins(0, 0, 0, Margin);
    layout->setSpacing(6);
    buildMenus();
    layout->menuBar()->setObjectName(QStringLiteral("menuBar"));
    layout->addWidget(buildGrid());
    m_weekTimeline = new WeekTimelineView(this);
    m_weekTimeline->setObjectName(QStringLiteral("weekTimeline"));
    m_weekTimeline->setContentsMargins(Margin, 0, Margin, 0);
    m_weekTimeline->setConflictColours(kConflictDay, kConflictLogo);
    m_weekTimeline->setSchedule(&core.scheduleState.schedule);
    layout->addWidget(m_weekTimeline);
    layout->addWidget(buildButtons());

    m_Timer1 = new QTimer(this);
    m_Timer1->setObjectName(QStringLiteral("Timer1"));
    m_Timer1->setInterval(500);
    wire();
    m_Timer1->start();

    m_editor.open();
    syncAll();
    m_core.runner.setEditorOpen(true);
}

FrmSchedule::~FrmSchedule()
{
    Form_Unload();
}

// ---------------------------------------------------------------------------
// Construction

void FrmSchedule::buildMenus()
{
    auto *bar = new QMenuBar(this);
    layout()->setMenuBar(bar);
    QMenu *file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    QAction *exit = file->addAction(QStringLiteral("E&xit"));
    exit->setObjectName(QStringLiteral("mnuExit"));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu *edit = bar->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("mnuEdit"));
    m_mnuUndo = edit->addAction(QStringLiteral("&Undo"));
    m_mnuUndo->setObjectName(QStringLiteral("mnuUndo"));
    m_mnuUndo->setShortcuts(QKeySequence::Undo);
    m_mnuRedo = edit->addAction(QStringLiteral("&Redo"));
    m_mnuRedo->setObjectName(QStringLiteral("mnuRedo"));
    // Ctrl+Y as well as the desktop's own keys.
    QList<QKeySequence> redoKeys = QKeySequence::keyBindings(QKeySequence::Redo);
    const QKeySequence ctrlY(Qt::CTRL | Qt::Key_Y);
    if (!redoKeys.contains(ctrlY))
        redoKeys << ctrlY;
    m_mnuRedo->setShortcuts(redoKeys);

    QMenu *help = bar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    QAction *helpPages = help->addAction(QStringLiteral("&Help"));
    helpPages->setObjectName(QStringLiteral("mnuHelp2"));
    connect(helpPages, &QAction::triggered, this, &FrmSchedule::mnuHelp2_Click);
    QAction *about = help->addAction(QStringLiteral("&About"));
    about->setObjectName(QStringLiteral("mnuAbout"));
    connect(about, &QAction::triggered, this, &FrmSchedule::mnuAbout_Click);
}

// The sliders with their header, then the grid under its column header. The
// column header is one line of fixed-pitch text; the columns are placed
// under its words, so the grid lines up with it at any font size.
QWidget *FrmSchedule::buildGrid()
{
    auto *grid = new QWidget(this);
    grid->setObjectName(QStringLiteral("grid"));

    const QFontMetrics body(font());
    const int rowHeight = std::max(22, body.height() + 8);
    const int cellHeight = rowHeight - 2;

    // A day button is two header characters wide: the header font grows
    // until that makes a comfortable button.
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(body.height());
    mono.setBold(true);
    const int dayTarget = rowHeight - 4;
    while (QFontMetrics(mono).horizontalAdvance(QStringLiteral("MM")) < dayTarget)
        mono.setPixelSize(mono.pixelSize() + 1);
    const QFontMetrics header(mono);
    const int headerHeight = std::max(header.height(), body.height()) + 6;
    const int top = headerHeight;

    // Sliders, each under the middle of its word.
    auto *label3 = new QLabel(kSliderHeader, grid);
    label3->setObjectName(QStringLiteral("Label3"));
    label3->setTextFormat(Qt::PlainText);
    const int label3Width = body.horizontalAdvance(kSliderHeader) + 2;
    label3->setGeometry(Margin, 0, label3Width, headerHeight);
    label3->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    const int barWidth = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const QList<qsizetype> sliderWords = wordStarts(kSliderHeader);
    for (int i = 0; i < 4; ++i) {
        const auto n = static_cast<size_t>(i);
        const ScheduleEditor::SliderRange &range = ScheduleEditor::SliderRanges[n];
        auto *bar = new QScrollBar(Qt::Vertical, grid);
        bar->setObjectName(QStringLiteral("VScroll1_%1").arg(i));
        bar->setRange(range.minimum, range.maximum);
        bar->setSingleStep(range.arrowStep);
        bar->setPageStep(range.pageStep);
        bar->setValue(0);
        const qsizetype start = sliderWords.value(i);
        const qsizetype end = kSliderHeader.indexOf(QLatin1Char(' '), start);
        const QString word = kSliderHeader.mid(start, end < 0 ? -1 : end - start);
        const int centre
            = body.horizontalAdvance(kSliderHeader.left(start)) + body.horizontalAdvance(word) / 2;
        bar->setGeometry(Margin + centre - barWidth / 2, top, barWidth, Rows * rowHeight - 2);
        m_VScroll1[n] = bar;
    }

    // Row selectors.
    const int gridLeft = Margin + label3Width + 14;
    const int radioWidth = style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, this) + 8;
    m_rowGroup = new QButtonGroup(grid);
    for (int i = 0; i <= Rows; ++i) {
        auto *option = new QRadioButton(grid);
        option->setObjectName(QStringLiteral("Option1_%1").arg(i));
        m_rowGroup->addButton(option, i);
        m_Option1[static_cast<size_t>(i)] = option;
        if (i == Rows) {
            // Stands for "no row selected"; never offered.
            option->hide();
            continue;
        }
        option->setGeometry(gridLeft, top + i * rowHeight, radioWidth, cellHeight);
        option->setToolTip(QStringLiteral("Sequence %1").arg(i + 1));
    }

    // Column header and the columns under its words.
    const int columnsLeft = gridLeft + radioWidth;
    auto *label1 = new QLabel(kColumnHeader, grid);
    label1->setObjectName(QStringLiteral("Label1"));
    label1->setTextFormat(Qt::PlainText);
    label1->setFont(mono);
    const int headerWidth = header.horizontalAdvance(kColumnHeader);
    label1->setGeometry(columnsLeft, 0, headerWidth + 2, headerHeight);
    label1->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    label1->setContentsMargins(0, 0, 0, 0);
    label1->setIndent(0);

    const QList<qsizetype> words = wordStarts(kColumnHeader); // 5 cell columns, 7 days
    const auto x = [&](qsizetype character) {
        return columnsLeft + header.horizontalAdvance(kColumnHeader.left(character));
    };
    const int charWidth = header.horizontalAdvance(QLatin1Char(' '));
    const int dayPitch = x(words[6]) - x(words[5]);
    const int dayWidth = dayPitch - 2;

    const std::array<std::array<QLineEdit *, Rows> *, 5> columns{&m_txtStart, &m_txtTON, &m_txtOFF, &m_txtEnd,
                                                                 &m_txtLogo};
    const std::array<QString, 5> names{QStringLiteral("txtStart"), QStringLiteral("txtTON"),
                                       QStringLiteral("txtOFF"), QStringLiteral("txtEnd"),
                                       QStringLiteral("txtLogo")};
    for (int i = 0; i < Rows; ++i) {
        const int y = top + i * rowHeight;
        for (size_t c = 0; c < columns.size(); ++c) {
            QLineEdit *cell = makeCell(grid, QStringLiteral("%1_%2").arg(names[c]).arg(i));
            const int left = x(words[static_cast<qsizetype>(c)]);
            // The logo cell stops half a character short, where the first
            // day button (centred on its letter) begins.
            int right = x(words[static_cast<qsizetype>(c) + 1]) - CellGap;
            if (c == 4)
                right = x(words[5]) + charWidth / 2 - dayWidth / 2 - CellGap;
            cell->setGeometry(left, y, right - left, cellHeight);
            cell->installEventFilter(this);
            (*columns[c])[static_cast<size_t>(i)] = cell;
        }
        at(m_txtLogo, i)->setAlignment(Qt::AlignCenter);
        at(m_txtLogo, i)->setToolTip(QStringLiteral("Click to choose the next logo"));
        for (int k = 0; k < 7; ++k) {
            const int index = i * 7 + k;
            auto *button = new QPushButton(grid);
            button->setObjectName(QStringLiteral("Command1_%1").arg(index));
            button->setFocusPolicy(Qt::NoFocus);
            const int centre = x(words[5 + k]) + charWidth / 2;
            button->setGeometry(centre - dayWidth / 2, y, dayWidth, cellHeight);
            m_Command1[static_cast<size_t>(index)] = button;
        }
    }

    const int right = std::max(x(kColumnHeader.size()), x(words[11]) + charWidth / 2 + dayWidth / 2);
    grid->setFixedSize(right + Margin, top + Rows * rowHeight + 2);
    return grid;
}

QWidget *FrmSchedule::buildButtons()
{
    auto *strip = new QWidget(this);
    auto *row = new QHBoxLayout(strip);
    row->setContentsMargins(Margin, 0, Margin, 0);
    row->setSpacing(8);

    auto *autoScanBack = new QWidget(strip);
    autoScanBack->setAutoFillBackground(true);
    setColour(autoScanBack, QPalette::Window, kAutoScanBack);
    auto *autoScanLayout = new QHBoxLayout(autoScanBack);
    autoScanLayout->setContentsMargins(6, 3, 8, 3);
    m_chkAutoScan = new QCheckBox(QStringLiteral("Auto Scan"), autoScanBack);
    m_chkAutoScan->setObjectName(QStringLiteral("chkAutoScan"));
    setColour(m_chkAutoScan, QPalette::WindowText, kAutoScanText);
    autoScanLayout->addWidget(m_chkAutoScan);
    row->addWidget(autoScanBack);

    m_cmdScan = new QPushButton(QStringLiteral("Scan for Conflicts"), strip);
    m_cmdScan->setObjectName(QStringLiteral("cmdScan"));
    row->addWidget(m_cmdScan);
    row->addStretch(1);

    auto *label12 = new QLabel(QStringLiteral("Current Time"), strip);
    label12->setObjectName(QStringLiteral("Label12"));
    row->addWidget(label12);
    m_lblCurrentTime = new QLabel(QStringLiteral("00:00:00"), strip);
    m_lblCurrentTime->setObjectName(QStringLiteral("lblCurrentTime"));
    QFont bold = m_lblCurrentTime->font();
    bold.setBold(true);
    m_lblCurrentTime->setFont(bold);
    m_lblCurrentTime->setMinimumWidth(QFontMetrics(bold).horizontalAdvance(QStringLiteral("00:00:00")) + 4);
    row->addWidget(m_lblCurrentTime);
    row->addStretch(1);

    m_lblLocked = new QLabel(QStringLiteral("LOCKED"), strip);
    m_lblLocked->setObjectName(QStringLiteral("lblLocked"));
    m_lblLocked->setFont(bold);
    setColour(m_lblLocked, QPalette::WindowText, kConflictLogo);
    // Keeps its place when hidden, so the buttons do not move.
    QSizePolicy keep = m_lblLocked->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    m_lblLocked->setSizePolicy(keep);
    row->addWidget(m_lblLocked);
    row->addStretch(1);

    const std::array<QString, 2> captions{QStringLiteral("EXIT"), QStringLiteral("SAVE")};
    for (size_t i = 0; i < captions.size(); ++i) {
        m_cmdButtons[i] = new QPushButton(captions[i], strip);
        m_cmdButtons[i]->setObjectName(QStringLiteral("cmdButtons_%1").arg(i));
        m_cmdButtons[i]->setAutoDefault(false);
    }
    row->addWidget(m_cmdButtons[1]);
    row->addWidget(m_cmdButtons[0]);
    return strip;
}

void FrmSchedule::wire()
{
    ScheduleEditor &e = m_editor;
    connect(m_rowGroup, &QButtonGroup::idClicked, &e, &ScheduleEditor::chooseRow);
    for (int i = 0; i < 4; ++i)
        connect(m_VScroll1[static_cast<size_t>(i)], &QScrollBar::valueChanged, &e,
                [&e, i](int value) { e.changeSlider(i, value); });
    for (int index = 0; index < ScheduleEditor::DayButtons; ++index)
        connect(m_Command1[static_cast<size_t>(index)], &QPushButton::clicked, &e,
                [&e, index] { e.toggleDay(index); });
    for (int i = 0; i < 2; ++i)
        connect(m_cmdButtons[static_cast<size_t>(i)], &QPushButton::clicked, &e,
                [&e, i] { e.pressButton(i); });
    connect(m_chkAutoScan, &QCheckBox::clicked, &e, &ScheduleEditor::setAutoScan);
    connect(m_cmdScan, &QPushButton::clicked, &e, &ScheduleEditor::scanNow);
    connect(m_Timer1, &QTimer::timeout, &e, &ScheduleEditor::tick);
    connect(m_mnuUndo, &QAction::triggered, &e, &ScheduleEditor::undo);
    connect(m_mnuRedo, &QAction::triggered, &e, &ScheduleEditor::redo);

    connect(&e, &ScheduleEditor::cellsChanged, this, &FrmSchedule::syncRow);
    connect(&e, &ScheduleEditor::selectionChanged, this, &FrmSchedule::syncSelection);
    connect(&e, &ScheduleEditor::slidersChanged, this, &FrmSchedule::syncSliders);
    connect(&e, &ScheduleEditor::controlsChanged, this, &FrmSchedule::syncControls);
    connect(&e, &ScheduleEditor::marksChanged, this, [this](const QList<int> &days, const QList<int> &logos) {
        for (int index : days)
            paintDay(index);
        for (int row : logos)
            paintLogo(row);
    });
    connect(&e, &ScheduleEditor::scanningChanged, this, &FrmSchedule::paintScanning);
    connect(&e, &ScheduleEditor::clockChanged, m_lblCurrentTime, &QLabel::setText);
    connect(&e, &ScheduleEditor::closeRequested, this, &QWidget::close);
    connect(&e, &ScheduleEditor::failed, this, &FrmSchedule::showFailure);
    connect(&m_core.runner, &ScheduleRunner::highlightChanged, this, &FrmSchedule::paintHighlight);

    connect(&e, &ScheduleEditor::historyChanged, this, &FrmSchedule::syncHistory);
    connect(&e, &ScheduleEditor::controlsChanged, this, &FrmSchedule::syncHistory);
    WeekTimelineView *week = m_weekTimeline;
    connect(&e, &ScheduleEditor::cellsChanged, week, &WeekTimelineView::scheduleChanged);
    connect(&e, &ScheduleEditor::marksChanged, week, &WeekTimelineView::scheduleChanged);
    connect(&e, &ScheduleEditor::slidersChanged, week, &WeekTimelineView::scheduleChanged);
    connect(m_Timer1, &QTimer::timeout, week, [week, &e] { week->setNow(e.clock().now()); });
}

// ---------------------------------------------------------------------------
// Handlers

bool FrmSchedule::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    const bool mouse = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease
                       || type == QEvent::MouseButtonDblClick || type == QEvent::MouseMove;
    if (!mouse)
        return QDialog::eventFilter(watched, event);
    for (int i = 0; i < Rows; ++i) {
        if (watched == at(m_txtLogo, i)) {
            if (type == QEvent::MouseButtonPress)
                m_editor.pressLogo(i);
            else if (type == QEvent::MouseButtonDblClick)
                m_editor.doubleClickLogo(i);
            return true;
        }
        for (QLineEdit *cell : {at(m_txtStart, i), at(m_txtTON, i), at(m_txtOFF, i), at(m_txtEnd, i)}) {
            if (watched != cell)
                continue;
            // A click: let go over the cell it was pressed on.
            const auto *press = static_cast<QMouseEvent *>(event);
            if (type == QEvent::MouseButtonRelease && press->button() == Qt::LeftButton
                && cell->rect().contains(press->position().toPoint()))
                m_editor.chooseRow(i);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void FrmSchedule::mnuHelp2_Click()
{
    FrmHelpSchedule help(this);
    help.exec();
}

void FrmSchedule::mnuAbout_Click()
{
    FrmSplash about(FrmSplash::Role::About, this);
    about.exec();
}

void FrmSchedule::showFailure(const QString &procedure, const QString &description)
{
    if (m_messageBoxHook)
        m_messageBoxHook(procedure, description);
    else
        QMessageBox::warning(this, procedure, description, QMessageBox::Ok);
}

void FrmSchedule::done(int result)
{
    Form_Unload();
    QDialog::done(result);
}

void FrmSchedule::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_Timer1->stop();
    m_editor.close();
    m_core.runner.setEditorOpen(false);
}

// ---------------------------------------------------------------------------
// Drawing

void FrmSchedule::syncAll()
{
    for (int i = 0; i < Rows; ++i) {
        syncRow(i);
        paintLogo(i);
        paintHighlight(i);
        for (int k = 0; k < 7; ++k)
            paintDay(i * 7 + k);
    }
    syncSelection(m_editor.selectedRow());
    syncSliders();
    syncControls();
    paintScanning(m_editor.scanBusy());
    m_lblCurrentTime->setText(m_editor.clockText());
    syncHistory();
    m_weekTimeline->setNow(m_editor.clock().now());
}

void FrmSchedule::syncRow(int row)
{
    const ScheduleEditor::RowCells &c = m_editor.cells(row);
    setText(at(m_txtStart, row), c.start);
    setText(at(m_txtTON, row), c.ton);
    setText(at(m_txtOFF, row), c.off);
    setText(at(m_txtEnd, row), c.end);
    setText(at(m_txtLogo, row), c.logo);
    for (size_t k = 0; k < 7; ++k) {
        QPushButton *button = m_Command1[static_cast<size_t>(row) * 7 + k];
        if (button->text() != c.days[k])
            button->setText(c.days[k]);
    }
}

void FrmSchedule::syncSelection(int row)
{
    QRadioButton *option = m_Option1[static_cast<size_t>(std::clamp(row, 0, Rows))];
    QSignalBlocker block(m_rowGroup);
    option->setChecked(true);
}

void FrmSchedule::syncSliders()
{
    for (int i = 0; i < 4; ++i) {
        QScrollBar *bar = m_VScroll1[static_cast<size_t>(i)];
        if (bar->value() == m_editor.slider(i))
            continue;
        QSignalBlocker block(bar);
        bar->setValue(m_editor.slider(i));
    }
}

void FrmSchedule::syncControls()
{
    const bool enabled = m_editor.controlsEnabled();
    for (int i = 0; i < Rows; ++i) {
        m_Option1[static_cast<size_t>(i)]->setEnabled(enabled);
        for (auto *column : {&m_txtStart, &m_txtTON, &m_txtOFF, &m_txtEnd, &m_txtLogo})
            at(*column, i)->setEnabled(enabled);
        for (size_t k = 0; k < 7; ++k)
            m_Command1[static_cast<size_t>(i) * 7 + k]->setEnabled(enabled);
    }
    for (QScrollBar *bar : m_VScroll1)
        bar->setEnabled(enabled);
    m_cmdButtons[1]->setEnabled(enabled);
    m_lblLocked->setVisible(m_editor.lblLockedVisible());
    {
        QSignalBlocker block(m_chkAutoScan);
        m_chkAutoScan->setChecked(m_editor.autoScanTicked());
    }
    m_cmdScan->setEnabled(m_editor.scanButtonEnabled());
}

void FrmSchedule::syncHistory()
{
    m_mnuUndo->setEnabled(m_editor.canUndo());
    m_mnuRedo->setEnabled(m_editor.canRedo());
}

void FrmSchedule::paintDay(int index)
{
    const auto &days = m_editor.marks().days[static_cast<size_t>(index / 7)];
    const bool conflict = days[static_cast<size_t>(index % 7)];
    setColour(m_Command1[static_cast<size_t>(index)], QPalette::Button,
              conflict ? kConflictDay : QApplication::palette().color(QPalette::HighlightedText));
}

void FrmSchedule::paintLogo(int row)
{
    const bool conflict = m_editor.marks().logos[static_cast<size_t>(row)];
    setColour(at(m_txtLogo, row), QPalette::Text,
              conflict ? kConflictLogo : QApplication::palette().color(QPalette::WindowText));
}

void FrmSchedule::paintHighlight(int row)
{
    if (row < 0 || row >= Rows)
        return;
    using Highlight = ScheduleRunner::Highlight;
    // Only a running schedule is highlighted: the runner keeps what it
    // painted last after it stops, and the editor may open long after.
    const Highlight h = m_core.scheduleState.on ? m_core.runner.highlight(row) : Highlight::None;
    const QColor normal = QApplication::palette().color(QPalette::Base);
    setColour(at(m_txtTON, row), QPalette::Base, h == Highlight::OnTime ? kHighlight : normal);
    setColour(at(m_txtOFF, row), QPalette::Base, h == Highlight::RepeatTime ? kHighlight : normal);
}

void FrmSchedule::paintScanning(bool scanning)
{
    setColour(m_chkAutoScan, QPalette::WindowText, scanning ? kScanning : kAutoScanText);
    // The scan holds the window; show the green at once.
    if (scanning && m_chkAutoScan->isVisible())
        m_chkAutoScan->repaint();
}
