// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Telnet with the RFC 2217 COM-PORT-OPTION, as serial device servers speak
// it: the line's bytes with 0xFF doubled, the option negotiation, and the
// line settings 9600 baud, 8 data bits, no parity, 1 stop bit. One codec per
// connection, at either end: the program is the client, qxsim's
// --listen-rfc2217 the server.
class TelnetCodec
{
public:
    enum class Role { Client, Server };

    // Telnet and RFC 2217 numbers.
    static constexpr unsigned char Iac = 255, Dont = 254, Do = 253, Wont = 252, Will = 251, Sb = 250,
                                   Se = 240;
    static constexpr unsigned char Binary = 0, ComPortOption = 44;
    static constexpr unsigned char SetBaudRate = 1, SetDataSize = 2, SetParity = 3, SetStopSize = 4;
    static constexpr unsigned char ServerOffset = 100; // a server's answer to SET-x is x + 100
    static constexpr unsigned char ParityNone = 1, StopBitsOne = 1;
    static constexpr unsigned BaudRate = 9600;

    struct LineSettings {
        unsigned baud = 0; // 0: not set
        int dataBits = 0;
        int parity = 0;
        int stopBits = 0;
        bool operator==(const LineSettings &) const = default;
    };

    explicit TelnetCodec(Role role);

    // Client: what goes out first on a new connection (BINARY both ways and
    // the offer of COM-PORT-OPTION). The line settings follow by themselves
    // in takeReply() once the server agrees to the option.
    QByteArray start();

    // The line's bytes as they go onto the network: every 0xFF doubled.
    static QByteArray encode(const QByteArray &data);

    // Takes bytes from the network and returns the line's bytes among them.
    // A command split across calls is kept for the next call; answers to the
    // other end wait in takeReply().
    QByteArray decode(const QByteArray &bytes);
    // Negotiation to send to the other end (answers, and the client's line
    // settings), in order; empty when there is none.
    QByteArray takeReply();
    // Client: what went wrong with the line settings, each problem once: the
    // server refuses the option, or answers a setting with another value.
    QStringList takeWarnings();
    // Client: true from start() until every line setting has been answered
    // or refused.
    bool settingsPending() const;

    // Server: the settings the client asked for so far.
    LineSettings requested() const;

private:
    // One side of an option, as RFC 1143 keeps it: a request of ours waits
    // for its answer, and an answer is never answered.
    enum class Side : unsigned char { No, Yes, WantYes };
    enum class State : unsigned char { Data, Iac, Option, Sub, SubIac };
    static constexpr qsizetype MaxSub = 64; // a longer subnegotiation is dropped

    void take(unsigned char c, QByteArray &data);
    void subByte(unsigned char c);
    void command(unsigned char verb, unsigned char option);
    void subnegotiation();
    void clientAnswer(unsigned char code, const QByteArray &value);
    void serverRequest(unsigned char code, const QByteArray &value);
    void send(unsigned char verb, unsigned char option);
    void sendSub(unsigned char code, const QByteArray &value);
    // problem: 0 the option refused, else the setting's code.
    void warn(unsigned char problem, const QString &warning);
    bool agrees(unsigned char option, bool local) const;

    Role m_role;
    State m_state = State::Data;
    unsigned char m_verb = 0;
    QByteArray m_sub;
    bool m_subTooLong = false;
    bool m_afterCr = false;
    bool m_started = false;
    Side m_local[256] = {};    // what we do (WILL/WONT)
    Side m_remote[256] = {};   // what the other end does (DO/DONT)
    unsigned m_unanswered = 0; // client: the line settings without an answer, one bit each
    LineSettings m_requested;  // server
    LineSettings m_current{BaudRate, 8, ParityNone, StopBitsOne}; // server: the line as set
    QByteArray m_reply;
    QStringList m_warnings;
    unsigned m_warned = 0; // the problems warned of, one bit each
};
