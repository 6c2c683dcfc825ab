// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logo/logobitmap.h"

#include <QObject>
#include <QString>

#include <array>

// The logo slots: which slot is current and selected, each slot's file,
// bitmap, height and name, the picture read last, the recent files, and
// which slots the Logo menu and the slot buttons offer.
class LogoState : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxSlots = 15;

    using QObject::QObject;

    void notify() { emit changed(); }

    int currentSlot = 1;
    int previousSlot = 0;
    int selectedSlot = 1; // the slot button that is selected
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
    std::array<QString, 8> recentFiles{};

    // By slot, 1..15: the slots the device offers, the chosen one, and the
    // slots with a button of their own; whether a logo can be saved as .QX1.
    std::array<bool, MaxSlots + 1> slotOffered = initialFlags(true);
    std::array<bool, MaxSlots + 1> slotChosen = initialFlags(false);
    std::array<bool, MaxSlots + 1> slotButtonOffered = initialFlags(true);
    bool saveToDiskOffered = true;

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
};
