// SPDX-License-Identifier: GPL-3.0-or-later
// A logo download from the real window to qxsim, which takes the bytes in at
// the real 9600-baud pace: the time from the start of the download to the
// last logo byte taken in, beside the line's floor (the fixed waits before
// the first line write, then 10 bits at 9600 baud for every byte).
#include "bitmapmaker.h"
#include "simwindow.h"

#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QTest>
#include <QTextStream>

#include <algorithm>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(atoi(argv[1]), 1) : 3;
    QTextStream out(stdout);

    SimWindow w;
    const QString logo = w.config.filePath(QStringLiteral("logo.bmp"));
    QFile file(logo);
    if (!file.open(QIODevice::WriteOnly) || file.write(BitmapMaker().bytes()) < 0)
        return 1;
    file.close();
    if (!w.open(5, {{QStringLiteral("BMPpath1"), logo}}))
        return 1;
    if (!QTest::qWaitFor([&] { return w.action("mnuDownloadLogotoRam")->isEnabled(); }, 15000)) {
        out << "the simulated device did not answer\n";
        return 1;
    }

    // 12 + 10 + 10 + 2 ticks of 25 ms before the lines go out.
    constexpr double floorMs = 34 * 25 + 2048 * 10 * 1000.0 / 9600;
    double worst = 0, sum = 0;
    for (int round = 0; round < rounds; ++round) {
        const qsizetype before = w.sim->received().size();
        const qint64 start = QDateTime::currentMSecsSinceEpoch();
        w.core().download.start();
        qint64 lastByte = -1;
        (void)QTest::qWaitFor(
            [&] {
                for (const auto &e : w.sim->received().mid(before))
                    if (e.bytes.size() == 2048)
                        lastByte = e.ms;
                return lastByte >= 0 && !w.core().download.running();
            },
            20000);
        if (lastByte < 0) {
            out << "the logo never reached the simulated device\n";
            return 1;
        }
        const auto ms = double(lastByte - start);
        worst = std::max(worst, ms);
        sum += ms;
        QTest::qWait(1500);
    }
    out << "download to the last byte taken in, mean of " << rounds << ": " << qRound(sum / rounds)
        << " ms\n";
    out << "download line floor: " << qRound(floorMs) << " ms\n";
    out << "download time / floor, worst of " << rounds << ": " << QString::number(worst / floorMs, 'f', 3)
        << "\n";
    w.close();
    return 0;
}
