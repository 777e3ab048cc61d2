// The simulated reader on its own: request cutting and answer frames written out by hand. The
// pseudo-terminal, reboots, reading, writing, discovery and the fault switches are shown by the
// device-side tests over this bus, the option parser by the server double's program test.
#include "simframe.h"
#include "simreader.h"
#include "testsupport.h"

#include <QtTest>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// The reader of the answer table: address 5, firmware 1.2.15, 9600 baud, counter 0x01020304,
// uptime 0x10000 s.
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

} // namespace

class TestReaderSim : public QObject
{
    Q_OBJECT
private slots:
    void cutting_data();
    void cutting();
    void answers_data();
    void answers();
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

QTEST_GUILESS_MAIN(TestReaderSim)
#include "tst_readersim.moc"
