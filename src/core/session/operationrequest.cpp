// SPDX-License-Identifier: GPL-3.0-or-later
#include "operationrequest.h"

#include "panel/panelvalues.h"

#include <QMap>

bool OperationRequest::offline() const
{
    return command == Command::Help || command == Command::Version || command == Command::ScheduleList
           || command == Command::ScheduleCheck;
}

bool OperationRequest::checksDevice() const
{
    return !offline() && command != Command::Wake && command != Command::Sleep
           && command != Command::ScheduleRun && command != Command::Watch;
}

namespace {

using Command = OperationRequest::Command;

struct SettingRange {
    OperationRequest::Setting setting;
    int min;
    int max;
};

const QMap<QString, SettingRange> &settingRanges()
{
    using S = OperationRequest::Setting;
    using namespace PanelValues;
    static const QMap<QString, SettingRange> ranges{
        {QStringLiteral("fade"), {S::Fade, FadeMin, FadeMax}},
        {QStringLiteral("mix"), {S::Mix, MixMin, MixMax}},
        {QStringLiteral("intensity"), {S::Intensity, IntensityMin, IntensityMax}},
        {QStringLiteral("hpos"), {S::HPos, 0, 100}},
        {QStringLiteral("vpos"), {S::VPos, 0, 100}},
        {QStringLiteral("on-time"), {S::OnTime, TimeMin, TimeMax}},
        {QStringLiteral("interval"), {S::Interval, TimeMin, TimeMax}},
    };
    return ranges;
}

// Reads the words after the command; false with an error on a bad one.
bool readOperandsOf(OperationRequest &r, const QString &name, const QStringList &words, QString &error)
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
        const auto v = OperationRequest::number(words.first(), min, max, what, error);
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
            error = QStringLiteral(
                        "\"set\" knows fade, mix, intensity, hpos, vpos, on-time and interval, not \"%1\"")
                        .arg(words[0]);
            return false;
        }
        r.setting = range->setting;
        const auto v = OperationRequest::number(words[1], range->min, range->max, word(0), error);
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
            r.take = OperationRequest::TakeMode::On;
        else if (word(0) == QLatin1String("off"))
            r.take = OperationRequest::TakeMode::Off;
        else if (word(0) == QLatin1String("toggle"))
            r.take = OperationRequest::TakeMode::Toggle;
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

std::optional<int> OperationRequest::number(const QString &text, int min, int max, const QString &what,
                                            QString &error)
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

std::optional<OperationRequest::Command> OperationRequest::commandNamed(const QString &word)
{
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
        {QStringLiteral("watch"), Command::Watch},
        {QStringLiteral("help"), Command::Help},
    };
    const auto found = commands.constFind(word);
    if (found == commands.cend())
        return std::nullopt;
    return *found;
}

bool OperationRequest::readOperands(const QString &name, const QStringList &words, QString &error)
{
    return readOperandsOf(*this, name, words, error);
}
