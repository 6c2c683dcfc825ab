// SPDX-License-Identifier: GPL-3.0-or-later
#include "netlistener.h"

#include <QHostAddress>
#include <QTcpSocket>

namespace {

QByteArray peerName(const QTcpSocket *socket)
{
    return (socket->peerAddress().toString() + u':' + QString::number(socket->peerPort())).toLatin1();
}

} // namespace

NetListener::NetListener(Kind kind, QObject *parent)
    : QObject(parent)
    , m_kind(kind)
{
    connect(&m_server, &QTcpServer::newConnection, this, &NetListener::onNewConnection);
}

bool NetListener::listen(const QString &address, QString *error)
{
    // The port after the last colon; an IPv6 host in brackets.
    const qsizetype colon = address.lastIndexOf(u':');
    QString host = colon < 0 ? QStringLiteral("127.0.0.1") : address.left(colon);
    if (host.startsWith(u'[') && host.endsWith(u']'))
        host = host.mid(1, host.size() - 2);
    bool ok = false;
    const uint port = address.mid(colon + 1).toUInt(&ok);
    const QHostAddress hostAddress(host);
    if (!ok || port > 65535 || hostAddress.isNull()) {
        *error = QStringLiteral("--listen wants [HOST:]PORT, HOST an IP address, PORT 0..65535: %1")
                     .arg(address);
        return false;
    }
    if (!m_server.listen(hostAddress, static_cast<quint16>(port))) {
        *error = QStringLiteral("cannot listen on %1: %2").arg(address, m_server.errorString());
        return false;
    }
    return true;
}

QString NetListener::url() const
{
    const QHostAddress address = m_server.serverAddress();
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? u'[' + address.toString() + u']'
                             : address.toString();
    return QString::fromLatin1(scheme()) + QStringLiteral("://") + host + u':'
           + QString::number(m_server.serverPort());
}

void NetListener::send(const QByteArray &bytes)
{
    if (m_client)
        m_client->write(m_codec ? TelnetCodec::encode(bytes) : bytes);
}

void NetListener::setShut(bool shut)
{
    m_shut = shut;
    if (shut && m_client)
        dropClient();
}

void NetListener::onNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        if (m_client || m_shut) {
            emit clientRefused(peerName(socket));
            socket->abort();
            socket->deleteLater();
            continue;
        }
        m_client = socket;
        // Bytes go out as the line paces them, not gathered up.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        if (m_kind == Kind::Rfc2217)
            m_codec.emplace(TelnetCodec::Role::Server);
        m_settings = {};
        connect(socket, &QTcpSocket::readyRead, this, &NetListener::onReadyRead);
        connect(socket, &QTcpSocket::disconnected, this, &NetListener::dropClient);
        emit clientCame(peerName(socket));
    }
}

void NetListener::onReadyRead()
{
    if (!m_client)
        return;
    QByteArray bytes = m_client->readAll();
    if (m_codec) {
        bytes = m_codec->decode(bytes);
        m_client->write(m_codec->takeReply());
        if (const TelnetCodec::LineSettings asked = m_codec->requested(); asked != m_settings) {
            m_settings = asked;
            emit settingsRequested(QByteArray::number(asked.baud) + ' ' + QByteArray::number(asked.dataBits)
                                   + ' ' + QByteArray::number(asked.parity) + ' '
                                   + QByteArray::number(asked.stopBits));
        }
    }
    if (!bytes.isEmpty())
        emit received(bytes);
}

void NetListener::dropClient()
{
    if (!m_client)
        return;
    QTcpSocket *socket = std::exchange(m_client, nullptr);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    m_codec.reset();
    emit clientGone();
}
