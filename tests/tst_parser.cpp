// ctest: threads
#include "answerdecoder.h"
#include "chunkqueue.h"
#include "packparser.h"
#include "testsupport.h"

#include <QSignalSpy>
#include <QThread>
#include <QtTest>

// Decoding of answer frames into records, and the parser thread that checks chunks.
class TestParser : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void decodeRecords_data();
    void decodeRecords();
    void decodeAnswerEmitsOneSignal();
    void chunksCheckedAndDecodedInOrderAcrossThreads();
    void idleThreadSleepsAndStopsAtOnce();
    void stopBeforeStartStillEnds();
};

namespace {
QByteArray bytes(const char *hex)
{
    return QByteArray::fromHex(hex);
}

QByteArray withChecksum(const QByteArray &frame)
{
    quint8 sum = 0;
    for (char c : frame)
        sum ^= quint8(c);
    return frame + char(sum);
}
} // namespace

void TestParser::initTestCase()
{
    ChunkQueue queue;
    PackParser parser(&queue);
    for (const char *name : {"VERSION_INFO_220", "RS485_STAT_220", "INPUT_STAT_220",
                             "UPTIME_INFO_220", "OUTPUT_STAT_220"})
        QVERIFY2(QMetaType::type(name) != QMetaType::UnknownType, name);
}

void TestParser::decodeRecords_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("kind");
    // The record's fields as text, in declaration order.
    QTest::addColumn<QString>("fields");

    const int version = DecodedAnswer::Version;
    QTest::newRow("version 1.2.15 from 5")
            << bytes("0509dc81000000dc01020f") << version << "5 1.2.15 220";
    QTest::newRow("version answer flag clear")
            << bytes("0509dc01000000dc01020f") << version << "5 1.2.15 220";
    QTest::newRow("version 255.0.9 id 65535")
            << bytes("fe09dc810000ffffff0009") << version << "254 255.0.9 65535";
    QTest::newRow("version one byte short")
            << bytes("0508dc81000000dc0102") << int(DecodedAnswer::Dropped) << "";
    QTest::newRow("rs485 9600 at 7")
            << bytes("0709dc8301000000258007") << int(DecodedAnswer::Rs485) << "0 9600 7";
    QTest::newRow("rs485 115200 status 3")
            << bytes("0109dc8301030001c200fe") << int(DecodedAnswer::Rs485) << "3 115200 254";
    QTest::newRow("rs485 short") << bytes("0108dc83010000002580") << int(DecodedAnswer::Dropped)
                                 << "";
    QTest::newRow("counter -1") << bytes("0108dc850000ffffffff") << int(DecodedAnswer::Input)
                                << "0 -1";
    QTest::newRow("counter 0x01020304")
            << bytes("0108dc85000001020304") << int(DecodedAnswer::Input) << "0 16909060";
    QTest::newRow("counter short")
            << bytes("0107dc850000ffffff") << int(DecodedAnswer::Dropped) << "";
    QTest::newRow("uptime 0xfffffffe")
            << bytes("0108dc870000fffffffe") << int(DecodedAnswer::Uptime) << "0 4294967294";
    QTest::newRow("uptime short") << bytes("0107dc870000000001") << int(DecodedAnswer::Dropped)
                                  << "";
    QTest::newRow("outputs 1 0 2")
            << bytes("0107dc860300010002") << int(DecodedAnswer::Output) << "0 1 0 2";
    QTest::newRow("outputs short")
            << bytes("0106dc8603000100") << int(DecodedAnswer::Dropped) << "";
    QTest::newRow("five bytes") << bytes("0502dc8100") << int(DecodedAnswer::Dropped) << "";
    QTest::newRow("unknown 0x0400")
            << bytes("0504dc840000") << int(DecodedAnswer::UnknownCode) << "";
}

void TestParser::decodeRecords()
{
    QFETCH(QByteArray, frame);
    QFETCH(int, kind);
    QFETCH(QString, fields);

    const DecodedAnswer a = decodeAnswerFrame(frame);
    QCOMPARE(int(a.kind), kind);
    QString got;
    switch (a.kind) {
    case DecodedAnswer::Version:
        got = QStringLiteral("%1 %2 %3")
                      .arg(a.version.address)
                      .arg(a.version.fwVer)
                      .arg(a.version.devId);
        break;
    case DecodedAnswer::Rs485:
        got = QStringLiteral("%1 %2 %3").arg(a.rs485.status).arg(a.rs485.speed).arg(a.rs485.address);
        break;
    case DecodedAnswer::Input:
        got = QStringLiteral("%1 %2").arg(a.input.status).arg(a.input.value);
        break;
    case DecodedAnswer::Uptime:
        got = QStringLiteral("%1 %2").arg(a.uptime.status).arg(a.uptime.uptime);
        break;
    case DecodedAnswer::Output:
        got = QStringLiteral("%1 %2 %3 %4")
                      .arg(a.output.status)
                      .arg(a.output.genState)
                      .arg(a.output.pullUp)
                      .arg(a.output.genMode);
        break;
    default:
        break;
    }
    QCOMPARE(got, fields);
}

