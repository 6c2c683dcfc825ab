// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

// A port on a serial device server: socket://HOST:PORT (the line's bytes as
// they are over TCP) or rfc2217://HOST:PORT (telnet with the RFC 2217
// COM-PORT-OPTION). HOST is a name, an IPv4 address or an IPv6 address in
// brackets.
struct PortUrl {
    enum class Kind { Raw, Rfc2217 };

    Kind kind = Kind::Raw;
    QString host; // without brackets
    quint16 port = 0;

    // The URL as it is written, the form shown as the port's path.
    QString text() const;

    // True for text that starts like a URL of a port, well-formed or not.
    static bool looksLikeUrl(const QString &text);
    // The URL in text (blanks around it ignored); nothing, with the reason in
    // *problem, when it is not a well-formed port URL.
    static std::optional<PortUrl> parse(const QString &text, QString *problem = nullptr);
};
