// SPDX-License-Identifier: GPL-3.0-or-later
#include "systemserialport.h"

#include "device_link/networkserialport.h"
#include "device_link/portholder.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSerialPort>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

SystemSerialPort::SystemSerialPort(PortLocator locator, QObject *parent)
    : SerialPort(parent)
    , m_locator(std::move(locator))
    , m_port(new QSerialPort(this))
    , m_network(new NetworkSerialPort(this))
{
    connect(m_network, &SerialPort::commEvent, this, &SerialPort::commEvent);
    connect(m_network, &SerialPort::warning, this, &SerialPort::warning);
    connect(m_port, &QSerialPort::readyRead, this, &SystemSerialPort::onReadyRead);
    connect(m_port, &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError error) { onError(static_cast<int>(error)); });
}

SystemSerialPort::~SystemSerialPort()
{
    close();
}

QString SystemSerialPort::devicePath(int portNumber) const
{
    return m_locator.devicePath(portNumber);
}

namespace {
// Who holds a busy port, for the report; empty when nobody visible does.
QString holderText(const QString &path)
{
    const std::optional<PortHolder::Holder> holder = PortHolder::find(path);
    return holder ? PortHolder::describe(*holder) : QString();
}
} // namespace

SerialPort::OpenResult SystemSerialPort::openDevice(QSerialPort &port, int portNumber) const
{
    const QString path = m_locator.devicePath(portNumber);
    if (path.isEmpty())
        return {NotValid, QString()};
    port.setPortName(path);
    port.setBaudRate(QSerialPort::Baud9600);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    port.setReadBufferSize(0);
    if (port.open(QIODevice::ReadWrite)) {
        port.setDataTerminalReady(true);
        port.setRequestToSend(true);
        return {};
    }
    switch (port.error()) {
    case QSerialPort::DeviceNotFoundError:
        return {NotValid, QString()};
    case QSerialPort::PermissionError: {
        // QSerialPort says "permission" both for a port locked by another
        // program and for one this user may not open; tell them apart.
        const QByteArray native = QFile::encodeName(path);
        if (::access(native.constData(), R_OK | W_OK) != 0 && errno == EACCES) {
            return {InUse, QStringLiteral("(%1: permission denied; the user lacks access to the port, "
                                          "for example is not in the dialout group)")
                               .arg(path)};
        }
        return {InUse, holderText(path)};
    }
    case QSerialPort::OpenError:
        return {InUse, holderText(path)};
    default:
        // The device node is there but will not work as a serial port
        // (no hardware behind /dev/ttyS3, for instance).
        return {NotValid, QString()};
    }
}

SerialPort::OpenResult SystemSerialPort::open(int portNumber)
{
    close();
    m_lost = false;
    const PortLocator::Found found = m_locator.find(portNumber);
    if (found.path.isEmpty() && !found.problem.isEmpty())
        return {NotValid, QStringLiteral("(%1)").arg(found.problem)};
    const std::optional<PortUrl> url = PortUrl::parse(found.path);
    m_onNetwork = url.has_value();
    if (m_onNetwork) {
        m_network->setUrl(*url);
        return m_network->open(portNumber);
    }
    return openDevice(*m_port, portNumber);
}

void SystemSerialPort::close()
{
    m_network->close();
    if (!m_port->isOpen())
        return;
    m_port->setDataTerminalReady(false);
    m_port->setRequestToSend(false);
    m_port->close();
}

bool SystemSerialPort::isOpen() const
{
    return m_onNetwork ? m_network->isOpen() : m_port->isOpen();
}

bool SystemSerialPort::isNetwork() const
{
    return m_onNetwork;
}

QString SystemSerialPort::lastProblem() const
{
    return m_onNetwork ? m_network->lastProblem() : QString();
}

bool SystemSerialPort::probe(int portNumber)
{
    const QString path = m_locator.devicePath(portNumber);
    if (path.isEmpty())
        return false;
    // A port on a device server is there when its URL is well-formed:
    // discovery does not connect.
    if (PortUrl::looksLikeUrl(path))
        return true;
    QSerialPort port;
    if (!openDevice(port, portNumber).ok())
        return false;
    port.setDataTerminalReady(false);
    port.setRequestToSend(false);
    port.close();
    return true;
}

qint64 SystemSerialPort::bytesWaiting() const
{
    if (m_onNetwork)
        return m_network->bytesWaiting();
    return m_port->isOpen() ? m_port->bytesAvailable() : 0;
}

QByteArray SystemSerialPort::readWaiting(qint64 maxBytes)
{
    if (m_onNetwork)
        return m_network->readWaiting(maxBytes);
    if (!m_port->isOpen())
        return {};
    return m_port->read(maxBytes);
}

QString SystemSerialPort::write(const QByteArray &bytes)
{
    if (m_onNetwork)
        return m_network->write(bytes);
    if (!m_port->isOpen())
        return QStringLiteral("Port is closed");
    if (m_port->write(bytes) != bytes.size())
        return m_port->errorString();
    if (m_port->bytesToWrite() > OutputBufferSize)
        QMetaObject::invokeMethod(
            this, [this] { emit commEvent(TransmitBufferFull); }, Qt::QueuedConnection);
    return QString();
}

void SystemSerialPort::setReceiveThreshold(int bytes)
{
    m_threshold = std::max(bytes, 1);
    m_network->setReceiveThreshold(bytes);
}

void SystemSerialPort::discardInput()
{
    if (m_onNetwork)
        return m_network->discardInput();
    if (!m_port->isOpen())
        return;
    m_port->readAll();
    m_port->clear(QSerialPort::Input);
}

void SystemSerialPort::discardAll()
{
    if (m_onNetwork)
        return m_network->discardAll();
    if (!m_port->isOpen())
        return;
    m_port->readAll();
    m_port->clear(QSerialPort::AllDirections);
}

bool SystemSerialPort::drain(int timeoutMs)
{
    if (m_onNetwork)
        return m_network->isOpen() && m_network->drain(timeoutMs);
    if (!m_port->isOpen())
        return false;
    QElapsedTimer elapsed;
    elapsed.start();
    while (m_port->bytesToWrite() > 0) {
        const qint64 left = timeoutMs - elapsed.elapsed();
        if (left <= 0 || !m_port->waitForBytesWritten(static_cast<int>(left)))
            return false;
    }
    // Then the line itself: what the driver still holds goes out at 9600
    // baud. Asked for rather than waited for with tcdrain(), which has no
    // time limit on a line that does not move.
    const int fd = static_cast<int>(m_port->handle());
    for (;;) {
        int queued = 0;
        if (::ioctl(fd, TIOCOUTQ, &queued) != 0)
            return false;
        if (queued <= 0)
            return true;
        if (elapsed.elapsed() >= timeoutMs)
            return false;
        QThread::msleep(5);
    }
}

void SystemSerialPort::onReadyRead()
{
    if (m_port->bytesAvailable() >= m_threshold)
        emit commEvent(DataReceived);
}

void SystemSerialPort::onError(int error)
{
    // An unplugged adapter shows as a resource error; a pseudo-terminal whose
    // other end went away as a read error.
    if ((error != QSerialPort::ResourceError && error != QSerialPort::ReadError) || m_lost
        || !m_port->isOpen())
        return;
    // The device vanished under the open port: an unplugged adapter, a line
    // that hung up. Report it once; the link closes the port.
    m_lost = true;
    QMetaObject::invokeMethod(
        this, [this] { emit commEvent(LineLost); }, Qt::QueuedConnection);
}
