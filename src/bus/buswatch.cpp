#include "buswatch.h"

#include "bustablemodel.h"
#include "readerstatus.h"

#include <QDebug>
#include <QTimer>

BusWatch::BusWatch(DeviceInterface *link, BusTableModel *model, QObject *parent)
    : QObject(parent)
    , m_link(link)
    , m_model(model)
    , m_timer(new QTimer(this))
{
    m_timer->setInterval(TickMs);
    connect(m_timer, &QTimer::timeout, this, &BusWatch::tick);
    connect(m_link, &DeviceInterface::readerWatched, this, &BusWatch::onWatched);
    connect(m_link, &DeviceInterface::connectionChanged, this, &BusWatch::onConnectionChanged);
}

bool BusWatch::start(QString *error)
{
    auto fail = [error](const QString &why) {
        qDebug().noquote() << "/C:12"
                           << "Bus watch not started:" << why;
        if (error)
            *error = why;
        return false;
    };
    if (m_running)
        return true;
    if (m_model->rowCount() == 0)
        return fail(tr("В таблице нет считывателей: сначала выполните поиск"));
    const DeviceInterface::Connection connection = m_link->connection();
    if (connection == DeviceInterface::Connection::Closed) {
        if (!m_link->togglePort())
            return fail(tr("Порт не открывается: %1").arg(m_link->portName()));
        m_ownsPort = true;
    } else if (connection == DeviceInterface::Connection::Serial && !m_link->isSearching()) {
        m_ownsPort = false;
    } else {
        return fail(tr("Наблюдение за шиной возможно только через последовательный порт"));
    }
    m_model->clearWatch();
    m_running = true;
    m_outstanding = false;
    m_next = 0;
    m_rounds = 0;
    qDebug().noquote() << "Bus watch started, readers:" << m_model->rowCount();
    m_timer->start();
    tick();
    return true;
}

void BusWatch::stop()
{
    end(true);
}

void BusWatch::end(bool closePort)
{
    if (!m_running)
        return;
    m_running = false;
    m_timer->stop();
    m_outstanding = false;
    const bool owned = m_ownsPort;
    m_ownsPort = false;
    qDebug().noquote() << "Bus watch stopped after" << m_rounds << "rounds";
    // The port the watch opened goes with it (a look in flight is given up with it).
    if (closePort && owned && m_link->connection() == DeviceInterface::Connection::Serial)
        m_link->togglePort();
    emit stopped();
}

int BusWatch::suspectReaders() const
{
    int suspect = 0;
    const QList<BusReader> readers = m_model->readers();
    for (const BusReader &reader : readers) {
        if (reader.lineSuspect())
            ++suspect;
    }
    return suspect;
}

void BusWatch::tick()
{
    if (!m_running || m_outstanding)
        return;
    const int rows = m_model->rowCount();
    if (rows == 0) {
        end(true);
        return;
    }
    if (m_next >= rows)
        m_next = 0;
    const BusReader reader = m_model->reader(m_next);
    m_link->watchReader(quint8(reader.address), reader.baud);
    // Taken now, or after the line's quiet moment; refused while another job has the bus, and
    // asked again at the next tick.
    m_outstanding = m_link->job() == DeviceInterface::Job::Watch
                    || (m_link->job() == DeviceInterface::Job::Idle && !m_link->isIdle());
}

void BusWatch::onWatched(const ReaderStatus &status)
{
    if (!m_running || !m_outstanding)
        return;
    m_outstanding = false;
    m_model->applyStatus(status);
    const int row = m_next;
    ++m_next;
    if (m_next >= m_model->rowCount()) {
        m_next = 0;
        ++m_rounds;
    }
    emit looked(row);
}

void BusWatch::onConnectionChanged(DeviceInterface::Connection connection)
{
    // The port closed or the converter went: nothing left to watch through.
    if (!m_running || connection == DeviceInterface::Connection::Serial)
        return;
    const bool owned = m_ownsPort;
    end(false);
    // The converter of a port the watch opened for itself went: that was no session, and none
    // is waited for or opened again when the converter comes back. Given up once the link has
    // finished with the lost port.
    if (owned && connection == DeviceInterface::Connection::SerialLost)
        QTimer::singleShot(0, this, [this] {
            if (m_link->connection() == DeviceInterface::Connection::SerialLost)
                m_link->abandonLostSession();
        });
}
