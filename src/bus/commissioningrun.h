#pragma once

#include "commissioning.h"

#include <QObject>

class DB_Worker;
class DeviceInterface;

// The commissioning run: brings up the readers of a bus one after another with the settings of
// a template, and checks what each kept. A class without widgets that drives the device link
// through its public operations (the link's one gate decides when each job goes); the window's
// bus page and "zemo-cli commission" are its two faces.
//
// For each reader: identify it (device id, firmware); upload the newer firmware image when the
// reader's is older and its model takes one; write the settings that differ from the reader's;
// reboot; read it back at its new address and speed; compare every setting with the template.
// The verdict is verified, differs (which settings) or failed (why).
//
// Faults do not lose work: a silent or refusing reader is marked failed and the run goes on; a
// pulled converter pauses the run, which goes on when the port comes back (the link's
// SerialLost connection and sessionResumed); stopping leaves each reader done, untouched, or
// incomplete with what it was sent. Nothing is done twice.
//
// While it runs the link works unattended (a silent reader ends its job instead of asking) and
// waits for a lost converter; both are set back when the run ends.
class CommissioningRun : public QObject
{
    Q_OBJECT
public:
    CommissioningRun(DeviceInterface *link, DB_Worker *db, QObject *parent = nullptr);
    ~CommissioningRun() override;

    // Checks the options (a template that opens, a range inside 1 to 254, targets given...) and
    // starts; false, with the reason in *error, when it cannot. The port named by the link is
    // opened when the connections are closed; a serial session there is used as it is.
    bool start(const CommissionOptions &options, QString *error);
    // Ends the run after the step under way has been answered; the rest stay untouched.
    void stop();
    bool isRunning() const;
    bool isPaused() const;

    CommissionHeader header() const;
    // One record per reader: served, being served, or (selected mode) still to come.
    QList<CommissionRecord> records() const;

signals:
    // A reader is being served, at this step: "identify", "firmware", "write", "reboot",
    // "read back", "compare".
    void step(int address, const QString &step);
    void readerDone(const CommissionRecord &record);
    // Assign mode: nothing answers at the factory address; the face asks the engineer to connect
    // the next reader, or to end the run.
    void waitingForReader(int factoryAddress, int nextAddress);
    // The converter went (true) or came back (false).
    void paused(bool on);
    void finished();
};
