// SPDX-License-Identifier: GPL-3.0-or-later
#include "commandsplitter.h"

#include <algorithm>
#include <cstring>

QList<CommandSplitter::Item> CommandSplitter::feed(char byte, qint64 ms)
{
    QList<Item> out;
    if (!isIdle() && ms - m_lastMs >= silenceLimit())
        out += flush();
    m_lastMs = ms;
    if (m_payloadAhead > 0 && m_state == State::Idle) {
        flushGarbage(out);
        m_state = State::Payload;
        m_remaining = m_payloadAhead;
        m_payloadAhead = 0;
    }
    take(byte, ms, out);
    return out;
}

QList<CommandSplitter::Item> CommandSplitter::checkSilence(qint64 now)
{
    if (isIdle() || now - m_lastMs < silenceLimit())
        return {};
    return flush();
}

qint64 CommandSplitter::silenceLimit() const
{
    return m_state == State::Payload || m_payloadAhead > 0 ? PayloadSilenceMs : SilenceMs;
}

QList<CommandSplitter::Item> CommandSplitter::flush()
{
    QList<Item> out;
    switch (m_state) {
    case State::Idle:
        if (m_payloadAhead > 0) {
            // The announced block never began.
            flushGarbage(out);
            m_payloadAhead = 0;
            m_currentMs = m_lastMs;
            emitCurrent(Item::PayloadCut, out);
        }
        break;
    case State::Payload:
        emitCurrent(Item::PayloadCut, out);
        break;
    case State::OpenArgument:
        argumentDone(out);
        if (m_state == State::Trailer)
            emitCurrent(Item::Command, out);
        break;
    case State::Trailer:
        emitCurrent(Item::Command, out);
        break;
    case State::Mnemonic:
    case State::Argument:
        // An unfinished command is not obeyed; it is reported as garbage.
        addGarbage(m_current, m_currentMs, out);
        m_current.clear();
        m_state = State::Idle;
        break;
    }
    flushGarbage(out);
    return out;
}

void CommandSplitter::expectPayload(qsizetype length)
{
    m_payloadAhead = std::max<qsizetype>(length, 0);
}

void CommandSplitter::take(char byte, qint64 ms, QList<Item> &out)
{
    switch (m_state) {
    case State::Idle:
        if (!CommandTable::isMnemonicPrefix(QByteArray(1, byte))) {
            addGarbage(QByteArray(1, byte), ms, out);
            return;
        }
        m_state = State::Mnemonic;
        m_current = QByteArray(1, byte);
        m_currentMs = ms;
        m_startMs = ms;
        mnemonicGrown(out);
        return;
    case State::Mnemonic: {
        m_current += byte;
        m_currentMs = ms;
        if (CommandTable::isMnemonicPrefix(m_current)) {
            mnemonicGrown(out);
            return;
        }
        // Not a command after all: its first byte is garbage, and a mnemonic may
        // begin anywhere in the rest.
        const QByteArray rest = m_current.mid(1);
        addGarbage(m_current.left(1), m_startMs, out);
        m_current.clear();
        m_state = State::Idle;
        for (const char c : rest)
            take(c, ms, out);
        return;
    }
    case State::Argument:
    case State::OpenArgument:
        m_current += byte;
        m_currentMs = ms;
        if (--m_remaining == 0)
            argumentDone(out);
        return;
    case State::Trailer:
        if (byte != ' ') {
            emitCurrent(Item::Command, out);
            take(byte, ms, out);
            return;
        }
        m_current += byte;
        m_currentMs = ms;
        if (--m_remaining == 0)
            emitCurrent(Item::Command, out);
        return;
    case State::Payload:
        m_current += byte;
        m_currentMs = ms;
        if (--m_remaining == 0)
            emitCurrent(Item::Payload, out);
        return;
    }
}

// No mnemonic is the beginning of another one, so a mnemonic is complete as
// soon as the bytes match it.
void CommandSplitter::mnemonicGrown(QList<Item> &out)
{
    const CommandInfo *info = CommandTable::matchPrefix(m_current);
    if (!info || std::strlen(info->mnemonic) != static_cast<size_t>(m_current.size()))
        return;
    flushGarbage(out);
    m_command = info;
    if (info->argLength == CommandTable::ArgOpen) {
        m_state = State::OpenArgument;
        m_remaining = CommandTable::OpenArgMaxLength;
    } else if (info->argLength > 0) {
        m_state = State::Argument;
        m_remaining = info->argLength;
    } else {
        argumentDone(out);
    }
}

void CommandSplitter::argumentDone(QList<Item> &out)
{
    m_argument = m_current.mid(static_cast<qsizetype>(std::strlen(m_command->mnemonic)));
    if (m_command->trailerSpaces > 0) {
        m_state = State::Trailer;
        m_remaining = m_command->trailerSpaces;
        return;
    }
    emitCurrent(Item::Command, out);
}

void CommandSplitter::emitCurrent(Item::Kind kind, QList<Item> &out)
{
    Item item;
    item.kind = kind;
    item.bytes = m_current;
    item.ms = m_currentMs;
    if (kind == Item::Command) {
        item.command = m_command;
        item.argument = m_argument;
    }
    out.append(item);
    m_current.clear();
    m_argument.clear();
    m_command = nullptr;
    m_state = State::Idle;
}

void CommandSplitter::addGarbage(const QByteArray &bytes, qint64 ms, QList<Item> &out)
{
    m_garbage += bytes;
    m_garbageMs = ms;
    if (m_garbage.size() >= MaxGarbageLength)
        flushGarbage(out);
}

void CommandSplitter::flushGarbage(QList<Item> &out)
{
    if (m_garbage.isEmpty())
        return;
    Item item;
    item.kind = Item::Garbage;
    item.bytes = m_garbage;
    item.ms = m_garbageMs;
    out.append(item);
    m_garbage.clear();
}
