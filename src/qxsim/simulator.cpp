// SPDX-License-Identifier: GPL-3.0-or-later
#include "simulator.h"

#include "qxsim/logoformat.h"

#include <QFile>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

void say(const QByteArray &line)
{
    std::fprintf(stderr, "qxsim: %s\n", line.constData());
}

void print(const QByteArray &line)
{
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

bool toCount(const QByteArray &text, int *value, int max)
{
    bool ok = false;
    *value = text.toInt(&ok);
    return ok && *value >= 0 && *value <= max;
}

} // namespace

Simulator::Simulator(const Options &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_line(options.fast)
    , m_link(options.portsDirectory, options.port)
    , m_silent(options.silent)
{
    for (const NodeConfig &node : options.nodes)
        m_nodes.append(SimNode(node.id, node.model));

    connect(&m_line, &PtyLine::byteTakenIn, this, &Simulator::onByte);
    connect(&m_line, &PtyLine::ticked, this, &Simulator::onTick);
    connect(&m_line, &PtyLine::slaveOpened, this, [this] { logEvent(QByteArrayLiteral("open")); });
    connect(&m_line, &PtyLine::slaveClosed, this, [this] {
        handle(m_splitter.flush());
        logEvent(QByteArrayLiteral("close"));
    });
    connect(&m_line, &PtyLine::sendStarted, this, [this](const QByteArray &bytes, qint64 ns) {
        m_log.bytes(ns / 1'000'000, QByteArrayLiteral("tx"), bytes);
    });
    connect(&m_line, &PtyLine::sendDropped, this,
            [this](qsizetype count) { logEvent("drop " + QByteArray::number(count)); });

    connect(&m_line, &PtyLine::sent, this, [this](const QByteArray &bytes) {
        for (NetListener *listener : std::as_const(m_listeners))
            listener->send(bytes);
    });
    if (!options.listenRaw.isEmpty())
        addListener(NetListener::Kind::Raw);
    if (!options.listenRfc2217.isEmpty())
        addListener(NetListener::Kind::Rfc2217);

    m_upTimer.setSingleShot(true);
    connect(&m_upTimer, &QTimer::timeout, this, [this] {
        QString error;
        if (!comeUp(&error))
            say("cannot come back up: " + error.toLocal8Bit());
    });
}

Simulator::~Simulator()
{
    m_link.remove();
}

bool Simulator::start(QString *error)
{
    if (!m_options.logPath.isEmpty() && !m_log.open(m_options.logPath, error))
        return false;
    if (!m_line.open(error))
        return false;
    if (!m_link.place(m_line.slavePath(), error))
        return false;
    for (NetListener *listener : std::as_const(m_listeners))
        if (!listener->listen(listener->kind() == NetListener::Kind::Raw ? m_options.listenRaw
                                                                         : m_options.listenRfc2217,
                              error))
            return false;
    logEvent("ready " + m_line.slavePath().toLocal8Bit());
    if (m_silent)
        logEvent(QByteArrayLiteral("silent on"));
    print("READY " + m_link.path().toLocal8Bit() + ' ' + m_line.slavePath().toLocal8Bit());
    for (NetListener *listener : std::as_const(m_listeners))
        print("LISTEN " + listener->url().toLatin1());

    m_stdin = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    connect(m_stdin, &QSocketNotifier::activated, this, &Simulator::readStdin);
    return true;
}

void Simulator::readStdin()
{
    char buffer[1024];
    const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (count <= 0) {
        // End of input is no reason to stop: the simulator runs until told.
        m_stdin->setEnabled(false);
        return;
    }
    m_stdinBuffer.append(buffer, count);
    qsizetype end;
    while ((end = m_stdinBuffer.indexOf('\n')) >= 0) {
        const QByteArray line = m_stdinBuffer.left(end);
        m_stdinBuffer.remove(0, end + 1);
        control(line);
    }
}

void Simulator::control(const QByteArray &line)
{
    const QList<QByteArray> words = line.simplified().split(' ');
    const QByteArray &verb = words.constFirst();
    const QByteArray argument = words.size() > 1 ? words.at(1) : QByteArray();
    int value = 0;
    if (verb.isEmpty())
        return;
    if (verb == "silent" && words.size() == 2 && (argument == "on" || argument == "off")) {
        m_silent = argument == "on";
        logEvent("silent " + argument);
    } else if (verb == "power" && words.size() == 2 && (argument == "on" || argument == "off")) {
        if (argument == "on" && !m_powered)
            for (SimNode &node : m_nodes)
                node.powerOn();
        m_powered = argument == "on";
        logEvent("power " + argument);
    } else if (int id = 0; verb == "take" && (words.size() == 2 || words.size() == 3)
                           && (argument == "on" || argument == "off")
                           && (words.size() == 2 || toCount(words.at(2), &id, 255))) {
        // At the front panel: the line hears nothing of it.
        for (SimNode &node : m_nodes)
            if (id == 0 || node.id() == id)
                node.setTake(argument == "on");
        logEvent(line.simplified());
    } else if (verb == "short" && words.size() == 2 && argument == "off") {
        m_shortLength = -1;
        logEvent(QByteArrayLiteral("short off"));
    } else if (verb == "short" && words.size() == 2 && toCount(argument, &value, 100000)) {
        m_shortLength = value;
        logEvent("short " + QByteArray::number(value));
    } else if (verb == "noise" && words.size() == 2 && toCount(argument, &value, 100000)) {
        logEvent("noise " + QByteArray::number(value));
        m_line.send(noise(value, "Ss("), 0);
    } else if (verb == "noise-before" && words.size() == 2 && argument == "off") {
        m_noiseBeforeStream = -1;
        logEvent(QByteArrayLiteral("noise-before off"));
    } else if (verb == "noise-before" && words.size() == 2 && toCount(argument, &value, 100000)) {
        m_noiseBeforeStream = value;
        logEvent("noise-before " + QByteArray::number(value));
    } else if (verb == "split" && words.size() == 2 && argument == "off") {
        m_splitBytes = 0;
        logEvent(QByteArrayLiteral("split off"));
    } else if (int gapMs = 0; verb == "split" && words.size() == 3 && toCount(argument, &value, 100000)
                              && value > 0 && toCount(words.at(2), &gapMs, 60000)) {
        m_splitBytes = value;
        m_splitGapMs = gapMs;
        logEvent("split " + QByteArray::number(value) + ' ' + QByteArray::number(gapMs));
    } else if (verb == "garble" && (words.size() == 3 || words.size() == 4)
               && (argument == "before" || argument == "inside" || argument == "after")
               && toCount(words.at(2), &value, 100000)) {
        m_garblePlace = argument;
        m_garbleCount = value;
        m_garbleCommand = words.size() == 4 ? words.at(3) : QByteArray();
        logEvent(line.simplified());
    } else if (verb == "send" && words.size() == 2 && argument.size() % 2 == 0
               && QByteArray::fromHex(argument).toHex().toUpper() == argument.toUpper()) {
        logEvent("send " + argument.toUpper());
        m_line.send(QByteArray::fromHex(argument), 0);
    } else if (verb == "hangup" && words.size() <= 2 && m_line.isUp()
               && (words.size() == 1 || toCount(argument, &value, 3600000))) {
        hangUp(words.size() == 2 ? value : -1);
    } else if (verb == "up" && words.size() == 1 && !m_line.isUp()) {
        m_upTimer.stop();
        QString error;
        if (!comeUp(&error))
            say("cannot come back up: " + error.toLocal8Bit());
    } else if (verb == "dump" && words.size() == 1) {
        logEvent(QByteArrayLiteral("dump"));
        for (const SimNode &node : std::as_const(m_nodes))
            print(node.describe());
    } else if (verb == "dumplogo" && words.size() >= 2 && words.size() <= 4) {
        dumpLogo(words);
    } else if (verb == "quit" && words.size() == 1) {
        logEvent(QByteArrayLiteral("quit"));
        emit quitRequested();
    } else if (verb == "hangup" && !m_line.isUp()) {
        say("the line is already down: " + line);
    } else if (verb == "up" && m_line.isUp()) {
        say("the line is already up: " + line);
    } else {
        say("control line ignored: " + line);
    }
}

void Simulator::onByte(char byte, qint64 ns)
{
    handle(m_splitter.feed(byte, ns / 1'000'000));
}

void Simulator::onTick(qint64 ns)
{
    handle(m_splitter.checkSilence(ns / 1'000'000));
}

void Simulator::handle(const QList<CommandSplitter::Item> &items)
{
    for (const CommandSplitter::Item &item : items) {
        switch (item.kind) {
        case CommandSplitter::Item::Garbage:
            m_log.bytes(item.ms, QByteArrayLiteral("!"), item.bytes);
            break;
        case CommandSplitter::Item::Command:
            m_log.bytes(item.ms, QByteArrayLiteral("rx"), item.bytes);
            deliver(item);
            break;
        case CommandSplitter::Item::Payload:
            m_log.bytes(item.ms, QByteArrayLiteral("rx"), item.bytes);
            deliverLogoLines(item);
            break;
        case CommandSplitter::Item::PayloadCut:
            // What came is not obeyed: it is reported as garbage.
            if (!item.bytes.isEmpty())
                m_log.bytes(item.ms, QByteArrayLiteral("!"), item.bytes);
            m_log.event(item.ms, "payload cut " + QByteArray::number(item.bytes.size()));
            for (SimNode &node : m_nodes)
                node.abandonLogoLines();
            break;
        }
    }
}

// Every node hears every command. All nodes that answer do so, one reply after
// the other (on a real shared line they would collide).
void Simulator::deliver(const CommandSplitter::Item &item)
{
    if (!m_powered)
        return;
    const qint64 replyNs = (item.ms + m_options.latencyMs) * 1'000'000;
    bool logoLinesFollow = false;
    for (SimNode &node : m_nodes) {
        QByteArray reply = node.handle(*item.command, item.argument);
        if (item.command->number == CommandTable::BlinkTest && node.isAwake())
            m_log.event(item.ms, "blink " + QByteArray::number(node.id()));
        logoLinesFollow = logoLinesFollow || node.isReceivingLogo();
        if (m_silent || reply.isEmpty())
            continue;
        if (item.command->number == CommandTable::RetrieveLogo && m_noiseBeforeStream > 0)
            reply.prepend(noise(m_noiseBeforeStream, "S"));
        if (m_shortLength >= 0)
            reply.truncate(m_shortLength);
        sendReply(reply, replyNs, item.command->mnemonic);
    }
    if (logoLinesFollow)
        m_splitter.expectPayload(LogoFormat::LogoSize);
}

void Simulator::deliverLogoLines(const CommandSplitter::Item &item)
{
    if (!m_powered)
        return;
    for (SimNode &node : m_nodes)
        node.takeLogoLines(item.bytes);
}

// dumplogo FILE [ram|SLOT] [ID]: a reader waiting on stdout always gets an
// answer, DUMPED or DUMPFAILED.
void Simulator::dumpLogo(const QList<QByteArray> &words)
{
    const QByteArray &fileName = words.at(1);
    const QByteArray source = words.size() > 2 ? words.at(2) : QByteArrayLiteral("ram");
    const auto fail = [&fileName](const QByteArray &why) {
        say("dumplogo " + fileName + ": " + why);
        print("DUMPFAILED " + fileName);
    };
    int id = m_nodes.constFirst().id();
    if (words.size() > 3 && !toCount(words.at(3), &id, 255))
        return fail("no node " + words.at(3));
    const auto node = std::find_if(m_nodes.cbegin(), m_nodes.cend(),
                                   [id](const SimNode &candidate) { return candidate.id() == id; });
    if (node == m_nodes.cend())
        return fail("no node " + QByteArray::number(id));
    QByteArray logo;
    int slot = 0;
    if (source == "ram")
        logo = node->logoRam();
    else if (toCount(source, &slot, SimNode::MaxSlots))
        logo = node->storedLogo(slot);
    if (logo.isEmpty())
        return fail("node " + QByteArray::number(id) + " has no slot " + source);

    logEvent("dumplogo " + fileName + ' ' + source + ' ' + QByteArray::number(id));
    QFile file(QString::fromLocal8Bit(fileName));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(LogoFormat::bitmapFile(logo)) != LogoFormat::BitmapFileSize || !file.flush())
        return fail(file.errorString().toLocal8Bit());
    file.close();
    print("DUMPED " + fileName);
}

