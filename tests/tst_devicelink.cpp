// ctest: threads
#include "deviceinterface.h"
#include "linkonbus.h"
#include "testsupport.h"

#include <QSignalSpy>
#include <QtTest>

// The device link over a real pseudo-terminal: ports, errors, the send and receive paths.
class TestDeviceLink : public QObject
{
    Q_OBJECT
private slots:
    void constructionAndDestructionEndTheParserThread();
    void portListAddsExtraPaths_data();
    void portListAddsExtraPaths();
    void enumerationOffersExtraPortsAndSpeeds();
    void deviceAddress_data();
    void deviceAddress();
    void currentDeviceOutsideListEmptiesPortName();
    void openAndCloseReportState();
    void openFailureIsLogged();
    void framesOnTheLine();
    void oversizedDataRefused();
    void answerBecomesRecordOnGuiThread();
    void answerInPiecesIsGatheredIntoOneChunk();
    void gluedAnswersAndShortChunksAreDropped();
    void errorTable_data();
    void errorTable();
    void converterPulled_data();
    void converterPulled();
};

void TestDeviceLink::constructionAndDestructionEndTheParserThread()
{
    LogCapture log;
    for (int i = 0; i < 20; ++i) {
        DeviceInterface link;
        Q_UNUSED(link)
    }
    QCOMPARE(log.count("Port closed, handle deleted."), 20);
}

void TestDeviceLink::portListAddsExtraPaths_data()
{
    QTest::addColumn<QStringList>("system");
    QTest::addColumn<QString>("extra");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("none") << QStringList() << QString() << QStringList();
    QTest::newRow("system only") << QStringList {"ttyS0", "ttyUSB0"} << QString()
                                 << QStringList {"ttyS0", "ttyUSB0"};
    QTest::newRow("extras after system")
            << QStringList {"ttyUSB0"} << "/tmp/a:/dev/serial/by-id/usb-x"
            << QStringList {"ttyUSB0", "/tmp/a", "/dev/serial/by-id/usb-x"};
    QTest::newRow("empty entries and repeats")
            << QStringList() << ":/tmp/a::/tmp/a:" << QStringList {"/tmp/a"};
}

void TestDeviceLink::portListAddsExtraPaths()
{
    QFETCH(QStringList, system);
    QFETCH(QString, extra);
    QFETCH(QStringList, expected);
    QCOMPARE(DeviceInterface::portListWith(system, extra), expected);
}

void TestDeviceLink::enumerationOffersExtraPortsAndSpeeds()
{
    qputenv("ZEMO_EXTRA_PORTS", "/tmp/zemo-test-port-a:/tmp/zemo-test-port-b");
    DeviceInterface link;
    QSignalSpy ports(&link, &DeviceInterface::setCOMsList);
    QSignalSpy bauds(&link, &DeviceInterface::setBaudList);
    QSignalSpy states(&link, &DeviceInterface::changeDeviceStatus);
    link.enumeratePorts();
    qunsetenv("ZEMO_EXTRA_PORTS");

    QCOMPARE(ports.count(), 1);
    const QStringList listed = ports.at(0).at(0).toStringList();
    QVERIFY(listed.size() >= 2);
    QCOMPARE(listed.mid(listed.size() - 2),
             (QStringList {"/tmp/zemo-test-port-a", "/tmp/zemo-test-port-b"}));
    QCOMPARE(bauds.at(0).at(0).toStringList(),
             (QStringList {"2400", "4800", "9600", "19200", "38400", "57600", "115200"}));
    QCOMPARE(states.count(), 1);
    QCOMPARE(states.at(0).at(0).toInt(), 0);
}

void TestDeviceLink::deviceAddress_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("address");
    QTest::newRow("5") << "5" << 5;
    QTest::newRow("254") << "254" << 254;
    QTest::newRow("0") << "0" << 1;
    QTest::newRow("no number") << "abc" << 1;
    QTest::newRow("empty") << "" << 1;
    QTest::newRow("beyond a byte") << "300" << 1;
}

void TestDeviceLink::deviceAddress()
{
    QFETCH(QString, text);
    QFETCH(int, address);
    DeviceInterface link;
    link.setDeviceAddress("7");
    link.setDeviceAddress(text);
    QCOMPARE(int(link.deviceAddress()), address);
}

void TestDeviceLink::currentDeviceOutsideListEmptiesPortName()
{
    DeviceInterface link;
    link.setPortName("/dev/null-port");
    link.setCurrentDevice(3);
    QCOMPARE(link.portName(), QString());
}

void TestDeviceLink::openAndCloseReportState()
{
    LinkOnBus t;
    LogCapture log;
    QVERIFY(t.openPort(19200, 1));
    QVERIFY(t.link.isPortOpen());
    QVERIFY(log.contains("Port open OK!"));
    QVERIFY(t.states.isEmpty());

    t.link.sendCommand_220(0x0100);
    QVERIFY(t.link.isAnswerTimerActive());
    QVERIFY(!t.link.togglePort());
    QVERIFY(!t.link.isPortOpen());
    QCOMPARE(t.states, QList<int> {0});
    QVERIFY(!t.link.isAnswerTimerActive());
}

