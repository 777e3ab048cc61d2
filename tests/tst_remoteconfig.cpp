// ctest: slow
// The device link configuring a reader through the configuration server double on 127.0.0.1.
// The server closing in the middle of a read is one of the network fault tests.
#include "configserversim.h"
#include "deviceinterface.h"
#include "linkonbus.h"
#include "settings.h"

#include <QBuffer>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

const char kImei[] = "356938035643809";
const char kPassword[] = "t0p5ecret";
const QString kPasswordLine = QString("REMOTE ") + kPassword;

// The server double with one terminal, pointed at through the settings file, which the link
// reads at every connection. The terminal's bus holds one reader at address 1 with 9600 baud,
// generation on, pull-up off, mode 2. The link is set for that reader, with a firmware whose
// list holds three read commands.
struct Rig
{
    Rig()
    {
        QVERIFY(server.listen());
        server.setTerminal(kImei, kPassword);
        server.setNoAnswerDelayMs(0);
        SimReaderSettings reader = simReader(1, 9600);
        reader.genState = 1;
        reader.genMode = 2;
        server.addReader(reader);
        writeSetting("UpdateServer", "IP", "127.0.0.1");
        writeSetting("UpdateServer", "Port", QString::number(server.port()));
        link.setSoftwareVersion("0.3.3");
        link.setBaudRate(9600);
        link.setDeviceAddress("1");
        const QList<int> commands {0x0301, 0x0603, 0x0500};
        QObject::connect(
                &link, &DeviceInterface::getSupportedCommands, &link,
                [commands] { return commands; }, Qt::DirectConnection);
        QObject::connect(&link, &DeviceInterface::printToTerminal, &link,
                         [this](const QString &line) { console << line; });
    }
    void connectToServer(const QString &password = kPassword)
    {
        link.connectToServer(kImei, password);
    }
    // Connects and reads the reader once; what was said and reported is then forgotten.
    void connectAndRead()
    {
        QSignalSpy read(&link, &DeviceInterface::updateGUI);
        connectToServer();
        QTRY_COMPARE(read.count(), 1);
        server.clearReceived();
        states.clear();
    }
    QString stateCodes() const { return firstArgs(states).join(' '); }
    // What the link said after its login.
    QStringList lines() const { return server.received().mid(1); }
    // The reader frames the server relayed, in hexadecimal.
    QString frames() const
    {
        QStringList texts;
        for (const QByteArray &frame : server.frames())
            texts.append(frame.toHex());
        return texts.join(' ');
    }

    TempProgramDir dir;
    QStringList console; // the lines the link shows in the console
    ConfigServerSim server;
    DeviceInterface link;
    QSignalSpy states {&link, &DeviceInterface::changeDeviceStatus};
    LogCapture logs;
};

// Requests to address 1, checksums worked out by hand.
const QString kReadInfo = "0103dc0100df";

} // namespace

class TestRemoteConfig : public QObject
{
    Q_OBJECT
private slots:
    void readThroughServer();
    void laterPingAnsweredPong();
    void pingFloodAnsweredOnce();
    void silentServerEndsTheLogin();
    void typedTextGoesAsItIs();
    void serverRefusals_data();
    void serverRefusals();
    void emptyAnswers_data();
    void emptyAnswers();
    void damagedAndEmptyAnswersCounted();
    void silenceEndsConnection();
};

// Answer lines in pieces are the line collector's rows.
void TestRemoteConfig::readThroughServer()
{
    Rig rig;
    QSignalSpy logins(&rig.server, &ConfigServerSim::loginChecked);
    QList<QByteArray> documents;
    QObject::connect(&rig.link, &DeviceInterface::updateGUI, &rig.link,
                     [&documents](QBuffer *buffer) { documents.append(buffer->data()); });
    rig.connectToServer();
    QVERIFY(rig.link.isRemoteMode());
    QTRY_COMPARE(documents.size(), 1);

    // The server checks the login object and works out the key on its own.
    QVERIFY2(logins.value(0).value(1).toBool(), qPrintable(logins.value(0).value(2).toString()));
    // The first "PING" asks only for the password; "PASS OK" starts the read with command
    // 0x0100 to address 1 at 9600 baud, then the firmware's list from its last entry to its
    // first, each command once.
    QCOMPARE(rig.lines().mid(0, 2), QStringList({kPasswordLine, "S485 6,260,2000,9600;AQPcAQDf"}));
    QCOMPARE(rig.frames(), kReadInfo + " 0103dc0500db 0103dc0603db 0103dc0301dc");
    QCOMPARE(LinkOnBus::elementsOf(documents.at(0)),
             QStringList({"gen_stat_220=1", "pull_up_220=0", "gen_mode_220=2", "rs485_addr_220=1",
                          "rs485_speed_220=9600"}));
    QCOMPARE(rig.stateCodes(), QString("4"));
    QCOMPARE(rig.logs.count("BAD DATA!"), 0);
    QVERIFY(rig.link.isRemoteMode());
}

