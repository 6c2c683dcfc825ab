// SPDX-License-Identifier: GPL-3.0-or-later
#include "controlserver.h"

#include "device_link/clock.h"
#include "device_link/devicestate.h"
#include "scheduler/nextswitch.h"
#include "session/operationjob.h"
#include "session/quilloncore.h"
#include "settings/settingsstore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <sys/stat.h>

#include <utility>

namespace {

constexpr int TickMs = 25;

// Ends a client's connection: gracefully lets what was written go out first.
void endConnection(QIODevice *socket, bool gracefully)
{
    if (auto *local = qobject_cast<QLocalSocket *>(socket))
        gracefully ? local->disconnectFromServer() : local->abort();
    else if (auto *network = qobject_cast<QTcpSocket *>(socket))
        gracefully ? network->disconnectFromHost() : network->abort();
    else
        socket->close();
}

} // namespace

// One client: its socket, what it has sent that is not yet a whole line,
// and what it may do.
class ControlSession : public QObject
{
public:
    ControlSession(ControlServer &server, QIODevice *socket, bool tcp)
        : QObject(&server)
        , socket(socket)
        , tcp(tcp)
        , m_server(server)
    {
        socket->setParent(this);
        connect(socket, &QIODevice::readyRead, this, &ControlSession::read);
        if (auto *local = qobject_cast<QLocalSocket *>(socket))
            connect(local, &QLocalSocket::disconnected, this, &ControlSession::gone);
        else if (auto *network = qobject_cast<QTcpSocket *>(socket))
            connect(network, &QTcpSocket::disconnected, this, &ControlSession::gone);
        else
            connect(socket, &QIODevice::aboutToClose, this, &ControlSession::gone);
    }

    // Drops a client that does not read what it is sent.
    void send(const QByteArray &line)
    {
        if (m_closed)
            return;
        socket->write(line);
        if (socket->bytesToWrite() > ControlServer::MaxUnread) {
            emit m_server.notice(
                QStringLiteral("control: a client that did not read its events was dropped"));
            closeNow();
        }
    }

    // The last answer still goes out; the session ends once the socket has
    // closed, or after a while when the client does not take it.
    void closeAfterWrite()
    {
        if (std::exchange(m_closed, true))
            return;
        QTimer::singleShot(5000, this, &ControlSession::closeNow);
        endConnection(socket, true);
    }

    void closeNow()
    {
        m_closed = true;
        endConnection(socket, false);
        gone();
    }

    bool closed() const { return m_closed; }
    QString peer() const
    {
        if (auto *network = qobject_cast<QTcpSocket *>(socket))
            return network->peerAddress().toString() + QLatin1Char(':')
                   + QString::number(network->peerPort());
        return QStringLiteral("the local socket");
    }

    QIODevice *socket;
    const bool tcp;
    bool authorised = false;
    bool subscribed = false;
    int queued = 0;

private:
    void read()
    {
        m_input += socket->readAll();
        handleSome();
    }

    // A few lines at a time: a client that sends hundreds at once must not
    // hold up the link's clock, whose ticks pace a download's steps (the
    // device takes a pause after ALD as the end of the load). The rest waits
    // for a timer, so the link's timer, already due, comes first; a posted
    // call would be run before any timer.
    void handleSome()
    {
        constexpr int LinesAtOnce = 8;
        QPointer<ControlSession> alive(this);
        qsizetype end;
        for (int handled = 0; alive && !m_closed && (end = m_input.indexOf('\n')) >= 0; ++handled) {
            if (handled == LinesAtOnce) {
                QTimer::singleShot(1, this, &ControlSession::handleSome);
                return;
            }
            QByteArray line = m_input.left(end);
            m_input.remove(0, end + 1);
            if (line.endsWith('\r'))
                line.chop(1);
            m_server.handle(this, line);
        }
        if (alive && !m_closed && m_input.size() > ControlProtocol::MaxLine) {
            send(ControlProtocol::failure(
                QJsonValue(), 2,
                QStringLiteral("the request is longer than %1 bytes").arg(ControlProtocol::MaxLine)));
            closeAfterWrite();
        }
    }

    void gone()
    {
        if (std::exchange(m_gone, true))
            return;
        m_closed = true;
        m_server.dropped(this);
        deleteLater();
    }

