// SPDX-License-Identifier: GPL-3.0-or-later
#include "bitmapmaker.h"
#include "corefixture.h"

#include <QFile>

#include <QTest>

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
        QCOMPARE(s.panel.lblOnTime, QStringLiteral("0:25:00"));
        QCOMPARE(s.panel.lblCycTime, QStringLiteral("0:50:00"));
        // Loading kept the value labels at their design text and sent nothing.
        QCOMPARE(s.panel.lblFade, QStringLiteral("000"));
        QVERIFY(!s.loading);
        QVERIFY(!s.diagMenuVisible);
        QVERIFY(!s.nodeMenuVisible);
        QVERIFY(!s.factoryResetVisible);
        QVERIFY(!s.deviceMenusEnabled);
        QCOMPARE(s.heightTwips, 5650);
        QCOMPARE(core.reporter.diagReply(), QStringLiteral("No Reply"));
        QVERIFY(!core.reporter.panelVisible());
        // Nothing at start-up writes a setting that was not there.
        QCOMPARE(f.setting(QStringLiteral("Slider-FADE")), QStringLiteral("<missing>"));
    }

    void modelValues_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("model");
        QTest::addColumn<int>("checked");
        QTest::newRow("auto") << QStringLiteral("0") << 1 << 0;
        QTest::newRow("empty") << QString() << 1 << 0;
        QTest::newRow("fifteen") << QStringLiteral(" 15 ") << 15 << 15;
        QTest::newRow("seven with text") << QStringLiteral("7x") << 7 << 7;
        QTest::newRow("five") << QStringLiteral("5") << 0 << -1;
        QTest::newRow("fraction") << QStringLiteral("4.5") << 0 << -1;
    }

    void modelValues()
    {
        QFETCH(QString, stored);
        QFETCH(int, model);
        QFETCH(int, checked);
        CoreFixture f;
        f.setSetting(QStringLiteral("QX_Model"), stored);
        f.setSetting(QStringLiteral("BMPpath1"), QStringLiteral("/tmp/logo1.bmp"));
        QuillonCore &core = f.start();
        QCOMPARE(core.state.modelNumber, model);
        for (int index : MainState::ModelIndexes)
            QCOMPARE(core.state.modelMenuChecked[static_cast<size_t>(index)], index == checked);
        // Model 0 loads no stored bitmap.
        QCOMPARE(core.state.slotFile[1].isEmpty(), model == 0);
    }

    void flagTestsOfStoredKeys()
    {
        CoreFixture f;
        f.setSetting(QStringLiteral("PanelLock"), QStringLiteral("no"));
        f.setSetting(QStringLiteral("ShowInt"), QStringLiteral("yes"));
        f.setSetting(QStringLiteral("ShowFade"), QStringLiteral(" TRUE "));
        f.setSetting(QStringLiteral("Locked"), QStringLiteral("false"));
        f.setSetting(QStringLiteral("DiagTools"), QStringLiteral("True"));
        f.setSetting(QStringLiteral("ShowReply"), QStringLiteral("true"));
        QuillonCore &core = f.start();
        QVERIFY(core.state.panel.locked);
        QVERIFY(!core.state.showInt);
        QVERIFY(core.state.showFade);
        QVERIFY(!core.state.scheduleLocked);
        QVERIFY(core.state.diagMenuVisible);
        QVERIFY(core.state.diagToolsChecked);
        QVERIFY(core.state.showDialogChecked);
        QCOMPARE(core.state.heightTwips, 6125);
    }

    void storedSliders()
    {
        CoreFixture f;
        f.setSetting(QStringLiteral("Slider-INT"), QStringLiteral(" 40 "));
        f.setSetting(QStringLiteral("Slider-MIX"), QStringLiteral("12.5"));
        f.setSetting(QStringLiteral("Slider-FADE"), QStringLiteral("abc"));
        f.setSetting(QStringLiteral("TimeOn"), QStringLiteral("256"));
        f.setSetting(QStringLiteral("TimeInt"), QStringLiteral("4"));
        QuillonCore &core = f.start();
        QCOMPARE(core.state.panel.intensity, 40);
        QCOMPARE(core.state.panel.mix, 12);
        QCOMPARE(core.state.panel.fade, 99);    // not a number: design value
        QCOMPARE(core.state.panel.timeOn, 100); // out of range: as Form_Load left it
        QCOMPARE(core.state.panel.timeInt, 4);
        QCOMPARE(core.state.panel.lblCycTime, QStringLiteral("0:26:00"));
        QCOMPARE(f.setting(QStringLiteral("Slider-FADE")), QStringLiteral("abc"));
    }

    void skipComForms()
    {
        QCOMPARE(Startup::skipPortFromCommandLine({}), -1);
        QCOMPARE(Startup::skipPortFromCommandLine({QStringLiteral("skipcom"), QStringLiteral("2")}), 2);
        QCOMPARE(Startup::skipPortFromCommandLine({QStringLiteral("SKIPCOM")}), -1);
        QCOMPARE(Startup::skipPortFromCommandLine({QStringLiteral("SKIPCOMx")}), 0);
        QCOMPARE(Startup::skipPortFromCommandLine({QStringLiteral("SKIPCOM12")}), 1);
        QCOMPARE(Startup::skipPortFromCommandLine({QStringLiteral("-v"), QStringLiteral("xSkipCom3")}), 3);
    }

    void discoveryListsTwelveAndSkips()
    {
        CoreFixture f;
        f.port.present = {1, 3, 7};
        f.start();
        const MainState &s = f.core->state;
        QCOMPARE(s.portMenu[1].caption, QStringLiteral("COM&1"));
        QCOMPARE(s.portMenu[2].caption, QStringLiteral("COM&3"));
        QCOMPARE(s.portMenu[3].caption, QStringLiteral("COM&7"));
        QCOMPARE(s.portMenu[3].path, QStringLiteral("/dev/fake7"));
        for (size_t i = 4; i <= 12; ++i)
            QVERIFY(!s.portMenu[i].visible);

        CoreFixture g;
        for (int n = 1; n <= 14; ++n)
            g.port.present.insert(n * 2);
        g.start({QStringLiteral("SKIPCOM"), QStringLiteral("2")});
        QCOMPARE(g.core->state.portMenu[1].tag, QStringLiteral("4"));
        QCOMPARE(g.core->state.portMenu[12].tag, QStringLiteral("26"));
    }

    void storedPortIsOpenedAndTicked()
    {
        CoreFixture f;
        f.port.present = {2, 5};
        f.setSetting(QStringLiteral("ComPort"), QStringLiteral("5"));
        f.start();
        QCOMPARE(f.port.openPort(), 5);
        QVERIFY(f.port.isOpen());
        QVERIFY(f.core->state.portMenu[2].checked);
        QCOMPARE(f.core->state.txtCom, QStringLiteral("5"));
        QCOMPARE(f.core->state.txtComColour, Indicator::Cyan);
        QVERIFY(f.port.writes.isEmpty());
    }

    void missingStoredPortIsReportedOnce()
    {
        CoreFixture f;
        f.setSetting(QStringLiteral("ComPort"), QStringLiteral("9"));
        QuillonCore &core = f.start();
        QCOMPARE(core.reporter.panelTitle(), QStringLiteral("StartCom 02"));
        QCOMPARE(core.reporter.panelText(),
                 QStringLiteral("Invalid Port Number - 9 Port not available for use as a device interface."));
        QCOMPARE(core.state.txtComColour, Indicator::Red);
        QVERIFY(!core.state.portReady);
        core.link.StartCom();
        QCOMPARE(core.reporter.panelText(),
                 QStringLiteral("Invalid Port Number - 9 Port not available for use as a device interface."));
    }

    void busyPortIsReportedOnceFromTheMenu()
    {
        CoreFixture f;
        f.port.present = {1, 3};
        f.port.failing.insert(3, SerialPort::InUse);
        QuillonCore &core = f.start();
        core.state.portMenu[2]
            = {true, false, QStringLiteral("COM&3"), QStringLiteral("3"), QString(), QString()};
        core.link.mnuCOMsel_Click(2);
        const QString message
            = QStringLiteral("Port Already Open - Port in use - 3 can't be used as a device interface.");
        QCOMPARE(core.reporter.panelText(), message);
        QCOMPARE(core.state.txtComColour, Indicator::Red);
        QCOMPARE(f.setting(QStringLiteral("ComPort")), QStringLiteral("3"));
        core.reporter.cmdErrOK_Click();
        core.link.mnuCOMsel_Click(2);
        QVERIFY(!core.reporter.panelVisible());
    }

    void choosingAPortSleepsOldAndNewLines()
    {
        CoreFixture f;
        f.port.present = {1, 3};
        f.setSetting(QStringLiteral("ComPort"), QStringLiteral("1"));
        QuillonCore &core = f.start();
        core.link.mnuCOMsel_Click(2);
        QCOMPARE(f.port.writes, (QList<QByteArray>{"SP", "SP"}));
        QCOMPARE(f.port.opened, (QList<int>{1, 3}));
        QVERIFY(core.state.portMenu[2].checked);
        QVERIFY(!core.state.portMenu[1].checked);
        QCOMPARE(core.state.txtCom, QStringLiteral("3"));
    }

    void badStoredValuesAreReportedAndStartUpFinishes()
    {
        CoreFixture f;
        f.setSetting(QStringLiteral("LogoSelect"), QStringLiteral("40"));
        f.setSetting(QStringLiteral("ComPort"), QStringLiteral("COM3"));
        f.setSetting(QStringLiteral("NTSC_PAL"), QStringLiteral("7"));
        QuillonCore &core = f.start();
        QVERIFY(!core.state.loading);
        QCOMPARE(core.state.currentSlot, 1);
        QCOMPARE(core.state.comPort, 0);
        QCOMPARE(core.state.panel.standard, 0);
        QCOMPARE(core.reporter.panelText().count(QStringLiteral("\r\n")), 2);
        // The stored texts stay as they were.
        QCOMPARE(f.setting(QStringLiteral("LogoSelect")), QStringLiteral("40"));
        QCOMPARE(f.setting(QStringLiteral("ComPort")), QStringLiteral("COM3"));
    }

    // After start-up the view, upload, writer and download all follow the
    // slot restored from "LogoSelect", not the last slot whose file was read.
    void startUpFollowsTheRestoredSlot_data()
    {
        QTest::addColumn<QString>("logoSelect");
        QTest::addColumn<int>("slot");
        QTest::newRow("slot with a file") << QStringLiteral("3") << 3;
        QTest::newRow("slot without a file") << QStringLiteral("2") << 2;
        QTest::newRow("above the model's slots") << QStringLiteral("7") << 1;
    }
    void startUpFollowsTheRestoredSlot()
    {
        QFETCH(QString, logoSelect);
        QFETCH(int, slot);
        CoreFixture f;
        for (int n : {1, 3}) {
            BitmapMaker bitmap;
            bitmap.height = n == 1 ? 32 : 64;
            const QString name = f.dir.filePath(QStringLiteral("logo%1.bmp").arg(n));
            QFile file(name);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bitmap.bytes()) > 0);
            f.setSetting(QStringLiteral("BMPpath%1").arg(n), name);
        }
        f.setSetting(QStringLiteral("LogoSelect"), logoSelect);
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
        QCOMPARE(Startup::featureEnables(QStringLiteral("NODE,7,"), QStringLiteral("1,0,")),
                 (Pairs{{QStringLiteral("NODE"), QStringLiteral("1")},
                        {QStringLiteral("7"), QStringLiteral("0")}}));
        QCOMPARE(Startup::featureEnables(QStringLiteral("diag,1,x"), QStringLiteral("1,")),
                 (Pairs{{QStringLiteral("DIAG"), QStringLiteral("1")}}));

        CoreFixture f;
        f.setSetting(QStringLiteral("Enables_A"), QStringLiteral("NODE,7,DIAG,"));
        f.setSetting(QStringLiteral("Enables_B"), QStringLiteral("1,0,1,"));
        QuillonCore &core = f.start();
        QVERIFY(core.state.nodeMenuVisible);
        QVERIFY(!core.state.modelMenuVisible[7]);
        QVERIFY(core.state.modelMenuVisible[4]);
        QVERIFY(core.state.factoryResetVisible);
        QVERIFY(core.state.setModelVisible);
    }
};

QUILLON_TEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
