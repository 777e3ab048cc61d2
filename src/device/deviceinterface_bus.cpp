#include "deviceinterface.h"

#include "commands220.h"

#include <QDebug>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QTimer>

// Unattended work on the bus: one identity request to one address (the commissioning run waits
// for the next reader at the factory address this way), the watch's look at each reader in turn,
// and a serial session that survives its converter being pulled and plugged in again.

void DeviceInterface::probeReader(quint8 address)
{
    startJob(Job::Probe, [this, address] {
        borrowAddress(address, 0);
        sendCommand_220(Cmd220::DeviceInfo);
    });
}

void DeviceInterface::endProbe(bool answered, const VERSION_INFO_220 &info)
{
    const int address = m_deviceAddress; // the probed one, until it is given back
    giveBackAddress();
    finishJob();
    emit probeAnswered(address, answered, info);
}

void DeviceInterface::probeOrLookGoesOn()
{
    if (m_job == Job::Probe)
        endProbe(false, VERSION_INFO_220());
    else
        watchNext();
}

void DeviceInterface::watchReader(quint8 address, int baud)
{
    startJob(
            Job::Watch,
            [this, address, baud] {
                borrowAddress(address, baud);
                m_watch = ReaderStatus();
                m_watch.address = address;
                m_watch.baud = m_baudRate;
                m_watchStep = 0;
                watchNext();
            },
            {}, WhenBusy::Refuse);
}

void DeviceInterface::watchNext()
{
    // The counter, then the uptime: one request each, never sent again.
    ++m_watchStep;
    if (m_watchStep == 1)
        sendCommand_220(Cmd220::ReadCounter);
    else if (m_watchStep == 2)
        sendCommand_220(Cmd220::ReadUptime);
    else
        endWatch();
}

void DeviceInterface::endWatch()
{
    giveBackAddress();
    finishJob();
    emit readerWatched(m_watch);
}

void DeviceInterface::borrowAddress(quint8 address, int baud)
{
    m_savedAddress = m_deviceAddress;
    m_savedBaud = m_baudRate;
    m_deviceAddress = address;
    if (baud > 0 && baud != m_baudRate)
        setBaudRate(baud);
}

void DeviceInterface::giveBackAddress()
{
    m_deviceAddress = m_savedAddress;
    if (m_savedBaud != m_baudRate)
        setBaudRate(m_savedBaud);
}

void DeviceInterface::commandUnanswered()
{
    if (!m_unattended) {
        askToContinue();
        return;
    }
    // Nobody is asked: the job ends as failed, and the session stays for the next one.
    const Job job = m_job;
    qDebug().noquote() << "/C:12"
                       << "No answer after the resends, job given up: " << int(job);
    m_request.active = false;
    if (job == Job::Poll)
        m_pollStep = 0;
    if (job == Job::Upload) {
        m_fwImage.clear();
        m_pageIndex = 0;
    }
    finishJob();
    emit changeDeviceStatus(6);
}

bool DeviceInterface::portPresent(const QString &name)
{
    if (name.isEmpty())
        return false;
    // A path (a by-id link, a pseudo-terminal) is there when its file is; a plain name when the
    // system lists it.
    if (name.contains(QLatin1Char('/')))
        return QFileInfo::exists(name);
    const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos) {
        if (info.portName() == name)
            return true;
    }
    return false;
}

void DeviceInterface::checkLostPort()
{
    if (m_connection != Connection::SerialLost)
        return;
    if (m_lostClock.elapsed() >= m_resumeAfterLossMs) {
        qDebug().noquote() << "/C:12"
                           << "The converter did not come back: " << m_lostPort;
        abandonLostSession(true);
        return;
    }
    if (!portPresent(m_lostPort))
        return;
    // The same port is back: the session goes on where it was, same speed, same reader.
    m_port->setPortName(m_lostPort);
    if (!openPort()) {
        m_port->clearError();
        return; // not ready yet: looked at again
    }
    qDebug().noquote() << "/C:16"
                       << "The converter is back, the session goes on: " << m_lostPort;
    m_lostTimer->stop();
    m_lostPort.clear();
    emit sessionResumed();
}

void DeviceInterface::abandonLostSession(bool tell)
{
    if (m_connection != Connection::SerialLost)
        return;
    m_lostTimer->stop();
    m_lostPort.clear();
    setConnection(Connection::Closed);
    // Told when the time ran out; the engineer who gives up knows.
    if (tell)
        m_prompter.critical(nullptr, tr("Ошибка"),
                            tr("Ошибка обмена данными с портом:\nпреобразователь отключен от ПК"));
    emit changeDeviceStatus(0);
}