    ControlServer &m_server;
    QByteArray m_input;
    bool m_closed = false;
    bool m_gone = false;
};

ControlServer::ControlServer(QuillonCore &core, Holder holder, QObject *parent)
    : QObject(parent)
    , m_core(core)
    , m_holder(std::move(holder))
{
    connectEvents();
}

ControlServer::~ControlServer()
{
    close();
}

QString ControlServer::socketPath(int port, const QString &device)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    const QString name = device.isEmpty()
                             ? QStringLiteral("control-com%1.sock").arg(port)
                             : QStringLiteral("control-%1.sock")
                                   .arg(QString::fromLatin1(
                                       QCryptographicHash::hash(device.toUtf8(), QCryptographicHash::Sha1)
                                           .toHex()
                                           .left(12)));
    return folder + QStringLiteral("/Quillon/") + name;
}

bool ControlServer::listenLocal(const QString &path, QString *problem)
{
    const auto fail = [problem](const QString &text) {
        if (problem)
            *problem = text;
        return false;
    };
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder) || ::chmod(QFile::encodeName(folder).constData(), 0700) != 0)
        return fail(QStringLiteral("cannot make the folder %1").arg(folder));
    if (QFileInfo::exists(path)) {
        // A socket that answers belongs to a process that serves it still.
        QLocalSocket probe;
        probe.connectToServer(path);
        if (probe.waitForConnected(200))
            return fail(QStringLiteral("%1 is served by another process").arg(path));
        QLocalServer::removeServer(path);
    }
    auto *server = new QLocalServer(this);
    // Clients that connect at once wait in the kernel's queue until the
    // event loop takes them.
    server->setListenBacklogSize(MaxClients);
    server->setMaxPendingConnections(MaxClients);
    if (!server->listen(path)) {
        const QString reason = server->errorString();
        delete server;
        return fail(QStringLiteral("cannot serve %1: %2").arg(path, reason));
    }
    ::chmod(QFile::encodeName(path).constData(), 0600);
    connect(server, &QLocalServer::newConnection, this, [this, server] {
        while (QLocalSocket *socket = server->nextPendingConnection())
            accept(socket, false);
    });
    delete std::exchange(m_local, server);
    m_localPath = path;
    return true;
}

bool ControlServer::listenTcp(const QString &address, const QString &token, QString *problem)
{
    const auto fail = [problem](const QString &text) {
        if (problem)
            *problem = text;
        return false;
    };
    if (token.isEmpty())
        return fail(QStringLiteral("ControlListen needs a ControlToken; the listener stays off"));
    QString host = QStringLiteral("127.0.0.1");
    QString portText = address.trimmed();
    if (const qsizetype colon = portText.lastIndexOf(QLatin1Char(':')); colon >= 0) {
        host = portText.left(colon);
        portText = portText.mid(colon + 1);
        if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
            host = host.mid(1, host.size() - 2);
    }
    bool ok = false;
    const int port = portText.toInt(&ok);
    QHostAddress hostAddress;
    if (!ok || port < 0 || port > 65535 || !hostAddress.setAddress(host))
        return fail(QStringLiteral("ControlListen \"%1\" is not ADDRESS:PORT").arg(address));
    auto *server = new QTcpServer(this);
    server->setListenBacklogSize(MaxClients);
    server->setMaxPendingConnections(MaxClients);
    if (!server->listen(hostAddress, static_cast<quint16>(port))) {
        const QString reason = server->errorString();
        delete server;
        return fail(QStringLiteral("cannot listen on %1: %2").arg(address, reason));
    }
    connect(server, &QTcpServer::newConnection, this, [this, server] {
        while (QTcpSocket *socket = server->nextPendingConnection())
            accept(socket, true);
    });
    delete std::exchange(m_tcp, server);
    m_token = token.toUtf8();
    emit clientsChanged();
    return true;
}

bool ControlServer::listenAsConfigured(const SettingsStore &settings, QString *problem)
{
    const QString address = settings.value(QStringLiteral("ControlListen")).trimmed();
    if (address.isEmpty())
        return true;
    return listenTcp(address, settings.value(QStringLiteral("ControlToken")), problem);
}

