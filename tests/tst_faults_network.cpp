// ctest: slow
// Servers that fail: the configuration server closing in the middle of a read, the update server
// closing in the middle of a chunk stream, and update servers that send without end.
#include "configserversim.h"
#include "deviceinterface.h"
#include "mainwindowaccess.h"
#include "net.h"
#include "netsignallog.h"
#include "settings.h"
#include "testsupport.h"
#include "updatetestfiles.h"

#include <QDir>
#include <QLabel>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

namespace {
const char kImei[] = "356938035643809";
const char kPassword[] = "0000";

// A configuration file the engineer opened before connecting.
const QByteArray kOpenedFile = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<configuration>\n"
                               " <rs485_addr_220 param=\"1a\"/>\n <gen_mode_220 param=\"1\"/>\n"
                               "</configuration>\n";

// A server that answers every connection with bytes of no protocol, as fast as it can, until
// the client goes.
class FloodServer : public QObject
{
public:
    FloodServer()
    {
        server.listen(QHostAddress::LocalHost);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            QTcpSocket *socket = server.nextPendingConnection();
            auto *timer = new QTimer(socket);
            connect(timer, &QTimer::timeout, socket, [this, socket] {
                if (socket->bytesToWrite() < 1024 * 1024)
                    sent += socket->write(QByteArray(64 * 1024, 'A'));
            });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            timer->start(1);
        });
    }
    QTcpServer server;
    qint64 sent = 0;
};

} // namespace

class TestFaultsNetwork : public QObject
{
    Q_OBJECT
private slots:
    void configServerClosesDuringRead_data();
    void configServerClosesDuringRead();
    void updateServerClosesDuringStream_data();
    void updateServerClosesDuringStream();
    void endlessSenders_data();
    void endlessSenders();
};

void TestFaultsNetwork::configServerClosesDuringRead_data()
{
    QTest::addColumn<QByteArray>("lastWords"); // sent just before the server closes
    QTest::newRow("between two lines") << QByteArray();
    QTest::newRow("inside an answer line") << QByteArray("S485=12;gQMJgAMBAAA");
}

void TestFaultsNetwork::configServerClosesDuringRead()
{
    QFETCH(QByteArray, lastWords);
    WindowRig rig(false);
    ConfigServerSim server;
    QVERIFY(server.listen());
    server.setTerminal(kImei, kPassword);
    server.setNoAnswerDelayMs(0);
    server.addReader(simReader(1, 9600));
    // The version is answered; the reader then falls silent.
    server.addRelayFault(ConfigServerSim::RelayFault::None, 1);
    server.addRelayFault(ConfigServerSim::RelayFault::Silent, -1);
    writeSetting("UpdateServer", "IP", "127.0.0.1");
    writeSetting("UpdateServer", "Port", QString::number(server.port()));

    MainWindow &window = rig.make();
    QTRY_VERIFY(!MainWindowTestAccess::portTimer(window)->isActive());
    QVERIFY(writeTestFile(rig.dir.filePath("opened.xml"), kOpenedFile));
    rig.boxes.fileAnswers << rig.dir.filePath("opened.xml");
    window.openFileSlot();
    const QString opened = window.configurationXml();
    QVERIFY(opened.contains("gen_mode_220"));

    DeviceInterface *link = window.deviceInterface();
    link->setBaudRate(9600);
    link->setDeviceAddress("1");
    LogCapture log;
    link->connectToServer(kImei, kPassword);
    QTRY_COMPARE(server.frames().size(), 2);
    QCOMPARE(window.globalState(), 4);

    if (!lastWords.isEmpty())
        server.sendToAll(lastWords);
    server.disconnectAll();
    QTRY_COMPARE(window.globalState(), 0);
    QTest::qWait(200);
    QVERIFY(!link->isRemoteMode());
    QVERIFY(!link->isAnswerTimerActive());
    QCOMPARE(log.count("Remote server disconnected!"), 1);
    // The half line is no answer.
    QCOMPARE(log.count("S485=12;"), 1);
    // The read of the reader had begun: the form shows only what that reader gives, as after a
    // read on the bus, and nothing of the file opened before.
    QCOMPARE(window.configurationXml(), QString());
    QCOMPARE(window.changesXml(), QString());
    // The status line tells; the read simply ends.
    QCOMPARE(rig.get<QLabel>("globalStatusText")->text(), QString("Соединения закрыты"));
    QCOMPARE(rig.boxes.describe(), QString());
}

void TestFaultsNetwork::updateServerClosesDuringStream_data()
{
    QTest::addColumn<bool>("firmware");
    QTest::addColumn<bool>("inChunk"); // the third chunk breaks off halfway; else it never starts
    QTest::newRow("firmware image") << true << false;
    QTest::newRow("configurator archive") << false << false;
    QTest::newRow("firmware image, in a chunk") << true << true;
    QTest::newRow("configurator archive, in a chunk") << false << true;
}

