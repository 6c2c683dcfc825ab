#include "app/launchoptions.h"
#include "app/settingsstore.h"
#include "app/singleinstance.h"
#include "device_link/clock.h"
#include "device_link/systemserialport.h"
#include "scheduler/asrunlog.h"
#include "ui/frmquillon4.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillon"));
    QApplication::setOrganizationName(QStringLiteral("Quillon"));
    QApplication::setApplicationVersion(QStringLiteral(QUILLON_VERSION));

    const LaunchOptions options = LaunchOptions::parse(QApplication::arguments());

    SingleInstance instance;
    const bool tookOver = instance.takeOver();
    instance.listen();

    SettingsStore settings;
    SystemSerialPort port;
    SystemClock clock;
    FrmQuillon4 window(settings, port, clock, {options.arguments, !tookOver && !options.noSplash, true});
    const AsRunLog asRunLog;
    window.core().runner.setAsRunLog(&asRunLog);
    QObject::connect(&instance, &SingleInstance::closeRequested, &window, &QWidget::close);
    window.show();
    options.scheduleScreenshot(window);
    return QApplication::exec();
}
