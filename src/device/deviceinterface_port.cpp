#include "deviceinterface.h"

#include <QDebug>
#include <QFile>
#include <QSerialPortInfo>
#include <QTcpSocket>
#include <QTimer>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {
// On Linux a port reports PermissionError both when its device node is not readable and
// writable for this user (not in the group "dialout", the usual case on a fresh system) and
// when another program holds it. Only the first is mended with the group.
bool deniedToThisUser(const QString &portName)
{
#ifdef Q_OS_LINUX
    // A name without a folder is a node in /dev, as the serial port takes it.
    const QString node = portName.startsWith(QLatin1Char('/')) ? portName
                                                               : QStringLiteral("/dev/") + portName;
    if (::faccessat(AT_FDCWD, QFile::encodeName(node).constData(), R_OK | W_OK, AT_EACCESS) == 0)
        return false;
    return errno == EACCES || errno == EPERM;
#else
    Q_UNUSED(portName)
    return false;
#endif
}
} // namespace

QStringList DeviceInterface::portListWith(const QStringList &systemPorts, const QString &extraPorts)
{
    QStringList ports;
    for (const QString &name : systemPorts) {
        if (!name.isEmpty() && !ports.contains(name))
            ports << name;
    }
    for (const QString &path : extraPorts.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        if (!ports.contains(path))
            ports << path;
    }
    return ports;
}

void DeviceInterface::enumeratePorts()
{
    qDebug().noquote() << "\n------------------Start ports enumeration-----------------\n";
    QStringList systemPorts;
    const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos)
        systemPorts << info.portName();
    m_portNames = portListWith(systemPorts, qEnvironmentVariable("ZEMO_EXTRA_PORTS"));

    emit setCOMsList(m_portNames);
    emit setBaudList(m_baudList);
    // Another converter plugged in or out while a reader is being talked to (a session, a scan,
    // a remote connection) only renews the lists: the exchange in progress goes on. The link's
    // own converter vanishing is reported by the port's error instead.
    if (m_connection == Connection::SerialLost) {
        // A converter plugged in: perhaps the one a session waits for.
        checkLostPort();
        return;
    }
    if (m_connection != Connection::Closed)
        return;
    emit changeDeviceStatus(0);
    resetAnswerCycle();
}

QString DeviceInterface::portName() const
{
    return m_port->portName();
}

bool DeviceInterface::isPortOpen() const
{
    return m_port->isOpen();
}

void DeviceInterface::setPortName(QString name)
{
    m_port->setPortName(name);
}

void DeviceInterface::setBaudRate(int baud)
{
    m_baudRate = baud;
    m_port->setBaudRate(baud, QSerialPort::AllDirections);
}

void DeviceInterface::setDeviceAddress(QString address)
{
    // Addresses are one byte on the bus and 0 is never a reader's.
    const uint value = address.toUInt();
    m_deviceAddress = (value == 0 || value > 255) ? 1 : quint8(value);
}

void DeviceInterface::setCurrentDevice(int index)
{
    if (m_port->isOpen()) {
        closePort();
        dropConnection();
        emit changeDeviceStatus(0);
    }
    const QString name = m_candidatePorts.value(index);
    m_port->setPortName(name);
    qDebug().noquote() << "Selected device port: " << name;
}

void DeviceInterface::closePort()
{
    if (m_request.active)
        m_abandonClock.start();
    ++m_requestSerial;
    m_port->close();
    m_port->clearError();
    m_receiveBuffer.clear();
    m_receiveOverflow = false;
    m_gatherTimer->stop();
    if (m_connection == Connection::Serial)
        setConnection(Connection::Closed);
}

bool DeviceInterface::togglePort()
{
    if (m_port->isOpen()) {
        closePort();
        dropConnection();
        emit changeDeviceStatus(0);
        return false;
    }
    // The same button gives up a session whose converter is awaited.
    if (m_connection == Connection::SerialLost) {
        abandonLostSession();
        return false;
    }
    // A session through the configuration server (or its login) is the connection: no serial
    // port opens beside it.
    if (m_connection != Connection::Closed) {
        qDebug().noquote() << "/C:12"
                           << "Port not opened: a remote connection is in use";
        return false;
    }
    return openPort();
}