// A reply as the fault controls shape it: noise put before, inside or after
// it once, and pieces with silence between them.
void Simulator::sendReply(QByteArray reply, qint64 notBeforeNs, const QByteArray &command)
{
    if (m_garbleCount > 0 && (m_garbleCommand.isEmpty() || m_garbleCommand == command)) {
        const QByteArray bytes = noise(m_garbleCount, "Ss(");
        const qsizetype at = m_garblePlace == "before"   ? 0
                             : m_garblePlace == "inside" ? reply.size() / 2
                                                         : reply.size();
        reply.insert(at, bytes);
        m_garbleCount = 0;
    }
    if (m_splitBytes <= 0) {
        m_line.send(reply, notBeforeNs);
        return;
    }
    const qint64 byteNs = m_options.fast ? 0 : PtyLine::ByteNs;
    qint64 startNs = notBeforeNs;
    for (qsizetype at = 0; at < reply.size(); at += m_splitBytes) {
        const QByteArray piece = reply.mid(at, m_splitBytes);
        m_line.send(piece, startNs);
        startNs += piece.size() * byteNs + m_splitGapMs * 1'000'000LL;
    }
}

// count pseudo-random bytes, none of them one of never.
QByteArray Simulator::noise(int count, QByteArrayView never)
{
    QByteArray bytes;
    bytes.reserve(count);
    while (bytes.size() < count) {
        const char c = static_cast<char>(m_noise.bounded(256));
        if (!never.contains(c))
            bytes += c;
    }
    return bytes;
}

