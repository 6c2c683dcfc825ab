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

private slots:
    void emptyStore()
    {
        CoreFixture f;
        QuillonCore &core = f.start();
        const MainState &s = core.state;
        QCOMPARE(s.modelNumber, 4);
        QVERIFY(s.modelMenuChecked[4]);
        QVERIFY(!s.modelMenuChecked[0]);
        for (int i = 1; i <= 15; ++i)
            QCOMPARE(s.logoMenuVisible[static_cast<size_t>(i)], i <= 4);
        QCOMPARE(s.currentSlot, 1);
        QVERIFY(s.logoMenuChecked[1]);
        QCOMPARE(s.comPort, 0);
        QVERIFY(f.port.opened.isEmpty());
        QVERIFY(s.showInt);
        QVERIFY(!s.showMix);
        QVERIFY(!s.showFade);
        QVERIFY(!s.panel.locked);
        QVERIFY(!s.scheduleOn);
        QVERIFY(!s.scheduleLocked);
        QCOMPARE(s.panel.standard, 0);
        QCOMPARE(s.panel.intensity, 99);
        QCOMPARE(s.panel.mix, 99);
        QCOMPARE(s.panel.fade, 100);
        QCOMPARE(s.panel.timeOn, 100);
        QCOMPARE(s.panel.timeInt, 100);
        // Loading kept the value labels at their design text and sent nothing.
        QCOMPARE(s.panel.lblFade, u"000"_s);
        QVERIFY(!s.loading);
        const MenuOptions &menus = core.startup.menuOptions();
        QVERIFY(!menus.diagTools && !menus.nodeMenu && !menus.factoryReset && !menus.showReply);
        QVERIFY(!s.deviceMenusEnabled);
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
        QCOMPARE(core.state.modelNumber, model);
        for (int index : MainState::ModelIndexes)
            QCOMPARE(core.state.modelMenuChecked[static_cast<size_t>(index)], index == checked);
        // Model 0 loads no stored bitmap.
        QCOMPARE(core.state.slotFile[1].isEmpty(), model == 0);
    }

    // One stored value each, as start-up reads it: flags, sliders out of
    // range or not numbers, values that are refused.
    void storedValues_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("expected");
        const auto row = [](const char *key, const char *stored, const char *field, int expected) {
            QTest::newRow(qPrintable(u"%1=%2"_s.arg(QLatin1String(key), QLatin1String(stored))))
                << QString::fromLatin1(key) << QString::fromLatin1(stored) << QString::fromLatin1(field)
                << expected;
        };
        row("PanelLock", "no", "panel.locked", 1);
        row("ShowInt", "yes", "showInt", 0);
        row("ShowFade", " TRUE ", "showFade", 1);
        row("Locked", "false", "scheduleLocked", 0);
        row("ScheduleOn", "True", "scheduleOn", 1);
        row("DiagTools", "True", "menus.diagTools", 1);
        row("ShowReply", "true", "menus.showReply", 1);
        row("Slider-INT", " 40 ", "panel.intensity", 40);
        row("Slider-MIX", "12.5", "panel.mix", 12);
        row("Slider-FADE", "abc", "panel.fade", 99); // not a number: the design value
        row("TimeOn", "256", "panel.timeOn", 100);   // out of range: as Form_Load left it
        row("TimeInt", "4", "panel.timeInt", 4);
        row("LogoSelect", "40", "currentSlot", 1);
        row("ComPort", "COM3", "comPort", 0);
        row("NTSC_PAL", "7", "panel.standard", 0);
    }
    void storedValues()
    {
        QFETCH(QString, key);
        QFETCH(QString, stored);
        QFETCH(QString, field);
        QFETCH(int, expected);
        CoreFixture f;
        f.setSetting(key, stored);
        const QuillonCore &core = f.start();
        const MainState &s = core.state;
        const QMap<QString, int> fields{{u"panel.locked"_s, s.panel.locked},
                                        {u"showInt"_s, s.showInt},
                                        {u"showFade"_s, s.showFade},
                                        {u"scheduleLocked"_s, s.scheduleLocked},
                                        {u"scheduleOn"_s, s.scheduleOn},
                                        {u"menus.diagTools"_s, core.startup.menuOptions().diagTools},
                                        {u"menus.showReply"_s, core.startup.menuOptions().showReply},
                                        {u"panel.intensity"_s, s.panel.intensity},
                                        {u"panel.mix"_s, s.panel.mix},
                                        {u"panel.fade"_s, s.panel.fade},
                                        {u"panel.timeOn"_s, s.panel.timeOn},
                                        {u"panel.timeInt"_s, s.panel.timeInt},
                                        {u"currentSlot"_s, s.currentSlot},
                                        {u"comPort"_s, s.comPort},
                                        {u"panel.standard"_s, s.panel.standard}};
        QCOMPARE(fields.value(field, -999), expected);
        QVERIFY(!core.state.loading);
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
        const MainState &s = f.core->state;
        QCOMPARE(s.portMenu[1].caption, u"COM&1"_s);
        QCOMPARE(s.portMenu[2].caption, u"COM&3"_s);
        QCOMPARE(s.portMenu[3].caption, u"COM&7"_s);
        QCOMPARE(s.portMenu[3].path, u"/dev/fake7"_s);
        for (size_t i = 4; i <= 12; ++i)
            QVERIFY(!s.portMenu[i].visible);

        CoreFixture g;
        for (int n = 1; n <= 14; ++n)
            g.port.present.insert(n * 2);
        g.start({u"SKIPCOM"_s, u"2"_s});
        QCOMPARE(g.core->state.portMenu[1].tag, u"4"_s);
        QCOMPARE(g.core->state.portMenu[12].tag, u"26"_s);
    }

    void storedPortIsOpenedAndTicked()
    {
        CoreFixture f;
        f.port.present = {2, 5};
        f.setSetting(u"ComPort"_s, u"5"_s);
        f.start();
        QCOMPARE(f.port.openPort(), 5);
        QVERIFY(f.port.isOpen());
        QVERIFY(f.core->state.portMenu[2].checked);
        QCOMPARE(f.core->state.txtCom, u"5"_s);
        QCOMPARE(f.core->state.txtComColour, Indicator::Cyan);
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
        QCOMPARE(core.state.txtComColour, Indicator::Red);
        QVERIFY(!core.state.portReady);
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
        core.state.portMenu[2] = {true, false, u"COM&3"_s, u"3"_s, QString(), QString()};
        core.link.choosePort(2);
        const QString message = u"Port Already Open - Port in use - 3 can't be used as a device interface."_s;
        QCOMPARE(core.reporter.panelText(), message);
        QCOMPARE(core.state.txtComColour, Indicator::Red);
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
        QVERIFY(core.state.portMenu[2].checked);
        QVERIFY(!core.state.portMenu[1].checked);
        QCOMPARE(core.state.txtCom, u"3"_s);
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
        const MainState &s = f.start().state;
        QCOMPARE(s.currentSlot, slot);
        QCOMPARE(s.selectedSlotButton, slot);
        for (int n = 1; n <= 15; ++n)
            QCOMPARE(s.logoMenuChecked[static_cast<size_t>(n)], n == slot);
        QCOMPARE(s.logoHeight[1], 32);
        QCOMPARE(s.logoHeight[3], 64);
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
        QVERIFY(!core.state.modelMenuVisible[7]);
        QVERIFY(core.state.modelMenuVisible[4]);
        QVERIFY(core.startup.menuOptions().factoryReset);
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
