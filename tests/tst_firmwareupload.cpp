#include "firmwareimage.h"
#include "linkonbus.h"
#include "updatetestfiles.h"

#include <QSignalSpy>
#include <QtTest>

namespace {
// The header of a model-200 image (type 200 or 712), version 1.5.0.
QByteArray header(quint16 typeId)
{
    return firmwareTestImage(typeId, 1, 5, 0, 16);
}

QByteArray code(int seed, int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 13 + seed) & 0x7F);
    return bytes;
}

// A model-200 reader with firmware 1.4.0 that takes 1.5.0, and a link open to it.
struct Rig : LinkOnBus
{
    Rig()
    {
        SimReaderSettings settings;
        settings.deviceId = 200;
        settings.firmware = "1.4.0";
        settings.upgradeFirmware = "1.5.0";
        settings.rebootSilenceMs = 200;
        reader = addReader(settings);
        QVERIFY(openPort());
    }
    // Writes the image file and starts the upload for the given reader type.
    void upload(const QByteArray &file, const QString &type = "200")
    {
        const QString path = programDir.filePath("Zemo200_v1.5.0_update.bin");
        QVERIFY(writeTestFile(path, file));
        link.loadFirmwareFile("1.5.0", path);
        link.startUpdZemo200(type);
    }
    SimReader *reader = nullptr;
};
} // namespace

// A firmware image handed to a simulated model-200 reader over a pseudo-terminal: the
// exchange of prepare, pages and check, the reader's refusals, and the new version after the
// reboot. Files refused before anything is sent are the command-line upload's rows (damaged, of
// another device) and the oversized file of the limits test (a missing file leaves the same
// empty image).
class TestFirmwareUpload : public QObject
{
    Q_OBJECT
private slots:
    void wholeUpload();
    void readerRefusals_data();
    void readerRefusals();
    void variant2PagesBeyond960();
    void readerSilentDuringUpload();
    void stepsTypedInTheConsole();
};

void TestFirmwareUpload::wholeUpload()
{
    // Code in pages 0 and 5 and in the last page 959; pages 2 and 3 come as a section of 0xFF.
    const QByteArray first = code(1, 32), fifth = code(2, 128), last = code(3, 128);
    const QByteArray file = FirmwareImage::pack(header(200),
                                                {{0x3800, first},
                                                 {0x3800 + 2 * 128, QByteArray(256, char(0xFF))},
                                                 {0x3800 + 5 * 128, fifth},
                                                 {0x3800 + 959 * 128, last}});
    Rig t;
    LogCapture log;
    t.upload(file);
    QTRY_VERIFY_WITH_TIMEOUT(t.reader->rebootCount() == 1, 15000);
    QCOMPARE(t.reader->receivedPages(), QList<int>({0, 5, 959}));
    QByteArray expected(0x1E000, char(0xFF));
    expected.replace(0, 32, first);
    expected.replace(5 * 128, 128, fifth);
    expected.replace(959 * 128, 128, last);
    QVERIFY(t.reader->updateArea().left(0x1E000) == expected);
    // Prepare, three pages, check, then the reboot into the new firmware.
    QCOMPARE(t.requestCodes(), QList<int>({0x0A00, 0x0A01, 0x0A01, 0x0A01, 0x0A02, 0x0200}));
    const QByteArray firstPage = t.bus.requests().at(1);
    QCOMPARE(hexBytes(firstPage.left(7)) + QString(" .. %1").arg(firstPage.size()),
             QStringLiteral("01 85 dc 0a 01 00 00 .. 136"));
    QCOMPARE(hexBytes(t.bus.requests().at(3).mid(5, 2)), QStringLiteral("03 bf"));
    QCOMPARE(t.progressMax, QList<int> {0x1E000});
    QCOMPARE(t.progress, QList<int>({128, 768, 0x1E000, 0}));
    QVERIFY(log.contains("Write next page  959"));
    QVERIFY2(!t.states.contains(12) && !t.states.contains(3), "an error was reported");
}

void TestFirmwareUpload::readerRefusals_data()
{
    QTest::addColumn<int>("prepare");
    QTest::addColumn<int>("rejectPages");
    QTest::addColumn<int>("check");
    QTest::addColumn<QList<int>>("codes");
    QTest::addColumn<QString>("logLine");
    QTest::addColumn<int>("finalState");
    QTest::newRow("area refused") << 1 << 0 << 0 << QList<int>({0x0A00})
                                  << "Error area prepatation!" << 3;
    QTest::newRow("page refused once")
            << 0 << 1 << 0 << QList<int>({0x0A00, 0x0A01, 0x0A01, 0x0A01, 0x0A02, 0x0200})
            << "The data didn't write, I'm try again..." << -1;
    // A reader that refuses every page: the page goes four times, then the upload ends.
    QTest::newRow("every page refused")
            << 0 << 1000 << 0 << QList<int>({0x0A00, 0x0A01, 0x0A01, 0x0A01, 0x0A01})
            << "firmware upload given up" << 3;
    QTest::newRow("image bad") << 0 << 0 << 2 << QList<int>({0x0A00, 0x0A01, 0x0A01, 0x0A02})
                               << "Check update in device. ERROR!" << 3;
    QTest::newRow("check result unknown")
            << 0 << 0 << 1 << QList<int>({0x0A00, 0x0A01, 0x0A01, 0x0A02})
            << "Check update in device, unknown result: " << 3;
}