void ControlServer::close()
{
    for (ControlSession *session : std::as_const(m_sessions))
        session->closeNow();
    if (m_local) {
        delete std::exchange(m_local, nullptr);
        QLocalServer::removeServer(m_localPath);
        m_localPath.clear();
    }
    delete std::exchange(m_tcp, nullptr);
    emit clientsChanged();
}

QString ControlServer::tcpAddress() const
{
    if (!m_tcp)
        return {};
    return m_tcp->serverAddress().toString() + QLatin1Char(':') + QString::number(m_tcp->serverPort());
}

int ControlServer::tcpClientCount() const
{
    return static_cast<int>(std::count_if(m_sessions.cbegin(), m_sessions.cend(),
                                          [](const ControlSession *s) { return s->tcp; }));
}

void ControlServer::accept(QIODevice *socket, bool tcp)
{
    if (m_sessions.size() >= MaxClients) {
        socket->write(ControlProtocol::failure(QJsonValue(), 3, QStringLiteral("too many clients")));
        endConnection(socket, true);
        socket->deleteLater();
        return;
    }
    auto *session = new ControlSession(*this, socket, tcp);
    m_sessions.append(session);
    emit clientsChanged();
}

void ControlServer::dropped(ControlSession *session)
{
    m_sessions.removeOne(session);
    // Its operations that have not started are not sent: nobody waits for them.
    m_queue.removeIf([session](const Pending &p) { return p.session == session || !p.session; });
    emit clientsChanged();
}

void ControlServer::handle(ControlSession *session, const QByteArray &line)
{
    using Kind = ControlProtocol::Request::Kind;
    if (line.trimmed().isEmpty())
        return;
    const ControlProtocol::Parsed parsed = ControlProtocol::parse(line);
    if (session->tcp && !session->authorised) {
        if (!parsed.request || !parsed.request->token
            || !ControlProtocol::sameToken(parsed.request->token->toUtf8(), m_token)) {
            emit notice(QStringLiteral("control: refused %1: the first request did not carry the token")
                            .arg(session->peer()));
            session->send(
                ControlProtocol::failure(parsed.id, 2, QStringLiteral("refused: wrong or missing token")));
            session->closeAfterWrite();
            return;
        }
        session->authorised = true;
    }
    if (!parsed.request) {
        session->send(ControlProtocol::failure(parsed.id, 2, parsed.error));
        return;
    }
    const ControlProtocol::Request &request = *parsed.request;
    switch (request.kind) {
    case Kind::Hello:
        session->send(
            ControlProtocol::answer(request.id, {{QStringLiteral("protocol"), ControlProtocol::Version},
                                                 {QStringLiteral("program"), m_holder.program},
                                                 {QStringLiteral("line"), m_holder.lineName()}}));
        return;
    case Kind::Status:
        session->send(ControlProtocol::answer(request.id, status()));
        return;
    case Kind::Subscribe:
        session->subscribed = true;
        session->send(ControlProtocol::answer(request.id));
        return;
    case Kind::ScheduleReload:
        if (!m_holder.reloadSchedule) {
            session->send(
                ControlProtocol::failure(request.id, 2,
                                         QStringLiteral("only quillon-cli schedule run reloads its schedule; "
                                                        "the window keeps it in its editor")));
            return;
        }
        m_holder.reloadSchedule();
        session->send(ControlProtocol::answer(request.id));
        return;
    case Kind::Operation:
    case Kind::Diagnostic:
    case Kind::Command:
        enqueue(session, request);
        return;
    }
}

void ControlServer::enqueue(ControlSession *session, const ControlProtocol::Request &request)
{
    if (session->queued >= MaxQueuedPerClient) {
        session->send(ControlProtocol::failure(
            request.id, 3,
            QStringLiteral("%1 requests of this client wait already").arg(MaxQueuedPerClient)));
        return;
    }
    ++session->queued;
    m_queue.append({session, request, m_ticks});
    runNext();
}

bool ControlServer::lineBusy() const
{
    // A port that has just opened is woken up first (and may be opened
    // again meanwhile): what is queued waits for the wake-up.
    return m_job || m_core.link.comInitEnabled() || m_core.download.running()
           || m_core.link.awaitingLogoStream() || m_core.link.holding();
}

