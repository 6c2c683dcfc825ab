// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "device_link/commandtable.h"

#include <QByteArray>
#include <QList>

// One simulated logo generator on the shared line. It keeps the keying settings
// in the device's own raw values and answers ARS, ARC and ARM. A node that is
// asleep listens only for a wake-up that names it (or all nodes).
//
// Logos (see LogoFormat): ALD makes an awake node take the next 2048 bytes on
// the line, 64 lines in field order, into its logo RAM; ASI stores the RAM into
// the selected slot; ARM sends the selected slot back as a logo stream.
class SimNode
{
public:
    enum class Standard { Ntsc, Pal };

    static constexpr int MaxSlots = 31;

    SimNode(int id = 1, int model = 4);

    static bool isValidModel(int model);

    // Carries out one received command; returns the node's reply (empty: none).
    QByteArray handle(const CommandInfo &command, const QByteArray &argument);

    // True between ALD and the logo lines that follow it.
    bool isReceivingLogo() const { return m_receivingLogo; }
    // The 2048 bytes after ALD, in field order: they become the logo RAM. Ignored
    // unless receiving, or when the lines are not 2048 bytes.
    void takeLogoLines(const QByteArray &lines);
    // The lines after ALD did not come whole: the logo RAM stays as it was.
    void abandonLogoLines();

    // Power back after a cut: TAKE off, awake, and the logo RAM loaded from
    // the selected slot's stored logo, as the device loads it at power-on.
    // The other settings are kept.
    void powerOn();
    // TAKE switched at the device's own front panel.
    void setTake(bool on);

    // ARM answer, 2052 bytes: the lead bytes 0x00 0x01, the marker "SD", then the
    // selected slot's lines in field order with every byte inverted.
    QByteArray logoStream() const;

    // ARS answer: 'S' (model 1) or 's', then m, f, i, h, v, status, '0', '0',
    // on time, interval; 's' adds the current slot as two decimal digits.
    QByteArray settingsReply() const;
    // ARC answer: one line naming the model as "QX" and two digits.
    QByteArray copyrightReply() const;
    // One line "NODE id=.. model=.. awake=.. mix=.. fade=.. intensity=.. h=.. v=..
    // status=.. on=.. interval=.. slot=.. std=NTSC|PAL saves=.. ram=XXXX logo=XXXX",
    // ram and logo the checksums (LogoFormat::checksum) of the logo RAM and of
    // the selected slot.
    QByteArray describe() const;

    int id() const { return m_id; }
    int model() const { return m_model; }
    bool isAwake() const { return m_awake; }
    int mix() const { return m_mix; }
    int fade() const { return m_fade; }
    int intensity() const { return m_intensity; }
    int horizontal() const { return m_horizontal; }
    int vertical() const { return m_vertical; }
    int status() const { return m_status; }
    bool isTakeOn() const { return (m_status & TakeBit) != 0; }
    int onTime() const { return m_onTime; }
    int interval() const { return m_interval; }
    int slot() const { return m_slot; }
    Standard standard() const { return m_standard; }
    int settingsSaves() const { return m_settingsSaves; }
    // Logos in rows (LogoFormat): the RAM, and the stored logo of slot 1 to
    // model (empty for any other slot).
    QByteArray logoRam() const { return m_logoRam; }
    QByteArray storedLogo(int slot) const;

private:
    static constexpr int TakeBit = 0x01;

    void resetSettings();
    void clearLogos();

    int m_id;
    int m_model;
    bool m_awake = true;
    int m_mix = 0;
    int m_fade = 0;
    int m_intensity = 0;
    int m_horizontal = 0;
    int m_vertical = 0;
    int m_status = 0;
    int m_onTime = 0;
    int m_interval = 0;
    int m_slot = 1;
    Standard m_standard = Standard::Ntsc;
    int m_settingsSaves = 0;
    bool m_receivingLogo = false;
    QByteArray m_logoRam;
    QList<QByteArray> m_slots; // MaxSlots logos, slot 1 first
};
