#include "configserversim.h"

#include <QDebug>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

using namespace ConfigServerText;

ConfigServerSim::ConfigServerSim(QObject *parent)
    : QObject(parent)
{
    m_clock.start();
}

ConfigServerSim::~ConfigServerSim()
{
    close();
}

bool ConfigServerSim::listen(quint16 port, const QHostAddress &address)
{
    close();
    m_server = new QTcpServer(this);
    connect(m_server, &QTcpServer::newConnection, this, &ConfigServerSim::acceptClients);
    if (!m_server->listen(address, port)) {
        m_error = m_server->errorString();
        delete m_server;
        m_server = nullptr;
        return false;
    }
    return true;
}

quint16 ConfigServerSim::port() const
{
    return m_server ? m_server->serverPort() : 0;
}

void ConfigServerSim::close()
{
    for (const auto &client : m_clients) {
        if (client->socket) {
            client->socket->disconnect(this);
            client->socket->abort();
            client->socket->deleteLater();
        }
    }
    m_clients.clear();
    delete m_server;
    m_server = nullptr;
}

void ConfigServerSim::setTerminal(const QString &imei, const QString &password)
{
    m_imei = imei;
    m_password = password;
}

SimReader *ConfigServerSim::addReader(const SimReaderSettings &settings)
{
    return m_readers.add(settings, m_clock.elapsed());
}

SimReader *ConfigServerSim::reader(quint8 address) const
{
    return m_readers.byAddress(address);
}

QList<SimReader *> ConfigServerSim::readers() const
{
    return m_readers.all();
}

void ConfigServerSim::addRelayFault(RelayFault fault, int count)
{
    m_faults.append({fault, count});
}

void ConfigServerSim::clearRelayFaults()
{
    m_faults.clear();
}

void ConfigServerSim::clearReceived()
{
    m_received.clear();
    m_frames.clear();
}

void ConfigServerSim::sendToAll(const QByteArray &text)
{
    for (const auto &client : m_clients)
        send(client.get(), text);
}

void ConfigServerSim::ping()
{
    for (const auto &client : m_clients) {
        if (client->loggedIn)
            send(client.get(), "PING\r\n");
    }
}

void ConfigServerSim::disconnectAll()
{
    // A socket with nothing left to write reports its disconnection at once, which drops its
    // client from the list: take the sockets first.
    QList<QPointer<QTcpSocket>> sockets;
    for (const auto &client : m_clients)
        sockets.append(client->socket);
    for (const QPointer<QTcpSocket> &socket : sockets) {
        if (socket)
            socket->disconnectFromHost();
    }
}

void ConfigServerSim::acceptClients()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        auto client = std::make_unique<Client>();
        client->socket = socket;
        m_clients.push_back(std::move(client));
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            if (Client *client = clientOf(socket))
                readClient(client);
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { dropClient(socket); });
    }
}

ConfigServerSim::Client *ConfigServerSim::clientOf(QTcpSocket *socket)
{
    for (const auto &client : m_clients) {
        if (client->socket == socket)
            return client.get();
    }
    return nullptr;
}

void ConfigServerSim::dropClient(QTcpSocket *socket)
{
    for (auto it = m_clients.begin(); it != m_clients.end(); ++it) {
        if ((*it)->socket == socket) {
            m_clients.erase(it);
            break;
        }
    }
    socket->deleteLater();
    emit clientDisconnected();
}

void ConfigServerSim::readClient(Client *client)
{
    QTcpSocket *socket = client->socket;
    const QList<ClientItem> items = client->cutter.feed(socket->readAll());
    for (const ClientItem &item : items) {
        // A handler may have dropped the client (socClose, a refused login).
        Client *current = clientOf(socket);
        if (!current)
            return;
        handleItem(current, item);
    }
}

void ConfigServerSim::handleItem(Client *client, const ClientItem &item)
{
    const QString text = item.kind == ClientItem::Password ? "REMOTE " + item.text : item.text;
    m_received.append(text);
    emit itemReceived(text);
    switch (item.kind) {
    case ClientItem::Login:
        handleLogin(client, item.text.toUtf8());
        break;
    case ClientItem::Password:
        // The terminal checks the password only once it has been reached.
        if (client->loggedIn && client->greeted) {
            client->passed = item.text == m_password;
            send(client, client->passed ? "PASS OK\r\n" : "PASS FAIL\r\n");
        }
        break;
    case ClientItem::Frame:
        relay(client, item.text);
        break;
    case ClientItem::Close:
        client->socket->disconnectFromHost();
        break;
    case ClientItem::Pong:
    case ClientItem::Other:
        break;
    }
}

