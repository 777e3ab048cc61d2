#pragma once

#include "deviceinterface.h"

#include <QObject>
#include <QString>

class BusTableModel;
class QTimer;
struct ReaderStatus;

// The watch of the whole bus: every reader of the table in turn, one look at a time (its
// counter, then its uptime, each asked once at the reader's own speed), through the link's one
// gate like every other job. A look asked for while the bus is busy (the window's status read,
// a console command) is refused by the link and asked again at the next tick, so the watch never
// holds anyone up. The table keeps what the watch saw: the last counter, uptime and answer
// time, and the requests that went unanswered or came back damaged.
//
// It needs a serial session: with the connections closed it opens the link's port and closes
// it again when it stops; a session that is there already is used as it is and left open. The
// watch stops by itself when its connection goes.
class BusWatch : public QObject
{
    Q_OBJECT
public:
    // Between two looks: short, so that a round of thirty readers takes about two seconds.
    static constexpr int TickMs = 20;

    BusWatch(DeviceInterface *link, BusTableModel *model, QObject *parent = nullptr);

    // False, with the reason in *error, when the table is empty, the connection is not a
    // serial one, or the port does not open.
    bool start(QString *error = nullptr);
    void stop();
    bool isRunning() const { return m_running; }
    // Whole rounds over the table since the start.
    int rounds() const { return m_rounds; }
    // Readers whose line the watch has found faulty since the start.
    int suspectReaders() const;
    // The watch opened the port itself (and closes it when it stops).
    bool ownsPort() const { return m_ownsPort; }

signals:
    void looked(int row);
    void stopped();

private:
    void tick();
    void onWatched(const ReaderStatus &status);
    void onConnectionChanged(DeviceInterface::Connection connection);
    void end(bool closePort);

    DeviceInterface *m_link;
    BusTableModel *m_model;
    QTimer *m_timer;
    bool m_running = false;
    bool m_ownsPort = false;
    bool m_outstanding = false; // a look was taken by the link and is not reported yet
    int m_next = 0; // the row looked at next
    int m_rounds = 0;
};
