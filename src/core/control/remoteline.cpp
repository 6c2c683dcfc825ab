// SPDX-License-Identifier: GPL-3.0-or-later
#include "remoteline.h"

#include "control/controlserver.h"
#include "device_link/devicestate.h"
#include "session/quilloncore.h"

#include <QFileInfo>
#include <QJsonDocument>

namespace {

// Asked at every reopen while the port is in use: a holder that does not
// answer at once is not waited for long.
constexpr int AttachMs = 300;

} // namespace

RemoteLine::RemoteLine(QuillonCore &core, QObject *parent)
    : QObject(parent)
    , m_core(core)
{
}

RemoteLine::~RemoteLine()
{
    // The socket, a member, outlives the rest of this object: it must not
    // call back into it while it closes, and the core must not forward here.
    m_socket.disconnect(this);
    if (m_core.link.forwarding()) {
        m_core.link.forwardTo({});
        m_core.ops.forwardTo({});
    }
}

// A request answered before attach() returns; an empty object when none came.
QJsonObject RemoteLine::call(const QJsonObject &request)
{
    QJsonObject r = request;
    const int id = m_nextId++;
    r.insert(QStringLiteral("id"), id);
    m_socket.write(QJsonDocument(r).toJson(QJsonDocument::Compact) + '\n');
    for (;;) {
        const qsizetype end = m_input.indexOf('\n');
        if (end >= 0) {
            QJsonObject o = QJsonDocument::fromJson(m_input.left(end)).object();
            m_input.remove(0, end + 1);
            if (o.value(u"id").toInt(-1) == id)
                return o;
            continue; // an event before the answer: the status that follows tells it
        }
        if (!m_socket.waitForReadyRead(AttachMs))
            return {};
        m_input += m_socket.readAll();
    }
}

bool RemoteLine::attach(int port)
{
    if (attached() && port == m_port)
        return true;
    detach();
    if (port <= 0)
        return false;
    const QString path = ControlServer::socketPath(port);
    if (!QFileInfo::exists(path))
        return false;
    m_socket.connectToServer(path);
    if (!m_socket.waitForConnected(AttachMs)) {
        m_socket.abort();
        return false;
    }
    m_input.clear();
    const QJsonObject hello = call({{QStringLiteral("op"), QStringLiteral("hello")}});
    const QJsonObject subscribed = call({{QStringLiteral("op"), QStringLiteral("subscribe")}});
    const QJsonObject status = call({{QStringLiteral("op"), QStringLiteral("status")}});
    if (!hello.value(u"ok").toBool() || !subscribed.value(u"ok").toBool() || !status.value(u"ok").toBool()) {
        m_socket.abort();
        return false;
    }
    m_port = port;
    m_holder = hello.value(u"program").toString() + QStringLiteral(" on ") + hello.value(u"line").toString();
    connect(&m_socket, &QLocalSocket::readyRead, this, &RemoteLine::read, Qt::UniqueConnection);
    connect(&m_socket, &QLocalSocket::disconnected, this, [this] { release(true); });
    connect(&m_core.link, &DeviceLink::forwardingEnded, this, &RemoteLine::detach, Qt::UniqueConnection);

    m_core.link.forwardTo([this](int command, const QByteArray &argument) {
        request({{QStringLiteral("op"), QStringLiteral("command")},
                 {QStringLiteral("command"), command},
                 {QStringLiteral("argument"), QString::fromLatin1(argument.toHex())}});
    });
    m_core.ops.forwardTo([this](const QJsonObject &r, const DeviceOperations::Answered &done) {
        QJsonObject request = r;
        if (request.value(u"op").toString() == QLatin1String("download") && !request.contains(u"file")) {
            const auto slot = static_cast<size_t>(std::clamp(m_core.logoState.currentSlot, 0, 32));
            request.insert(QStringLiteral("file"), m_core.logoState.slotFile[slot]);
        }
        this->request(request, done);
    });
    m_core.deviceState.heldBy = m_holder;
    const QJsonObject link = status.value(u"link").toObject();
    showLink(link.value(u"open").toBool(), link.value(u"answering").toBool());
    if (status.value(u"settings").isObject())
        showSettings(status.value(u"settings").toObject());
    m_core.link.showTake(status.value(u"take").toBool());
    if (!m_input.isEmpty())
        QMetaObject::invokeMethod(this, &RemoteLine::read, Qt::QueuedConnection);
    return true;
}