void TestDeviceLink::openFailureIsLogged()
{
    LogCapture log;
    DeviceInterface link;
    link.setPortName("/nonexistent/zemo-port");
    QVERIFY(!link.togglePort());
    QVERIFY(!link.isPortOpen());
    QCOMPARE(countLogLine(log, "Error open Com port:", "/nonexistent/zemo-port"), 1);
}

void TestDeviceLink::framesOnTheLine()
{
    LinkOnBus t;
    QVERIFY(t.openPort(19200, 1));
    LogCapture log;
    const QByteArray speed = QByteArray::fromHex("00002580");
    t.link.sendCommand_220(0x0300, speed);
    // 01^07^dc^03^00^00^00^25^80 = 7c
    const QString frame = "0107dc0300000025807c";
    QVERIFY(LinkOnBus::waitFor([&] { return !t.bus.requests().isEmpty(); }, 2000));
    QCOMPARE(t.requestHex(), QStringList {frame});
    QCOMPARE(countLogLine(log, "Out cmd pack:", frame), 1);
    QCOMPARE(t.console, QStringList {"<font color=blue>&gt; </font>" + frame});
    QCOMPARE(t.link.answerTimerInterval(), 5000);
    QVERIFY(t.link.isAnswerTimerActive());
    QCOMPARE(int(t.link.previousCommand()), 0x0300);
    QCOMPARE(t.link.previousData(), speed);
}

void TestDeviceLink::oversizedDataRefused()
{
    LinkOnBus t;
    QVERIFY(t.openPort());
    LogCapture log;
    t.link.sendCommand_220(0x0A01, QByteArray(251, '\x11'));
    QVERIFY(!t.link.isAnswerTimerActive());
    QVERIFY(log.contains("251 data bytes"));
    QVERIFY(!log.contains("Out cmd pack: "));

    // 250 bytes still fit: length byte 0xFD.
    t.link.sendCommand_220(0x0A01, QByteArray(250, '\x11'));
    QVERIFY(LinkOnBus::waitFor([&] { return !t.bus.requests().isEmpty(); }, 2000));
    QCOMPARE(t.bus.requests().size(), 1);
    QCOMPARE(t.bus.requests().at(0).size(), 256);
    QCOMPARE(quint8(t.bus.requests().at(0).at(1)), quint8(0xFD));
}

void TestDeviceLink::answerBecomesRecordOnGuiThread()
{
    LinkOnBus t;
    SimReaderSettings s;
    s.address = 5;
    s.firmware = "1.2.15";
    t.addReader(s);
    QVERIFY(t.openPort(19200, 5));

    QList<VERSION_INFO_220> shown;
    connect(&t.link, &DeviceInterface::showVersionInfo, this, [&](VERSION_INFO_220 info) {
        QCOMPARE(QThread::currentThread(), qApp->thread());
        shown << info;
    });
    LogCapture log;
    t.link.readConfiguration_220();
    QVERIFY(LinkOnBus::waitFor([&] { return !shown.isEmpty(); }, 3000));
    QCOMPARE(int(shown.at(0).address), 5);
    QCOMPARE(shown.at(0).fwVer, QString("1.2.15"));
    QCOMPARE(int(shown.at(0).devId), 220);
    // The answer echoed to the console as received.
    QVERIFY(t.console.contains("<font color=green>&lt; </font>05&nbsp;09&nbsp;dc&nbsp;81&nbsp;"
                               "00&nbsp;00&nbsp;00&nbsp;dc&nbsp;01&nbsp;02&nbsp;0f&nbsp;81"));
    QCOMPARE(countLogLine(log, "Receive buffer:", "05 09 dc 81 00 00 00 dc 01 02 0f 81"), 1);
}

void TestDeviceLink::answerInPiecesIsGatheredIntoOneChunk()
{
    LinkOnBus t;
    SimReaderSettings s;
    s.splitPieces = 4;
    s.splitGapMs = 4; // well below the 10 ms of silence that ends an answer
    t.addReader(s);
    QVERIFY(t.openPort());
    QList<VERSION_INFO_220> shown;
    connect(&t.link, &DeviceInterface::showVersionInfo, this,
            [&](VERSION_INFO_220 info) { shown << info; });
    LogCapture log;
    t.link.readConfiguration_220();
    QVERIFY(LinkOnBus::waitFor([&] { return !shown.isEmpty(); }, 3000));
    QCOMPARE(log.count("Receive buffer: "), 1);
    QCOMPARE(log.count("BAD DATA!"), 0);
}

void TestDeviceLink::gluedAnswersAndShortChunksAreDropped()
{
    LinkOnBus t;
    QVERIFY(t.openPort());
    QSignalSpy versions(&t.link, &DeviceInterface::showVersionInfo);
    LogCapture log;

    // A version answer and an empty answer without silence between them: one chunk whose last
    // byte is the second checksum.
    t.bus.writeRaw(QByteArray::fromHex("0509dc81000000dc01020f81"
                                       "0504dc8000005d"));
    QVERIFY(LinkOnBus::waitFor([&] { return log.contains("BAD DATA!"); }, 2000));
    QCOMPARE(log.count("Receive buffer: "), 1);

    // Two stray bytes are no answer: dropped without a line.
    t.bus.writeRaw(QByteArray::fromHex("0509"));
    QTest::qWait(100);
    QCOMPARE(log.count("Receive buffer: "), 1);
    QCOMPARE(versions.count(), 0);
}

