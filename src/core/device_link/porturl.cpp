// SPDX-License-Identifier: GPL-3.0-or-later
#include "porturl.h"

#include <QHostAddress>

QString PortUrl::text() const
{
    const QString scheme = kind == Kind::Raw ? QStringLiteral("socket://") : QStringLiteral("rfc2217://");
    const QString shownHost
        = host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    return scheme + shownHost + QLatin1Char(':') + QString::number(port);
}

bool PortUrl::looksLikeUrl(const QString &text)
{
    return text.trimmed().contains(QLatin1String("://"));
}

std::optional<PortUrl> PortUrl::parse(const QString &text, QString *problem)
{
    const auto fail = [problem](const QString &why) -> std::optional<PortUrl> {
        if (problem)
            *problem = why;
        return std::nullopt;
    };
    const QString url = text.trimmed();
    PortUrl result;
    QString rest;
    if (url.startsWith(QLatin1String("socket://"))) {
        rest = url.mid(9);
    } else if (url.startsWith(QLatin1String("rfc2217://"))) {
        result.kind = Kind::Rfc2217;
        rest = url.mid(10);
    } else {
        return fail(QStringLiteral("\"%1\" is not socket://HOST:PORT or rfc2217://HOST:PORT").arg(url));
    }

    QString host;
    QString portText;
    if (rest.startsWith(QLatin1Char('['))) {
        const qsizetype close = rest.indexOf(QLatin1Char(']'));
        if (close < 0 || rest.mid(close + 1, 1) != QLatin1String(":"))
            return fail(
                QStringLiteral("\"%1\" has an IPv6 address without its closing bracket and port").arg(url));
        host = rest.mid(1, close - 1);
        portText = rest.mid(close + 2);
        if (QHostAddress(host).protocol() != QAbstractSocket::IPv6Protocol)
            return fail(QStringLiteral("\"%1\" has no IPv6 address in its brackets").arg(url));
    } else {
        const qsizetype colon = rest.lastIndexOf(QLatin1Char(':'));
        if (colon < 0)
            return fail(QStringLiteral("\"%1\" has no port number").arg(url));
        host = rest.left(colon);
        portText = rest.mid(colon + 1);
        if (host.contains(QLatin1Char(':')))
            return fail(QStringLiteral("\"%1\" needs its IPv6 address in brackets").arg(url));
        for (const QChar c : host) {
            if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('.') && c != QLatin1Char('-')
                && c != QLatin1Char('_'))
                return fail(QStringLiteral("\"%1\" has no host name or address before the port").arg(url));
        }
    }
    if (host.isEmpty())
        return fail(QStringLiteral("\"%1\" has no host name or address before the port").arg(url));
    bool ok = false;
    const uint port = portText.toUInt(&ok);
    if (!ok || port < 1 || port > 65535 || portText.startsWith(QLatin1Char('+')))
        return fail(QStringLiteral("\"%1\" has no TCP port from 1 to 65535").arg(url));
    result.host = host;
    result.port = static_cast<quint16>(port);
    return result;
}