void ControlServer::runNext()
{
    while (!m_queue.isEmpty() && !lineBusy()) {
        Pending next = m_queue.takeFirst();
        if (!next.session || next.session->closed())
            continue;
        ControlSession *session = next.session;
        --session->queued;
        const ControlProtocol::Request &request = next.request;
        if (!m_core.link.portOpen()) {
            session->send(ControlProtocol::failure(
                request.id, 3, QStringLiteral("the line %1 is not open").arg(m_holder.lineName())));
            continue;
        }
        if (request.kind == ControlProtocol::Request::Kind::Diagnostic) {
            m_core.ops.sendDiagnostic(request.diagnostic, request.diagnosticValue);
            session->send(ControlProtocol::answer(request.id));
            continue;
        }
        if (request.kind == ControlProtocol::Request::Kind::Command) {
            m_core.link.sendCommand(request.diagnostic, request.argument);
            session->send(ControlProtocol::answer(request.id));
            continue;
        }
        OperationRequest operation = request.operation;
        if (const QString problem = OperationJob::fileProblem(operation); !problem.isEmpty()) {
            session->send(ControlProtocol::failure(request.id, 5, problem));
            continue;
        }
        auto *job = new OperationJob(
            m_core, operation, m_holder.lineName(),
            [this] {
                const QString problem = m_core.link.portProblem();
                return problem.isEmpty() ? QStringLiteral("the line %1 was lost").arg(m_holder.lineName())
                                         : QStringLiteral("could not reach ") + problem;
            },
            this);
        auto out = std::make_shared<QString>();
        auto warnings = std::make_shared<QJsonArray>();
        connect(job, &OperationJob::output, this, [out](const QString &text) { *out += text; });
        connect(job, &OperationJob::warning, this,
                [warnings](const QString &text) { warnings->append(text); });
        const QPointer<ControlSession> client = session;
        const QJsonValue id = request.id;
        connect(job, &OperationJob::finished, this, [=, this](int code, const QString &message) {
            if (client) {
                if (message.isEmpty() && code == OperationExit::Ok) {
                    QJsonObject fields;
                    if (!out->isEmpty())
                        fields.insert(QStringLiteral("out"), *out);
                    if (!warnings->isEmpty())
                        fields.insert(QStringLiteral("warnings"), *warnings);
                    client->send(ControlProtocol::answer(id, fields));
                } else {
                    QByteArray line = ControlProtocol::failure(id, code, message);
                    if (!warnings->isEmpty()) {
                        QJsonObject o = QJsonDocument::fromJson(line).object();
                        o.insert(QStringLiteral("warnings"), *warnings);
                        line = QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
                    }
                    client->send(line);
                }
            }
            if (m_job == job)
                m_job = nullptr;
            job->deleteLater();
            QTimer::singleShot(0, this, &ControlServer::runNext);
        });
        m_job = job;
        job->start();
    }
}

void ControlServer::expire()
{
    ++m_ticks;
    const qint64 limit = QueueWaitMs / TickMs;
    for (qsizetype i = 0; i < m_queue.size();) {
        Pending &p = m_queue[i];
        if (m_ticks - p.queuedAt < limit) {
            ++i;
            continue;
        }
        if (p.session) {
            --p.session->queued;
            p.session->send(ControlProtocol::failure(
                p.request.id, 3,
                QStringLiteral("the line was busy for %1 s; the request was not sent")
                    .arg(QueueWaitMs / 1000)));
        }
        m_queue.removeAt(i);
    }
}

QJsonObject ControlServer::status() const
{
    const auto &logo = m_core.logoState;
    int slot = 0;
    for (size_t i = 1; i < logo.slotChosen.size(); ++i)
        if (logo.slotChosen[i]) {
            slot = static_cast<int>(i);
            break;
        }
    QJsonObject schedule{{QStringLiteral("on"), m_core.scheduleState.on},
                         {QStringLiteral("running"), m_core.scheduleState.runningShown}};
    // The week ahead is searched at most once a second, however many ask.
    const QDateTime now = m_core.clock.now();
    if (!m_nextAsked.isValid() || now.toSecsSinceEpoch() != m_nextAsked.toSecsSinceEpoch()) {
        m_nextAsked = now;
        const auto next
            = m_core.scheduleState.on ? NextSwitch::find(m_core.scheduleState.schedule, now) : std::nullopt;
        m_nextText = next ? QJsonValue(next->text(now)) : QJsonValue();
    }
    schedule.insert(QStringLiteral("next"), m_nextText);
    return {
        {QStringLiteral("protocol"), ControlProtocol::Version},
        {QStringLiteral("program"), m_holder.program},
        {QStringLiteral("line"), m_holder.lineName()},
        {QStringLiteral("link"),
         QJsonObject{{QStringLiteral("open"), m_core.link.portOpen()},
                     {QStringLiteral("answering"), m_core.deviceState.portIndicator == Indicator::Green}}},
        {QStringLiteral("model"), m_core.deviceState.modelNumber},
        {QStringLiteral("slot"), slot},
        {QStringLiteral("take"), m_core.panelState.takeOn},
        {QStringLiteral("settings"), m_lastSettings.isEmpty() ? QJsonValue() : QJsonValue(m_lastSettings)},
        {QStringLiteral("busy"), lineBusy()},
        {QStringLiteral("queued"), static_cast<int>(m_queue.size())},
        {QStringLiteral("schedule"), schedule},
    };
}

