// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QLocalSocket>
#include <QObject>
#include <QString>

#include <functional>

class QuillonCore;

// A window's way to a line another Quillon process holds (quillon-cli
// schedule run, as a service): it attaches to that process's control
// endpoint, shows the device's state from its events, and sends every
// command and operation there. The core runs as usual meanwhile; only its
// port stays closed.
class RemoteLine : public QObject
{
    Q_OBJECT

public:
    explicit RemoteLine(QuillonCore &core, QObject *parent = nullptr);
    ~RemoteLine() override;

    // Attaches to the endpoint of port number port when a Quillon process
    // serves it; false (and nothing changed) when none does.
    bool attach(int port);
    bool attached() const { return m_socket.state() == QLocalSocket::ConnectedState; }
    // "quillon-cli schedule run on COM1 (/dev/ttyUSB0)"
    QString holder() const { return m_holder; }
    // Leaves the holder as it is and lets the core open its port again.
    void detach();

    // Sends a request; done gets a successful answer. A refusal is reported.
    void request(QJsonObject request, const std::function<void(const QJsonObject &)> &done = {});

signals:
    // The holder went away (it stopped, or its line went to another port).
    void lost(const QString &holder);

private:
    QJsonObject call(const QJsonObject &request);
    void read();
    void onEvent(const QJsonObject &event);
    void showLink(bool open, bool answering);
    void showSettings(const QJsonObject &settings);
    // holderGone: it went away, rather than this side letting go.
    void release(bool holderGone);

    QuillonCore &m_core;
    QLocalSocket m_socket;
    QByteArray m_input;
    QString m_holder;
    int m_nextId = 1;
    int m_port = 0;
    QHash<int, std::function<void(const QJsonObject &)>> m_waiting;
};
