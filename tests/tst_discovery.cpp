// ctest: slow
#include "linkonbus.h"
#include "testsupport.h"

#include <QThread>
#include <QtTest>

#include <algorithm>

// Bus discovery over the simulated bus: addresses 1 to 254, one probe each, 50 ms for a silent
// address. The full scan takes about 12.7 s.
class TestDiscovery : public QObject
{
    Q_OBJECT
private slots:
    void fullScanFindsReadersInAnswerOrder();
    void scanEndsWithWhatAnswered_data();
    void scanEndsWithWhatAnswered();
    void threadHeldUpAfterAProbe();
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

void TestDiscovery::scanEndsWithWhatAnswered_data()
{
    QTest::addColumn<QList<int>>("readers");
    QTest::addColumn<int>("answersAs"); // the address the readers put in their answers, 0: own
    QTest::addColumn<int>("replyDelayMs");
    QTest::addColumn<int>("parserDelayMs");
    QTest::addColumn<int>("stallMs"); // the event loop held up while address 2 is probed
    QTest::addColumn<QString>("end"); // "stop" pressed, or the converter "pulled"
    QTest::addColumn<QList<int>>("found");
    const QList<int> three {3, 4, 5};

    QTest::newRow("reader at 5") << QList<int> {5} << 0 << 2 << 0 << 0 << "stop" << QList<int> {5};
    QTest::newRow("reader at 3 answering as 9")
            << QList<int> {3} << 9 << 2 << 0 << 0 << "stop" << QList<int> {9};
    QTest::newRow("reader at 17, not reached")
            << QList<int> {17} << 0 << 2 << 0 << 0 << "stop" << QList<int> {};
    // The identity record comes 30 ms after the answer (a slow disk under the log): the next
    // probe waits for it.
    QTest::newRow("slow parser") << three << 0 << 2 << 30 << 0 << "stop" << three;
    // A time-out that fires late must not make the following probes shorter than 50 ms: a
    // reader answering after 46 ms would meet the next probe.
    QTest::newRow("late time-out, slow readers") << three << 0 << 40 << 0 << 60 << "stop" << three;
    // The readers found before the converter went are offered all the same.
    QTest::newRow("converter pulled") << three << 0 << 2 << 0 << 0 << "pulled" << three;
}

// The scan ends early, stopped or cut short by a pulled converter: every reader that answered is
// offered under the address it gave, whatever slowed the program; no probe went while an answer
// was due, and the link is back at address 1 with the port closed.
void TestDiscovery::scanEndsWithWhatAnswered()
{
    QFETCH(QList<int>, readers);
    QFETCH(int, answersAs);
    QFETCH(int, replyDelayMs);
    QFETCH(int, parserDelayMs);
    QFETCH(int, stallMs);
    QFETCH(QString, end);
    QFETCH(QList<int>, found);

    BoxRecorder boxes;
    LinkOnBus t;
    for (int address : readers) {
        SimReaderSettings s = simReader(quint8(address));
        s.answerAsAddress = answersAs != 0;
        s.answerAddress = quint8(answersAs);
        s.replyDelayMs = replyDelayMs;
        t.addReader(s);
    }
    t.link.setPortName(t.bus.devicePath());
    t.link.setBaudRate(19200);
    t.link.setDeviceAddress("7");
    t.link.setParserDelayMs(parserDelayMs);

    // A stray byte on the line while address 7 is probed must not stall the scan.
    bool stalled = false;
    QList<int> probeWaits; // the link's wait for an answer, as each probe reaches the bus
    connect(&t.bus, &SimBus::requestReceived, this, [&](const QByteArray &frame) {
        if (t.link.isAnswerTimerActive())
            probeWaits << t.link.answerTimerInterval();
        const int address = quint8(frame.at(0));
        if (address == 7)
            t.bus.writeRaw(QByteArray(1, '\x55'));
        if (stallMs > 0 && address == 2 && !stalled) {
            stalled = true;
            QTimer::singleShot(5, this, [stallMs] { QThread::msleep(ulong(stallMs)); });
        }
    });
    t.link.findDevices_220();
    QVERIFY(LinkOnBus::waitFor([&] { return t.bus.requests().size() == 10; }, 5000));
    if (end == "stop")
        t.link.findExchangeStop();
    else
        t.bus.close();

    QVERIFY(LinkOnBus::waitFor([&] { return !t.foundAddresses.isEmpty(); }, 2000));
    QCOMPARE(t.foundAddresses, QList<QList<int>> {found});
    QCOMPARE(t.bus.overlappingRequests(), 0);
    QCOMPARE(probeWaits.size(), 10);
    QCOMPARE(*std::min_element(probeWaits.cbegin(), probeWaits.cend()), 50);
    QVERIFY(!t.link.isPortOpen() && !t.link.isSearching());
    QCOMPARE(int(t.link.deviceAddress()), 1);
    QCOMPARE(t.states, (QList<int> {1, 0}));
    QCOMPARE(boxes.describe(), QString());
    QTest::qWait(200);
    QCOMPARE(t.bus.requests().size(), 10);
    QCOMPARE(t.foundAddresses.size(), 1);
}

// The program's thread is held up right after a probe was written (a repaint, a slow disk): the
// reader, which answers on its own as on a real line, answered within its time and is found. The
// frame left with the write, not when the thread next turned to the port after the probe's wait.
void TestDiscovery::threadHeldUpAfterAProbe()
{
    LinkOnBus t;
    SimReaderSettings slow = simReader(3);
    slow.replyDelayMs = 30;
    t.addReader(slow);
    t.link.setPortName(t.bus.devicePath());
    t.link.setBaudRate(19200);
    t.link.setScanLastAddress(5);
    QThread line;
    t.bus.moveToThread(&line);
    line.start();
    // The progress follows each probe's write at once; what it posts (a repaint, say) comes
    // before the thread's next look at the port.
    connect(&t.link, &DeviceInterface::setProgress, this, [this](int address) {
        if (address == 3)
            QMetaObject::invokeMethod(
                    this, [] { QThread::msleep(2 * DeviceInterface::DiscoveryTimeoutMs); },
                    Qt::QueuedConnection);
    });
    t.link.findDevices_220();
    const bool ended = LinkOnBus::waitFor([&] { return !t.foundAddresses.isEmpty(); }, 5000);
    QThread *home = thread();
    int overlaps = -1;
    QMetaObject::invokeMethod(
            &t.bus,
            [&] {
                overlaps = t.bus.overlappingRequests();
                t.bus.moveToThread(home);
            },
            Qt::BlockingQueuedConnection);
    line.quit();
    line.wait();
    QVERIFY(ended);
    QCOMPARE(t.foundAddresses, QList<QList<int>> {QList<int> {3}});
    // Found as the answer to its own probe, not to the next one sent over it.
    QCOMPARE(overlaps, 0);
}

QTEST_GUILESS_MAIN(TestDiscovery)
#include "tst_discovery.moc"
