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

// The about window's links and the finding of the printed manual.
class TestInfoWindows : public QObject
{
    Q_OBJECT

    static QString labelText(const QWidget &window, const QString &name)
    {
        const auto *label = window.findChild<QLabel *>(name);
        return label ? label->text() : QString();
    }

    static void putManual(const QString &folder)
    {
        QFile file(QDir(folder).filePath(ManualLauncher::fileName()));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("%PDF-1.4\n");
    }

private slots:
    void initTestCase() { QApplication::setApplicationVersion(QStringLiteral("4.0.0")); }

    void aboutLinksToThePageAndWritesToTheMaintainers()
    {
        const FrmSplash::Links links{QStringLiteral("https://example.org/quillon"),
                                     QStringLiteral("team@example.org")};
        const FrmSplash about(FrmSplash::Role::About, links, nullptr);
        QVERIFY(labelText(about, QStringLiteral("lblHomepage"))
                    .contains(QLatin1String("href=\"https://example.org/quillon\"")));
        QVERIFY(labelText(about, QStringLiteral("lblMail"))
                    .contains(QLatin1String("href=\"mailto:team@example.org?subject=Quillon%204.0.0\"")));
        const QString info = labelText(about, QStringLiteral("lblSystemInfo"));
        QVERIFY(info.contains(QLatin1String(qVersion())));
        QVERIFY(info.contains(QSysInfo::currentCpuArchitecture()));
    }

    void aboutLeavesOutTheLinksThatAreNotSet()
    {
        const FrmSplash neither(FrmSplash::Role::About, {}, nullptr);
        QVERIFY(!neither.findChild<QLabel *>(QStringLiteral("lblHomepage")));
        QVERIFY(!neither.findChild<QLabel *>(QStringLiteral("lblMail")));
        const FrmSplash::Links pageLink{QStringLiteral("https://example.org"), QString()};
        const FrmSplash pageOnly(FrmSplash::Role::About, pageLink, nullptr);
        QVERIFY(pageOnly.findChild<QLabel *>(QStringLiteral("lblHomepage")));
        QVERIFY(!pageOnly.findChild<QLabel *>(QStringLiteral("lblMail")));
        const FrmSplash splash(FrmSplash::Role::Startup, pageLink, nullptr);
        QVERIFY(!splash.findChild<QLabel *>(QStringLiteral("lblHomepage")));
        QVERIFY(!splash.findChild<QLabel *>(QStringLiteral("lblSystemInfo")));
    }

    void linksComeFromTheBuildSettings()
    {
        QCOMPARE(FrmSplash::builtInLinks().homepage, QStringLiteral(EXPECTED_HOMEPAGE));
        QCOMPARE(FrmSplash::builtInLinks().email, QStringLiteral(EXPECTED_EMAIL));
    }

    void manualIsFoundInTheProgramFolderFirst()
    {
        QTemporaryDir program;
        QTemporaryDir docs;
        const QStringList folders{program.path(), docs.path()};
        QCOMPARE(ManualLauncher::find(folders), QString());
        putManual(docs.path());
        QCOMPARE(ManualLauncher::find(folders), QDir(docs.path()).filePath(ManualLauncher::fileName()));
        putManual(program.path());
        QCOMPARE(ManualLauncher::find(folders), QDir(program.path()).filePath(ManualLauncher::fileName()));
        QCOMPARE(ManualLauncher::searchFolders().constFirst(), QApplication::applicationDirPath());
    }

    void openingTheManualSaysWhatWentWrong()
    {
        QTemporaryDir program;
        QList<QUrl> opened;
        const auto viewer = [&opened](bool works) {
            return [&opened, works](const QUrl &url) {
                opened << url;
                return works;
            };
        };
        const QString missing = ManualLauncher::open({program.path()}, viewer(true));
        QVERIFY(missing.contains(ManualLauncher::fileName()));
        QVERIFY(missing.contains(program.path()));
        QVERIFY(opened.isEmpty());

        putManual(program.path());
        const QUrl manual = QUrl::fromLocalFile(QDir(program.path()).filePath(ManualLauncher::fileName()));
        QCOMPARE(ManualLauncher::open({program.path()}, viewer(true)), QString());
        QCOMPARE(opened, QList<QUrl>{manual});
        QVERIFY(!ManualLauncher::open({program.path()}, viewer(false)).isEmpty());
    }
};

QUILLON_TEST_MAIN(TestInfoWindows)
#include "tst_infowindows.moc"
