#pragma once

#include "configservertext.h"
#include "simreadergroup.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <memory>
#include <vector>

class QTcpServer;
class QTcpSocket;

// A configuration server on 127.0.0.1 with one terminal whose RS-485 bus holds simulated
// readers. A configurator logs in with the terminal's IMEI and key, is greeted with "PING",
// proves the password ("PASS OK" / "PASS FAIL"), and then each "S485 " line's frame goes to the
// readers; the answer comes back as "S485=N;BASE64". Faults can be switched on to see how the
// configurator copes.
class ConfigServerSim : public QObject
{
    Q_OBJECT
public:
    // What a valid login is answered with.
    enum class LoginReply {
        Ping, // "PING", or "notRegistred"/"registredBusy" as the terminal's state says
        NotRegistered, // "notRegistred" whatever the IMEI
        RegisteredBusy, // "registredBusy"
        TerminalNotAnswer, // "terminalNotAnswer"
        Silent // nothing at all
    };
    // What happens to a frame line instead of the reader's answer.
    enum class RelayFault {
        None,
        NoAnswer, // "S485=0;"
        Damaged, // the reader's answer with one byte changed, so its checksum is wrong
        Split, // the answer line in two deliveries with splitGapMs between them
        TerminalNotAnswer, // "terminalNotAnswer"
        Silent // no line at all
    };

    explicit ConfigServerSim(QObject *parent = nullptr);
    ~ConfigServerSim() override;

    bool listen(quint16 port = 0, const QHostAddress &address = QHostAddress::LocalHost);
    quint16 port() const;
    QString errorString() const { return m_error; }
    void close();

    // The terminal: an empty IMEI accepts any non-empty IMEI.
    void setTerminal(const QString &imei, const QString &password);
    QString password() const { return m_password; }
    QString imei() const { return m_imei; }

    SimReader *addReader(const SimReaderSettings &settings);
    SimReader *reader(quint8 address) const;
    QList<SimReader *> readers() const;
    // Readers answer only at the speed named in the frame line, unless this is on.
    void setIgnoreSpeed(bool ignore) { m_ignoreSpeed = ignore; }

    void setLoginReply(LoginReply reply) { m_loginReply = reply; }
    // The next count frame lines get the fault (after those queued before); count < 0: every
    // line from then on.
    void addRelayFault(RelayFault fault, int count = 1);
    void clearRelayFaults();
    // Delay of "S485=0;" when no reader answers; below 0 the wait the frame line names.
    void setNoAnswerDelayMs(int ms) { m_noAnswerDelayMs = ms; }
    void setSplitGapMs(int ms) { m_splitGapMs = ms; }

    // Text to every connected configurator, as it is (add "\r\n" for a line).
    void sendToAll(const QByteArray &text);
    // "PING" to every logged-in configurator.
    void ping();
    void disconnectAll();

    int clientCount() const { return m_clients.size(); }
    // Everything the configurators said, one item each ("PONG", "REMOTE 1234", "S485 ...",
    // the login JSON), and the request frames relayed to the bus.
    QStringList received() const { return m_received; }
    QList<QByteArray> frames() const { return m_frames; }
    void clearReceived();

signals:
    void itemReceived(const QString &text);
    void lineSent(const QByteArray &line);
    void loginChecked(const QString &imei, bool valid, const QString &error);
    void clientDisconnected();

private:
    struct Client
    {
        QPointer<QTcpSocket> socket;
        ConfigServerText::ClientTextCutter cutter;
        bool loggedIn = false;
        bool greeted = false; // "PING" sent: the terminal is there
        bool passed = false; // the password was accepted
        QString imei;
    };

    void acceptClients();
    void readClient(Client *client);
    void handleItem(Client *client, const ConfigServerText::ClientItem &item);
    void handleLogin(Client *client, const QByteArray &json);
    void relay(Client *client, const QString &line);
    RelayFault takeFault();
    void send(Client *client, const QByteArray &line, int delayMs = 0, bool split = false);
    void dropClient(QTcpSocket *socket);
    Client *clientOf(QTcpSocket *socket);

    QTcpServer *m_server = nullptr;
    QString m_error;
    QString m_imei;
    QString m_password = "0000";
    LoginReply m_loginReply = LoginReply::Ping;
    QList<QPair<RelayFault, int>> m_faults;
    int m_noAnswerDelayMs = -1;
    int m_splitGapMs = 50;
    bool m_ignoreSpeed = false;
    QElapsedTimer m_clock;
    std::vector<std::unique_ptr<Client>> m_clients;
    SimReaderGroup m_readers;
    QStringList m_received;
    QList<QByteArray> m_frames;
};
