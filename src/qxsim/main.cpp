// SPDX-License-Identifier: GPL-3.0-or-later
#include "qxsim/portlink.h"
#include "qxsim/simnode.h"
#include "qxsim/simulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const char *const kDescription
    = R"(Plays one or more logo generator nodes on a pseudo-terminal, for tests, demos
and work without hardware. Once the port link DIR/comN points at the line, one
line "READY <link> <pty>" goes to stdout, then one line "LISTEN <url>" for each
listener; other messages go to stderr.

Network listeners (--listen, --listen-rfc2217) are more ends of the same line,
as a serial device server would be: bytes from a client reach the nodes as if
from the pseudo-terminal, at the same pace, and everything the nodes send goes
to the client as well. Each listener takes one client at a time: a second one
is refused (closed at once) while the first keeps the line. A hangup drops the
clients and refuses new ones until the line is up again. --listen-rfc2217 is
telnet with RFC 2217: it takes BINARY, SUPPRESS-GO-AHEAD and COM-PORT-OPTION,
answers every line setting with the value asked (a 0 asks for the current one),
and doubles 0xFF both ways. The line itself stays 9600,N,8,1 whatever is set.

Logos: after "ALD" every awake node takes the next 2048 bytes on the line (64
lines of 32 bytes: rows 62, 60, .., 0, then rows 63, 61, .., 1; row 0 is the
bottom line) into its logo RAM. A silence of 500 ms or a hang-up in between
cuts them; the RAM then stays as it was. "ASI" stores the RAM in the slot that
"AJ" selected; "ACM" clears the RAM and all slots. "ARM" answers with 2052
bytes: 00 01, "SD", then the selected slot's lines in the order above with
every byte inverted.

Control lines on stdin (each is logged as a # event; end of stdin does not quit):
  silent on | silent off   receive and log, but never answer
  power off | power on     a power cut: while off the nodes neither hear nor
                           answer (what comes is still logged); back on, each
                           has TAKE off and its logo RAM loaded from the
                           selected slot's stored logo, its settings kept
  take on | take off [ID]  switch TAKE at the front panel of every node (or
                           node ID): nothing goes on the line, the next settings
                           reply tells it
  short N | short off      cut every following reply to its first N bytes
                           (a logo stream too, counting its noise)
  noise N                  send N pseudo-random bytes now (never 'S', 's', '(')
  noise-before N | noise-before off
                           send N pseudo-random bytes (never 'S') before every
                           following logo stream
  split N MS | split off    send every following reply in pieces of N bytes with
                           MS milliseconds of silence between them
  garble before|inside|after N [MNEMONIC]
                           put N pseudo-random bytes (never 'S', 's', '(')
                           before, in the middle of or after the next reply
                           (to MNEMONIC only, e.g. ARS, when given)
  send HEX                 send the given bytes now, e.g. "send 530102"
  hangup [MS]              close the line and remove the link; with MS come back
                           on a new pty after MS milliseconds, else on "up"
  up                       come back after a hangup
  dump                     print one line per node on stdout:
                           NODE id= model= awake= mix= fade= intensity= h= v=
                           status= on= interval= slot= std=NTSC|PAL saves=
                           ram= logo= (CRC-16 of the logo RAM and of the
                           selected slot, four hex digits)
  dumplogo FILE [ram|SLOT] [ID]
                           write the logo RAM (default) or the stored logo of
                           SLOT of node ID (default: the first node) to FILE
                           (no blanks in the name) as a 256 x 64 bitmap file
                           of 2110 bytes, one bit a pixel, 1 white, logo bytes
                           as stored, bottom row first; then print "DUMPED
                           FILE" on stdout, or "DUMPFAILED FILE"
  quit                     exit (as do SIGTERM and SIGINT)

Traffic log lines: <epoch ms> TAB <kind> TAB <text>; kind rx (command received;
also the 2048 logo bytes after ALD, as one line), tx (reply starting to go
out), ! (garbage received, and the bytes of cut logo lines) with bytes
0x21..0x7E other than backslash as they are and all others as \xHH; kind #
with an event (open, close, hangup, up <pty>, ready <pty>, drop N, payload cut
N, and the control lines above; connect socket|rfc2217 <peer>, disconnect
socket|rfc2217, refused socket|rfc2217 <peer>, and rfc2217 settings <baud> <data
bits> <parity> <stop bits> as the client sets them, RFC 2217 numbers).)";

int signalSockets[2] = {-1, -1};

void onSignal(int signal)
{
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(signalSockets[0], &byte, 1);
}

