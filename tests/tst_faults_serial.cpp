// ctest: slow
// The serial line misbehaving: the converter pulled in the middle of a read, a write and a scan
// in the window; a line that brings noise, answers split at every byte, answers glued together
// or bytes without a pause.
#include "deviceinterface.h"
#include "linkonbus.h"
#include "mainwindowaccess.h"
#include "settings.h"
#include "testsupport.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace {

const QByteArray kOpenedFile = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<configuration>\n"
                               " <rs485_addr_220 param=\"1a\"/>\n <gen_mode_220 param=\"1\"/>\n"
                               "</configuration>\n";

// What a whole read of a default reader at 19200 baud gives, in name order.
const QStringList kReadElements {"gen_mode_220=0", "gen_stat_220=0", "pull_up_220=0",
                                 "rs485_addr_220=1", "rs485_speed_220=19200"};

enum class Pull { DuringRead, DuringWrite, DuringScan };
enum class LineFault { Noise, SplitEveryByte, Glued, Stream };

} // namespace

Q_DECLARE_METATYPE(Pull)
Q_DECLARE_METATYPE(LineFault)

class TestFaultsSerial : public QObject
{
    Q_OBJECT
private slots:
    void converterPulled_data();
    void converterPulled();
    void lineFaults_data();
    void lineFaults();
    void streamDuringScan();
    void converterPluggedInAgain();
};

void TestFaultsSerial::converterPulled_data()
{
    QTest::addColumn<Pull>("when");
    QTest::addColumn<int>("boxes"); // the reader talking is told about, once the wait is over
    QTest::newRow("during a read") << Pull::DuringRead << 1;
    QTest::newRow("during a write") << Pull::DuringWrite << 1;
    QTest::newRow("during a scan") << Pull::DuringScan << 0;
}

void TestFaultsSerial::converterPulled()
{
    QFETCH(Pull, when);
    QFETCH(int, boxes);

    SimReaderSettings reader;
    reader.replyDelayMs = 150; // a read and a write take a while
    BusWindowRig rig({reader});
    MainWindow &w = rig.w();
    w.show();
    QVERIFY(rig.choose("19200", "1"));
    SimBus &bus = rig.bus;
    BoxRecorder &recorder = rig.boxes;
    if (when == Pull::DuringWrite) {
        rig.press("rs485_Button");
        QTRY_COMPARE_WITH_TIMEOUT(w.globalState(), 3, 15000);
        rig.get<QComboBox>("genTypeComboBox")->setCurrentIndex(2);
        rig.get<QComboBox>("pullUpComboBox")->setCurrentIndex(1);
    } else {
        QVERIFY(writeTestFile(rig.dir.filePath("opened.xml"), kOpenedFile));
        recorder.fileAnswers << rig.dir.filePath("opened.xml");
        w.openFileSlot();
    }
    const QString configuration = w.configurationXml();
    QVERIFY(configuration.contains("gen_mode_220"));

    // A session waits a moment for its converter here (a minute in use).
    w.deviceInterface()->setResumeAfterLoss(1000);
    bus.clearRequests();
    recorder.answers << Prompt::Yes; // the write's question
    rig.press(when == Pull::DuringRead    ? "rs485_Button"
              : when == Pull::DuringWrite ? "writeConfigButton"
                                          : "findDevsButton");
    // Pulled after the second request of the operation went out.
    QTRY_VERIFY_WITH_TIMEOUT(bus.requests().size() >= 2, 5000);
    const int boxesBefore = recorder.boxes.size();
    LogCapture log;
    bus.close();
    if (boxes) {
        // No box waits for a click: the status says what happened and what comes.
        QTRY_COMPARE_WITH_TIMEOUT(w.deviceInterface()->connection(),
                                  DeviceInterface::Connection::SerialLost, 2000);
        QCOMPARE(rig.get<QLabel>("globalStatusText")->text(),
                 QString("Преобразователь отключен от ПК. Сеанс продолжится, когда он будет "
                         "подключен снова"));
        QCOMPARE(recorder.boxes.size(), boxesBefore);
        QVERIFY(rig.get("rs485_Button")->isEnabled());
        QVERIFY(!rig.get("writeConfigButton")->isEnabled() && !rig.get("restartButton")->isEnabled());
    }
    QTRY_COMPARE_WITH_TIMEOUT(w.globalState(), 0, 5000);
    QTest::qWait(300);

    DeviceInterface *link = w.deviceInterface();
    // The link empties its port name; the window hands back what its port list shows until
    // the converter's disappearance re-lists the ports.
    QVERIFY(!link->isPortOpen());
    QCOMPARE(rig.get<QLabel>("globalStatusText")->text(), QString("Соединения закрыты"));
    QCOMPARE(log.count("Port error: "), 1);
    QCOMPARE(recorder.boxes.size() - boxesBefore, boxes);
    if (boxes)
        QCOMPARE(recorder.boxes.last().text,
                 QString("Ошибка обмена данными с портом:\nпреобразователь отключен от ПК"));
    // What was opened or read stays, unless a read of a reader had begun: the form then shows
    // only what that reader gives.
    QCOMPARE(w.configurationXml(), when == Pull::DuringRead ? QString() : configuration);
}

