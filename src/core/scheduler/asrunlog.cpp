// SPDX-License-Identifier: GPL-3.0-or-later
#include "asrunlog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {
QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// What a file that is not a regular file is, in words.
QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a named pipe");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    return QStringLiteral("not a regular file");
}

QString notRegular(const QString &fileName, mode_t mode)
{
    return QStringLiteral("%1 is %2, not a regular file; nothing is written to it")
        .arg(fileName, kindOf(mode));
}

// Opens the file without ever waiting on it (a named pipe with no reader
// would block an ordinary open) and makes sure it is a regular file.
int openRegular(const QString &fileName, int flags, QString &problem)
{
    const QByteArray path = QFile::encodeName(fileName);
    struct stat info { };
    if (::stat(path.constData(), &info) == 0 && !S_ISREG(info.st_mode)) {
        problem = notRegular(fileName, info.st_mode);
        return -1;
    }
    const int fd = ::open(path.constData(), flags | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) {
        problem = QStringLiteral("%1: %2").arg(fileName, errnoText(errno));
        return -1;
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        problem = notRegular(fileName, info.st_mode);
        ::close(fd);
        return -1;
    }
    return fd;
}
} // namespace

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
    QString problem;
    const int fd = openRegular(m_fileName, O_WRONLY | O_APPEND | O_CREAT, problem);
    if (fd < 0)
        return problem;
    QByteArray bytes;
    if (::lseek(fd, 0, SEEK_END) == 0)
        bytes = header().toUtf8() + '\n';
    bytes += line(entry).toUtf8() + '\n';
    const ssize_t written = ::write(fd, bytes.constData(), static_cast<size_t>(bytes.size()));
    const int writeError = errno;
    const bool synced = ::fdatasync(fd) == 0;
    ::close(fd);
    if (written != bytes.size())
        return QStringLiteral("%1: %2").arg(m_fileName, errnoText(writeError));
    if (!synced)
        return QStringLiteral("%1: not flushed to the disk").arg(m_fileName);
    return QString();
}

AsRunLog::Tail AsRunLog::readTail(qint64 maxBytes) const
{
    Tail tail;
    const QByteArray path = QFile::encodeName(m_fileName);
    struct stat info { };
    tail.exists = ::stat(path.constData(), &info) == 0 || errno != ENOENT;
    if (!tail.exists)
        return tail;
    const int fd = openRegular(m_fileName, O_RDONLY, tail.problem);
    if (fd < 0)
        return tail;
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        tail.problem = QStringLiteral("%1: %2").arg(m_fileName, file.errorString());
        ::close(fd);
        return tail;
    }
    if (file.size() > maxBytes)
        file.seek(file.size() - maxBytes);
    tail.text = QString::fromUtf8(file.readAll());
    return tail;
}

// ---------------------------------------------------------------------------

struct AsRunWriter::Queue {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<AsRunLog::Entry> entries;
    bool writing = false;
    bool stop = false;
    bool finished = false;
    QObject *owner = nullptr; // where outcomes go; cleared when it is gone
};

AsRunWriter::AsRunWriter(AsRunLog log, QObject *parent)
    : QObject(parent)
    , m_log(std::move(log))
    , m_queue(std::make_shared<Queue>())
{
    m_queue->owner = this;
    m_thread = std::thread([queue = m_queue, log = m_log] {
        std::unique_lock lock(queue->mutex);
        for (;;) {
            queue->changed.wait(lock, [&] { return queue->stop || !queue->entries.empty(); });
            if (queue->entries.empty())
                break;
            const AsRunLog::Entry entry = queue->entries.front();
            queue->entries.pop_front();
            queue->writing = true;
            lock.unlock();
            const QString failure = log.append(entry);
            lock.lock();
            queue->writing = false;
            if (queue->owner) {
                auto *owner = static_cast<AsRunWriter *>(queue->owner);
                QMetaObject::invokeMethod(
                    owner, [owner, failure] { emit owner->written(failure); }, Qt::QueuedConnection);
            }
            queue->changed.notify_all();
        }
        queue->finished = true;
        queue->changed.notify_all();
    });
}

AsRunWriter::~AsRunWriter()
{
    constexpr auto Patience = std::chrono::seconds(2);
    std::unique_lock lock(m_queue->mutex);
    m_queue->owner = nullptr;
    m_queue->stop = true;
    m_queue->changed.notify_all();
    if (m_queue->changed.wait_for(lock, Patience, [this] { return m_queue->finished; })) {
        lock.unlock();
        m_thread.join();
    } else {
        // Stuck in the file system: it holds its own share of the queue.
        lock.unlock();
        m_thread.detach();
    }
}

void AsRunWriter::post(const AsRunLog::Entry &entry)
{
    const std::lock_guard lock(m_queue->mutex);
    m_queue->entries.push_back(entry);
    m_queue->changed.notify_all();
}

bool AsRunWriter::waitUntilWritten(int timeoutMs) const
{
    std::unique_lock lock(m_queue->mutex);
    return m_queue->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                     [this] { return m_queue->entries.empty() && !m_queue->writing; });
}
