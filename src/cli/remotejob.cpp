// SPDX-License-Identifier: GPL-3.0-or-later
#include "remotejob.h"

#include "session/operationjob.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <utility>

RemoteJob::RemoteJob(CliRequest request, CliJob::Output output, QObject *parent)
    : QObject(parent)
    , m_request(std::move(request))
    , m_output(std::move(output))
{
}

bool RemoteJob::connectTo(const QString &path, int timeoutMs)
{
    m_socket.connectToServer(path);
    if (!m_socket.waitForConnected(timeoutMs))
        return false;
    m_socket.write(R"({"id":0,"op":"hello"})"
                   "\n");
    QByteArray line;
    while (!line.endsWith('\n')) {
        if (!m_socket.waitForReadyRead(timeoutMs)) {
            m_socket.abort();
            return false;
        }
        line += m_socket.readAll();
    }
    const qsizetype end = line.indexOf('\n');
    m_input = line.mid(end + 1);
    const QJsonObject hello = QJsonDocument::fromJson(line.left(end)).object();
    if (!hello.value(u"ok").toBool() || !hello.value(u"protocol").isDouble()) {
        m_socket.abort();
        return false;
    }
    m_holder = hello.value(u"program").toString() + QStringLiteral(" on ") + hello.value(u"line").toString();
    return true;
}

QJsonObject RemoteJob::requestFor(const CliRequest &r)
{
    using Command = CliRequest::Command;
    QJsonObject o;
    const auto op = [&o](const char *name) { o.insert(QStringLiteral("op"), QString::fromLatin1(name)); };
    switch (r.command) {
    case Command::Status:
        op("settings");
        break;
    case Command::Copyright:
        op("copyright");
        break;
    case Command::Download:
        op("download");
        o.insert(QStringLiteral("file"), r.file);
        if (r.negative)
            o.insert(QStringLiteral("negative"), true);
        break;
    case Command::StoreLogo:
        op("store-logo");
        break;
    case Command::Upload:
        op("upload");
        o.insert(QStringLiteral("file"), r.file);
        break;
    case Command::Set: {
        static const char *const names[]
            = {"fade", "mix", "intensity", "hpos", "vpos", "on-time", "interval"};
        op("set");
        o.insert(QStringLiteral("setting"), QString::fromLatin1(names[static_cast<int>(r.setting)]));
        o.insert(QStringLiteral("value"), r.value);
        break;
    }
    case Command::Standard:
        op("standard");
        o.insert(QStringLiteral("standard"), r.pal ? QStringLiteral("pal") : QStringLiteral("ntsc"));
        break;
    case Command::Take:
        op("take");
        o.insert(QStringLiteral("take"), r.take == CliRequest::TakeMode::On    ? QStringLiteral("on")
                                         : r.take == CliRequest::TakeMode::Off ? QStringLiteral("off")
                                                                               : QStringLiteral("toggle"));
        break;
    case Command::Select:
        op("select");
        o.insert(QStringLiteral("slot"), r.value);
        break;
    case Command::Wake:
        op("wake");
        if (r.value > 0)
            o.insert(QStringLiteral("node"), r.value);
        break;
    case Command::Sleep:
        op("sleep");
        break;
    case Command::SetId:
        op("set-id");
        o.insert(QStringLiteral("node"), r.value);
        break;
    case Command::Watch:
        op("subscribe");
        break;
    default:
        break;
    }
    return o;
}

void RemoteJob::start()
{
    connect(&m_socket, &QLocalSocket::readyRead, this, &RemoteJob::read);
    connect(&m_socket, &QLocalSocket::disconnected, this, [this] {
        fail(OperationExit::PortProblem, QStringLiteral("the connection to %1 ended").arg(m_holder));
    });
    if (const QString problem = OperationJob::fileProblem(m_request); !problem.isEmpty()) {
        fail(OperationExit::FileProblem, problem);
        return;
    }
    // --node: that node is woken first, as on the port.
    m_wakeFirst = m_request.node && m_request.command != CliRequest::Command::Wake
                  && m_request.command != CliRequest::Command::Watch;
    if (m_wakeFirst) {
        CliRequest wake;
        wake.command = CliRequest::Command::Wake;
        wake.value = *m_request.node;
        send(requestFor(wake));
    } else {
        send(requestFor(m_request));
    }
    if (!m_input.isEmpty())
        read();
}

void RemoteJob::send(QJsonObject request)
{
    m_waitingFor = m_nextId++;
    request.insert(QStringLiteral("id"), m_waitingFor);
    m_socket.write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
}

void RemoteJob::read()
{
    m_input += m_socket.readAll();
    qsizetype end;
    while (!m_done && (end = m_input.indexOf('\n')) >= 0) {
        const QByteArray line = m_input.left(end);
        m_input.remove(0, end + 1);
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        if (o.contains(u"event")) {
            if (m_request.command == CliRequest::Command::Watch)
                m_output.out(QString::fromUtf8(line));
            continue;
        }
        if (o.value(u"id").toInt(-1) == m_waitingFor)
            onAnswer(o);
    }
}

void RemoteJob::onAnswer(const QJsonObject &answer)
{
    for (const QJsonValue warning : answer.value(u"warnings").toArray())
        m_output.err(QStringLiteral("quillon-cli: warning: ") + warning.toString());
    if (!answer.value(u"ok").toBool()) {
        fail(answer.value(u"exit").toInt(OperationExit::DeviceProblem), answer.value(u"error").toString());
        return;
    }
    if (std::exchange(m_wakeFirst, false)) {
        send(requestFor(m_request));
        return;
    }
    if (m_request.command == CliRequest::Command::Watch)
        return; // events follow until interrupted
    if (answer.contains(u"out"))
        m_output.out(answer.value(u"out").toString());
    finish(OperationExit::Ok);
}

void RemoteJob::interrupt()
{
    if (m_request.command == CliRequest::Command::Watch) {
        finish(OperationExit::Ok);
        return;
    }
    // What was asked goes on in the holder; only the waiting ends.
    fail(OperationExit::Interrupted, QStringLiteral("interrupted; %1 finishes what was asked").arg(m_holder));
}

void RemoteJob::fail(int code, const QString &message)
{
    if (m_done)
        return;
    m_output.err(QStringLiteral("quillon-cli: ") + message);
    finish(code);
}

void RemoteJob::finish(int code)
{
    if (std::exchange(m_done, true))
        return;
    m_exitCode = code;
    m_socket.disconnect(this);
    m_socket.disconnectFromServer();
    emit finished(code);
}
