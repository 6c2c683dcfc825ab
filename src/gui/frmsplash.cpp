// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmsplash.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSysInfo>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>
#include <QVBoxLayout>

// Set by the build (CMake cache variables of the same names).
#ifndef QUILLON_HOMEPAGE_URL
#define QUILLON_HOMEPAGE_URL ""
#endif
#ifndef QUILLON_MAINTAINER_EMAIL
#define QUILLON_MAINTAINER_EMAIL ""
#endif

namespace {

QLabel *makeLinkLabel(const QString &name, const QString &caption, const QUrl &target, const QString &shown,
                      QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::RichText);
    label->setText(QStringLiteral("%1 <a href=\"%2\">%3</a>")
                       .arg(caption.toHtmlEscaped(), target.toString(QUrl::FullyEncoded).toHtmlEscaped(),
                            shown.toHtmlEscaped()));
    label->setTextInteractionFlags(Qt::TextBrowserInteraction);
    label->setOpenExternalLinks(true);
    label->setAlignment(Qt::AlignCenter);
    label->setToolTip(target.toString());
    return label;
}

} // namespace

FrmSplash::Links FrmSplash::builtInLinks()
{
    return {QStringLiteral(QUILLON_HOMEPAGE_URL).trimmed(),
            QStringLiteral(QUILLON_MAINTAINER_EMAIL).trimmed()};
}

QString FrmSplash::systemInformation()
{
    return QStringLiteral("Operating system: %1\nKernel: %2 %3\nQt: %4\nProcessor: %5")
        .arg(QSysInfo::prettyProductName(), QSysInfo::kernelType(), QSysInfo::kernelVersion(),
             QString::fromLatin1(qVersion()), QSysInfo::currentCpuArchitecture());
}

FrmSplash::FrmSplash(Role role, QWidget *parent)
    : FrmSplash(role, builtInLinks(), parent)
{
}

FrmSplash::FrmSplash(Role role, const Links &links, QWidget *parent)
    : QDialog(parent)
    , m_role(role)
{
    setObjectName(QStringLiteral("frmSplash"));
    setModal(true);
    setWindowTitle(role == Role::About ? QStringLiteral("About Quillon") : QStringLiteral("Quillon"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 18, 24, 18);
    auto *title = new QLabel(QStringLiteral("Quillon"), this);
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 2.2);
    big.setBold(true);
    title->setFont(big);
    title->setAlignment(Qt::AlignCenter);
    layout->addWidget(title);
    auto *version = new QLabel(QStringLiteral("Version %1").arg(QApplication::applicationVersion()), this);
    version->setObjectName(QStringLiteral("lblVersion"));
    version->setAlignment(Qt::AlignCenter);
    layout->addWidget(version);

    if (role == Role::About) {
        addAboutContent(links);
        return;
    }

    auto *description
        = new QLabel(QStringLiteral("Control program for video logo generators on an RS-232 line:\n"
                                    "logos, keying, on-air TAKE and the weekly schedule."),
                     this);
    description->setAlignment(Qt::AlignCenter);
    layout->addWidget(description);
    setWindowFlag(Qt::FramelessWindowHint);
    setStyleSheet(QStringLiteral("FrmSplash { border: 2px solid palette(highlight); }"));
    QTimer::singleShot(2500, this, &QDialog::accept);
}

void FrmSplash::addAboutContent(const Links &links)
{
    auto *layout = static_cast<QVBoxLayout *>(this->layout());
    // The window takes the size its wrapped text needs, and keeps it.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    auto *description = new QLabel(
        QStringLiteral(
            "Quillon controls video logo generators that share an RS-232 line. It loads monochrome "
            "logos into the generators' slots, sets fade, mix, intensity and position, switches the "
            "logo on and off air (TAKE), follows each generator's state, and runs a weekly schedule "
            "of TAKE sequences."),
        this);
    description->setObjectName(QStringLiteral("lblDescription"));
    description->setWordWrap(true);
    description->setFixedWidth(400);
    layout->addSpacing(6);
    layout->addWidget(description);

    auto *system = new QGroupBox(QStringLiteral("System Information"), this);
    auto *systemLayout = new QVBoxLayout(system);
    auto *info = new QLabel(systemInformation(), system);
    info->setObjectName(QStringLiteral("lblSystemInfo"));
    info->setTextFormat(Qt::PlainText);
    info->setTextInteractionFlags(Qt::TextSelectableByMouse);
    systemLayout->addWidget(info);
    auto *copy = new QPushButton(QStringLiteral("&Copy"), system);
    copy->setObjectName(QStringLiteral("cmdCopyInfo"));
    copy->setToolTip(
        QStringLiteral("Copy the version and the system information, for a message to the maintainers"));
    connect(copy, &QPushButton::clicked, this, [] {
        QApplication::clipboard()->setText(
            QStringLiteral("Quillon %1\n%2\n").arg(QApplication::applicationVersion(), systemInformation()));
    });
    systemLayout->addWidget(copy, 0, Qt::AlignRight);
    layout->addWidget(system);

    if (!links.homepage.isEmpty()) {
        layout->addWidget(makeLinkLabel(QStringLiteral("lblHomepage"), QStringLiteral("Project page:"),
                                        QUrl(links.homepage), links.homepage, this));
    }
    if (!links.email.isEmpty()) {
        QUrl mail;
        mail.setScheme(QStringLiteral("mailto"));
        mail.setPath(links.email);
        QUrlQuery query;
        query.addQueryItem(QStringLiteral("subject"),
                           QStringLiteral("Quillon %1").arg(QApplication::applicationVersion()));
        mail.setQuery(query);
        layout->addWidget(makeLinkLabel(
            QStringLiteral("lblMail"), QStringLiteral("Write to the maintainers:"), mail, links.email, this));
    }

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void FrmSplash::mousePressEvent(QMouseEvent *event)
{
    if (m_role == Role::Startup)
        accept();
    QDialog::mousePressEvent(event);
}
