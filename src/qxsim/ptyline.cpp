// SPDX-License-Identifier: GPL-3.0-or-later
#include "ptyline.h"

#include <QDateTime>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

PtyLine::PtyLine(bool fast, QObject *parent)
    : QObject(parent)
    , m_fast(fast)
{
    m_clock.start();
    m_epochNs = QDateTime::currentMSecsSinceEpoch() * 1'000'000;
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(1);
    connect(&m_timer, &QTimer::timeout, this, &PtyLine::poll);
}

PtyLine::~PtyLine()
{
    close();
}

qint64 PtyLine::nowNs() const
{
    return m_epochNs + m_clock.nsecsElapsed();
}

bool PtyLine::open(QString *error)
{
    close();
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0) {
        *error = systemError("posix_openpt");
        return false;
    }
    char name[128];
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || ::ptsname_r(master, name, sizeof name) != 0) {
        *error = systemError("pseudo-terminal set-up");
        ::close(master);
        return false;
    }
    // Raw mode once, before the program opens the port. The settings stay with
    // the pseudo-terminal while the master is open. Closing the slave here also
    // makes the master report POLLHUP until the next open.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios settings{};
    if (slave < 0 || ::tcgetattr(slave, &settings) != 0) {
        *error = systemError("slave");
        if (slave >= 0)
            ::close(slave);
        ::close(master);
        return false;
    }
    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, B9600);
    ::cfsetospeed(&settings, B9600);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CSIZE);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    ::tcsetattr(slave, TCSANOW, &settings);
    ::close(slave);

    m_master = master;
    m_slavePath = QString::fromLocal8Bit(name);
    m_slaveOpen = false;
    m_lastTakenNs = 0;
    m_lineFreeNs = 0;
    m_timer.start();
    return true;
}

void PtyLine::close()
{
    m_timer.stop();
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
    m_slaveOpen = false;
    m_incoming.clear();
    m_outgoing.clear();
}

void PtyLine::send(const QByteArray &bytes, qint64 notBeforeNs)
{
    if (bytes.isEmpty())
        return;
    if (!m_slaveOpen && !m_networkOpen) {
        // Nobody listens; bytes written now would wait for the next opener.
        emit sendDropped(bytes.size());
        return;
    }
    m_outgoing.append({bytes, notBeforeNs});
}

void PtyLine::takeIn(const QByteArray &bytes)
{
    if (m_master >= 0)
        queueIncoming(bytes.constData(), bytes.size(), nowNs());
}

void PtyLine::setNetworkOpen(bool open)
{
    m_networkOpen = open;
    if (!m_slaveOpen && !m_networkOpen)
        dropOutput();
}

void PtyLine::poll()
{
    if (m_master < 0)
        return;
    const qint64 now = nowNs();
    pollfd descriptor{m_master, POLLIN, 0};
    if (::poll(&descriptor, 1, 0) < 0)
        return;
    const bool hungUp = (descriptor.revents & POLLHUP) != 0;
    const bool readable = (descriptor.revents & POLLIN) != 0;

    // Bytes from a program that opened, wrote and closed within one tick still
    // count as sent while the port was open.
    if (!m_slaveOpen && (!hungUp || readable)) {
        m_slaveOpen = true;
        emit slaveOpened();
    }
    if (readable)
        readMaster(now);
    while (!m_incoming.isEmpty() && m_incoming.constFirst().ns <= now) {
        const Incoming incoming = m_incoming.takeFirst();
        emit byteTakenIn(incoming.byte, incoming.ns);
    }
    emit ticked(now);
    if (m_master < 0) // a handler hung up
        return;

    if (m_slaveOpen && hungUp && m_incoming.isEmpty()) {
        m_slaveOpen = false;
        if (!m_networkOpen)
            dropOutput();
        // Drop what the program left unread, so the next opener starts clean.
        ::tcflush(m_master, TCIOFLUSH);
        emit slaveClosed();
        return;
    }
    writeMaster(now);
}

void PtyLine::readMaster(qint64 now)
{
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(m_master, buffer, sizeof buffer);
        if (count <= 0) // EAGAIN when drained; EIO once the slave is closed
            return;
        queueIncoming(buffer, count, now);
    }
}

void PtyLine::queueIncoming(const char *bytes, qsizetype count, qint64 now)
{
    for (qsizetype i = 0; i < count; ++i) {
        const qint64 taken = m_fast ? now : std::max(now, m_lastTakenNs + ByteNs);
        m_incoming.append({bytes[i], taken});
        m_lastTakenNs = taken;
    }
}

void PtyLine::writeMaster(qint64 now)
{
    while (!m_outgoing.isEmpty()) {
        Outgoing &out = m_outgoing.first();
        if (out.startNs < 0) {
            if (now < std::max(out.notBeforeNs, m_lineFreeNs))
                return;
            out.startNs = now;
            emit sendStarted(out.bytes, now);
        }
        // Byte k goes out at start + k byte times.
        const qsizetype due
            = m_fast ? out.bytes.size() : std::min(out.bytes.size(), (now - out.startNs) / ByteNs + 1);
        if (due > out.written) {
            // The pseudo-terminal sets the pace when it is open; the network
            // end gets what went out on it.
            qsizetype count = due - out.written;
            if (m_slaveOpen) {
                const ssize_t written
                    = ::write(m_master, out.bytes.constData() + out.written, static_cast<size_t>(count));
                if (written < 0 && errno != EAGAIN) {
                    dropOutput();
                    return;
                }
                count = std::max<ssize_t>(written, 0);
            }
            if (count > 0 && m_networkOpen)
                emit sent(out.bytes.mid(out.written, count));
            out.written += count;
        }
        if (out.written < out.bytes.size())
            return;
        m_lineFreeNs = m_fast ? now : out.startNs + out.bytes.size() * ByteNs;
        m_outgoing.removeFirst();
    }
}

void PtyLine::dropOutput()
{
    qsizetype count = 0;
    for (const Outgoing &out : std::as_const(m_outgoing))
        count += out.bytes.size() - out.written;
    m_outgoing.clear();
    if (count > 0)
        emit sendDropped(count);
}
