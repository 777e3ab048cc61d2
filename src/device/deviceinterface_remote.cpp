#include "deviceinterface.h"

#include "commands220.h"
#include "frame220.h"

#include "packparser.h"
#include "remotedefaults.h"
#include "remoteprotocol.h"
#include "settings.h"

#include <QDebug>
#include <QTcpSocket>
#include <QTimer>

// Remote configuration through the configuration server: a JSON login naming the terminal,
// then command frames tunnelled as "S485 " text lines, answers coming back as Base64 text.

namespace {
constexpr int kConnectTimeoutMs = 10000;
// A server that has not read what the link wrote for this long reads nothing: the session ends.
constexpr int kUnreadLimitMs = 10000;
// Two empty (or damaged) answers in a row are resent; the third ends the connection.
constexpr int kMaxEmptyAnswers = 2;
} // namespace

void DeviceInterface::connectToServer(QString imei, QString password)
{
    // One connection at a time: a serial one ends, a login or session through the server is
    // replaced.
    disconnectDevice();
    if (m_socket) {
        // A socket of an earlier attempt must no longer reach the link.
        m_socket->disconnect(this);
        m_socket->abort();
        m_socket->deleteLater();
        m_socket = nullptr;
        m_connectTimer->stop();
        dropConnection();
        setConnection(Connection::Closed);
    }

    const RemoteProtocol::ServerAddress server
            = !m_serverOverride.host.isEmpty()
                      ? m_serverOverride
                      : RemoteProtocol::serverAddress(readSetting(QStringLiteral("UpdateServer"),
                                                                  QStringLiteral("IP")),
                                                      readSetting(QStringLiteral("UpdateServer"),
                                                                  QStringLiteral("Port")));
    m_serverHost = server.host;
    m_serverPort = server.port;
    m_loginImei = imei;
    m_terminalPassword = password;
    m_pingSeen = false;
    // Each connection starts afresh: empty answers of an earlier one do not count against it.
    m_emptyAnswerCount = 0;
    m_lineCollector.clear();

    m_socket = new QTcpSocket(this);
    m_socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    // The server may answer while the login is still being written, so the receive path is in
    // place first.
    connect(m_socket, &QTcpSocket::readyRead, this, &DeviceInterface::readComPortData);
    connect(m_socket, &QTcpSocket::connected, this, &DeviceInterface::serverConnected);
    connect(m_socket, &QTcpSocket::disconnected, this, &DeviceInterface::disconnectedRemoteCfg);
    connect(m_socket, &QAbstractSocket::errorOccurred, this, [this] {
        // Only a connection that never came up ends here; a session that breaks ends with
        // disconnected().
        if (m_socket && m_socket->state() != QAbstractSocket::ConnectedState
            && m_connectTimer->isActive())
            serverNotReached(m_socket->errorString());
    });
    // The window stays responsive while the server is reached: the login is pending until the
    // server has taken the password (or 10 s have passed without a connection).
    setConnection(Connection::RemoteLoginPending);
    m_connectTimer->start(kConnectTimeoutMs);
    m_socket->connectToHost(server.host, server.port, QIODevice::ReadWrite,
                            QAbstractSocket::AnyIPProtocol);
}

void DeviceInterface::serverConnected()
{
    m_connectTimer->stop();
    // Connected sockets are open both ways already; opening them again would drop their buffers.
    if ((m_socket->openMode() & QIODevice::ReadWrite) != QIODevice::ReadWrite) {
        qDebug().noquote() << "/C:12"
                           << "REMOTE CONFIG SERVER NOT AVAILABLE!!!";
        emit changeDeviceStatus(19);
        m_socket->disconnectFromHost();
        return;
    }
    startBusHealth();
    m_unreadClock.invalidate();
    // A server that took the connection lets the terminal in (PING, the password, PASS OK)
    // within this time, or the login is given up.
    m_loginTimer->start(m_loginTimeoutMs);
    m_socket->write(RemoteProtocol::loginMessage(m_loginImei, calcMKey(m_loginImei),
                                                 m_softwareVersion));
}

void DeviceInterface::serverNotReached(const QString &why)
{
    m_connectTimer->stop();
    qDebug().noquote() << "/C:12"
                       << QStringLiteral("Remote config server %1:%2 not reached: %3")
                                  .arg(m_serverHost)
                                  .arg(m_serverPort)
                                  .arg(why);
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        m_socket->deleteLater();
        m_socket = nullptr;
    }
    m_lineCollector.clear();
    dropConnection();
    setConnection(Connection::Closed);
    emit remoteServerUnreachable();
}

void DeviceInterface::setServerAddress(const QString &host, quint16 port)
{
    m_serverOverride = {host, port};
}

QString DeviceInterface::calcMKey(QString imei)
{
    return RemoteProtocol::loginKey(imei, kLoginKeyMask);
}

QString DeviceInterface::shownLine(const QString &line)
{
    // The terminal's password is the engineer's secret: the console, the log and the command
    // log see that it was sent, not what it is.
    const QString prefix = RemoteProtocol::passwordLine(QString());
    if (line.startsWith(prefix))
        return prefix + QStringLiteral("******");
    return line;
}

