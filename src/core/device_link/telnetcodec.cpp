// SPDX-License-Identifier: GPL-3.0-or-later
#include "telnetcodec.h"

#include <utility>

namespace {

constexpr unsigned char SuppressGoAhead = 3;
constexpr unsigned char FirstCommand = 240; // SE; NOP, DM, .., GA follow
// What a server echoes besides the line settings: SET-CONTROL, SET-LINESTATE-MASK,
// SET-MODEMSTATE-MASK and PURGE-DATA, so that a client waiting for them goes on.
constexpr unsigned char SetControl = 5, SetLineStateMask = 10, SetModemStateMask = 11, PurgeData = 12;

constexpr unsigned bit(unsigned char code)
{
    return 1u << (code - 1);
}
constexpr unsigned AllSettings = bit(TelnetCodec::SetBaudRate) | bit(TelnetCodec::SetDataSize)
                                 | bit(TelnetCodec::SetParity) | bit(TelnetCodec::SetStopSize);

QByteArray baudBytes(unsigned baud)
{
    QByteArray value(4, '\0');
    for (int i = 0; i < 4; ++i)
        value[i] = static_cast<char>((baud >> (8 * (3 - i))) & 0xFF);
    return value;
}

unsigned baudValue(const QByteArray &value)
{
    unsigned baud = 0;
    for (const char c : value)
        baud = (baud << 8) | static_cast<unsigned char>(c);
    return baud;
}

QString settingName(unsigned char code)
{
    switch (code) {
    case TelnetCodec::SetBaudRate:
        return QStringLiteral("baud rate");
    case TelnetCodec::SetDataSize:
        return QStringLiteral("data bits");
    case TelnetCodec::SetParity:
        return QStringLiteral("parity");
    default:
        return QStringLiteral("stop bits");
    }
}

QString valueText(unsigned char code, unsigned value)
{
    static const char *const parities[] = {"none", "odd", "even", "mark", "space"};
    if (code == TelnetCodec::SetParity && value >= 1 && value <= 5)
        return QString::fromLatin1(parities[value - 1]);
    if (code == TelnetCodec::SetStopSize && value == 3)
        return QStringLiteral("1.5");
    return QString::number(value);
}

} // namespace

TelnetCodec::TelnetCodec(Role role)
    : m_role(role)
{
}

QByteArray TelnetCodec::start()
{
    if (m_role != Role::Client || m_started)
        return {};
    m_started = true;
    m_unanswered = AllSettings;
    m_local[Binary] = m_remote[Binary] = m_local[ComPortOption] = Side::WantYes;
    send(Will, Binary);
    send(Do, Binary);
    send(Will, ComPortOption);
    return takeReply();
}

QByteArray TelnetCodec::encode(const QByteArray &data)
{
    QByteArray out;
    out.reserve(data.size() + data.count(char(Iac)));
    for (const char c : data) {
        out += c;
        if (static_cast<unsigned char>(c) == Iac)
            out += c;
    }
    return out;
}

QByteArray TelnetCodec::decode(const QByteArray &bytes)
{
    QByteArray data;
    data.reserve(bytes.size());
    for (const char c : bytes)
        take(static_cast<unsigned char>(c), data);
    return data;
}

void TelnetCodec::take(unsigned char c, QByteArray &data)
{
    switch (m_state) {
    case State::Data:
        if (c == Iac) {
            m_state = State::Iac;
            return;
        }
        // Without BINARY a CR on its own goes as CR NUL.
        if (m_afterCr && c == 0 && m_remote[Binary] != Side::Yes) {
            m_afterCr = false;
            return;
        }
        m_afterCr = c == '\r';
        data += static_cast<char>(c);
        return;
    case State::Iac:
        m_state = State::Data;
        if (c == Iac) {
            m_afterCr = false;
            data += static_cast<char>(c);
        } else if (c >= Will && c <= Dont) {
            m_verb = c;
            m_state = State::Option;
        } else if (c == Sb) {
            m_sub.clear();
            m_subTooLong = false;
            m_state = State::Sub;
        } else if (c < FirstCommand) {
            take(c, data); // no command: the IAC goes, the byte stays
        }                  // NOP, GA, a stray SE and the other two-byte commands mean nothing here
        return;
    case State::Option:
        m_state = State::Data;
        command(m_verb, c);
        return;
    case State::Sub:
        if (c == Iac)
            m_state = State::SubIac;
        else
            subByte(c);
        return;
    case State::SubIac:
        if (c == Iac) {
            m_state = State::Sub;
            subByte(c);
        } else if (c == Se) {
            m_state = State::Data;
            subnegotiation();
        } else {
            // A subnegotiation cut short by another command: dropped, and the
            // command is read as one.
            m_state = State::Iac;
            take(c, data);
        }
        return;
    }
}

void TelnetCodec::subByte(unsigned char c)
{
    if (m_sub.size() < MaxSub)
        m_sub += static_cast<char>(c);
    else
        m_subTooLong = true;
}

bool TelnetCodec::agrees(unsigned char option, bool local) const
{
    if (option == Binary || option == SuppressGoAhead)
        return true;
    // The client offers COM-PORT-OPTION and the server takes it, not the other way.
    return option == ComPortOption && local == (m_role == Role::Client);
}

