// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

// The simulator's end of the serial line: the master side of a pseudo-terminal.
// The slave side is left closed, so that the master's POLLHUP tells whether the
// controlling program has the port open. The line is polled every millisecond.
// The line has one more end, a network client of the listeners: its bytes come
// in through takeIn(), and what goes out on the line goes to it too (sent()).
//
// Unless fast, both directions keep the pace of 9600 baud with 10 bits a byte:
// received bytes are taken in no faster than one per byte time, and a reply goes
// out as the time since its start allows.
//
// Times are epoch nanoseconds from a monotonic clock.
class PtyLine : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 ByteNs = 1'000'000'000LL * 10 / 9600;

    explicit PtyLine(bool fast, QObject *parent = nullptr);
    ~PtyLine() override;

    // Opens a new pseudo-terminal with its slave in raw mode, 9600 8N1.
    bool open(QString *error);
    // Closes the master: whoever has the slave open gets a hang-up.
    void close();

    bool isUp() const { return m_master >= 0; }
    bool isSlaveOpen() const { return m_slaveOpen; }
    QString slavePath() const { return m_slavePath; }
    qint64 nowNs() const;

    // Queues bytes to go out once the line is free, not before notBeforeNs.
    void send(const QByteArray &bytes, qint64 notBeforeNs);

    // Bytes from the network end, taken in as if from the pseudo-terminal.
    void takeIn(const QByteArray &bytes);
    // Whether a network client is there. Output goes on while either end is
    // open, and is dropped when neither is.
    void setNetworkOpen(bool open);

signals:
    void slaveOpened();
    void slaveClosed();
    void byteTakenIn(char byte, qint64 ns);
    void ticked(qint64 ns);
    void sendStarted(const QByteArray &bytes, qint64 ns);
    // Bytes as they leave the simulator, for the network end.
    void sent(const QByteArray &bytes);
    void sendDropped(qsizetype count);

private:
    struct Incoming {
        char byte;
        qint64 ns;
    };
    struct Outgoing {
        QByteArray bytes;
        qint64 notBeforeNs = 0;
        qint64 startNs = -1;
        qsizetype written = 0;
    };

    void poll();
    void readMaster(qint64 now);
    void queueIncoming(const char *bytes, qsizetype count, qint64 now);
    void writeMaster(qint64 now);
    void dropOutput();

    const bool m_fast;
    int m_master = -1;
    QString m_slavePath;
    bool m_slaveOpen = false;
    bool m_networkOpen = false;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_epochNs = 0;
    QList<Incoming> m_incoming;
    qint64 m_lastTakenNs = 0;
    QList<Outgoing> m_outgoing;
    qint64 m_lineFreeNs = 0;
};
