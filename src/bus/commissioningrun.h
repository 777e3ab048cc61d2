#pragma once

#include "bushealth.h"
#include "commissioning.h"
#include "commissioningplan.h"
#include "deviceinterface.h"
#include "records.h"

#include <QObject>
#include <QPointer>

class DB_Worker;
class QTimer;

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
    // Ends the run now, without waiting for the step under way: the reader being served is
    // incomplete (or untouched when it was sent nothing yet). For a face that must go at once;
    // the job the link runs goes on until the link ends it.
    void abandon();
    bool isRunning() const;
    bool isPaused() const;

    // How long a pulled converter is waited for before the run ends (the reader being served is
    // then incomplete). Five minutes unless set; set before start().
    void setConverterWaitMs(int ms) { m_converterWaitMs = ms; }
    static constexpr int DefaultConverterWaitMs = 5 * 60 * 1000;
    // In assign mode a reader that is still at the factory address after its turn (it failed
    // before it took its new address) answers the next look there too: it is looked at again
    // this often until it is gone, and only then is a reader there the next one.
    static constexpr int StillThereRetryMs = 250;

    CommissionHeader header() const;
    // One record per reader: served, being served, or (selected mode) still to come.
    QList<CommissionRecord> records() const;

signals:
    // A reader is being served, at this step: "identify", "firmware", "write", "reboot",
    // "read back", "compare".
    void step(int address, const QString &step);
    void readerDone(const CommissionRecord &record);
    // Assign mode: no new reader answers at the factory address; the face asks the engineer to
    // connect the next reader, or to end the run. With failedStillThere the reader that failed
    // there answers still: it must be taken off first.
    void waitingForReader(int factoryAddress, int nextAddress, bool failedStillThere);
    // Assign mode: a reader already answers at the address the next one was to get (one set up
    // before, or a reader of the site): that address is passed over, the next one is looked at.
    void addressOccupied(int address);
    // The converter went (true) or came back (false).
    void paused(bool on);
    void finished();

private:
    // Where the run is. A phase that waits for the link names the job it gave it.
    enum class Phase {
        Idle,
        CheckingNext, // assign: a probe of the address the next reader gets: is it free?
        Looking, // assign: a probe of the factory address is on the bus
        LookPause, // assign: the reader that failed is still there; looked at again soon
        Resuming, // after the converter came back: where is the reader now?
        Identify, // the first read
        Firmware, // the upload and its reboot
        Reidentify, // the read after a new firmware
        Write, // the changes and the reboot
        ReadBack, // the read at the new address and speed
        Paused, // the converter is away
    };
    // The reader being served.
    struct Current
    {
        int record = -1; // index into m_records
        int address = 0; // where it answers before its reboot
        int baud = 0;
        int targetAddress = 0; // where it answers after
        CommissioningPlan::Values expected;
        CommissioningPlan::Values read; // its settings as read last
        QList<CommissioningPlan::Change> sending; // the write in flight
        QList<CommissioningPlan::Change> taken; // every value it took, across attempts
        bool firmwareTried = false; // the upload ran to its reboot
        bool supported = false; // its firmware group is in devices.db (set by the identity)
        bool identified = false; // an identity answer came in the read under way
        Phase lostIn = Phase::Idle; // the phase the converter went in
        QList<int> answerTimes;
        int resumeStep = 0; // Resuming: 1 at its address, 2 at its new one
    };

    void startNext();
    void checkNextAddress();
    void lookAtFactory();
    void serve(int record, int address, int baud, int targetAddress);
    void identify();
    void afterRead(const QByteArray &document);
    void startFirmware();
    void startWrite();
    void afterReboot();
    void readBack();
    void judge(const CommissioningPlan::Values &readBack);
    void fail(CommissionRecord::Cause cause, const QString &reason);
    // The reader is done (verdict set): told, and the run goes on with the next or ends.
    void readerFinished();
    // The reader being served when the run ends short: incomplete with what it took, or
    // untouched when it took nothing.
    void leaveCurrent(CommissionRecord::Cause cause, const QString &reason);
    void finish();
    void resume();
    bool stopWanted();
    // The link has no session any more (and it is not a converter being waited for).
    bool sessionGone() const;
    // The form lists of the reader's firmware group, for checking the template against them.
    QString templateMisfit() const;
    CommissionRecord &record();
    bool firmwareWanted() const;
    void setLinkReader(int address, int baud);

    // link signals
    void onState(int code);
    void onFirmwareVersion(const QString &fwVer, const QString &devId);
    void onDocument(const QByteArray &document);
    void onWriteEnded(const QStringList &notTaken, bool refused);
    void onProbe(int address, bool answered);
    void onConnection(DeviceInterface::Connection connection);
    void onHealth(const BusHealth &health);

    QPointer<DeviceInterface> m_link;
    DB_Worker *m_db = nullptr;
    CommissionOptions m_options;
    CommissionHeader m_header;
    QList<CommissionRecord> m_records;
    CommissioningPlan::Values m_template;
    QString m_firmwareVersion; // of the image offered
    quint8 m_firmwareType = 0; // its device type number
    quint8 m_firmwareVariant = 0;

    bool m_running = false;
    bool m_stopWanted = false;
    Phase m_phase = Phase::Idle;
    Current m_cur;
    int m_nextTarget = 0; // selected: the next target to serve
    int m_nextAddress = 0; // assign: the address the next reader gets
    bool m_factoryMustClear = false; // assign: a failed reader may still be at the factory address
    bool m_waitingTold = false; // assign: waitingForReader emitted for this wait
    bool m_writeInFlight = false;
    bool m_writeRefused = false;
    QStringList m_notTaken;
    int m_converterWaitMs = DefaultConverterWaitMs;
    QTimer *m_lookTimer = nullptr;

    // the link as it was before the run, set back at its end
    bool m_openedPort = false;
    bool m_wasUnattended = false;
    int m_resumeBefore = 0;
    int m_addressBefore = 1;
    int m_baudBefore = 19200;

    BusHealth m_lastHealth;
};