bool DeviceInterface::openPort()
{
    if (!m_port->open(QIODevice::ReadWrite)) {
        qDebug().noquote() << "/C:12"
                           << "Error open Com port: " << m_port->portName();
        return false;
    }
    m_port->setBaudRate(m_baudRate, QSerialPort::AllDirections);
    // Bytes still in the line's buffers belong to an earlier connection (an answer that came
    // after the port was closed): they must not pass for the answer to this one's first request.
    m_port->clear(QSerialPort::AllDirections);
    const bool flushed = m_port->flush();
    qDebug().noquote() << "Port flush: " << flushed;
    qDebug().noquote() << "Port open OK!" << m_port->portName() << " baudrate: " << m_baudRate;
    startBusHealth();
    setConnection(Connection::Serial);
    return true;
}

void DeviceInterface::converterLost()
{
    // The converter is gone (pulled out, or the far end of a pseudo-terminal closed): close the
    // port and make the engineer pick it again; tell them only if a reader was talking. A scan
    // talks to nobody yet: its end is told by the addresses it offers.
    const bool talking = m_connection == Connection::Serial && m_job != Job::Scan;
    const QString name = m_port->portName();
    const bool wait = talking && m_resumeAfterLossMs > 0 && !name.isEmpty();
    if (wait) {
        // No box waits for a click: the session waits for its converter, which the engineer
        // plugs in again, and goes on by itself.
        qDebug().noquote() << "/C:16"
                           << "The converter is gone, waiting for it: " << name;
        m_lostPort = name;
        m_lostClock.start();
        m_lostTimer->start(PortReturnCheckMs);
        setConnection(Connection::SerialLost);
    }
    if (m_port->isOpen())
        closePort();
    m_port->setPortName(QString());
    dropConnection();
    if (wait)
        return;
    if (talking)
        m_prompter.critical(nullptr, tr("Ошибка"),
                            tr("Ошибка обмена данными с портом:\nпреобразователь отключен от ПК"));
    emit changeDeviceStatus(0);
}

void DeviceInterface::errorHandler(QSerialPort::SerialPortError error)
{
    auto clearPort = [this] {
        closePort();
        m_port->setPortName(QString());
        dropConnection();
        emit changeDeviceStatus(0);
    };

    switch (error) {
    case QSerialPort::NoError:
    case QSerialPort::ParityError:
    case QSerialPort::FramingError:
    case QSerialPort::BreakConditionError:
        break;
    case QSerialPort::DeviceNotFoundError: {
        qDebug().noquote() << "Port error: DeviceNotFoundError";
        // Reported when a port that is not there is opened; a port that was open is gone.
        const bool wasOpen = m_port->isOpen();
        closePort();
        if (wasOpen) {
            dropConnection();
            emit changeDeviceStatus(0);
        } else {
            stopAnswerTimer();
        }
        break;
    }
    case QSerialPort::PermissionError: {
        qDebug().noquote() << "Port error: PermissionError";
        const QString name = m_port->portName();
        closePort();
        m_port->setPortName(QString());
        dropConnection();
        m_prompter.critical(nullptr, tr("Ошибка"),
                            deniedToThisUser(name)
                                    ? tr("Нет доступа к порту %1.\nДобавьте пользователя в группу "
                                         "dialout и войдите в систему заново.")
                                              .arg(name)
                                    : tr("Порт занят другой программой.\nЗакройте программу "
                                         "использующую порт и повторите подключение."));
        emit changeDeviceStatus(0);
        break;
    }
    case QSerialPort::OpenError:
        qDebug().noquote() << "Port error: OpenError";
        break;
    case QSerialPort::WriteError:
        qDebug().noquote() << "Port error: WriteError";
        converterLost();
        break;
    case QSerialPort::ReadError:
    case QSerialPort::ResourceError:
        // A converter or pseudo-terminal whose far end vanished reports this over and over while
        // the port stays open: the first one closes the port, later ones find it closed.
        if (!m_port->isOpen())
            break;
        qDebug().noquote() << (error == QSerialPort::ReadError ? "Port error: ReadError"
                                                               : "Port error: ResourceError");
        converterLost();
        break;
    case QSerialPort::UnsupportedOperationError:
        qDebug().noquote() << "Port error: UnsupportedOperationError";
        clearPort();
        break;
    case QSerialPort::UnknownError:
        clearPort();
        break;
    case QSerialPort::TimeoutError:
        qDebug().noquote() << "Port error: TimeoutError";
        break;
    case QSerialPort::NotOpenError:
        qDebug().noquote() << "Port error: NotOpenError";
        break;
    }
}
