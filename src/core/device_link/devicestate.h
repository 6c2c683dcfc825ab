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

    int platformCode = 2;
    int modelNumber = 0;
    QString title = QStringLiteral("Quillon");
    // The Quillon process whose control endpoint the window works through
    // ("quillon-cli schedule run on COM1 (/dev/ttyUSB0)"); empty when it
    // holds its line itself.
    QString heldBy;

    // The chosen port, the one the command line said to leave alone, the
    // port's number as shown, its indicator, and the ports found (1 to 12).
    int comPort = 0;
    int skipPort = -1;
    QString portText;
    Indicator portIndicator = Indicator::None;
    std::array<PortMenuEntry, 13> ports{};

    // Whether a download, a settings or NVRAM save and an upload can be asked
    // for, whether the device can send its logo back, and the models offered
    // and chosen by index 0 (auto), 1, 3, 4, 7, 15, 31.
    bool transfersEnabled = true;
    bool uploadOffered = true;
    std::array<bool, 32> modelChosen{};
    std::array<bool, 32> modelOffered = modelEntries();

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
