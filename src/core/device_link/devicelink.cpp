// SPDX-License-Identifier: GPL-3.0-or-later
#include "devicelink.h"

#include "device_link/clock.h"
#include "device_link/commandtable.h"
#include "device_link/devicestate.h"
#include "device_link/portlocator.h"
#include "device_link/protocol.h"
#include "device_link/serialport.h"
#include "logo/logostate.h"
#include "panel/panelstate.h"
#include "reporting/reporter.h"
#include "settings/settingsstore.h"

#include <algorithm>
#include <utility>

namespace {
const QByteArray kWakeAll = QByteArrayLiteral("00");
constexpr int UploadLength = 2077; // progress scale of a logo stream
} // namespace

DeviceLink::DeviceLink(DeviceState &deviceState, LogoState &logoState, PanelState &panelState,
                       Reporter &reporter, SettingsStore &settings, SerialPort &port, const Clock &clock,
                       QObject *parent)
    : QObject(parent)
    , m_deviceState(deviceState)
    , m_logoState(logoState)
    , m_panelState(panelState)
    , m_reporter(reporter)
    , m_settings(settings)
    , m_port(port)
    , m_clock(clock)
{
    connect(&m_port, &SerialPort::commEvent, this, &DeviceLink::onPortEvent);
    connect(&m_port, &SerialPort::warning, this,
            [this](const QString &text) { m_reporter.ReportError(text, QStringLiteral("RFC 2217")); });
}

bool DeviceLink::portOpen() const
{
    return m_port.isOpen();
}

QString DeviceLink::portPath() const
{
    return m_port.devicePath(m_deviceState.comPort);
}

QString DeviceLink::portProblem() const
{
    return m_port.lastProblem();
}

bool DeviceLink::drain(int timeoutMs)
{
    return m_port.isOpen() && m_port.drain(timeoutMs);
}

void DeviceLink::setIndicator(Indicator colour)
{
    m_deviceState.portIndicator = colour;
    m_deviceState.notify();
}

void DeviceLink::setDeviceMenus(bool enabled)
{
    m_deviceState.transfersEnabled = enabled;
    m_deviceState.notify();
}

void DeviceLink::uncheckPorts()
{
    for (size_t i = 1; i < m_deviceState.ports.size(); ++i)
        m_deviceState.ports[i].checked = false;
    m_deviceState.notify();
}

void DeviceLink::setComInit(bool enabled)
{
    if (m_comInitEnabled == enabled)
        return;
    m_comInitEnabled = enabled;
    emit comInitTimerChanged(enabled);
}

void DeviceLink::saveSetting(const QString &key, const QString &value)
{
    m_settings.setValue(key, value);
}

// ---------------------------------------------------------------------------
// Command set and framing

void DeviceLink::sendCommand(int command, const QByteArray &argument)
{
    using namespace CommandTable;
    m_reporter.setUploadStatus(QString());

    const CommandInfo *info = find(command);
    const QByteArray mnemonic = info ? QByteArray(info->mnemonic) : QByteArray();
    QByteArray arg = argument;

    if (m_forward) {
        if (command == ToggleTake || command == TakeOn || command == TakeOff)
            setTake(command == ToggleTake ? !m_panelState.takeOn : command == TakeOn);
        if (command == RetrieveCopyright)
            m_copyrightWait = 200;
        if (info && command != ShowDialog) {
            m_forward(command, argument);
            m_reporter.setDiagSend(QStringLiteral("SendCom: ") + QString::fromLatin1(mnemonic + arg));
            m_reporter.countSent();
        }
        return;
    }

    switch (command) {
    case ToggleTake:
        setTake(!m_panelState.takeOn);
        writeText(mnemonic);
        break;
    case TakeOff:
    case TakeOn:
        writeText(mnemonic);
        setTake(command == TakeOn);
        break;
    case ChangeId:
        if (arg.size() < 2)
            arg = QByteArrayLiteral("01");
        writeText(mnemonic + arg);
        break;
    case Wakeup:
        writeText(mnemonic + (arg.isEmpty() ? kWakeAll : arg));
        break;
    case SelectLogo:
        writeText(mnemonic + arg + QByteArray(3, '\0'));
        break;
    case RetrieveCopyright:
        m_copyrightWait = 200;
        writeText(mnemonic);
        break;
    case StandardNtsc:
    case StandardPal:
        writeText(mnemonic);
        writeText(QByteArray(info->trailerSpaces, ' '));
        break;
    case ShowDialog: // a Diag entry of the window's own: nothing goes out
        break;
    default:
        if (info)
            writeText(mnemonic + arg);
        break;
    }
}

