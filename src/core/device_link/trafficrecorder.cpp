// SPDX-License-Identifier: GPL-3.0-or-later
#include "trafficrecorder.h"

#include "device_link/clock.h"
#include "device_link/devicelink.h"

#include <QSaveFile>

TrafficRecorder::TrafficRecorder(DeviceLink &link, const Clock &clock, QObject *parent)
    : QObject(parent)
    , m_link(link)
    , m_clock(clock)
{
}

void TrafficRecorder::setRecording(bool on)
{
    if (on == m_recording)
        return;
    m_recording = on;
    if (on) {
        m_sentConnection = connect(&m_link, &DeviceLink::bytesSent, this,
                                   [this](const QByteArray &bytes) { add(true, bytes); });
        m_replyConnection = connect(&m_link, &DeviceLink::replyReceived, this,
                                    [this](const QByteArray &bytes) { add(false, bytes); });
    } else {
        disconnect(m_sentConnection);
        disconnect(m_replyConnection);
    }
}

void TrafficRecorder::clear()
{
    m_lines.clear();
    emit cleared();
}

void TrafficRecorder::add(bool sent, const QByteArray &bytes)
{
    if (m_paused)
        return;
    m_lines.push_back({m_clock.now(), sent, bytes});
    if (m_lines.size() > MaxLines)
        m_lines.pop_front();
    emit appended(m_lines.back());
}

QString TrafficRecorder::format(const Line &line)
{
    const QByteArray shown = line.bytes.left(MaxShownBytes);
    QString readable;
    readable.reserve(shown.size());
    for (const char c : shown)
        readable += c >= 0x20 && c < 0x7F ? QLatin1Char(c) : QLatin1Char('.');
    QString text = line.time.toString(QStringLiteral("HH:mm:ss.zzz"))
                   + (line.sent ? QStringLiteral("  TX  ") : QStringLiteral("  RX  "))
                   + QString::fromLatin1(shown.toHex(' ').toUpper()) + QStringLiteral("  ") + readable;
    if (line.bytes.size() > shown.size())
        text += QStringLiteral(" ... (%1 bytes)").arg(line.bytes.size());
    return text;
}

QString TrafficRecorder::save(const QString &fileName) const
{
    QSaveFile file(fileName);
    // A folder that takes no new file still lets its files be overwritten.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return file.errorString();
    for (const Line &line : m_lines) {
        if (file.write((format(line) + QLatin1Char('\n')).toUtf8()) < 0)
            return file.errorString();
    }
    if (!file.commit())
        return file.errorString();
    return QString();
}
