#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// One program per user session: the first instance listens on the local
// socket "Quillon.instance" in the runtime folder; a later one asks it to
// close, waits until it has, and then starts in its place.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    explicit SingleInstance(QObject *parent = nullptr);
    ~SingleInstance() override;

    static QString socketPath();

    // Asks a running instance to close and waits for it (at most timeoutMs).
    // True when there was one.
    bool takeOver(int timeoutMs = 5000);
    // Starts listening for later instances.
    bool listen();

signals:
    void closeRequested();

private:
    QLocalServer *m_server = nullptr;
};
