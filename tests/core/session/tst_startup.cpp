// SPDX-License-Identifier: GPL-3.0-or-later
#include "bitmapmaker.h"
#include "corefixture.h"

#include "device_link/portlocator.h"

#include <QFile>

#include <QTest>

using namespace Qt::StringLiterals;

// Start-up from the settings store: defaults, odd stored values, the command
// line, port discovery (and the devices behind the port numbers) and the
// first opening of the port.
class TestStartup : public QObject
{
    Q_OBJECT

    // What start-up made of the store, as name=value words; checked= lists
    // the ticked model entries, file1 says whether slot 1 has a file.
    static QStringList fields(const QuillonCore &core)
    {
        const MenuOptions &m = core.startup.menuOptions();
        QStringList checked;
        for (int index : DeviceState::ModelIndexes)
            if (core.deviceState.modelChosen[static_cast<size_t>(index)])
                checked << QString::number(index);
        return QString::asprintf(
                   "model=%d checked=%s file1=%d slot=%d comPort=%d standard=%d intensity=%d mix=%d fade=%d "
                   "timeOn=%d timeInt=%d showInt=%d showMix=%d showFade=%d locked=%d scheduleOn=%d "
                   "scheduleLocked=%d diagTools=%d showReply=%d nodeMenu=%d factoryReset=%d "
                   "deviceMenus=%d",
                   core.deviceState.modelNumber, qPrintable(checked.join(u',')),
                   !core.logoState.slotFile[1].isEmpty(), core.logoState.currentSlot,
                   core.deviceState.comPort, core.panelState.standard, core.panelState.intensity,
                   core.panelState.mix, core.panelState.fade, core.panelState.timeOn, core.panelState.timeInt,
                   core.panelState.showInt, core.panelState.showMix, core.panelState.showFade,
                   core.panelState.locked, core.scheduleState.on, core.scheduleState.locked, m.diagTools,
                   m.showReply, m.nodeMenu, m.factoryReset, core.deviceState.transfersEnabled)
            .split(u' ');
    }

private slots:
    // What start-up makes of an empty store, and of one stored value each:
    // the model ("auto" and models that do not exist mean one logo, 0 loads
    // no stored bitmap), flags, sliders out of range or not numbers, values
    // that are refused. Loading keeps the value labels at their design text,
    // sends nothing and writes no setting that was not there.
    void storedValues_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("expected"); // some of fields()
        const auto row = [](const char *key, const char *stored, const char *expected) {
            QTest::newRow(qPrintable(u"%1=%2"_s.arg(QLatin1String(key), QLatin1String(stored))))
                << QString::fromLatin1(key) << QString::fromLatin1(stored) << QString::fromLatin1(expected);
        };
        row("", "",
            "model=4 checked=4 file1=0 slot=1 comPort=0 standard=0 intensity=99 mix=99 fade=100 timeOn=100 "
            "timeInt=100 showInt=1 showMix=0 showFade=0 locked=0 scheduleOn=0 scheduleLocked=0 diagTools=0 "
            "showReply=0 nodeMenu=0 factoryReset=0 deviceMenus=0");
        row("QX_Model", "0", "model=1 checked=0 file1=1");
        row("QX_Model", "", "model=1 checked=0");
        row("QX_Model", " 15 ", "model=15 checked=15");
        row("QX_Model", "7x", "model=7 checked=7");
        row("QX_Model", "5", "model=0 checked= file1=0");
        row("QX_Model", "4.5", "model=0 checked= file1=0");
        row("PanelLock", "no", "locked=1");
        row("ShowInt", "yes", "showInt=0");
        row("ShowFade", " TRUE ", "showFade=1");
        row("Locked", "false", "scheduleLocked=0");
        row("ScheduleOn", "True", "scheduleOn=1");
        row("DiagTools", "True", "diagTools=1");
        row("ShowReply", "true", "showReply=1");
        row("Slider-INT", " 40 ", "intensity=40");
        row("Slider-MIX", "12.5", "mix=12");
        row("Slider-FADE", "abc", "fade=99"); // not a number: the design value
        row("TimeOn", "256", "timeOn=100");   // out of range: as Form_Load left it
        row("TimeInt", "4", "timeInt=4");
        row("LogoSelect", "40", "slot=1");
        row("ComPort", "COM3", "comPort=0");
        row("NTSC_PAL", "7", "standard=0");
    }
    void storedValues()
    {
        QFETCH(QString, key);
        QFETCH(QString, stored);
        QFETCH(QString, expected);
        CoreFixture f;
        if (!key.isEmpty()) {
            f.setSetting(u"BMPpath1"_s, u"/tmp/logo1.bmp"_s);
            f.setSetting(key, stored);
        }
        QuillonCore &core = f.start();
        const QStringList got = fields(core);
        for (const QString &field : expected.split(u' '))
            QVERIFY2(got.contains(field), qPrintable(got.join(u' ')));
        QCOMPARE(f.setting(key.isEmpty() ? u"Slider-FADE"_s : key), key.isEmpty() ? u"<missing>"_s : stored);
        QCOMPARE(core.panelState.fadeText + u' ' + core.reporter.diagReply(), u"000 No Reply"_s);
        // Putting the stored values back sends nothing: the line wakes later.
        QVERIFY(f.port.opened.isEmpty() && f.port.writes.isEmpty());
    }

    void skipComForms()
    {
        QList<int> skipped;
        for (const char *line : {"", "skipcom 2", "SKIPCOM", "SKIPCOMx", "SKIPCOM12", "-v xSkipCom3"})
            skipped << Startup::skipPortFromCommandLine(
                QString::fromLatin1(line).split(u' ', Qt::SkipEmptyParts));
        QCOMPARE(skipped, (QList<int>{-1, 2, -1, 0, 1, 3}));
    }

    // Twelve entries after the skipped port (the window shows them: tst_frmquillon4).
    void discoveryListsTwelveAfterTheSkipped()
    {
        CoreFixture f;
        for (int n = 1; n <= 14; ++n)
            f.port.present.insert(n * 2);
        f.start({u"SKIPCOM"_s, u"2"_s});
        const auto &ports = f.core->deviceState.ports;
        QCOMPARE((QStringList{ports[1].caption, ports[1].path, ports[12].tag}),
                 (QStringList{u"COM&4"_s, u"/dev/fake4"_s, u"26"_s}));
    }

    // The stored port is opened and ticked, nothing sent; choosing another
    // puts the old and the new line to sleep. (A busy port: tst_headless.)
    void storedPortThenAChosenOne()
    {
        CoreFixture f;
        f.port.present = {1, 3};
        f.setSetting(u"ComPort"_s, u"3"_s);
        QuillonCore &core = f.start();
        QCOMPARE(f.port.opened, QList<int>{3});
        QVERIFY(f.port.writes.isEmpty() && core.deviceState.ports[2].checked
                && !core.deviceState.ports[3].visible);
        QVERIFY(core.deviceState.portText == u"3"_s && core.deviceState.portIndicator == Indicator::Cyan);
        core.link.choosePort(1);
        QCOMPARE(f.port.writes, (QList<QByteArray>{"SP", "SP"}));
        QCOMPARE(f.port.opened, (QList<int>{3, 1}));
        QVERIFY(core.deviceState.ports[1].checked && !core.deviceState.ports[2].checked);
        QCOMPARE(core.deviceState.portText, u"1"_s);
    }

    // (Reported once a streak: tst_linkcycles.)
    void missingStoredPortIsReported()
    {
        CoreFixture f;
        f.setSetting(u"ComPort"_s, u"9"_s);
        QuillonCore &core = f.start();
        QCOMPARE(core.reporter.panelTitle() + u": "_s + core.reporter.panelText(),
                 u"StartCom 02: Invalid Port Number - 9 Port not available for use as a device interface."_s);
        QCOMPARE(core.deviceState.portIndicator, Indicator::Red);
    }

    void badStoredValuesAreReportedTogether()
    {
        CoreFixture f;
        f.setSetting(u"LogoSelect"_s, u"40"_s);
        f.setSetting(u"ComPort"_s, u"COM3"_s);
        f.setSetting(u"NTSC_PAL"_s, u"7"_s);
        QCOMPARE(f.start().reporter.panelText().count(u"\r\n"_s), 2);
    }

    // Start-up reads the stored files quietly (the recent list stays as it
    // is, nothing is sent); after it the view, upload, writer and download
    // all follow the slot restored from "LogoSelect", not the last slot
    // whose file was read.
    void startUpFollowsTheRestoredSlot_data()
    {
        QTest::addColumn<QString>("logoSelect");
        QTest::addColumn<int>("slot");
        QTest::newRow("slot with a file") << u"3"_s << 3;
        QTest::newRow("slot without a file") << u"2"_s << 2;
        QTest::newRow("above the model's slots") << u"7"_s << 1;
    }
    void startUpFollowsTheRestoredSlot()
    {
        QFETCH(QString, logoSelect);
        QFETCH(int, slot);
        CoreFixture f;
        for (int n : {1, 3}) {
            const QString name = f.dir.filePath(u"logo%1.bmp"_s.arg(n));
            QFile file(name);
            QVERIFY(file.open(QIODevice::WriteOnly)
                    && file.write(BitmapMaker{.height = n == 1 ? 32 : 64}.bytes()) > 0);
            f.setSetting(u"BMPpath%1"_s.arg(n), name);
        }
        f.setSetting(u"LogoSelect"_s, logoSelect);
        const QuillonCore &core = f.start();
        QCOMPARE((QList<int>{core.logoState.currentSlot, core.logoState.selectedSlot,
                             core.logoState.logoHeight[1], core.logoState.logoHeight[3]}),
                 (QList<int>{slot, slot, 32, 64}));
        for (int n = 1; n <= 15; ++n)
            QCOMPARE(core.logoState.slotChosen[static_cast<size_t>(n)], n == slot);
        QCOMPARE(core.logoState.logos[3].toByteArray(), BitmapMaker().pixels());
        QVERIFY(core.logoState.recentFiles[0].isEmpty() && f.port.writes.isEmpty());
    }

    // Feature pairs from two lists, read in capitals; an entry without a
    // partner is dropped.
    void featureEnablesWalk()
    {
        CoreFixture f;
        f.setSetting(u"Enables_A"_s, u"node,7,DIAG,x"_s);
        f.setSetting(u"Enables_B"_s, u"1,0,1,"_s);
        QuillonCore &core = f.start();
        QVERIFY(core.startup.menuOptions().nodeMenu && !core.deviceState.modelOffered[7]);
        QVERIFY(core.deviceState.modelOffered[4] && core.startup.menuOptions().factoryReset);
    }

    // Port numbers to devices: the ports folder first, then the built-in map.
    void builtInMap()
    {
        QStringList paths;
        for (const int n : {1, 32, 33, 64, 65, 96, 97, 0})
            paths << PortLocator::builtInPath(n);
        QCOMPARE(paths, QStringLiteral(
                            "/dev/ttyS0 /dev/ttyS31 /dev/ttyUSB0 /dev/ttyUSB31 /dev/ttyACM0 /dev/ttyACM31  ")
                            .split(u' '));
    }

    void portsFolderComesFirst()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("device"));
        QVERIFY(QFile(target).open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(target, dir.filePath(QStringLiteral("com200"))));
        QVERIFY(QFile::link(target, dir.filePath(QStringLiteral("com1"))));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone")), dir.filePath(QStringLiteral("com7"))));
        const PortLocator locator(dir.path());
        // A dangling link (7) is no port.
        QCOMPARE((QStringList{locator.devicePath(200), locator.devicePath(1), locator.devicePath(7),
                              locator.devicePath(150), locator.devicePath(256)}),
                 (QStringList{target, target, QString(), QString(), QString()}));
    }

    // A USB adapter's lasting name: the by-id link that leads to its device,
    // also when the device is reached through a link of its own.
    void stableNameFromTheByIdFolder()
    {
        QTemporaryDir dir;
        const QString device = dir.filePath(QStringLiteral("ttyUSB3"));
        QFile(device).open(QIODevice::WriteOnly);
        QDir(dir.path()).mkdir(QStringLiteral("by-id"));
        const QString byId = dir.filePath(QStringLiteral("by-id"));
        const QString stable = byId + QStringLiteral("/usb-FTDI_FT232R_A1B2C3-if00-port0");
        QVERIFY(QFile::link(QStringLiteral("../ttyUSB3"), stable));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone")), byId + QStringLiteral("/usb-dangling")));
        QVERIFY(QFile::link(device, dir.filePath(QStringLiteral("com5"))));
        QStringList names;
        for (const QString &path :
             {device, dir.filePath(QStringLiteral("com5")), byId, QStringLiteral("/dev/nothing-here")})
            names << PortLocator::stableName(path, byId);
        names << PortLocator::stableName(device, dir.filePath(QStringLiteral("no-folder")));
        QCOMPARE(names, (QStringList{stable, stable, QString(), QString(), QString()}));
    }
};

QUILLON_TEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