void ControlServer::broadcast(const QByteArray &line)
{
    const QList<ControlSession *> sessions = m_sessions;
    for (ControlSession *session : sessions)
        if (session->subscribed && !session->closed())
            session->send(line);
}

void ControlServer::connectEvents()
{
    QuillonCore &c = m_core;
    connect(&c.link, &DeviceLink::ticked, this, [this] {
        expire();
        runNext();
    });
    connect(&c.link, &DeviceLink::replyReceived, this,
            [this](const QByteArray &reply) { m_lastReply = reply; });
    connect(&c.link, &DeviceLink::settingsReceived, this, [this](const Protocol::SettingsReply &reply) {
        QJsonObject settings
            = QJsonDocument::fromJson(
                  OperationJob::statusJson(reply, m_core.deviceState.modelNumber, {}).toUtf8())
                  .object();
        settings.remove(QStringLiteral("port"));
        // The reply itself, for a window that follows the line through here.
        settings.insert(QStringLiteral("reply"),
                        QString::fromLatin1(Protocol::alignReply(m_lastReply).toHex()));
        if (settings == m_lastSettings)
            return;
        m_lastSettings = settings;
        broadcast(
            ControlProtocol::event(QStringLiteral("settings"), {{QStringLiteral("settings"), settings}}));
    });
    connect(&c.link, &DeviceLink::takeChanged, this, [this](bool on) {
        if (std::exchange(m_lastTake, on ? 1 : 0) == (on ? 1 : 0))
            return;
        broadcast(ControlProtocol::event(QStringLiteral("take"), {{QStringLiteral("on"), on}}));
    });
    connect(&c.deviceState, &DeviceState::changed, this, [this] {
        const bool open = m_core.link.portOpen();
        const bool answering = open && m_core.deviceState.portIndicator == Indicator::Green;
        const int state = open ? (answering ? 2 : 1) : 0;
        if (std::exchange(m_lastLink, state) == state)
            return;
        broadcast(ControlProtocol::event(QStringLiteral("link"), {{QStringLiteral("open"), open},
                                                                  {QStringLiteral("answering"), answering}}));
    });
    connect(&c.reporter, &Reporter::changed, this, [this] {
        const Reporter &r = m_core.reporter;
        if (r.progressVisible()) {
            const int value = std::clamp(r.progressValue(), 0, 100);
            if (std::exchange(m_lastProgress, value) != value)
                broadcast(ControlProtocol::event(
                    QStringLiteral("progress"),
                    {{QStringLiteral("value"), value}, {QStringLiteral("status"), r.uploadStatus()}}));
        } else if (std::exchange(m_lastProgress, -1) >= 0) {
            broadcast(ControlProtocol::event(QStringLiteral("transfer-end"),
                                             {{QStringLiteral("status"), r.uploadStatus()}}));
        }
    });
    connect(&c.reporter, &Reporter::errorReported, this,
            [this](const QString &message, const QString &title) {
                broadcast(
                    ControlProtocol::event(QStringLiteral("report"), {{QStringLiteral("title"), title},
                                                                      {QStringLiteral("message"), message}}));
            });
    connect(&c.runner, &ScheduleRunner::asRunPosted, this, [this](const QString &line) {
        broadcast(ControlProtocol::event(QStringLiteral("as-run"), {{QStringLiteral("line"), line}}));
    });
}
