// SPDX-License-Identifier: GPL-3.0-or-later
#include "startup.h"

#include "device_link/devicelink.h"
#include "device_link/devicestate.h"
#include "device_link/protocol.h"
#include "logo/logofiles.h"
#include "logo/logostate.h"
#include "panel/panelcontroller.h"
#include "panel/panelstate.h"
#include "panel/panelvalues.h"
#include "panel/slotcontroller.h"
#include "reporting/reporter.h"
#include "scheduler/schedulestate.h"
#include "settings/settingsstore.h"

#include <optional>

namespace {

// A stored whole number: the trimmed text as a number, rounded half to even;
// nothing when the text is not a number.
std::optional<int> storedWholeNumber(const QString &text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return Protocol::roundHalfEven(value);
}

} // namespace

Startup::Startup(DeviceState &deviceState, LogoState &logoState, PanelState &panelState,
                 ScheduleState &scheduleState, Reporter &reporter, SettingsStore &settings, DeviceLink &link,
                 PanelController &panel, SlotController &slotControl, LogoFiles &files)
    : m_deviceState(deviceState)
    , m_logoState(logoState)
    , m_panelState(panelState)
    , m_scheduleState(scheduleState)
    , m_reporter(reporter)
    , m_settings(settings)
    , m_link(link)
    , m_panel(panel)
    , m_slots(slotControl)
    , m_files(files)
{
}

int Startup::skipPortFromCommandLine(const QStringList &arguments)
{
    const QString line = arguments.join(QLatin1Char(' ')).toUpper().trimmed();
    const QString word = QStringLiteral("SKIPCOM");
    const qsizetype at = line.indexOf(word);
    if (at < 0)
        return -1;
    const QString rest = line.mid(at + word.size()).trimmed();
    if (rest.isEmpty())
        return -1;
    const QChar first = rest.at(0);
    return first.isDigit() && first.unicode() < 128 ? first.unicode() - '0' : 0;
}

QList<QPair<QString, QString>> Startup::featureEnables(const QString &names, const QString &values)
{
    QList<QPair<QString, QString>> pairs;
    const QString a = names.trimmed();
    const QString b = values.trimmed();
    qsizetype posA = 0;
    qsizetype posB = 0;
    for (;;) {
        const qsizetype commaA = a.indexOf(QLatin1Char(','), posA);
        const qsizetype commaB = b.indexOf(QLatin1Char(','), posB);
        if (commaA < 0 || commaB < 0)
            break;
        pairs.append({a.mid(posA, commaA - posA).toUpper(), b.mid(posB, commaB - posB).toUpper()});
        posA = commaA + 1;
        posB = commaB + 1;
    }
    return pairs;
}

void Startup::start(const QStringList &arguments)
{
    m_deviceState.platformCode = 2;
    restoreSlot();
    m_panelState.previewVisible = true;

    m_panelState.timeOn = 100;
    m_panelState.timeInt = 100;
    m_panel.updateTimeLabels();

    for (int n = 8; n >= 1; --n)
        m_logoState.recentFiles[static_cast<size_t>(n - 1)]
            = m_settings.value(QStringLiteral("FileSelect") + QString::number(n));

    m_deviceState.skipPort = skipPortFromCommandLine(arguments);
    m_link.findPorts();

    openPort(std::nullopt);

    setUp();
    m_panel.refreshPreview();
    m_reporter.setDiagReply(QStringLiteral("No Reply"));
    m_deviceState.notify();
    m_panelState.notify();
    m_logoState.notify();
}

void Startup::restoreSlot()
{
    if (!m_settings.setAsideFile().isEmpty())
        m_reporter.ReportError(
            QStringLiteral("The settings file could not be read. It was kept as %1, and Quillon "
                           "starts from its defaults.")
                .arg(m_settings.setAsideFile()),
            QStringLiteral("Settings"));

    // The restored slot. A value that names no slot button would leave the
    // program loading for good, so it is reported and slot 1 is used.
    const QString logoSelect = m_settings.value(QStringLiteral("LogoSelect"), QStringLiteral("1"));
    if (!logoSelect.isEmpty()) {
        std::optional<int> slot = storedWholeNumber(logoSelect);
        if (!slot || *slot < 1 || *slot > LogoState::MaxSlots) {
            m_reporter.ReportError(
                QStringLiteral("The stored logo slot \"%1\" is not a slot from 1 to 15; slot 1 is used.")
                    .arg(logoSelect),
                QStringLiteral("Form_Load"));
            slot = 1;
        }
        m_logoState.slotChosen[static_cast<size_t>(*slot)] = true;
        m_logoState.currentSlot = *slot;
        m_logoState.selectedSlot = *slot;
    }
}

