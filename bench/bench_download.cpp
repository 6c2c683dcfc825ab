// SPDX-License-Identifier: GPL-3.0-or-later
// A logo download from the real window to qxsim, which takes the bytes in at
// the real 9600-baud pace: the time from the start of the download to the
// last logo byte taken in, beside the line's floor (the fixed waits before
// the first line write, then 10 bits at 9600 baud for every byte); then the
// same through ser2net's RFC 2217 port in front of that pseudo-terminal,
// against the local line.
#include "bitmapmaker.h"
#include "ser2net.h"
#include "simwindow.h"

#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QTest>
#include <QTextStream>

#include <algorithm>
#include <optional>

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
    struct Times {
        double mean = 0, worst = 0;
    };
    // Downloads the logo `rounds` times; nothing when it never arrives whole.
    const auto measure = [&]() -> std::optional<Times> {
        Times times;
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
            if (lastByte < 0)
                return std::nullopt;
            const auto ms = double(lastByte - start);
            times.worst = std::max(times.worst, ms);
            times.mean += ms / rounds;
            QTest::qWait(1500);
        }
        return times;
    };

    const std::optional<Times> local = measure();
    if (!local) {
        out << "the logo never reached the simulated device\n";
        return 1;
    }
    out << "download to the last byte taken in, mean of " << rounds << ": " << qRound(local->mean) << " ms\n";
    out << "download line floor: " << qRound(floorMs) << " ms\n";
    out << "download time / floor, worst of " << rounds << ": "
        << QString::number(local->worst / floorMs, 'f', 3) << "\n";

    // The same line as port 6, a network port through ser2net.
    w.window.reset();
    Ser2net server(w.sim->ptyPath());
    QFile url(w.config.filePath(QStringLiteral("Quillon/ports/com6")));
    if (!server.start() || !url.open(QIODevice::WriteOnly)
        || url.write(server.rfc2217Url().toUtf8() + '\n') < 0) {
        out << "download through ser2net RFC 2217: ser2net did not start\n";
        return 1;
    }
    url.close();
    w.settings->setValue(QStringLiteral("ComPort"), QStringLiteral("6"));
    w.port = std::make_unique<SystemSerialPort>();
    w.window
        = std::make_unique<FrmQuillon4>(*w.settings, *w.port, w.clock, FrmQuillon4::Options{{}, false, true});
    w.window->show();
    const std::optional<Times> network
        = QTest::qWaitFor([&] { return w.action("mnuDownloadLogotoRam")->isEnabled(); }, 15000)
              ? measure()
              : std::nullopt;
    if (!network) {
        out << "download through ser2net RFC 2217: the simulated device did not answer through it\n";
        return 1;
    }
    out << "download through ser2net RFC 2217 / local pseudo-terminal, mean of " << rounds << ": "
        << QString::number(network->mean / local->mean, 'f', 3) << " (goal <= 1.02)\n";
    w.close();
    return 0;
}
