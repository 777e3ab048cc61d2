// ctest: slow
#include "configserversim.h"
#include "deviceinterface.h"
#include "mainwindowaccess.h"
#include "settings.h"
#include "testsupport.h"

#include <QBuffer>
#include <QComboBox>
#include <QDomDocument>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

// The device link configuring a reader through the configuration server double on 127.0.0.1.
namespace {

const char kImei[] = "356938035643809";
const char kPassword[] = "t0p5ecret";
const QString kPasswordLine = QString("REMOTE ") + kPassword;

// Requests to address 1, checksums worked out by hand.
const QByteArray kReadInfo = QByteArray::fromHex("0103dc0100df");
const QByteArray kReadCounter = QByteArray::fromHex("0103dc0500db");
const QByteArray kReadOutputs = QByteArray::fromHex("0103dc0603db");
const QByteArray kReadRs485 = QByteArray::fromHex("0103dc0301dc");
// Speed 19200 (00 00 4B 00), then the reboot that ends every write.
const QByteArray kWriteSpeed19200 = QByteArray::fromHex("0107dc030000004b0092");
const QByteArray kReboot = QByteArray::fromHex("0103dc0200dc");

// The server double with one terminal, pointed at through the settings file, which the link
// reads at every connection. The terminal's bus holds one reader at address 1 with 9600 baud,
// generation on, pull-up off, mode 2.
struct ServerSide
{
    explicit ServerSide(bool withDevicesDb = false)
        : dir(withDevicesDb)
    {
        QVERIFY(server.listen());
        server.setTerminal(kImei, kPassword);
        server.setNoAnswerDelayMs(0);
        SimReaderSettings reader;
        reader.address = 1;
        reader.speed = 9600;
        reader.genState = 1;
        reader.pullUp = 0;
        reader.genMode = 2;
        server.addReader(reader);
        writeSetting("UpdateServer", "IP", "127.0.0.1");
        writeSetting("UpdateServer", "Port", QString::number(server.port()));
    }

