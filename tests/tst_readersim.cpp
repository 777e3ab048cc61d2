// The simulated reader bus on its own: request cutting, answer frames written out by hand, the
// option parser, the pseudo-terminal and the program. Reading, writing, discovery and the fault
// switches that the device link meets are shown by the device-side tests over this bus.
#include "busthread.h"
#include "simbus.h"
#include "simframe.h"
#include "simreader.h"
#include "simreaderoptions.h"
#include "testsupport.h"

#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
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
    s.counter = 0x01020304;
    s.counterPerSecond = 3;
    s.uptime = 0x10000;
    return s;
}

// The device side of the line, as the configurator opens it.
struct DevicePort
{
    bool open(const QString &path, qint32 baud = 19200)
    {
        port.setPortName(path);
        return port.open(QIODevice::ReadWrite) && port.setBaudRate(baud);
    }
    // Writes a request and collects what arrives until size bytes are there or timeoutMs pass;
    // the bus may live in this thread, so the wait runs the event loop.
    QByteArray exchange(const QByteArray &request, int size = 12, int timeoutMs = 1000)
    {
        port.readAll();
        arrivals.clear();
        port.write(request);
        QByteArray got;
        QElapsedTimer clock;
        clock.start();
        while (got.size() < size && clock.elapsed() < timeoutMs) {
            QTest::qWait(1);
            const QByteArray piece = port.readAll();
            if (!piece.isEmpty())
                arrivals.append(clock.elapsed());
            got += piece;
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
    void rebootAndClock();
    void readerOptions_data();
    void readerOptions();
    void busOverPty();
    void splitAndDelay();
    void program();
};

void TestReaderSim::cutting_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<QList<QByteArray>>("frames");
    QTest::addColumn<int>("pending");
    using L = QList<QByteArray>;
    const QByteArray version = hex("0503dc0100db");
    const QByteArray speed = hex("0507dc03000000258078");
    QTest::newRow("two glued") << L {version + speed} << L {version, speed} << 0;
    QTest::newRow("byte by byte") << L {hex("05"), hex("03"), hex("dc01"), hex("00db")}
                                  << L {version} << 0;
    QTest::newRow("bad checksum still cut")
            << L {hex("0503dc010000") + version} << L {hex("0503dc010000"), version} << 0;
    QTest::newRow("incomplete waits") << L {hex("0507dc0300")} << L {} << 5;
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
    auto row = [](const char *name, const char *request, const char *answer) {
        QTest::newRow(name) << hex(request) << hex(answer);
    };
    row("device information", "0503dc0100db", "0509dc81000000dc01020f81");
    row("read RS-485", "0503dc0301d8", "0509dc8301000000258005f2");
    row("read counter", "0503dc0500df", "0508dc8500000102030450");
    row("read outputs", "0503dc0603df", "0507dc86030001020058");
    row("read uptime", "0503dc0700dd", "0508dc8700000001000057");
    row("unknown code: empty answer", "0503dc0400de", "0504dc8000005d");
    row("read with data ignored", "0504dc010077ab", "0509dc81000000dc01020f81");
    row("write speed 9600", "0507dc03000000258078", "0504dc8300005e");
    row("write speed 12345 refused", "0507dc030000003039d4", "0504dc8300015f");
    row("write address 0x11", "0504dc030211cd", "0504dc8302005c");
    row("write address 0 refused", "0504dc030200dc", "0504dc8302015d");
    row("write address without data", "0503dc0302db", "0504dc8302015d");
    row("write generation", "0504dc060001da", "0504dc8600005b");
    row("write pull-up", "0504dc060102d8", "0504dc8601005a");
    row("write mode", "0504dc060202db", "0504dc86020059");
    row("reboot", "0503dc0200d8", "0504dc8200005f");
    row("other address", "0603dc0100d8", "");
    row("wrong checksum", "0503dc0100da", "");
    row("wrong marker", "0503dd0100da", "");
    row("length beyond frame", "0504dc0100db", "");
    row("too short", "0502dcd9", "");
}

void TestReaderSim::answers()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, answer);
    const QByteArray got = SimReader(tableReader()).answer(request, 0);
    QVERIFY2(got == answer,
             qPrintable(QString("expected %1, got %2").arg(hexBytes(answer), hexBytes(got))));
}

