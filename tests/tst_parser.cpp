// ctest: threads
#include "answerdecoder.h"
#include "chunkqueue.h"
#include "packparser.h"
#include "testsupport.h"

#include <QSignalSpy>
#include <QThread>
#include <QtTest>

// Decoding of answer frames into records, and the parser thread that checks chunks. Which signal
// each answer raises is shown by the read, write, reboot and upload sequences over the bus.
class TestParser : public QObject
{
    Q_OBJECT
private slots:
    void decodeRecords_data();
    void decodeRecords();
    void chunksCheckedAndDecodedInOrderAcrossThreads();
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

void TestParser::decodeRecords_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("fields"); // the record's fields as text, in declaration order
    auto row = [](const char *name, const char *hex, DecodedAnswer::Kind kind, const char *fields) {
        QTest::newRow(name) << bytes(hex) << int(kind) << fields;
    };
    using D = DecodedAnswer;
    row("version 1.2.15 from 5", "0509dc81000000dc01020f", D::Version, "5 1.2.15 220");
    row("version answer flag clear", "0509dc01000000dc01020f", D::Version, "5 1.2.15 220");
    row("version 255.0.9 id 65535", "fe09dc810000ffffff0009", D::Version, "254 255.0.9 65535");
    row("version one byte short", "0508dc81000000dc0102", D::Dropped, "");
    row("rs485 9600 at 7", "0709dc8301000000258007", D::Rs485, "0 9600 7");
    row("rs485 115200 status 3", "0109dc8301030001c200fe", D::Rs485, "3 115200 254");
    row("rs485 short", "0108dc83010000002580", D::Dropped, "");
    row("counter -1", "0108dc850000ffffffff", D::Input, "0 -1");
    row("counter short", "0107dc850000ffffff", D::Dropped, "");
    row("uptime 0xfffffffe", "0108dc870000fffffffe", D::Uptime, "0 4294967294");
    row("uptime short", "0107dc870000000001", D::Dropped, "");
    row("outputs 1 0 2", "0107dc860300010002", D::Output, "0 1 0 2");
    row("outputs short", "0106dc8603000100", D::Dropped, "");
    row("five bytes", "0502dc8100", D::Dropped, "");
    row("unknown 0x0400", "0504dc840000", D::UnknownCode, "");
}

void TestParser::decodeRecords()
{
    QFETCH(QByteArray, frame);
    QFETCH(int, kind);
    using D = DecodedAnswer;
    const DecodedAnswer a = decodeAnswerFrame(frame);
    QCOMPARE(int(a.kind), kind);
    const QList<QVariant> fields[] = {{},
                                      {a.version.address, a.version.fwVer, a.version.devId},
                                      {a.rs485.status, a.rs485.speed, a.rs485.address},
                                      {a.input.status, a.input.value},
                                      {a.uptime.status, a.uptime.uptime},
                                      {a.output.status, a.output.genState, a.output.pullUp,
                                       a.output.genMode}};
    const int at = QList<int>({D::Version, D::Rs485, D::Input, D::Uptime, D::Output}).indexOf(kind)
                   + 1;
    QStringList got;
    for (const QVariant &field : fields[at])
        got << field.toString();
    QTEST(got.join(' '), "fields");
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

QTEST_GUILESS_MAIN(TestParser)
#include "tst_parser.moc"
