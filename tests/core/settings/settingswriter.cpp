// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the settings file through the program's store without end, so a
// test can kill it at any moment: usage settings_writer FILE.
#include "settings/settingsstore.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    SettingsStore store(QString::fromLocal8Bit(argv[1]));
    store.setValue(QStringLiteral("Marker"), QStringLiteral("present"));
    QTextStream(stdout) << "WRITING" << Qt::endl;
    // Values of changing length, so that a torn write would show.
    for (quint64 i = 0;; ++i) {
        const QString value = QStringLiteral("value-%1-").arg(i) + QString(int(i % 97), QLatin1Char('x'));
        store.setValue(QStringLiteral("Key%1").arg(i % 20), value);
    }
}