void ConfigServerSim::handleLogin(Client *client, const QByteArray &json)
{
    if (client->loggedIn)
        return;
    const Login login = checkLogin(json);
    emit loginChecked(login.imei, login.valid, login.error);
    if (!login.valid) {
        qWarning().noquote() << "Configuration server: login refused:" << login.error;
        client->socket->disconnectFromHost();
        return;
    }
    client->loggedIn = true;
    client->imei = login.imei;
    switch (m_loginReply) {
    case LoginReply::NotRegistered:
        send(client, "notRegistred\r\n");
        return;
    case LoginReply::RegisteredBusy:
        send(client, "registredBusy\r\n");
        return;
    case LoginReply::TerminalNotAnswer:
        send(client, "terminalNotAnswer\r\n");
        return;
    case LoginReply::Silent:
        return;
    case LoginReply::Ping:
        break;
    }
    if (login.imei.isEmpty() || (!m_imei.isEmpty() && login.imei != m_imei)) {
        send(client, "notRegistred\r\n");
        return;
    }
    for (const auto &other : m_clients) {
        if (other.get() != client && other->passed && other->imei == login.imei) {
            send(client, "registredBusy\r\n");
            return;
        }
    }
    client->greeted = true;
    send(client, "PING\r\n");
}

ConfigServerSim::RelayFault ConfigServerSim::takeFault()
{
    if (m_faults.isEmpty())
        return RelayFault::None;
    const RelayFault fault = m_faults.first().first;
    int &left = m_faults.first().second;
    if (left > 0 && --left == 0)
        m_faults.removeFirst();
    return fault;
}

void ConfigServerSim::relay(Client *client, const QString &line)
{
    if (!client->passed)
        return;
    FrameLine frameLine;
    if (!parseFrameLine(line, &frameLine)) {
        qWarning().noquote() << "Configuration server: not a frame line:" << line;
        send(client, "S485=0;\r\n");
        return;
    }
    m_frames.append(frameLine.frame);
    const RelayFault fault = takeFault();
    const int noAnswerDelay = m_noAnswerDelayMs >= 0 ? m_noAnswerDelayMs : frameLine.waitMs;
    switch (fault) {
    case RelayFault::Silent:
        return;
    case RelayFault::TerminalNotAnswer:
        send(client, "terminalNotAnswer\r\n");
        return;
    case RelayFault::NoAnswer:
        send(client, "S485=0;\r\n", noAnswerDelay);
        return;
    default:
        break;
    }

    // Every reader on the bus hears the frame; two answering at once garble each other, as on
    // the wire.
    QByteArray answer;
    int delay = 0;
    const auto answers = m_readers.answer(frameLine.frame, quint32(frameLine.speed), m_ignoreSpeed,
                                          m_clock.elapsed());
    for (const SimReaderGroup::Answer &a : answers) {
        answer += a.frame;
        delay = qMax(delay, a.settings.replyDelayMs);
    }
    const bool split = fault == RelayFault::Split;
    if (answer.isEmpty()) {
        send(client, "S485=0;\r\n", noAnswerDelay, split);
        return;
    }
    if (fault == RelayFault::Damaged)
        answer[answer.size() / 2] = char(answer.at(answer.size() / 2) ^ 0x10);
    send(client, answerLine(answer), delay, split);
}

void ConfigServerSim::send(Client *client, const QByteArray &line, int delayMs, bool split)
{
    const QPointer<QTcpSocket> socket = client->socket;
    const int gap = m_splitGapMs;
    QTimer::singleShot(qMax(0, delayMs), Qt::PreciseTimer, this, [this, socket, line, split, gap] {
        if (!socket || socket->state() != QAbstractSocket::ConnectedState)
            return;
        if (!split || line.size() < 2) {
            socket->write(line);
            emit lineSent(line);
            return;
        }
        const int half = line.size() / 2;
        socket->write(line.left(half));
        socket->flush();
        QTimer::singleShot(gap, Qt::PreciseTimer, this, [this, socket, line, half] {
            if (!socket || socket->state() != QAbstractSocket::ConnectedState)
                return;
            socket->write(line.mid(half));
            emit lineSent(line);
        });
    });
}
