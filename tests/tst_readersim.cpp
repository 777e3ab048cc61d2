#include "simbus.h"
#include "simframe.h"
#include "simreader.h"
#include "simreaderoptions.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// The reader of the answer tables: address 5, firmware 1.2.15, 9600 baud, counter 0x01020304
// rising by 3 a second, uptime 0x10000 s.
SimReaderSettings tableReader()
{
    SimReaderSettings s;
    s.address = 5;
    s.firmware = "1.2.15";
    s.speed = 9600;
    s.genState = 1;
    s.pullUp = 2;
    s.genMode = 0;
    s.counter = 0x01020304;
    s.counterPerSecond = 3;
    s.uptime = 0x10000;
    return s;
}

// The device side of the line, as the configurator opens it.
class DevicePort
{
public:
    bool open(const QString &path, qint32 baud = 19200)
    {
        port.setPortName(path);
        return port.open(QIODevice::ReadWrite) && port.setBaudRate(baud);
    }
    // Writes a request and collects what arrives until size bytes are there or timeoutMs pass.
    QByteArray exchange(const QByteArray &request, int size = 1000, int timeoutMs = 1000)
    {
        port.readAll();
        arrivals.clear();
        port.write(request);
        port.flush();
        return collect(size, timeoutMs);
    }
    // The bus lives in this thread too, so wait by running the event loop, never by blocking.
    QByteArray collect(int size, int timeoutMs)
    {
        QByteArray got;
        QElapsedTimer clock;
        clock.start();
        while (got.size() < size && clock.elapsed() < timeoutMs) {
            QTest::qWait(1);
            const QByteArray piece = port.readAll();
            if (!piece.isEmpty()) {
                arrivals.append(clock.elapsed());
                got += piece;
            }
        }
        return got;
    }

    QSerialPort port;
    QList<qint64> arrivals; // ms after the request at which pieces came in
};

} // namespace

class TestReaderSim : public QObject
{
    Q_OBJECT
private slots:
    void cutting_data();
    void cutting();
    void answers_data();
    void answers();
    void writeThenReboot();
    void clockAndFaults();
    void readerOptions_data();
    void readerOptions();

    void busOverPty();
    void lineSpeed();
    void splitAndDelay();
    void converterPulled();
    void busInItsOwnThread();
    void program();
};

void TestReaderSim::cutting_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<QList<QByteArray>>("frames");
    QTest::addColumn<int>("pending");

    const QByteArray version = hex("0503dc0100db");
    const QByteArray speed = hex("0507dc030000002580"
                                 "78");
    QTest::newRow("one frame") << QList<QByteArray> {version} << QList<QByteArray> {version} << 0;
    QTest::newRow("two glued") << QList<QByteArray> {version + speed}
                               << QList<QByteArray> {version, speed} << 0;
    QTest::newRow("byte by byte") << QList<QByteArray> {hex("05"), hex("03"), hex("dc01"),
                                                        hex("00db")}
                                  << QList<QByteArray> {version} << 0;
    QTest::newRow("noise before") << QList<QByteArray> {hex("ff0000") + version}
                                  << QList<QByteArray> {version} << 0;
    QTest::newRow("bad checksum still cut")
            << QList<QByteArray> {hex("0503dc010000") + version}
            << QList<QByteArray> {hex("0503dc010000"), version} << 0;
    QTest::newRow("incomplete waits")
            << QList<QByteArray> {hex("0507dc0300")} << QList<QByteArray> {} << 5;
}

void TestReaderSim::cutting()
{
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(QList<QByteArray>, frames);
    QFETCH(int, pending);
    RequestCutter cutter;
    QList<QByteArray> got;
    for (const QByteArray &p : pieces)
        got += cutter.feed(p);
    QCOMPARE(got, frames);
    QCOMPARE(cutter.pendingBytes(), pending);
}

