// SPDX-License-Identifier: GPL-3.0-or-later
#include "logodownload.h"

#include "device_link/commandtable.h"
#include "device_link/devicelink.h"
#include "device_link/devicestate.h"
#include "device_link/protocol.h"
#include "logo/logostate.h"
#include "panel/panelstate.h"
#include "panel/panelvalues.h"
#include "reporting/reporter.h"

#include <utility>

LogoDownload::LogoDownload(DeviceState &deviceState, LogoState &logoState, PanelState &panelState,
                           Reporter &reporter, DeviceLink &link, QObject *parent)
    : QObject(parent)
    , m_deviceState(deviceState)
    , m_logoState(logoState)
    , m_panelState(panelState)
    , m_reporter(reporter)
    , m_link(link)
{
    connect(&m_link, &DeviceLink::ticked, this, &LogoDownload::onTick);
}

QList<QByteArray> LogoDownload::lineWrites(const LogoBitmap &logo, int height, bool negative)
{
    const auto mask = static_cast<unsigned char>(negative ? 0xFF : 0x00);
    const auto line = [&](int row) {
        QByteArray text(LogoBitmap::RowBytes, '\0');
        for (int k = 0; k < LogoBitmap::RowBytes; ++k)
            text[k]
                = static_cast<char>(logo.bytes[static_cast<size_t>(row * LogoBitmap::RowBytes + k)] ^ mask);
        return text;
    };
    QList<QByteArray> writes;
    if (height == 32) {
        for (int field = 0; field < 2; ++field)
            for (int row = 31; row >= 0; --row)
                writes.append(line(row));
        return writes;
    }
    for (int row = 62; row >= 0; row -= 2)
        writes.append(line(row));
    for (int row = 63; row >= 1; row -= 2)
        writes.append(line(row));
    return writes;
}

void LogoDownload::status(const QString &text)
{
    m_reporter.setUploadStatus(text);
}

void LogoDownload::progress(double value)
{
    m_reporter.setProgressValue(Protocol::roundHalfEven(value));
}

void LogoDownload::wait(Step next, int ticks)
{
    m_step = next;
    m_countdown = ticks;
}

void LogoDownload::start()
{
    // One download at a time: a second one would mix its texts into the
    // first one's on the line. The non-volatile save's progress is no
    // download: a download asked for meanwhile starts when it has ended.
    if (m_step == Step::NvSave) {
        m_downloadAfterSave = true;
        status(QStringLiteral("Waiting for the NVRAM save"));
        return;
    }
    if (running()) {
        m_reporter.ReportError(QStringLiteral("A logo download is running; wait until it has finished."),
                               QStringLiteral("Download Running"));
        return;
    }
    m_deviceState.transferBusy = true;
    m_reporter.setUploadStatus(QString());
    if (!m_deviceState.portReady) {
        m_deviceState.transferBusy = false;
        return;
    }
    if (!m_link.portOpen()) {
        emit m_link.beepRequested();
        m_reporter.ReportError(QStringLiteral("No Valid COM Port Selected"),
                               QStringLiteral("Communication Error!"));
        m_deviceState.transferBusy = false;
        return;
    }
    const int slot = m_logoState.selectedSlot;
    if (slot < 1 || slot > 4) {
        m_reporter.ReportError(QStringLiteral("No logo was selected for download"),
                               QStringLiteral("No Logo"));
        m_deviceState.transferBusy = false;
        return;
    }
    m_logoState.currentSlot = slot;
    m_slot = slot;
    m_load = Load::Untouched;
    m_reporter.setProgressValue(0);
    m_reporter.setProgressVisible(true);
    progress(1);
    status(QStringLiteral("Preparing For Download"));
    progress(10);
    m_deviceState.notify();
    m_logoState.notify();
    m_link.writeText(CommandTable::text(CommandTable::RetrieveSettings));
    wait(Step::Settings, 12);
}

