#include "ftpserversim.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

namespace {
const QByteArray kAccount = QByteArrayLiteral("qmvbx");
}

FtpServerSim::FtpServerSim(const QString &folder, QObject *parent)
    : QObject(parent)
    , m_folder(folder)
    , m_server(new QTcpServer(this))
    , m_dataServer(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &FtpServerSim::onNewConnection);
}

bool FtpServerSim::listen(const QHostAddress &address, quint16 port)
{
    return m_server->listen(address, port);
}

quint16 FtpServerSim::port() const
{
    return m_server->serverPort();
}

void FtpServerSim::onNewConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        if (m_control)
            m_control->abort();
        m_control = socket;
        m_pending.clear();
        m_loggedIn = false;
        connect(socket, &QTcpSocket::readyRead, this, &FtpServerSim::onCommand);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        reply("220 update host FTP");
    }
}

void FtpServerSim::reply(const QByteArray &line)
{
    if (m_control)
        m_control->write(line + "\r\n");
}

void FtpServerSim::onCommand()
{
    if (!m_control)
        return;
    m_pending += m_control->readAll();
    int end;
    while ((end = m_pending.indexOf("\r\n")) >= 0) {
        const QByteArray line = m_pending.left(end);
        m_pending.remove(0, end + 2);
        const int blank = line.indexOf(' ');
        const QByteArray verb = (blank < 0 ? line : line.left(blank)).toUpper();
        const QByteArray argument = blank < 0 ? QByteArray() : line.mid(blank + 1);
        QString name = QString::fromUtf8(argument);
        while (name.startsWith(QLatin1Char('/')))
            name.remove(0, 1);
        const QString path = QDir(m_folder).filePath(name);
        const bool file = !name.isEmpty() && !name.contains(QLatin1String(".."))
                          && QFileInfo(path).isFile();

        if (verb == "USER") {
            m_user = argument;
            reply("331 Password required");
        } else if (verb == "PASS") {
            m_loggedIn = m_user == kAccount && argument == kAccount;
            reply(m_loggedIn ? "230 Logged in" : "530 Login incorrect");
        } else if (verb == "QUIT") {
            reply("221 Bye");
            m_control->disconnectFromHost();
            return;
        } else if (!m_loggedIn) {
            reply("530 Not logged in");
        } else if (verb == "HELP") {
            reply("214-The following commands are recognized:\r\n SIZE MDTM PASV EPSV RETR TYPE\r\n"
                  "214 Help OK");
        } else if (verb == "SYST") {
            reply("215 UNIX Type: L8");
        } else if (verb == "PWD") {
            reply("257 \"/\"");
        } else if (verb == "TYPE" || verb == "NOOP" || verb == "MODE" || verb == "STRU") {
            reply("200 OK");
        } else if (verb == "CWD") {
            reply("250 OK");
        } else if (verb == "SIZE") {
            reply(file ? "213 " + QByteArray::number(QFileInfo(path).size() + kBodyOffset)
                       : QByteArray("550 No such file"));
        } else if (verb == "MDTM") {
            reply(file ? QByteArray("213 19800101000000") : QByteArray("550 No such file"));
        } else if (verb == "PASV" || verb == "EPSV") {
            openPassive(verb == "EPSV");
        } else if (verb == "RETR") {
            if (!file) {
                reply("550 No such file");
                continue;
            }
            QFile source(path);
            source.open(QIODevice::ReadOnly);
            // The update host's own block comes first.
            const QByteArray body = QByteArray(kBodyOffset, '#') + source.readAll();
            ++m_downloads;
            reply("150 Opening BINARY mode data connection");
            emit downloadStarted(name);
            QTimer::singleShot(dataDelayMs, this, [this, body] { sendFile(body); });
        } else {
            reply("502 Not implemented");
        }
    }
}

void FtpServerSim::openPassive(bool extended)
{
    m_dataServer->close();
    if (!m_dataServer->listen(m_control->localAddress(), 0)) {
        reply("425 Cannot open a data connection");
        return;
    }
    const quint16 port = m_dataServer->serverPort();
    if (extended) {
        reply("229 Entering Extended Passive Mode (|||" + QByteArray::number(port) + "|)");
        return;
    }
    const quint32 ip = m_control->localAddress().toIPv4Address();
    reply("227 Entering Passive Mode (" + QByteArray::number(ip >> 24) + ','
          + QByteArray::number((ip >> 16) & 0xFF) + ',' + QByteArray::number((ip >> 8) & 0xFF) + ','
          + QByteArray::number(ip & 0xFF) + ',' + QByteArray::number(port >> 8) + ','
          + QByteArray::number(port & 0xFF) + ")");
}

void FtpServerSim::sendFile(const QByteArray &body)
{
    if (!m_control)
        return;
    // The client connects to the passive port once it has the answer; wait for it.
    if (!m_data) {
        if (!m_dataServer->hasPendingConnections()) {
            auto once = std::make_shared<QMetaObject::Connection>();
            *once = connect(m_dataServer, &QTcpServer::newConnection, this, [this, body, once] {
                disconnect(*once);
                sendFile(body);
            });
            return;
        }
        m_data = m_dataServer->nextPendingConnection();
    }
    m_dataServer->close();
    QTcpSocket *data = m_data;
    m_data = nullptr;
    connect(data, &QTcpSocket::disconnected, data, &QObject::deleteLater);
    if (closeAfterBytes >= 0 && closeAfterBytes < body.size()) {
        // The server goes away in the middle of the file.
        data->write(body.left(closeAfterBytes));
        data->flush();
        data->abort();
        data->deleteLater();
        m_control->abort();
        return;
    }
    data->write(body);
    data->disconnectFromHost();
    reply("226 Transfer complete");
}
