// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "device_link/protocol.h"
#include "device_link/serialport.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

enum class Indicator;
class Clock;
class DeviceState;
class LogoState;
class PanelState;
class Reporter;
class SerialPort;
class SettingsStore;

// The link to the logo generators: the command encoder and the single port
// writer, the port's opening and events, the start-up wake-up, the reception
// and parsing of replies, and the 25 ms clock with its countdowns, poll and
// reply time-out. Everything runs on the window thread; timers call the tick
// functions, so tests can drive them without waiting.
class DeviceLink : public QObject
{
    Q_OBJECT

public:
    static constexpr int ReceiveThreshold = 11;
    static constexpr int MaxRead = 2500;
    // Quiet ticks that end a reply of no known shape from a device server:
    // longer than the 200 ms its pieces may lie apart. A reply of known
    // shape that has begun (a settings reply short of its length, a
    // copyright line without its CR LF) is given longer: a busy server or
    // network may stretch a gap, and the rest is known to come.
    static constexpr int NetworkQuietTicks = 10;
    static constexpr int NetworkBegunQuietTicks = 40;
    static constexpr int NetworkStreamQuietTicks = 80;

    DeviceLink(DeviceState &deviceState, LogoState &logoState, PanelState &panelState, Reporter &reporter,
               SettingsStore &settings, SerialPort &port, const Clock &clock, QObject *parent = nullptr);

    // Command set and framing.
    // Sends a command of the command table with its argument bytes. TAKE
    // commands also set the TAKE state the panel shows.
    void sendCommand(int command, const QByteArray &argument = {});
    void writeText(const QByteArray &text);
    // While held, every command waits and goes out, in order, when the hold
    // ends; only sendDuringHold() writes meanwhile. A logo download holds the
    // line from "ALD" to its last line byte.
    void holdCommands(bool hold);
    void sendDuringHold(const QByteArray &text);
    bool holding() const { return m_holding; }

    // A line another Quillon process holds. When the port is in use, attach
    // is asked first; when it attaches (and calls forwardTo), nothing is
    // reported, the port is not tried again, and every command goes to that
    // process as forwardCommand(command, argument) with the same effects
    // here (TAKE shown, the copyright awaited). detach() goes back to the
    // port: the reopen cycle opens it once it is free.
    void setAttach(std::function<bool()> attach) { m_attach = std::move(attach); }
    void forwardTo(std::function<void(int command, const QByteArray &argument)> forwardCommand);
    void detach();
    bool forwarding() const { return static_cast<bool>(m_forward); }
    // TAKE as the device reported it elsewhere.
    void showTake(bool on) { setTake(on); }

    // Serial port.
    void openPort();
    void findPorts();
    void choosePort(int index);
    void wakeUpTick();
    bool comInitEnabled() const { return m_comInitEnabled; }
    void onPortEvent(int code);
    void closePort();

    // Reception.
    void readReplies();
    void processReply(const QByteArray &reply);
    void processCopyright(const QByteArray &reply);
    void tick();

    // The next bytes are a logo stream, not a reply: wait up to waitTicks for
    // the first of them, then until they pause.
    void expectLogoStream(int waitTicks);
    bool awaitingLogoStream() const { return m_awaitingStream; }

    int pollTicks() const { return m_pollTicks; }
    void setPollTicks(int ticks) { m_pollTicks = ticks; }
    int replyWaitTicks() const { return m_replyWaitTicks; }
    int copyrightWait() const { return m_copyrightWait; }
    void setCopyrightWait(int ticks) { m_copyrightWait = ticks; }
    int lastComError() const { return m_lastComError; }
    QByteArray rxBuffer() const { return m_rxBuffer; }
    bool portOpen() const;
    // The device behind the port number in use, empty when there is none.
    QString portPath() const;
    // Why the port was lost or could not be reached, when it knows.
    QString portProblem() const;
    // Waits until what was written has left the port; false when it has not
    // within timeoutMs.
    bool drain(int timeoutMs);

signals:
    void comInitTimerChanged(bool enabled);
    // Opening a port ended the forwarding to another process.
    void forwardingEnded();
    // A reply told the device's settings, or the slot it has selected.
    void settingsReceived(const Protocol::SettingsReply &settings);
    void slotReported(int slot);
    void takeChanged(bool on);
    // A whole logo stream came, or nothing came in the wait for one.
    void logoStreamReceived(const QByteArray &stream);
    void logoStreamMissing();
    void beepRequested();
    // After every tick of the 25 ms clock, for the waits of the transfers.
    void ticked();
    // Bytes handed to the port, and each reply once it is complete (a logo
    // stream too), for those who follow the traffic.
    void bytesSent(const QByteArray &bytes);
    void replyReceived(const QByteArray &reply);

private:
    void setIndicator(Indicator colour);
    void setTake(bool on);
    void setDeviceMenus(bool enabled);
    void uncheckPorts();
    void setComInit(bool enabled);
    void saveSetting(const QString &key, const QString &value);
    void completeReply();
    bool reportOpenFailure(const SerialPort::OpenResult &result);
    int networkQuietTicks() const;
    void uploadUnanswered();

    DeviceState &m_deviceState;
    LogoState &m_logoState;
    PanelState &m_panelState;
    Reporter &m_reporter;
    SettingsStore &m_settings;
    SerialPort &m_port;
    const Clock &m_clock;

    // Port.
    int m_lastComError = 0; // reported once until a port opens again
    std::function<bool()> m_attach;
    std::function<void(int, const QByteArray &)> m_forward;
    bool m_comInitEnabled = false;
    bool m_comInitStarted = false;
    int m_comInitCount = 0;

    bool m_holding = false;
    bool m_writingHeld = false;
    QList<QByteArray> m_held; // commands waiting for the hold to end

    // Reception and the 25 ms clock.
    QByteArray m_rxBuffer;
    bool m_shortReplyReported = false; // until a whole settings reply comes
    int m_modelBeforeSingle = 0;       // the model an "S" reply set aside
    bool m_awaitingStream = false;
    int m_pollTicks = 0;
    int m_replyWaitTicks = 0;
    int m_copyrightWait = 0;
    int m_portRetry = 0;
    int m_clockCount = 0;
    int m_pollTickCount = 0;
    int m_pollCycle = 0;
};
