#include "linkonbus.h"
#include "testsupport.h"

#include <QBuffer>
#include <QtTest>

// Writing a configuration end to end over the simulated bus: one command per element, the
// closing reboot, refused and rejected values. The reader taking the written values over at its
// reboot is shown by the window's session tests.
class TestWriteSequence : public QObject
{
    Q_OBJECT
private slots:
    void writesElementsAndReboots_data();
    void writesElementsAndReboots();
    void documentWithoutDataIsRefused();
    void rejectedValueStopsWithoutReboot();
    void answerToNoRequestIgnored();
    void writeWithoutAPort();
};

namespace {
// Runs a write of the document after a read of the reader at address 1 and waits until the
// write has ended (state 3 or 7) or nothing more happens.
void runWrite(LinkOnBus &t, const QByteArray &xml)
{
    QBuffer buffer;
    buffer.setData(xml);
    t.states.clear();
    t.progress.clear();
    t.progressMax.clear();
    t.bus.clearRequests();
    t.link.writeConfiguration(&buffer);
    QVERIFY(!buffer.isOpen());
    LinkOnBus::waitFor([&] { return t.states.contains(3) || t.states.contains(7); }, 5000);
}

QByteArray doc(const char *children)
{
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<configuration>") + children
           + "</configuration>\n";
}
} // namespace

void TestWriteSequence::writesElementsAndReboots_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QStringList>("frames"); // requests after the read, reboot included
    QTest::addColumn<int>("rejectedLines");
    QTest::addColumn<QList<int>>("progress");

    // 01^07^dc^03^00^00^01^c2^00 = 1a; reboot 01^03^dc^02^00 = dc
    QTest::newRow("refused item, then speed 115200")
            << doc("<fw_ver param=\"1.3.2\"/><rs485_speed_220 param=\"115200\"/>")
            << QStringList {"0107dc03000001c2001a", "0103dc0200dc"} << 1 << QList<int> {1, 999, 0};
    // Every refused item gets its own line and none waits for the reader.
    QTest::newRow("run of refused items")
            << doc("<fw_ver param=\"1\"/><ser_num param=\"2\"/><dev_eui param=\"3\"/>"
                   "<gen_stat_220 param=\"1\"/>")
            << QStringList {"0104dc060001de", "0103dc0200dc"} << 3 << QList<int> {1, 999, 0};
    // 01^04^dc^03^02^fe = 26
    QTest::newRow("address fe") << doc("<rs485_addr_220 param=\"fe\"/>")
                                << QStringList {"0104dc0302fe26", "0103dc0200dc"} << 0
                                << QList<int> {1, 999, 0};
    // Comments and text between the elements are passed over at once.
    QTest::newRow("comment and text between elements")
            << doc("<!-- from the form -->\n <pull_up_220 param=\"1\"/>\n text "
                   "<gen_mode_220 param=\"0\"/>\n")
            << QStringList {"0104dc060101df", "0104dc060200dd", "0103dc0200dc"} << 0
            << QList<int> {1, 2, 999, 0};
    QTest::newRow("no elements") << doc("") << QStringList {"0103dc0200dc"} << 0
                                 << QList<int> {999, 0};
    QTest::newRow("unknown element skipped")
            << doc("<colour param=\"1\"/><gen_stat_220 param=\"0\"/>")
            << QStringList {"0104dc060000df", "0103dc0200dc"} << 0 << QList<int> {1, 999, 0};
}

void TestWriteSequence::writesElementsAndReboots()
{
    QFETCH(QByteArray, xml);
    QFETCH(QStringList, frames);
    QFETCH(int, rejectedLines);
    QFETCH(QList<int>, progress);

    LinkOnBus t;
    t.addReader(SimReaderSettings());
    QVERIFY(t.readOnce());
    LogCapture log;
    runWrite(t, xml);

    QVERIFY(LinkOnBus::waitFor([&] { return t.requestHex().size() == frames.size(); }, 2000));
    QCOMPARE(t.requestHex(), frames);
    QCOMPARE(t.states, (QList<int> {5, 7}));
    QCOMPARE(log.count("The item is not recorded. Item rejected."), rejectedLines);
    QCOMPARE(log.count("Write config done!"), 1);
    QCOMPARE(t.progressMax, QList<int> {progress.size() - 2});
    QCOMPARE(t.progress, progress);
    QVERIFY(!t.link.isWriteMode());
}

