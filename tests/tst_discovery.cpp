// ctest: slow
#include "linkonbus.h"
#include "testsupport.h"

#include <QtTest>

// Bus discovery over the simulated bus: addresses 1 to 254, one probe each, 50 ms for a silent
// address. The full scan takes about 12.7 s.
class TestDiscovery : public QObject
{
    Q_OBJECT
private slots:
    void fullScanFindsReadersInAnswerOrder();
    void stopReportsWhatWasFound_data();
    void stopReportsWhatWasFound();
    void everyReaderThatAnswersIsOffered_data();
    void everyReaderThatAnswersIsOffered();
};

namespace {
QList<int> probedAddresses(const LinkOnBus &t)
{
    QList<int> addresses;
    for (const QByteArray &frame : t.bus.requests())
        addresses << quint8(frame.at(0));
    return addresses;
}
} // namespace

void TestDiscovery::fullScanFindsReadersInAnswerOrder()
{
    LinkOnBus t;
    t.addReader(simReader(17));
    t.addReader(simReader(5));
    t.link.setPortName(t.bus.devicePath());
    t.link.setBaudRate(19200);
    t.link.setDeviceAddress("3");
    LogCapture log;
    t.link.findDevices_220();
    QVERIFY(t.link.isPortOpen());
    QCOMPARE(t.link.answerTimerInterval(), 50);
    QVERIFY(LinkOnBus::waitFor([&] { return !t.foundAddresses.isEmpty(); }, 30000));

    QCOMPARE(t.foundAddresses, QList<QList<int>> {(QList<int> {5, 17})});
    QCOMPARE(countLogLine(log, "devices:", "(5, 17)"), 1);
    QList<int> all;
    for (int a = 1; a <= 254; ++a)
        all << a;
    QCOMPARE(probedAddresses(t), all);
    QCOMPARE(t.requestCodes().count(0x0100), 254);
    QCOMPARE(log.count("Data IO Error"), 0);
    QVERIFY(!t.link.isPortOpen());
    QCOMPARE(int(t.link.deviceAddress()), 1);
    QCOMPARE(t.states, (QList<int> {1, 0}));
    QVERIFY(!t.link.isSearching());
    // 0 at the start, the address of each further probe, 0 at the end.
    QCOMPARE(t.progress.first(), 0);
    QCOMPARE(t.progress.at(1), 2);
    QCOMPARE(t.progress.at(t.progress.size() - 2), 254);
    QCOMPARE(t.progress.last(), 0);
}

void TestDiscovery::stopReportsWhatWasFound_data()
{
    QTest::addColumn<int>("readerAddress");
    QTest::addColumn<int>("answersAs");
    QTest::addColumn<QList<int>>("found");

    QTest::newRow("reader at 5") << 5 << 0 << QList<int> {5};
    QTest::newRow("reader at 3 answering as 9") << 3 << 9 << QList<int> {9};
    QTest::newRow("reader at 17, not reached") << 17 << 0 << QList<int> {};
}

void TestDiscovery::stopReportsWhatWasFound()
{
    QFETCH(int, readerAddress);
    QFETCH(int, answersAs);
    QFETCH(QList<int>, found);

    LinkOnBus t;
    SimReaderSettings s = simReader(quint8(readerAddress));
    s.answerAsAddress = answersAs != 0;
    s.answerAddress = quint8(answersAs);
    t.addReader(s);
    t.link.setPortName(t.bus.devicePath());
    t.link.setBaudRate(19200);

    // A stray byte on the line while address 7 is probed must not stall the scan.
    connect(&t.bus, &SimBus::requestReceived, this, [&](const QByteArray &frame) {
        if (quint8(frame.at(0)) == 7)
            t.bus.writeRaw(QByteArray(1, '\x55'));
    });
    t.link.findDevices_220();
    QVERIFY(LinkOnBus::waitFor([&] { return t.bus.requests().size() == 10; }, 5000));
    t.link.findExchangeStop();

    QCOMPARE(t.foundAddresses, QList<QList<int>> {found});
    QVERIFY(!t.link.isPortOpen());
    QCOMPARE(int(t.link.deviceAddress()), 1);
    QCOMPARE(t.states, (QList<int> {1, 0}));
    QTest::qWait(200);
    QCOMPARE(t.bus.requests().size(), 10);
    QCOMPARE(t.foundAddresses.size(), 1);
}

void TestDiscovery::everyReaderThatAnswersIsOffered_data()
{
    QTest::addColumn<int>("replyDelayMs");
    QTest::addColumn<int>("parserDelayMs");
    QTest::addColumn<int>("stallMs"); // the event loop held up while address 2 is probed
    QTest::addColumn<QString>("end"); // "stop" pressed, or the converter "pulled"

    // The identity record comes 30 ms after the answer (a slow disk under the log): the next
    // probe waits for it.
    QTest::newRow("slow parser") << 2 << 30 << 0 << "stop";
    // A time-out that fires late must not make the following probes shorter than 50 ms: a
    // reader answering after 46 ms would meet the next probe.
    QTest::newRow("late time-out, slow readers") << 46 << 0 << 60 << "stop";
    // The readers found before the converter went are offered all the same.
    QTest::newRow("converter pulled") << 2 << 0 << 0 << "pulled";
}

// Readers at 3, 4 and 5 answer the scan; whatever slows the program or ends the scan early,
// each is offered, no probe goes while an answer is due, and the link is back at address 1
// with the port closed.
void TestDiscovery::everyReaderThatAnswersIsOffered()
{
    QFETCH(int, replyDelayMs);
    QFETCH(int, parserDelayMs);
    QFETCH(int, stallMs);
    QFETCH(QString, end);

    BoxRecorder boxes;
    LinkOnBus t;
    for (quint8 address : {3, 4, 5}) {
        SimReaderSettings s = simReader(address);
        s.replyDelayMs = replyDelayMs;
        t.addReader(s);
    }
    t.link.setPortName(t.bus.devicePath());
    t.link.setBaudRate(19200);
    t.link.setDeviceAddress("7");
    t.link.setParserDelayMs(parserDelayMs);
    bool stalled = false;
    connect(&t.bus, &SimBus::requestReceived, this, [&](const QByteArray &frame) {
        if (stallMs > 0 && quint8(frame.at(0)) == 2 && !stalled) {
            stalled = true;
            QTimer::singleShot(5, this, [stallMs] { QThread::msleep(ulong(stallMs)); });
        }
    });
    t.link.findDevices_220();
    QVERIFY(LinkOnBus::waitFor([&] { return t.bus.requests().size() >= 8; }, 5000));
    if (end == "stop")
        t.link.findExchangeStop();
    else
        t.bus.close();
    QVERIFY(LinkOnBus::waitFor([&] { return !t.foundAddresses.isEmpty(); }, 2000));

    QCOMPARE(t.foundAddresses, QList<QList<int>> {(QList<int> {3, 4, 5})});
    QCOMPARE(t.bus.overlappingRequests(), 0);
    QVERIFY(!t.link.isPortOpen() && !t.link.isSearching());
    QCOMPARE(int(t.link.deviceAddress()), 1);
    QCOMPARE(t.states.last(), 0);
    QCOMPARE(boxes.describe(), QString());
}

QTEST_GUILESS_MAIN(TestDiscovery)
#include "tst_discovery.moc"
