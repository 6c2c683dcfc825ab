// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logo/logobitmap.h"

#include <QByteArray>
#include <QList>
#include <QObject>

class DeviceLink;
class DeviceState;
class LogoState;
class PanelState;
class Reporter;

// Sends the logo of the selected slot into the device's logo RAM: settings
// request, fastest fade, TAKE off, "ALD", the 64 line writes of the two
// fields, then TAKE and the fade put back. The waits between the steps are
// counted in ticks of the shared 25 ms clock; the window goes on working
// meanwhile.
// Also the non-volatile save of the logo with its 3-second progress.
class LogoDownload : public QObject
{
    Q_OBJECT

public:
    LogoDownload(DeviceState &deviceState, LogoState &logoState, PanelState &panelState, Reporter &reporter,
                 DeviceLink &link, QObject *parent = nullptr);

    // Downloads the selected slot's logo.
    void start();
    // Stores the logo in the device's non-volatile memory, with 3 s of
    // progress.
    void storeInNvram();
    // A download or the NVRAM save's progress is under way.
    bool running() const { return m_step != Step::Idle; }

    // What the device's logo RAM holds of the download under way.
    enum class Load { Untouched, Partial, Written };
    Load load() const { return m_load; }
    // Stops a running download as soon as the device allows: before "ALD"
    // the logo is left alone, after it the lines go out whole; either way
    // TAKE and the fade are put back with the usual waits.
    void interrupt();

    // The 64 line writes of a logo: for a 64-line logo the odd field (rows
    // 62, 60, ..., 0) then the even field (rows 63, 61, ..., 1); for a
    // 32-line logo its 32 lines, top line first, in both fields. Each byte
    // XOR the negative mask.
    static QList<QByteArray> lineWrites(const LogoBitmap &logo, int height, bool negative);

signals:
    void finished();

private:
    enum class Step {
        Idle,
        Settings,
        FastFade,
        TakeOff,
        StartLoad,
        Settle,
        RestoreTake,
        FirstFade,
        SecondFade,
        NvSave
    };

    void onTick();
    void wait(Step next, int ticks);
    void status(const QString &text);
    void progress(double value);
    void sendFields();
    void restoreFade();
    void finish();

    DeviceState &m_deviceState;
    LogoState &m_logoState;
    PanelState &m_panelState;
    Reporter &m_reporter;
    DeviceLink &m_link;
    Step m_step = Step::Idle;
    int m_countdown = 0; // ticks of the 25 ms clock before the next step
    int m_slot = 0;
    bool m_takeWasOn = false;
    int m_fade = 100;
    bool m_downloadAfterSave = false; // asked for during the NVRAM progress
    Load m_load = Load::Untouched;
};
