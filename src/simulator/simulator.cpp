#include "simulator.h"

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
    logEvent("ready " + m_line.slavePath().toLocal8Bit());
    if (m_silent)
        logEvent(QByteArrayLiteral("silent on"));
    print("READY " + m_link.path().toLocal8Bit() + ' ' + m_line.slavePath().toLocal8Bit());

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
    } else if (verb == "short" && words.size() == 2 && argument == "off") {
        m_shortLength = -1;
        logEvent(QByteArrayLiteral("short off"));
    } else if (verb == "short" && words.size() == 2 && toCount(argument, &value, 100000)) {
        m_shortLength = value;
        logEvent("short " + QByteArray::number(value));
    } else if (verb == "noise" && words.size() == 2 && toCount(argument, &value, 100000)) {
        QByteArray noise;
        while (noise.size() < value) {
            const char c = static_cast<char>(m_noise.bounded(256));
            if (c != 'S' && c != 's' && c != '(')
                noise += c;
        }
        logEvent("noise " + QByteArray::number(value));
        m_line.send(noise, 0);
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
        if (item.kind == CommandSplitter::Item::Garbage) {
            m_log.bytes(item.ms, QByteArrayLiteral("!"), item.bytes);
            continue;
        }
        m_log.bytes(item.ms, QByteArrayLiteral("rx"), item.bytes);
        if (item.kind == CommandSplitter::Item::Command)
            deliver(item);
    }
}

// Every node hears every command. All nodes that answer do so, one reply after
// the other (on a real shared line they would collide).
void Simulator::deliver(const CommandSplitter::Item &item)
{
    const qint64 replyNs = (item.ms + m_options.latencyMs) * 1'000'000;
    for (SimNode &node : m_nodes) {
        QByteArray reply = node.handle(*item.command, item.argument);
        if (m_silent || reply.isEmpty())
            continue;
        if (m_shortLength >= 0)
            reply.truncate(m_shortLength);
        m_line.send(reply, replyNs);
    }
}

bool Simulator::comeUp(QString *error)
{
    if (!m_line.open(error) || !m_link.place(m_line.slavePath(), error)) {
        m_line.close();
        return false;
    }
    logEvent("up " + m_line.slavePath().toLocal8Bit());
    return true;
}

void Simulator::hangUp(int backAfterMs)
{
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
