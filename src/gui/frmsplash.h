// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

// The splash window shown at start-up, which also serves as the about window.
// The splash closes by itself after 2.5 seconds or on a click. The about
// window adds the system's information and the links to the project's page
// and to its maintainers; a link that the build did not set is not shown.
class FrmSplash : public QDialog
{
    Q_OBJECT

public:
    enum class Role { Startup, About };

    // Where users find the project, set once at build time
    // (QUILLON_HOMEPAGE_URL, QUILLON_MAINTAINER_EMAIL); empty when unset.
    struct Links {
        QString homepage;
        QString email;
    };
    static Links builtInLinks();

    // Operating system, kernel, Qt and processor, one item a line.
    static QString systemInformation();

    FrmSplash(Role role, QWidget *parent);
    FrmSplash(Role role, const Links &links, QWidget *parent);

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    void addAboutContent(const Links &links);

    Role m_role;
};