// A later "PING" is answered "PONG" before the password goes again. Line ends and lines in
// pieces are the line collector's rows; the first PING's password is the read's.
void TestRemoteConfig::laterPingAnsweredPong()
{
    Rig rig;
    // The server stays quiet after the login: the test speaks for it.
    rig.server.setLoginReply(ConfigServerSim::LoginReply::Silent);
    rig.connectToServer();
    QTRY_COMPARE(rig.server.received().size(), 1);
    for (int i = 0; i < 2; ++i) {
        rig.server.sendToAll("PING\r\n");
        QTest::qWait(100); // each arrives on its own before the next is sent
    }
    const QStringList sent {kPasswordLine, "PONG", kPasswordLine};
    QTRY_COMPARE(rig.lines(), sent);
    QTest::qWait(100);
    QCOMPARE(rig.lines(), sent);
    QCOMPARE(rig.link.connection(), DeviceInterface::Connection::RemoteLoginPending);
    // The console and the log see that the password went, never the password.
    QCOMPARE(rig.console.filter("REMOTE ******").size(), 2);
    QVERIFY2(rig.console.filter(kPassword).isEmpty(), qPrintable(rig.console.join('\n')));
    QCOMPARE(rig.logs.count(kPassword), 0);
}

// A server that sends "PING" faster than the link answers gets one answer for what has come,
// not one per line: the link's writing stays bounded whatever the server sends.
void TestRemoteConfig::pingFloodAnsweredOnce()
{
    Rig rig;
    rig.server.setLoginReply(ConfigServerSim::LoginReply::Silent);
    rig.connectToServer();
    QTRY_COMPARE(rig.server.received().size(), 1);
    rig.server.sendToAll("PING\r\n");
    QTRY_COMPARE(rig.lines(), QStringList {kPasswordLine});
    rig.server.sendToAll(QByteArray("PING\r\n").repeated(5000));
    QTest::qWait(500);
    const int pongs = rig.lines().count("PONG");
    QVERIFY2(pongs >= 1 && pongs <= 5, qPrintable(QString::number(pongs)));
    QCOMPARE(rig.lines().count(kPasswordLine), pongs + 1);
}

// A server that takes the connection and never lets the terminal in: the login ends, told as
// the server's fault, instead of staying pending for ever.
void TestRemoteConfig::silentServerEndsTheLogin()
{
    Rig rig;
    rig.server.setLoginReply(ConfigServerSim::LoginReply::Silent);
    rig.link.setLoginTimeoutMs(400);
    rig.connectToServer();
    QCOMPARE(rig.link.connection(), DeviceInterface::Connection::RemoteLoginPending);
    QTRY_COMPARE(rig.link.connection(), DeviceInterface::Connection::Closed);
    QCOMPARE(rig.stateCodes(), QString("19 0"));
    QVERIFY(rig.logs.contains("The configuration server did not let the terminal in"));
}

