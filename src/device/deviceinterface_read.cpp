#include "deviceinterface.h"

#include "commands220.h"

#include <QBuffer>
#include <QDebug>

QDomDocument DeviceInterface::emptyConfigurationDocument()
{
    // Every document of the read sequence carries the type name "Configuration".
    QDomDocument doc(QStringLiteral("Configuration"));
    doc.appendChild(
            doc.createProcessingInstruction(QStringLiteral("xml"),
                                            QStringLiteral("version=\"1.0\" encoding=\"UTF-8\"")));
    doc.appendChild(doc.createElement(QStringLiteral("configuration")));
    return doc;
}

void DeviceInterface::readConfiguration_220()
{
    qDebug().noquote() << "READ CONFIGURATION!";
    // On the port just opened, or through the server again (after a firmware upload): once the
    // bus is free.
    startJob(Job::Read, [this] {
        qDebug().noquote() << "Started the data exchange from the device.";
        beginRead();
    });
}

void DeviceInterface::beginRead()
{
    // Every read starts from nothing: no list, no position and no document of an earlier one.
    m_commandList.clear();
    m_readIndex = -1;
    m_configDoc = emptyConfigurationDocument();
    m_progressStep = 333;
    m_progressValue = 0;
    emit changeDeviceStatus(4);
    getFwVer_220();
}

void DeviceInterface::getFwVer_220()
{
    // Each step of a job sends only inside its own job: called from outside, nothing goes.
    if (m_job != Job::Read)
        return;
    qDebug().noquote() << "Get Device Info";
    sendCommand_220(Cmd220::DeviceInfo);
    m_progressValue += m_progressStep;
    emit setProgress(m_progressValue);
}

void DeviceInterface::getCounterVal_220()
{
    if (m_job != Job::Poll)
        return;
    qDebug().noquote() << "Get counter value";
    sendCommand_220(Cmd220::ReadCounter);
}

void DeviceInterface::getUpTime_220()
{
    if (m_job != Job::Poll)
        return;
    qDebug().noquote() << "Get uptime value";
    sendCommand_220(Cmd220::ReadUptime);
}

void DeviceInterface::handlerVersionInfo_220(VERSION_INFO_220 info)
{
    const int answerMs = m_checkedAnswerMs;
    if (!takeAnswer({Cmd220::DeviceInfo}))
        return;
    if (m_job == Job::Scan) {
        // The reader is listed under the address it put in its answer.
        m_foundAddresses.append(info.address);
        // A damaged answer is asked again once: at most one came before this one.
        emit readerFound(info.address, info, answerMs, m_scanRetried ? 1 : 0);
        nextReadCommand();
        return;
    }
    if (m_job == Job::Probe) {
        endProbe(true, info);
        return;
    }
    qDebug().noquote() << "FW ver received: " << info.fwVer;
    if (m_job != Job::Read) {
        // Asked from the console: shown there, nothing more.
        finishJob();
        return;
    }

    m_devIdText = QString::number(info.devId);
    m_fwVersion = info.fwVer;
    emit showVersionInfo(info);
    deviceInfo(m_fwVersion, m_devIdText);
}

void DeviceInterface::deviceInfo(QString devVer, QString devID)
{
    resetAnswerCycle();
    qDebug().noquote() << "Device FW ver: " << devVer << " id: " << devID;
    m_devId = devID.toUShort();

    // The main window selects the firmware group in the device database while handling this
    // signal, so the command list fetched next is the group's.
    emit setCurrentFwVer(devVer, QString(), devID, QStringLiteral("Zemo") + devID);
    m_commandList.clear();
    m_commandList = emit getSupportedCommands();

    m_readIndex = m_commandList.size();
    m_progressStep = 0; // from here on: the number of read commands sent
    emit setProgressMax(m_commandList.size());
    nextReadCommand();
}

