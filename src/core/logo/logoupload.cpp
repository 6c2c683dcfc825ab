// SPDX-License-Identifier: GPL-3.0-or-later
#include "logoupload.h"

#include "device_link/commandtable.h"
#include "device_link/devicelink.h"
#include "device_link/devicestate.h"
#include "logo/logostate.h"
#include "reporting/reporter.h"

LogoUpload::LogoUpload(DeviceState &deviceState, LogoState &logoState, Reporter &reporter, DeviceLink &link,
                       QObject *parent)
    : QObject(parent)
    , m_deviceState(deviceState)
    , m_logoState(logoState)
    , m_reporter(reporter)
    , m_link(link)
{
    connect(&m_link, &DeviceLink::logoStreamReceived, this, &LogoUpload::takeStream);
    connect(&m_link, &DeviceLink::logoStreamMissing, this, [this] {
        m_reporter.ReportError(QStringLiteral("No logo stream came from the device in answer to \"ARM\"."),
                               QStringLiteral("mnuUpLoadLogo_Click"));
    });
}

void LogoUpload::request()
{
    m_reporter.setUploadStatus(QString());
    if (m_deviceState.modelNumber <= 1) {
        m_reporter.ReportError(QStringLiteral("QX-1 Cannot upload logos to this program"),
                               QStringLiteral("QX-1: No Can Do"));
        return;
    }
    m_link.expectLogoStream(WaitTicks);
    m_reporter.setUploadStatus(QStringLiteral("Waiting for Reply"));
    m_link.sendCommand(CommandTable::RetrieveLogo);
}

std::optional<LogoBitmap> LogoUpload::decode(const QByteArray &stream, qsizetype *available)
{
    const qsizetype marker = stream.indexOf("SD");
    if (marker < 0)
        return std::nullopt;
    const qsizetype start = marker + 2;
    if (available)
        *available = stream.size() - start;
    if (stream.size() - start < LogoBitmap::Size)
        return std::nullopt;
    LogoBitmap logo;
    qsizetype at = start;
    const auto fill = [&](int row) {
        for (int k = 0; k < LogoBitmap::RowBytes; ++k)
            logo.bytes[static_cast<size_t>(row * LogoBitmap::RowBytes + k)]
                = static_cast<unsigned char>(stream[at++]) ^ 0xFF;
    };
    for (int row = 62; row >= 0; row -= 2)
        fill(row);
    for (int row = 63; row >= 1; row -= 2)
        fill(row);
    return logo;
}

void LogoUpload::takeStream(const QByteArray &stream)
{
    if (m_deviceState.modelNumber > 1)
        m_logoState.currentSlot = std::clamp(m_logoState.currentSlot, 1, m_deviceState.modelNumber);
    else
        m_logoState.currentSlot = 1;
    if (stream.size() < 2051)
        return;
    m_reporter.setProgressValue(0);
    m_reporter.setProgressVisible(true);
    if (stream.indexOf("SD") < 0)
        return;
    m_reporter.setUploadStatus(QStringLiteral("Merging Image"));
    qsizetype available = 0;
    const std::optional<LogoBitmap> logo = decode(stream, &available);
    if (!logo) {
        m_reporter.ReportError(
            QStringLiteral("The logo stream holds only %1 of 2048 bytes after its marker. 02").arg(available),
            QStringLiteral("Save_Picture"));
        return;
    }
    m_reporter.setUploadStatus(QStringLiteral("Inverting Image"));
    const int slot = m_logoState.currentSlot;
    const auto index = static_cast<size_t>(std::clamp(slot, 0, LogoSlots - 1));
    // The device always sends all 64 lines: the slot holds a 64-line logo
    // now, and its view draws all of it.
    m_logoState.logos[index] = *logo;
    m_logoState.logoHeight[index] = LogoBitmap::Rows;
    m_logoState.viewHeight[index] = LogoBitmap::Rows;
    m_reporter.setProgressValue(100);
    m_deviceState.notify();
    m_logoState.notify();
    if (slot >= 32)
        return;
    m_reporter.setUploadStatus(QStringLiteral("Saving Image"));
    emit saveRequested(slot);
}
