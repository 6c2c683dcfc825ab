// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/cliarguments.h"
#include "cli/clijob.h"

#include <QJsonObject>
#include <QLocalSocket>
#include <QObject>
#include <QString>

// quillon-cli on a line another Quillon process holds: the command goes
// through that process's control endpoint, with the same output and exit
// code as on the port itself. "watch" subscribes and prints the events as
// JSON lines until interrupted.
class RemoteJob : public QObject
{
    Q_OBJECT

public:
    RemoteJob(CliRequest request, CliJob::Output output, QObject *parent = nullptr);

    // Connects to the endpoint at path and says hello; false (and nothing
    // printed) when no Quillon process serves it.
    bool connectTo(const QString &path, int timeoutMs = 1000);
    QString holder() const { return m_holder; }

    // Sends the request; the result comes with finished().
    void start();
    void interrupt();
    bool done() const { return m_done; }
    int exitCode() const { return m_exitCode; }

    // The request as the endpoint takes it, without its id.
    static QJsonObject requestFor(const CliRequest &request);

signals:
    void finished(int exitCode);

private:
    void send(QJsonObject request);
    void read();
    void onAnswer(const QJsonObject &answer);
    void fail(int code, const QString &message);
    void finish(int code);

    CliRequest m_request;
    CliJob::Output m_output;
    QLocalSocket m_socket;
    QByteArray m_input;
    QString m_holder;
    int m_nextId = 1;
    int m_waitingFor = 0;
    bool m_wakeFirst = false;
    bool m_done = false;
    int m_exitCode = 0;
};
