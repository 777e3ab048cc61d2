// ctest: threads
#include "linkonbus.h"
#include "testsupport.h"

#include <QSignalSpy>
#include <QtTest>

// Reading a reader's configuration end to end over the simulated bus, and the status polling
// that follows a read. The reboot that ends a write is shown by the write sequence.
class TestReadSequence : public QObject
{
    Q_OBJECT
private slots:
    void readsByFirmwareGroup_data();
    void readsByFirmwareGroup();
    void otherCommandLists_data();
    void otherCommandLists();
    void pollCycles_data();
    void pollCycles();
};

void TestReadSequence::readsByFirmwareGroup_data()
{
    QTest::addColumn<QString>("firmware");
    QTest::addColumn<QList<int>>("codes");
    QTest::addColumn<QList<int>>("progress");
    QTest::addColumn<int>("progressMax");

    // The group's list is 0x0301, 0x0603, 0x0500 (and 0x0700), sent from last to first.
    QTest::newRow("current group 1.3.2")
            << "1.3.2" << QList<int> {0x0100, 0x0700, 0x0500, 0x0603, 0x0301}
            << QList<int> {333, 0, 1, 2, 3, 999, 0} << 4;
    QTest::newRow("older group 1.0.5") << "1.0.5" << QList<int> {0x0100, 0x0500, 0x0603, 0x0301}
                                       << QList<int> {333, 0, 1, 2, 999, 0} << 3;
}

void TestReadSequence::readsByFirmwareGroup()
{
    QFETCH(QString, firmware);
    QFETCH(QList<int>, codes);
    QFETCH(QList<int>, progress);
    QFETCH(int, progressMax);

    LinkOnBus t;
    SimReaderSettings s = simReader(17, 38400, firmware);
    s.genState = 1;
    s.genMode = 1;
    s.counter = -5;
    s.counterPerSecond = 0;
    s.uptime = 4000;
    t.addReader(s);

    QSignalSpy fw(&t.link, &DeviceInterface::setCurrentFwVer);
    QSignalSpy counter(&t.link, &DeviceInterface::showInputInfo_220);
    QSignalSpy uptime(&t.link, &DeviceInterface::showUpTimeInfo_220);
    LogCapture log;
    QVERIFY(t.startRead(38400, 17));
    QVERIFY(LinkOnBus::waitFor([&] { return t.guiDocuments.size() == 1; }, 5000));

    QCOMPARE(t.requestCodes(), codes);
    QCOMPARE(t.states, QList<int> {4});
    QCOMPARE(t.progress, progress);
    QCOMPARE(t.progressMax, QList<int> {progressMax});
    QCOMPARE(fw, QList<QVariantList>({{firmware, QString(), "220", "Zemo220"}}));
    QCOMPARE(counter.count(), 1);
    QCOMPARE(uptime.count(), codes.count(0x0700));
    QCOMPARE(countLogLine(log, "Counter value received:", "-5"), 1);

    // The 0x0603 answer comes before the 0x0301 answer.
    QCOMPARE(LinkOnBus::elementsOf(t.guiDocuments.at(0)),
             (QStringList {"gen_stat_220=1", "pull_up_220=0", "gen_mode_220=1", "rs485_addr_220=17",
                           "rs485_speed_220=38400"}));
    QVERIFY(t.guiDocuments.at(0).startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    QVERIFY(!t.link.isAnswerTimerActive());
}

void TestReadSequence::otherCommandLists_data()
{
    QTest::addColumn<QList<int>>("commands");
    QTest::addColumn<QList<int>>("codes");
    QTest::addColumn<QStringList>("elements");
    QTest::newRow("empty list finishes at once")
            << QList<int>() << QList<int> {0x0100} << QStringList();
    // The reader does not know 0x0400 and gives the empty answer: the read goes on.
    QTest::newRow("empty answer skips the command")
            << QList<int> {0x0301, 0x0400} << QList<int> {0x0100, 0x0400, 0x0301}
            << QStringList {"rs485_addr_220=1", "rs485_speed_220=19200"};
}

void TestReadSequence::otherCommandLists()
{
    QFETCH(QList<int>, commands);
    QFETCH(QList<int>, codes);
    QFETCH(QStringList, elements);
    LinkOnBus t;
    t.addReader(SimReaderSettings());
    t.replaceCommandList(commands);
    LogCapture log;
    QVERIFY(t.readOnce());
    QCOMPARE(t.requestCodes(), codes);
    QCOMPARE(t.progressMax, QList<int> {commands.size()});
    QCOMPARE(log.count("Empty answer. Next command"), commands.count(0x0400));
    QCOMPARE(LinkOnBus::elementsOf(t.guiDocuments.at(0)), elements);
}

void TestReadSequence::pollCycles_data()
{
    QTest::addColumn<QList<int>>("commands");
    QTest::addColumn<QList<int>>("sent"); // requests after the read, three ticks
    QTest::addColumn<QList<int>>("endTicks"); // ticks that end a cycle ("END of polling")

    QTest::newRow("counter and uptime")
            << QList<int> {0x0500, 0x0700} << QList<int> {0x0500, 0x0700} << QList<int> {3};
    // Tick 2 finds nothing to send and ends the cycle; tick 3 starts the next one.
    QTest::newRow("counter only") << QList<int> {0x0500} << QList<int> {0x0500, 0x0500}
                                  << QList<int> {2};
    QTest::newRow("uptime only") << QList<int> {0x0700} << QList<int> {0x0700, 0x0700}
                                 << QList<int> {3};
    QTest::newRow("neither") << QList<int> {0x0301} << QList<int> {} << QList<int> {1, 2, 3};
}

void TestReadSequence::pollCycles()
{
    QFETCH(QList<int>, commands);
    QFETCH(QList<int>, sent);
    QFETCH(QList<int>, endTicks);

    LinkOnBus t;
    t.addReader(SimReaderSettings());
    t.replaceCommandList(commands);
    QVERIFY(t.readOnce());
    t.bus.clearRequests();
    QSignalSpy counter(&t.link, &DeviceInterface::showInputInfo_220);
    QSignalSpy uptime(&t.link, &DeviceInterface::showUpTimeInfo_220);
    LogCapture log;

    // Every tick ends in the ready state, whether it read a value or ended the cycle.
    QList<int> ends;
    for (int tick = 1; tick <= 3; ++tick) {
        t.states.clear();
        const int cycleEnds = log.count("END of polling");
        t.link.startPoll();
        QVERIFY(LinkOnBus::waitFor([&] { return t.link.isIdle(); }, 3000));
        QCOMPARE(t.states, QList<int> {3});
        if (log.count("END of polling") > cycleEnds)
            ends << tick;
    }
    QCOMPARE(t.requestCodes(), sent);
    QCOMPARE(ends, endTicks);
    QCOMPARE(counter.count(), sent.count(0x0500));
    QCOMPARE(uptime.count(), sent.count(0x0700));
}

QTEST_GUILESS_MAIN(TestReadSequence)
#include "tst_readsequence.moc"
