#include "deviceinterface.h"

#include "frame220.h"
#include "packparser.h"

#include <QBuffer>
#include <QDebug>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

DeviceInterface::DeviceInterface(QObject *parent)
    : QObject(parent)
    , m_baudList {"2400", "4800", "9600", "19200", "38400", "57600", "115200"}
{
    registerDeviceRecords();
    qRegisterMetaType<BusHealth>();
    qRegisterMetaType<ReaderStatus>();

    m_port = new QSerialPort(this);
    m_answerTimer = new QTimer(this);
    // Precise: a coarse timer may fire up to 5 % early, which would cut a 50 ms probe short.
    m_answerTimer->setTimerType(Qt::PreciseTimer);
    m_answerTimer->setSingleShot(true);
    connect(m_answerTimer, &QTimer::timeout, this, &DeviceInterface::answerTimeout);
    m_configBuffer = new QBuffer(this);

    m_configDoc = emptyConfigurationDocument();

    connect(m_port, &QSerialPort::errorOccurred, this, &DeviceInterface::errorHandler);
    // The port's bytes go to the answer cycle, the server's text to
    // its own path; each socket is wired when it is made.
    connect(m_port, &QSerialPort::readyRead, this, &DeviceInterface::readPortData);

    // While it runs, no job starts: the line is kept quiet after an abandoned request, or a
    // rebooting reader is waited for. Its end lets the waiting jobs go.
    m_holdTimer = new QTimer(this);
    m_holdTimer->setTimerType(Qt::PreciseTimer);
    m_holdTimer->setSingleShot(true);
    connect(m_holdTimer, &QTimer::timeout, this, [this] {
        startWaitingJob();
        if (isIdle())
            emit busIdle();
    });

    // The gather timer decides where one answer ends (10 or 20 ms of silence): it needs
    // millisecond accuracy, not the coarse default.
    m_gatherTimer = new QTimer(this);
    m_gatherTimer->setTimerType(Qt::PreciseTimer);
    m_gatherTimer->setSingleShot(true);
    connect(m_gatherTimer, &QTimer::timeout, this, &DeviceInterface::addToQue);

    // A lost converter's port is looked for until it is back or the time is up.
    m_lostTimer = new QTimer(this);
    connect(m_lostTimer, &QTimer::timeout, this, &DeviceInterface::checkLostPort);

    // The configuration server must take the connection within 10 s, and let the terminal in
    // within 30 s more.
    m_connectTimer = new QTimer(this);
    m_connectTimer->setSingleShot(true);
    connect(m_connectTimer, &QTimer::timeout, this,
            [this] { serverNotReached(QStringLiteral("no connection within 10 s")); });
    m_loginTimer = new QTimer(this);
    m_loginTimer->setSingleShot(true);
    connect(m_loginTimer, &QTimer::timeout, this, [this] {
        if (m_connection != Connection::RemoteLoginPending)
            return;
        qDebug().noquote() << "/C:12"
                           << "The configuration server did not let the terminal in";
        emit changeDeviceStatus(19);
        closeRemoteConnection();
    });

    m_parser = new PackParser(&m_queue);
    m_parserThread = new QThread(this);
    m_parserThread->setObjectName(QStringLiteral("PackParser"));
    m_parser->moveToThread(m_parserThread);
    connect(m_parserThread, &QThread::started, m_parser, &PackParser::startParser);
    // finished() comes from the parser thread while the GUI thread may be waiting for it in the
    // destructor: quit directly, a queued quit would never be delivered.
    connect(m_parser, &PackParser::finished, m_parserThread, &QThread::quit, Qt::DirectConnection);
    connect(m_parser, &PackParser::finished, m_parser, &QObject::deleteLater, Qt::DirectConnection);
    // Queued like every parser signal, and delivered before the record of the same chunk.
    connect(m_parser, &PackParser::answerChecked, this, &DeviceInterface::answerChecked);
    connect(m_parser, &PackParser::VersionInfoStatus_220, this,
            &DeviceInterface::handlerVersionInfo_220);
    connect(m_parser, &PackParser::RS485_InfoStatus_220, this,
            &DeviceInterface::handlerRS485_Info_220);
    connect(m_parser, &PackParser::InputInfoStatus_220, this,
            &DeviceInterface::handlerInputInfo_220);
    connect(m_parser, &PackParser::OutputInfoStatus_220, this,
            &DeviceInterface::handlerOutputInfo_220);
    connect(m_parser, &PackParser::UpTimeInfoStatus_220, this,
            &DeviceInterface::handlerUpTimeInfo_220);
    connect(m_parser, &PackParser::NextReadCmd, this, &DeviceInterface::NextReadCmd);
    connect(m_parser, &PackParser::answerNotDecoded, this, &DeviceInterface::answerNotDecoded);
    connect(m_parser, &PackParser::rebootAnswer, this, &DeviceInterface::rebootAnswer);
    connect(m_parser, &PackParser::answerWriteParam, this, &DeviceInterface::answerWriteParam);
    connect(m_parser, &PackParser::makeUpdArea, this, &DeviceInterface::makeUpdArea);
    connect(m_parser, &PackParser::answWritePage, this, &DeviceInterface::answWritePage);
    connect(m_parser, &PackParser::checkUpdArea, this, &DeviceInterface::checkUpdArea);
    m_parserThread->start(QThread::InheritPriority);
}

DeviceInterface::~DeviceInterface()
{
    // The parser deletes itself when its loop ends; it must not outlive the queue it reads.
    m_parser->stopParser();
    m_parserThread->wait();
    m_parser = nullptr;

    m_port->disconnect(this);
    // Closing the program ends a connection too.
    endBusHealth();
    if (m_port->isOpen())
        m_port->close();
    delete m_port;
    m_port = nullptr;
    qDebug().noquote() << "Port closed, handle deleted.";

    if (m_socket && m_socket->isOpen()) {
        disconnect(m_socket, &QTcpSocket::disconnected, this,
                   &DeviceInterface::disconnectedRemoteCfg);
        m_socket->close();
        qDebug().noquote() << "Socket closed, handle deleted.";
    }
    if (m_commandLog.isOpen())
        m_commandLog.close();
}

void DeviceInterface::setParserDelayMs(int ms)
{
    m_parser->setDelayPerChunk(ms);
}

void DeviceInterface::setSoftwareVersion(QString version)
{
    m_softwareVersion = version;
}

quint8 DeviceInterface::calcCrcADM20(QByteArray data)
{
    return Frame220::checksum(data);
}
