// SPDX-License-Identifier: GPL-3.0-or-later
#include "launchoptions.h"

#include <QApplication>
#include <QDateTime>
#include <QEvent>
#include <QPixmap>
#include <QTextStream>
#include <QTimer>
#include <QWidget>

LaunchOptions LaunchOptions::parse(const QStringList &commandLine)
{
    LaunchOptions options;
    for (qsizetype i = 1; i < commandLine.size(); ++i) {
        const QString &word = commandLine.at(i);
        const bool hasValue = i + 1 < commandLine.size();
        if (word == QLatin1String("--screenshot") && hasValue) {
            options.screenshotFile = commandLine.at(++i);
        } else if (word == QLatin1String("--screenshot-delay") && hasValue) {
            options.screenshotDelayMs = commandLine.at(++i).toInt();
        } else if (word == QLatin1String("--quit-after") && hasValue) {
            options.quitAfterMs = commandLine.at(++i).toInt();
        } else if (word == QLatin1String("--no-splash")) {
            options.noSplash = true;
        } else if (word == QLatin1String("--report-shown")) {
            options.reportShown = true;
        } else {
            options.arguments.append(word);
        }
    }
    return options;
}

namespace {

// Prints "SHOWN <epoch ms>" on stdout when the window first paints, for the
// start-up benchmark.
class ShownReporter : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            QTextStream(stdout) << "SHOWN " << QDateTime::currentMSecsSinceEpoch() << Qt::endl;
            watched->removeEventFilter(this);
            deleteLater();
        }
        return false;
    }
};

} // namespace

void LaunchOptions::scheduleScreenshot(QWidget &window) const
{
    if (reportShown)
        window.installEventFilter(new ShownReporter(&window));
    if (!screenshotFile.isEmpty()) {
        const QString file = screenshotFile;
        QTimer::singleShot(screenshotDelayMs, &window, [&window, file] {
            const bool saved = window.grab().save(file);
            QTextStream(stderr) << (saved ? "Screenshot saved to " : "Could not save a screenshot to ")
                                << file << '\n';
        });
    }
    if (quitAfterMs >= 0)
        QTimer::singleShot(quitAfterMs, &window, &QWidget::close);
}
