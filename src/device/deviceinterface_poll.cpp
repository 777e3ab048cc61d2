#include "deviceinterface.h"

#include "commands220.h"

#include <QDebug>
#include <QTimer>

void DeviceInterface::startPoll()
{
    // A status read never comes between the commands of another job, nor beside a request
    // still waiting for its answer: the tick is simply lost, the next one comes.
    startJob(Job::Poll, [this] { pollStep(); }, {}, WhenBusy::Refuse);
}

void DeviceInterface::pollStep()
{
    // One request per tick of the main window's status timer: the counter, then the uptime,
    // then the end of the cycle (state 3 arms the timer again).
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
    finishJob();
    emit changeDeviceStatus(3);
}

void DeviceInterface::pollAnswered()
{
    finishJob();
    // The window goes on polling from the ready state.
    emit changeDeviceStatus(3);
}

void DeviceInterface::reboot_220()
{
    startJob(Job::Reboot, [this] {
        qDebug().noquote() << "Reboot";
        sendCommand_220(Cmd220::Reboot);
    });
}

void DeviceInterface::rebootAnswer(quint8 status)
{
    if (!takeAnswer({Cmd220::Reboot}))
        return;
    const Job job = m_job;
    if (status != 0) {
        finishJob();
        if (job == Job::Console) {
            qDebug().noquote() << "Reboot answer to the console command, result: " << status;
            return;
        }
        // Refused: the reader runs on as it was, and the window is ready again.
        qDebug().noquote() << "/C:12"
                           << "Reboot refused, result: " << status;
        emit changeDeviceStatus(3);
        return;
    }
    // The reader reboots: nothing is sent until it is up again, whoever asked for the reboot.
    m_holdTimer->start(RebootHoldMs);
    if (job == Job::Console) {
        finishJob();
        qDebug().noquote() << "Reboot answer to the console command, result: " << status;
        return;
    }
    qDebug().noquote() << "Rebooting device";
    // A written address or speed takes effect with this reboot: the link answers the reader
    // there from now on.
    if (m_acceptedAddress != 0) {
        m_rememberedAddress = m_acceptedAddress;
        m_deviceAddress = m_acceptedAddress;
    }
    if (m_acceptedSpeed != 0) {
        m_rememberedSpeed = m_acceptedSpeed;
        setBaudRate(m_acceptedSpeed);
    }
    m_acceptedAddress = 0;
    m_acceptedSpeed = 0;
    finishJob();
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
