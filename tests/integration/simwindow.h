// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "simprocess.h"

#include "device_link/clock.h"
#include "device_link/systemserialport.h"
#include "gui/frmquillon4.h"
#include "settings/settingsstore.h"

#include <QAction>
#include <QMap>
#include <QTemporaryDir>

#include <memory>

// The real main window on a pseudo-terminal with qxsim at the other end, in
// a configuration folder of its own.
struct SimWindow {
    QTemporaryDir config;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<SystemSerialPort> port;
    SystemClock clock;
    std::unique_ptr<FrmQuillon4> window;

    // Starts qxsim as port n (with extra options), stores the given settings
    // and opens the window.
    bool open(int portNumber, const QMap<QString, QString> &stored = {}, const QStringList &simOptions = {})
    {
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        sim = std::make_unique<SimProcess>(config.filePath(QStringLiteral("Quillon/ports")), portNumber,
                                           simOptions);
        if (!sim->start())
            return false;
        settings = std::make_unique<SettingsStore>();
        settings->setValue(QStringLiteral("ComPort"), QString::number(portNumber));
        for (auto it = stored.cbegin(); it != stored.cend(); ++it)
            settings->setValue(it.key(), it.value());
        port = std::make_unique<SystemSerialPort>();
        window
            = std::make_unique<FrmQuillon4>(*settings, *port, clock, FrmQuillon4::Options{{}, false, true});
        window->show();
        return true;
    }

    void close()
    {
        window.reset();
        sim.reset();
    }

    QuillonCore &core() { return window->core(); }
    template<typename T> T *child(const char *name) { return window->findChild<T *>(QLatin1String(name)); }
    QAction *action(const char *name) { return child<QAction>(name); }
};