void LogoDownload::onTick()
{
    if (m_step == Step::Idle)
        return;
    if (m_countdown > 0)
        --m_countdown;
    const int left = m_countdown;
    if (m_step == Step::Settle)
        progress((5 - left) / 5.0 * 10 + 70);
    else if (m_step == Step::RestoreTake)
        progress((12 - left) / 12.0 * 20 + 80);
    else if (m_step == Step::NvSave && left >= 1)
        progress((120 - left) / 120.0 * 100);
    if (left > 0)
        return;

    switch (m_step) {
    case Step::Settings:
        m_takeWasOn = m_panelState.takeOn;
        if (!m_takeWasOn)
            m_link.sendCommand(CommandTable::ToggleTake);
        m_fade = m_panelState.fade;
        m_link.writeText(CommandTable::text(CommandTable::FadeRate, Protocol::byte(0)));
        wait(Step::FastFade, 10);
        break;
    case Step::FastFade:
        status(QStringLiteral("Turning TAKE OFF"));
        m_link.writeText(CommandTable::text(CommandTable::TakeOff));
        progress(20);
        wait(Step::TakeOff, 10);
        break;
    case Step::TakeOff:
        status(QStringLiteral("Starting Download"));
        m_link.writeText(CommandTable::text(CommandTable::SendLogo));
        m_load = Load::Partial;
        // From here to the last line byte the device takes whatever comes as
        // logo data: every other command waits until the lines are out.
        m_link.holdCommands(true);
        progress(30);
        wait(Step::StartLoad, 2);
        break;
    case Step::StartLoad:
        sendFields();
        m_load = Load::Written;
        m_link.holdCommands(false);
        wait(Step::Settle, 5);
        break;
    case Step::Settle:
        progress(80);
        progress(40);
        if (m_takeWasOn) {
            status(QStringLiteral("Restoring Settings"));
            m_link.writeText(CommandTable::text(CommandTable::TakeOn));
            wait(Step::RestoreTake, 12);
        } else {
            restoreFade();
        }
        break;
    case Step::RestoreTake:
        restoreFade();
        break;
    case Step::FirstFade:
        m_link.writeText(
            CommandTable::text(CommandTable::FadeRate, Protocol::byte(PanelValues::fadeByte(m_fade))));
        progress(100);
        wait(Step::SecondFade, 6);
        break;
    case Step::SecondFade:
        finish();
        break;
    case Step::NvSave:
        m_reporter.setProgressVisible(false);
        m_step = Step::Idle;
        if (std::exchange(m_downloadAfterSave, false))
            start();
        break;
    case Step::Idle:
        break;
    }
}

void LogoDownload::sendFields()
{
    const bool negative = m_panelState.negate;
    status(QStringLiteral("Sending Odd Field"));
    const int height = m_logoState.logoHeight[static_cast<size_t>(m_slot)] == 32 ? 32 : 64;
    const QList<QByteArray> writes
        = lineWrites(m_logoState.logos[static_cast<size_t>(m_slot)], height, negative);
    for (qsizetype i = 0; i < writes.size(); ++i) {
        if (i == 32)
            status(QStringLiteral("Sending Even Field"));
        m_link.sendDuringHold(writes[i]);
        if (height == 64) {
            const int row = i < 32 ? 62 - 2 * static_cast<int>(i) : 63 - 2 * static_cast<int>(i - 32);
            progress(i < 32 ? (62 - row) / 62.0 * 20 + 30 : (63 - row) / 63.0 * 20 + 50);
        } else {
            const qsizetype field = i < 32 ? 1 : 2;
            const qsizetype last = (i % 32) * 32 + 31;
            progress(double(field * 1024 + last) / 2048.0 * 50 + 20);
        }
    }
    if (height == 32)
        status(QStringLiteral("Sending Even Field"));
}

void LogoDownload::restoreFade()
{
    m_link.writeText(
        CommandTable::text(CommandTable::FadeRate, Protocol::byte(PanelValues::fadeByte(m_fade))));
    wait(Step::FirstFade, 12);
}

void LogoDownload::finish()
{
    m_step = Step::Idle;
    m_reporter.setProgressVisible(false);
    m_reporter.setUploadStatus(QString());
    m_deviceState.transferBusy = false;
    m_deviceState.notify();
    emit finished();
}

void LogoDownload::interrupt()
{
    switch (m_step) {
    case Step::Settings:
        // Only the settings were asked for: nothing to put back.
        finish();
        break;
    case Step::FastFade:
    case Step::TakeOff:
        // The fade is at its fastest, TAKE may be off: put both back and
        // leave the logo alone.
        status(QStringLiteral("Restoring Settings"));
        m_link.writeText(CommandTable::text(m_takeWasOn ? CommandTable::TakeOn : CommandTable::TakeOff));
        wait(Step::RestoreTake, 12);
        break;
    default:
        // Past "ALD" the device waits for its lines; the rest runs its course.
        break;
    }
}

void LogoDownload::storeInNvram()
{
    m_link.sendCommand(CommandTable::SaveLogo);
    if (running())
        return;
    m_countdown = 120;
    m_reporter.setProgressVisible(true);
    m_step = Step::NvSave;
}
