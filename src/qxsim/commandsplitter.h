// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "device_link/commandtable.h"

#include <QByteArray>
#include <QList>

// Cuts the byte stream that arrives at a node into commands. Commands have no
// frame: a command is recognised by its mnemonic, and its end follows from the
// argument length that the command table gives. Bytes that start no mnemonic are
// collected as garbage until the stream resynchronises on the next mnemonic.
//
// Every byte comes with the time (ms) it was taken in; the line counts as silent
// when no byte came for SilenceMs. Silence ends an open argument, the blanks
// after ATN/ATP, and turns a partial command into garbage.
//
// A binary block (a payload) that a command announces is waited for, and
// waited through, for PayloadSilenceMs: a longer silence, or the line closing,
// cuts it, and the splitter goes back to looking for commands.
class CommandSplitter
{
public:
    static constexpr qint64 SilenceMs = 5;
    static constexpr qint64 PayloadSilenceMs = 500;
    static constexpr qsizetype MaxGarbageLength = 1024;

    struct Item {
        // PayloadCut: an expected payload that did not come whole; bytes holds
        // what did come (possibly nothing).
        enum Kind { Command, Garbage, Payload, PayloadCut };
        Kind kind = Garbage;
        QByteArray bytes;                     // everything received for the item
        const CommandInfo *command = nullptr; // Command only
        QByteArray argument;                  // Command only: without mnemonic and trailer blanks
        qint64 ms = 0;                        // time of the item's last byte
    };

    // Takes one byte; returns the items that it completes (possibly none).
    QList<Item> feed(char byte, qint64 ms);
    // Ends whatever is pending if the line has been silent up to now.
    QList<Item> checkSilence(qint64 now);
    // Ends whatever is pending, as silence would (the line closed).
    QList<Item> flush();
    // The next length bytes fed form one Payload item whatever they contain
    // (for a command followed by a binary block). Takes effect from the next byte;
    // the wait for it counts from the last byte fed, so call it as soon as the
    // announcing command is out.
    void expectPayload(qsizetype length);

    bool isIdle() const { return m_state == State::Idle && m_garbage.isEmpty() && m_payloadAhead == 0; }

private:
    enum class State { Idle, Mnemonic, Argument, OpenArgument, Trailer, Payload };

    qint64 silenceLimit() const;
    void take(char byte, qint64 ms, QList<Item> &out);
    void mnemonicGrown(QList<Item> &out);
    void argumentDone(QList<Item> &out);
    void emitCurrent(Item::Kind kind, QList<Item> &out);
    void addGarbage(const QByteArray &bytes, qint64 ms, QList<Item> &out);
    void flushGarbage(QList<Item> &out);

    State m_state = State::Idle;
    QByteArray m_current;   // bytes of the item being assembled
    qint64 m_currentMs = 0; // time of the last byte in m_current
    qint64 m_startMs = 0;   // time of the first
    const CommandInfo *m_command = nullptr;
    QByteArray m_argument;
    qsizetype m_remaining = 0;
    qsizetype m_payloadAhead = 0;
    QByteArray m_garbage;
    qint64 m_garbageMs = 0;
    qint64 m_lastMs = 0;
};
