#include "deviceinterface.h"

#include <QDebug>
#include <QTcpSocket>

// Remote configuration through the configuration server: login, then command frames tunnelled
// as "S485 " text lines and answers coming back as Base64.

void DeviceInterface::connectToServer(QString imei, QString password)
{
    Q_UNUSED(imei)
    Q_UNUSED(password)
}

void DeviceInterface::readComPortData()
{
    // Serves the remote socket only; for the serial port there is nothing to do.
    m_receivedText.clear();
    if (!m_remoteMode)
        return;
}

bool DeviceInterface::writeCommand(QString line)
{
    emit printToTerminal(tr("<font color=blue>&gt; </font>") + line);
    return false;
}

QString DeviceInterface::calcMKey(QString imei)
{
    Q_UNUSED(imei)
    return QString();
}

void DeviceInterface::sendRemoteFrame(const QByteArray &frame)
{
    Q_UNUSED(frame)
}

void DeviceInterface::disconnectedRemoteCfg()
{
    qDebug().noquote() << "/C:16"
                       << "Remote server disconnected!";
    resetAnswerCycle();
    m_remoteMode = false;
    emit changeDeviceStatus(0);
}

void DeviceInterface::disconnectDevice()
{
    qDebug().noquote() << "/C:16"
                       << "Disconnecting device after error...";
    m_port->clearError();
    if (m_port->isOpen())
        m_port->close();
    m_deviceConnected = false;
    m_port->setPortName(QString());
}

void DeviceInterface::closeRemoteConnection()
{
    qDebug().noquote() << "Disconnecting from remote config server!";
}

void DeviceInterface::authenticationDevice(QString password)
{
    m_terminalPassword = password;
}
