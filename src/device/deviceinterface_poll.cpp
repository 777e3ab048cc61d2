#include "deviceinterface.h"

#include "commands220.h"

#include <QDebug>

void DeviceInterface::startPoll()
{
    // One request per tick of the main window's status timer: the counter, then the uptime,
    // then the end of the cycle (state 3 arms the timer again).
    stopAnswerTimer();
    ++m_pollStep;
    m_retryCount = 0;

    if (m_pollStep == 1 && m_commandList.contains(Cmd220::ReadCounter)) {
        getCounterVal_220();
        return;
    }
    if (m_pollStep <= 2 && m_commandList.contains(Cmd220::ReadUptime)) {
        getUpTime_220();
        return;
    }
    m_pollStep = 0;
    qDebug().noquote() << "END of polling";
    emit changeDeviceStatus(3);
}

void DeviceInterface::reboot_220()
{
    qDebug().noquote() << "Reboot";
    sendCommand_220(Cmd220::Reboot);
}

void DeviceInterface::rebootAnswer(quint8 status)
{
    resetAnswerCycle();
    if (status != 0)
        return;
    qDebug().noquote() << "Rebooting device";
    emit changeDeviceStatus(7);
}

void DeviceInterface::setDateTimeAnswer(qint32 time, qint16 zone)
{
    Q_UNUSED(time)
    Q_UNUSED(zone)
    resetAnswerCycle();
    emit changeDeviceStatus(3);
}

void DeviceInterface::factoryDefaultAnswer()
{
    resetAnswerCycle();
    qDebug().noquote() << "Factory default OK! Reboot...";
}