    TempProgramDir dir;
    ConfigServerSim server;
};

// A link of its own on that server, for a reader whose firmware lists three read commands.
struct Rig : ServerSide
{
    Rig()
    {
        link.setSoftwareVersion("0.3.3");
        link.setBaudRate(9600);
        link.setDeviceAddress("1");
        QObject::connect(
                &link, &DeviceInterface::getSupportedCommands, &link,
                [] {
                    return QList<int> {0x0301, 0x0603, 0x0500};
                },
                Qt::DirectConnection);
    }
    void connectToServer(const QString &password = kPassword)
    {
        link.connectToServer(kImei, password);
    }
    QList<int> stateCodes() const
    {
        QList<int> codes;
        for (const QList<QVariant> &args : states)
            codes.append(args.at(0).toInt());
        return codes;
    }
    // What the link said after its login.
    QStringList lines() const { return server.received().mid(1); }
    QString framesText() const
    {
        QStringList texts;
        for (const QByteArray &frame : server.frames())
            texts.append(hexBytes(frame));
        return texts.join(" | ");
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

    DeviceInterface link;
    QSignalSpy states {&link, &DeviceInterface::changeDeviceStatus};
};

} // namespace

class TestRemoteConfig : public QObject
{
    Q_OBJECT
private slots:
    void loginAndFirstFrame();
    void readThroughServer_data();
    void readThroughServer();
    void writeThroughServerEndsWithReboot();
    void consoleThroughServer();
    void readIntoTheWindow();
    void pingLines_data();
    void pingLines();
    void serverRefusals_data();
    void serverRefusals();
    void emptyAnswers();
    void damagedAnswerIsResent();
    void serverClosing();
    void silenceEndsConnection();
};

void TestRemoteConfig::loginAndFirstFrame()
{
    Rig rig;
    QSignalSpy logins(&rig.server, &ConfigServerSim::loginChecked);
    rig.connectToServer();
    QVERIFY(rig.link.isRemoteMode());
    QTRY_VERIFY(rig.server.received().size() >= 3);

    // The server checks the login object and works out the key on its own.
    QCOMPARE(logins.count(), 1);
    QVERIFY2(logins.at(0).at(1).toBool(), qPrintable(logins.at(0).at(2).toString()));
    // The first "PING" asks only for the password; "PASS OK" starts the read with command
    // 0x0100 to address 1 at 9600 baud.
    QCOMPARE(rig.lines().mid(0, 2), QStringList({kPasswordLine, "S485 6,260,2000,9600;AQPcAQDf"}));
    QCOMPARE(rig.stateCodes().value(0), 4);
}

void TestRemoteConfig::readThroughServer_data()
{
    QTest::addColumn<bool>("split");
    QTest::newRow("whole answer lines") << false;
    QTest::newRow("every answer line in two deliveries") << true;
}

void TestRemoteConfig::readThroughServer()
{
    QFETCH(bool, split);
    LogCapture logs;
    Rig rig;
    if (split)
        rig.server.addRelayFault(ConfigServerSim::RelayFault::Split, -1);
    QList<QByteArray> documents;
    QObject::connect(&rig.link, &DeviceInterface::updateGUI, &rig.link,
                     [&documents](QBuffer *buffer) { documents.append(buffer->data()); });
    rig.connectToServer();
    QTRY_COMPARE(documents.size(), 1);

    // The firmware's list is sent from its last entry to its first, each command once.
    const QList<QByteArray> expected {kReadInfo, kReadCounter, kReadOutputs, kReadRs485};
    QVERIFY2(rig.server.frames() == expected, qPrintable(rig.framesText()));
    QCOMPARE(logs.count("BAD DATA!"), 0);

    QDomDocument doc;
    QVERIFY(doc.setContent(documents.at(0)));
    const QDomElement root = doc.documentElement();
    QCOMPARE(root.tagName(), QString("configuration"));
    QStringList read;
    for (QDomElement e = root.firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
        read.append(e.tagName() + "=" + e.attribute("param"));
    QCOMPARE(read, QStringList({"gen_stat_220=1", "pull_up_220=0", "gen_mode_220=2",
                                "rs485_addr_220=1", "rs485_speed_220=9600"}));
    QCOMPARE(rig.stateCodes(), QList<int> {4});
    QVERIFY(rig.link.isRemoteMode());
}

void TestRemoteConfig::writeThroughServerEndsWithReboot()
{
    Rig rig;
    rig.connectAndRead();

    QBuffer buffer;
    buffer.setData("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<configuration>"
                   "<rs485_speed_220 param=\"19200\"/></configuration>\n");
    rig.link.writeConfiguration(&buffer);
    QTRY_COMPARE(rig.stateCodes(), (QList<int> {5, 7}));

    const QList<QByteArray> expected {kWriteSpeed19200, kReboot};
    QVERIFY2(rig.server.frames() == expected, qPrintable(rig.framesText()));
    SimReader *reader = rig.server.reader(1);
    QVERIFY(reader);
    QCOMPARE(reader->rebootCount(), 1);
    QCOMPARE(reader->settings().speed, quint32(19200));
    QVERIFY(rig.link.isRemoteMode());
}

void TestRemoteConfig::consoleThroughServer()
{
    Rig rig;
    rig.connectAndRead();

    // Typed text goes to the terminal as it is, not as a reader frame.
    rig.link.sendTerminalCmd("0200");
    QTRY_COMPARE(rig.server.received(), QStringList {"0200"});
    QVERIFY(rig.server.frames().isEmpty());
    QVERIFY(rig.link.isRemoteMode());
}

void TestRemoteConfig::readIntoTheWindow()
{
    ServerSide side(true);
    BoxRecorder boxes;
    MainWindow window(nullptr, "ru_RU");
    // The first port listing, 100 ms after start, closes every connection: the engineer meets
    // a window that has done it.
    QTRY_VERIFY(!MainWindowTestAccess::portTimer(window)->isActive());
    window.deviceInterface()->setBaudRate(9600);
    window.deviceInterface()->setDeviceAddress("1");
    window.deviceInterface()->connectToServer(kImei, kPassword);

    auto *status = window.findChild<QLabel *>("globalStatusText");
    QVERIFY(status);
    QTRY_COMPARE(status->text(), QString("Соединение установлено удаленно"));
    QCOMPARE(window.findChild<QLineEdit *>("setAddrLine")->text(), QString("1"));
    QCOMPARE(window.findChild<QComboBox *>("setBaudComboBox")->currentText(), QString("9600"));
    QCOMPARE(window.findChild<QComboBox *>("genComboBox")->currentIndex(), 1);
    QCOMPARE(window.findChild<QComboBox *>("pullUpComboBox")->currentIndex(), 0);
    QCOMPARE(window.findChild<QComboBox *>("genTypeComboBox")->currentIndex(), 2);
    QVERIFY2(boxes.boxes.isEmpty(), qPrintable(boxes.describe()));
}

void TestRemoteConfig::pingLines_data()
{
    QTest::addColumn<QList<QByteArray>>("deliveries");
    QTest::addColumn<QStringList>("sent");

    using L = QList<QByteArray>;
    QTest::newRow("first PING, CR LF") << L {"PING\r\n"} << QStringList {kPasswordLine};
    QTest::newRow("PING without CR is not handled") << L {"PING"} << QStringList {};
    QTest::newRow("split line") << L {"PI", "NG\r\n"} << QStringList {kPasswordLine};
    QTest::newRow("later PING answers PONG first")
            << L {"PING\r\n", "PING\r\n"} << QStringList {kPasswordLine, "PONG", kPasswordLine};
}

void TestRemoteConfig::pingLines()
{
    QFETCH(QList<QByteArray>, deliveries);
    QFETCH(QStringList, sent);
    Rig rig;
    // The server stays quiet after the login: the test speaks for it.
    rig.server.setLoginReply(ConfigServerSim::LoginReply::Silent);
    rig.connectToServer();
    QTRY_COMPARE(rig.server.received().size(), 1);
    for (const QByteArray &delivery : deliveries) {
        rig.server.sendToAll(delivery);
        // Each piece arrives on its own before the next is sent.
        QTest::qWait(100);
    }
    QTRY_COMPARE(rig.lines(), sent);
    QTest::qWait(100);
    QCOMPARE(rig.lines(), sent);
    QCOMPARE(rig.link.isDeviceConnected(), !sent.isEmpty());
}

void TestRemoteConfig::serverRefusals_data()
{
    QTest::addColumn<int>("reply");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("log");

    using R = ConfigServerSim::LoginReply;
    QTest::newRow("wrong password") << int(R::Ping) << "wrong" << -1 << "PASS FAIL";
    QTest::newRow("terminal unknown") << int(R::NotRegistered) << kPassword << 16 << "notRegistred";
    QTest::newRow("terminal busy") << int(R::RegisteredBusy) << kPassword << 18 << "registredBusy";
    QTest::newRow("terminal silent")
            << int(R::TerminalNotAnswer) << kPassword << 6 << "terminalNotAnswer";
}

void TestRemoteConfig::serverRefusals()
{
    QFETCH(int, reply);
    QFETCH(QString, password);
    QFETCH(int, state);
    QFETCH(QString, log);
    LogCapture logs;
    Rig rig;
    rig.server.setLoginReply(ConfigServerSim::LoginReply(reply));
    QSignalSpy failed(&rig.link, &DeviceInterface::authenticationFail);
    rig.connectToServer(password);
    QTRY_VERIFY(logs.contains(log));

    if (state < 0) {
        // A wrong password leaves the connection open for another try.
        QTRY_COMPARE(failed.count(), 1);
        QTest::qWait(200);
        QVERIFY(rig.link.isRemoteMode());
        QCOMPARE(rig.server.clientCount(), 1);
        QVERIFY(rig.stateCodes().isEmpty());
        QVERIFY(rig.server.frames().isEmpty());
        return;
    }
    QTRY_COMPARE(rig.stateCodes(), (QList<int> {state, 0}));
    QVERIFY(!rig.link.isRemoteMode());
    QCOMPARE(rig.lines().value(rig.lines().size() - 1), QString("socClose"));
    QVERIFY(logs.contains("Remote server disconnected!"));
    QCOMPARE(failed.count(), 0);
}

void TestRemoteConfig::emptyAnswers()
{
    Rig rig;
    rig.server.addRelayFault(ConfigServerSim::RelayFault::NoAnswer, 3);
    rig.connectToServer();
    // Two resends of the unanswered command, then the third empty answer ends the connection.
    QTRY_COMPARE(rig.stateCodes(), (QList<int> {4, 17, 0}));
    QCOMPARE(rig.server.frames(), (QList<QByteArray> {kReadInfo, kReadInfo, kReadInfo}));
    QCOMPARE(rig.lines().last(), QString("socClose"));

    // A new connection counts afresh: its first empty answer is resent, not fatal.
    rig.server.clearReceived();
    rig.states.clear();
    rig.server.addRelayFault(ConfigServerSim::RelayFault::NoAnswer, 1);
    rig.connectToServer();
    QTRY_VERIFY(rig.server.frames().size() >= 2);
    QCOMPARE(rig.server.frames().mid(0, 2), (QList<QByteArray> {kReadInfo, kReadInfo}));
    QTest::qWait(200);
    QVERIFY(!rig.stateCodes().contains(17));
    QVERIFY(rig.link.isRemoteMode());
}

void TestRemoteConfig::damagedAnswerIsResent()
{
    LogCapture logs;
    Rig rig;
    rig.server.addRelayFault(ConfigServerSim::RelayFault::Damaged, 1);
    rig.server.addRelayFault(ConfigServerSim::RelayFault::Silent, -1);
    rig.connectToServer();
    QTRY_COMPARE(rig.server.frames().size(), 2);
    QVERIFY2(rig.server.frames() == (QList<QByteArray> {kReadInfo, kReadInfo}),
             qPrintable(rig.framesText()));
    QCOMPARE(logs.count("BAD DATA!"), 1);
    QVERIFY(rig.link.isRemoteMode());
}

void TestRemoteConfig::serverClosing()
{
    LogCapture logs;
    Rig rig;
    rig.server.addRelayFault(ConfigServerSim::RelayFault::Silent, -1);
    rig.connectToServer();
    QTRY_COMPARE(rig.server.frames().size(), 1);
    rig.server.disconnectAll();
    QTRY_COMPARE(rig.stateCodes(), (QList<int> {4, 0}));
    QVERIFY(!rig.link.isRemoteMode());
    QVERIFY(logs.contains("Remote server disconnected!"));
    QVERIFY(!rig.link.isAnswerTimerActive());
}

void TestRemoteConfig::silenceEndsConnection()
{
    LogCapture logs;
    Rig rig;
    rig.server.addRelayFault(ConfigServerSim::RelayFault::Silent, -1);
    rig.connectToServer();
    QTRY_COMPARE(rig.server.frames().size(), 1);
    QCOMPARE(rig.link.answerTimerInterval(), 7000);
    QTest::qWait(6000);
    QCOMPARE(rig.stateCodes(), QList<int> {4});
    QTRY_COMPARE_WITH_TIMEOUT(rig.stateCodes(), (QList<int> {4, 0}), 5000);
    QVERIFY(logs.contains("Remote device not respond"));
    QCOMPARE(rig.lines().last(), QString("socClose"));
    // Nothing was sent again.
    QCOMPARE(rig.server.frames().size(), 1);
}

QTEST_MAIN(TestRemoteConfig)
#include "tst_remoteconfig.moc"
