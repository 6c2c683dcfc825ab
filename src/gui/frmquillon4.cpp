// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmquillon4.h"

#include "control/controlserver.h"
#include "control/remoteline.h"
#include "device_link/clock.h"
#include "device_link/commandtable.h"
#include "gui/errorpanel.h"
#include "gui/filechooser.h"
#include "gui/frmenterdata.h"
#include "gui/frmimportimage.h"
#include "gui/frmschedule.h"
#include "gui/frmsplash.h"
#include "gui/frmtraffic.h"
#include "gui/logoview.h"
#include "gui/manuallauncher.h"
#include "gui/twips.h"
#include "scheduler/asrunlog.h"
#include "scheduler/nextswitch.h"
#include "session/linktimers.h"
#include "settings/settingsstore.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int WindowWidthTwips = 10500;
const QColor kGreen(0, 255, 0);
const QColor kRed(255, 0, 0);
const QColor kCyan(0, 255, 255);

// Command texts carry raw bytes; show the control characters as their
// visible symbols so a NUL or a CR can be seen in the send line.
QString visibleText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (u < 0x20)
            out += QChar(0x2400 + u);
        else if (u == 0x7F)
            out += QChar(0x2421);
        else
            out += c;
    }
    return out;
}

void setBackground(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    const QColor fill = colour.isValid() ? colour : QApplication::palette().color(QPalette::Button);
    palette.setColor(QPalette::Button, fill);
    palette.setColor(QPalette::Base,
                     colour.isValid() ? colour : QApplication::palette().color(QPalette::Base));
    palette.setColor(QPalette::Window,
                     colour.isValid() ? colour : QApplication::palette().color(QPalette::Window));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

// The on-air mark of a logo the schedule holds on: a filled red dot.
QIcon onAirIcon()
{
    static const QIcon icon = [] {
        QPixmap dot(12, 12);
        dot.fill(Qt::transparent);
        QPainter painter(&dot);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(QColor(255, 0, 0));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(1, 1, 10, 10);
        return QIcon(dot);
    }();
    return icon;
}

QScrollBar *makeSlider(QWidget *parent, const char *name, int min, int max, int large, int value)
{
    auto *bar = new QScrollBar(Qt::Horizontal, parent);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setRange(min, max);
    bar->setSingleStep(1);
    bar->setPageStep(large);
    bar->setValue(value);
    bar->setMinimumWidth(150);
    return bar;
}

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

QAction *addEntry(QMenu *menu, const char *name, const QString &caption)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

} // namespace

FrmQuillon4::FrmQuillon4(SettingsStore &settings, SerialPort &port, const Clock &clock,
                         const Options &options, QWidget *parent)
    : QMainWindow(parent)
    , m_core(settings, port, clock)
    , m_clock(clock)
    , m_traffic(m_core.link, clock)
    , m_options(options)
    , m_dialogs(std::make_unique<DialogFileChooser>())
    , m_diag(m_core.deviceState, m_window, m_core.reporter, settings, m_core.ops)
    , m_enterData(std::make_unique<DialogPrompter>(this))
{
    m_chooser = m_dialogs.get();
    m_diag.setPrompter(m_enterData.get());
    setObjectName(QStringLiteral("frmQuillon4"));
    setWindowTitle(QStringLiteral("Quillon"));
    buildMenus();
    buildCentral();
    m_frameError = new ErrorPanel(m_core.reporter, this);
    buildTimers(options.startTimers);
    wireControls();

    connect(&m_core.deviceState, &DeviceState::changed, this, &FrmQuillon4::sync);
    connect(&m_core.logoState, &LogoState::changed, this, &FrmQuillon4::sync);
    connect(&m_core.panelState, &PanelState::changed, this, &FrmQuillon4::sync);
    connect(&m_core.scheduleState, &ScheduleState::changed, this, &FrmQuillon4::sync);
    connect(&m_core.reporter, &Reporter::changed, this, &FrmQuillon4::syncStrips);
    connect(&m_core.link, &DeviceLink::beepRequested, this, [] { QApplication::beep(); });
    buildControlEndpoint();

    if (options.showSplash && options.startTimers)
        m_tmrSplash->start();
    m_core.startup.start(options.arguments);
    m_window.apply(m_core.startup.menuOptions());
    m_timers->armSchedule();
    applyHeight();
    sync();
}

FrmQuillon4::~FrmQuillon4()
{
    // The traffic window uses the recorder, which goes before the children.
    delete m_frmTraffic;
    Form_Unload();
    // The endpoint and the attachment follow the core, which goes before
    // the children.
    delete m_control;
    delete m_remote;
}

// ---------------------------------------------------------------------------
// Construction

