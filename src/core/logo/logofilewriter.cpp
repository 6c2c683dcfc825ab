// SPDX-License-Identifier: GPL-3.0-or-later
#include "logofilewriter.h"

#include "device_link/protocol.h"
#include "logo/logodownload.h"
#include "logo/logostate.h"
#include "panel/panelstate.h"
#include "reporting/reporter.h"

#include <QSaveFile>
#include <QtEndian>

namespace {
unsigned char outputMask(bool negative)
{
    return negative ? 0x00 : 0xFF;
}

template<typename T> void put(QByteArray &data, int offset, T value)
{
    qToLittleEndian<T>(value, data.data() + offset);
}
} // namespace

LogoFileWriter::LogoFileWriter(LogoState &logoState, PanelState &panelState, Reporter &reporter)
    : m_logoState(logoState)
    , m_panelState(panelState)
    , m_reporter(reporter)
{
}

QString LogoFileWriter::qx1Filter()
{
    return QStringLiteral("BMP Files (*.QX1);;All Files (*)");
}

QString LogoFileWriter::bmpFilter()
{
    return QStringLiteral("BMP Files (*.bmp);;All Files (*)");
}

QByteArray LogoFileWriter::qx1Bytes(const LogoBitmap &logo, bool negative, int height)
{
    // What the device holds after a download of the logo, in its field
    // order: the download's line writes under the opposite mask.
    QByteArray data;
    data.reserve(Qx1Size);
    for (const QByteArray &line : LogoDownload::lineWrites(logo, height, !negative))
        data += line;
    return data;
}

QByteArray LogoFileWriter::bmpHeader(int height, quint32 colour0, quint32 colour1)
{
    QByteArray data(62, '\0');
    data[0] = 'B';
    data[1] = 'M';
    put<quint32>(data, 2, static_cast<quint32>(62 + height * LogoBitmap::RowBytes));
    put<quint32>(data, 10, 62);
    put<quint32>(data, 14, 40);
    put<qint32>(data, 18, LogoBitmap::Width);
    put<qint32>(data, 22, height);
    put<quint16>(data, 26, 1);
    put<quint16>(data, 28, 1);
    put<quint32>(data, 54, colour0);
    put<quint32>(data, 58, colour1);
    return data;
}

QByteArray LogoFileWriter::bmpBytes(const LogoBitmap &logo, bool negative, int height)
{
    // Palette entry 0 black, entry 1 white; a 32-line logo's rows are the
    // first 32 of the slot.
    const int rows = height == 32 ? 32 : LogoBitmap::Rows;
    QByteArray data = bmpHeader(rows, 0x00000000, 0x00FFFFFF);
    const unsigned char mask = outputMask(negative);
    for (int i = 0; i < rows * LogoBitmap::RowBytes; ++i)
        data.append(static_cast<char>(logo.bytes[static_cast<size_t>(i)] ^ mask));
    return data;
}

bool LogoFileWriter::write(const QString &name, bool bmpMode)
{
    m_reporter.setUploadStatus(QString());
    if (name.trimmed().isEmpty())
        return false;
    m_reporter.setProgressValue(5);
    m_reporter.setProgressVisible(true);
    const int slot = std::clamp(m_logoState.currentSlot, 0, LogoSlots - 1);
    const LogoBitmap &logo = m_logoState.logos[static_cast<size_t>(slot)];
    const int height = m_logoState.logoHeight[static_cast<size_t>(slot)];
    const bool negative = m_panelState.negate;
    QByteArray data;
    if (bmpMode) {
        data = bmpBytes(logo, negative, height);
        m_reporter.setProgressValue(100);
    } else {
        m_reporter.setUploadStatus(QStringLiteral("Sending Odd Field"));
        data = qx1Bytes(logo, negative, height);
        m_reporter.setProgressValue(28);
        m_reporter.setUploadStatus(QStringLiteral("Sending Even Field"));
        m_reporter.setProgressValue(36);
    }
    // The old file stays as it was until the new one is complete; in a
    // folder that takes no new file, a file there is written in place.
    QSaveFile file(name.trimmed());
    file.setDirectWriteFallback(true);
    const bool ok = file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit();
    if (!ok)
        m_reporter.ReportError(QStringLiteral("Cannot write %1: %2").arg(name.trimmed(), file.errorString()),
                               QStringLiteral("mnuSaveLogoDisk"));
    m_reporter.setProgressVisible(false);
    m_reporter.setUploadStatus(QString());
    return ok;
}
