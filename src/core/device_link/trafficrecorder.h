// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>

#include <deque>

class Clock;
class DeviceLink;

// The traffic on the line as the link sees it: every write to the port and
// every complete reply, with the time to the millisecond. It listens only
// while recording (the traffic window is open), so it costs nothing
// otherwise, and keeps the latest MaxLines.
class TrafficRecorder : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxLines = 5000;
    // A line shows at most this many bytes, then how many there were.
    static constexpr int MaxShownBytes = 256;

    struct Line {
        QDateTime time;
        bool sent = false;
        QByteArray bytes;
    };

    TrafficRecorder(DeviceLink &link, const Clock &clock, QObject *parent = nullptr);

    void setRecording(bool on);
    bool recording() const { return m_recording; }
    // While paused, nothing new is kept.
    void setPaused(bool paused) { m_paused = paused; }
    bool paused() const { return m_paused; }
    void clear();

    const std::deque<Line> &lines() const { return m_lines; }
    // "09:05:07.250  TX  41 52 53  ARS": time, direction, hex, readable text
    // (printable ASCII as it is, any other byte as a dot).
    static QString format(const Line &line);
    // Every line kept, one per line; an error text on failure, else empty.
    QString save(const QString &fileName) const;

signals:
    void appended(const TrafficRecorder::Line &line);
    void cleared();

private:
    void add(bool sent, const QByteArray &bytes);

    DeviceLink &m_link;
    const Clock &m_clock;
    bool m_recording = false;
    bool m_paused = false;
    std::deque<Line> m_lines;
    QMetaObject::Connection m_sentConnection;
    QMetaObject::Connection m_replyConnection;
};
