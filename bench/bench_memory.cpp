// SPDX-License-Identifier: GPL-3.0-or-later
// Peak resident memory of the program's window with four logos loaded and
// the schedule editor open.
#include "bitmapmaker.h"

#include "device_link/clock.h"
#include "device_link/systemserialport.h"
#include "gui/frmquillon4.h"
#include "gui/frmschedule.h"
#include "settings/settingsstore.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

namespace {

void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// A line of /proc/self/status in kB, e.g. VmHWM (peak resident size).
qint64 statusKb(const QByteArray &key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(key + ':'))
            return line.mid(key.size() + 1).trimmed().split(' ').constFirst().toLongLong();
    return -1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    QTextStream out(stdout);

    SettingsStore settings;
    for (int slot = 1; slot <= 4; ++slot) {
        BitmapMaker maker;
        maker.seed = slot;
        const QString name = config.filePath(QStringLiteral("logo%1.bmp").arg(slot));
        QFile file(name);
        if (!file.open(QIODevice::WriteOnly) || file.write(maker.bytes()) < 0)
            return 1;
        settings.setValue(QStringLiteral("BMPpath%1").arg(slot), name);
    }
    SystemSerialPort port;
    SystemClock clock;
    FrmQuillon4 window(settings, port, clock, {{}, false, true});
    window.show();
    settle(500);
    FrmSchedule editor(window.core(), &window);
    editor.show();
    settle(1000);
    out << "peak resident memory, four logos and the schedule editor: " << statusKb("VmHWM") / 1024
        << " MB\n";
    return 0;
}
