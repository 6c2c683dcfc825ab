// SPDX-License-Identifier: GPL-3.0-or-later
#include "cliarguments.h"

#include "device_link/porturl.h"
#include "panel/panelvalues.h"

#include <QMap>

bool CliRequest::offline() const
{
    return command == Command::Help || command == Command::Version || command == Command::ScheduleList
           || command == Command::ScheduleCheck;
}

bool CliRequest::checksDevice() const
{
    return !offline() && command != Command::Wake && command != Command::Sleep
           && command != Command::ScheduleRun;
}

namespace CliArguments {

namespace {

using Command = CliRequest::Command;

// A whole number within a range, or an error naming what it was for.
std::optional<int> number(const QString &text, int min, int max, const QString &what, QString &error)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok || value < min || value > max) {
        error = QStringLiteral("%1 must be a whole number from %2 to %3, not \"%4\"")
                    .arg(what)
                    .arg(min)
                    .arg(max)
                    .arg(text);
        return std::nullopt;
    }
    return value;
}

struct SettingRange {
    CliRequest::Setting setting;
    int min;
    int max;
};

const QMap<QString, SettingRange> &settingRanges()
{
    using S = CliRequest::Setting;
    using namespace PanelValues;
    static const QMap<QString, SettingRange> ranges{
        {QStringLiteral("fade"), {S::Fade, FadeMin, FadeMax}},
        {QStringLiteral("mix"), {S::Mix, MixMin, MixMax}},
        {QStringLiteral("intensity"), {S::Intensity, IntensityMin, IntensityMax}},
        {QStringLiteral("hpos"), {S::HPos, 0, 100}},
        {QStringLiteral("vpos"), {S::VPos, 0, 100}},
    };
    return ranges;
}

// Reads the words after the command; false with an error on a bad one.
bool readOperands(CliRequest &r, const QString &name, const QStringList &words, QString &error)
{
    const auto count = [&](qsizetype min, qsizetype max) {
        if (words.size() >= min && words.size() <= max)
            return true;
        error = words.size() < min
                    ? QStringLiteral("\"%1\" needs more arguments").arg(name)
                    : QStringLiteral("\"%1\" takes no argument \"%2\"").arg(name, words.at(max));
        return false;
    };
    const auto word = [&](qsizetype i) { return words.value(i).toLower(); };
    // The first word as a whole number of the command's range.
    const auto value = [&](int min, int max, const QString &what) {
        const auto v = number(words.first(), min, max, what, error);
        r.value = v.value_or(0);
        return v.has_value();
    };

    switch (r.command) {
    case Command::Download:
    case Command::Upload:
        if (!count(1, 1))
            return false;
        r.file = words.first();
        return true;
    case Command::Set: {
        if (!count(2, 2))
            return false;
        const auto range = settingRanges().constFind(word(0));
        if (range == settingRanges().cend()) {
            error = QStringLiteral("\"set\" knows fade, mix, intensity, hpos and vpos, not \"%1\"")
                        .arg(words[0]);
            return false;
        }
        r.setting = range->setting;
        const auto v = number(words[1], range->min, range->max, word(0), error);
        r.value = v.value_or(0);
        return v.has_value();
    }
    case Command::Standard:
        if (!count(1, 1))
            return false;
        if (word(0) != QLatin1String("ntsc") && word(0) != QLatin1String("pal")) {
            error = QStringLiteral("the standard is ntsc or pal, not \"%1\"").arg(words[0]);
            return false;
        }
        r.pal = word(0) == QLatin1String("pal");
        return true;
    case Command::Take:
        if (!count(1, 1))
            return false;
        if (word(0) == QLatin1String("on"))
            r.take = CliRequest::TakeMode::On;
        else if (word(0) == QLatin1String("off"))
            r.take = CliRequest::TakeMode::Off;
        else if (word(0) == QLatin1String("toggle"))
            r.take = CliRequest::TakeMode::Toggle;
        else {
            error = QStringLiteral("take is on, off or toggle, not \"%1\"").arg(words[0]);
            return false;
        }
        return true;
    case Command::Select:
        return count(1, 1) && value(1, 15, QStringLiteral("the slot"));
    case Command::Wake:
        return count(0, 1) && (words.isEmpty() || value(1, 255, QStringLiteral("the node ID")));
    case Command::SetId:
        return count(1, 1) && value(1, 255, QStringLiteral("the node ID"));
    default:
        return count(0, 0);
    }
}

} // namespace

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
            const auto v = text ? number(*text, 1, 255, a, error) : std::nullopt;
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

    static const QMap<QString, Command> commands{
        {QStringLiteral("status"), Command::Status},
        {QStringLiteral("copyright"), Command::Copyright},
        {QStringLiteral("download"), Command::Download},
        {QStringLiteral("store-logo"), Command::StoreLogo},
        {QStringLiteral("upload"), Command::Upload},
        {QStringLiteral("set"), Command::Set},
        {QStringLiteral("standard"), Command::Standard},
        {QStringLiteral("take"), Command::Take},
        {QStringLiteral("select"), Command::Select},
        {QStringLiteral("wake"), Command::Wake},
        {QStringLiteral("sleep"), Command::Sleep},
        {QStringLiteral("set-id"), Command::SetId},
        {QStringLiteral("schedule"), Command::ScheduleRun},
        {QStringLiteral("help"), Command::Help},
    };
    QString name = words.takeFirst();
    const auto found = commands.constFind(name);
    if (found == commands.cend())
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
    if (!readOperands(r, name, words, error))
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
        "  set fade|mix|intensity|hpos|vpos VALUE\n"
        "                             fade 1-100, mix and intensity 0-99, positions 0-100 %\n"
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
        "\n"
        "Options:\n"
        "  --port N        port number N (see Quillon's ports folder)\n"
        "  --device PATH   the serial device itself, e.g. /dev/ttyUSB0, or a port on a\n"
        "                  device server: socket://HOST:PORT or rfc2217://HOST:PORT\n"
        "  --node ID       wake only node ID before the command, instead of every node\n"
        "  --help          this text\n"
        "  --version       the version\n"
        "\n"
        "Exit codes: 0 done, 1 schedule conflicts, 2 bad arguments, 3 port missing, busy\n"
        "or lost, 4 the device did not answer or failed, 5 a file could not be read or\n"
        "written, 130 interrupted.\n");
}

} // namespace CliArguments
