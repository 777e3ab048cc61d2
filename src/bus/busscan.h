#pragma once

#include "records.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>

class BusTableModel;
class DB_Worker;
class DeviceInterface;

// The scan of the bus behind the link's port: the link probes the addresses 1 to 254 at one
// speed, or at every speed of its list in turn, and each reader that answers becomes a row of
// the table at once (the link reports it as it answers), with the device database's name for
// its device and whether the database knows its firmware. Stopping keeps the rows found.
//
// The link opens the port for each speed and closes it when that speed is done (a scan needs
// the connections closed). The speed the link had is given back at the end.
class BusScan : public QObject
{
    Q_OBJECT
public:
    // The database may be null: rows then carry the device id and no support.
    BusScan(DeviceInterface *link, BusTableModel *model, DB_Worker *db, QObject *parent = nullptr);

    // Empties the table and starts; false, with the reason in *error, when the connections are
    // not closed, the port does not open, or a scan runs already.
    bool start(bool allSpeeds, QString *error = nullptr);
    // Ends the scan after the probe under way; the rows stay.
    void stop();

    bool isRunning() const { return m_running; }
    bool scansAllSpeeds() const { return m_running && m_speeds.size() > 1; }
    // The speed being scanned and the address probed last (0 when none), the readers found
    // since the start (the table's rows: it is emptied at the start, and a reader that answers
    // twice is one row).
    int speed() const;
    int probedAddress() const { return m_probed; }
    int found() const;
    int speedCount() const { return m_speeds.size(); }
    // The addresses found at a speed, in answer order.
    QList<int> addressesAt(int baud) const;

signals:
    // An address was probed or a reader answered.
    void progress();
    void readerAdded(int row);
    // The scan has ended (all speeds done, stopped, or the port lost); the link's port is
    // closed.
    void finished(bool stopped);

private:
    void scanSpeed();
    void onReaderFound(int address, const VERSION_INFO_220 &info, int answerMs, int damaged);
    void onProgress(int address);
    void onSpeedDone();
    void checkStarted();
    void finish();
    QString nameOf(int devId);
    bool supports(const QString &firmware, int devId);

    DeviceInterface *m_link;
    BusTableModel *m_model;
    DB_Worker *m_db;
    bool m_running = false;
    bool m_stopAsked = false;
    bool m_speedDone = false; // the link reported the end of the speed under way
    QList<int> m_speeds;
    int m_index = 0;
    int m_probed = 0;
    int m_linkBaud = 0; // the link's speed before the scan
    // What the database said, by device id and by id and firmware.
    QHash<int, QString> m_names;
    QHash<QPair<int, QString>, bool> m_support;
};