void DeviceLink::setTake(bool on)
{
    m_panelState.takeOn = on;
    m_panelState.notify();
    emit takeChanged(on);
}

void DeviceLink::holdCommands(bool hold)
{
    m_holding = hold;
    if (hold)
        return;
    const QList<QByteArray> held = std::exchange(m_held, {});
    for (const QByteArray &text : held)
        writeText(text);
}

void DeviceLink::sendDuringHold(const QByteArray &text)
{
    m_writingHeld = true;
    writeText(text);
    m_writingHeld = false;
}

void DeviceLink::writeText(const QByteArray &text)
{
    if (m_holding && !m_writingHeld) {
        m_held.append(text);
        return;
    }
    if (!m_port.isOpen()) {
        if (m_deviceState.comPort == 0)
            return;
        openPort();
    }
    if (m_port.isOpen()) {
        if (m_replyWaitTicks < 600 && m_deviceState.portIndicator == Indicator::Red)
            setIndicator(Indicator::Cyan);
        m_reporter.setDiagReply(QString());
        const QString error = m_port.write(text);
        if (!error.isEmpty())
            m_reporter.ReportError(error, QStringLiteral("SendCom"));
        else
            emit bytesSent(text);
    } else {
        setIndicator(Indicator::Red);
    }
    m_reporter.setDiagSend(QStringLiteral("SendCom: ") + QString::fromLatin1(text));
    m_reporter.countSent();
}

// ---------------------------------------------------------------------------
// Serial port

void DeviceLink::closePort()
{
    if (!m_port.isOpen())
        return;
    // What was written may still wait in the port's buffer (the sleep
    // command of a port change, the silence cycle's wake-up): a close
    // throws that away, so let it leave first. A full logo's worth takes
    // about 2.2 s at 9600 baud.
    constexpr int DrainMs = 2500;
    m_port.drain(DrainMs);
    m_port.close();
}

void DeviceLink::forwardTo(std::function<void(int command, const QByteArray &argument)> forwardCommand)
{
    m_forward = std::move(forwardCommand);
    m_lastComError = 0;
    m_deviceState.portReady = false;
}

void DeviceLink::detach()
{
    m_forward = nullptr;
    m_lastComError = 0;
    m_portRetry = 0;
    m_replyWaitTicks = 0;
    setIndicator(Indicator::Red);
}

void DeviceLink::openPort()
{
    if (m_deviceState.comPort == 0)
        return;
    // A port chosen while working through another process: that ends here.
    if (m_forward) {
        m_forward = nullptr;
        emit forwardingEnded();
    }
    closePort();
    const SerialPort::OpenResult result = m_port.open(m_deviceState.comPort);
    if (!result.ok() && !reportOpenFailure(result))
        return;
    if (!m_port.isOpen()) {
        m_deviceState.portReady = false;
        setIndicator(Indicator::Red);
    } else if (!m_port.isNetwork()) {
        // A later failure, of any kind, starts a new streak to report.
        m_lastComError = 0;
        setIndicator(Indicator::Cyan);
        setComInit(true);
    }
    // A port on a device server is still connecting: it turns cyan and the
    // wake-up starts once it is connected.
}