void TestWriteSequence::documentWithoutDataIsRefused()
{
    LinkOnBus t;
    t.addReader(SimReaderSettings());
    QVERIFY(t.readOnce());
    LogCapture log;
    for (const QByteArray &xml : {QByteArray(), QByteArray("rs485_speed_220=9600")}) {
        runWrite(t, xml);
        QCOMPARE(t.states, QList<int> {3});
    }
    QCOMPARE(log.count("There is no data for the configuration entry!"), 2);
    QTest::qWait(50);
    QVERIFY(t.bus.requests().isEmpty());

    // No buffer at all: nothing happens, no state.
    t.states.clear();
    t.link.writeConfiguration(nullptr);
    QVERIFY(t.states.isEmpty());
}

void TestWriteSequence::rejectedValueStopsWithoutReboot()
{
    BoxRecorder boxes;
    LinkOnBus t;
    SimReaderSettings s;
    s.rejectWrites = 5;
    SimReader *reader = t.addReader(s);
    QVERIFY(t.readOnce());
    LogCapture log;
    runWrite(t, doc("<gen_stat_220 param=\"1\"/><pull_up_220 param=\"1\"/>"));

    QCOMPARE(t.states, (QList<int> {5, 3}));
    QCOMPARE(log.count("Write config ERROR!"), 1);
    QVERIFY(!t.link.isWriteMode());
    QVERIFY(!t.link.isAnswerTimerActive());
    // The refused value and the one never sent are told as not taken; the window says it.
    QCOMPARE(t.writesEnded, QStringList {"refused gen_stat_220 pull_up_220"});
    QCOMPARE(boxes.describe(), QString());
    QTest::qWait(100);
    QCOMPARE(t.requestHex(), QStringList {"0104dc060001de"});
    QCOMPARE(reader->rebootCount(), 0);
}

// A counter answer that nothing asked for arrives while a write command waits for its answer
// (a status read's answer that came late): it must not end the write command's wait, which is
// resent when its time-out runs out, and the write goes on to its reboot. Nor does a record the
// parser decoded late from an answer to an earlier request (an empty answer, which fits any
// command): no answer to this request went to the parser.
void TestWriteSequence::answerToNoRequestIgnored()
{
    LinkOnBus t;
    SimReader *reader = t.addReader(SimReaderSettings());
    QVERIFY(t.readOnce());
    t.link.setAnswerTimeoutMs(300);
    reader->settings().silentRequests = 1;
    QBuffer buffer;
    buffer.setData(doc("<gen_stat_220 param=\"1\"/>"));
    t.states.clear();
    t.bus.clearRequests();
    LogCapture log;
    t.link.writeConfiguration(&buffer);
    QVERIFY(LinkOnBus::waitFor([&] { return t.bus.requests().size() == 1; }, 1000));
    // 01 08 dc 85 00 | 00 | 00 00 07 and its checksum: counter 7 from address 1.
    QByteArray counter = QByteArray::fromHex("0108dc85000000000007");
    counter.append(char(DeviceInterface::calcCrcADM20(counter)));
    t.bus.writeRaw(counter);
    QMetaObject::invokeMethod(&t.link, "NextReadCmd");
    QVERIFY(LinkOnBus::waitFor([&] { return t.states.contains(7); }, 3000));
    QCOMPARE(t.requestHex(), (QStringList {"0104dc060001de", "0104dc060001de", "0103dc0200dc"}));
    QCOMPARE(t.states, (QList<int> {5, 7}));
    QCOMPARE(log.count("Counter value received"), 0);
    QCOMPARE(log.count("answers no request in flight, ignored"), 1);
    QCOMPARE(reader->settings().genState, quint8(1));
}

// The engineer closed the connection and the converter is gone: a write asked for then finds no
// port to open again and ends with the connections closed, not in the write state.
void TestWriteSequence::writeWithoutAPort()
{
    LinkOnBus t;
    t.addReader(SimReaderSettings());
    QVERIFY(t.readOnce());
    QVERIFY(!t.link.togglePort());
    t.bus.close();
    QBuffer buffer;
    buffer.setData(doc("<gen_stat_220 param=\"1\"/>"));
    t.states.clear();
    t.link.writeConfiguration(&buffer);
    // Refused at the gate: nothing opens, nothing is reported but the values not taken.
    QCOMPARE(t.states, QList<int> {});
    QCOMPARE(t.writesEnded, QStringList {"gen_stat_220"});
    QVERIFY(t.link.isIdle() && !t.link.isPortOpen());
}

QTEST_GUILESS_MAIN(TestWriteSequence)
#include "tst_writesequence.moc"
