// SPDX-License-Identifier: GPL-3.0-or-later
#include "schedule.h"

#include "device_link/protocol.h"
#include "settings/settingsstore.h"

namespace {

const QString kOff = QStringLiteral("-1,");
const QString kZero = QStringLiteral("0,");

int &field(ScheduleSequence &s, int list)
{
    switch (list) {
    case 0:
        return s.Start;
    case 1:
        return s.End;
    case 2:
        return s.OnSteps;
    case 3:
        return s.RepeatSteps;
    default:
        return s.Logo;
    }
}

int fieldValue(const ScheduleSequence &s, int list)
{
    return field(const_cast<ScheduleSequence &>(s), list);
}

} // namespace

bool ScheduleSequence::enabledOn(int day) const
{
    return Logo != 0 && Start != -1 && RepeatSteps != 0 && OnSteps != 0 && day >= 0 && day < 7
           && Days[static_cast<size_t>(day)];
}

bool ScheduleSequence::onAt(int seconds, long long onSeconds) const
{
    const long long start = Start * 15LL;
    const long long end = End * 15LL;
    const long long period = RepeatSteps * 15LL;
    if (seconds < start || seconds >= end || period == 0)
        return false;
    return (seconds - start) % period < onSeconds;
}

int ScheduleSequence::daysMask() const
{
    int mask = 0;
    for (int k = 0; k < 7; ++k)
        if (Days[static_cast<size_t>(k)])
            mask |= 1 << k;
    return mask;
}

const std::array<QString, 6> &Schedule::listKeys()
{
    static const std::array<QString, 6> keys{QStringLiteral("S_Start"), QStringLiteral("S_End"),
                                             QStringLiteral("S_ON"),    QStringLiteral("S_OFF"),
                                             QStringLiteral("S_Logo"),  QStringLiteral("S_Days")};
    return keys;
}

Schedule::LoadProblem Schedule::LoadSchedule(const SettingsStore &settings)
{
    for (ScheduleSequence &s : sequences)
        s = ScheduleSequence();
    LoadProblem problem;
    for (int list = 0; list < 6; ++list) {
        const QString fallback = (list == 0 ? kOff : kZero).repeated(Count);
        const QString text = settings.value(listKeys()[static_cast<size_t>(list)], fallback);
        qsizetype p = 0;
        for (int i = 0; i < Count; ++i) {
            const qsizetype comma = text.indexOf(QLatin1Char(','), p);
            if (comma < 0)
                break;
            const QString item = text.mid(p, comma - p);
            p = comma + 1;
            ScheduleSequence &s = sequences[static_cast<size_t>(i)];
            if (list < 5) {
                field(s, list) = Protocol::roundHalfEven(Protocol::leadingNumber(item));
                continue;
            }
            bool ok = false;
            const double mask = item.trimmed().toDouble(&ok);
            if (!ok) {
                // One bad item costs that sequence its days, nothing more.
                if (!problem.bad)
                    problem = {true, QStringLiteral("S_Days item %1 (\"%2\") is not a day mask; sequence %1 "
                                                    "is read with no days.")
                                         .arg(i)
                                         .arg(item)};
                continue;
            }
            const int bits = Protocol::roundHalfEven(mask);
            for (int k = 0; k < 7; ++k)
                if (bits & (1 << k))
                    s.Days[static_cast<size_t>(k)] = true;
        }
    }
    return problem;
}

QString Schedule::listText(int list) const
{
    QString text;
    for (const ScheduleSequence &s : sequences)
        text += QString::number(list < 5 ? fieldValue(s, list) : s.daysMask()) + QLatin1Char(',');
    return text;
}

bool Schedule::save(SettingsStore &settings) const
{
    bool saved = true;
    for (int list = 0; list < 6; ++list)
        saved = settings.setValue(listKeys()[static_cast<size_t>(list)], listText(list)) && saved;
    return saved;
}
