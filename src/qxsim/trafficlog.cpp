// SPDX-License-Identifier: GPL-3.0-or-later
#include "trafficlog.h"

#include <QByteArrayView>

namespace {

constexpr QByteArrayView kHexDigits = "0123456789ABCDEF";

} // namespace

bool TrafficLog::open(const QString &path, QString *error)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        *error = m_file.errorString();
        return false;
    }
    return true;
}

void TrafficLog::bytes(qint64 ms, const QByteArray &kind, const QByteArray &bytes)
{
    writeLine(ms, kind, escape(bytes));
}

void TrafficLog::event(qint64 ms, const QByteArray &text)
{
    writeLine(ms, QByteArrayLiteral("#"), text);
}

void TrafficLog::writeLine(qint64 ms, const QByteArray &kind, const QByteArray &text)
{
    if (!m_file.isOpen())
        return;
    m_file.write(QByteArray::number(ms) + '\t' + kind + '\t' + text + '\n');
    m_file.flush();
}

QByteArray TrafficLog::escape(const QByteArray &bytes)
{
    QByteArray text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x21 && u <= 0x7E && c != '\\') {
            text += c;
        } else {
            text += "\\x";
            text += kHexDigits[u >> 4];
            text += kHexDigits[u & 0x0F];
        }
    }
    return text;
}

QByteArray TrafficLog::unescape(const QByteArray &text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == '\\' && i + 3 < text.size() && text.at(i + 1) == 'x') {
            const qsizetype high = kHexDigits.indexOf(text.at(i + 2));
            const qsizetype low = kHexDigits.indexOf(text.at(i + 3));
            if (high >= 0 && low >= 0) {
                bytes += static_cast<char>(high * 16 + low);
                i += 3;
                continue;
            }
        }
        bytes += text.at(i);
    }
    return bytes;
}

std::optional<TrafficLog::Entry> TrafficLog::parseLine(const QByteArray &line)
{
    const qsizetype firstTab = line.indexOf('\t');
    const qsizetype secondTab = line.indexOf('\t', firstTab + 1);
    if (firstTab < 0 || secondTab < 0)
        return std::nullopt;
    Entry entry;
    bool ok = false;
    entry.ms = line.left(firstTab).toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    entry.kind = line.mid(firstTab + 1, secondTab - firstTab - 1);
    const QByteArray text = line.mid(secondTab + 1);
    entry.bytes = entry.kind == "#" ? text : unescape(text);
    return entry;
}
