// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cliarguments.h"
#include "cli/clijob.h"
#include "cli/remotejob.h"
#include "control/controlserver.h"
#include "device_link/clock.h"
#include "device_link/systemserialport.h"
#include "scheduler/asrunlog.h"
#include "session/linktimers.h"
#include "session/quilloncore.h"
#include "settings/settingsstore.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int number)
{
    const char byte = static_cast<char>(number);
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

void print(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    if (!text.endsWith(QLatin1Char('\n')) && !text.startsWith(QLatin1Char('\r')))
        std::fputc('\n', stream);
    std::fflush(stream);
}

// Follows the settings file, which the program replaces as a whole on every
// write: the folder is watched too, and the file is watched again each time.
void watchSettings(QFileSystemWatcher &watcher, CliJob &job, const QString &fileName)
{
    auto *debounce = new QTimer(&watcher);
    debounce->setSingleShot(true);
    debounce->setInterval(300);
    const auto rewatch = [&watcher, fileName] {
        if (!watcher.files().contains(fileName) && QFileInfo::exists(fileName))
            watcher.addPath(fileName);
    };
    rewatch();
    watcher.addPath(QFileInfo(fileName).absolutePath());
    QObject::connect(&watcher, &QFileSystemWatcher::fileChanged, debounce, qOverload<>(&QTimer::start));
    QObject::connect(&watcher, &QFileSystemWatcher::directoryChanged, debounce, qOverload<>(&QTimer::start));
    QObject::connect(debounce, &QTimer::timeout, &job, [&job, rewatch] {
        rewatch();
        job.reloadSchedule();
    });
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quillon"));
    QCoreApplication::setOrganizationName(QStringLiteral("Quillon"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLON_VERSION));

    const CliArguments::Parsed parsed = CliArguments::parse(QCoreApplication::arguments().mid(1));
    if (!parsed.request) {
        print(stderr, QStringLiteral("quillon-cli: ") + parsed.error);
        return OperationExit::Usage;
    }
    const CliRequest &request = *parsed.request;

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) {
        print(stderr, QStringLiteral("quillon-cli: cannot set up signal handling"));
        return OperationExit::PortProblem;
    }
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGHUP, onSignal);

    SettingsStore settings;
    CliJob::Output output;
    output.out = [](const QString &text) { print(stdout, text); };
    output.err = [](const QString &text) { print(stderr, text); };
    output.progressBar = ::isatty(STDERR_FILENO) != 0;

    // A line another Quillon process holds is reached through its control
    // endpoint.
    if (!request.offline() && request.command != CliRequest::Command::ScheduleRun) {
        const int number = request.port.value_or(settings.value(QStringLiteral("ComPort")).toInt());
        const QString path = ControlServer::socketPath(number, request.device);
        RemoteJob remote(request, output);
        if ((number > 0 || !request.device.isEmpty()) && remote.connectTo(path)) {
            QObject::connect(&signalNotifier, &QSocketNotifier::activated, &remote, [&remote] {
                char byte = 0;
                if (::read(signalPipe[0], &byte, 1) == 1)
                    remote.interrupt();
            });
            QObject::connect(&remote, &RemoteJob::finished, &app, &QCoreApplication::exit);
            remote.start();
            return remote.done() ? remote.exitCode() : QCoreApplication::exec();
        }
        if (request.command == CliRequest::Command::Watch) {
            print(stderr, QStringLiteral("quillon-cli: nothing serves %1: neither Quillon nor quillon-cli "
                                         "schedule run holds that line")
                              .arg(path));
            return OperationExit::PortProblem;
        }
    }

    SystemSerialPort port(request.device.isEmpty() ? PortLocator()
                                                   : PortLocator::forDevice(1, request.device));
    SystemClock clock;
    QuillonCore core(settings, port, clock);
    LinkTimers timers(core.link, core.runner, core.scheduleState);
    AsRunWriter asRunLog;
    core.runner.setAsRunLog(&asRunLog);

    CliJob job(core, request, output, &timers);

    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &job, [&job, &request] {
        char byte = 0;
        if (::read(signalPipe[0], &byte, 1) != 1)
            return;
        // A hang-up asks the running schedule to read its settings again.
        if (byte == SIGHUP && request.command == CliRequest::Command::ScheduleRun)
            job.reloadSchedule();
        else
            job.interrupt();
    });
    QObject::connect(&job, &CliJob::finished, &app, [&](int code) {
        timers.stop();
        core.link.closePort();
        QCoreApplication::exit(code);
    });

    QFileSystemWatcher watcher;
    if (request.command == CliRequest::Command::ScheduleRun)
        watchSettings(watcher, job, settings.fileName());

    timers.start();
    job.start();
    if (job.done())
        return job.exitCode();

    // The running schedule serves its line to other programs.
    ControlServer server(core, {QStringLiteral("quillon-cli schedule run"), [&job] { return job.portName(); },
                                [&job] { job.reloadSchedule(); }});
    if (request.command == CliRequest::Command::ScheduleRun) {
        QObject::connect(&server, &ControlServer::notice, &app,
                         [](const QString &text) { print(stderr, QStringLiteral("quillon-cli: ") + text); });
        QString problem;
        const int number = request.device.isEmpty() ? core.deviceState.comPort : 0;
        if (!server.listenLocal(ControlServer::socketPath(number, request.device), &problem)
            || !server.listenAsConfigured(settings, &problem))
            print(stderr, QStringLiteral("quillon-cli: warning: ") + problem);
    }
    return QCoreApplication::exec();
}