void Startup::openPort(std::optional<int> given)
{
    if (given) {
        m_deviceState.comPort = *given;
        m_deviceState.portText = QString::number(*given);
        m_link.openPort();
        return;
    }
    const QString comPort = m_settings.value(QStringLiteral("ComPort"));
    if (!comPort.isEmpty()) {
        const std::optional<int> number = storedWholeNumber(comPort);
        if (!number || *number < 1 || *number > 255) {
            m_reporter.ReportError(
                QStringLiteral(
                    "The stored port \"%1\" is not a port number from 1 to 255; no port is opened.")
                    .arg(comPort),
                QStringLiteral("Form_Load"));
            m_deviceState.comPort = 0;
        } else {
            for (size_t i = 1; i < m_deviceState.ports.size(); ++i) {
                if (m_deviceState.ports[i].visible && m_deviceState.ports[i].tag == comPort.trimmed()) {
                    m_deviceState.ports[i].checked = true;
                    break;
                }
            }
            m_deviceState.comPort = *number;
            m_deviceState.portText = QString::number(*number);
            m_link.openPort();
        }
    } else {
        m_deviceState.comPort = 0;
    }
}

void Startup::startHeadless(std::optional<int> comPort)
{
    m_deviceState.platformCode = 2;
    restoreSlot();
    m_panelState.timeOn = 100;
    m_panelState.timeInt = 100;
    m_panel.updateTimeLabels();
    openPort(comPort);
    setUp(false);
}

void Startup::setUp(bool readLogos)
{
    m_reporter.setCopyright(QString());
    m_logoState.saveToDiskOffered = false;
    m_deviceState.transfersEnabled = false;

    // A day mask that is not a number costs its sequence the days, and is
    // reported; every setting after it is still read.
    const Schedule::LoadProblem scheduleProblem = m_scheduleState.schedule.LoadSchedule(m_settings);
    if (scheduleProblem.bad)
        m_reporter.ReportError(scheduleProblem.message, QStringLiteral("Form_SetUp"));

    m_panelState.showInt
        = SettingsStore::trueTest(m_settings.value(QStringLiteral("ShowInt"), QStringLiteral("True")));
    m_panelState.showMix
        = SettingsStore::trueTest(m_settings.value(QStringLiteral("ShowMix"), QStringLiteral("False")));
    m_panelState.showFade
        = SettingsStore::trueTest(m_settings.value(QStringLiteral("ShowFade"), QStringLiteral("False")));

    m_menuOptions = MenuOptions{};
    m_menuOptions.showReply
        = SettingsStore::trueTest(m_settings.value(QStringLiteral("ShowReply"), QStringLiteral("False")));

    const double model
        = Protocol::leadingNumber(m_settings.value(QStringLiteral("QX_Model"), QStringLiteral("4")));
    const int m = static_cast<int>(model);
    if (model == m && Protocol::isModelNumber(m)) {
        m_deviceState.modelNumber = m;
        m_deviceState.modelChosen[static_cast<size_t>(m)] = true;
        m_slots.showLogoEntries();
    } else if (model == 0.0) {
        m_deviceState.modelNumber = 1;
        m_deviceState.modelChosen[0] = true;
        m_logoState.slotChosen[1] = true;
        m_slots.showLogoEntries();
    }

    m_menuOptions.diagTools
        = SettingsStore::trueTest(m_settings.value(QStringLiteral("DiagTools"), QStringLiteral("False")));
    applyFeatureEnables();

    m_scheduleState.on
        = SettingsStore::trueTest(m_settings.value(QStringLiteral("ScheduleOn"), QStringLiteral("False")));
    m_scheduleState.runningShown = m_scheduleState.on;
    m_scheduleState.locked
        = SettingsStore::falseTest(m_settings.value(QStringLiteral("Locked"), QStringLiteral("False")));
    m_panelState.locked
        = SettingsStore::falseTest(m_settings.value(QStringLiteral("PanelLock"), QStringLiteral("False")));
    m_panelState.lockedViewSlot = m_panelState.locked ? m_logoState.currentSlot : 0;

    for (int i = 2; i <= 4; ++i)
        m_logoState.slotButtonOffered[static_cast<size_t>(i)] = false;

    const QString standard = m_settings.value(QStringLiteral("NTSC_PAL"), QStringLiteral("0"));
    const std::optional<int> standardIndex = storedWholeNumber(standard);
    if (!standardIndex || (*standardIndex != 0 && *standardIndex != 1)) {
        m_reporter.ReportError(
            QStringLiteral("The stored video standard \"%1\" is neither 0 (NTSC) nor 1 (PAL); NTSC is used.")
                .arg(standard),
            QStringLiteral("Form_SetUp"));
        m_panelState.standard = 0;
    } else {
        m_panelState.standard = *standardIndex;
        m_settings.setValue(QStringLiteral("NTSC_PAL"), QString::number(*standardIndex));
    }

    // From here on a bad value only skips its own step. Loading the stored
    // bitmaps moves the current slot through the slots; afterwards the view,
    // uploads, the file writer and downloads all work on the slot the user
    // chose last (slot 1 when the model has no button for it).
    int selected = m_logoState.selectedSlot;
    if (m_deviceState.modelNumber >= 1 && selected > m_deviceState.modelNumber) {
        m_logoState.slotChosen[static_cast<size_t>(selected)] = false;
        m_logoState.slotChosen[1] = true;
        selected = 1;
    }
    for (int n = m_deviceState.modelNumber; n >= 1 && readLogos; --n) {
        if (n > 32)
            continue;
        QString path = m_settings.value(QStringLiteral("BMPpath") + QString::number(n));
        m_logoState.slotFile[static_cast<size_t>(n)] = path;
        if (path.size() > 6) {
            m_logoState.currentSlot = n;
            m_files.readFile(path, LogoFiles::Origin::Stored);
        }
    }
    m_logoState.selectedSlot = selected;
    m_logoState.currentSlot = selected;
    readSliders();
    m_deviceState.notify();
    m_logoState.notify();
    m_panelState.notify();
    m_scheduleState.notify();
}

