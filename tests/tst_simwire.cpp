// The wire timing of the simulated reader bus (zemo-reader-sim --wire): when bytes arrive on a
// line of a given speed, and a whole read over it.
#include "linkonbus.h"
#include "wireline.h"

#include <QtTest>

#include <algorithm>

class TestSimWire : public QObject
{
    Q_OBJECT
private slots:
    void arrivals_data();
    void arrivals();
    void readOverTheWire();
};

void TestSimWire::arrivals_data()
{
    // Bytes put on the line as (time in µs, count); the arrival of every byte in µs, rounded
    // down. A byte is 10 bit times: 520.8 µs at 19200 baud, 4166.7 µs at 2400.
    QTest::addColumn<int>("baud");
    QTest::addColumn<QList<QPair<int, int>>>("sends");
    QTest::addColumn<QList<int>>("arrivals");
    QTest::newRow("free line") << 19200 << QList<QPair<int, int>> {{0, 3}}
                               << QList<int> {520, 1041, 1562};
    QTest::newRow("sent while earlier bytes are under way")
            << 19200 << QList<QPair<int, int>> {{0, 2}, {600, 1}} << QList<int> {520, 1041, 1562};
    QTest::newRow("sent after a pause")
            << 2400 << QList<QPair<int, int>> {{0, 1}, {10000, 1}} << QList<int> {4166, 14166};
    QTest::newRow("unknown speed: at once")
            << 0 << QList<QPair<int, int>> {{100, 2}} << QList<int> {100, 100};
}

void TestSimWire::arrivals()
{
    QFETCH(int, baud);
    using Sends = QList<QPair<int, int>>;
    QFETCH(Sends, sends);
    QFETCH(QList<int>, arrivals);
    WireLine line;
    QByteArray sentBytes;
    for (const auto &send : sends) {
        QByteArray bytes;
        for (int i = 0; i < send.second; ++i)
            bytes.append(char(sentBytes.size() + i));
        line.send(bytes, qint64(send.first) * 1000, quint32(baud));
        sentBytes += bytes;
    }
    QList<int> got;
    QByteArray taken;
    while (!line.isEmpty()) {
        const qint64 next = line.nextArrivalNs();
        QVERIFY(line.takeArrived(next - 1).isEmpty()); // nothing comes early
        const QByteArray bytes = line.takeArrived(next);
        for (int i = 0; i < bytes.size(); ++i)
            got << int(next / 1000);
        taken += bytes;
    }
    QCOMPARE(got, arrivals);
    QCOMPARE(hexBytes(taken), hexBytes(sentBytes));
}

// A whole read with every byte taking its wire time: the requests of 6 bytes, cut on the
// reader's side in many pieces, still form one request each.
void TestSimWire::readOverTheWire()
{
    LinkOnBus t;
    t.bus.setWireTiming(true);
    SimReaderSettings reader;
    reader.speed = 2400;
    t.addReader(reader);
    QVERIFY(t.readOnce(2400, 1, 30000));
    QCOMPARE(LinkOnBus::elementsOf(t.guiDocuments.last()).size(), 5);
    // A bus thread that a loaded machine stalls for longer than the answer's silence splits an
    // answer, and the link asks again: a resend is allowed, a lost or foreign request is not.
    QList<int> codes = t.requestCodes();
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
    QCOMPARE(codes, QList<int>({0x0100, 0x0700, 0x0500, 0x0603, 0x0301}));
}

QTEST_GUILESS_MAIN(TestSimWire)
#include "tst_simwire.moc"