void TestFaultsNetwork::updateServerClosesDuringStream()
{
    QFETCH(bool, firmware);
    QFETCH(bool, inChunk);
    TempProgramDir program;
    UpdateServerSimSettings settings;
    if (inChunk)
        settings.dropInChunk = 2;
    else
        settings.closeAfterChunks = 2; // of three
    UpdateServerRig rig(settings);
    QVERIFY(rig.listening);
    rig.pointSettings();
    // An older image already stored stays as it is.
    const QString older = program.filePath("firmware/Zemo200_v1.4.0_update.bin");
    const QByteArray olderImage = firmwareTestImage(200, 1, 4, 0, 700);
    QVERIFY(writeTestFile(older, olderImage));
    QVERIFY(QDir().mkpath(program.filePath("updates")));
    QVERIFY(firmware ? rig.serve("fw.bin", firmwareTestImage(200, 1, 5, 0, 2500))
                     : rig.serve("zemo-configurator_0.4.0.zip", QByteArray(2500, 'z')));

    LogCapture log;
    Net net;
    NetSignalLog outcomes(&net);
    if (firmware)
        net.checkUpdates("1.4.0", "Zemo200", true);
    else
        net.reqestDownloadSw("0.3.3", 2500, "zemo-configurator_0.4.0.zip");
    QTRY_COMPARE_WITH_TIMEOUT(outcomes.finishedCount(), 2, 20000);
    QTest::qWait(100);

    // The failure is told (2 after the 0 of every closing), and nothing of the file is kept.
    QCOMPARE(outcomes.events, QStringList({"finished(0)", "finished(2)"}));
    QCOMPARE(rig.server->chunksSent(), inChunk ? 3 : 2); // the third, broken off, counts
    QVERIFY2(log.contains(inChunk ? "UPDATER: Connection closed before the end of the file"
                                  : "UPDATER: Connection closed before the end of the file, "
                                    "2000 bytes dropped"),
             qPrintable(log.lines().join('\n')));
    QCOMPARE(QDir(program.filePath("firmware")).entryList(QDir::Files),
             QStringList {"Zemo200_v1.4.0_update.bin"});
    QCOMPARE(readTestFile(older), olderImage);
    QCOMPARE(QDir(program.filePath("updates")).entryList(QDir::Files), QStringList());
}

void TestFaultsNetwork::endlessSenders_data()
{
    QTest::addColumn<bool>("flood"); // text of no protocol; else chunks beyond any image
    QTest::newRow("text without end") << true;
    QTest::newRow("chunks without end") << false;
}

void TestFaultsNetwork::endlessSenders()
{
    QFETCH(bool, flood);
    TempProgramDir program;
    std::unique_ptr<FloodServer> flooder;
    std::unique_ptr<UpdateServerRig> rig;
    if (flood) {
        flooder.reset(new FloodServer);
        writeSetting("UpdateServer", "IP", "127.0.0.1");
        writeSetting("UpdateServer", "Port", flooder->server.serverPort());
    } else {
        // An "image" of 1.25 MiB, larger than any reader's program area can hold.
        UpdateServerSimSettings settings;
        settings.chunkSize = 64 * 1024;
        rig.reset(new UpdateServerRig(settings));
        QVERIFY(rig->listening
                && rig->serve("huge.bin", firmwareTestImage(200, 9, 0, 0, 1280 * 1024)));
        rig->pointSettings();
    }

    LogCapture log;
    Net net;
    NetSignalLog outcomes(&net);
    QElapsedTimer clock;
    clock.start();
    net.checkUpdates("1.0.0", "Zemo200", true);
    QTRY_COMPARE_WITH_TIMEOUT(outcomes.finishedCount(), 2, 30000);
    QCOMPARE(outcomes.events, QStringList({"finished(0)", "finished(2)"}));
    if (flood) {
        // Only the answer watchdog ends it: what arrives is read and dropped as it comes.
        QVERIFY2(clock.elapsed() >= 9500, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(log.contains("UPDATER: Timed out response. Disconnect from server."));
        QVERIFY2(flooder->sent > 4 * 1024 * 1024, qPrintable(QString::number(flooder->sent)));
    } else {
        QVERIFY(log.contains("UPDATER: Transfer abandoned: more than 1048576 bytes"));
        QCOMPARE(rig->server->chunksSent(), 17);
    }
    QCOMPARE(QDir(program.filePath("firmware")).entryList(QDir::Files), QStringList());
}

QTEST_MAIN(TestFaultsNetwork)
#include "tst_faults_network.moc"
