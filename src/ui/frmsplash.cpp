#include "frmsplash.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

FrmSplash::FrmSplash(Role role, QWidget *parent)
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
    version->setAlignment(Qt::AlignCenter);
    layout->addWidget(version);
    auto *description = new QLabel(QStringLiteral("Control program for video logo generators on an RS-232 line:\n"
                                                  "logos, keying, on-air TAKE and the weekly schedule."),
                                   this);
    description->setAlignment(Qt::AlignCenter);
    layout->addWidget(description);

    if (role == Role::About) {
        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        layout->addWidget(buttons);
    } else {
        setWindowFlag(Qt::FramelessWindowHint);
        setStyleSheet(QStringLiteral("FrmSplash { border: 2px solid palette(highlight); }"));
        QTimer::singleShot(2500, this, &QDialog::accept);
    }
}

void FrmSplash::mousePressEvent(QMouseEvent *event)
{
    if (m_role == Role::Startup)
        accept();
    QDialog::mousePressEvent(event);
}
