// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <span>

// The logo generator's command set. A command is a mnemonic of two to four
// printable letters followed by its argument bytes; there is no start byte,
// terminator, length or checksum. The number is also the command's index in
// the Diag menu.
struct CommandInfo {
    int number;
    const char *diagCaption; // nullptr where the Diag menu has no entry
    const char *mnemonic;    // empty for the entry that sends nothing
    int argLength;           // argument bytes after the mnemonic, or ArgOpen
    int trailerSpaces;       // blanks sent as a second write after the mnemonic
};

namespace CommandTable {

// An argument whose length is not fixed ("WK," and "ANI,"): it is normally two
// hexadecimal digits, but a caller may send fewer, so a receiver ends it at
// two characters or at line silence, whichever comes first.
inline constexpr int ArgOpen = -1;
inline constexpr int OpenArgMaxLength = 2;
inline constexpr int CommandCount = 26;

enum Number : int {
    ToggleTake = 0,
    TakeOff = 1,
    TakeOn = 2,
    FadeRate = 3,
    MixLevel = 4,
    IreLevel = 5,
    HorizPosn = 6,
    VertPosn = 7,
    SendLogo = 8,
    SaveSettings = 9,
    SaveLogo = 10,
    BlinkTest = 11,
    ChangeId = 12,
    SetTimeOn = 13,
    SetTimeOff = 14,
    Wakeup = 15,
    Sleep = 16,
    RetrieveSettings = 17,
    SelectLogo = 18,
    RetrieveLogo = 19,
    FactoryReset = 20,
    SetModel = 21,
    RetrieveCopyright = 22,
    ShowDialog = 23,
    StandardNtsc = 24,
    StandardPal = 25,
};

std::span<const CommandInfo> all();

// A command's text as it goes on the line: its mnemonic and the argument.
QByteArray text(int number, const QByteArray &argument = {});

// The entry for a command number, or nullptr for a number outside 0..25.
const CommandInfo *find(int number);

// The entry whose mnemonic the bytes begin with, or nullptr. Longer mnemonics
// are tried first, so "ATT" is never taken for "AT" + argument.
const CommandInfo *matchPrefix(const QByteArray &bytes);

// True when some mnemonic begins with the given bytes (a partial command).
bool isMnemonicPrefix(const QByteArray &bytes);

} // namespace CommandTable
