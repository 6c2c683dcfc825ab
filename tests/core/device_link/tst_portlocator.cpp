// SPDX-License-Identifier: GPL-3.0-or-later
#include "device_link/portlocator.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// Port numbers to devices: the ports folder first, then the built-in map.
class TestPortLocator : public QObject
{
    Q_OBJECT

private slots:
    void builtInMap()
    {
        QCOMPARE(PortLocator::builtInPath(1), QStringLiteral("/dev/ttyS0"));
        QCOMPARE(PortLocator::builtInPath(32), QStringLiteral("/dev/ttyS31"));
        QCOMPARE(PortLocator::builtInPath(33), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(PortLocator::builtInPath(64), QStringLiteral("/dev/ttyUSB31"));
        QCOMPARE(PortLocator::builtInPath(65), QStringLiteral("/dev/ttyACM0"));
        QCOMPARE(PortLocator::builtInPath(96), QStringLiteral("/dev/ttyACM31"));
        QCOMPARE(PortLocator::builtInPath(97), QString());
        QCOMPARE(PortLocator::builtInPath(0), QString());
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
        QCOMPARE(locator.devicePath(200), target);
        QCOMPARE(locator.devicePath(1), target);
        QCOMPARE(locator.devicePath(7), QString()); // a dangling link is no port
        QCOMPARE(locator.devicePath(150), QString());
        QCOMPARE(locator.devicePath(256), QString());
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
        QCOMPARE(PortLocator::stableName(device, byId), stable);
        QCOMPARE(PortLocator::stableName(dir.filePath(QStringLiteral("com5")), byId), stable);
        QCOMPARE(PortLocator::stableName(dir.filePath(QStringLiteral("by-id")), byId), QString());
        QCOMPARE(PortLocator::stableName(QStringLiteral("/dev/nothing-here"), byId), QString());
        QCOMPARE(PortLocator::stableName(device, dir.filePath(QStringLiteral("no-folder"))), QString());
    }

    void defaultFolderFollowsXdgConfigHome()
    {
        qputenv("XDG_CONFIG_HOME", "/tmp/quillon-config-test");
        QCOMPARE(PortLocator::defaultPortsFolder(), QStringLiteral("/tmp/quillon-config-test/Quillon/ports"));
    }
};

QUILLON_TEST_GUILESS_MAIN(TestPortLocator)
#include "tst_portlocator.moc"