void FrmQuillon4::buildMenus()
{
    QMenuBar *bar = menuBar();

    m_mnuFile = bar->addMenu(QStringLiteral("&File"));
    m_mnuOpenLogoFile = addEntry(m_mnuFile, "mnuOpenLogoFile", QStringLiteral("&Open Logo File"));
    m_mnuImportImage = addEntry(m_mnuFile, "mnuImportImage", QStringLiteral("&Import Image\u2026"));
    for (size_t i = 0; i < m_mnuRecentFile.size(); ++i) {
        m_mnuRecentFile[i] = m_mnuFile->addAction(QStringLiteral("RecentFile%1").arg(i));
        m_mnuRecentFile[i]->setObjectName(QStringLiteral("mnuRecentFile%1").arg(i));
        m_mnuRecentFile[i]->setVisible(false);
    }
    m_mnuFile->addSeparator();
    m_mnuDownloadLogotoRam
        = addEntry(m_mnuFile, "mnuDownloadLogotoRam", QStringLiteral("&Download Logo to RAM"));
    m_mnuSaveLogoinNVRAM = addEntry(m_mnuFile, "mnuSaveLogoinNVRAM", QStringLiteral("Save &Logo in NVRAM"));
    m_mnuUpLoadLogo = addEntry(m_mnuFile, "mnuUpLoadLogo", QStringLiteral("&Upload Selected Logo From QX-4"));
    m_mnuSaveLogoDisk
        = addEntry(m_mnuFile, "mnuSaveLogoDisk", QStringLiteral("Save Logo to .QX1 DOS Dis&k File"));
    m_mnuSaveCurrentSettings
        = addEntry(m_mnuFile, "mnuSaveCurrentSettings", QStringLiteral("Save Current &Settings in QX NVRAM"));
    m_mnuPaintBrush = addEntry(m_mnuFile, "mnuPaintBrush", QStringLiteral("&PaintBrush"));
    m_mnuFile->addSeparator();
    m_mnuPanelLock = addEntry(m_mnuFile, "mnuPanelLock", QStringLiteral("Front Panel &Lock"));
    m_mnuPanelLock->setCheckable(true);
    m_mnuFile->addSeparator();
    m_mnuExit = addEntry(m_mnuFile, "mnuExit", QStringLiteral("E&xit"));

    m_mnuCom = bar->addMenu(QStringLiteral("&Com"));
    m_mnuCom->setObjectName(QStringLiteral("mnuCom"));
    m_mnuCOMsel[0] = addEntry(m_mnuCom, "mnuCOMsel0", QStringLiteral("&Search for Com Ports"));
    m_mnuCom->addSeparator();
    for (size_t i = 1; i < m_mnuCOMsel.size(); ++i) {
        m_mnuCOMsel[i]
            = m_mnuCom->addAction(QStringLiteral("COM&%1").arg(QChar(u'A' + static_cast<char16_t>(i - 1))));
        m_mnuCOMsel[i]->setObjectName(QStringLiteral("mnuCOMsel%1").arg(i));
        m_mnuCOMsel[i]->setCheckable(true);
        m_mnuCOMsel[i]->setVisible(false);
    }

    m_mnuLogo = bar->addMenu(QStringLiteral("&Logo"));
    for (int i = 1; i <= LogoState::MaxSlots; ++i) {
        const QString caption = i <= 9 ? QStringLiteral("Logo&%1").arg(i) : QStringLiteral("Logo%1").arg(i);
        QAction *action = m_mnuLogo->addAction(caption);
        action->setObjectName(QStringLiteral("mnuLogoSel%1").arg(i));
        action->setCheckable(true);
        m_mnuLogoSel[static_cast<size_t>(i)] = action;
    }

    m_mnuType = bar->addMenu(QStringLiteral("QX &Type"));
    for (int index : DeviceState::ModelIndexes) {
        const QString caption
            = index == 0 ? QStringLiteral("AutoSelect QX Type") : QStringLiteral("Set as QX-%1").arg(index);
        QAction *action = m_mnuType->addAction(caption);
        action->setObjectName(QStringLiteral("mnuSetQXx%1").arg(index));
        action->setCheckable(true);
        m_mnuSetQXx[static_cast<size_t>(index)] = action;
        if (index == 0)
            m_mnuType->addSeparator();
    }

    m_mnuShow = bar->addMenu(QStringLiteral("S&how"));
    const std::array<QString, 3> showCaptions{QStringLiteral("Show Intensity"), QStringLiteral("Show Mix"),
                                              QStringLiteral("Show Fade")};
    for (size_t i = 0; i < showCaptions.size(); ++i) {
        m_mnuShowMode[i] = m_mnuShow->addAction(showCaptions[i]);
        m_mnuShowMode[i]->setObjectName(QStringLiteral("mnuShowMode%1").arg(i));
        m_mnuShowMode[i]->setCheckable(true);
    }

    m_mnuZoom = bar->addMenu(QStringLiteral("&Zoom"));
    m_mnuZoomOff = addEntry(m_mnuZoom, "mnuZoomOff", QStringLiteral("Off"));
    m_mnuZoomOn = addEntry(m_mnuZoom, "mnuZoomOn", QStringLiteral("On"));
    m_mnuZoomOff->setCheckable(true);
    m_mnuZoomOn->setCheckable(true);

    m_mnuSchedule = bar->addMenu(QStringLiteral("&Schedule"));
    m_mnuScheduleView = addEntry(m_mnuSchedule, "mnuScheduleEdit0", QStringLiteral("Schedule &View"));
    m_mnuScheduleLock = addEntry(m_mnuSchedule, "mnuScheduleEdit1", QStringLiteral("Schedule &Lock"));
    m_mnuScheduleLock->setCheckable(true);
    m_mnuScheduleOnOff = addEntry(m_mnuSchedule, "mnuScheduleOnOff", QStringLiteral("Scheduler O&N/OFF"));
    m_mnuScheduleOnOff->setCheckable(true);
    m_mnuScheduleRestore
        = addEntry(m_mnuSchedule, "mnuScheduleRestore", QStringLiteral("&Restore After Line Loss"));
    m_mnuScheduleRestore->setCheckable(true);
    m_mnuScheduleRestore->setToolTip(
        QStringLiteral("When the line comes back or the generator answers again, put the logo and TAKE "
                       "back to what the schedule holds"));
    m_mnuSchedule->addSeparator();
    m_mnuAsRunLog = addEntry(m_mnuSchedule, "mnuAsRunLog", QStringLiteral("&As-Run Log..."));

    m_mnuDiag = bar->addMenu(QStringLiteral("Diag"));
    m_mnuDiag->setObjectName(QStringLiteral("mnuDiag"));
    for (const CommandInfo &info : CommandTable::all()) {
        if (!info.diagCaption)
            continue;
        QAction *action = m_mnuDiag->addAction(QString::fromLatin1(info.diagCaption));
        action->setObjectName(QStringLiteral("mnuDiagSub%1").arg(info.number));
        m_mnuDiagSub[static_cast<size_t>(info.number)] = action;
    }
    m_mnuDiagSub[CommandTable::ShowDialog]->setCheckable(true);
    m_mnuDiag->addSeparator();
    m_mnuTrafficLog = addEntry(m_mnuDiag, "mnuTrafficLog", QStringLiteral("&Traffic Log..."));

    m_mnuNode = bar->addMenu(QStringLiteral("&Node"));
    m_mnuNode->setObjectName(QStringLiteral("mnuNode"));
    m_mnuWakeUpNode = addEntry(m_mnuNode, "mnuWakeUpNode", QStringLiteral("Wake-Up &Node"));
    m_mnuWakeUpAllNodes = addEntry(m_mnuNode, "mnuWakeUpAllNodes", QStringLiteral("Wake-Up QX"));
    m_mnuAllNodesSleep = addEntry(m_mnuNode, "mnuAllNodesSleep", QStringLiteral("Put QX to &Sleep"));
    m_mnuSetIDtoCurrentNode = addEntry(m_mnuNode, "mnuSetIDtoCurrentNode", QStringLiteral("Change Node &ID"));

    m_mnuHelp = bar->addMenu(QStringLiteral("&Help"));
    m_mnuDiagTools = addEntry(m_mnuHelp, "mnuDiagTools", QStringLiteral("&Diagnostic Tools"));
    m_mnuDiagTools->setCheckable(true);
    m_mnuCopyright = addEntry(m_mnuHelp, "mnuCopyright", QStringLiteral("&Quillon Copyright"));
    m_mnuHelp->addSeparator();
    m_mnuManual = addEntry(m_mnuHelp, "mnuManual", QStringLiteral("&Manual"));
    m_mnuAbout = addEntry(m_mnuHelp, "mnuAbout", QStringLiteral("&About Quillon"));
}

