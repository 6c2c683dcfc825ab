// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/frmsplash.h"
#include "gui/manuallauncher.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace Qt::StringLiterals;

// The about window's links and the finding of the printed manual.
class TestInfoWindows : public QObject
{
    Q_OBJECT

    static void putManual(const QString &folder)
    {
        QFile file(QDir(folder).filePath(ManualLauncher::fileName()));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("%PDF-1.4\n");
    }

private slots:
    void initTestCase() { QApplication::setApplicationVersion(QStringLiteral("4.0.0")); }

    // The about window links to the page and writes to the maintainers,
    // each only when set (by default from the build settings); the start-up
    // splash has no links and no system information.
    void aboutWindowLinks()
    {
        const auto text = [](const FrmSplash &window, const char *name) {
            const auto *label = window.findChild<QLabel *>(QLatin1String(name));
            return label ? label->text() : u"(none)"_s;
        };
        const QString page = u"https://example.org/quillon"_s;
        const FrmSplash about(FrmSplash::Role::About, {page, u"team@example.org"_s}, nullptr);
        QVERIFY(text(about, "lblHomepage").contains(u"href=\"https://example.org/quillon\""_s));
        QVERIFY(
            text(about, "lblMail").contains(u"href=\"mailto:team@example.org?subject=Quillon%204.0.0\""_s));
        QVERIFY(text(about, "lblSystemInfo").contains(QLatin1String(qVersion())));
        QVERIFY(text(about, "lblSystemInfo").contains(QSysInfo::currentCpuArchitecture()));
        const FrmSplash pageOnly(FrmSplash::Role::About, {page, QString()}, nullptr);
        QVERIFY(text(pageOnly, "lblHomepage").contains(u"href"_s));
        QCOMPARE(text(pageOnly, "lblMail"), u"(none)"_s);
        const FrmSplash neither(FrmSplash::Role::About, {}, nullptr);
        QCOMPARE(text(neither, "lblHomepage") + text(neither, "lblMail"), u"(none)(none)"_s);
        const FrmSplash splash(FrmSplash::Role::Startup, {page, QString()}, nullptr);
        QCOMPARE(text(splash, "lblHomepage") + text(splash, "lblSystemInfo"), u"(none)(none)"_s);
        QCOMPARE(FrmSplash::builtInLinks().homepage, QStringLiteral(EXPECTED_HOMEPAGE));
        QCOMPARE(FrmSplash::builtInLinks().email, QStringLiteral(EXPECTED_EMAIL));
    }

    // The manual is looked for in the program's folder first; opening it
    // says what went wrong.
    void manual()
    {
        QTemporaryDir program;
        QTemporaryDir docs;
        const QStringList folders{program.path(), docs.path()};
        QList<QUrl> opened;
        const auto viewer = [&opened](bool works) {
            return [&opened, works](const QUrl &url) {
                opened << url;
                return works;
            };
        };
        QCOMPARE(ManualLauncher::find(folders), QString());
        const QString missing = ManualLauncher::open({program.path()}, viewer(true));
        QVERIFY(missing.contains(ManualLauncher::fileName()) && missing.contains(program.path()));
        QVERIFY(opened.isEmpty());
        putManual(docs.path());
        QCOMPARE(ManualLauncher::find(folders), QDir(docs.path()).filePath(ManualLauncher::fileName()));
        putManual(program.path());
        const QString inProgram = QDir(program.path()).filePath(ManualLauncher::fileName());
        QCOMPARE(ManualLauncher::find(folders), inProgram);
        QCOMPARE(ManualLauncher::searchFolders().constFirst(), QApplication::applicationDirPath());

        QCOMPARE(ManualLauncher::open({program.path()}, viewer(true)), QString());
        QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(inProgram)});
        QVERIFY(!ManualLauncher::open({program.path()}, viewer(false)).isEmpty());
    }
};

QUILLON_TEST_MAIN(TestInfoWindows)
#include "tst_infowindows.moc"