void TestReaderSim::rebootAndClock()
{
    SimReaderSettings s = tableReader();
    s.rebootSilenceMs = 1000;
    SimReader reader(s, 1000);
    // The counter rises by 3 a second, the uptime by 1, from the reader's start at 1 s.
    QCOMPARE(reader.answer(hex("0503dc0500df"), 3500), hex("0508dc8500000102030a5e"));
    QCOMPARE(reader.answer(hex("0503dc0700dd"), 3500), hex("0508dc8700000001000255"));
    QCOMPARE(reader.answer(hex("0504dc030211cd"), 0), hex("0504dc8302005c")); // address 0x11
    QCOMPARE(reader.answer(hex("0507dc03000001c2001e"), 0), hex("0504dc8300005e")); // 115200
    // Address and speed wait for the reboot.
    QCOMPARE(reader.answer(hex("0503dc0301d8"), 0), hex("0509dc8301000000258005f2"));

    // The reboot answer leaves from the old address; then silence, then the new address.
    QCOMPARE(reader.answer(hex("0503dc0200d8"), 3000), hex("0504dc8200005f"));
    QCOMPARE(reader.answer(hex("1103dc0100cf"), 3999), QByteArray());
    QCOMPARE(reader.answer(hex("1103dc0301cc"), 4000), hex("1109dc8301000001c2001194"));
    QCOMPARE(reader.answer(hex("0503dc0100db"), 4000), QByteArray());
    // The counter kept its value over the reboot (2 s at 3 a second); the uptime began again.
    QCOMPARE(reader.counterAt(4000), 0x01020304 + 6);
    QCOMPARE(reader.uptimeAt(6500), 2u);

    // The wrong-checksum switch spoils only the last byte.
    s.badChecksum = true;
    const QByteArray bad = SimReader(s).answer(hex("0503dc0100db"), 0);
    QCOMPARE(bad.left(11), hex("0509dc81000000dc01020f"));
    QVERIFY2(quint8(bad.back()) != 0x81, qPrintable(hexBytes(bad)));
}

void TestReaderSim::readerOptions_data()
{
    QTest::addColumn<QString>("text");
    // address id fw speed gen pullup mode counter rate uptime silent badcrc split delay reject
    // rebootsilence answeras; empty: refused
    QTest::addColumn<QString>("expected");
    const QString defaults = "1 220 1.3.2 19200 0 0 0 0 1 0 0 0 1:0 2 0 1000 0:0";

    QTest::newRow("empty") << "" << defaults;
    QTest::newRow("everything")
            << "address=7, id=221,fw=1.0.5,speed=115200,gen=1,pullup=2,mode=2,counter=-5,rate=10,"
               "uptime=99,silent=3,badcrc,split=3:20,delay=40,reject=4,rebootsilence=300,answeras=8"
            << "7 221 1.0.5 115200 1 2 2 -5 10 99 3 1 3:20 40 4 300 1:8";
    QTest::newRow("split without gap, badcrc off")
            << "split=2,badcrc=off"
            << "1 220 1.3.2 19200 0 0 0 0 1 0 0 0 2:5 2 0 1000 0:0";
    for (const char *bad : {"adress=3", "address=255", "fw=1.2.256", "speed=12345", "address"})
        QTest::newRow(bad) << bad << "";
}

void TestReaderSim::readerOptions()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    SimReaderSettings s;
    QString error;
    QCOMPARE(parseReaderOptions(text, &s, &error), !expected.isEmpty());
    if (expected.isEmpty()) {
        QVERIFY(!error.isEmpty());
        return;
    }
    auto n = [](qint64 value) {
        return QString::number(value);
    };
    const QString got = QStringList({n(s.address), n(s.deviceId), s.firmware, n(s.speed),
                                     n(s.genState), n(s.pullUp), n(s.genMode), n(s.counter),
                                     n(s.counterPerSecond), n(s.uptime), n(s.silentRequests),
                                     n(s.badChecksum), n(s.splitPieces) + ":" + n(s.splitGapMs),
                                     n(s.replyDelayMs), n(s.rejectWrites), n(s.rebootSilenceMs),
                                     n(s.answerAsAddress) + ":" + n(s.answerAddress)})
                                .join(' ');
    QCOMPARE(got, expected);
}