bool DeviceInterface::writeCommand(QString line)
{
    const QString shown = shownLine(line);
    emit printToTerminal(trafficLine(tr("<font color=blue>&gt; </font>") + shown.toHtmlEscaped(),
                                     QTime::currentTime()));
    if (!isRemoteMode() || !m_socket || m_socket->state() != QAbstractSocket::ConnectedState)
        return false;
    // A server that does not read what it is sent would make the link buffer without end.
    if (m_socket->bytesToWrite() > MaxUnwrittenToServer) {
        qDebug().noquote() << "/C:12"
                           << "The configuration server reads nothing, "
                           << m_socket->bytesToWrite() << " bytes unwritten: session ended";
        m_socket->abort();
        return false;
    }
    m_socket->write(line.toUtf8());
    appendToCommandLog(shown);
    return true;
}

void DeviceInterface::sendRemoteFrame(const QByteArray &frame)
{
    if (!writeCommand(RemoteProtocol::frameLine(frame, m_baudRate))) {
        // The frame never reached the server: the session is over.
        qDebug().noquote() << "/C:12"
                           << "Frame not sent to the configuration server";
        closeRemoteConnection();
        return;
    }
    m_answerTimer->start(RemoteTimeoutMs);
    // Through the server the answer time is the whole way there and back.
    m_health.requestSent();
    m_requestClock.start();
    m_requestWireUs = 0;
}

void DeviceInterface::readComPortData()
{
    // Serves the remote socket only; for the serial port there is nothing to do.
    m_receivedText.clear();
    auto *socket = qobject_cast<QTcpSocket *>(sender());
    if (!m_socket || (socket && socket != m_socket) || !isRemoteMode())
        return;

    qDebug().noquote() << "/C:15"
                       << "Socket bytes available: " << m_socket->bytesAvailable();
    // TCP keeps no line boundaries: text is collected until its CR arrives.
    const RemoteProtocol::LineCollector::Result collected = m_lineCollector.append(
            m_socket->readAll());
    if (collected.droppedBytes > 0) {
        qDebug().noquote() << "/C:12"
                           << "Server text without line end dropped, bytes: "
                           << collected.droppedBytes;
    }
    // A delivery of many "PING" lines is answered once: the server that floods gets one "PONG"
    // and one password, not one per line.
    m_pingAnswered = false;
    for (const QString &line : collected.lines) {
        // A reaction may end the connection; what follows it is no longer for this link.
        if (!isRemoteMode())
            break;
        handleServerLine(line);
    }
    m_receivedText.clear();
}

void DeviceInterface::handleServerLine(const QString &line)
{
    // The answer timer runs on: only a line that answers the frame in flight (through its
    // handler), an empty answer, a damaged one or a text that ends the session stops it.
    m_receivedText = line;
    qDebug().noquote() << "/C:10"
                       << "Answer: " << line;
    qDebug().noquote() << "!";

    using RemoteProtocol::ServerText;
    const QVector<ServerText> reactions = RemoteProtocol::serverTexts(line);
    for (ServerText reaction : reactions) {
        if (!isRemoteMode())
            return;
        const QString logLine = RemoteProtocol::serverTextLog(reaction);
        if (!logLine.isEmpty())
            qDebug().noquote() << logLine;
        switch (reaction) {
        case ServerText::Ping:
            // The first "PING" of a connection only asks for the password; later ones also
            // want a "PONG". One answer at a time: while the last one is not yet written, a
            // flood of "PING" gets nothing more.
            if (m_pingAnswered || m_socket->bytesToWrite() > 0) {
                qDebug().noquote() << "PING not answered: the last answer is not written yet";
                if (m_socket->bytesToWrite() > 0) {
                    if (!m_unreadClock.isValid()) {
                        m_unreadClock.start();
                    } else if (m_unreadClock.elapsed() > kUnreadLimitMs) {
                        qDebug().noquote() << "/C:12"
                                           << "The configuration server reads nothing: session "
                                              "ended";
                        m_socket->abort();
                        return;
                    }
                }
                break;
            }
            m_unreadClock.invalidate();
            m_pingAnswered = true;
            if (m_pingSeen)
                writeCommand(QString::fromLatin1(RemoteProtocol::kPong));
            m_pingSeen = true;
            writeCommand(RemoteProtocol::passwordLine(m_terminalPassword));
            break;
        case ServerText::PassOk:
            // The password opens the session and its read; a later "PASS OK" (after each
            // "PING") reads again only when nothing else runs on the bus.
            if (m_connection == Connection::RemoteLoginPending) {
                m_loginTimer->stop();
                setConnection(Connection::Remote);
                readConfiguration_220();
            } else {
                startJob(Job::Read, [this] { beginRead(); }, {}, WhenBusy::Refuse);
            }
            break;
        case ServerText::Answer:
            handleRemoteAnswer(line);
            break;
        case ServerText::PassFail:
            // The engineer is told, and tries again from the login dialog: a connection
            // without a password leads nowhere.
            emit authenticationFail();
            closeRemoteConnection();
            break;
        case ServerText::NotRegistered:
            emit changeDeviceStatus(16);
            closeRemoteConnection();
            break;
        case ServerText::RegisteredBusy:
            emit changeDeviceStatus(18);
            closeRemoteConnection();
            break;
        case ServerText::TerminalNotAnswer:
            emit changeDeviceStatus(6);
            closeRemoteConnection();
            break;
        }
    }
}

