// SPDX-License-Identifier: GPL-3.0-or-later
#include "windowshots.h"

#include "device_link/clock.h"
#include "device_link/serialport.h"
#include "gui/frmquillon4.h"
#include "gui/frmschedule.h"
#include "gui/frmsplash.h"
#include "settings/settingsstore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <array>

namespace {

// A serial line with no port behind any number.
class OfflinePort final : public SerialPort
{
public:
    OpenResult open(int) override { return {NotValid, QString()}; }
    void close() override { }
    bool isOpen() const override { return false; }
    bool probe(int) override { return false; }
    QString devicePath(int) const override { return QString(); }
    qint64 bytesWaiting() const override { return 0; }
    QByteArray readWaiting(qint64) override { return QByteArray(); }
    QString write(const QByteArray &) override { return QStringLiteral("no port"); }
    void setReceiveThreshold(int) override { }
    void discardInput() override { }
    void discardAll() override { }
};

// A Monday morning, so the pictures are the same at every build.
class FixedClock final : public Clock
{
public:
    QDateTime now() const override { return QDateTime(QDate(2024, 3, 4), QTime(8, 0, 5)); }
};

constexpr int Sequences = 20;

// One schedule list: the given items for the first sequences, the filler
// for the rest, each item followed by a comma.
QString scheduleList(std::initializer_list<int> items, int filler)
{
    QString text;
    int count = 0;
    for (int item : items) {
        text += QString::number(item) + QLatin1Char(',');
        ++count;
    }
    for (; count < Sequences; ++count)
        text += QString::number(filler) + QLatin1Char(',');
    return text;
}

void settle(int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    do {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    } while (timer.elapsed() < milliseconds);
}

QImage grabWindow(QWidget &window, int settleMs)
{
    window.show();
    settle(settleMs);
    if (QWidget *focus = QApplication::focusWidget())
        focus->clearFocus();
    settle(20);
    return window.grab().toImage();
}

} // namespace

QHash<QString, QImage> WindowShots::take(const QString &demoLogo, QString *error)
{
    QTemporaryDir folder;
    if (!folder.isValid()) {
        *error = QStringLiteral("cannot make a temporary folder: %1").arg(folder.errorString());
        return {};
    }
    if (!QFileInfo(demoLogo).isReadable()) {
        *error = QStringLiteral("cannot read the demo logo %1").arg(demoLogo);
        return {};
    }
    // Whatever looks for the user's configuration finds the temporary folder.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder.path()));

    SettingsStore settings(folder.filePath(QStringLiteral("Quillon.conf")));
    const std::initializer_list<std::pair<const char *, QString>> values{
        {"QX_Model", QStringLiteral("4")},
        {"LogoSelect", QStringLiteral("1")},
        {"BMPpath1", QFileInfo(demoLogo).absoluteFilePath()},
        {"FileSelect1", QFileInfo(demoLogo).absoluteFilePath()},
        {"ShowReply", QStringLiteral("True")},
        {"DiagTools", QStringLiteral("True")},
        {"ShowInt", QStringLiteral("True")},
        {"ShowMix", QStringLiteral("True")},
        {"ShowFade", QStringLiteral("False")},
        {"Slider-FADE", QStringLiteral("80")},
        {"Slider-MIX", QStringLiteral("75")},
        {"Slider-INT", QStringLiteral("90")},
        {"TimeOn", QStringLiteral("8")},
        {"TimeInt", QStringLiteral("16")},
        {"NTSC_PAL", QStringLiteral("0")},
        {"Locked", QStringLiteral("False")},
        {"PanelLock", QStringLiteral("False")},
        {"AutoScan", QStringLiteral("0")},
        // Weekdays every ten minutes in the morning and every hour in the
        // evening; at weekends a sequence at noon that a second one overlaps.
        {"S_Start", scheduleList({1920, 4320, 2880, 3000}, -1)},
        {"S_End", scheduleList({2400, 5280, 3360, 3040}, 0)},
        {"S_ON", scheduleList({4, 20, 8, 4}, 0)},
        {"S_OFF", scheduleList({40, 240, 120, 480}, 0)},
        {"S_Logo", scheduleList({1, 2, 3, 4}, 0)},
        {"S_Days", scheduleList({62, 62, 65, 64}, 0)},
    };
    for (const auto &[key, value] : values)
        settings.setValue(QString::fromLatin1(key), value);

    OfflinePort port;
    FixedClock clock;
    FrmQuillon4 window(settings, port, clock, {{}, false, false});
    QuillonCore &core = window.core();
    core.slotControl.chooseModel(4);
    core.panel.setFade(80);
    core.panel.setMix(75);
    core.panel.setIntensity(90);
    core.panel.setPositionText(true, QStringLiteral("88"));
    core.panel.enterPosition(true);
    core.panel.setPositionText(false, QStringLiteral("6"));
    core.panel.enterPosition(false);
    core.reporter.setCurrentTime(QStringLiteral("8:00:05"));
    window.sync();

    QHash<QString, QImage> shots;
    shots.insert(QStringLiteral("mainwindow.png"), grabWindow(window, 200));
    {
        FrmSchedule editor(core, clock, &window);
        shots.insert(QStringLiteral("schedule.png"), grabWindow(editor, 700));
    }
    {
        FrmSplash about(FrmSplash::Role::About, &window);
        shots.insert(QStringLiteral("about.png"), grabWindow(about, 100));
    }
    window.close();
    for (auto it = shots.cbegin(); it != shots.cend(); ++it) {
        if (it.value().isNull()) {
            *error = QStringLiteral("could not render %1").arg(it.key());
            return {};
        }
    }
    return shots;
}
