#include "configserversim.h"
#include "configservertext.h"
#include "remotedefaults.h"
#include "remoteprotocol.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTcpSocket>
#include <QtTest>

using namespace ConfigServerText;

Q_DECLARE_METATYPE(ConfigServerSim::RelayFault)
Q_DECLARE_METATYPE(ConfigServerSim::LoginReply)

namespace {

const char kImei[] = "356938035643809";
const char kImeiKey[] = "ef9e9b43d16b069fd571ded96b25bb6b";

QByteArray loginJson(const QString &imei, const QString &key, const QString &origin = "configurator")
{
    return QString("{\n    \"imei\": \"%1\",\n    \"magickKey\": \"%2\",\n    \"origin\": \"%3\",\n"
                   "    \"type\": \"config\",\n    \"ver\": \"0.3.3\"\n}\n")
            .arg(imei, key, origin)
            .toUtf8();
}

// The configurator's side: writes text, collects what the server sends.
class Peer
{
public:
    bool connectTo(quint16 port)
    {
        socket.connectToHost(QHostAddress::LocalHost, port);
        return socket.waitForConnected(3000);
    }
    // Sends text and waits for until the received text holds the expected one (or for the
    // whole timeout when nothing is expected); returns what arrived after the send.
    QByteArray say(const QByteArray &text, const QByteArray &until, int timeoutMs = 2000)
    {
        got.clear();
        deliveries.clear();
        if (!text.isEmpty())
            socket.write(text);
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs && (until.isEmpty() || !got.contains(until))) {
            QTest::qWait(2);
            const QByteArray piece = socket.readAll();
            if (!piece.isEmpty()) {
                deliveries.append(piece);
                got += piece;
            }
        }
        return got;
    }
    bool loginAndPass(const QString &password = "0000")
    {
        return say(loginJson(kImei, kImeiKey), "\r\n") == "PING\r\n"
               && say("REMOTE " + password.toUtf8(), "\r\n") == "PASS OK\r\n";
    }

    QTcpSocket socket;
    QByteArray got;
    QList<QByteArray> deliveries;
};

struct Session
{
    Session()
    {
        server.setTerminal(kImei, "0000");
        server.setNoAnswerDelayMs(20);
        SimReaderSettings s; // address 1, firmware 1.3.2, 19200 baud
        server.addReader(s);
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
    void loginCheck_data();
    void loginCheck();
    void cutting_data();
    void cutting();
    void configuratorSide();

    void relaySession();
    void loginOutcomes_data();
    void loginOutcomes();
    void relayFaults_data();
    void relayFaults();
    void terminalBusyAndClose();
    void program();
};

void TestConfigServerSim::loginKey()
{
    QCOMPARE(ConfigServerText::loginKey(kImei), QString(kImeiKey));
    QCOMPARE(ConfigServerText::loginKey(""), QString("d41d8cd98f00b204e9800998ecf8427e"));
    // The configurator computes the same key with the shared mask.
    const QString imeis[] = {"", kImei, "861230043512345", "Ab ЖЯ-1"};
    for (const QString &imei : imeis)
        QCOMPARE(RemoteProtocol::loginKey(imei, kLoginKeyMask), ConfigServerText::loginKey(imei));
}

void TestConfigServerSim::loginCheck_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("valid");
    QTest::newRow("the configurator's login") << loginJson(kImei, kImeiKey) << true;
    QTest::newRow("key of another IMEI") << loginJson("356938035643808", kImeiKey) << false;
    QTest::newRow("upper-case key") << loginJson(kImei, QString(kImeiKey).toUpper()) << false;
    QTest::newRow("other origin") << loginJson(kImei, kImeiKey, "terminal") << false;
    QTest::newRow("no ver") << QByteArray("{\"imei\":\"1\",\"magickKey\":\"x\",\"origin\":"
                                          "\"configurator\",\"type\":\"config\"}")
                            << false;
    QTest::newRow("no JSON") << QByteArray("PONG") << false;
}

void TestConfigServerSim::loginCheck()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, valid);
    const Login login = checkLogin(json);
    QCOMPARE(login.valid, valid);
    QCOMPARE(login.error.isEmpty(), valid);
}

