// SPDX-License-Identifier: GPL-3.0-or-later
#include "bitmapmaker.h"
#include "corefixture.h"

#include <QFile>

#include <QTest>

using namespace Qt::StringLiterals;

// Start-up from the settings store: defaults, odd stored values, the command
// line, port discovery and the first opening of the port.
class TestStartup : public QObject
{
    Q_OBJECT

    // What start-up made of the store, as name=value words.
    static QStringList fields(const QuillonCore &core)
    {
        const MenuOptions &m = core.startup.menuOptions();
        return QString::asprintf(
                   "model=%d slot=%d comPort=%d standard=%d intensity=%d mix=%d fade=%d timeOn=%d "
                   "timeInt=%d showInt=%d showMix=%d showFade=%d locked=%d scheduleOn=%d "
                   "scheduleLocked=%d diagTools=%d showReply=%d nodeMenu=%d factoryReset=%d "
                   "deviceMenus=%d",
                   core.deviceState.modelNumber, core.logoState.currentSlot, core.deviceState.comPort,
                   core.panelState.standard, core.panelState.intensity, core.panelState.mix,
                   core.panelState.fade, core.panelState.timeOn, core.panelState.timeInt,
                   core.panelState.showInt, core.panelState.showMix, core.panelState.showFade,
                   core.panelState.locked, core.scheduleState.on, core.scheduleState.locked, m.diagTools,
                   m.showReply, m.nodeMenu, m.factoryReset, core.deviceState.transfersEnabled)
            .split(u' ');
    }

private slots:
    void emptyStore()
    {
        CoreFixture f;
        QuillonCore &core = f.start();
        QCOMPARE(fields(core).join(u' '),
                 u"model=4 slot=1 comPort=0 standard=0 intensity=99 mix=99 fade=100 timeOn=100 timeInt=100 "
                 "showInt=1 showMix=0 showFade=0 locked=0 scheduleOn=0 scheduleLocked=0 diagTools=0 "
                 "showReply=0 nodeMenu=0 factoryReset=0 deviceMenus=0"_s);
        QVERIFY(core.deviceState.modelChosen[4] && !core.deviceState.modelChosen[0]
                && core.logoState.slotChosen[1]);
        for (int i = 1; i <= 15; ++i)
            QCOMPARE(core.logoState.slotOffered[static_cast<size_t>(i)], i <= 4);
        QVERIFY(f.port.opened.isEmpty());
        // Loading kept the value labels at their design text and sent nothing.
        QCOMPARE(core.panelState.fadeText, u"000"_s);
        QCOMPARE(core.reporter.diagReply(), u"No Reply"_s);
        QVERIFY(!core.reporter.panelVisible());
        // Nothing at start-up writes a setting that was not there.
        QCOMPARE(f.setting(u"Slider-FADE"_s), u"<missing>"_s);
    }

