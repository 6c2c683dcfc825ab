// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

#include <array>

// Colours the program uses as records: the port indicator and the TAKE button.
enum class Indicator { None, Red, Cyan, Green };

// One entry of the "&Com" menu (1 to 12; entry 0 searches).
struct PortMenuEntry {
    bool visible = false;
    bool checked = false;
    QString caption;
    QString tag;
    QString path;
    QString stableName; // the adapter's /dev/serial/by-id link, if it has one
};

// The line and the device on it as the program knows them: which port is
// open and whether it answers, whether a transfer holds the line, the model
// and platform, and what the window offers for them. The link and the
// transfers change it and call notify().
class DeviceState : public QObject
{
    Q_OBJECT

public:
    // The model menu's entries: 0 (auto), 1, 3, 4, 7, 15, 31.
    static constexpr std::array<int, 7> ModelIndexes{0, 1, 3, 4, 7, 15, 31};

    using QObject::QObject;

    void notify() { emit changed(); }

    bool portReady = false;
    bool transferBusy = false;
    bool uploadPending = false;

    int platformCode = 2;
    int modelNumber = 0;
    QString title = QStringLiteral("Quillon");

    int comPort = 0;
    int skipPort = -1;
    QString txtCom;
    Indicator txtComColour = Indicator::None;
    std::array<PortMenuEntry, 13> portMenu{};

    bool deviceMenusEnabled = true; // download, save settings, save logo, upload
    bool uploadMenuVisible = true;  // "&Upload Selected Logo From QX-4"
    // Model menu, by index 0 (auto), 1, 3, 4, 7, 15, 31.
    std::array<bool, 32> modelMenuChecked{};
    std::array<bool, 32> modelMenuVisible = modelEntries();

signals:
    void changed();

private:
    static constexpr std::array<bool, 32> modelEntries()
    {
        std::array<bool, 32> entries{};
        for (int index : ModelIndexes)
            entries[static_cast<size_t>(index)] = true;
        return entries;
    }
};
