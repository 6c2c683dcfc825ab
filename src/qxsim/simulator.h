// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "qxsim/commandsplitter.h"
#include "qxsim/netlistener.h"
#include "qxsim/portlink.h"
#include "qxsim/ptyline.h"
#include "qxsim/simnode.h"
#include "qxsim/trafficlog.h"

#include <QList>
#include <QObject>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QTimer>

// The qxsim program: the nodes on one pseudo-terminal line, the port link, the
// network listeners on the same line, the traffic log, and the fault switches
// read from stdin.
class Simulator : public QObject
{
    Q_OBJECT
public:
    struct NodeConfig {
        int id;
        int model;
    };
    struct Options {
        QString portsDirectory;
        int port = 1;
        QList<NodeConfig> nodes;
        bool fast = false;
        QString logPath;
        int latencyMs = 3;
        bool silent = false;
        QString listenRaw;     // [HOST:]PORT, or empty for none
        QString listenRfc2217; // the same
    };

    explicit Simulator(const Options &options, QObject *parent = nullptr);
    ~Simulator() override;

    // Opens the line, places the link and announces READY on stdout.
    bool start(QString *error);
    // Carries out one control line (see the program's --help).
    void control(const QByteArray &line);

signals:
    void quitRequested();

private:
    void readStdin();
    void onByte(char byte, qint64 ns);
    void onTick(qint64 ns);
    void handle(const QList<CommandSplitter::Item> &items);
    void deliver(const CommandSplitter::Item &item);
    void deliverLogoLines(const CommandSplitter::Item &item);
    void dumpLogo(const QList<QByteArray> &words);
    QByteArray noise(int count, QByteArrayView never);
    void sendReply(QByteArray reply, qint64 notBeforeNs, const QByteArray &command);
    bool comeUp(QString *error);
    void hangUp(int backAfterMs);
    void addListener(NetListener::Kind kind);
    void logEvent(const QByteArray &text);
    qint64 nowMs() const { return m_line.nowNs() / 1'000'000; }

    Options m_options;
    PtyLine m_line;
    CommandSplitter m_splitter;
    QList<SimNode> m_nodes;
    TrafficLog m_log;
    PortLink m_link;
    QList<NetListener *> m_listeners;
    QSocketNotifier *m_stdin = nullptr;
    QByteArray m_stdinBuffer;
    QTimer m_upTimer;
    QRandomGenerator m_noise{0x51584e53u};
    bool m_silent = false;
    bool m_powered = true; // off: neither hears nor answers
    int m_shortLength = -1;
    int m_noiseBeforeStream = -1;
    int m_splitBytes = 0; // 0: replies go out whole
    int m_splitGapMs = 0;
    QByteArray m_garblePlace; // before, inside or after the next reply
    int m_garbleCount = 0;
    QByteArray m_garbleCommand; // only a reply to this command, when set
};
