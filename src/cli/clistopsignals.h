#pragma once

#include <QObject>

// SIGINT and SIGTERM as a Qt signal of the event loop, while an object of this class lives: a
// long command (a commissioning run) ends its work and writes what it has instead of being
// killed halfway through a write to a reader. The handlers are put back when it is destroyed.
class CliStopSignals : public QObject
{
    Q_OBJECT
public:
    explicit CliStopSignals(QObject *parent = nullptr);
    ~CliStopSignals() override;

signals:
    // The signal's number (SIGINT 2, SIGTERM 15), once for each signal that came.
    void stopAsked(int signalNumber);

private:
    void takeSignals();
    bool m_owner = false; // made the socket pair (one object at a time)
};