// A listener's client is one more end of the line. A client leaving cuts
// what it was sending, as a hang-up of the pseudo-terminal does.
void Simulator::addListener(NetListener::Kind kind)
{
    auto *listener = new NetListener(kind, this);
    m_listeners.append(listener);
    const QByteArray scheme = listener->scheme();
    const auto networkOpen = [this] {
        return std::ranges::any_of(m_listeners, [](const NetListener *l) { return l->hasClient(); });
    };
    connect(listener, &NetListener::clientCame, this, [=, this](const QByteArray &peer) {
        logEvent("connect " + scheme + ' ' + peer);
        m_line.setNetworkOpen(true);
    });
    connect(listener, &NetListener::clientRefused, this,
            [=, this](const QByteArray &peer) { logEvent("refused " + scheme + ' ' + peer); });
    connect(listener, &NetListener::clientGone, this, [=, this] {
        handle(m_splitter.flush());
        logEvent("disconnect " + scheme);
        m_line.setNetworkOpen(networkOpen());
    });
    connect(listener, &NetListener::received, &m_line, &PtyLine::takeIn);
    connect(listener, &NetListener::settingsRequested, this,
            [this](const QByteArray &settings) { logEvent("rfc2217 settings " + settings); });
}

bool Simulator::comeUp(QString *error)
{
    if (!m_line.open(error) || !m_link.place(m_line.slavePath(), error)) {
        m_line.close();
        return false;
    }
    for (NetListener *listener : std::as_const(m_listeners))
        listener->setShut(false);
    logEvent("up " + m_line.slavePath().toLocal8Bit());
    return true;
}

void Simulator::hangUp(int backAfterMs)
{
    for (NetListener *listener : std::as_const(m_listeners))
        listener->setShut(true);
    handle(m_splitter.flush());
    m_line.close();
    m_link.remove();
    logEvent(QByteArrayLiteral("hangup"));
    if (backAfterMs >= 0)
        m_upTimer.start(backAfterMs);
}

void Simulator::logEvent(const QByteArray &text)
{
    m_log.event(nowMs(), text);
}
