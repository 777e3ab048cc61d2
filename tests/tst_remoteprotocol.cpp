#include "remotedefaults.h"
#include "remoteprotocol.h"
#include "testsupport.h"

#include <QRegularExpression>
#include <QtTest>

using namespace RemoteProtocol;

// The login message, the frame lines, the password line and the server's texts are shown word
// for word by the remote configuration tests, where the server double speaks them.

Q_DECLARE_METATYPE(AnswerLine::Kind)

class TestRemoteProtocol : public QObject
{
    Q_OBJECT
private slots:
    void loginKey_data();
    void loginKey();
    void answerLine_data();
    void answerLine();
    void collector_data();
    void collector();
};

void TestRemoteProtocol::loginKey_data()
{
    QTest::addColumn<QString>("imei");
    QTest::addColumn<QString>("key");

    // MD5 of the reversed IMEI mixed with "Zq7#Lm2x", worked out independently.
    QTest::newRow("15-digit IMEI") << "356938035643809"
                                   << "ef9e9b43d16b069fd571ded96b25bb6b";
    QTest::newRow("longer than two mask rounds") << "1234567890abcdef"
                                                 << "ff99675f38a1379b66d539eb7a3ec8f9";
    QTest::newRow("empty: MD5 of nothing") << ""
                                           << "d41d8cd98f00b204e9800998ecf8427e";
    QTest::newRow("non-ASCII still gives a key") << QString::fromUtf8("ИМЕЙ\u00e9") << QString();
}

void TestRemoteProtocol::loginKey()
{
    QFETCH(QString, imei);
    QFETCH(QString, key);
    const QString first = RemoteProtocol::loginKey(imei, kLoginKeyMask);
    QVERIFY2(QRegularExpression("^[0-9a-f]{32}$").match(first).hasMatch(), qPrintable(first));
    if (!key.isEmpty())
        QCOMPARE(first, key);
}

void TestRemoteProtocol::answerLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<AnswerLine::Kind>("kind");
    QTest::addColumn<QByteArray>("frame");

    // A version answer of address 1 (id 220, 1.3.2): 01 09 DC 81 00 00 00 DC 01 03 02, XOR 89.
    const QByteArray version = QByteArray::fromHex("0109dc81000000dc010302");
    QTest::newRow("version answer") << "S485=12;AQncgQAAANwBAwKJ" << AnswerLine::Frame << version;
    // A write answer 01 04 DC 83 00 00, XOR 5A.
    QTest::newRow("padded Base64")
            << "S485=7;AQTcgwAAWg==" << AnswerLine::Frame << QByteArray::fromHex("0104dc830000");
    QTest::newRow("bytes before the checksum ignored")
            << "S485=8;AQTcgwAAVVo=" << AnswerLine::Frame << QByteArray::fromHex("0104dc830000");
    QTest::newRow("no answer") << "S485=0;" << AnswerLine::NoAnswer << QByteArray();
    QTest::newRow("wrong checksum")
            << "S485=12;AQncgQAAANwBAwKI" << AnswerLine::BadData << QByteArray();
    QTest::newRow("checksum missing")
            << "S485=11;AQncgQAAANwBAwI=" << AnswerLine::BadData << QByteArray();
    QTest::newRow("two bytes") << "S485=2;AQk=" << AnswerLine::BadData << QByteArray();
    QTest::newRow("no second part") << "S485=12" << AnswerLine::BadData << QByteArray();
    QTest::newRow("stray character in Base64")
            << "S485=12;AQnc gQAAANwBAwKJ" << AnswerLine::BadData << QByteArray();
    QTest::newRow("non-Latin text")
            << QString::fromUtf8("S485=12;ЖЖЖЖ") << AnswerLine::BadData << QByteArray();
}

void TestRemoteProtocol::answerLine()
{
    QFETCH(QString, line);
    QFETCH(AnswerLine::Kind, kind);
    QFETCH(QByteArray, frame);
    const AnswerLine answer = decodeAnswerLine(line);
    QCOMPARE(int(answer.kind), int(kind));
    QVERIFY2(answer.frame == frame,
             qPrintable(
                     QString("expected %1, got %2").arg(hexBytes(frame), hexBytes(answer.frame))));
}

void TestRemoteProtocol::collector_data()
{
    QTest::addColumn<QList<QByteArray>>("deliveries");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<qint64>("dropped");
    QTest::addColumn<int>("pending");

    using L = QList<QByteArray>;
    QTest::newRow("CR LF") << L {"PING\r\n"} << QStringList {"PING"} << qint64(0) << 0;
    QTest::newRow("no CR is no line") << L {"PING"} << QStringList {} << qint64(0) << 4;
    QTest::newRow("LF alone is no line end") << L {"PING\n"} << QStringList {} << qint64(0) << 5;
    QTest::newRow("split line") << L {"PAS", "S OK\r\n"} << QStringList {"PASS OK"} << qint64(0)
                                << 0;
    QTest::newRow("split between CR and LF")
            << L {"PING\r", "\nPASS OK\r\n"} << QStringList {"PING", "PASS OK"} << qint64(0) << 0;
    QTest::newRow("line then a piece")
            << L {"PING\r\nPAS"} << QStringList {"PING"} << qint64(0) << 3;
    QTest::newRow("empty lines left out")
            << L {"\r\n\r\nPING\r\n"} << QStringList {"PING"} << qint64(0) << 0;
    QTest::newRow("UTF-8 character split")
            << L {"\xd0", "\x9f\r\n"} << QStringList {QString::fromUtf8("П")} << qint64(0) << 0;

    const QByteArray bound(LineCollector::kMaxPending, 'A');
    QTest::newRow("bound itself is kept")
            << L {bound, "\r\n"} << QStringList {QString(bound)} << qint64(0) << 0;
    QTest::newRow("endless text dropped, tail of that line too")
            << L {bound + "A", "tail\r\nPING\r\n"} << QStringList {"PING"}
            << qint64(LineCollector::kMaxPending + 1 + 4) << 0;
    QTest::newRow("overlong complete line dropped")
            << L {bound + "AAA\r\nPING\r\n"} << QStringList {"PING"}
            << qint64(LineCollector::kMaxPending + 3) << 0;
}

void TestRemoteProtocol::collector()
{
    QFETCH(QList<QByteArray>, deliveries);
    QFETCH(QStringList, lines);
    QFETCH(qint64, dropped);
    QFETCH(int, pending);
    LineCollector collector;
    QStringList got;
    qint64 droppedBytes = 0;
    for (const QByteArray &delivery : deliveries) {
        const LineCollector::Result result = collector.append(delivery);
        got += result.lines;
        droppedBytes += result.droppedBytes;
    }
    QCOMPARE(got, lines);
    QCOMPARE(droppedBytes, dropped);
    QCOMPARE(collector.pendingSize(), pending);
}

QTEST_APPLESS_MAIN(TestRemoteProtocol)
#include "tst_remoteprotocol.moc"
