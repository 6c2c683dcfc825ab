// SPDX-License-Identifier: GPL-3.0-or-later
#include "device_link/clock.h"
#include "device_link/systemserialport.h"
#include "gui/frmquillon4.h"
#include "gui/launchoptions.h"
#include "gui/singleinstance.h"
#include "scheduler/asrunlog.h"
#include "settings/settingsstore.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillon"));
    QApplication::setOrganizationName(QStringLiteral("Quillon"));
    QApplication::setApplicationVersion(QStringLiteral(QUILLON_VERSION));

    const LaunchOptions options = LaunchOptions::parse(QApplication::arguments());

    SingleInstance instance;
    const SingleInstance::Start start = instance.start();
    if (!start.problem.isEmpty())
        std::fprintf(stderr, "quillon: %s\n", qPrintable(start.problem));
    if (!start.running)
        return 1;
    const bool tookOver = start.tookOver;

    SettingsStore settings;
    SystemSerialPort port;
    SystemClock clock;
    AsRunWriter asRunLog;
    FrmQuillon4 window(settings, port, clock, {options.arguments, !tookOver && !options.noSplash, true});
    window.core().runner.setAsRunLog(&asRunLog);
    if (!start.problem.isEmpty())
        window.core().reporter.ReportError(start.problem, QStringLiteral("Single Instance"));
    QObject::connect(&instance, &SingleInstance::closeRequested, &window, &QWidget::close);
    window.show();
    options.scheduleScreenshot(window);
    return QApplication::exec();
}
