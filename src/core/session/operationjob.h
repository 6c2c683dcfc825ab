// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "device_link/protocol.h"
#include "session/operationrequest.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QuillonCore;

// One operation on a line that is open and awake: checks that the device
// answers (when the command asks for that), does the thing through the
// device operations, and waits for what it brings back (a reply, the
// copyright line, the end of a transfer). quillon-cli runs one on its own
// port; the control endpoint runs its requests one after the other on the
// line its process holds. Driven by the link's ticks.
class OperationJob : public QObject
{
    Q_OBJECT

public:
    // Ticks to wait for the device: a settings reply or the copyright line
    // (3 s), a logo stream to begin (15 s).
    static constexpr int ReplyTicks = 120;
    static constexpr int StreamTicks = 600;

    // portName names the line in messages; portFailure tells why a line that
    // went away cannot be reached.
    OperationJob(QuillonCore &core, OperationRequest request, QString portName,
                 std::function<QString()> portFailure, QObject *parent = nullptr);

    // What makes the request's file unusable (a bitmap that cannot be read,
    // an output folder that cannot be written), empty when nothing does.
    // The file name is made absolute first.
    static QString fileProblem(OperationRequest &request);

    void start();
    // A download is first brought to a safe end (TAKE and the fade put back);
    // a second interruption, or one at any other time, ends the job at once.
    void interrupt();

    bool done() const { return m_done; }
    // The job ended on an interruption after the download had written bytes
    // that must still leave the port.
    bool interruptedInDownload() const { return m_interrupted; }
    // The settings reply the device gave when checked.
    std::optional<Protocol::SettingsReply> reply() const { return m_reply; }

    // The status as JSON.
    static QString statusJson(const Protocol::SettingsReply &reply, int model, const QString &port);

signals:
    // A result: the status JSON, the copyright line.
    void output(const QString &text);
    // Something the caller should know that does not end the job.
    void warning(const QString &text);
    // message is empty when the job ended well.
    void finished(int exitCode, const QString &message);

private:
    enum class Wait { Nothing, Reply, Copyright, Download, NvSave, Upload };

    void onTick();
    void onError(const QString &message, const QString &title);
    void onReply(const QByteArray &reply);
    void check();
    void act();
    QString downloadLeft() const;
    void downloadInterrupted();
    void finish(int code, const QString &message = {});

    QuillonCore &m_core;
    OperationRequest m_request;
    QString m_portName;
    std::function<QString()> m_portFailure;
    Wait m_wait = Wait::Nothing;
    int m_ticks = 0;
    bool m_started = false;
    bool m_done = false;
    bool m_interrupted = false;
    std::optional<bool> m_negateBefore;
    std::optional<Protocol::SettingsReply> m_reply;
};
