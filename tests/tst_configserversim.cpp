// The configuration server double on its own: login key, the relay to the simulated readers
// and the program. Its refusals, text cutting and faults as the configurator meets them are
// shown by the remote configuration tests.
#include "configserversim.h"
#include "configservertext.h"
#include "remotedefaults.h"
#include "remoteprotocol.h"
#include "testsupport.h"

#include <QProcess>
#include <QTcpSocket>
#include <QtTest>

using namespace ConfigServerText;

namespace {

const char kImei[] = "356938035643809";
const char kImeiKey[] = "ef9e9b43d16b069fd571ded96b25bb6b";
const QByteArray kVersionLine = "S485 6,260,2000,19200;AQPcAQDf"; // 01 03 dc 01 00 df
const QByteArray kVersionAnswer = "S485=12;AQncgQAAANwBAwKJ\r\n"; // 01 09 dc 81 ... 89

QByteArray loginJson(const QString &imei, const QString &key)
{
    return QString("{\n    \"imei\": \"%1\",\n    \"magickKey\": \"%2\",\n    \"origin\": "
                   "\"configurator\",\n    \"type\": \"config\",\n    \"ver\": \"0.3.3\"\n}\n")
            .arg(imei, key)
            .toUtf8();
}

// The configurator's side: writes text, collects what the server sends.
struct Peer
{
    bool connectTo(quint16 port)
    {
        socket.connectToHost(QHostAddress::LocalHost, port);
        return socket.waitForConnected(3000);
    }
    // Sends text and returns what arrives until a whole line is there, or for 300 ms when no
    // line is expected.
    QByteArray say(const QByteArray &text, bool line = true, int timeoutMs = 2000)
    {
        socket.write(text);
        QByteArray got;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < (line ? timeoutMs : 300) && !(line && got.endsWith("\r\n"))) {
            QTest::qWait(2);
            got += socket.readAll();
        }
        return got;
    }
    bool loginAndPass(const QByteArray &password = "0000")
    {
        return say(loginJson(kImei, kImeiKey)) == "PING\r\n"
               && say("REMOTE " + password) == "PASS OK\r\n";
    }
    QTcpSocket socket;
};

// The double with one terminal whose bus holds a reader at address 1, 19200 baud.
struct Session
{
    Session()
    {
        server.setTerminal(kImei, "0000");
        server.setNoAnswerDelayMs(20);
        server.addReader(SimReaderSettings());
    }
    bool start() { return server.listen() && peer.connectTo(server.port()); }
    ConfigServerSim server;
    Peer peer;
};

} // namespace

class TestConfigServerSim : public QObject
{
    Q_OBJECT
private slots:
    void loginKey();
    void relaySession();
    void program();
};

void TestConfigServerSim::loginKey()
{
    QCOMPARE(ConfigServerText::loginKey(kImei), QString(kImeiKey));
    QCOMPARE(ConfigServerText::loginKey(""), QString("d41d8cd98f00b204e9800998ecf8427e"));
    // The configurator computes the same key with the shared mask.
    for (const QString &imei : {QString(), QString(kImei), QString("Ab ЖЯ-1")})
        QCOMPARE(RemoteProtocol::loginKey(imei, kLoginKeyMask), ConfigServerText::loginKey(imei));
}

void TestConfigServerSim::relaySession()
{
    Session s;
    QVERIFY(s.start());
    QCOMPARE(s.peer.say(loginJson(kImei, kImeiKey)), QByteArray("PING\r\n"));
    // Frames are not passed on before the password.
    QCOMPARE(s.peer.say(kVersionLine, false), QByteArray());
    QCOMPARE(s.peer.say("REMOTE 1111"), QByteArray("PASS FAIL\r\n"));
    QCOMPARE(s.peer.say("REMOTE 0000"), QByteArray("PASS OK\r\n"));
    QCOMPARE(s.peer.say(kVersionLine), kVersionAnswer);
    QCOMPARE(s.peer.say("S485 7,260,2000,19200;AQTcBgAB3g=="),
             QByteArray("S485=7;AQTchgAAXw==\r\n"));
    QCOMPARE(s.server.reader(1)->settings().genState, quint8(1));
    // Nobody at address 2, and the reader does not hear another speed.
    QCOMPARE(s.peer.say("S485 6,260,2000,19200;AgPcAQDc"), QByteArray("S485=0;\r\n"));
    QCOMPARE(s.peer.say("S485 6,260,2000,9600;AQPcAQDf"), QByteArray("S485=0;\r\n"));
    // A later PING is answered with PONG and the password, glued together.
    s.server.ping();
    QCOMPARE(s.peer.say(""), QByteArray("PING\r\n"));
    QCOMPARE(s.peer.say("PONGREMOTE 0000"), QByteArray("PASS OK\r\n"));
    QCOMPARE(s.server.received().mid(s.server.received().size() - 2),
             QStringList({"PONG", "REMOTE 0000"}));
    QCOMPARE(s.server.frames().size(), 4); // the one before the password was not relayed

    QSignalSpy gone(&s.server, &ConfigServerSim::clientDisconnected);
    s.peer.socket.write("socClose");
    QTRY_COMPARE(s.peer.socket.state(), QAbstractSocket::UnconnectedState);
    QTRY_COMPARE(gone.count(), 1);
    QCOMPARE(s.server.clientCount(), 0);
}

void TestConfigServerSim::program()
{
    QProcess server;
    server.start(toolBuildPath("zemo-config-server-sim"),
                 {"--port", "0", "--password", "4321", "--reader", "address=1,fw=1.3.2,speed=19200",
                  "--fault", "noanswer:1"});
    QByteArray out;
    const QByteArray banner = "Configuration server double on 127.0.0.1:";
    QTRY_VERIFY_WITH_TIMEOUT((out += server.readAllStandardOutput()).contains("\n  reader at"),
                             5000);
    const int at = out.indexOf(banner) + banner.size();
    const quint16 port = quint16(out.mid(at, out.indexOf('\n', at) - at).toUInt());
    QVERIFY2(port > 0, out.constData());

    Peer peer;
    QVERIFY(peer.connectTo(port));
    QVERIFY(peer.loginAndPass("4321"));
    QCOMPARE(peer.say(kVersionLine, true, 4000), QByteArray("S485=0;\r\n"));
    QCOMPARE(peer.say(kVersionLine), kVersionAnswer);
    server.terminate();
    QVERIFY(server.waitForFinished(5000));
    QCOMPARE(server.exitCode(), 0);

    QProcess bad;
    bad.start(toolBuildPath("zemo-config-server-sim"), {"--fault", "sometimes"});
    QVERIFY(bad.waitForFinished(5000));
    QCOMPARE(bad.exitCode(), 2);
}

QTEST_GUILESS_MAIN(TestConfigServerSim)
#include "tst_configserversim.moc"
