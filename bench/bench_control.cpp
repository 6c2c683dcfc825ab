// SPDX-License-Identifier: GPL-3.0-or-later
// The control endpoint on a core with a fake port, so that no line time
// counts: (a) from a client's request written on the local socket to the
// first byte of its operation handed to the port (the settings check that
// every take begins with), median and 90th percentile; (b) from a TAKE to
// the last of 50 subscribers, reading in a thread of their own, having its
// event line.
#include "corefixture.h"

#include "control/controlserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QTextStream>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <vector>

namespace {

using Steady = std::chrono::steady_clock;

double ms(Steady::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// Runs the event loop until done() or timeoutMs passed; false on the time-out.
bool spin(const std::function<bool()> &done, int timeoutMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}

QString figures(std::vector<double> values)
{
    std::ranges::sort(values);
    const auto at
        = [&values](double q) { return values[std::min(values.size() - 1, size_t(q * values.size()))]; };
    return QStringLiteral("median %1 ms, 90th percentile %2 ms")
        .arg(at(0.5), 0, 'f', 3)
        .arg(at(0.9), 0, 'f', 3);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int requests = argc > 1 ? std::max(atoi(argv[1]), 10) : 500;
    constexpr int Subscribers = 50;
    QTextStream out(stdout);

    CoreFixture f;
    QuillonCore &core = f.startConnected(1);
    ControlServer server(core, {QStringLiteral("bench"), [] { return QStringLiteral("COM1"); }, {}});
    QString problem;
    if (!server.listenLocal(f.dir.filePath(QStringLiteral("control.sock")), &problem)) {
        out << "control endpoint: " << problem << "\n";
        return 1;
    }
    // The device answers every settings query at once.
    const QByteArray settings = QByteArray("s\x00\x32\x63\x5E\x1E\x00\x30\x30\x14\x28", 11) + "01";
    Steady::time_point sent;
    QObject::connect(&core.link, &DeviceLink::bytesSent, [&](const QByteArray &bytes) {
        sent = Steady::now();
        if (bytes == "ARS")
            f.port.receive(settings);
    });

    // (a) Request to port, one request at a time.
    QLocalSocket client;
    client.connectToServer(server.localPath());
    if (!client.waitForConnected(2000))
        return 1;
    std::vector<double> toPort;
    for (int i = 0; i < requests; ++i) {
        const QByteArray line = R"({"id":)" + QByteArray::number(i) + R"(,"op":"take","take":")"
                                + (i % 2 ? "off" : "on") + "\"}\n";
        sent = {};
        const Steady::time_point start = Steady::now();
        client.write(line);
        client.flush();
        if (!spin([&] { return sent != Steady::time_point(); })) {
            out << "request to port: no byte reached the port\n";
            return 1;
        }
        toPort.push_back(ms(sent - start));
        // The reply is taken in over the link's ticks, then the job answers.
        QByteArray answer;
        if (!spin([&] {
                f.ticks(1);
                answer += client.readAll();
                return answer.contains('\n');
            })) {
            out << "request to port: no answer\n";
            return 1;
        }
        if (!answer.contains("\"ok\":true")) {
            out << "request to port: " << answer;
            return 1;
        }
    }
    out << "control request to the port, " << requests << " requests: " << figures(toPort)
        << " (goal: median under 5 ms)\n";

    // (b) Fan-out: the subscribers live in a thread of their own.
    QThread thread;
    QObject context;
    context.moveToThread(&thread);
    thread.start();
    std::atomic<int> subscribed = 0, seen = 0;
    std::mutex lastMutex;
    Steady::time_point last;
    QMetaObject::invokeMethod(
        &context,
        [&] {
            for (int i = 0; i < Subscribers; ++i) {
                auto *socket = new QLocalSocket(&context);
                QObject::connect(socket, &QLocalSocket::readyRead, socket, [&, socket] {
                    const QByteArray bytes = socket->readAll();
                    const Steady::time_point now = Steady::now();
                    subscribed += int(bytes.count("\"ok\":true"));
                    if (const int events = int(bytes.count("\"event\":\"take\""))) {
                        std::lock_guard lock(lastMutex);
                        last = std::max(last, now);
                        seen += events;
                    }
                });
                socket->connectToServer(server.localPath());
                if (socket->waitForConnected(2000))
                    socket->write("{\"id\":1,\"op\":\"subscribe\"}\n");
            }
        },
        Qt::BlockingQueuedConnection);
    if (!spin([&] { return subscribed == Subscribers; }, 10000)) {
        out << "fan-out: the subscribers did not all subscribe\n";
        return 1;
    }
    std::vector<double> fanOut;
    const int rounds = std::max(requests / 5, 10);
    for (int i = 0; i < rounds; ++i) {
        const int before = seen;
        const Steady::time_point start = Steady::now();
        if (i % 2)
            core.ops.takeOff();
        else
            core.ops.takeOn();
        if (!spin([&] { return seen == before + Subscribers; })) {
            out << "fan-out: not every subscriber had the event\n";
            return 1;
        }
        std::lock_guard lock(lastMutex);
        fanOut.push_back(ms(last - start));
    }
    out << "control event fan-out to " << Subscribers << " subscribers, " << rounds
        << " events: " << figures(fanOut) << "\n";

    QMetaObject::invokeMethod(
        &context, [&] { qDeleteAll(context.children()); }, Qt::BlockingQueuedConnection);
    thread.quit();
    thread.wait();
    return 0;
}