void TestReaderSim::answers_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("answer");

    QTest::newRow("device information") << hex("0503dc0100db") << hex("0509dc81000000dc01020f81");
    QTest::newRow("read RS-485") << hex("0503dc0301d8")
                                 << hex("0509dc830100000025800"
                                        "5f2");
    QTest::newRow("read counter") << hex("0503dc0500df") << hex("0508dc8500000102030450");
    QTest::newRow("read outputs") << hex("0503dc0603df")
                                  << hex("0507dc860300010200"
                                         "58");
    QTest::newRow("read uptime") << hex("0503dc0700dd") << hex("0508dc8700000001000057");
    QTest::newRow("unknown code: empty answer") << hex("0503dc0400de") << hex("0504dc8000005d");
    QTest::newRow("read with data ignored")
            << hex("0504dc010077ab") << hex("0509dc81000000dc01020f81");
    QTest::newRow("write speed 9600") << hex("0507dc03000000258078") << hex("0504dc8300005e");
    QTest::newRow("write speed 12345 refused")
            << hex("0507dc030000003039d4") << hex("0504dc8300015f");
    QTest::newRow("write address 0x11") << hex("0504dc030211cd") << hex("0504dc8302005c");
    QTest::newRow("write address 0 refused") << hex("0504dc030200dc") << hex("0504dc8302015d");
    QTest::newRow("write address without data") << hex("0503dc0302db") << hex("0504dc8302015d");
    QTest::newRow("write generation") << hex("0504dc060001da") << hex("0504dc8600005b");
    QTest::newRow("write pull-up") << hex("0504dc060102d8") << hex("0504dc8601005a");
    QTest::newRow("write mode") << hex("0504dc060202db") << hex("0504dc86020059");
    QTest::newRow("reboot") << hex("0503dc0200d8") << hex("0504dc8200005f");
    QTest::newRow("other address") << hex("0603dc0100d8") << QByteArray();
    QTest::newRow("wrong checksum") << hex("0503dc0100da") << QByteArray();
    QTest::newRow("wrong marker") << hex("0503dd0100da") << QByteArray();
    QTest::newRow("length beyond frame") << hex("0504dc0100db") << QByteArray();
    QTest::newRow("too short") << hex("0502dcd9") << QByteArray();
}

void TestReaderSim::answers()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, answer);
    SimReader reader(tableReader());
    const QByteArray got = reader.answer(request, 0);
    QVERIFY2(got == answer,
             qPrintable(QString("expected %1, got %2").arg(hexBytes(answer), hexBytes(got))));
}

void TestReaderSim::writeThenReboot()
{
    SimReaderSettings s = tableReader();
    s.rebootSilenceMs = 1000;
    SimReader reader(s);
    QCOMPARE(reader.answer(hex("0504dc030211cd"), 0), hex("0504dc8302005c")); // address 0x11
    QCOMPARE(reader.answer(hex("0507dc03000001c2001e"), 0), hex("0504dc8300005e")); // 115200
    QCOMPARE(reader.answer(hex("0504dc060001da"), 0), hex("0504dc8600005b")); // at once
    QCOMPARE(reader.settings().genState, quint8(1));
    // Address and speed wait for the reboot.
    QCOMPARE(reader.answer(hex("0503dc0301d8"), 0), hex("0509dc830100000025800"
                                                        "5f2"));
    QCOMPARE(reader.pendingAddress(), quint8(0x11));

    // The reboot answer leaves from the old address; then silence, then the new address.
    QCOMPARE(reader.answer(hex("0503dc0200d8"), 2000), hex("0504dc8200005f"));
    QCOMPARE(reader.answer(hex("1103dc0100cf"), 2999), QByteArray());
    QCOMPARE(reader.answer(hex("1103dc0301cc"), 3000), hex("1109dc83010000"
                                                           "01c2001194"));
    QCOMPARE(reader.answer(hex("0503dc0100db"), 3000), QByteArray());
    QCOMPARE(reader.rebootCount(), 1);
    // The counter kept its value over the reboot (2 s at 3 a second); the uptime began again.
    QCOMPARE(reader.counterAt(3000), 0x01020304 + 6);
    QCOMPARE(reader.uptimeAt(5500), 2u);
}