void TelnetCodec::command(unsigned char verb, unsigned char option)
{
    const bool local = verb == Do || verb == Dont;
    Side &side = local ? m_local[option] : m_remote[option];
    const bool asked = side == Side::WantYes;
    if (verb == Will || verb == Do) {
        if (side == Side::Yes)
            return;
        if (!asked && !agrees(option, local)) {
            send(local ? Wont : Dont, option);
            return;
        }
        side = Side::Yes;
        if (!asked)
            send(local ? Will : Do, option);
        if (local && option == ComPortOption && m_role == Role::Client) {
            m_unanswered = AllSettings;
            sendSub(SetBaudRate, baudBytes(BaudRate));
            sendSub(SetDataSize, QByteArray(1, char(8)));
            sendSub(SetParity, QByteArray(1, char(ParityNone)));
            sendSub(SetStopSize, QByteArray(1, char(StopBitsOne)));
        }
        return;
    }
    // WONT or DONT: a refusal of our request, or the end of an agreed option.
    if (side == Side::Yes)
        send(local ? Wont : Dont, option);
    side = Side::No;
    if (option == ComPortOption && m_role == Role::Client && m_unanswered != 0) {
        m_unanswered = 0;
        warn(0, QStringLiteral("The device server does not take line settings (RFC 2217 refused): the line "
                               "runs at whatever the server is set to, which may not be 9600,N,8,1."));
    }
}

void TelnetCodec::subnegotiation()
{
    if (m_subTooLong || m_sub.size() < 2 || static_cast<unsigned char>(m_sub.at(0)) != ComPortOption)
        return;
    const auto code = static_cast<unsigned char>(m_sub.at(1));
    const QByteArray value = m_sub.mid(2);
    if (m_role == Role::Client && code > ServerOffset && code <= ServerOffset + SetStopSize)
        clientAnswer(code - ServerOffset, value);
    else if (m_role == Role::Server)
        serverRequest(code, value);
}

void TelnetCodec::clientAnswer(unsigned char code, const QByteArray &value)
{
    m_unanswered &= ~bit(code);
    const qsizetype size = code == SetBaudRate ? 4 : 1;
    if (value.size() != size) {
        warn(code, QStringLiteral("The device server answered the %1 setting with %2 bytes instead of %3.")
                       .arg(settingName(code))
                       .arg(value.size())
                       .arg(size));
        return;
    }
    const unsigned asked = code == SetBaudRate   ? BaudRate
                           : code == SetDataSize ? 8u
                           : code == SetParity   ? unsigned(ParityNone)
                                                 : unsigned(StopBitsOne);
    const unsigned set = baudValue(value);
    if (set != asked)
        warn(code, QStringLiteral("The device server set the %1 to %2 instead of %3.")
                       .arg(settingName(code), valueText(code, set), valueText(code, asked)));
}

void TelnetCodec::serverRequest(unsigned char code, const QByteArray &value)
{
    if (code == SetControl || code == SetLineStateMask || code == SetModemStateMask || code == PurgeData) {
        sendSub(code + ServerOffset, value);
        return;
    }
    if (code < SetBaudRate || code > SetStopSize || value.size() != (code == SetBaudRate ? 4 : 1))
        return;
    // A 0 asks what the line is set to.
    const unsigned asked = baudValue(value);
    if (asked != 0) {
        switch (code) {
        case SetBaudRate:
            m_current.baud = m_requested.baud = asked;
            break;
        case SetDataSize:
            m_current.dataBits = m_requested.dataBits = int(asked);
            break;
        case SetParity:
            m_current.parity = m_requested.parity = int(asked);
            break;
        default:
            m_current.stopBits = m_requested.stopBits = int(asked);
            break;
        }
    }
    const QByteArray answer = code == SetBaudRate
                                  ? baudBytes(m_current.baud)
                                  : QByteArray(1, char(code == SetDataSize ? m_current.dataBits
                                                       : code == SetParity ? m_current.parity
                                                                           : m_current.stopBits));
    sendSub(code + ServerOffset, answer);
}

void TelnetCodec::send(unsigned char verb, unsigned char option)
{
    m_reply += char(Iac);
    m_reply += char(verb);
    m_reply += char(option);
}

void TelnetCodec::sendSub(unsigned char code, const QByteArray &value)
{
    m_reply += char(Iac);
    m_reply += char(Sb);
    m_reply += char(ComPortOption);
    m_reply += encode(QByteArray(1, char(code)) + value);
    m_reply += char(Iac);
    m_reply += char(Se);
}

void TelnetCodec::warn(unsigned char problem, const QString &warning)
{
    if (m_warned & (1u << problem))
        return;
    m_warned |= 1u << problem;
    m_warnings += warning;
}

QByteArray TelnetCodec::takeReply()
{
    return std::exchange(m_reply, {});
}

QStringList TelnetCodec::takeWarnings()
{
    return std::exchange(m_warnings, {});
}

bool TelnetCodec::settingsPending() const
{
    return m_unanswered != 0;
}

TelnetCodec::LineSettings TelnetCodec::requested() const
{
    return m_requested;
}
