// SPDX-License-Identifier: GPL-3.0-or-later
#include "cliarguments.h"

#include "device_link/porturl.h"

namespace CliArguments {

using Command = CliRequest::Command;

Parsed parse(const QStringList &arguments)
{
    CliRequest r;
    QStringList words;
    QString error;
    bool helpAsked = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        const auto optionValue = [&]() -> std::optional<QString> {
            if (i + 1 >= arguments.size()) {
                error = QStringLiteral("%1 needs a value").arg(a);
                return std::nullopt;
            }
            return arguments[++i];
        };
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            helpAsked = true;
        } else if (a == QLatin1String("--version")) {
            r.command = Command::Version;
            return {r, {}};
        } else if (a == QLatin1String("--port") || a == QLatin1String("--node")) {
            const auto text = optionValue();
            const auto v = text ? OperationRequest::number(*text, 1, 255, a, error) : std::nullopt;
            if (!v)
                return {std::nullopt, error};
            (a == QLatin1String("--port") ? r.port : r.node) = v;
        } else if (a == QLatin1String("--device")) {
            const auto text = optionValue();
            if (!text)
                return {std::nullopt, error};
            // An empty path would fall back to the stored port.
            if (text->trimmed().isEmpty())
                return {std::nullopt, QStringLiteral("--device needs a path")};
            QString problem;
            if (PortUrl::looksLikeUrl(*text) && !PortUrl::parse(*text, &problem))
                return {std::nullopt, QStringLiteral("--device: ") + problem};
            r.device = text->trimmed();
        } else if (a == QLatin1String("--negative")) {
            r.negative = true;
        } else if (a.startsWith(QLatin1String("--"))) {
            return {std::nullopt, QStringLiteral("unknown option %1").arg(a)};
        } else {
            words.append(a);
        }
    }
    if (helpAsked) {
        r.command = Command::Help;
        return {r, {}};
    }
    if (r.port && !r.device.isEmpty())
        return {std::nullopt, QStringLiteral("give --port or --device, not both")};
    if (words.isEmpty())
        return {std::nullopt, QStringLiteral("no command given (see --help)")};

    QString name = words.takeFirst();
    const auto found = OperationRequest::commandNamed(name);
    if (!found)
        return {std::nullopt, QStringLiteral("unknown command \"%1\" (see --help)").arg(name)};
    r.command = *found;
    if (r.command == Command::ScheduleRun) {
        const QString what = words.isEmpty() ? QString() : words.takeFirst();
        if (what == QLatin1String("list"))
            r.command = Command::ScheduleList;
        else if (what == QLatin1String("check"))
            r.command = Command::ScheduleCheck;
        else if (what != QLatin1String("run"))
            return {std::nullopt, QStringLiteral("\"schedule\" is followed by list, check or run")};
        name += QLatin1Char(' ') + what;
    }
    if (r.negative && r.command != Command::Download)
        return {std::nullopt, QStringLiteral("--negative belongs to download")};
    if (r.node && r.command == Command::Wake)
        return {std::nullopt, QStringLiteral("wake names its node itself: wake ID")};
    if (r.command == Command::Help)
        return {r, {}};
    if (!r.readOperands(name, words, error))
        return {std::nullopt, error};
    return {r, {}};
}

QString usage()
{
    return QStringLiteral(
        "Usage: quillon-cli [--port N | --device PATH] [--node ID] COMMAND [ARGUMENTS]\n"
        "\n"
        "Controls a logo generator from the command line, with the settings of the\n"
        "Quillon program ($XDG_CONFIG_HOME/Quillon/Quillon.conf): its port, model,\n"
        "panel values and schedule. Without --port or --device the stored port is used.\n"
        "\n"
        "Commands:\n"
        "  status                     the device's settings, as JSON\n"
        "  copyright                  the device's copyright line\n"
        "  download FILE.bmp [--negative]\n"
        "                             send a 1-bit 256 x 32 or 256 x 64 bitmap to the\n"
        "                             selected logo\n"
        "  store-logo                 store the logo in non-volatile memory\n"
        "  upload OUT.bmp             read the selected logo back into a bitmap file\n"
        "  set fade|mix|intensity|hpos|vpos|on-time|interval VALUE\n"
        "                             fade 1-100, mix and intensity 0-99, positions 0-100 %,\n"
        "                             on-time and interval 1-255 steps of 15 s\n"
        "  standard ntsc|pal          the video standard\n"
        "  take on|off|toggle         switch the logo on or off air\n"
        "  select SLOT                select a logo slot\n"
        "  wake [ID]                  wake every node, or only node ID (the others sleep)\n"
        "  sleep                      put every node to sleep\n"
        "  set-id ID                  give the awake node a new ID (1-255)\n"
        "  schedule list              the stored weekly schedule as a table\n"
        "  schedule check             the conflict scan; exit code 1 when sequences conflict\n"
        "  schedule run               run the stored schedule until stopped by a signal,\n"
        "                             reloading it when the settings file changes\n"
        "  watch                      print the line's events as JSON lines until stopped\n"
        "                             (the line must be held by Quillon or schedule run)\n"
        "\n"
        "Options:\n"
        "  --port N        port number N (see Quillon's ports folder)\n"
        "  --device PATH   the serial device itself, e.g. /dev/ttyUSB0, or a port on a\n"
        "                  device server: socket://HOST:PORT or rfc2217://HOST:PORT\n"
        "  --node ID       wake only node ID before the command, instead of every node\n"
        "  --help          this text\n"
        "  --version       the version\n"
        "\n"
        "When Quillon or quillon-cli schedule run holds the line, every command goes\n"
        "through that process's control endpoint (doc/control-protocol.md).\n"
        "\n"
        "Exit codes: 0 done, 1 schedule conflicts, 2 bad arguments, 3 port missing, busy\n"
        "or lost, 4 the device did not answer or failed, 5 a file could not be read or\n"
        "written, 130 interrupted.\n");
}

} // namespace CliArguments
