// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/frmsplash.h"
#include "gui/manuallauncher.h"

#include <QApplication>
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
        const auto put = [](const QTemporaryDir &folder) { // returns where
            QFile file(folder.filePath(ManualLauncher::fileName()));
            return file.open(QIODevice::WriteOnly) && file.write("%PDF-1.4\n") > 0 ? file.fileName()
                                                                                   : QString();
        };
        QList<QUrl> opened;
        bool works = true;
        const auto viewer = [&](const QUrl &url) {
            opened << url;
            return works;
        };
        QCOMPARE(ManualLauncher::find(folders), QString());
        const QString missing = ManualLauncher::open({program.path()}, viewer);
        QVERIFY(missing.contains(ManualLauncher::fileName()) && missing.contains(program.path()));
        QVERIFY(opened.isEmpty());
        QCOMPARE(ManualLauncher::find(folders), put(docs));
        const QString inProgram = put(program);
        QCOMPARE(ManualLauncher::find(folders), inProgram);
        QCOMPARE(ManualLauncher::searchFolders().constFirst(), QApplication::applicationDirPath());
        QCOMPARE(ManualLauncher::open({program.path()}, viewer), QString());
        QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(inProgram)});
        works = false;
        QVERIFY(!ManualLauncher::open({program.path()}, viewer).isEmpty());
    }
};

QUILLON_TEST_MAIN(TestInfoWindows)
#include "tst_infowindows.moc"