void RemoteLine::detach()
{
    if (!attached())
        return;
    m_socket.disconnect(this);
    m_socket.disconnectFromServer();
    release(false);
}

void RemoteLine::release(bool holderGone)
{
    m_socket.disconnect(this);
    m_waiting.clear();
    m_core.ops.forwardTo({});
    if (m_core.link.forwarding())
        m_core.link.detach();
    m_core.deviceState.heldBy.clear();
    m_core.deviceState.transferBusy = false;
    m_core.reporter.setProgressVisible(false);
    m_core.deviceState.notify();
    const QString holder = std::exchange(m_holder, QString());
    if (holderGone)
        emit lost(holder);
}

void RemoteLine::request(QJsonObject request, const std::function<void(const QJsonObject &)> &done)
{
    if (!attached())
        return;
    const int id = m_nextId++;
    request.insert(QStringLiteral("id"), id);
    m_waiting.insert(id, done);
    m_socket.write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
}

void RemoteLine::read()
{
    m_input += m_socket.readAll();
    qsizetype end;
    while ((end = m_input.indexOf('\n')) >= 0) {
        const QJsonObject o = QJsonDocument::fromJson(m_input.left(end)).object();
        m_input.remove(0, end + 1);
        if (o.contains(u"event")) {
            onEvent(o);
            continue;
        }
        const auto waiting = m_waiting.find(o.value(u"id").toInt(-1));
        if (waiting == m_waiting.end())
            continue;
        const auto done = std::move(*waiting);
        m_waiting.erase(waiting);
        if (!o.value(u"ok").toBool())
            m_core.reporter.ReportError(o.value(u"error").toString(), QStringLiteral("Control"));
        else if (done)
            done(o);
    }
}

void RemoteLine::onEvent(const QJsonObject &event)
{
    const QString name = event.value(u"event").toString();
    Reporter &reporter = m_core.reporter;
    if (name == QLatin1String("settings")) {
        showSettings(event.value(u"settings").toObject());
    } else if (name == QLatin1String("take")) {
        m_core.link.showTake(event.value(u"on").toBool());
    } else if (name == QLatin1String("link")) {
        showLink(event.value(u"open").toBool(), event.value(u"answering").toBool());
    } else if (name == QLatin1String("progress")) {
        m_core.deviceState.transferBusy = true;
        reporter.setProgressVisible(true);
        reporter.setProgressValue(event.value(u"value").toInt());
        reporter.setUploadStatus(event.value(u"status").toString());
        m_core.deviceState.notify();
    } else if (name == QLatin1String("transfer-end")) {
        m_core.deviceState.transferBusy = false;
        reporter.setProgressVisible(false);
        reporter.setUploadStatus(event.value(u"status").toString());
        m_core.deviceState.notify();
    } else if (name == QLatin1String("report")) {
        reporter.ReportError(event.value(u"message").toString(), event.value(u"title").toString());
    }
}

void RemoteLine::showLink(bool open, bool answering)
{
    m_core.deviceState.portIndicator = answering ? Indicator::Green : open ? Indicator::Cyan : Indicator::Red;
    m_core.deviceState.transfersEnabled = answering;
    m_core.deviceState.notify();
}

// The holder's last reply goes through the same reading as a reply of the
// window's own port: the panel, the slot and the model follow it.
void RemoteLine::showSettings(const QJsonObject &settings)
{
    const QByteArray reply = QByteArray::fromHex(settings.value(u"reply").toString().toLatin1());
    if (!reply.isEmpty())
        m_core.link.processReply(reply);
    showLink(true, true);
}
