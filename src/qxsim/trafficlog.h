// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QFile>

#include <optional>

// The simulator's traffic log: one line per item,
//     <epoch ms>\t<kind>\t<text>
// kind "rx" (a command received, time of its last byte), "tx" (a reply starting
// to go out), "!" (garbage received) carry escaped bytes; kind "#" carries an
// event text. Bytes 0x21..0x7E other than '\' are written as they are, every
// other byte as \xHH (upper-case hex). Every line is flushed at once, so that
// others can read the log while the simulator runs.
class TrafficLog
{
public:
    struct Entry {
        qint64 ms = 0;
        QByteArray kind;
        QByteArray bytes; // unescaped for rx, tx and !; the event text for #
    };

    bool open(const QString &path, QString *error);
    bool isOpen() const { return m_file.isOpen(); }

    void bytes(qint64 ms, const QByteArray &kind, const QByteArray &bytes);
    void event(qint64 ms, const QByteArray &text);

    static QByteArray escape(const QByteArray &bytes);
    static QByteArray unescape(const QByteArray &text);
    // One log line (without its line end); nothing for a line that is not one.
    static std::optional<Entry> parseLine(const QByteArray &line);

private:
    void writeLine(qint64 ms, const QByteArray &kind, const QByteArray &text);

    QFile m_file;
};