// Typed text goes to the terminal as it is, not as a reader frame (a write through the server,
// its reboot and the read after it are the command line's remote row "set"). A password typed
// into the console by hand is sent as typed, and shown and logged as the link's own password
// line is; typed text is text, not markup.
void TestRemoteConfig::typedTextGoesAsItIs()
{
    Rig rig;
    rig.connectAndRead();
    rig.link.sendTerminalCmd("0200");
    QTRY_COMPARE(rig.server.received(), QStringList {"0200"});
    QVERIFY(rig.server.frames().isEmpty());
    QVERIFY(rig.link.isRemoteMode());
    rig.console.clear();
    // Typed lines go without a line end: one at a time, for the server to tell them apart.
    rig.link.sendTerminalCmd("<b>bold</b>");
    QTRY_COMPARE(rig.server.received(), QStringList({"0200", "<b>bold</b>"}));
    rig.link.sendTerminalCmd(kPasswordLine);
    QTRY_COMPARE(rig.server.received().mid(0, 3),
                 QStringList({"0200", "<b>bold</b>", kPasswordLine}));
    QCOMPARE(rig.console.mid(0, 2),
             QStringList({"<font color=blue>&gt; </font>&lt;b&gt;bold&lt;/b&gt;",
                          "<font color=blue>&gt; </font>REMOTE ******"}));
    QVERIFY(!rig.logs.contains(kPassword));
}

void TestRemoteConfig::serverRefusals_data()
{
    QTest::addColumn<int>("reply");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("states");
    QTest::addColumn<QString>("log");
    using R = ConfigServerSim::LoginReply;
    auto row = [](const char *name, R reply, const char *password, const char *states,
                  const char *log) {
        QTest::newRow(name) << int(reply) << password << states << log;
    };
    row("wrong password", R::Ping, "wrong", "0", "PASS FAIL");
    row("terminal unknown", R::NotRegistered, kPassword, "16 0", "notRegistred");
    row("terminal busy", R::RegisteredBusy, kPassword, "18 0", "registredBusy");
    row("terminal silent", R::TerminalNotAnswer, kPassword, "6 0", "terminalNotAnswer");
}

void TestRemoteConfig::serverRefusals()
{
    QFETCH(int, reply);
    QFETCH(QString, password);
    QFETCH(QString, states);
    QFETCH(QString, log);
    Rig rig;
    rig.server.setLoginReply(ConfigServerSim::LoginReply(reply));
    QSignalSpy failed(&rig.link, &DeviceInterface::authenticationFail);
    rig.connectToServer(password);
    QTRY_VERIFY(rig.logs.contains(log));
    QTRY_COMPARE(rig.stateCodes(), states);
    QVERIFY(!rig.link.isRemoteMode());
    QTRY_COMPARE(rig.lines().value(rig.lines().size() - 1), QString("socClose"));
    QVERIFY(rig.logs.contains("Remote server disconnected!"));
    // A wrong password is told once and the session ends: the engineer logs in again.
    QCOMPARE(failed.count(), log == "PASS FAIL" ? 1 : 0);
    QCOMPARE(rig.frames(), QString());
}

void TestRemoteConfig::emptyAnswers_data()
{
    QTest::addColumn<int>("fault");
    QTest::newRow("no answer") << int(ConfigServerSim::RelayFault::NoAnswer);
    // A reader whose every answer comes damaged is not asked without end.
    QTest::newRow("damaged answer") << int(ConfigServerSim::RelayFault::Damaged);
}

void TestRemoteConfig::emptyAnswers()
{
    QFETCH(int, fault);
    Rig rig;
    rig.server.addRelayFault(ConfigServerSim::RelayFault(fault), 3);
    rig.connectToServer();
    // Two resends of the command, then the third empty or damaged answer ends the connection.
    QTRY_COMPARE(rig.stateCodes(), QString("4 17 0"));
    QCOMPARE(rig.frames(), (kReadInfo + " ").repeated(3).trimmed());
    QTRY_COMPARE(rig.lines().last(), QString("socClose"));

    // A new connection counts afresh: its first empty answer is resent, not fatal.
    rig.server.clearReceived();
    rig.states.clear();
    rig.server.addRelayFault(ConfigServerSim::RelayFault(fault), 1);
    rig.connectToServer();
    QTRY_VERIFY(rig.server.frames().size() >= 2);
    QVERIFY(rig.frames().startsWith(kReadInfo + ' ' + kReadInfo));
    QTest::qWait(200);
    QVERIFY(!rig.stateCodes().contains("17"));
    QVERIFY(rig.link.isRemoteMode());
}