void DeviceInterface::handleRemoteAnswer(const QString &line)
{
    const RemoteProtocol::AnswerLine answer = RemoteProtocol::decodeAnswerLine(line);
    QString shown = tr("<font color=green>&lt; </font>") + line.toHtmlEscaped();
    if (answer.kind == RemoteProtocol::AnswerLine::BadData)
        markDamaged(&shown);
    emit printToTerminal(trafficLine(shown, QTime::currentTime()));
    if (!m_request.active) {
        qDebug().noquote() << "/C:12"
                           << "Server answer without a frame in flight, ignored";
        return;
    }
    if (answer.kind == RemoteProtocol::AnswerLine::NoAnswer) {
        // The terminal waited for the reader in vain: a time-out on its bus.
        const bool resend = m_emptyAnswerCount++ < kMaxEmptyAnswers;
        if (resend)
            m_health.resent();
        noteTimeout(0);
        if (resend) {
            sendCommand_220(m_prevCmd, m_prevData);
        } else {
            emit changeDeviceStatus(17);
            closeRemoteConnection();
        }
        return;
    }

    qDebug().noquote() << "S485";
    if (answer.kind == RemoteProtocol::AnswerLine::BadData) {
        qDebug().noquote() << "BAD DATA!";
        m_health.checksumFailed();
        // A damaged answer counts as an empty one: a reader or a line that spoils every answer
        // would otherwise be asked again without end.
        if (m_emptyAnswerCount++ >= kMaxEmptyAnswers) {
            reportBusHealth();
            emit changeDeviceStatus(17);
            closeRemoteConnection();
            return;
        }
        m_health.resent();
        reportBusHealth();
        sendCommand_220(m_prevCmd, m_prevData);
        return;
    }
    m_emptyAnswerCount = 0;
    quint8 address = 0;
    quint16 code = 0;
    const bool hasHeader = Frame220::answerHeader(answer.frame, &address, &code);
    if (!hasHeader || !answersRequest(address, code)) {
        qDebug().noquote() << "/C:12"
                           << QStringLiteral("Answer %1 from address %2 answers no frame in "
                                             "flight, ignored")
                                      .arg(code, 4, 16, QLatin1Char('0'))
                                      .arg(address);
        if (hasHeader && address != m_request.address) {
            m_health.answerFromOtherAddress();
            reportBusHealth();
        }
        return;
    }
    m_checkedAnswerMs = int(m_requestClock.elapsed());
    // Checked here already; the parser emits the records exactly as for a serial answer, and
    // in this thread, so the read and write sequences go on at once. A frame it cannot decode
    // leaves the answer timer running.
    m_request.answered = true;
    m_parser->decodeAnswer(answer.frame);
    m_checkedAnswerMs = -1;
}

void DeviceInterface::closeRemoteConnection()
{
    qDebug().noquote() << "Disconnecting from remote config server!";
    if (!isRemoteMode() || !m_socket)
        return;
    if (m_socket->state() != QAbstractSocket::ConnectedState) {
        // Still reaching the server: the attempt is given up.
        m_connectTimer->stop();
        m_socket->disconnect(this);
        m_socket->abort();
        m_socket->deleteLater();
        m_socket = nullptr;
        disconnectedRemoteCfg();
        return;
    }
    // A server that reads nothing would keep "socClose" and the session: it ends at once.
    if (m_socket->bytesToWrite() > MaxUnwrittenToServer) {
        m_socket->abort();
        return;
    }
    m_socket->write(RemoteProtocol::kCloseLine);
    // Closing waits for "socClose" to be written; disconnected() then ends the session.
    m_socket->disconnectFromHost();
}

void DeviceInterface::disconnectedRemoteCfg()
{
    qDebug().noquote() << "/C:16"
                       << "Remote server disconnected!";
    m_connectTimer->stop();
    m_loginTimer->stop();
    m_lineCollector.clear();
    const Connection was = m_connection;
    setConnection(Connection::Closed);
    dropConnection();
    if (was != Connection::Closed)
        emit changeDeviceStatus(0);
}

void DeviceInterface::disconnectDevice()
{
    qDebug().noquote() << "/C:16"
                       << "Disconnecting device after error...";
    m_port->clearError();
    const bool wasOpen = m_port->isOpen();
    if (wasOpen)
        closePort();
    // The port's name stays: the window hands the port it shows to the link before each
    // connection, and a later serial connection must not fail for a name cleared here.
    if (wasOpen)
        dropConnection();
    // A window that showed the serial connection must not go on showing it.
    if (wasOpen)
        emit changeDeviceStatus(0);
}

void DeviceInterface::authenticationDevice(QString password)
{
    m_terminalPassword = password;
    if (isRemoteMode())
        writeCommand(RemoteProtocol::passwordLine(m_terminalPassword));
}
