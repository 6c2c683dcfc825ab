// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logo/logobitmap.h"
#include "panel/previewcolours.h"
#include "scheduler/schedule.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <array>

// Colours the program uses as records: the port indicator and the TAKE button.
enum class Indicator { None, Red, Cyan, Green };

// The values of the control panel's controls.
struct PanelState {
    int fade = 99;
    int mix = 99;
    int intensity = 99;
    int timeOn = 1;
    int timeInt = 1;
    bool timeSlidersEnabled = true;
    QString lblFade = QStringLiteral("000");
    QString lblRatio = QStringLiteral("000");
    QString lblIntensity = QStringLiteral("000");
    QString lblOnTime = QStringLiteral("0:00:00");
    QString lblCycTime = QStringLiteral("0:00:00");
    QString txtHPOS = QStringLiteral("100");
    QString txtVPOS = QStringLiteral("100");
    bool takeOn = false; // TAKE button green: the logo is on air
    int standard = 0;    // 0 NTSC, 1 PAL
    bool negate = false;
    bool locked = false;    // PanelLocked
    int lockedViewSlot = 0; // the slot whose logo view the lock disabled
    int previewLeft = 60;   // twips inside the position frame
    int previewTop = 240;
    bool previewVisible = true;
};

// One entry of the "&Com" menu (1 to 12; entry 0 searches).
struct PortMenuEntry {
    bool visible = false;
    bool checked = false;
    QString caption;
    QString tag;
    QString path;
    QString stableName; // the adapter's /dev/serial/by-id link, if it has one
};

// The state of the main window frmQuillon4 that the program's logic decides:
// flags, panel values, the title, which menus show and which carry ticks. The
// window draws it; the logic changes it and calls notify().
class MainState : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxSlots = 15;

    using QObject::QObject;

    void notify() { emit changed(); }

    // Global flags.
    bool loading = false;
    bool portReady = false;
    bool transferBusy = false;
    bool uploadPending = false;

    int platformCode = 2;
    int modelNumber = 0;
    int currentSlot = 1;
    int previousSlotButton = 0;
    int selectedSlotButton = 1; // the slot button that is selected
    std::array<QString, LogoSlots> slotFile{};

    // Logos: one per slot, each slot's height (32 or 64 lines: that of the
    // file read into it, 64 after an upload or with no file), the name each
    // slot's label shows, and how many lines each slot's view draws (0: none
    // yet). The full-size view shows the file read last.
    LogoStore logos{};
    std::array<int, LogoSlots> logoHeight = filled<LogoSlots>(LogoBitmap::Rows);
    std::array<QString, LogoSlots> logoName{};
    std::array<int, LogoSlots> viewHeight{};
    LogoBitmap lastPicture{};
    int lastPictureHeight = 0;
    PreviewColours viewColours{Rgb{255, 255, 255}, PureBlue};
    PreviewColours fullViewColours = PreviewColours::forFullView(false);
    bool refreshingPreview = false;

    QString title = QStringLiteral("Quillon");

    PanelState panel;

    // Port.
    int comPort = 0;
    int skipPort = -1;
    QString txtCom;
    Indicator txtComColour = Indicator::None;
    std::array<PortMenuEntry, 13> portMenu{};

    // Menus: index 1..15 for the Logo menu and the slot buttons.
    std::array<bool, MaxSlots + 1> logoMenuVisible = initialFlags(true);
    std::array<bool, MaxSlots + 1> logoMenuChecked = initialFlags(false);
    std::array<bool, MaxSlots + 1> slotButtonVisible = initialFlags(true);
    bool deviceMenusEnabled = true;  // download, save settings, save logo, upload
    bool uploadMenuVisible = true;   // "&Upload Selected Logo From QX-4"
    bool saveLogoDiskVisible = true; // "Save Logo to .QX1 DOS Dis&k File"
    // Model menu, by index 0 (auto), 1, 3, 4, 7, 15, 31.
    std::array<bool, 32> modelMenuChecked{};
    std::array<bool, 32> modelMenuVisible = modelEntries();
    bool showInt = true;
    bool showMix = false;
    bool showFade = false;
    std::array<QString, 8> recentFiles{};
    // The weekly schedule, shared by the runner and the editor, and what the
    // runner shows: the blinking "Running" label, the logo it selected last
    // (its button text green) and the on-air marks of the logos it holds on.
    Schedule schedule;
    bool scheduleOn = false;
    bool scheduleLocked = false;
    bool runningLabelVisible = false;
    bool runningLabelYellow = false;
    int runnerLogoButton = 0;
    std::array<bool, MaxSlots + 1> onAirMark{};

    static constexpr std::array<int, 7> ModelIndexes{0, 1, 3, 4, 7, 15, 31};

signals:
    void changed();

private:
    template<size_t N> static constexpr std::array<int, N> filled(int value)
    {
        std::array<int, N> values{};
        values.fill(value);
        return values;
    }
    static constexpr std::array<bool, MaxSlots + 1> initialFlags(bool value)
    {
        std::array<bool, MaxSlots + 1> flags{};
        for (size_t i = 1; i < flags.size(); ++i)
            flags[i] = value;
        return flags;
    }
    static constexpr std::array<bool, 32> modelEntries()
    {
        std::array<bool, 32> entries{};
        for (int index : ModelIndexes)
            entries[static_cast<size_t>(index)] = true;
        return entries;
    }
};
