// SPDX-License-Identifier: GPL-3.0-or-later
#include "commandtable.h"

#include <array>
#include <cstring>

namespace {

using CommandTable::ArgOpen;

constexpr std::array<CommandInfo, CommandTable::CommandCount> kCommands{{
    {0, "Toggle TAKE", "ATT", 0, 0},
    {1, "TAKE OFF", "AT0", 0, 0},
    {2, "TAKE ON", "AT1", 0, 0},
    {3, "Fade Rate", "AFR", 1, 0},
    {4, "Mix Level", "AFL", 1, 0},
    {5, "IRE Level", "AIR", 1, 0},
    {6, "Horiz Posn", "AHP", 2, 0},
    {7, "Vert Posn", "AVP", 2, 0},
    {8, "Send Logo", "ALD", 0, 0},
    {9, "Save Settings to EEPROM", "ASS", 0, 0},
    {10, "Save Logo to EEPROM", "ASI", 0, 0},
    {11, "Blink Test", "ACI", 0, 0},
    {12, "Change ID Num", "ANI,", ArgOpen, 0},
    {13, "Set Time ON", "APA", 1, 0},
    {14, "Set Time OFF", "API", 1, 0},
    {15, "Wakeup QX", "WK,", ArgOpen, 0},
    {16, "Sleep QX", "SP", 0, 0},
    {17, "Retreive Settings", "ARS", 0, 0},
    {18, "Select Logo", "AJ", 5, 0},
    {19, "Retreive Logo", "ARM", 0, 0},
    {20, "Factory Reset", "ACM", 0, 0},
    {21, "Set Model #", "ACT", 2, 0},
    {22, "Retreive Copyright", "ARC", 0, 0},
    {23, "Show Dialog", "", 0, 0},
    {24, nullptr, "ATN", 0, 10},
    {25, nullptr, "ATP", 0, 10},
}};

} // namespace

namespace CommandTable {

std::span<const CommandInfo> all()
{
    return kCommands;
}

QByteArray text(int number, const QByteArray &argument)
{
    const CommandInfo *info = find(number);
    return info ? QByteArray(info->mnemonic) + argument : QByteArray();
}

const CommandInfo *find(int number)
{
    if (number < 0 || number >= CommandCount)
        return nullptr;
    return &kCommands[static_cast<size_t>(number)];
}

const CommandInfo *matchPrefix(const QByteArray &bytes)
{
    const CommandInfo *best = nullptr;
    size_t bestLength = 0;
    for (const CommandInfo &info : kCommands) {
        const size_t length = std::strlen(info.mnemonic);
        if (length == 0 || length <= bestLength)
            continue;
        if (bytes.startsWith(QByteArray::fromRawData(info.mnemonic, static_cast<qsizetype>(length)))) {
            best = &info;
            bestLength = length;
        }
    }
    return best;
}

bool isMnemonicPrefix(const QByteArray &bytes)
{
    for (const CommandInfo &info : kCommands) {
        const QByteArray mnemonic(info.mnemonic);
        if (!mnemonic.isEmpty() && mnemonic.startsWith(bytes))
            return true;
    }
    return false;
}

} // namespace CommandTable