void TestReaderSim::clockAndFaults()
{
    SimReader clock(tableReader(), 1000);
    QCOMPARE(clock.answer(hex("0503dc0500df"), 3500), hex("0508dc850000010203"
                                                          "0a"
                                                          "5e"));
    QCOMPARE(clock.answer(hex("0503dc0700dd"), 3500), hex("0508dc8700000001"
                                                          "0002"
                                                          "55"));

    SimReaderSettings s = tableReader();
    s.silentRequests = 2;
    SimReader silent(s);
    QCOMPARE(silent.answer(hex("0603dc0100d8"), 0), QByteArray()); // not counted: other address
    QCOMPARE(silent.answer(hex("0503dc0100db"), 0), QByteArray());
    QCOMPARE(silent.answer(hex("0503dc0100db"), 0), QByteArray());
    QCOMPARE(silent.answer(hex("0503dc0100db"), 0), hex("0509dc81000000dc01020f81"));

    s = tableReader();
    s.badChecksum = true;
    const QByteArray bad = SimReader(s).answer(hex("0503dc0100db"), 0);
    QCOMPARE(bad.left(11), hex("0509dc81000000dc01020f"));
    QVERIFY2(quint8(bad.back()) != 0x81, qPrintable(hexBytes(bad)));

    s = tableReader();
    s.rejectWrites = 7;
    SimReader rejecting(s);
    QCOMPARE(rejecting.answer(hex("0504dc060001da"), 0), hex("0504dc86000"
                                                             "75c"));
    QCOMPARE(rejecting.answer(hex("0507dc03000001c2001e"), 0), hex("0504dc83000759"));
    QCOMPARE(rejecting.settings().genState, quint8(1));
    QCOMPARE(rejecting.pendingSpeed(), 0u);
    QCOMPARE(rejecting.answer(hex("0503dc0200d8"), 0), hex("0504dc8200005f")); // reboot still works

    s = tableReader();
    s.answerAsAddress = true;
    s.answerAddress = 9;
    QCOMPARE(SimReader(s).answer(hex("0503dc0100db"), 0), hex("0909dc81000000dc01020f8d"));
}

void TestReaderSim::readerOptions_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    // address id fw speed gen pullup mode counter rate uptime silent badcrc split delay reject
    // rebootsilence answeras
    QTest::addColumn<QString>("expected");
    const QString defaults = "1 220 1.3.2 19200 0 0 0 0 1 0 0 0 1:0 2 0 1000 0:0";

    QTest::newRow("make run's first reader")
            << "address=1,fw=1.3.2,id=220,speed=19200" << true << defaults;
    QTest::newRow("everything")
            << "address=7, id=221,fw=1.0.5,speed=115200,gen=1,pullup=2,mode=2,counter=-5,rate=10,"
               "uptime=99,silent=3,badcrc,split=3:20,delay=40,reject=4,rebootsilence=300,answeras=8"
            << true << "7 221 1.0.5 115200 1 2 2 -5 10 99 3 1 3:20 40 4 300 1:8";
    QTest::newRow("split without gap, badcrc off")
            << "split=2,badcrc=off" << true << "1 220 1.3.2 19200 0 0 0 0 1 0 0 0 2:5 2 0 1000 0:0";
    QTest::newRow("empty") << "" << true << defaults;
    QTest::newRow("unknown key") << "adress=3" << false << "";
    QTest::newRow("address 0") << "address=0" << false << "";
    QTest::newRow("address 255") << "address=255" << false << "";
    QTest::newRow("two-part version") << "fw=1.2" << false << "";
    QTest::newRow("version part above 255") << "fw=1.2.256" << false << "";
    QTest::newRow("speed no reader has") << "speed=12345" << false << "";
    QTest::newRow("no pieces") << "split=0" << false << "";
    QTest::newRow("counter beyond 32 bits") << "counter=2147483648" << false << "";
    QTest::newRow("key without value") << "address" << false << "";
}