// Readers on one bus behind a symbolic link, reached like a serial port, each only at its own
// speed; noise on the line is passed over.
void TestReaderSim::busOverPty()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("bus-link");
    SimBus bus;
    bus.addReader(tableReader()); // 9600 baud
    bus.addReader(SimReaderSettings()); // address 1, 19200 baud
    QVERIFY2(bus.open(link), qPrintable(bus.errorString()));
    QCOMPARE(QFileInfo(link).symLinkTarget(), bus.ptyPath());
    QCOMPARE(bus.devicePath(), link);

    DevicePort dev;
    QVERIFY(dev.open(link, 9600));
    QCOMPARE(bus.lineSpeed(), 9600u);
    QCOMPARE(dev.exchange(hex("ff00") + hex("0503dc0100db")), hex("0509dc81000000dc01020f81"));
    QCOMPARE(dev.exchange(hex("0103dc0100df"), 1, 300), QByteArray());
    bus.setIgnoreSpeed(true);
    QCOMPARE(dev.exchange(hex("0103dc0100df")), hex("0109dc81000000dc01030289"));
    QCOMPARE(bus.requests().size(), 3);

    // Closed, the link goes; a stale link is taken over, a real file is never replaced.
    bus.close();
    QVERIFY(!QFileInfo(link).isSymLink());
    QVERIFY(QFile::link("/nonexistent", link));
    QVERIFY(bus.open(link));
    bus.close();
    QVERIFY(writeTestFile(dir.filePath("plain"), "x"));
    QVERIFY(!bus.open(dir.filePath("plain")));
    QVERIFY(QFileInfo(dir.filePath("plain")).isFile());
}

// Answers in pieces with gaps, and a delay before answering; also with the bus in a thread of
// its own, as the benchmarks run it.
void TestReaderSim::splitAndDelay()
{
    BusThread thread;
    SimReaderSettings s;
    s.splitPieces = 3;
    s.splitGapMs = 60;
    thread.addReader(s);
    s.address = 2;
    s.splitPieces = 1;
    s.replyDelayMs = 300;
    thread.addReader(s);
    QVERIFY(thread.start());
    DevicePort dev;
    QVERIFY(dev.open(thread.devicePath()));
    QCOMPARE(dev.exchange(hex("0103dc0100df"), 12, 3000), hex("0109dc81000000dc01030289"));
    const qint64 spread = dev.arrivals.last() - dev.arrivals.first();
    QVERIFY2(dev.arrivals.size() >= 3 && spread >= 110,
             qPrintable(QString("%1 pieces in %2 ms").arg(dev.arrivals.size()).arg(spread)));
    QCOMPARE(dev.exchange(hex("0203dc0100dc"), 12, 3000), hex("0209dc81000000dc0103028a"));
    QVERIFY2(dev.arrivals.first() >= 250, qPrintable(QString::number(dev.arrivals.first())));
}

void TestReaderSim::program()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("zemo-sim-port");
    QProcess sim;
    sim.start(toolBuildPath("zemo-reader-sim"),
              {"--link", link, "--reader", "address=1,fw=1.3.2,id=220,speed=19200", "--reader",
               "address=2,fw=1.0.5,id=220,speed=19200"});
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT((out += sim.readAllStandardOutput())
                                     .contains("Simulated reader bus on " + link.toUtf8() + "\n"),
                             5000);
    DevicePort dev;
    QVERIFY(dev.open(link));
    QCOMPARE(dev.exchange(hex("0203dc0100dc")), hex("0209dc81000000dc0100058e"));
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
}

QTEST_GUILESS_MAIN(TestReaderSim)
#include "tst_readersim.moc"