    void modelValues_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("model");
        QTest::addColumn<int>("checked");
        QTest::newRow("auto") << u"0"_s << 1 << 0;
        QTest::newRow("empty") << QString() << 1 << 0;
        QTest::newRow("fifteen") << u" 15 "_s << 15 << 15;
        QTest::newRow("seven with text") << u"7x"_s << 7 << 7;
        QTest::newRow("five") << u"5"_s << 0 << -1;
        QTest::newRow("fraction") << u"4.5"_s << 0 << -1;
    }

    void modelValues()
    {
        QFETCH(QString, stored);
        QFETCH(int, model);
        QFETCH(int, checked);
        CoreFixture f;
        f.setSetting(u"QX_Model"_s, stored);
        f.setSetting(u"BMPpath1"_s, u"/tmp/logo1.bmp"_s);
        QuillonCore &core = f.start();
        QCOMPARE(core.deviceState.modelNumber, model);
        for (int index : DeviceState::ModelIndexes)
            QCOMPARE(core.deviceState.modelChosen[static_cast<size_t>(index)], index == checked);
        // Model 0 loads no stored bitmap.
        QCOMPARE(core.logoState.slotFile[1].isEmpty(), model == 0);
    }

    // One stored value each, as start-up reads it: flags, sliders out of
    // range or not numbers, values that are refused.
    void storedValues_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("expected"); // one of fields()
        const auto row = [](const char *key, const char *stored, const char *expected) {
            QTest::newRow(qPrintable(u"%1=%2"_s.arg(QLatin1String(key), QLatin1String(stored))))
                << QString::fromLatin1(key) << QString::fromLatin1(stored) << QString::fromLatin1(expected);
        };
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
        f.setSetting(key, stored);
        const QStringList got = fields(f.start());
        QVERIFY2(got.contains(expected), qPrintable(got.join(u' ')));
        // Putting the stored values back sends nothing: the line wakes later.
        QCOMPARE(f.port.writes, QList<QByteArray>());
        // Start-up leaves the stored text as it was.
        QCOMPARE(f.setting(key), stored);
    }

    void skipComForms()
    {
        QCOMPARE(Startup::skipPortFromCommandLine({}), -1);
        QCOMPARE(Startup::skipPortFromCommandLine({u"skipcom"_s, u"2"_s}), 2);
        QCOMPARE(Startup::skipPortFromCommandLine({u"SKIPCOM"_s}), -1);
        QCOMPARE(Startup::skipPortFromCommandLine({u"SKIPCOMx"_s}), 0);
        QCOMPARE(Startup::skipPortFromCommandLine({u"SKIPCOM12"_s}), 1);
        QCOMPARE(Startup::skipPortFromCommandLine({u"-v"_s, u"xSkipCom3"_s}), 3);
    }

    void discoveryListsTwelveAndSkips()
    {
        CoreFixture f;
        f.port.present = {1, 3, 7};
        f.start();
        QCOMPARE((QStringList{f.core->deviceState.ports[1].caption, f.core->deviceState.ports[2].caption,
                              f.core->deviceState.ports[3].caption}),
                 (QStringList{u"COM&1"_s, u"COM&3"_s, u"COM&7"_s}));
        QCOMPARE(f.core->deviceState.ports[3].path, u"/dev/fake7"_s);
        for (size_t i = 4; i <= 12; ++i)
            QVERIFY(!f.core->deviceState.ports[i].visible);

        CoreFixture g;
        for (int n = 1; n <= 14; ++n)
            g.port.present.insert(n * 2);
        g.start({u"SKIPCOM"_s, u"2"_s});
        QCOMPARE(g.core->deviceState.ports[1].tag, u"4"_s);
        QCOMPARE(g.core->deviceState.ports[12].tag, u"26"_s);
    }

    void storedPortIsOpenedAndTicked()
    {
        CoreFixture f;
        f.port.present = {2, 5};
        f.setSetting(u"ComPort"_s, u"5"_s);
        f.start();
        QCOMPARE(f.port.openPort(), 5);
        QVERIFY(f.port.isOpen());
        QVERIFY(f.core->deviceState.ports[2].checked);
        QCOMPARE(f.core->deviceState.portText, u"5"_s);
        QCOMPARE(f.core->deviceState.portIndicator, Indicator::Cyan);
        QVERIFY(f.port.writes.isEmpty());
    }

    void missingStoredPortIsReportedOnce()
    {
        CoreFixture f;
        f.setSetting(u"ComPort"_s, u"9"_s);
        QuillonCore &core = f.start();
        QCOMPARE(core.reporter.panelTitle(), u"StartCom 02"_s);
        QCOMPARE(core.reporter.panelText(),
                 u"Invalid Port Number - 9 Port not available for use as a device interface."_s);
        QCOMPARE(core.deviceState.portIndicator, Indicator::Red);
        QVERIFY(!core.deviceState.portReady);
        core.link.openPort();
        QCOMPARE(core.reporter.panelText(),
                 u"Invalid Port Number - 9 Port not available for use as a device interface."_s);
    }

    void busyPortIsReportedOnceFromTheMenu()
    {
        CoreFixture f;
        f.port.present = {1, 3};
        f.port.failing.insert(3, SerialPort::InUse);
        QuillonCore &core = f.start();
        core.deviceState.ports[2] = {true, false, u"COM&3"_s, u"3"_s, QString(), QString()};
        core.link.choosePort(2);
        const QString message = u"Port Already Open - Port in use - 3 can't be used as a device interface."_s;
        QCOMPARE(core.reporter.panelText(), message);
        QCOMPARE(core.deviceState.portIndicator, Indicator::Red);
        QCOMPARE(f.setting(u"ComPort"_s), u"3"_s);
        core.reporter.closePanel();
        core.link.choosePort(2);
        QVERIFY(!core.reporter.panelVisible());
    }

    void choosingAPortSleepsOldAndNewLines()
    {
        CoreFixture f;
        f.port.present = {1, 3};
        f.setSetting(u"ComPort"_s, u"1"_s);
        QuillonCore &core = f.start();
        core.link.choosePort(2);
        QCOMPARE(f.port.writes, (QList<QByteArray>{"SP", "SP"}));
        QCOMPARE(f.port.opened, (QList<int>{1, 3}));
        QVERIFY(core.deviceState.ports[2].checked);
        QVERIFY(!core.deviceState.ports[1].checked);
        QCOMPARE(core.deviceState.portText, u"3"_s);
    }

    void badStoredValuesAreReportedTogether()
    {
        CoreFixture f;
        f.setSetting(u"LogoSelect"_s, u"40"_s);
        f.setSetting(u"ComPort"_s, u"COM3"_s);
        f.setSetting(u"NTSC_PAL"_s, u"7"_s);
        QCOMPARE(f.start().reporter.panelText().count(u"\r\n"_s), 2);
    }

    // After start-up the view, upload, writer and download all follow the
    // slot restored from "LogoSelect", not the last slot whose file was read.
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
            BitmapMaker bitmap;
            bitmap.height = n == 1 ? 32 : 64;
            const QString name = f.dir.filePath(u"logo%1.bmp"_s.arg(n));
            QFile file(name);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bitmap.bytes()) > 0);
            f.setSetting(u"BMPpath%1"_s.arg(n), name);
        }
        f.setSetting(u"LogoSelect"_s, logoSelect);
        const QuillonCore &core = f.start();
        QCOMPARE(core.logoState.currentSlot, slot);
        QCOMPARE(core.logoState.selectedSlot, slot);
        for (int n = 1; n <= 15; ++n)
            QCOMPARE(core.logoState.slotChosen[static_cast<size_t>(n)], n == slot);
        QCOMPARE(core.logoState.logoHeight[1], 32);
        QCOMPARE(core.logoState.logoHeight[3], 64);
    }

    void featureEnablesWalk()
    {
        using Pairs = QList<QPair<QString, QString>>;
        QCOMPARE(Startup::featureEnables(u"NODE,7,"_s, u"1,0,"_s),
                 (Pairs{{u"NODE"_s, u"1"_s}, {u"7"_s, u"0"_s}}));
        QCOMPARE(Startup::featureEnables(u"diag,1,x"_s, u"1,"_s), (Pairs{{u"DIAG"_s, u"1"_s}}));

        CoreFixture f;
        f.setSetting(u"Enables_A"_s, u"NODE,7,DIAG,"_s);
        f.setSetting(u"Enables_B"_s, u"1,0,1,"_s);
        QuillonCore &core = f.start();
        QVERIFY(core.startup.menuOptions().nodeMenu);
        QVERIFY(!core.deviceState.modelOffered[7]);
        QVERIFY(core.deviceState.modelOffered[4]);
        QVERIFY(core.startup.menuOptions().factoryReset);
    }
};

QUILLON_TEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
