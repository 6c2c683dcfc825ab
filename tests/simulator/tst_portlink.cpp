#include "simulator/portlink.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

class TestPortLink : public QObject
{
    Q_OBJECT
private slots:
    void placesAndReplacesAtomically();
    void removesOnlyItsOwnLink();
};

void TestPortLink::placesAndReplacesAtomically()
{
    QTemporaryDir root;
    const QString directory = root.filePath(QStringLiteral("a/ports"));
    PortLink link(directory, 7);
    QCOMPARE(link.path(), directory + QStringLiteral("/com7"));

    QString error;
    QVERIFY2(link.place(QStringLiteral("/dev/pts/41"), &error), qPrintable(error));
    QVERIFY(link.place(QStringLiteral("/dev/pts/42"), &error));
    QCOMPARE(QFile::symLinkTarget(link.path()), QStringLiteral("/dev/pts/42"));
    QCOMPARE(QDir(directory).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
        QStringList { QStringLiteral("com7") });
}

void TestPortLink::removesOnlyItsOwnLink()
{
    QTemporaryDir root;
    PortLink mine(root.path(), 3);
    QString error;
    QVERIFY(mine.place(QStringLiteral("/dev/pts/50"), &error));
    mine.remove();
    QVERIFY(!QFileInfo(mine.path()).isSymLink());

    // Someone else took the port meanwhile: their link stays.
    QVERIFY(mine.place(QStringLiteral("/dev/pts/50"), &error));
    PortLink theirs(root.path(), 3);
    QVERIFY(theirs.place(QStringLiteral("/dev/pts/51"), &error));
    mine.remove();
    QCOMPARE(QFile::symLinkTarget(mine.path()), QStringLiteral("/dev/pts/51"));
}

QTEST_GUILESS_MAIN(TestPortLink)
#include "tst_portlink.moc"
