// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "control/controlprotocol.h"

#include <QByteArray>
#include <QDateTime>
#include <QHostAddress>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class OperationJob;
class QLocalServer;
class QTcpServer;
class QuillonCore;
class SettingsStore;
class ControlSession;

// The control endpoint of the line a process holds (the window, or
// quillon-cli schedule run): a local socket, and a TCP listener when the
// settings name one. Clients' operations go through one queue and run one
// at a time on the core, as OperationJobs; a download is one unit. hello,
// status and subscribe are answered at once. Subscribers get the line's
// events. A client that sends what the protocol does not allow gets an
// error answer or is closed; the line's work goes on.
class ControlServer : public QObject
{
    Q_OBJECT

public:
    struct Holder {
        QString program;                      // "quillon", "quillon-cli schedule run"
        std::function<QString()> lineName;    // "COM5 (/dev/ttyUSB0)"
        std::function<void()> reloadSchedule; // "schedule-reload"
    };

    // A queued operation that has not started within this is answered with
    // an error and dropped.
    static constexpr int QueueWaitMs = 30000;
    static constexpr int MaxClients = 128;
    // Events and answers a client has not read; past this it is dropped.
    static constexpr qint64 MaxUnread = 1024 * 1024;
    // Operations one client may have waiting.
    static constexpr int MaxQueuedPerClient = 64;

    ControlServer(QuillonCore &core, Holder holder, QObject *parent = nullptr);
    ~ControlServer() override;

    // $XDG_RUNTIME_DIR/Quillon/control-comN.sock, or control-<12 hex of the
    // SHA-1 of the path or URL>.sock for a line given by --device.
    static QString socketPath(int port, const QString &device = {});

    // Serves the local socket at path (mode 0600, in a folder of mode 0700).
    // A socket file left by a process that is gone is replaced; one that
    // answers is not. False with the reason.
    bool listenLocal(const QString &path, QString *problem);
    // The TCP listener: "ADDRESS:PORT" or "PORT" (127.0.0.1), with the token
    // every connection's first request must carry. False with the reason.
    bool listenTcp(const QString &address, const QString &token, QString *problem);
    // The TCP listener the settings name (ControlListen, ControlToken under
    // [FormInit]); true when they name none. False with the reason.
    bool listenAsConfigured(const SettingsStore &settings, QString *problem);
    void close();
    // Serves a connection made elsewhere (an in-memory one of a fuzzer), as
    // a local client; the server takes the device.
    void serve(QIODevice *device) { accept(device, false); }

    QString localPath() const { return m_localPath; }
    // "127.0.0.1:9710" while the TCP listener is on, else empty.
    QString tcpAddress() const;
    int clientCount() const { return static_cast<int>(m_sessions.size()); }
    int tcpClientCount() const;

signals:
    void clientsChanged();
    // Something for the holder's log: a refused token, a dropped client.
    void notice(const QString &text);

private:
    friend class ControlSession;
    struct Pending {
        QPointer<ControlSession> session;
        ControlProtocol::Request request;
        qint64 queuedAt = 0; // in ticks
    };

    void accept(QIODevice *socket, bool tcp);
    void handle(ControlSession *session, const QByteArray &line);
    void enqueue(ControlSession *session, const ControlProtocol::Request &request);
    void runNext();
    void expire();
    bool lineBusy() const;
    QJsonObject status() const;
    void broadcast(const QByteArray &line);
    void dropped(ControlSession *session);
    void connectEvents();

    QuillonCore &m_core;
    Holder m_holder;
    QLocalServer *m_local = nullptr;
    QTcpServer *m_tcp = nullptr;
    QString m_localPath;
    QByteArray m_token;
    QList<ControlSession *> m_sessions;
    QList<Pending> m_queue;
    OperationJob *m_job = nullptr;
    // The last state told to subscribers, so that only changes go out.
    QJsonObject m_lastSettings;
    QByteArray m_lastReply;
    int m_lastLink = -1;
    int m_lastTake = -1;
    int m_lastProgress = -1;
    mutable QDateTime m_nextAsked; // when status last looked for the next switch
    mutable QJsonValue m_nextText;
    qint64 m_ticks = 0; // the link's 25 ms ticks, for the queue's time limit
};
