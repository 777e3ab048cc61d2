#include "busscan.h"

#include "bustablemodel.h"
#include "db_worker.h"
#include "deviceinterface.h"

#include <QDebug>
#include <QTimer>

BusScan::BusScan(DeviceInterface *link, BusTableModel *model, DB_Worker *db, QObject *parent)
    : QObject(parent)
    , m_link(link)
    , m_model(model)
    , m_db(db)
{
    connect(m_link, &DeviceInterface::readerFound, this, &BusScan::onReaderFound);
    connect(m_link, &DeviceInterface::setProgress, this, &BusScan::onProgress);
    connect(m_link, &DeviceInterface::fillFoundAddrs, this, &BusScan::onSpeedDone);
    // A speed whose scan could not start (its port would not open once the line was quiet)
    // reports no end: the link falls idle without it.
    connect(m_link, &DeviceInterface::busIdle, this, [this] {
        if (m_running)
            QTimer::singleShot(0, this, &BusScan::checkStarted);
    });
}

int BusScan::speed() const
{
    return m_running ? m_speeds.value(m_index) : 0;
}

int BusScan::found() const
{
    return m_model->rowCount();
}

QList<int> BusScan::addressesAt(int baud) const
{
    QList<int> addresses;
    const QList<BusReader> readers = m_model->readers();
    for (const BusReader &reader : readers) {
        if (reader.baud == baud)
            addresses << reader.address;
    }
    return addresses;
}

bool BusScan::start(bool allSpeeds, QString *error)
{
    auto fail = [error](const QString &why) {
        qDebug().noquote() << "/C:12"
                           << "Bus scan not started:" << why;
        if (error)
            *error = why;
        return false;
    };
    if (m_running)
        return fail(tr("Поиск уже идёт"));
    if (m_link->connection() != DeviceInterface::Connection::Closed)
        return fail(tr("Сначала закройте соединение"));

    m_linkBaud = m_link->baudRate();
    m_speeds.clear();
    if (allSpeeds) {
        for (const QString &text : m_link->baudList())
            m_speeds << text.toInt();
    } else {
        m_speeds << m_linkBaud;
    }
    m_model->clear();
    m_index = 0;
    m_stopAsked = false;
    m_running = true;
    qDebug().noquote() << "Bus scan, speeds:" << m_speeds;
    scanSpeed();
    if (!m_running)
        return fail(tr("Порт не открывается: %1").arg(m_link->portName()));
    return true;
}

void BusScan::scanSpeed()
{
    if (!m_running)
        return;
    if (m_stopAsked) {
        finish();
        return;
    }
    m_speedDone = false;
    m_probed = 1;
    m_link->setBaudRate(m_speeds.at(m_index));
    m_link->findDevices_220();
    emit progress();
    // Started, or waiting for a quiet line; otherwise the port did not open.
    if (!m_link->isSearching() && m_link->isIdle())
        finish();
}

void BusScan::checkStarted()
{
    if (m_running && !m_speedDone && !m_link->isSearching() && m_link->isIdle())
        finish();
}

void BusScan::stop()
{
    if (!m_running)
        return;
    m_stopAsked = true;
    if (m_link->isSearching())
        m_link->findExchangeStop();
}

void BusScan::onProgress(int address)
{
    if (!m_running || !m_link->isSearching())
        return;
    // A scan that was waiting for a quiet line when it was stopped ends as soon as it starts.
    if (m_stopAsked) {
        m_link->findExchangeStop();
        return;
    }
    if (address > 0)
        m_probed = address;
    emit progress();
}

void BusScan::onReaderFound(int address, const VERSION_INFO_220 &info, int answerMs, int damaged)
{
    if (!m_running)
        return;
    BusReader reader;
    reader.address = address;
    reader.baud = m_speeds.value(m_index);
    reader.deviceId = info.devId;
    reader.deviceName = nameOf(info.devId);
    reader.firmware = info.fwVer;
    reader.supported = supports(info.fwVer, info.devId);
    reader.answerMs = answerMs;
    reader.damaged = damaged;
    const int row = m_model->addReader(reader);
    emit readerAdded(row);
    emit progress();
}

void BusScan::onSpeedDone()
{
    if (!m_running || m_speedDone)
        return;
    m_speedDone = true;
    // The link closes the port after this report: the next speed starts once it has.
    if (m_stopAsked || m_index + 1 >= m_speeds.size()) {
        QTimer::singleShot(0, this, &BusScan::finish);
        return;
    }
    ++m_index;
    QTimer::singleShot(0, this, &BusScan::scanSpeed);
}

void BusScan::finish()
{
    if (!m_running)
        return;
    m_running = false;
    m_probed = 0;
    if (m_link->connection() == DeviceInterface::Connection::Closed)
        m_link->setBaudRate(m_linkBaud);
    qDebug().noquote() << "Bus scan ended, readers:" << m_model->rowCount()
                       << (m_stopAsked ? "(stopped)" : "");
    emit finished(m_stopAsked);
}

QString BusScan::nameOf(int devId)
{
    if (!m_db)
        return QString();
    auto it = m_names.constFind(devId);
    if (it != m_names.constEnd())
        return it.value();
    const QString name = m_db->deviceName(devId);
    m_names.insert(devId, name);
    return name;
}

bool BusScan::supports(const QString &firmware, int devId)
{
    if (!m_db)
        return false;
    const QPair<int, QString> key(devId, firmware);
    auto it = m_support.constFind(key);
    if (it != m_support.constEnd())
        return it.value();
    const bool known = m_db->knowsFirmware(firmware, devId);
    m_support.insert(key, known);
    return known;
}
