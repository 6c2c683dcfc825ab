// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

// The six schedule lines of a settings file in which only sequence 0 is set.
inline QByteArray firstSequenceLines(int start, int end, int on, int repeat, int logo, int daysMask)
{
    const auto list = [](const QByteArray &first, const QByteArray &rest) {
        return first + ',' + (rest + ',').repeated(19);
    };
    return "S_Start=" + list(QByteArray::number(start), "-1") + "\nS_End="
           + list(QByteArray::number(end), "0") + "\nS_ON=" + list(QByteArray::number(on), "0") + "\nS_OFF="
           + list(QByteArray::number(repeat), "0") + "\nS_Logo=" + list(QByteArray::number(logo), "0")
           + "\nS_Days=" + list(QByteArray::number(daysMask), "0") + "\n";
}