void TestReaderSim::readerOptions()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(QString, expected);
    SimReaderSettings s;
    QString error;
    QCOMPARE(parseReaderOptions(text, &s, &error), ok);
    if (!ok) {
        QVERIFY(!error.isEmpty());
        return;
    }
    const QString got = QString("%1 %2 %3 %4 %5 %6 %7 %8 %9")
                                .arg(s.address)
                                .arg(s.deviceId)
                                .arg(s.firmware)
                                .arg(s.speed)
                                .arg(s.genState)
                                .arg(s.pullUp)
                                .arg(s.genMode)
                                .arg(s.counter)
                                .arg(s.counterPerSecond)
                        + QString(" %1 %2 %3 %4:%5 %6 %7 %8 %9:%10")
                                  .arg(s.uptime)
                                  .arg(s.silentRequests)
                                  .arg(s.badChecksum)
                                  .arg(s.splitPieces)
                                  .arg(s.splitGapMs)
                                  .arg(s.replyDelayMs)
                                  .arg(s.rejectWrites)
                                  .arg(s.rebootSilenceMs)
                                  .arg(s.answerAsAddress)
                                  .arg(s.answerAddress);
    QCOMPARE(got, expected);
}

// Two readers on one bus, reached through the link like a serial port.
void TestReaderSim::busOverPty()
{
    QTemporaryDir dir;
    SimBus bus;
    bus.addReader(tableReader());
    SimReaderSettings first;
    first.address = 1;
    first.speed = 9600;
    bus.addReader(first);
    SimReaderSettings second = first;
    second.address = 2;
    second.firmware = "1.0.5";
    bus.addReader(second);
    QVERIFY2(bus.open(dir.filePath("bus-link")), qPrintable(bus.errorString()));
    QCOMPARE(QFileInfo(dir.filePath("bus-link")).symLinkTarget(), bus.ptyPath());
    QCOMPARE(bus.devicePath(), dir.filePath("bus-link"));

    DevicePort dev;
    QVERIFY2(dev.open(bus.devicePath(), 9600), qPrintable(dev.port.errorString()));
    QCOMPARE(dev.exchange(hex("0103dc0100df"), 12), hex("0109dc81000000dc01030289"));
    QCOMPARE(dev.exchange(hex("0203dc0100dc"), 12), hex("0209dc81000000dc0100058e"));
    QCOMPARE(dev.exchange(hex("0503dc0100db"), 12), hex("0509dc81000000dc01020f81"));
    QCOMPARE(dev.exchange(hex("0303dc0100dd"), 1, 300), QByteArray());
    QCOMPARE(dev.exchange(hex("0103dc0100de"), 1, 300), QByteArray());
    // Noise on the line is passed over; the frame after it is answered.
    QCOMPARE(dev.exchange(hex("ff00") + hex("0103dc0301dc"), 13), hex("0109dc83010000002580"
                                                                      "01"
                                                                      "f2"));
    QCOMPARE(bus.requests().size(), 6);
    QCOMPARE(bus.requests().at(4), hex("0103dc0100de"));
}

// Readers answer only at their own speed; the master side sees the speed the device side set.
void TestReaderSim::lineSpeed()
{
    SimBus bus;
    bus.addReader(SimReaderSettings()); // 19200 baud
    QVERIFY(bus.open());
    DevicePort dev;
    QVERIFY(dev.open(bus.devicePath(), 9600));
    QCOMPARE(bus.lineSpeed(), 9600u);
    QCOMPARE(dev.exchange(hex("0103dc0100df"), 1, 300), QByteArray());
    bus.setIgnoreSpeed(true);
    QCOMPARE(dev.exchange(hex("0103dc0100df"), 12), hex("0109dc81000000dc01030289"));
    bus.setIgnoreSpeed(false);
    QVERIFY(dev.port.setBaudRate(19200));
    QCOMPARE(bus.lineSpeed(), 19200u);
    QCOMPARE(dev.exchange(hex("0103dc0100df"), 12), hex("0109dc81000000dc01030289"));
}