void TestConfigServerSim::cutting_data()
{
    QTest::addColumn<QList<QByteArray>>("deliveries");
    QTest::addColumn<QStringList>("items"); // kind number ':' text
    QTest::addColumn<int>("pending");

    const QByteArray login = loginJson(kImei, kImeiKey);
    QTest::newRow("login") << QList<QByteArray> {login}
                           << QStringList {"0:" + QString(login).trimmed()} << 0;
    QTest::newRow("login in two deliveries") << QList<QByteArray> {login.left(20), login.mid(20)}
                                             << QStringList {"0:" + QString(login).trimmed()} << 0;
    QTest::newRow("pong glued to password")
            << QList<QByteArray> {"PONGREMOTE 1234"} << QStringList {"1:PONG", "2:1234"} << 0;
    QTest::newRow("frame line then pong")
            << QList<QByteArray> {"S485 6,260,2000,9600;AQPcAQDfPONG"}
            << QStringList {"3:S485 6,260,2000,9600;AQPcAQDf", "1:PONG"} << 0;
    QTest::newRow("frame line in pieces")
            << QList<QByteArray> {"S485 7,260,2000,19200;AQTc", "BgAB3g=="}
            << QStringList {"3:S485 7,260,2000,19200;AQTcBgAB3g=="} << 0;
    QTest::newRow("close") << QList<QByteArray> {"socClose"} << QStringList {"4:socClose"} << 0;
    QTest::newRow("console command") << QList<QByteArray> {"0200"} << QStringList {"5:0200"} << 0;
    QTest::newRow("start of a word waits") << QList<QByteArray> {"PO"} << QStringList {} << 2;
    QTest::newRow("frame line without size") << QList<QByteArray> {"S485 x,260;PONG"}
                                             << QStringList {"5:S485 x,260;", "1:PONG"} << 0;
}

void TestConfigServerSim::cutting()
{
    QFETCH(QList<QByteArray>, deliveries);
    QFETCH(QStringList, items);
    QFETCH(int, pending);
    ClientTextCutter cutter;
    QStringList got;
    for (const QByteArray &d : deliveries) {
        for (const ClientItem &item : cutter.feed(d))
            got << QString("%1:%2").arg(item.kind).arg(item.text);
    }
    QCOMPARE(got, items);
    QCOMPARE(cutter.pendingBytes(), pending);
}

// The configurator's own line builder and answer decoder agree with the server.
void TestConfigServerSim::configuratorSide()
{
    FrameLine parsed;
    QVERIFY(parseFrameLine(RemoteProtocol::frameLine(QByteArray::fromHex("0103dc0100df"), 9600),
                           &parsed));
    QCOMPARE(parsed.frame, QByteArray::fromHex("0103dc0100df"));
    QCOMPARE(parsed.speed, 9600);
    QCOMPARE(parsed.waitMs, 2000);
    QVERIFY(!parseFrameLine("S485 5,260,2000,9600;AQPcAQDf", &parsed)); // length differs
    QVERIFY(!parseFrameLine("S485 6,260,2000,9600;AQPc*QDf", &parsed)); // no Base64
    QVERIFY(!parseFrameLine("S485 6,260,9600;AQPcAQDf", &parsed)); // a field missing

    const QByteArray line = answerLine(QByteArray::fromHex("0109dc81000000dc01030289"));
    QCOMPARE(line, QByteArray("S485=12;AQncgQAAANwBAwKJ\r\n"));
    const RemoteProtocol::AnswerLine decoded = RemoteProtocol::decodeAnswerLine(line.trimmed());
    QCOMPARE(decoded.kind, RemoteProtocol::AnswerLine::Frame);
    QCOMPARE(decoded.frame, QByteArray::fromHex("0109dc81000000dc010302"));
    QCOMPARE(RemoteProtocol::decodeAnswerLine("S485=0;").kind, RemoteProtocol::AnswerLine::NoAnswer);
}