void TestFirmwareUpload::readerRefusals()
{
    QFETCH(int, prepare);
    QFETCH(int, rejectPages);
    QFETCH(int, check);
    QFETCH(QList<int>, codes);
    QFETCH(QString, logLine);
    QFETCH(int, finalState);
    Rig t;
    t.reader->settings().prepareStatus = quint8(prepare);
    t.reader->settings().rejectPages = rejectPages;
    t.reader->settings().checkStatus = quint8(check);
    LogCapture log;
    t.upload(FirmwareImage::pack(header(200),
                                 {{0x3800, code(5, 128)}, {0x3800 + 7 * 128, code(6, 16)}}));
    QTRY_COMPARE_WITH_TIMEOUT(t.requestCodes(), codes, 10000);
    QTRY_VERIFY(log.contains(logLine));
    if (finalState >= 0)
        QTRY_COMPARE(t.states, QList<int> {finalState});
    if (rejectPages == 1) {
        // The refused page 0 went again, then page 7.
        QCOMPARE(hexBytes(t.bus.requests().at(1).mid(5, 2) + t.bus.requests().at(2).mid(5, 2)),
                 QStringLiteral("00 00 00 00"));
        QCOMPARE(t.reader->receivedPages(), QList<int>({0, 7}));
    }
    QTest::qWait(100);
    QCOMPARE(t.requestCodes(), codes); // nothing more after the end
}

void TestFirmwareUpload::variant2PagesBeyond960()
{
    // A "200v2" area has 1024 pages; those past 960 are handed over too.
    Rig t;
    t.upload(FirmwareImage::pack(header(712), {{0x40000 + 1000 * 128, code(7, 256)}}), "200v2");
    QTRY_VERIFY_WITH_TIMEOUT(t.reader->rebootCount() == 1, 10000);
    QCOMPARE(t.progressMax, QList<int> {0x20000});
    QCOMPARE(t.reader->receivedPages(), QList<int>({1000, 1001}));
    QVERIFY(t.reader->updateArea().mid(1000 * 128, 256) == code(7, 256));
}

void TestFirmwareUpload::readerSilentDuringUpload()
{
    // Three resends, then the question: Yes sends the same step again, No ends the upload.
    Rig t;
    t.reader->settings().silentRequests = 100;
    BoxRecorder boxes;
    boxes.answers = {Prompt::Yes, Prompt::No};
    t.upload(FirmwareImage::pack(header(200), {{0x3800, code(5, 128)}}));
    for (int timeOut = 0; timeOut < 4; ++timeOut)
        t.link.answerTimeout();
    QCOMPARE(boxes.describe(), QString("Critical Обновление прошивки | Модуль не отвечает на "
                                       "команду.\nПродолжить обновление прошивки?"));
    QTRY_COMPARE(t.requestCodes(), QList<int>({0x0A00, 0x0A00, 0x0A00, 0x0A00, 0x0A00}));

    for (int timeOut = 0; timeOut < 4; ++timeOut)
        t.link.answerTimeout();
    QCOMPARE(boxes.boxes.size(), 2);
    QVERIFY(!t.link.isPortOpen());
    QCOMPARE(t.states, QList<int> {0});
}

// The upload's commands typed by hand are answered and logged: a sound image check outside an
// upload does not reboot the reader into anything.
void TestFirmwareUpload::stepsTypedInTheConsole()
{
    Rig t;
    LogCapture log;
    t.link.sendTerminalCmd("0A00");
    t.link.sendTerminalCmd("0A01 0000" + QString(256, 'a'));
    t.link.sendTerminalCmd("0A02");
    QTRY_VERIFY(t.link.isIdle() && t.bus.requests().size() == 3);
    QTest::qWait(100);
    QCOMPARE(t.requestCodes(), QList<int>({0x0A00, 0x0A01, 0x0A02}));
    QVERIFY(t.reader->hasCheckedImage());
    QCOMPARE(t.reader->rebootCount(), 0);
    QCOMPARE(log.count("Image check answer outside a firmware upload"), 1);
    QVERIFY(t.states.isEmpty());
}

QTEST_GUILESS_MAIN(TestFirmwareUpload)
#include "tst_firmwareupload.moc"
