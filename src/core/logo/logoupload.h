// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logo/logobitmap.h"

#include <QByteArray>
#include <QObject>

#include <optional>

class DeviceLink;
class DeviceState;
class LogoState;
class Reporter;

// Reads the device's selected logo back: the request, and the stream it
// answers with ("SD", the odd field, the even field), which goes inverted
// into the current slot and is then offered for saving as a bitmap file.
class LogoUpload : public QObject
{
    Q_OBJECT

public:
    static constexpr int WaitTicks = 500;

    LogoUpload(DeviceState &deviceState, LogoState &logoState, Reporter &reporter, DeviceLink &link,
               QObject *parent = nullptr);

    void request();
    void takeStream(const QByteArray &stream);

    // The logo a stream carries, already inverted; nothing when the stream
    // has no marker or too few bytes after it.
    static std::optional<LogoBitmap> decode(const QByteArray &stream, qsizetype *available = nullptr);

signals:
    // The uploaded slot is ready to be saved: ask for a file name.
    void saveRequested(int slot);

private:
    DeviceState &m_deviceState;
    LogoState &m_logoState;
    Reporter &m_reporter;
    DeviceLink &m_link;
};
