// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "qxsim/trafficlog.h"

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Runs the qxsim device simulator for a test: starts it with a traffic log in a
// temporary directory, feeds it control lines and reads back what it logged.
class SimProcess
{
public:
    // ms: epoch milliseconds; kind: "rx", "tx", "!" or "#"; bytes: the bytes
    // (rx, tx, !) or the event text (#).
    using Entry = TrafficLog::Entry;

    SimProcess(const QString &portsDir, int port, const QStringList &extraArgs = {});
    ~SimProcess(); // quits the simulator (terminates it if it does not)

    // Starts qxsim and waits for its READY line.
    bool start(int timeoutMs = 5000);
    // Asks qxsim to quit and waits; true when it exited cleanly.
    bool stop(int timeoutMs = 5000);
    // Writes one control line (see qxsim --help).
    void control(const QByteArray &line);

    QList<Entry> entries() const;  // the whole log, read afresh
    QList<Entry> received() const; // the "rx" entries
    // How many "rx" entries begin with command (so "ATN" also matches ATN with
    // its blanks), or how many "#" entries are event, or event followed by a
    // blank and more ("up" matches "up /dev/pts/7").
    int countReceived(const QByteArray &command) const;
    int countEvents(const QByteArray &event) const;
    // Wait until there are occurrences of them; events are processed meanwhile.
    bool waitForReceived(const QByteArray &command, int timeoutMs, int occurrences = 1);
    bool waitForEvent(const QByteArray &event, int timeoutMs, int occurrences = 1);

    // The pty slave now in use: from READY, or from the latest "up" event.
    QString ptyPath() const;
    QString linkPath() const { return m_linkPath; }
    QString logPath() const { return m_logPath; }
    // The next line qxsim prints on stdout (without its line end), or empty.
    QByteArray readStdoutLine(int timeoutMs);

private:
    QTemporaryDir m_logDir;
    QString m_logPath;
    QStringList m_arguments;
    QProcess m_process;
    QString m_linkPath;
    QString m_readyPtyPath;
};