bool parseNode(const QString &text, Simulator::NodeConfig *node)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() != 2)
        return false;
    bool idOk = false;
    bool modelOk = false;
    node->id = parts.at(0).toInt(&idOk);
    node->model = parts.at(1).toInt(&modelOk);
    return idOk && modelOk && node->id >= 1 && node->id <= 255 && SimNode::isValidModel(node->model);
}

int fail(const QString &message)
{
    std::fprintf(stderr, "qxsim: %s\n", qPrintable(message));
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qxsim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(kDescription));
    parser.addHelpOption();
    const QCommandLineOption portsDirOption(
        QStringLiteral("ports-dir"),
        QStringLiteral("Directory of the port links (default %1).").arg(PortLink::defaultDirectory()),
        QStringLiteral("DIR"), PortLink::defaultDirectory());
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Port number 1..255 (default 1)."),
                                        QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption nodeOption(
        QStringLiteral("node"),
        QStringLiteral("A node: ID 1..255, MODEL 1, 3, 4, 7, 15 or 31. Repeatable (default 1:4)."),
        QStringLiteral("ID:MODEL"));
    const QCommandLineOption fastOption(
        QStringLiteral("fast"), QStringLiteral("Do not keep the 9600 baud pace in either direction."));
    const QCommandLineOption logOption(
        QStringLiteral("log"), QStringLiteral("Write the traffic log to FILE."), QStringLiteral("FILE"));
    const QCommandLineOption latencyOption(QStringLiteral("latency"),
                                           QStringLiteral("Reply latency in milliseconds (default 3)."),
                                           QStringLiteral("MS"), QStringLiteral("3"));
    const QCommandLineOption silentOption(QStringLiteral("silent"), QStringLiteral("Start silent."));
    const QCommandLineOption listenOption(
        QStringLiteral("listen"),
        QStringLiteral("Also take the line's bytes over raw TCP on [HOST:]PORT (HOST 127.0.0.1 when left "
                       "out, PORT 0: any free one)."),
        QStringLiteral("[HOST:]PORT"));
    const QCommandLineOption listenRfc2217Option(
        QStringLiteral("listen-rfc2217"),
        QStringLiteral("Also take them over telnet with RFC 2217 on [HOST:]PORT (as --listen)."),
        QStringLiteral("[HOST:]PORT"));
    parser.addOptions({portsDirOption, portOption, nodeOption, fastOption, logOption, latencyOption,
                       silentOption, listenOption, listenRfc2217Option});
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().constFirst()));

    Simulator::Options options;
    options.portsDirectory = parser.value(portsDirOption);
    bool ok = false;
    options.port = parser.value(portOption).toInt(&ok);
    if (!ok || options.port < 1 || options.port > 255)
        return fail(QStringLiteral("--port wants a number 1..255"));
    for (const QString &text : parser.values(nodeOption)) {
        Simulator::NodeConfig node{};
        if (!parseNode(text, &node))
            return fail(
                QStringLiteral("--node wants ID:MODEL, ID 1..255, MODEL 1, 3, 4, 7, 15 or 31: %1").arg(text));
        options.nodes.append(node);
    }
    if (options.nodes.isEmpty())
        options.nodes.append({1, 4});
    options.fast = parser.isSet(fastOption);
    options.logPath = parser.value(logOption);
    options.latencyMs = parser.value(latencyOption).toInt(&ok);
    if (!ok || options.latencyMs < 0 || options.latencyMs > 60000)
        return fail(QStringLiteral("--latency wants milliseconds 0..60000"));
    options.silent = parser.isSet(silentOption);
    options.listenRaw = parser.value(listenOption);
    options.listenRfc2217 = parser.value(listenRfc2217Option);

    Simulator simulator(options);
    QObject::connect(&simulator, &Simulator::quitRequested, &app, &QCoreApplication::quit);

    // SIGTERM and SIGINT arrive through a socket pair and quit the normal way,
    // so the link is removed.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalSockets) != 0)
        return fail(QStringLiteral("socketpair failed"));
    struct sigaction action { };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    QSocketNotifier signalNotifier(signalSockets[1], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &simulator, [&simulator] {
        char signal = 0;
        if (::read(signalSockets[1], &signal, 1) == 1)
            simulator.control(QByteArrayLiteral("quit"));
    });

    QString error;
    if (!simulator.start(&error)) {
        std::fprintf(stderr, "qxsim: %s\n", qPrintable(error));
        return 1;
    }
    return app.exec();
}
