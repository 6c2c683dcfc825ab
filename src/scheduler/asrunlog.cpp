#include "asrunlog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

QString AsRunLog::defaultFileName()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/Quillon/as-run.csv");
}

QString AsRunLog::line(const Entry &entry)
{
    const int offset = entry.time.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    const QString zone = QStringLiteral("%1%2:%3")
                             .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                             .arg(minutes / 60, 2, 10, QLatin1Char('0'))
                             .arg(minutes % 60, 2, 10, QLatin1Char('0'));
    return entry.time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) + zone + QLatin1Char(',')
           + QString::number(entry.sequence) + QLatin1Char(',') + QString::number(entry.logo)
           + QLatin1Char(',') + entry.command + QLatin1Char(',')
           + (entry.portOpen ? QStringLiteral("yes") : QStringLiteral("no"));
}

AsRunLog::AsRunLog(QString fileName)
    : m_fileName(std::move(fileName))
{
}

QString AsRunLog::append(const Entry &entry) const
{
    if (!QDir().mkpath(QFileInfo(m_fileName).absolutePath()))
        return QStringLiteral("cannot create the folder of %1").arg(m_fileName);
    // O_APPEND: every write lands at the end, whatever else has the file
    // open; nothing already in the file is ever touched.
    const QByteArray path = QFile::encodeName(m_fileName);
    const int fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return QStringLiteral("%1: %2").arg(m_fileName, QString::fromLocal8Bit(std::strerror(errno)));
    QByteArray bytes;
    if (::lseek(fd, 0, SEEK_END) == 0)
        bytes = header().toUtf8() + '\n';
    bytes += line(entry).toUtf8() + '\n';
    const ssize_t written = ::write(fd, bytes.constData(), static_cast<size_t>(bytes.size()));
    const int writeError = errno;
    const bool synced = ::fdatasync(fd) == 0;
    ::close(fd);
    if (written != bytes.size())
        return QStringLiteral("%1: %2").arg(m_fileName, QString::fromLocal8Bit(std::strerror(writeError)));
    if (!synced)
        return QStringLiteral("%1: not flushed to the disk").arg(m_fileName);
    return QString();
}