// Reports a port that could not be opened, once a streak; false when the
// failure is one the user is not told of.
bool DeviceLink::reportOpenFailure(const SerialPort::OpenResult &result)
{
    const int failure = result.failure;
    // Tried at every reopen: the holder may start serving later.
    if (failure == SerialPort::InUse && m_attach && m_attach())
        return false;
    if (failure == m_lastComError)
        return true;
    const QString port = QString::number(m_deviceState.comPort);
    QString message;
    if (failure == SerialPort::NotValid) {
        message = QStringLiteral("Invalid Port Number - ") + port
                  + QStringLiteral(" Port not available for use as a device interface.");
    } else if (failure == SerialPort::InUse) {
        message = QStringLiteral("Port Already Open - Port in use - ") + port
                  + QStringLiteral(" can't be used as a device interface.");
    } else {
        uncheckPorts();
        return false;
    }
    if (!result.detail.isEmpty())
        message += QLatin1Char(' ') + result.detail;
    uncheckPorts();
    // Set first: whoever hears the report may ask what failed.
    m_lastComError = failure;
    m_reporter.ReportError(message, QStringLiteral("StartCom 02"));
    return true;
}

void DeviceLink::findPorts()
{
    for (size_t i = 1; i < m_deviceState.ports.size(); ++i)
        m_deviceState.ports[i].visible = false;
    closePort();
    size_t k = 1;
    for (int n = 1; n <= 255 && k < m_deviceState.ports.size(); ++n) {
        if (n == m_deviceState.skipPort)
            continue;
        if (!m_port.probe(n))
            continue;
        PortMenuEntry &entry = m_deviceState.ports[k++];
        entry.visible = true;
        entry.caption = QStringLiteral("COM&") + QString::number(n);
        entry.tag = QString::number(n);
        entry.path = m_port.devicePath(n);
        entry.stableName = PortLocator::stableName(entry.path);
    }
    m_deviceState.notify();
    openPort();
}

void DeviceLink::choosePort(int index)
{
    m_reporter.setUploadStatus(QString());
    if (index == 0) {
        findPorts();
        return;
    }
    if (index < 1 || index >= static_cast<int>(m_deviceState.ports.size()))
        return;
    for (size_t i = 1; i < m_deviceState.ports.size(); ++i)
        m_deviceState.ports[i].checked = false;
    PortMenuEntry &entry = m_deviceState.ports[static_cast<size_t>(index)];
    bool ok = false;
    const int number = entry.tag.toInt(&ok);
    if (!ok || number < 1 || number > 255) {
        m_reporter.ReportError(QStringLiteral("No port number in this menu entry"),
                               QStringLiteral("mnuCOMsel_Click"));
        return;
    }
    entry.checked = true;
    m_deviceState.comPort = number;
    sendCommand(CommandTable::Sleep);
    openPort();
    sendCommand(CommandTable::Sleep);
    saveSetting(QStringLiteral("ComPort"), QString::number(number));
    m_deviceState.portText = QString::number(number);
    m_deviceState.notify();
}

void DeviceLink::wakeUpTick()
{
    if (!m_comInitEnabled || m_deviceState.transferBusy)
        return;
    if (!m_comInitStarted) {
        m_comInitStarted = true;
        return;
    }
    if (m_comInitCount < 20) {
        ++m_comInitCount;
        return;
    }
    m_comInitCount = 0;
    m_deviceState.portReady = true;
    sendCommand(CommandTable::Wakeup, kWakeAll);
    setComInit(false);
}

