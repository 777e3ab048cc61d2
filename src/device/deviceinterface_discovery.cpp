#include "deviceinterface.h"

#include "commands220.h"

#include <QDebug>

// A bus scan probes the addresses 1 to 254 once each with the identity command: 50 ms for a
// silent address, about 30 ms plus the reader's reply time for one that answers.

void DeviceInterface::findDevices_220()
{
    // The scan opens the port itself: only with the connections closed.
    startJob(
            Job::Scan,
            [this] {
                if (!openPort()) {
                    finishJob();
                    return;
                }
                qDebug().noquote() << "START FIND";
                m_progressValue = 0;
                emit setProgress(0);

                m_remaining = m_scanLastAddress;
                m_deviceAddress = 1;
                m_foundAddresses.clear();
                m_scanRetried = false;

                // Its probes run on the short time-out, and nothing else is sent until it ends.
                emit changeDeviceStatus(1);
                sendCommand_220(Cmd220::DeviceInfo);
            },
            {}, WhenBusy::Refuse);
}

void DeviceInterface::probeNextAddress()
{
    m_scanRetried = false;
    --m_remaining;
    if (m_remaining <= 0) {
        findExchangeEnd();
        return;
    }
    ++m_deviceAddress;
    sendCommand_220(Cmd220::DeviceInfo);
    emit setProgress(m_deviceAddress);
}

void DeviceInterface::findExchangeStop()
{
    if (m_job != Job::Scan)
        return;
    m_remaining = 0;
    findExchangeEnd();
}

void DeviceInterface::findExchangeEnd()
{
    // A probe stopped in flight: the next connection keeps the line quiet a moment.
    if (m_request.active)
        m_abandonClock.start();
    m_remaining = 0;
    finishJob();
    m_deviceAddress = 1;
    emit setProgress(0);
    qDebug().noquote() << "devices: " << m_foundAddresses;
    emit fillFoundAddrs(m_foundAddresses);

    // A port error may have closed the port already; opening it again here would be wrong.
    if (m_port->isOpen()) {
        closePort();
        dropConnection();
        emit changeDeviceStatus(0);
    } else {
        resetAnswerCycle();
    }
}
