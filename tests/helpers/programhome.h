// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

// A home of its own for the real quillon program: a configuration folder
// with the settings file and the ports folder, a private runtime folder,
// and the environment that points the program at them, offscreen.
struct ProgramHome {
    QTemporaryDir dir;

    QString path(const char *relative) const { return dir.filePath(QString::fromLatin1(relative)); }
    QString portsDir() const { return path("config/Quillon/ports"); }

    // Creates the folders and writes the settings file.
    bool prepare(const QByteArray &settings)
    {
        if (!QDir().mkpath(path("config/Quillon")) || !QDir().mkpath(path("run")))
            return false;
        QFile::setPermissions(path("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile conf(path("config/Quillon/Quillon.conf"));
        return conf.open(QIODevice::WriteOnly) && conf.write(settings) == settings.size();
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), path("config"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), path("run"));
        env.insert(QStringLiteral("XDG_STATE_HOME"), path("state"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        return env;
    }

    // Starts the program with this home; true once it runs.
    bool launch(QProcess &program, const QStringList &arguments = {}) const
    {
        program.setProcessEnvironment(environment());
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(QStringLiteral(QUILLON_PATH), arguments);
        return program.waitForStarted();
    }
};