// The line's counts through the server: a damaged answer and an empty one, each resent at once.
void TestRemoteConfig::damagedAndEmptyAnswersCounted()
{
    Rig rig;
    rig.server.addRelayFault(ConfigServerSim::RelayFault::Damaged, 1);
    rig.server.addRelayFault(ConfigServerSim::RelayFault::NoAnswer, 1);
    rig.connectAndRead();
    QCOMPARE(rig.link.busHealth().summary(), QString("Ответов 4 из 6 · повторов 2 · ошибок КС 1"));
    QVERIFY(rig.link.busHealth().lineSuspect());
    // Every answer line is shown; the damaged one marked.
    const QStringList answers = rig.console.filter("&lt; </font>S485=");
    QCOMPARE(answers.size(), 6);
    QVERIFY2(answers.at(0).endsWith("<font color=red>✗ КС</font>"), qPrintable(answers.at(0)));
    QCOMPARE(answers.at(1), QString("<font color=green>&lt; </font>S485=0;"));
    QCOMPARE(answers.filter("✗").size(), 1);
    QCOMPARE(rig.console.filter("нет ответа").size(), 1);

    rig.link.closeRemoteConnection();
    QTRY_COMPARE(rig.stateCodes(), QString("0"));
    QCOMPARE(rig.logs.count("Bus health: "), 1);
    QVERIFY(rig.logs.contains("Bus health: requests 6, answers 4, checksum errors 1, time-outs 1, "
                              "resends 2, from another address 0, answer time median"));

    // The next connection counts afresh.
    rig.connectToServer();
    QTRY_VERIFY(
            rig.link.busHealth().logLine().contains("checksum errors 0, time-outs 0, resends 0"));
}

namespace {
// An "S485=" line carrying the frame (checksum added) as the reader's answer.
QByteArray answerLine(const QByteArray &frame)
{
    QByteArray bytes = frame;
    bytes.append(char(DeviceInterface::calcCrcADM20(frame)));
    return "S485=" + QByteArray::number(bytes.size()) + ';' + bytes.toBase64() + "\r\n";
}
} // namespace

// A frame nobody answers ends the connection after the 7 s of a remote line, also when the
// server sends lines meanwhile that answer nothing: a text it does not know, an answer with a
// code nothing was asked for, a frame too short to hold one. The cases run side by side.
void TestRemoteConfig::silenceEndsConnection()
{
    const QList<QByteArray> meanwhile {QByteArray(), "HELLO\r\n",
                                       answerLine(
                                               QByteArray::fromHex("0104dc840000")), // code 0x0400
                                       answerLine(QByteArray::fromHex("0102dc81"))};
    std::vector<std::unique_ptr<Rig>> rigs;
    for (int i = 0; i < meanwhile.size(); ++i) {
        rigs.emplace_back(new Rig);
        Rig &rig = *rigs.back();
        // The program folder, and with it the settings file, is the last rig's.
        rig.link.setServerAddress("127.0.0.1", rig.server.port());
        rig.server.addRelayFault(ConfigServerSim::RelayFault::Silent, -1);
        rig.connectToServer();
    }
    for (int i = 0; i < meanwhile.size(); ++i) {
        Rig &rig = *rigs.at(size_t(i));
        QTRY_COMPARE(rig.server.frames().size(), 1);
        QCOMPARE(rig.link.answerTimerInterval(), 7000);
        if (!meanwhile.at(i).isEmpty())
            rig.server.sendToAll(meanwhile.at(i));
    }
    QTest::qWait(6000);
    for (const auto &rig : rigs)
        QCOMPARE(rig->stateCodes(), QString("4"));
    for (int i = 0; i < meanwhile.size(); ++i) {
        Rig &rig = *rigs.at(size_t(i));
        QTRY_COMPARE_WITH_TIMEOUT(rig.stateCodes(), QString("4 0"), 5000);
        QTRY_COMPARE(rig.lines().last(), QString("socClose"));
        QCOMPARE(rig.server.frames().size(), 1); // nothing was sent again
    }
    // The rigs share one capture of the log.
    QCOMPARE(rigs.front()->logs.count("Remote device not respond"), int(meanwhile.size()));
}

QTEST_MAIN(TestRemoteConfig)
#include "tst_remoteconfig.moc"