void TestConfigServerSim::relaySession()
{
    Session s;
    QVERIFY(s.start());
    QCOMPARE(s.peer.say(loginJson(kImei, kImeiKey), "\r\n"), QByteArray("PING\r\n"));
    // Frames are not passed on before the password.
    QCOMPARE(s.peer.say("S485 6,260,2000,19200;AQPcAQDf", "", 200), QByteArray());
    QCOMPARE(s.peer.say("REMOTE 1111", "\r\n"), QByteArray("PASS FAIL\r\n"));
    QCOMPARE(s.peer.say("REMOTE 0000", "\r\n"), QByteArray("PASS OK\r\n"));
    QCOMPARE(s.peer.say("S485 6,260,2000,19200;AQPcAQDf", "\r\n"),
             QByteArray("S485=12;AQncgQAAANwBAwKJ\r\n"));
    QCOMPARE(s.peer.say("S485 7,260,2000,19200;AQTcBgAB3g==", "\r\n"),
             QByteArray("S485=7;AQTchgAAXw==\r\n"));
    QCOMPARE(s.server.reader(1)->settings().genState, quint8(1));
    // Nobody at address 2, and the reader does not hear another speed.
    QCOMPARE(s.peer.say("S485 6,260,2000,19200;AgPcAQDc", "\r\n"), QByteArray("S485=0;\r\n"));
    QCOMPARE(s.peer.say("S485 6,260,2000,9600;AQPcAQDf", "\r\n"), QByteArray("S485=0;\r\n"));
    // A later PING is answered with PONG and the password, glued together.
    s.server.ping();
    QCOMPARE(s.peer.say("", "\r\n"), QByteArray("PING\r\n"));
    QCOMPARE(s.peer.say("PONGREMOTE 0000", "\r\n"), QByteArray("PASS OK\r\n"));
    QCOMPARE(s.server.received().mid(s.server.received().size() - 2),
             QStringList({"PONG", "REMOTE 0000"}));
    QCOMPARE(s.server.frames().size(), 4); // the one before the password was not relayed

    QSignalSpy gone(&s.server, &ConfigServerSim::clientDisconnected);
    s.peer.socket.write("socClose");
    QTRY_COMPARE(s.peer.socket.state(), QAbstractSocket::UnconnectedState);
    QTRY_COMPARE(gone.count(), 1);
    QCOMPARE(s.server.clientCount(), 0);
}

void TestConfigServerSim::loginOutcomes_data()
{
    QTest::addColumn<ConfigServerSim::LoginReply>("reply");
    QTest::addColumn<QByteArray>("login");
    QTest::addColumn<QByteArray>("answer"); // empty: nothing within the wait

    using R = ConfigServerSim::LoginReply;
    const QByteArray good = loginJson(kImei, kImeiKey);
    QTest::newRow("other terminal")
            << R::Ping << loginJson("12345", ConfigServerText::loginKey("12345"))
            << QByteArray("notRegistred\r\n");
    QTest::newRow("empty IMEI") << R::Ping << loginJson("", "d41d8cd98f00b204e9800998ecf8427e")
                                << QByteArray("notRegistred\r\n");
    QTest::newRow("told: not registered")
            << R::NotRegistered << good << QByteArray("notRegistred\r\n");
    QTest::newRow("told: busy") << R::RegisteredBusy << good << QByteArray("registredBusy\r\n");
    QTest::newRow("told: terminal silent")
            << R::TerminalNotAnswer << good << QByteArray("terminalNotAnswer\r\n");
    QTest::newRow("told: silent") << R::Silent << good << QByteArray();
}

void TestConfigServerSim::loginOutcomes()
{
    QFETCH(ConfigServerSim::LoginReply, reply);
    QFETCH(QByteArray, login);
    QFETCH(QByteArray, answer);
    Session s;
    s.server.setLoginReply(reply);
    QVERIFY(s.start());
    QCOMPARE(s.peer.say(login, answer.isEmpty() ? "" : "\r\n", answer.isEmpty() ? 300 : 2000),
             answer);
    QCOMPARE(s.peer.say("REMOTE 0000", "", 200), QByteArray()); // no terminal to ask
}

void TestConfigServerSim::relayFaults_data()
{
    QTest::addColumn<ConfigServerSim::RelayFault>("fault");
    QTest::addColumn<QByteArray>("answer");
    using F = ConfigServerSim::RelayFault;
    QTest::newRow("no answer") << F::NoAnswer << QByteArray("S485=0;\r\n");
    QTest::newRow("terminal not answering")
            << F::TerminalNotAnswer << QByteArray("terminalNotAnswer\r\n");
    QTest::newRow("silent") << F::Silent << QByteArray();
    QTest::newRow("split") << F::Split << QByteArray("S485=12;AQncgQAAANwBAwKJ\r\n");
    QTest::newRow("damaged") << F::Damaged << QByteArray("damaged");
}

