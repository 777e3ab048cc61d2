#include "answerdecoder.h"
#include "frame220.h"
#include "testsupport.h"

#include <QtTest>

// Request frames, the checksum, the chunk check, console command text and the records decoded
// from answers. Expected bytes are written out by hand from the wire layout. The command and data
// bytes of each configuration element are the frames of the write sequence's rows, the largest
// frame the link still sends and the one it refuses are the device link's.
class TestFrames : public QObject
{
    Q_OBJECT
private slots:
    void build_data();
    void build();
    void frameOfChunk_data();
    void frameOfChunk();
    void terminalCommand_data();
    void terminalCommand();
    void decodeRecords_data();
    void decodeRecords();
};

static QByteArray bytes(const char *hex)
{
    return QByteArray::fromHex(hex);
}

void TestFrames::build_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("expected");

    // 05^03^dc^01^00 = db
    QTest::newRow("identity to 5") << 5 << 0x0100 << QByteArray() << bytes("0503dc0100db");
    // 01^07^dc^03^00^00^00^25^80 = 7c
    QTest::newRow("speed 9600 to 1")
            << 1 << 0x0300 << bytes("00002580") << bytes("0107dc0300000025807c");
    QTest::newRow("reboot to 254") << 254 << 0x0200 << QByteArray() << bytes("fe03dc020023");
    QTest::newRow("address 0x11 to 17") << 17 << 0x0302 << bytes("11") << bytes("1104dc030211d9");
}

void TestFrames::build()
{
    QFETCH(int, address);
    QFETCH(int, code);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, expected);
    const QByteArray frame = Frame220::build(quint8(address), quint16(code), data);
    QVERIFY2(frame == expected,
             qPrintable(QStringLiteral("got %1, want %2").arg(hexBytes(frame), hexBytes(expected))));
}

void TestFrames::frameOfChunk_data()
{
    QTest::addColumn<QByteArray>("chunk");
    QTest::addColumn<QByteArray>("frame");

    const QByteArray version = bytes("0509dc81000000dc01020f");
    QTest::newRow("version answer") << version + bytes("81") << version;
    QTest::newRow("wrong checksum") << version + bytes("80") << QByteArray();
    // 05^04^dc^80^00^00 = 5d
    QTest::newRow("two answers glued")
            << version + bytes("81") + bytes("0504dc8000005d") << QByteArray();
    // The checksum is the chunk's last byte; bytes between frame and checksum do not count.
    QTest::newRow("extra bytes before checksum") << version + bytes("aaaa81") << version;
    QTest::newRow("one byte") << bytes("05") << QByteArray();
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void TestFrames::frameOfChunk()
{
    QFETCH(QByteArray, chunk);
    QFETCH(QByteArray, frame);
    const QByteArray got = Frame220::frameOfChunk(chunk);
    QVERIFY2(got == frame,
             qPrintable(QStringLiteral("got %1, want %2").arg(hexBytes(got), hexBytes(frame))));
}

void TestFrames::terminalCommand_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("problem");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("data");

    using C = Frame220::TerminalCommand;
    QTest::newRow("reboot") << "0200" << int(C::None) << 0x0200 << QByteArray();
    QTest::newRow("speed with blanks") << " 0300 00 00 25 80 " << int(C::None) << 0x0300
                                       << bytes("00002580");
    QTest::newRow("upper case") << "0A01FF" << int(C::None) << 0x0A01 << bytes("ff");
    QTest::newRow("250 data bytes") << "0A01" + QString(500, 'e') << int(C::None) << 0x0A01
                                    << QByteArray(250, '\xee');
    // Refused: nothing of it may reach the bus as another command.
    QTest::newRow("code no number") << "zz00" << int(C::NotHex) << 0 << QByteArray();
    QTest::newRow("letters") << "0100 xy" << int(C::NotHex) << 0 << QByteArray();
    QTest::newRow("cyrillic") << "01О0" << int(C::NotHex) << 0 << QByteArray();
    QTest::newRow("three digits") << "abc" << int(C::NoCode) << 0 << QByteArray();
    QTest::newRow("empty") << "   " << int(C::NoCode) << 0 << QByteArray();
    QTest::newRow("odd data digit") << "0302f" << int(C::OddDigits) << 0 << QByteArray();
    QTest::newRow("251 data bytes") << "0A01" + QString(502, '1') << int(C::TooLong) << 0
                                    << QByteArray();
}

void TestFrames::terminalCommand()
{
    QFETCH(QString, text);
    QFETCH(int, problem);
    QFETCH(int, code);
    QFETCH(QByteArray, data);
    const Frame220::TerminalCommand command = Frame220::parseTerminalCommand(text);
    QCOMPARE(int(command.problem), problem);
    QCOMPARE(int(command.code), code);
    QCOMPARE(hexBytes(command.data), hexBytes(data));
}

void TestFrames::decodeRecords_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("fields"); // the record's fields as text, in declaration order
    auto row = [](const char *name, const char *hex, DecodedAnswer::Kind kind, const char *fields) {
        QTest::newRow(name) << QByteArray::fromHex(hex) << int(kind) << fields;
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

void TestFrames::decodeRecords()
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

QTEST_GUILESS_MAIN(TestFrames)
#include "tst_frames.moc"