void DeviceInterface::nextReadCommand()
{
    if (m_job == Job::Scan) {
        probeNextAddress();
        return;
    }
    if (m_job != Job::Read)
        return;

    // The list is sent from its last entry to its first.
    --m_readIndex;
    if (m_readIndex >= 0) {
        emit setProgress(m_progressStep);
        ++m_progressStep;
        sendCommand_220(quint16(m_commandList.at(m_readIndex)));
    } else {
        deviceExchangeEnd();
    }
}

void DeviceInterface::deviceExchangeEnd()
{
    if (m_job == Job::Read)
        finishJob();
    m_configBuffer->close();
    m_configBuffer->setData(QByteArray());
    if (!m_configBuffer->open(QIODevice::ReadWrite))
        return;
    m_configBuffer->write(m_configDoc.toByteArray(1));
    // The next read starts a fresh document.
    m_configDoc.clear();
    m_configBuffer->close();

    emit setProgress(999);
    emit setProgress(0);
    emit updateGUI(m_configBuffer);
}

void DeviceInterface::addElement(QString elementName, QStringList params)
{
    if (m_configDoc.isNull())
        m_configDoc = emptyConfigurationDocument();

    QDomElement element = m_configDoc.createElement(elementName);
    for (int i = 0; i < params.size(); i += 2)
        element.setAttribute(params.at(i), params.value(i + 1));
    m_configDoc.documentElement().appendChild(element);
}

void DeviceInterface::handlerRS485_Info_220(RS485_STAT_220 info)
{
    if (!takeAnswer({Cmd220::ReadRs485}))
        return;
    qDebug().noquote() << "RS485 address: " << info.address << "\nRS485 speed: " << info.speed;
    if (m_job != Job::Read) {
        finishJob();
        return;
    }
    addElement(QStringLiteral("rs485_addr_220"),
               {QStringLiteral("param"), QString::number(info.address)});
    addElement(QStringLiteral("rs485_speed_220"),
               {QStringLiteral("param"), QString::number(info.speed)});
    nextReadCommand();
}

void DeviceInterface::handlerOutputInfo_220(OUTPUT_STAT_220 info)
{
    if (!takeAnswer({Cmd220::ReadOutputs}))
        return;
    qDebug().noquote() << "Generation state received: " << info.genState
                       << "\nPullUp stat received: " << info.pullUp
                       << "\nGeneration mode received: " << info.genMode;
    if (m_job != Job::Read) {
        finishJob();
        return;
    }
    addElement(QStringLiteral("gen_stat_220"),
               {QStringLiteral("param"), QString::number(info.genState)});
    addElement(QStringLiteral("pull_up_220"),
               {QStringLiteral("param"), QString::number(info.pullUp)});
    addElement(QStringLiteral("gen_mode_220"),
               {QStringLiteral("param"), QString::number(info.genMode)});
    nextReadCommand();
}

void DeviceInterface::handlerInputInfo_220(INPUT_STAT_220 info)
{
    const int answerMs = m_checkedAnswerMs;
    if (!takeAnswer({Cmd220::ReadCounter}))
        return;
    if (m_job == Job::Watch) {
        m_watch.hasCounter = true;
        m_watch.counter = info.value;
        m_watch.answerMs = answerMs;
        watchNext();
        return;
    }
    qDebug().noquote() << "Counter value received: " << info.value;
    if (m_job == Job::Console) {
        finishJob();
        return;
    }
    emit showInputInfo_220(info);
    if (m_job == Job::Poll)
        pollAnswered();
    else
        nextReadCommand();
}

void DeviceInterface::handlerUpTimeInfo_220(UPTIME_INFO_220 info)
{
    const int answerMs = m_checkedAnswerMs;
    if (!takeAnswer({Cmd220::ReadUptime}))
        return;
    if (m_job == Job::Watch) {
        m_watch.hasUptime = true;
        m_watch.uptime = info.uptime;
        m_watch.answerMs = answerMs;
        watchNext();
        return;
    }
    qDebug().noquote() << "Uptime value received: " << info.uptime;
    if (m_job == Job::Console) {
        finishJob();
        return;
    }
    emit showUpTimeInfo_220(info);
    if (m_job == Job::Poll)
        pollAnswered();
    else
        nextReadCommand();
}