void TestFaultsSerial::lineFaults_data()
{
    QTest::addColumn<LineFault>("fault");
    QTest::addColumn<int>("resends"); // the first answer is lost or damaged and asked again
    QTest::newRow("noise before the answer") << LineFault::Noise << 1;
    QTest::newRow("answers split at every byte") << LineFault::SplitEveryByte << 0;
    QTest::newRow("answer glued to another") << LineFault::Glued << 1;
    QTest::newRow("bytes without a pause") << LineFault::Stream << 1;
}

void TestFaultsSerial::lineFaults()
{
    QFETCH(LineFault, fault);
    QFETCH(int, resends);

    LinkOnBus t;
    SimReaderSettings reader;
    if (fault == LineFault::SplitEveryByte) {
        reader.splitPieces = 64; // more than any answer has bytes
        reader.splitGapMs = 1;
    }
    t.addReader(reader);

    // The fault hits the first answer only.
    bool struck = false;
    QTimer stream;
    QElapsedTimer streaming;
    connect(&stream, &QTimer::timeout, this, [&] {
        t.bus.writeRaw(QByteArray(512, '\xA5'));
        if (streaming.elapsed() > 1500)
            stream.stop();
    });
    connect(&t.bus, &SimBus::requestReceived, this, [&] {
        if (struck)
            return;
        if (fault == LineFault::Noise) {
            struck = true;
            t.bus.writeRaw(QByteArray::fromHex("ff00ff00553c"));
        } else if (fault == LineFault::Stream) {
            struck = true;
            streaming.start();
            stream.start(2);
        }
    });
    connect(&t.bus, &SimBus::answerSent, this, [&] {
        if (fault == LineFault::Glued && !struck) {
            struck = true;
            t.bus.writeRaw(QByteArray::fromHex("0104dc8000005d")); // an empty answer
        }
    });

    LogCapture log;
    QVERIFY(t.readOnce(19200, 1, 30000));
    QStringList elements = LinkOnBus::elementsOf(t.guiDocuments.at(0));
    elements.sort();
    QCOMPARE(elements, kReadElements);
    QCOMPARE(log.count("Data IO Error, request num: ") + log.count("Damaged answer, request num: "),
             resends);
    QVERIFY(!t.states.contains(0));
    if (fault == LineFault::Stream) {
        // The stream never reached the parser in pieces longer than an answer can be.
        QVERIFY(log.count("Receive buffer overflow: more than 256 bytes without a pause") >= 1);
        for (const QString &line : log.lines()) {
            if (line.startsWith("Receive buffer: "))
                QVERIFY2(line.size() <= int(strlen("Receive buffer: ")) + 3 * 256,
                         qPrintable(line.left(100)));
        }
    }
}