void FrmQuillon4::buildCentral()
{
    auto *central = new QWidget(this);
    auto *outer = new QVBoxLayout(central);
    outer->setContentsMargins(6, 4, 6, 2);
    outer->setSpacing(3);

    auto *top = new QHBoxLayout;
    top->setSpacing(8);
    outer->addLayout(top, 1);

    // Left: where the logo sits on the screen, and the buttons under it.
    auto *left = new QVBoxLayout;
    top->addLayout(left);
    m_fraPosition = new QGroupBox(QStringLiteral("Relative Screen Position"), central);
    m_fraPosition->setObjectName(QStringLiteral("fraPosition"));
    m_fraPosition->setFixedSize(twips(5835), twips(3780));
    m_picPicture2 = new LogoView(m_fraPosition);
    m_picPicture2->setObjectName(QStringLiteral("picPicture2"));
    m_picPicture2->setFixedSize(twips(1635), twips(510));
    m_picPicture2->setToolTip(QStringLiteral("The logo where the device keys it"));
    left->addWidget(m_fraPosition);
    m_PicPicture1 = new LogoView(central);
    m_PicPicture1->setObjectName(QStringLiteral("PicPicture1"));
    m_PicPicture1->setFixedSize(twips(3840), twips(960));
    m_PicPicture1->move(twips(1800), twips(240));
    m_PicPicture1->hide();

    auto *buttons = new QGridLayout;
    buttons->setHorizontalSpacing(8);
    buttons->setVerticalSpacing(2);
    left->addLayout(buttons);
    m_txtHPOS = new QLineEdit(QStringLiteral("100"), central);
    m_txtHPOS->setObjectName(QStringLiteral("txtHPOS"));
    m_txtVPOS = new QLineEdit(QStringLiteral("100"), central);
    m_txtVPOS->setObjectName(QStringLiteral("txtVPOS"));
    for (QLineEdit *box : {m_txtHPOS, m_txtVPOS}) {
        box->setFixedWidth(44);
        box->setAlignment(Qt::AlignRight);
    }
    auto *hRow = new QHBoxLayout;
    hRow->addWidget(new QLabel(QStringLiteral("H"), central));
    hRow->addWidget(m_txtHPOS);
    hRow->addWidget(new QLabel(QStringLiteral("%"), central));
    auto *vRow = new QHBoxLayout;
    vRow->addWidget(new QLabel(QStringLiteral("V"), central));
    vRow->addWidget(m_txtVPOS);
    vRow->addWidget(new QLabel(QStringLiteral("%"), central));
    buttons->addLayout(hRow, 0, 0);
    buttons->addLayout(vRow, 1, 0);

    m_optTAKE = new QPushButton(QStringLiteral("TAKE"), central);
    m_optTAKE->setObjectName(QStringLiteral("optTAKE"));
    m_optTAKE->setMinimumSize(72, 40);
    QFont takeFont = m_optTAKE->font();
    takeFont.setBold(true);
    m_optTAKE->setFont(takeFont);
    buttons->addWidget(m_optTAKE, 0, 1, 2, 1);

    auto *standardGroup = new QButtonGroup(central);
    m_NTSC_PAL[0] = new QRadioButton(QStringLiteral("NTSC"), central);
    m_NTSC_PAL[1] = new QRadioButton(QStringLiteral("PAL"), central);
    for (int i = 0; i < 2; ++i) {
        m_NTSC_PAL[static_cast<size_t>(i)]->setObjectName(QStringLiteral("NTSC_PAL%1").arg(i));
        standardGroup->addButton(m_NTSC_PAL[static_cast<size_t>(i)], i);
        buttons->addWidget(m_NTSC_PAL[static_cast<size_t>(i)], i, 2);
    }
    m_NEGATE = new QCheckBox(QStringLiteral("Negative"), central);
    m_NEGATE->setObjectName(QStringLiteral("NEGATE"));
    buttons->addWidget(m_NEGATE, 0, 3);
    auto *timeBox = new QVBoxLayout;
    timeBox->setSpacing(0);
    timeBox->addWidget(new QLabel(QStringLiteral("Current Time"), central));
    m_lblCurrentTime = makeLabel(central, "lblCurrentTime", QStringLiteral("00:00:00"));
    QFont clockFont = m_lblCurrentTime->font();
    clockFont.setBold(true);
    m_lblCurrentTime->setFont(clockFont);
    timeBox->addWidget(m_lblCurrentTime);
    buttons->addLayout(timeBox, 0, 4, 2, 1);
    m_lblRunning = makeLabel(central, "lblRunning", QStringLiteral("Running"));
    m_lblRunning->setAlignment(Qt::AlignCenter);
    m_lblRunning->setMinimumWidth(64);
    buttons->addWidget(m_lblRunning, 1, 3);
    // While the schedule runs: its next switch, counted down.
    m_lblNextTake = makeLabel(central, "lblNextTake", QString());
    m_lblNextTake->setVisible(false);
    left->addWidget(m_lblNextTake);
    left->addStretch();

    // Right: the sliders.
    auto *panel = new QGridLayout;
    panel->setVerticalSpacing(0);
    panel->setHorizontalSpacing(6);
    top->addLayout(panel, 1);
    m_hscrFade = makeSlider(central, "hscrFade", 1, 100, 5, 99);
    m_hscrMix = makeSlider(central, "hscrMix", 0, 99, 5, 99);
    m_hscrIntensity = makeSlider(central, "hscrIntensity", 0, 99, 5, 99);
    m_hscrTimeOn = makeSlider(central, "hscrTimeOn", 1, 255, 4, 1);
    m_hscrTimeInt = makeSlider(central, "hscrTimeInt", 1, 255, 4, 1);
    m_hscrTimeOn->setTracking(false);
    m_hscrTimeInt->setTracking(false);
    m_lblFade = makeLabel(central, "lblFade", QStringLiteral("000"));
    m_lblRatio = makeLabel(central, "lblRatio", QStringLiteral("000"));
    m_lblIntensity = makeLabel(central, "lblIntensity", QStringLiteral("000"));
    m_lblOnTime = makeLabel(central, "lblOnTime", QStringLiteral("0:00:00"));
    m_lblCycTime = makeLabel(central, "lblCycTime", QStringLiteral("0:00:00"));
    struct Row {
        const char *name;
        QString title;
        QString scale;
        QScrollBar *bar;
        QLabel *value;
    };
    const std::array<Row, 5> rows{{
        {"FADE_SPEED", QStringLiteral("Fade Speed"), QStringLiteral("5s                   .05s"), m_hscrFade,
         m_lblFade},
        {"MIX_RATIO", QStringLiteral("Mix Ratio"), QStringLiteral("Trans            Solid"), m_hscrMix,
         m_lblRatio},
        {"INTENSITY", QStringLiteral("Intensity"), QStringLiteral("Black          White"), m_hscrIntensity,
         m_lblIntensity},
        {"ON_TIME", QStringLiteral("On Time"), QString(), m_hscrTimeOn, m_lblOnTime},
        {"CYCLE_TIME", QStringLiteral("Cycle Time"), QString(), m_hscrTimeInt, m_lblCycTime},
    }};
    int line = 0;
    for (const Row &row : rows) {
        QLabel *title = makeLabel(central, row.name, row.title);
        QFont bold = title->font();
        bold.setBold(true);
        title->setFont(bold);
        panel->addWidget(title, line, 0);
        row.value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        row.value->setMinimumWidth(56);
        row.value->setFrameShape(QFrame::StyledPanel);
        panel->addWidget(row.value, line, 1);
        ++line;
        panel->addWidget(row.bar, line, 0, 1, 2);
        ++line;
        if (!row.scale.isEmpty()) {
            auto *scale = new QLabel(row.scale, central);
            QFont small = scale->font();
            small.setPointSizeF(small.pointSizeF() * 0.85);
            scale->setFont(small);
            scale->setTextFormat(Qt::PlainText);
            auto *scaleRow = new QHBoxLayout;
            const QStringList ends = row.scale.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            auto *low = new QLabel(ends.value(0), central);
            auto *high = new QLabel(ends.value(1), central);
            low->setFont(small);
            high->setFont(small);
            scale->hide();
            scaleRow->addWidget(low);
            scaleRow->addStretch();
            scaleRow->addWidget(high);
            panel->addLayout(scaleRow, line, 0, 1, 2);
            ++line;
        }
        panel->setRowMinimumHeight(line, 4);
        ++line;
    }
    panel->setRowStretch(line, 1);

    // The slot buttons carry the selection logic; their frame is collapsed
    // out of sight and slots are chosen from the Logo menu.
    m_LOGO_SELECT = new QGroupBox(QStringLiteral("Logo Selection"), central);
    m_LOGO_SELECT->setObjectName(QStringLiteral("LOGO_SELECT"));
    auto *slotsLayout = new QHBoxLayout(m_LOGO_SELECT);
    for (int i = 1; i <= LogoState::MaxSlots; ++i) {
        auto *button = new QRadioButton(QStringLiteral("Logo %1").arg(i), m_LOGO_SELECT);
        button->setObjectName(QStringLiteral("optLOGO%1").arg(i));
        slotsLayout->addWidget(button);
        m_optLOGO[static_cast<size_t>(i)] = button;
    }
    m_LOGO_SELECT->setFixedHeight(twips(65));
    m_LOGO_SELECT->hide();
    outer->addWidget(m_LOGO_SELECT);

    // Status strip: port indicator, transfer status and the copyright line.
    auto *status = new QHBoxLayout;
    status->setSpacing(6);
    outer->addLayout(status);
    status->addWidget(new QLabel(QStringLiteral("COM"), central));
    m_txtCom = new QLineEdit(central);
    m_txtCom->setObjectName(QStringLiteral("txtCom"));
    m_txtCom->setReadOnly(true);
    m_txtCom->setFixedWidth(36);
    m_txtCom->setAlignment(Qt::AlignCenter);
    m_txtCom->setFocusPolicy(Qt::NoFocus);
    status->addWidget(m_txtCom);
    m_lblUpLoadStatus = makeLabel(central, "lblUpLoadStatus", QString());
    m_lblUpLoadStatus->setMinimumWidth(160);
    status->addWidget(m_lblUpLoadStatus);
    m_progress = new QProgressBar(central);
    m_progress->setObjectName(QStringLiteral("ProgressBar1"));
    m_progress->setRange(0, 100);
    m_progress->setMaximumWidth(140);
    m_progress->hide();
    status->addWidget(m_progress);
    m_lblControl = makeLabel(central, "lblControl", QString());
    m_lblControl->hide();
    status->addWidget(m_lblControl);
    m_lblCopyright = makeLabel(central, "lblCopyright", QString());
    m_lblCopyright->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    status->addWidget(m_lblCopyright, 1);

    // Reply strip: last command, last reply, and the two counters.
    m_replyStrip = new QWidget(central);
    m_replyStrip->setObjectName(QStringLiteral("replyStrip"));
    auto *strip = new QGridLayout(m_replyStrip);
    strip->setContentsMargins(0, 0, 0, 0);
    strip->setVerticalSpacing(0);
    m_lblDiagSend = makeLabel(m_replyStrip, "lblDiagSend", QString());
    m_lblDiag = makeLabel(m_replyStrip, "lblDiag", QString());
    m_lblSCount = makeLabel(m_replyStrip, "lblSCount", QStringLiteral("00000"));
    m_lblCount = makeLabel(m_replyStrip, "lblCount", QStringLiteral("00000"));
    QFont mono(QStringLiteral("Monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    mono.setPointSizeF(font().pointSizeF() * 0.9);
    for (QLabel *label : {m_lblDiagSend, m_lblDiag, m_lblSCount, m_lblCount}) {
        label->setFont(mono);
        label->setTextFormat(Qt::PlainText);
    }
    m_lblDiag->setMinimumWidth(10);
    m_lblDiagSend->setMinimumWidth(10);
    strip->addWidget(m_lblDiagSend, 0, 0);
    strip->addWidget(m_lblSCount, 0, 1, Qt::AlignRight);
    strip->addWidget(m_lblDiag, 1, 0);
    strip->addWidget(m_lblCount, 1, 1, Qt::AlignRight);
    strip->setColumnStretch(0, 1);
    outer->addWidget(m_replyStrip);

    setCentralWidget(central);
}

void FrmQuillon4::buildTimers(bool start)
{
    m_timers = new LinkTimers(m_core.link, m_core.runner, m_core.scheduleState, this);
    m_tmrNextTake = new QTimer(this);
    m_tmrNextTake->setInterval(1000);
    connect(m_tmrNextTake, &QTimer::timeout, this, &FrmQuillon4::syncNextTake);
    m_tmrSplash = new QTimer(this);
    m_tmrSplash->setObjectName(QStringLiteral("tmrSplash"));
    m_tmrSplash->setInterval(100);
    connect(m_tmrSplash, &QTimer::timeout, this, &FrmQuillon4::tmrSplash_Timer);
    if (!start)
        return;
    m_timers->start();
    m_tmrNextTake->start();
}

void FrmQuillon4::syncNextTake()
{
    const bool running = m_core.scheduleState.on;
    m_lblNextTake->setVisible(running);
    if (!running)
        return;
    const QDateTime now = m_clock.now();
    const std::optional<NextSwitch> next = NextSwitch::find(m_core.scheduleState.schedule, now);
    m_lblNextTake->setText(next ? QStringLiteral("Next: ") + next->text(now)
                                : QStringLiteral("Next: no TAKE within a week"));
}

void FrmQuillon4::wireControls()
{
    PanelController &panel = m_core.panel;
    DeviceOperations &ops = m_core.ops;
    DeviceLink &link = m_core.link;
    connect(m_hscrFade, &QScrollBar::valueChanged, &ops, &DeviceOperations::setFade);
    connect(m_hscrMix, &QScrollBar::valueChanged, &ops, &DeviceOperations::setMix);
    connect(m_hscrIntensity, &QScrollBar::valueChanged, &ops, &DeviceOperations::setIntensity);
    connect(m_hscrTimeOn, &QScrollBar::sliderMoved, &panel, &PanelController::showOnTime);
    connect(m_hscrTimeInt, &QScrollBar::sliderMoved, &panel, &PanelController::showIntervalTime);
    connect(m_hscrTimeOn, &QScrollBar::valueChanged, &ops, &DeviceOperations::setOnTime);
    connect(m_hscrTimeInt, &QScrollBar::valueChanged, &ops, &DeviceOperations::setIntervalTime);
    connect(m_optTAKE, &QPushButton::clicked, &m_core.ops, &DeviceOperations::toggleTake);
    for (int i = 0; i < 2; ++i)
        connect(m_NTSC_PAL[static_cast<size_t>(i)], &QRadioButton::clicked, &panel,
                [&panel, i] { panel.setStandard(i); });
    connect(m_NEGATE, &QCheckBox::clicked, &panel, &PanelController::setNegative);
    connect(&panel, &PanelController::beepRequested, this, [] { QApplication::beep(); });
    for (QLineEdit *box : {m_txtHPOS, m_txtVPOS}) {
        const bool horizontal = box == m_txtHPOS;
        box->installEventFilter(this);
        connect(box, &QLineEdit::textEdited, &panel,
                [&panel, horizontal](const QString &text) { panel.setPositionText(horizontal, text); });
    }
    connect(m_mnuPanelLock, &QAction::triggered, &panel, &PanelController::toggleLock);
    connect(m_mnuOpenLogoFile, &QAction::triggered, this, &FrmQuillon4::openLogoFile);
    connect(m_mnuImportImage, &QAction::triggered, this, &FrmQuillon4::importImage);
    connect(m_mnuDownloadLogotoRam, &QAction::triggered, &ops, &DeviceOperations::downloadLogo);
    connect(m_mnuSaveLogoinNVRAM, &QAction::triggered, &ops, &DeviceOperations::storeLogoInNvram);
    connect(m_mnuUpLoadLogo, &QAction::triggered, this, &FrmQuillon4::mnuUpLoadLogo_Click);
    // The save dialog opens once the reception that brought the stream is over.
    connect(&m_core.upload, &LogoUpload::saveRequested, this, &FrmQuillon4::saveUploadedLogo,
            Qt::QueuedConnection);
    connect(m_mnuSaveLogoDisk, &QAction::triggered, this, &FrmQuillon4::saveLogoDisk);
    connect(m_mnuPaintBrush, &QAction::triggered, this, [this] { m_core.paint.editInPaint(); });
    connect(m_mnuZoomOff, &QAction::triggered, this, &FrmQuillon4::mnuZoomOff_Click);
    connect(m_mnuZoomOn, &QAction::triggered, this, &FrmQuillon4::mnuZoomOn_Click);
    connect(m_picPicture2, &LogoView::pressed, &panel,
            [&panel](QPoint at) { panel.startDrag(toTwips(at.x()), toTwips(at.y())); });
    connect(m_picPicture2, &LogoView::moved, &panel,
            [&panel](QPoint at) { panel.dragTo(toTwips(at.x()), toTwips(at.y())); });
    connect(m_picPicture2, &LogoView::released, &panel, &PanelController::endDrag);
    for (size_t i = 0; i < m_mnuRecentFile.size(); ++i) {
        connect(m_mnuRecentFile[i], &QAction::triggered, this,
                [this, i] { m_core.logoFiles.openRecent(static_cast<int>(i)); });
    }

    connect(m_mnuExit, &QAction::triggered, this, &QWidget::close);
    connect(m_mnuSaveCurrentSettings, &QAction::triggered, &ops, &DeviceOperations::saveSettings);
    for (size_t i = 0; i < m_mnuCOMsel.size(); ++i)
        connect(m_mnuCOMsel[i], &QAction::triggered, this,
                [&link, i] { link.choosePort(static_cast<int>(i)); });
    for (int i = 1; i <= LogoState::MaxSlots; ++i) {
        connect(m_mnuLogoSel[static_cast<size_t>(i)], &QAction::triggered, this, [this, i] {
            m_core.ops.selectSlot(i);
            sync();
        });
        connect(m_optLOGO[static_cast<size_t>(i)], &QRadioButton::clicked, this,
                [this, i] { m_core.ops.selectSlot(i); });
    }
    for (int index : DeviceState::ModelIndexes) {
        connect(m_mnuSetQXx[static_cast<size_t>(index)], &QAction::triggered, this, [this, index] {
            m_core.slotControl.chooseModel(index);
            sync();
        });
    }
    for (size_t i = 0; i < m_mnuShowMode.size(); ++i)
        connect(m_mnuShowMode[i], &QAction::triggered, &panel,
                [&panel, i] { panel.toggleShowMode(static_cast<int>(i)); });
    for (size_t i = 0; i < m_mnuDiagSub.size(); ++i) {
        if (m_mnuDiagSub[i])
            connect(m_mnuDiagSub[i], &QAction::triggered, this,
                    [this, i] { mnuDiagSub_Click(static_cast<int>(i)); });
    }
    connect(m_mnuWakeUpNode, &QAction::triggered, &m_diag, &DiagCommands::mnuWakeUpNode_Click);
    connect(m_mnuWakeUpAllNodes, &QAction::triggered, &m_diag, &DiagCommands::mnuWakeUpAllNodes_Click);
    connect(m_mnuAllNodesSleep, &QAction::triggered, &m_diag, &DiagCommands::mnuAllNodesSleep_Click);
    connect(m_mnuSetIDtoCurrentNode, &QAction::triggered, &m_diag,
            &DiagCommands::mnuSetIDtoCurrentNode_Click);
    connect(m_mnuCopyright, &QAction::triggered, &m_diag, &DiagCommands::mnuCopyright_Click);
    connect(&m_diag, &DiagCommands::replyStripToggled, this, &FrmQuillon4::fitReplyStrip);
    connect(m_mnuDiagTools, &QAction::triggered, this, &FrmQuillon4::mnuDiagTools_Click);
    connect(m_mnuScheduleOnOff, &QAction::triggered, &m_core.runner, &ScheduleRunner::toggleRunning);
    connect(m_mnuScheduleRestore, &QAction::triggered, &m_core.runner, &ScheduleRunner::setRestoring);
    connect(m_mnuScheduleView, &QAction::triggered, this, [this] {
        m_core.reporter.setUploadStatus(QString());
        QApplication::setOverrideCursor(Qt::WaitCursor);
        FrmSchedule editor(m_core, this);
        QApplication::restoreOverrideCursor();
        // The scheduler service runs what SAVE stored at once.
        connect(&editor.editor(), &ScheduleEditor::saved, this, [this] {
            m_remote->request({{QStringLiteral("op"), QStringLiteral("schedule-reload")}});
        });
        editor.exec();
    });
    connect(m_mnuAsRunLog, &QAction::triggered, this, &FrmQuillon4::showAsRunLog);
    connect(m_mnuTrafficLog, &QAction::triggered, this, &FrmQuillon4::showTrafficLog);
    connect(m_mnuScheduleLock, &QAction::triggered, this, [this] {
        m_core.reporter.setUploadStatus(QString());
        m_core.scheduleState.locked = !m_core.scheduleState.locked;
        m_core.settings.setValue(QStringLiteral("Locked"),
                                 SettingsStore::flagText(m_core.scheduleState.locked));
        sync();
    });
    connect(m_mnuAbout, &QAction::triggered, this, &FrmQuillon4::mnuAbout_Click);
    connect(m_mnuManual, &QAction::triggered, this, [this] {
        const QString failure = ManualLauncher::open();
        if (!failure.isEmpty())
            m_core.reporter.ReportError(failure, QStringLiteral("StartDoc"));
    });
}

// ---------------------------------------------------------------------------
// Handlers

void FrmQuillon4::mnuDiagSub_Click(int index)
{
    m_diag.mnuDiagSub_Click(index);
}

// "Show Dialog": the reply strip lies below the panel, so the window's height
// shows or hides it.
void FrmQuillon4::fitReplyStrip(bool shown)
{
    m_window.heightTwips = shown ? std::max(toTwips(height()), 6125) : 5650;
    applyHeight();
    sync();
}

void FrmQuillon4::mnuDiagTools_Click()
{
    m_window.diagMenuVisible = !m_window.diagMenuVisible;
    m_window.diagToolsChecked = m_window.diagMenuVisible;
    m_core.settings.setValue(QStringLiteral("DiagTools"), SettingsStore::flagText(m_window.diagMenuVisible));
    sync();
}

void FrmQuillon4::openLogoFile()
{
    m_core.reporter.setUploadStatus(QString());
    const QString preset
        = m_core.logoState.slotFile[static_cast<size_t>(std::clamp(m_core.logoState.currentSlot, 0, 32))];
    const QString chosen
        = m_chooser->openFileName(this, QStringLiteral("Open Logo File"),
                                  preset.isEmpty() ? presetFolder() : preset, LogoFiles::fileFilter());
    m_core.logoFiles.openChosenFile(chosen);
}

// Any picture made into a logo bitmap beside it, which then loads into the
// current slot as any logo file does.
void FrmQuillon4::importImage()
{
    m_core.reporter.setUploadStatus(QString());
    QStringList patterns;
    for (const QByteArray &format : QImageReader::supportedImageFormats())
        patterns.append(QStringLiteral("*.") + QString::fromLatin1(format));
    const QString chosen
        = m_chooser
              ->openFileName(
                  this, QStringLiteral("Import Image"), presetFolder(),
                  QStringLiteral("Images (%1);;All Files (*)").arg(patterns.join(QLatin1Char(' '))))
              .trimmed();
    if (chosen.isEmpty())
        return;
    QImageReader reader(chosen);
    reader.setAutoTransform(true);
    const QImage image = reader.read();
    if (image.isNull()) {
        m_core.reporter.ReportError(
            QStringLiteral("Cannot read %1 as a picture: %2").arg(chosen, reader.errorString()),
            QStringLiteral("Import Image"));
        return;
    }
    FrmImportImage dialog(image, chosen, *m_chooser, this);
    if (m_importDialogHook)
        m_importDialogHook(dialog);
    else
        dialog.exec();
    if (dialog.result() == QDialog::Accepted)
        m_core.logoFiles.openChosenFile(dialog.outputName());
}

void FrmQuillon4::saveLogoDisk()
{
    const QString preset
        = m_core.logoState.slotFile[static_cast<size_t>(std::clamp(m_core.logoState.currentSlot, 0, 32))];
    const QString name
        = m_chooser->saveFileName(this, QStringLiteral("Save Logo to .QX1 File"),
                                  preset.isEmpty() ? presetFolder() : preset, LogoFileWriter::qx1Filter());
    m_core.writer.write(name.trimmed(), false);
}

// Through the scheduler service the logo comes back as a file the service
// writes: the name is asked first, then the slot shows the file.
void FrmQuillon4::mnuUpLoadLogo_Click()
{
    if (!m_core.link.forwarding()) {
        m_core.ops.readLogoBack();
        return;
    }
    const auto slot = static_cast<size_t>(std::clamp(m_core.logoState.currentSlot, 0, 32));
    const QString preset = m_core.logoState.slotFile[slot];
    const QString name
        = m_chooser
              ->saveFileName(this, QStringLiteral("Save Uploaded Logo"),
                             preset.isEmpty() ? presetFolder() : preset, LogoFileWriter::bmpFilter())
              .trimmed();
    if (name.isEmpty())
        return;
    const QString file = QFileInfo(name).absoluteFilePath();
    m_remote->request({{QStringLiteral("op"), QStringLiteral("upload")}, {QStringLiteral("file"), file}},
                      [this, file](const QJsonObject &) {
                          QString loaded = file;
                          m_core.logoFiles.readFile(loaded);
                      });
}

void FrmQuillon4::saveUploadedLogo(int slot)
{
    if (m_unloaded)
        return;
    const QString preset = m_core.logoState.slotFile[static_cast<size_t>(std::clamp(slot, 0, 32))];
    const QString name
        = m_chooser->saveFileName(this, QStringLiteral("Save Uploaded Logo"),
                                  preset.isEmpty() ? presetFolder() : preset, LogoFileWriter::bmpFilter());
    m_core.writer.write(name.trimmed(), true);
}

QString FrmQuillon4::presetFolder() const
{
    // With no file in the slot yet, start where the last logo came from.
    const QString recent = m_core.logoState.recentFiles[0];
    if (!recent.isEmpty())
        return QFileInfo(recent).absolutePath();
    return QDir::homePath();
}

bool FrmQuillon4::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_txtHPOS || watched == m_txtVPOS) {
        const bool horizontal = watched == m_txtHPOS;
        const bool click = event->type() == QEvent::MouseButtonRelease;
        const bool keyUp
            = event->type() == QEvent::KeyRelease && !static_cast<QKeyEvent *>(event)->isAutoRepeat();
        if (click || keyUp) {
            auto *box = static_cast<QLineEdit *>(watched);
            m_core.panel.setPositionText(horizontal, box->text());
            m_core.panel.enterPosition(horizontal);
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void FrmQuillon4::mnuZoomOff_Click()
{
    m_core.reporter.setUploadStatus(QString());
    m_core.panelState.previewVisible = true;
    m_window.zoomOn = false;
    sync();
}

void FrmQuillon4::mnuZoomOn_Click()
{
    m_core.reporter.setUploadStatus(QString());
    if (!m_core.panelState.previewVisible)
        return;
    m_window.zoomOn = true;
    sync();
}

void FrmQuillon4::mnuAbout_Click()
{
    FrmSplash about(FrmSplash::Role::About, this);
    about.exec();
}

void FrmQuillon4::tmrSplash_Timer()
{
    m_tmrSplash->stop();
    auto *splash = new FrmSplash(FrmSplash::Role::Startup, this);
    splash->setAttribute(Qt::WA_DeleteOnClose);
    splash->open();
}

// ---------------------------------------------------------------------------
// Drawing the state

void FrmQuillon4::sync()
{
    if (m_syncing)
        return;
    m_syncing = true;
    setWindowTitle(m_core.deviceState.heldBy.isEmpty()
                       ? m_core.deviceState.title
                       : m_core.deviceState.title + QStringLiteral(" - through ")
                             + m_core.deviceState.heldBy);
    m_mnuTrafficLog->setEnabled(m_core.deviceState.heldBy.isEmpty());
    m_mnuTrafficLog->setToolTip(m_core.deviceState.heldBy.isEmpty()
                                    ? QString()
                                    : QStringLiteral("The line's traffic goes through ")
                                          + m_core.deviceState.heldBy
                                          + QStringLiteral(", not through this window"));
    syncMenus();
    syncPanel();
    syncStrips();
    if (m_lblNextTake->isVisibleTo(this) != m_core.scheduleState.on)
        syncNextTake();
    m_syncing = false;
}

void FrmQuillon4::syncMenus()
{
    for (size_t i = 0; i < m_mnuRecentFile.size(); ++i) {
        const QString &path = m_core.logoState.recentFiles[i];
        m_mnuRecentFile[i]->setVisible(!path.isEmpty());
        m_mnuRecentFile[i]->setEnabled(!path.isEmpty());
        m_mnuRecentFile[i]->setText(path);
    }
    for (QAction *action :
         {m_mnuDownloadLogotoRam, m_mnuSaveCurrentSettings, m_mnuSaveLogoinNVRAM, m_mnuUpLoadLogo})
        action->setEnabled(m_core.deviceState.transfersEnabled);
    m_mnuUpLoadLogo->setVisible(m_core.deviceState.uploadOffered);
    m_mnuSaveLogoDisk->setVisible(m_core.logoState.saveToDiskOffered);
    m_mnuPanelLock->setChecked(m_core.panelState.locked);

    for (size_t i = 1; i < m_mnuCOMsel.size(); ++i) {
        const PortMenuEntry &entry = m_core.deviceState.ports[i];
        m_mnuCOMsel[i]->setVisible(entry.visible);
        if (entry.visible) {
            m_mnuCOMsel[i]->setText(entry.caption);
            const QString stable
                = entry.stableName.isEmpty() || entry.stableName == entry.path ? QString() : entry.stableName;
            m_mnuCOMsel[i]->setStatusTip(stable.isEmpty() ? entry.path
                                                          : entry.path + QStringLiteral(" = ") + stable);
            m_mnuCOMsel[i]->setToolTip(stable.isEmpty() ? entry.path
                                                        : entry.path + QLatin1Char('\n') + stable);
        }
        m_mnuCOMsel[i]->setChecked(entry.checked);
    }
    m_mnuCom->setToolTipsVisible(true);

    for (int i = 1; i <= LogoState::MaxSlots; ++i) {
        const auto n = static_cast<size_t>(i);
        m_mnuLogoSel[n]->setVisible(m_core.logoState.slotOffered[n]);
        m_mnuLogoSel[n]->setChecked(m_core.logoState.slotChosen[n]);
        m_optLOGO[n]->setVisible(m_core.logoState.slotButtonOffered[n]);
    }
    if (m_core.logoState.currentSlot >= 1 && m_core.logoState.currentSlot <= LogoState::MaxSlots) {
        QSignalBlocker block(m_optLOGO[static_cast<size_t>(m_core.logoState.currentSlot)]);
        m_optLOGO[static_cast<size_t>(m_core.logoState.currentSlot)]->setChecked(true);
    }
    for (int index : DeviceState::ModelIndexes) {
        const auto n = static_cast<size_t>(index);
        m_mnuSetQXx[n]->setChecked(m_core.deviceState.modelChosen[n]);
        m_mnuSetQXx[n]->setVisible(m_core.deviceState.modelOffered[n]);
    }
    m_mnuShowMode[0]->setChecked(m_core.panelState.showInt);
    m_mnuShowMode[1]->setChecked(m_core.panelState.showMix);
    m_mnuShowMode[2]->setChecked(m_core.panelState.showFade);
    m_mnuScheduleLock->setChecked(m_core.scheduleState.locked);
    m_mnuScheduleOnOff->setChecked(m_core.scheduleState.on);
    m_mnuScheduleRestore->setChecked(m_core.runner.restoring());

    const WindowState &w = m_window;
    m_mnuDiag->menuAction()->setVisible(w.diagMenuVisible);
    m_mnuDiagTools->setChecked(w.diagToolsChecked);
    m_mnuDiagSub[CommandTable::ShowDialog]->setChecked(w.showDialogChecked);
    m_mnuDiagSub[CommandTable::FactoryReset]->setVisible(w.factoryResetVisible);
    m_mnuDiagSub[CommandTable::SetModel]->setVisible(w.setModelVisible);
    m_mnuNode->menuAction()->setVisible(w.nodeMenuVisible);
    m_mnuWakeUpNode->setVisible(w.wakeUpNodeVisible);
}

void FrmQuillon4::syncPanel()
{
    const PanelState &p = m_core.panelState;
    const auto setBar = [](QScrollBar *bar, int value) {
        // A bar the user is dragging keeps its thumb; its value is set when
        // it is let go.
        if (bar->isSliderDown())
            return;
        QSignalBlocker block(bar);
        bar->setValue(value);
        bar->setSliderPosition(value);
    };
    setBar(m_hscrFade, p.fade);
    setBar(m_hscrMix, p.mix);
    setBar(m_hscrIntensity, p.intensity);
    setBar(m_hscrTimeOn, p.timeOn);
    setBar(m_hscrTimeInt, p.timeInt);
    m_lblFade->setText(p.fadeText);
    m_lblRatio->setText(p.mixText);
    m_lblIntensity->setText(p.intensityText);
    m_lblOnTime->setText(p.onTimeText);
    m_lblCycTime->setText(p.intervalText);
    if (m_txtHPOS->text() != p.hposText)
        m_txtHPOS->setText(p.hposText);
    if (m_txtVPOS->text() != p.vposText)
        m_txtVPOS->setText(p.vposText);
    setBackground(m_optTAKE, p.takeOn ? kGreen : QColor());
    m_optTAKE->setStyleSheet(p.takeOn ? QStringLiteral("background-color: rgb(0,255,0);") : QString());
    {
        QSignalBlocker block0(m_NTSC_PAL[0]);
        QSignalBlocker block1(m_NTSC_PAL[1]);
        m_NTSC_PAL[p.standard == 1 ? 1 : 0]->setChecked(true);
    }
    {
        QSignalBlocker block(m_NEGATE);
        m_NEGATE->setChecked(p.negate);
    }
    const bool unlocked = !p.locked;
    m_picPicture2->setEnabled(!p.locked || p.lockedViewSlot != m_core.logoState.currentSlot);
    for (QWidget *w : std::initializer_list<QWidget *>{m_txtVPOS, m_txtHPOS, m_hscrTimeInt, m_lblCycTime,
                                                       m_lblOnTime, m_hscrTimeOn, m_hscrIntensity, m_hscrMix,
                                                       m_hscrFade, m_optTAKE, m_NEGATE})
        w->setEnabled(unlocked);
    if (unlocked) {
        m_hscrTimeOn->setEnabled(p.timeSlidersEnabled);
        m_hscrTimeInt->setEnabled(p.timeSlidersEnabled);
    }
    const auto slot = static_cast<size_t>(std::clamp(m_core.logoState.currentSlot, 0, 32));
    m_picPicture2->setLogo(m_core.logoState.logos[slot], m_core.logoState.viewHeight[slot],
                           m_core.panelState.viewColours,
                           QStringLiteral("Logo %1").arg(m_core.logoState.currentSlot));
    m_PicPicture1->setLogo(m_core.logoState.lastPicture, m_core.logoState.lastPictureHeight,
                           m_core.panelState.fullViewColours, QString());
    m_PicPicture1->setVisible(m_window.zoomOn);
    if (m_window.zoomOn)
        m_PicPicture1->raise();
    m_mnuZoomOn->setChecked(m_window.zoomOn);
    m_mnuZoomOff->setChecked(!m_window.zoomOn);
    // The hourglass while a download runs.
    if (m_core.deviceState.transferBusy != (QApplication::overrideCursor() != nullptr)) {
        if (m_core.deviceState.transferBusy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    }
    m_picPicture2->move(twips(p.previewLeft), twips(p.previewTop));
    m_picPicture2->setVisible(p.previewVisible);
    m_lblRunning->setVisible(m_core.scheduleState.runningShown);
    m_lblRunning->setStyleSheet(
        m_core.scheduleState.runningLit
            ? QStringLiteral("background: rgb(0,0,255); color: rgb(255,255,0); font-weight: bold;")
            : QStringLiteral("background: rgb(0,0,255); color: rgb(0,0,255); font-weight: bold;"));
    for (int i = 1; i <= LogoState::MaxSlots; ++i) {
        auto *button = m_optLOGO[static_cast<size_t>(i)];
        const bool on = m_core.scheduleState.onAir[static_cast<size_t>(i)];
        const bool selected = m_core.scheduleState.runnerLogo == i;
        button->setStyleSheet(
            on || selected ? QStringLiteral("QRadioButton { color: rgb(0,%1,0); %2 }")
                                 .arg(selected ? 255 : 0)
                                 .arg(on ? QStringLiteral("border: 2px solid rgb(255,0,0);") : QString())
                           : QString());
        m_mnuLogoSel[static_cast<size_t>(i)]->setIcon(on ? onAirIcon() : QIcon());
    }
}

void FrmQuillon4::syncStrips()
{
    const Reporter &r = m_core.reporter;
    m_lblDiagSend->setText(visibleText(r.diagSend()));
    m_lblDiag->setText(visibleText(r.diagReply()));
    m_lblSCount->setText(r.sentCount());
    m_lblCount->setText(r.replyCount());
    m_lblUpLoadStatus->setText(r.uploadStatus());
    m_progress->setVisible(r.progressVisible());
    m_progress->setValue(r.progressValue());
    m_lblCopyright->setText(r.copyright());
    m_lblCurrentTime->setText(r.currentTime());
    m_txtCom->setText(m_core.deviceState.portText);
    switch (m_core.deviceState.portIndicator) {
    case Indicator::Red:
        setBackground(m_txtCom, kRed);
        break;
    case Indicator::Cyan:
        setBackground(m_txtCom, kCyan);
        break;
    case Indicator::Green:
        setBackground(m_txtCom, kGreen);
        break;
    case Indicator::None:
        setBackground(m_txtCom, QColor());
        break;
    }
    QString tip = QStringLiteral("No port chosen");
    if (m_core.deviceState.comPort > 0) {
        tip = QStringLiteral("COM%1").arg(m_core.deviceState.comPort);
        for (const PortMenuEntry &entry : m_core.deviceState.ports) {
            if (entry.visible && entry.tag == QString::number(m_core.deviceState.comPort)
                && !entry.path.isEmpty()) {
                tip += QStringLiteral(": ") + entry.path;
                if (!entry.stableName.isEmpty() && entry.stableName != entry.path)
                    tip += QLatin1Char('\n') + entry.stableName;
            }
        }
    }
    if (!m_core.deviceState.heldBy.isEmpty())
        tip += QStringLiteral("\nHeld by %1; Quillon works through it").arg(m_core.deviceState.heldBy);
    m_txtCom->setToolTip(tip);
    m_replyStrip->setVisible(m_window.showDialogChecked);
    m_frameError->sync();
    placeErrorPanel();
}

void FrmQuillon4::placeErrorPanel()
{
    // The panel's place is given in the window's scale units; one unit is
    // taken as one and a half logical pixels.
    m_frameError->setGeometry(qRound(90 * 1.5), qRound(80 * 1.5), qRound(219 * 1.5), qRound(119 * 1.5));
}

void FrmQuillon4::applyHeight()
{
    resize(twips(WindowWidthTwips), twips(m_window.heightTwips));
}

void FrmQuillon4::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    placeErrorPanel();
}

void FrmQuillon4::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}

void FrmQuillon4::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_tmrSplash->stop();
    m_tmrNextTake->stop();
    m_timers->stop();
    if (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    m_control->close();
    m_core.link.closePort();
}

// While the window holds its line, other programs (quillon-cli, station
// automation) reach it through the control endpoint; the status strip
// tells when the TCP listener is on and how many clients it has.
void FrmQuillon4::buildControlEndpoint()
{
    const auto lineName = [this] {
        const QString name = QStringLiteral("COM%1").arg(m_core.deviceState.comPort);
        const QString path = m_core.link.portPath();
        return path.isEmpty() ? name : name + QStringLiteral(" (") + path + QLatin1Char(')');
    };
    m_control = new ControlServer(m_core, {QStringLiteral("quillon"), lineName, {}}, this);

    // A port that a Quillon process serves (the scheduler service) is
    // worked through that process instead of reported as in use.
    m_remote = new RemoteLine(m_core, this);
    m_core.link.setAttach([this] { return m_remote->attach(m_core.deviceState.comPort); });
    connect(m_remote, &RemoteLine::lost, this, [this](const QString &holder) {
        m_core.reporter.ReportError(
            QStringLiteral("%1 no longer serves the line. Quillon opens COM%2 itself as soon as it is free.")
                .arg(holder)
                .arg(m_core.deviceState.comPort),
            QStringLiteral("Control"));
    });
    connect(m_control, &ControlServer::notice, this,
            [](const QString &text) { qWarning("%s", qPrintable(text)); });
    const auto showClients = [this] {
        // Through the scheduler service, or the listener this window serves.
        const QString heldBy = m_core.deviceState.heldBy;
        const QString address = m_control->tcpAddress();
        const int clients = m_control->tcpClientCount();
        m_lblControl->setVisible(!heldBy.isEmpty() || !address.isEmpty());
        m_lblControl->setText(!heldBy.isEmpty() ? QStringLiteral("Through ") + heldBy
                              : clients == 1
                                  ? QStringLiteral("Control %1: 1 client").arg(address)
                                  : QStringLiteral("Control %1: %2 clients").arg(address).arg(clients));
        m_lblControl->setToolTip(!heldBy.isEmpty()
                                     ? QStringLiteral("Every control acts through the process that "
                                                      "holds the line; closing this window leaves it running")
                                     : m_control->localPath());
    };
    connect(m_control, &ControlServer::clientsChanged, this, showClients);
    connect(&m_core.deviceState, &DeviceState::changed, m_lblControl, showClients);
    connect(&m_core.deviceState, &DeviceState::changed, m_control, [this] {
        const QString path
            = m_core.link.portOpen() ? ControlServer::socketPath(m_core.deviceState.comPort) : QString();
        if (path == m_control->localPath())
            return;
        m_control->close();
        QString problem;
        if (!path.isEmpty()
            && (!m_control->listenLocal(path, &problem)
                || !m_control->listenAsConfigured(m_core.settings, &problem)))
            qWarning("control endpoint: %s", qPrintable(problem));
    });
}

// The traffic window, one for the window's life; it records while open.
void FrmQuillon4::showTrafficLog()
{
    if (!m_frmTraffic) {
        m_frmTraffic = new FrmTraffic(m_traffic, this);
        connect(m_frmTraffic, &FrmTraffic::saveRequested, this, [this] {
            const QString name
                = m_chooser->saveFileName(m_frmTraffic, QStringLiteral("Save Traffic Log"),
                                          presetFolder() + QStringLiteral("/quillon-traffic.txt"),
                                          QStringLiteral("Text Files (*.txt);;All Files (*)"));
            if (name.trimmed().isEmpty())
                return;
            const QString failure = m_traffic.save(name.trimmed());
            if (!failure.isEmpty())
                m_core.reporter.ReportError(
                    QStringLiteral("Cannot write %1: %2").arg(name.trimmed(), failure),
                    QStringLiteral("Traffic Log"));
        });
    }
    m_frmTraffic->show();
    m_frmTraffic->raise();
    m_frmTraffic->activateWindow();
}

// The as-run log, read-only, newest line last: what the scheduler has sent.
void FrmQuillon4::showAsRunLog()
{
    const AsRunLog log = m_core.runner.asRunLog() ? m_core.runner.asRunLog()->log() : AsRunLog();
    const QString fileName = log.fileName();
    // The last few thousand lines are plenty to look at.
    const AsRunLog::Tail tail = log.readTail(512 * 1024);
    QString text = tail.text;
    if (!tail.exists)
        text = QStringLiteral("Nothing has been run yet (%1 does not exist).").arg(fileName);
    else if (!tail.problem.isEmpty())
        text = QStringLiteral("The as-run log cannot be shown: %1.").arg(tail.problem);
    QDialog dialog(this);
    dialog.setWindowTitle(QStringLiteral("As-Run Log"));
    auto *layout = new QVBoxLayout(&dialog);
    auto *where = new QLabel(fileName, &dialog);
    where->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(where);
    auto *view = new QPlainTextEdit(text, &dialog);
    view->setObjectName(QStringLiteral("asRunText"));
    view->setReadOnly(true);
    // Log lines stay whole; a sentence about the file wraps.
    view->setLineWrapMode(tail.exists && tail.problem.isEmpty() ? QPlainTextEdit::NoWrap
                                                                : QPlainTextEdit::WidgetWidth);
    view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    view->moveCursor(QTextCursor::End);
    layout->addWidget(view);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    dialog.resize(640, 420);
    if (m_asRunDialogHook)
        m_asRunDialogHook(dialog);
    else
        dialog.exec();
}