void DeviceLink::onPortEvent(int code)
{
    switch (code) {
    case SerialPort::DataReceived:
        readReplies();
        break;
    case SerialPort::TransmitBufferFull:
        // Nothing leaves a port whose buffer is full: close at once.
        m_port.close();
        m_reporter.ReportError(QStringLiteral("Transmit Buffer Full"), QStringLiteral("Mscomm1_OnComm"));
        break;
    case SerialPort::LineLost: {
        // The device went away under an open port (a USB adapter unplugged, a
        // line hung up). Close it; the once-a-second reopen brings it back.
        const QString path = m_port.devicePath(m_deviceState.comPort);
        m_port.close();
        m_deviceState.portReady = false;
        m_rxBuffer.clear();
        setIndicator(Indicator::Red);
        setDeviceMenus(false);
        m_reporter.ReportError(
            QStringLiteral("Line lost on COM%1%2: the device was disconnected or hung up.")
                .arg(m_deviceState.comPort)
                .arg(path.isEmpty() ? QString() : QStringLiteral(" (") + path + QLatin1Char(')')),
            QStringLiteral("Mscomm1_OnComm"));
        break;
    }
    case SerialPort::Connected:
        m_lastComError = 0;
        setIndicator(Indicator::Cyan);
        setComInit(true);
        break;
    case SerialPort::Unreachable:
        // A device server that did not answer or refused: like a port that
        // is not there, tried again by the once-a-second reopen.
        m_port.close();
        m_deviceState.portReady = false;
        m_rxBuffer.clear();
        setComInit(false);
        m_comInitCount = 0;
        setIndicator(Indicator::Red);
        reportOpenFailure({SerialPort::NotValid, QStringLiteral("(%1)").arg(m_port.lastProblem())});
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------------------
// Reception

void DeviceLink::expectLogoStream(int waitTicks)
{
    m_awaitingStream = true;
    m_pollTicks = waitTicks;
}

void DeviceLink::uploadUnanswered()
{
    // Left armed, the upload would take the next poll's settings reply for
    // a logo stream.
    m_awaitingStream = false;
    m_port.setReceiveThreshold(ReceiveThreshold);
    m_reporter.setProgressVisible(false);
    m_reporter.setUploadStatus(QString());
    emit logoStreamMissing();
    m_deviceState.notify();
}

void DeviceLink::readReplies()
{
    if (!m_deviceState.portReady)
        return;
    if (m_rxBuffer.size() < 10 && m_awaitingStream) {
        m_reporter.setUploadStatus(QStringLiteral("Waiting for Reply ") + QString::number(m_pollTicks));
        if (m_pollTicks < 2) {
            m_reporter.setProgressVisible(false);
            m_reporter.setUploadStatus(QString());
        } else {
            m_reporter.setProgressVisible(true);
        }
    }
    bool received = false;
    while (m_port.isOpen() && m_port.bytesWaiting() > 0) {
        const QByteArray bytes = m_port.readWaiting(MaxRead);
        if (bytes.isEmpty())
            return;
        received = true;
        for (const char c : bytes) {
            m_rxBuffer.append(c);
            if (!m_awaitingStream) {
                m_pollTicks = m_rxBuffer.startsWith("(C)") ? 3 : 2;
                continue;
            }
            m_pollTicks = 20;
            const qsizetype length = m_rxBuffer.size();
            if (length % 16 == 0) {
                m_reporter.setProgressValue(
                    std::min(Protocol::roundHalfEven(length * 100.0 / UploadLength), 100));
                if (length > 10)
                    m_reporter.setUploadStatus(QStringLiteral("Reading Data ") + QString::number(length));
            }
            if (length > 5000)
                m_pollTicks = 0;
        }
    }
    if (received && m_port.isNetwork())
        m_pollTicks = networkQuietTicks();
    if (m_pollTicks > 0 || m_rxBuffer.isEmpty())
        return;
    completeReply();
}

// A device server passes a reply on in pieces that may come up to 200 ms
// apart (TCP segments, the server's own packet timer), where a local port's
// two quiet ticks would cut it. A settings reply, a copyright line or a logo
// stream ends as soon as it is whole; anything else after some quiet (a
// stream's pauses on a busy server can outlast a local port's 20 ticks).
int DeviceLink::networkQuietTicks() const
{
    if (m_awaitingStream) {
        const qsizetype marker = m_rxBuffer.indexOf("SD");
        return marker >= 0 && m_rxBuffer.size() - marker - 2 >= LogoBitmap::Size ? 0
                                                                                 : NetworkStreamQuietTicks;
    }
    // A copyright line ends with CR LF; one begun ("(", "(C", "(C)...")
    // waits for the rest.
    const qsizetype copyright = m_rxBuffer.indexOf("(C)");
    if (copyright >= 0)
        return m_rxBuffer.indexOf("\r\n", copyright) >= 0 ? 0 : NetworkBegunQuietTicks;
    if (m_rxBuffer.endsWith('(') || m_rxBuffer.endsWith("(C"))
        return NetworkBegunQuietTicks;
    for (qsizetype i = 0; i < m_rxBuffer.size(); ++i) {
        const char c = m_rxBuffer[i];
        if (c == 'S' || c == 's')
            return m_rxBuffer.size() - i >= (c == 'S' ? 11 : 13) ? 0 : NetworkBegunQuietTicks;
    }
    return NetworkQuietTicks;
}

void DeviceLink::completeReply()
{
    if (m_awaitingStream)
        m_reporter.setProgressVisible(false);
    QByteArray lastReply = m_rxBuffer;
    m_rxBuffer.clear();
    emit replyReceived(lastReply);

    if (!m_awaitingStream) {
        if (lastReply.size() < 11)
            m_pollTicks = 2;
        if (lastReply.size() > 100)
            lastReply = lastReply.right(100);
        m_deviceState.portIndicator = Indicator::Green;
        setDeviceMenus(true);
        m_replyWaitTicks = 0;
        processReply(lastReply);
    } else {
        m_awaitingStream = false;
        if (lastReply.size() < 2051)
            m_reporter.setUploadStatus(QStringLiteral("Data stream too short: ")
                                       + QString::number(lastReply.size())
                                       + QStringLiteral(" Bytes of 2052."));
        else
            emit logoStreamReceived(lastReply);
        m_port.setReceiveThreshold(ReceiveThreshold);
        if (m_port.isOpen())
            m_port.readWaiting(MaxRead);
        m_reporter.setProgressVisible(false);
        m_deviceState.notify();
    }
    // Whatever came in while the reply was handled belongs to no request.
    if (m_port.isOpen())
        m_port.discardInput();
}

void DeviceLink::processReply(const QByteArray &reply)
{
    const bool hasUpper = reply.contains('S');
    const bool hasLower = reply.contains('s');
    const bool hasCopyright = reply.contains("(C)");
    if (!hasUpper && !hasLower && !hasCopyright)
        return;
    if (hasCopyright) {
        processCopyright(reply);
        return;
    }
    const QByteArray r = Protocol::alignReply(reply);

    m_reporter.countReply();
    m_reporter.setDiagReply(Protocol::diagnosticText(r).right(80));

    const bool pal = m_panelState.standard == 1;
    if (const auto settings = Protocol::parseSettingsReply(r, pal)) {
        emit settingsReceived(*settings);
        if (!settings->interval) {
            // Applied all the same, but a technician should hear of it.
            if (!m_shortReplyReported)
                m_reporter.ReportError(QStringLiteral("A settings reply of %1 bytes came, 11 expected; its "
                                                      "values were taken without the on/off interval.")
                                           .arg(r.size()),
                                       QStringLiteral("ProcessData"));
            m_shortReplyReported = true;
        } else {
            m_shortReplyReported = false;
        }
    }

    if (r.startsWith('S') && r.size() >= 11) {
        m_deviceState.title = QStringLiteral("Quillon - QX1 Node Detected");
        // One such reply may be line noise or a one-logo node beside others:
        // the model known so far is what a later "s" reply goes back to.
        if (m_deviceState.modelNumber > 1)
            m_modelBeforeSingle = m_deviceState.modelNumber;
        m_deviceState.modelNumber = 1;
        m_logoState.slotChosen[1] = true;
        for (int i = 2; i <= 4; ++i)
            m_logoState.slotOffered[static_cast<size_t>(i)] = false;
        emit slotReported(1);
        for (int i = 2; i <= 4; ++i)
            m_logoState.slotButtonOffered[static_cast<size_t>(i)] = false;
        m_deviceState.uploadOffered = false;
    } else if (r.startsWith('s') && r.size() >= 12) {
        if (m_deviceState.modelNumber == 1) {
            m_deviceState.modelNumber = m_modelBeforeSingle > 1 ? m_modelBeforeSingle : 4;
            for (int i = 1; i <= LogoState::MaxSlots; ++i)
                m_logoState.slotOffered[static_cast<size_t>(i)] = i <= m_deviceState.modelNumber;
            for (int i = 1; i <= 4; ++i)
                m_logoState.slotButtonOffered[static_cast<size_t>(i)] = true;
            m_deviceState.uploadOffered = true;
        }
        m_deviceState.title = QStringLiteral("Quillon - QX") + QString::number(m_deviceState.modelNumber)
                              + QStringLiteral(" Node Detected");
        const int slot = Protocol::parseSettingsReply(r, pal)->slot.value_or(0);
        if (slot > 0 && slot != m_logoState.currentSlot)
            emit slotReported(slot);
    } else {
        m_deviceState.title = QStringLiteral("Quillon");
        if (m_deviceState.modelNumber > 1)
            m_deviceState.title = QStringLiteral("Quillon - QX-") + QString::number(m_deviceState.modelNumber)
                                  + QStringLiteral(" Selected");
    }
    m_deviceState.notify();
    m_logoState.notify();
}

void DeviceLink::processCopyright(const QByteArray &reply)
{
    const auto copyright = Protocol::parseCopyright(reply);
    if (!copyright)
        return;
    m_reporter.setCopyright(copyright->line);
    if (!copyright->model || !m_deviceState.modelChosen[0])
        return;
    // A model number outside the known set would leave the program with no
    // usable slot (or more slots than it has); such a line only shows.
    const int n = *copyright->model;
    if (!Protocol::isModelNumber(n))
        return;
    m_deviceState.modelNumber = n;
    m_deviceState.title = QStringLiteral("Quillon - QX-") + QString::number(n) + QStringLiteral(" Detected");
    for (int i = 1; i <= LogoState::MaxSlots; ++i)
        m_logoState.slotOffered[static_cast<size_t>(i)] = i <= n;
    m_deviceState.notify();
    m_logoState.notify();
}

void DeviceLink::tick()
{
    if (m_pollTicks > 0) {
        --m_pollTicks;
        readReplies();
        if (m_pollTicks == 0 && m_awaitingStream && m_rxBuffer.isEmpty())
            uploadUnanswered();
    }

    // A port on a device server that is connecting or connected is not
    // opened again: that would drop the connection. The line of another
    // process is its own link's to keep.
    if (!m_forward && !m_deviceState.portReady && !(m_port.isNetwork() && m_port.isOpen())) {
        if (m_portRetry == 1) {
            openPort();
            m_portRetry = 0;
        } else if (m_portRetry == 0) {
            m_portRetry = 40;
        } else {
            --m_portRetry;
        }
    }

    if (!m_forward)
        ++m_replyWaitTicks;
    if (m_forward) {
    } else if (m_replyWaitTicks == 800) {
        setIndicator(Indicator::Cyan);
        setDeviceMenus(false);
    } else if (m_replyWaitTicks == 1200) {
        closePort();
        setIndicator(Indicator::Red);
        m_replyWaitTicks = 601;
    } else if (m_replyWaitTicks > 600) {
        if (m_replyWaitTicks % 200 == 0)
            sendCommand(CommandTable::Wakeup);
        else if (m_replyWaitTicks % 200 == 100)
            writeText(QByteArrayLiteral("ARS"));
    }

    if (m_clockCount <= 0) {
        m_reporter.setCurrentTime(m_clock.now().time().toString(QStringLiteral("H:mm:ss")));
        m_clockCount = 5;
    } else {
        --m_clockCount;
    }

    if (m_copyrightWait > 0) {
        if (--m_copyrightWait == 0) {
            m_reporter.setCopyright(QString());
            m_copyrightWait = -1;
        }
    }
    m_reporter.tick();

    if (!m_deviceState.transferBusy && m_deviceState.portReady) {
        if (m_pollTickCount < 50) {
            ++m_pollTickCount;
        } else {
            m_pollTickCount = 0;
            ++m_pollCycle;
            if (m_pollCycle == 1) {
                sendCommand(CommandTable::RetrieveCopyright);
            } else if (m_pollCycle == 2) {
                sendCommand(CommandTable::RetrieveSettings);
            } else {
                m_pollCycle = 0;
            }
        }
    }
    emit ticked();
}