void TestReaderSim::splitAndDelay()
{
    SimBus bus;
    SimReaderSettings s;
    s.splitPieces = 3;
    s.splitGapMs = 60;
    SimReader *reader = bus.addReader(s);
    QVERIFY(bus.open());
    DevicePort dev;
    QVERIFY(dev.open(bus.devicePath()));
    QSignalSpy sent(&bus, &SimBus::answerSent);
    QCOMPARE(dev.exchange(hex("0103dc0100df"), 12, 3000), hex("0109dc81000000dc01030289"));
    QVERIFY2(dev.arrivals.size() >= 3, qPrintable(QString::number(dev.arrivals.size())));
    QVERIFY2(dev.arrivals.last() - dev.arrivals.first() >= 110,
             qPrintable(QString("pieces came %1 ms apart")
                                .arg(dev.arrivals.last() - dev.arrivals.first())));
    QTRY_COMPARE(sent.count(), 1);

    reader->settings().splitPieces = 1;
    reader->settings().replyDelayMs = 300;
    QCOMPARE(dev.exchange(hex("0103dc0100df"), 12, 3000), hex("0109dc81000000dc01030289"));
    QVERIFY2(dev.arrivals.first() >= 250, qPrintable(QString::number(dev.arrivals.first())));
}

// Closing the master is a converter pulled out: the device side gets an error, the link goes.
void TestReaderSim::converterPulled()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("pulled");
    SimBus bus;
    bus.addReader(SimReaderSettings());
    QVERIFY(bus.open(link));
    DevicePort dev;
    QVERIFY(dev.open(link));
    bus.writeRaw(hex("a5a5"));
    QCOMPARE(dev.collect(2, 1000), hex("a5a5"));
    int errors = 0;
    QObject::connect(&dev.port, &QSerialPort::errorOccurred, &dev.port,
                     [&errors](QSerialPort::SerialPortError e) {
                         errors += e != QSerialPort::NoError;
                     });
    bus.close();
    QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
    dev.collect(1, 300);
    QVERIFY(errors > 0);
    dev.port.close();

    // A stale link is taken over; a real file is never replaced.
    QVERIFY(bus.open(link));
    bus.close();
    QFile file(dir.filePath("plain"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(!bus.open(file.fileName()));
    QVERIFY(QFileInfo(file.fileName()).isFile());
}

// Benchmarks run the bus in a thread of its own, away from the device link's event loop.
void TestReaderSim::busInItsOwnThread()
{
    auto *bus = new SimBus;
    bus->addReader(SimReaderSettings());
    QVERIFY(bus->open());
    QThread thread;
    bus->moveToThread(&thread);
    thread.start();
    DevicePort dev;
    QVERIFY(dev.open(bus->devicePath()));
    QCOMPARE(dev.exchange(hex("0103dc0100df"), 12), hex("0109dc81000000dc01030289"));
    QMetaObject::invokeMethod(bus, &SimBus::close, Qt::BlockingQueuedConnection);
    thread.quit();
    QVERIFY(thread.wait(5000));
    delete bus;
}

void TestReaderSim::program()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("zemo-sim-port");
    QProcess sim;
    sim.start(toolBuildPath("zemo-reader-sim"),
              {"--link", link, "--reader", "address=1,fw=1.3.2,id=220,speed=19200", "--reader",
               "address=2,fw=1.0.5,id=220,speed=19200"});
    QVERIFY2(sim.waitForStarted(), qPrintable(sim.errorString()));
    const QByteArray banner = "Simulated reader bus on " + link.toUtf8() + "\n";
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT((out += sim.readAllStandardOutput()).contains(banner), 5000);
    QVERIFY(QFileInfo(link).isSymLink());

    DevicePort dev;
    QVERIFY(dev.open(link));
    QCOMPARE(dev.exchange(hex("0203dc0100dc"), 12), hex("0209dc81000000dc0100058e"));
    dev.port.close();

    sim.terminate();
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());

    QProcess bad;
    bad.start(toolBuildPath("zemo-reader-sim"), {"--link", link, "--reader", "address=300"});
    QVERIFY(bad.waitForFinished(5000));
    QCOMPARE(bad.exitCode(), 2);
    QVERIFY(bad.readAllStandardError().contains("address=300"));
    QVERIFY(!QFileInfo(link).isSymLink());
}

QTEST_GUILESS_MAIN(TestReaderSim)
#include "tst_readersim.moc"
