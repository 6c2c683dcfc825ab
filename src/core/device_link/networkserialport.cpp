// SPDX-License-Identifier: GPL-3.0-or-later
#include "networkserialport.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <QThread>

NetworkSerialPort::NetworkSerialPort(QObject *parent)
    : SerialPort(parent)
    , m_socket(new QTcpSocket(this))
{
    m_connectTimer.setSingleShot(true);
    m_settingsTimer.setSingleShot(true);
    m_clock.start();
    connect(&m_connectTimer, &QTimer::timeout, this, [this] {
        fail(QStringLiteral("%1 did not answer within %2 s").arg(m_url->text()).arg(ConnectMs / 1000));
    });
    connect(&m_settingsTimer, &QTimer::timeout, this, [this] {
        if (m_telnet && m_telnet->settingsPending())
            emit warning(QStringLiteral("%1 left the line settings 9600,N,8,1 unanswered; the line keeps "
                                        "the server's own settings.")
                             .arg(m_url->text()));
    });
    connect(m_socket, &QTcpSocket::connected, this, &NetworkSerialPort::onConnected);
    connect(m_socket, &QTcpSocket::readyRead, this, &NetworkSerialPort::onReadyRead);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &NetworkSerialPort::onSocketError);
    connect(m_socket, &QTcpSocket::disconnected, this, &NetworkSerialPort::onSocketError);
}

NetworkSerialPort::~NetworkSerialPort()
{
    m_socket->disconnect(this);
}

QString NetworkSerialPort::devicePath(int portNumber) const
{
    Q_UNUSED(portNumber);
    return m_url ? m_url->text() : QString();
}

bool NetworkSerialPort::probe(int portNumber)
{
    // Discovery does not connect: a well-formed URL is a port.
    Q_UNUSED(portNumber);
    return m_url.has_value();
}

SerialPort::OpenResult NetworkSerialPort::open(int portNumber)
{
    Q_UNUSED(portNumber);
    close();
    if (!m_url)
        return {NotValid, QString()};
    m_received.clear();
    m_unsent.clear();
    m_telnet.reset();
    if (m_url->kind == PortUrl::Kind::Rfc2217)
        m_telnet.emplace(TelnetCodec::Role::Client);
    m_open = true;
    m_connectTimer.start(ConnectMs);
    m_socket->connectToHost(m_url->host, m_url->port);
    return {};
}

void NetworkSerialPort::close()
{
    m_connectTimer.stop();
    m_settingsTimer.stop();
    m_open = false;
    m_connected = false;
    if (m_socket->state() != QAbstractSocket::UnconnectedState) {
        m_socket->blockSignals(true);
        m_socket->abort();
        m_socket->blockSignals(false);
    }
}

bool NetworkSerialPort::isOpen() const
{
    return m_open;
}

void NetworkSerialPort::onConnected()
{
    m_connectTimer.stop();
    m_problem.clear();
    m_connected = true;
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (m_telnet) {
        m_socket->write(m_telnet->start());
        m_settingsTimer.start(SettingsMs);
    }
    if (!m_unsent.isEmpty())
        m_socket->write(std::exchange(m_unsent, QByteArray()));
    emit commEvent(Connected);
}

void NetworkSerialPort::sendNegotiation()
{
    const QByteArray reply = m_telnet->takeReply();
    if (!reply.isEmpty())
        m_socket->write(reply);
    for (const QString &problem : m_telnet->takeWarnings())
        emit warning(QStringLiteral("%1: %2").arg(m_url->text(), problem));
}

bool NetworkSerialPort::pull()
{
    const QByteArray bytes = m_socket->readAll();
    if (bytes.isEmpty())
        return false;
    const qsizetype before = m_received.size();
    if (m_telnet) {
        m_received += m_telnet->decode(bytes);
        sendNegotiation();
    } else {
        m_received += bytes;
    }
    return m_received.size() > before;
}

void NetworkSerialPort::onReadyRead()
{
    if (pull() && m_received.size() >= m_threshold)
        emit commEvent(DataReceived);
}

void NetworkSerialPort::onSocketError()
{
    if (!m_open)
        return;
    const QString why = m_socket->errorString();
    if (m_connected) {
        // A connection that was up went down: the line is lost.
        m_problem = QStringLiteral("%1: %2").arg(m_url->text(), why);
        close();
        emit commEvent(LineLost);
        return;
    }
    fail(QStringLiteral("%1: %2").arg(m_url->text(), why));
}

void NetworkSerialPort::fail(const QString &problem)
{
    m_problem = problem;
    close();
    emit commEvent(Unreachable);
}

qint64 NetworkSerialPort::bytesWaiting() const
{
    return m_received.size();
}

QByteArray NetworkSerialPort::readWaiting(qint64 maxBytes)
{
    QByteArray out = m_received.left(maxBytes);
    m_received.remove(0, out.size());
    return out;
}

QString NetworkSerialPort::write(const QByteArray &bytes)
{
    if (!m_open)
        return QStringLiteral("the port is closed");
    const QByteArray wire = m_telnet ? TelnetCodec::encode(bytes) : bytes;
    // When the server's serial side will have sent these bytes at 9600 baud.
    const qint64 now = m_clock.elapsed();
    m_lineFreeAt = std::max(m_lineFreeAt, now) + (bytes.size() * 10 * 1000 + 9599) / 9600;
    if (!m_connected) {
        m_unsent += wire;
        return QString();
    }
    if (m_socket->write(wire) != wire.size())
        return m_socket->errorString();
    return QString();
}

void NetworkSerialPort::setReceiveThreshold(int bytes)
{
    m_threshold = std::max(1, bytes);
}

void NetworkSerialPort::discardInput()
{
    if (m_connected)
        pull();
    m_received.clear();
}

void NetworkSerialPort::discardAll()
{
    discardInput();
    m_unsent.clear();
}

bool NetworkSerialPort::drain(int timeoutMs)
{
    if (!m_connected && m_open && !m_unsent.isEmpty()) {
        // Written while connecting (a last command before the program
        // ends): the connection is waited for, as far as the time allows.
        QElapsedTimer elapsed;
        elapsed.start();
        if (!m_socket->waitForConnected(timeoutMs))
            return false;
        if (!m_connected) // the wait usually delivers connected() itself
            onConnected();
        timeoutMs = std::max(0, timeoutMs - static_cast<int>(elapsed.elapsed()));
    }
    if (!m_connected)
        return m_unsent.isEmpty();
    QElapsedTimer elapsed;
    elapsed.start();
    m_socket->flush();
    if (m_socket->bytesToWrite() > 0 && !m_socket->waitForBytesWritten(timeoutMs))
        return false;
    // Then the server's serial side: a server throws away what its port has
    // not sent yet when the connection closes (ser2net flushes the port), so
    // wait until the bytes have had time to go out at 9600 baud, plus the
    // network's delay and the server's own packet timer. A busy server, or a
    // busy machine in front of a pseudo-terminal (which ser2net cannot ask
    // how much it still holds), took more than 250 ms.
    constexpr int ServerLatencyMs = 1000;
    while (m_clock.elapsed() < m_lineFreeAt + ServerLatencyMs) {
        if (elapsed.elapsed() >= timeoutMs)
            return false;
        QThread::msleep(5);
    }
    return true;
}
