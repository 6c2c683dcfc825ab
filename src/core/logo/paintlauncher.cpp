// SPDX-License-Identifier: GPL-3.0-or-later
#include "paintlauncher.h"

#include "device_link/devicestate.h"
#include "logo/logostate.h"
#include "reporting/reporter.h"

#include <QProcess>

PaintLauncher::PaintLauncher(DeviceState &deviceState, LogoState &logoState, Reporter &reporter)
    : m_deviceState(deviceState)
    , m_logoState(logoState)
    , m_reporter(reporter)
    , m_starter([](const QString &program, const QStringList &arguments) {
        return QProcess::startDetached(program, arguments);
    })
{
}

QStringList PaintLauncher::candidates()
{
    QStringList programs;
    const QString chosen = qEnvironmentVariable("QUILLON_PAINT").trimmed();
    if (!chosen.isEmpty())
        programs << chosen;
    programs << QStringLiteral("kolourpaint") << QStringLiteral("pinta") << QStringLiteral("gimp")
             << QStringLiteral("xdg-open");
    return programs;
}

QString PaintLauncher::editInPaint()
{
    m_reporter.setUploadStatus(QString());
    QString path;
    for (int i = 1; i <= std::min(m_deviceState.modelNumber, LogoState::MaxSlots); ++i) {
        if (m_logoState.slotChosen[static_cast<size_t>(i)]) {
            path = m_logoState.slotFile[static_cast<size_t>(i)];
            break;
        }
    }
    const QStringList arguments = path.isEmpty() ? QStringList() : QStringList{path};
    for (const QString &program : candidates()) {
        if (m_starter(program, arguments))
            return program;
    }
    m_reporter.ReportError(QStringLiteral("No image editor could be started (tried %1).")
                               .arg(candidates().join(QStringLiteral(", "))),
                           QStringLiteral("mnuPaintBrush_Click"));
    return QString();
}