void TestFaultsSerial::streamDuringScan()
{
    // A device that sends without end is on the bus for the whole scan: no answer can be told
    // apart, but the scan still walks every address and ends.
    LinkOnBus t;
    SimReaderSettings reader;
    reader.address = 3;
    t.addReader(reader);
    QTimer stream;
    connect(&stream, &QTimer::timeout, this, [&] { t.bus.writeRaw(QByteArray(512, '\x5A')); });
    t.link.setPortName(t.bus.devicePath());
    t.link.setBaudRate(19200);
    LogCapture log;
    stream.start(2);
    t.link.findDevices_220();
    QVERIFY(LinkOnBus::waitFor([&] { return !t.foundAddresses.isEmpty(); }, 60000));
    stream.stop();
    QCOMPARE(t.foundAddresses, QList<QList<int>> {{}});
    QCOMPARE(t.states, (QList<int> {1, 0}));
    QCOMPARE(t.bus.requests().last().at(0), char(254));
    QVERIFY(log.contains("Receive buffer overflow"));
}

// The converter of a session is pulled and plugged in again within its time: the session goes on
// by itself, the reader is read again and polled, and the change not yet written is still there.
void TestFaultsSerial::converterPluggedInAgain()
{
    WindowRig rig(false);
    SimBus bus;
    const QString link = rig.dir.filePath("converter");
    QVERIFY(bus.open(link));
    bus.addReader(SimReaderSettings());
    qputenv("ZEMO_EXTRA_PORTS", link.toLocal8Bit());
    MainWindow &w = rig.make();
    auto *ports = rig.get<QComboBox>("rs485_220_port");
    QTRY_VERIFY(ports->findText(link) >= 0);
    ports->setCurrentText(link);
    rig.get<QComboBox>("rs485_220_speed")->setCurrentText("19200");
    rig.get<QComboBox>("rs485_selAddr")->setCurrentText("1");
    QTest::mouseClick(rig.get<QPushButton>("rs485_Button"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(w.globalState(), 3, 10000);
    rig.get<QComboBox>("genTypeComboBox")->setCurrentIndex(2);
    QVERIFY(w.changesXml().contains("gen_mode_220"));

    LogCapture log;
    bus.close();
    QTRY_COMPARE_WITH_TIMEOUT(w.deviceInterface()->connection(),
                              DeviceInterface::Connection::SerialLost, 2000);
    QTest::qWait(700);
    QVERIFY(bus.open(link)); // the same reader behind the converter
    QTRY_COMPARE_WITH_TIMEOUT(w.deviceInterface()->connection(),
                              DeviceInterface::Connection::Serial, 3000);
    QTRY_COMPARE_WITH_TIMEOUT(rig.get<QLabel>("globalStatusText")->text(),
                              QString("Соединение установлено"), 10000);
    QCOMPARE(rig.boxes.describe(), QString());
    // Read again, the change kept and shown, and polled.
    QVERIFY(bus.requests().size() >= 5);
    QVERIFY(w.changesXml().contains("<gen_mode_220 param=\"2\"/>"));
    QCOMPARE(rig.get<QComboBox>("genTypeComboBox")->currentIndex(), 2);
    QVERIFY(rig.get("genTypeComboBox")->property("pending").toBool());
    const int before = bus.requests().size();
    QTRY_VERIFY_WITH_TIMEOUT(bus.requests().size() >= before + 2, 3000);
    // The session is remembered for the next start.
    QCOMPARE(readSetting("Session", "port").toString(), link);
    QCOMPARE(readSetting("Session", "speed").toInt(), 19200);
    QCOMPARE(readSetting("Session", "address").toInt(), 1);
    w.close();
}

QTEST_MAIN(TestFaultsSerial)
#include "tst_faults_serial.moc"