void Startup::readSliders()
{
    const auto stored = [this](const char *key, int min, int max) -> std::optional<int> {
        const std::optional<int> value
            = storedWholeNumber(m_settings.value(QString::fromLatin1(key), QStringLiteral("100")));
        if (!value || *value < min || *value > max)
            return std::nullopt;
        return value;
    };
    // The stored values only: their labels wait for the device's first
    // reply, and nothing is sent before the wake-up.
    using namespace PanelValues;
    PanelState &panel = m_panelState;
    if (const auto v = stored("Slider-INT", IntensityMin, IntensityMax))
        panel.intensity = *v;
    if (const auto v = stored("Slider-MIX", MixMin, MixMax))
        panel.mix = *v;
    if (const auto v = stored("Slider-FADE", FadeMin, FadeMax))
        panel.fade = *v;
    if (const auto v = stored("TimeInt", TimeMin, TimeMax))
        m_panel.showIntervalTime(*v);
    if (const auto v = stored("TimeOn", TimeMin, TimeMax))
        m_panel.showOnTime(*v);
}

void Startup::applyFeatureEnables()
{
    const auto pairs = featureEnables(m_settings.value(QStringLiteral("Enables_A"), QStringLiteral("0,")),
                                      m_settings.value(QStringLiteral("Enables_B"), QStringLiteral("0,")));
    for (const auto &[name, value] : pairs) {
        if (name == QLatin1String("DIAG")) {
            if (value == QLatin1String("1"))
                m_menuOptions.factoryReset = true;
        } else if (name == QLatin1String("NODE")) {
            if (value == QLatin1String("1"))
                m_menuOptions.nodeMenu = true;
        } else {
            bool ok = false;
            const int model = name.toInt(&ok);
            if (ok && Protocol::isModelNumber(model) && name == QString::number(model))
                m_deviceState.modelOffered[static_cast<size_t>(model)] = value == QLatin1String("1");
        }
    }
}
