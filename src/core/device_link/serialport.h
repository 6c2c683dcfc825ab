// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// The one serial line to the logo generators, as the link code sees it. The
// real port and the test fakes implement it.
class SerialPort : public QObject
{
    Q_OBJECT

public:
    // Failure numbers of an open: a port number that does not exist here, and
    // a port that exists but is busy, locked or not permitted.
    enum OpenFailure : int { NotValid = 8002, InUse = 8005 };

    struct OpenResult {
        int failure = 0; // 0 on success, NotValid, InUse, or another number
        QString detail;  // extra words for the user (a permission problem)
        bool ok() const { return failure == 0; }
    };

    // Event codes delivered by commEvent().
    // Unreachable: a port on a device server could not be connected to
    // (lastProblem() says why); the port is closed again. Connected: the
    // connection to it is up.
    enum Event : int {
        DataReceived = 2,
        TransmitBufferFull = 1010,
        LineLost = 9001,
        Unreachable = 9002,
        Connected = 9003
    };

    using QObject::QObject;

    // Opens port number n at 9600,N,8,1, no flow control, DTR and RTS on.
    virtual OpenResult open(int portNumber) = 0;
    // Switches DTR and RTS off and closes the port.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Opens and closes port n again; true when it could be opened.
    virtual bool probe(int portNumber) = 0;
    // The device behind a port number, empty when there is none.
    virtual QString devicePath(int portNumber) const = 0;

    virtual qint64 bytesWaiting() const = 0;
    // Reads at most maxBytes of what is waiting.
    virtual QByteArray readWaiting(qint64 maxBytes = 2500) = 0;
    // Writes the bytes as one write; returns an error text, empty on success.
    virtual QString write(const QByteArray &bytes) = 0;
    // The receive event is raised once this many bytes are waiting.
    virtual void setReceiveThreshold(int bytes) = 0;
    virtual void discardInput() = 0;
    virtual void discardAll() = 0;
    // Waits until everything written has left the port, at most timeoutMs;
    // false when it has not.
    virtual bool drain(int timeoutMs)
    {
        Q_UNUSED(timeoutMs);
        return true;
    }
    // A line on a device server across the network, whose replies may come
    // in pieces further apart than a local port's.
    virtual bool isNetwork() const { return false; }
    // Why the port was lost or could not be reached, when it knows.
    virtual QString lastProblem() const { return QString(); }

signals:
    void commEvent(int code);
    // Something the user should know that does not stop the line (a device
    // server that keeps its own line settings).
    void warning(const QString &text);
};