void TestDeviceLink::errorTable_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("logLine");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<bool>("clearsName");
    QTest::addColumn<bool>("stateZero");
    QTest::addColumn<int>("boxes"); // with a reader connected

    using E = QSerialPort;
    QTest::newRow("NoError") << int(E::NoError) << "" << false << false << false << 0;
    QTest::newRow("DeviceNotFound")
            << int(E::DeviceNotFoundError) << "Port error: DeviceNotFoundError" << true << false
            << false << 0;
    QTest::newRow("Permission") << int(E::PermissionError) << "Port error: PermissionError" << true
                                << true << true << 1;
    QTest::newRow("Open") << int(E::OpenError) << "Port error: OpenError" << false << false << false
                          << 0;
    QTest::newRow("Parity") << int(E::ParityError) << "" << false << false << false << 0;
    QTest::newRow("Framing") << int(E::FramingError) << "" << false << false << false << 0;
    QTest::newRow("Break") << int(E::BreakConditionError) << "" << false << false << false << 0;
    QTest::newRow("Write") << int(E::WriteError) << "Port error: WriteError" << true << true << true
                           << 1;
    QTest::newRow("Read") << int(E::ReadError) << "Port error: ReadError" << true << true << true
                          << 1;
    QTest::newRow("Resource") << int(E::ResourceError) << "Port error: ResourceError" << true
                              << true << true << 1;
    QTest::newRow("Unsupported") << int(E::UnsupportedOperationError)
                                 << "Port error: UnsupportedOperationError" << true << true << true
                                 << 0;
    QTest::newRow("Unknown") << int(E::UnknownError) << "" << true << true << true << 0;
    QTest::newRow("Timeout") << int(E::TimeoutError) << "Port error: TimeoutError" << false << false
                             << false << 0;
    QTest::newRow("NotOpen") << int(E::NotOpenError) << "Port error: NotOpenError" << false << false
                             << false << 0;
}

void TestDeviceLink::errorTable()
{
    QFETCH(int, error);
    QFETCH(QString, logLine);
    QFETCH(bool, closes);
    QFETCH(bool, clearsName);
    QFETCH(bool, stateZero);
    QFETCH(int, boxes);

    BoxRecorder recorder;
    LinkOnBus t;
    QVERIFY(t.openPort());
    t.link.setDeviceConnected(true);
    LogCapture log;
    t.link.errorHandler(QSerialPort::SerialPortError(error));

    if (logLine.isEmpty())
        QVERIFY2(!log.contains("Port error: "), qPrintable(log.lines().join('|')));
    else
        QCOMPARE(log.count(logLine), 1);
    QCOMPARE(!t.link.isPortOpen(), closes);
    QCOMPARE(t.link.portName().isEmpty(), clearsName);
    QCOMPARE(t.states, stateZero ? QList<int> {0} : QList<int> {});
    QCOMPARE(recorder.boxes.size(), boxes);
    for (const MessageRequest &box : recorder.boxes) {
        QCOMPARE(box.title, QString("Ошибка"));
        QCOMPARE(box.icon, QMessageBox::Critical);
        QVERIFY(box.parent == nullptr);
    }
}

void TestDeviceLink::converterPulled_data()
{
    QTest::addColumn<bool>("readerConnected");
    QTest::newRow("while a reader is connected") << true;
    QTest::newRow("while none is") << false;
}

void TestDeviceLink::converterPulled()
{
    QFETCH(bool, readerConnected);
    BoxRecorder recorder;
    LinkOnBus t;
    t.addReader(SimReaderSettings());
    QVERIFY(t.startRead());
    if (readerConnected)
        QVERIFY(t.waitForState(4, 1000));
    else
        t.link.setDeviceConnected(false);
    QVERIFY(LinkOnBus::waitFor([&] { return t.guiDocuments.size() == 1; }, 3000));
    t.states.clear();

    LogCapture log;
    t.bus.close(); // the far end vanishes: Qt reports a read error again and again
    QVERIFY(LinkOnBus::waitFor([&] { return !t.link.isPortOpen(); }, 3000));
    QTest::qWait(200);

    QCOMPARE(t.states, QList<int> {0});
    QCOMPARE(recorder.boxes.size(), readerConnected ? 1 : 0);
    if (readerConnected)
        QCOMPARE(recorder.boxes.at(0).text,
                 QString("Ошибка обмена данными с портом:\nпреобразователь отключен от ПК"));
    QVERIFY(t.link.portName().isEmpty());
    QVERIFY(!t.link.isDeviceConnected());
    QVERIFY(log.count("Port error: ") <= 1);
}

QTEST_GUILESS_MAIN(TestDeviceLink)
#include "tst_devicelink.moc"