void TestConfigServerSim::relayFaults()
{
    using F = ConfigServerSim::RelayFault;
    QFETCH(ConfigServerSim::RelayFault, fault);
    QFETCH(QByteArray, answer);
    Session s;
    s.server.addRelayFault(fault, 2);
    s.server.setSplitGapMs(80);
    QVERIFY(s.start());
    QVERIFY(s.peer.loginAndPass());
    const QByteArray version = "S485 6,260,2000,19200;AQPcAQDf";
    const QByteArray good = "S485=12;AQncgQAAANwBAwKJ\r\n";
    for (int i = 0; i < 2; ++i) {
        const QByteArray got = s.peer.say(version, answer.isEmpty() ? "" : "\r\n",
                                          answer.isEmpty() ? 300 : 2000);
        if (fault == F::Damaged) {
            QVERIFY2(got.startsWith("S485=12;") && got.endsWith("\r\n") && got != good,
                     got.constData());
            const QByteArray frame = QByteArray::fromBase64(got.mid(8, got.size() - 10));
            quint8 sum = 0;
            for (int b = 0; b < frame.size() - 1; ++b)
                sum ^= quint8(frame.at(b));
            QVERIFY2(sum != quint8(frame.back()), qPrintable(hexBytes(frame)));
        } else {
            QCOMPARE(got, answer);
        }
        if (fault == F::Split) {
            QVERIFY2(s.peer.deliveries.size() >= 2 && !s.peer.deliveries.first().contains('\r'),
                     got.constData());
        }
    }
    // Two lines had the fault; the third is answered as usual.
    QCOMPARE(s.peer.say(version, "\r\n"), good);
}

// A second configurator for a terminal that is already configured gets "registredBusy"; a wrong
// login key ends the connection.
void TestConfigServerSim::terminalBusyAndClose()
{
    Session s;
    QVERIFY(s.start());
    QVERIFY(s.peer.loginAndPass());
    Peer second;
    QVERIFY(second.connectTo(s.server.port()));
    QCOMPARE(second.say(loginJson(kImei, kImeiKey), "\r\n"), QByteArray("registredBusy\r\n"));

    Peer forger;
    QVERIFY(forger.connectTo(s.server.port()));
    forger.socket.write(loginJson(kImei, QString(32, 'a')));
    QTRY_COMPARE(forger.socket.state(), QAbstractSocket::UnconnectedState);

    s.server.disconnectAll();
    QTRY_COMPARE(s.peer.socket.state(), QAbstractSocket::UnconnectedState);
}

void TestConfigServerSim::program()
{
    QProcess server;
    server.start(toolBuildPath("zemo-config-server-sim"),
                 {"--port", "0", "--password", "4321", "--reader", "address=1,fw=1.3.2,speed=19200",
                  "--fault", "noanswer:1"});
    QVERIFY2(server.waitForStarted(), qPrintable(server.errorString()));
    QByteArray out;
    const QByteArray banner = "Configuration server double on 127.0.0.1:";
    QTRY_VERIFY_WITH_TIMEOUT((out += server.readAllStandardOutput()).contains("\n  reader at"),
                             5000);
    const int at = out.indexOf(banner);
    QVERIFY2(at >= 0, out.constData());
    const quint16 port = quint16(
            out.mid(at + banner.size(), out.indexOf('\n', at) - at - banner.size()).toUInt());
    QVERIFY(port > 0);

    Peer peer;
    QVERIFY(peer.connectTo(port));
    QVERIFY(peer.loginAndPass("4321"));
    QCOMPARE(peer.say("S485 6,260,2000,19200;AQPcAQDf", "\r\n", 4000), QByteArray("S485=0;\r\n"));
    QCOMPARE(peer.say("S485 6,260,2000,19200;AQPcAQDf", "\r\n"),
             QByteArray("S485=12;AQncgQAAANwBAwKJ\r\n"));

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