void TestParser::decodeAnswerEmitsOneSignal()
{
    ChunkQueue queue;
    PackParser parser(&queue);
    QStringList emitted;
    auto record = [&emitted](const char *name) {
        return [&emitted, name] {
            emitted << name;
        };
    };
    auto status = [&emitted](const char *name) {
        return [&emitted, name](quint8 value) {
            emitted << QStringLiteral("%1 %2").arg(name).arg(value);
        };
    };
    connect(&parser, &PackParser::VersionInfoStatus_220, this, record("version"));
    connect(&parser, &PackParser::RS485_InfoStatus_220, this, record("rs485"));
    connect(&parser, &PackParser::InputInfoStatus_220, this, record("input"));
    connect(&parser, &PackParser::OutputInfoStatus_220, this, record("output"));
    connect(&parser, &PackParser::UpTimeInfoStatus_220, this, record("uptime"));
    connect(&parser, &PackParser::NextReadCmd, this, record("next"));
    connect(&parser, &PackParser::rebootAnswer, this, status("reboot"));
    connect(&parser, &PackParser::answerWriteParam, this, status("write"));
    connect(&parser, &PackParser::makeUpdArea, this, status("area"));
    connect(&parser, &PackParser::answWritePage, this, status("page"));
    connect(&parser, &PackParser::checkUpdArea, this, status("check"));

    // Status answers carry their result in byte 5.
    const QList<QPair<const char *, QString>> cases {
            {"0509dc81000000dc01020f", "version"},
            {"0709dc8301000000258007", "rs485"},
            {"0108dc850000ffffffff", "input"},
            {"0107dc860300010002", "output"},
            {"0108dc870000000000ff", "uptime"},
            {"0504dc800000", "next"},
            {"0504dc820001", "reboot 1"},
            {"0504dc830000", "write 0"},
            {"0504dc830205", "write 5"},
            {"0504dc860000", "write 0"},
            {"0504dc860100", "write 0"},
            {"0504dc8602ff", "write 255"},
            {"0504dc8a0000", "area 0"},
            {"0504dc8a0101", "page 1"},
            {"0504dc8a0202", "check 2"},
            {"0504dc840000", ""},
            {"0502dc8100", ""},
    };
    LogCapture log;
    for (const auto &c : cases) {
        emitted.clear();
        parser.decodeAnswer(bytes(c.first));
        QCOMPARE(emitted, c.second.isEmpty() ? QStringList() : QStringList {c.second});
    }
    QCOMPARE(log.count("Command none"), 1);
    // Every frame of 6 bytes or more is announced; the 5-byte one is dropped without a line.
    QCOMPARE(log.count("**"), cases.size() - 1);
}

// The parser in its own thread, as the device link runs it.
class ParserThread
{
public:
    ParserThread()
    {
        parser = new PackParser(&queue);
        parser->moveToThread(&thread);
        QObject::connect(&thread, &QThread::started, parser, &PackParser::startParser);
        QObject::connect(parser, &PackParser::finished, &thread, &QThread::quit,
                         Qt::DirectConnection);
        QObject::connect(parser, &PackParser::finished, parser, &QObject::deleteLater,
                         Qt::DirectConnection);
    }
    ~ParserThread()
    {
        if (thread.isRunning()) {
            parser->stopParser();
            thread.wait();
        }
    }
    ChunkQueue queue;
    QThread thread;
    PackParser *parser;
};

void TestParser::chunksCheckedAndDecodedInOrderAcrossThreads()
{
    ParserThread p;
    QList<qint32> values;
    QList<Qt::HANDLE> threads;
    connect(p.parser, &PackParser::InputInfoStatus_220, this, [&](INPUT_STAT_220 info) {
        values << info.value;
        threads << QThread::currentThreadId();
    });
    LogCapture log;
    p.thread.start();

    // Counter answers 0..299; every tenth one carries a wrong checksum and is dropped; every
    // seventh has two answers glued together and fails as a whole.
    QList<qint32> expected;
    for (qint32 i = 0; i < 300; ++i) {
        QByteArray frame = bytes("0108dc850000");
        frame.append(char(i >> 24)).append(char(i >> 16)).append(char(i >> 8)).append(char(i));
        QByteArray chunk = withChecksum(frame);
        if (i % 10 == 0)
            chunk[chunk.size() - 1] = char(chunk.at(chunk.size() - 1) ^ 0x01);
        else if (i % 7 == 0)
            chunk += withChecksum(bytes("0504dc800001"));
        else
            expected << i;
        p.queue.append(chunk);
    }
    QTRY_COMPARE_WITH_TIMEOUT(values.size(), expected.size(), 5000);
    QCOMPARE(values, expected);
    QVERIFY(threads.count(QThread::currentThreadId()) == threads.size());
    QTRY_COMPARE(log.count("BAD DATA!"), 300 - expected.size());
}

void TestParser::idleThreadSleepsAndStopsAtOnce()
{
    ParserThread p;
    p.thread.start();
    QTest::qWait(300);
    QCOMPARE(p.queue.wakeUps(), quint64(0));

    QElapsedTimer clock;
    clock.start();
    p.parser->stopParser();
    QVERIFY(p.thread.wait(1000));
    QVERIFY2(clock.elapsed() < 200, qPrintable(QString::number(clock.elapsed())));
}

void TestParser::stopBeforeStartStillEnds()
{
    ParserThread p;
    p.parser->stopParser();
    p.thread.start();
    QVERIFY(p.thread.wait(2000));
}

QTEST_GUILESS_MAIN(TestParser)
#include "tst_parser.moc"
