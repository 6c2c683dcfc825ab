#pragma once

#include <QDialog>

// The splash window shown at start-up, which also serves as the about window.
class FrmSplash : public QDialog
{
    Q_OBJECT

public:
    enum class Role { Startup, About };

    FrmSplash(Role role, QWidget *parent);

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    Role m_role;
};
