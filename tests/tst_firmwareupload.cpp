#include "deviceinterface.h"
#include "firmwareimage.h"
#include "simbus.h"
#include "testsupport.h"
#include "updatetestfiles.h"

#include <QSignalSpy>
#include <QtTest>

namespace {
QByteArray header(quint16 typeId)
{
    return QByteArray("\x55\xAA"
                      "VERSION\0",
                      10)
           + QByteArray(1, char(typeId & 0xFF)) + QByteArray(1, char(typeId >> 8))
           + QByteArray("\x01\x05\x00\x00", 4);
}

QByteArray code(int seed, int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 13 + seed) & 0x7F);
    return bytes;
}

// The command code of a request frame: bytes 3 and 4.
int codeOf(const QByteArray &frame)
{
    return frame.size() > 4 ? (quint8(frame[3]) << 8 | quint8(frame[4])) : -1;
}
} // namespace

// A firmware image handed to a simulated model-200 reader over a pseudo-terminal: the
// exchange of prepare, pages and check, the refusals, and the new version after the reboot.
class TestFirmwareUpload : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void wholeUpload();
    void refusedFiles_data();
    void refusedFiles();
    void readerRefusals_data();
    void readerRefusals();
    void variant2PagesBeyond960();
    void readerSilentDuringUpload();

private:
    void openLink();
    QString writeImage(const QByteArray &file);
    QList<int> requestCodes() const;

    QScopedPointer<QTemporaryDir> m_dir;
    QScopedPointer<SimBus> m_bus;
    SimReader *m_reader = nullptr;
    QScopedPointer<DeviceInterface> m_link;
};

void TestFirmwareUpload::init()
{
    m_dir.reset(new QTemporaryDir);
    m_bus.reset(new SimBus);
    QVERIFY(m_bus->open());
    SimReaderSettings settings;
    settings.deviceId = 200;
    settings.firmware = "1.4.0";
    settings.upgradeFirmware = "1.5.0";
    settings.rebootSilenceMs = 200;
    m_reader = m_bus->addReader(settings);
    m_link.reset(new DeviceInterface);
    openLink();
}

void TestFirmwareUpload::cleanup()
{
    m_link.reset();
    m_bus.reset();
}

void TestFirmwareUpload::openLink()
{
    m_link->setPortName(m_bus->devicePath());
    m_link->setBaudRate(19200);
    m_link->setDeviceAddress("1");
    QVERIFY(m_link->togglePort());
}

QString TestFirmwareUpload::writeImage(const QByteArray &file)
{
    const QString path = m_dir->filePath("Zemo200_v1.5.0_update.bin");
    writeTestFile(path, file);
    return path;
}

QList<int> TestFirmwareUpload::requestCodes() const
{
    QList<int> codes;
    for (const QByteArray &frame : m_bus->requests())
        codes << codeOf(frame);
    return codes;
}

void TestFirmwareUpload::wholeUpload()
{
    // Code in pages 0 and 5 and in the last page 959; pages 2 and 3 come as a section of 0xFF.
    const QByteArray first = code(1, 32), fifth = code(2, 128), last = code(3, 128);
    const QByteArray file = FirmwareImage::pack(header(200),
                                                {{0x3800, first},
                                                 {0x3800 + 2 * 128, QByteArray(256, char(0xFF))},
                                                 {0x3800 + 5 * 128, fifth},
                                                 {0x3800 + 959 * 128, last}});
    LogCapture log;
    QSignalSpy states(m_link.data(), &DeviceInterface::changeDeviceStatus);
    QSignalSpy maxima(m_link.data(), &DeviceInterface::setProgressMax);
    QSignalSpy progress(m_link.data(), &DeviceInterface::setProgress);
    m_link->loadFirmwareFile("1.5.0", writeImage(file));
    m_link->startUpdZemo200("200");

    QTRY_VERIFY_WITH_TIMEOUT(m_reader->rebootCount() == 1, 15000);
    QCOMPARE(m_reader->receivedPages(), QList<int>({0, 5, 959}));
    QByteArray expected(0x1E000, char(0xFF));
    expected.replace(0, 32, first);
    expected.replace(5 * 128, 128, fifth);
    expected.replace(959 * 128, 128, last);
    QVERIFY(m_reader->updateArea().left(0x1E000) == expected);
    // Prepare, three pages, check, then the reboot into the new firmware.
    QCOMPARE(requestCodes(), QList<int>({0x0A00, 0x0A01, 0x0A01, 0x0A01, 0x0A02, 0x0200}));
    const QByteArray firstPage = m_bus->requests().at(1);
    QCOMPARE(hexBytes(firstPage.left(7)), QStringLiteral("01 85 dc 0a 01 00 00"));
    QCOMPARE(firstPage.size(), 136);
    QCOMPARE(hexBytes(m_bus->requests().at(3).mid(5, 2)), QStringLiteral("03 bf"));

    QCOMPARE(firstArgs(maxima), QStringList {"122880"}); // 0x1E000
    QCOMPARE(firstArgs(progress), QStringList({"128", "768", "122880", "0"}));
    QVERIFY(log.contains("Write next page  959"));
    for (const QList<QVariant> &call : states)
        QVERIFY2(call.at(0).toInt() != 12 && call.at(0).toInt() != 3, "an error was reported");

    // After its reboot the reader reports the uploaded version.
    const QByteArray versionRequest = QByteArray::fromHex("0103dc0100df");
    QTRY_VERIFY_WITH_TIMEOUT(!m_reader->isRebooting(m_bus->nowMs()), 5000);
    QCOMPARE(hexBytes(m_reader->answer(versionRequest, m_bus->nowMs())),
             QStringLiteral("01 09 dc 81 00 00 00 c8 01 05 00 99"));
}

void TestFirmwareUpload::refusedFiles_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("type");
    const QByteArray good = FirmwareImage::pack(header(200), {{0x3800, code(4, 64)}});
    QByteArray flipped = good;
    flipped[40] = char(flipped[40] ^ 0x10);
    // The image checks themselves are the image tests' rows; here, that nothing is sent.
    QTest::newRow("one bit changed") << flipped << "200";
    QTest::newRow("missing file") << QByteArray() << "200";
    QTest::newRow("unknown type") << good << "220";
}

void TestFirmwareUpload::refusedFiles()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, type);
    QSignalSpy states(m_link.data(), &DeviceInterface::changeDeviceStatus);
    m_link->loadFirmwareFile("1.5.0",
                             file.isEmpty() ? m_dir->filePath("none.bin") : writeImage(file));
    m_link->startUpdZemo200(type);
    QCOMPARE(firstArgs(states), QStringList {"12"});
    QTest::qWait(100);
    QVERIFY(m_bus->requests().isEmpty()); // nothing reached the reader
    QCOMPARE(m_reader->receivedPages(), QList<int>());
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
    m_reader->settings().prepareStatus = quint8(prepare);
    m_reader->settings().rejectPages = rejectPages;
    m_reader->settings().checkStatus = quint8(check);

    LogCapture log;
    QSignalSpy states(m_link.data(), &DeviceInterface::changeDeviceStatus);
    m_link->loadFirmwareFile("1.5.0",
                             writeImage(FirmwareImage::pack(header(200),
                                                            {{0x3800, code(5, 128)},
                                                             {0x3800 + 7 * 128, code(6, 16)}})));
    m_link->startUpdZemo200("200");
    QTRY_COMPARE_WITH_TIMEOUT(requestCodes(), codes, 10000);
    QTRY_VERIFY(log.contains(logLine));
    if (finalState >= 0)
        QTRY_COMPARE(firstArgs(states), QStringList {QString::number(finalState)});
    if (rejectPages > 0) {
        // The refused page 0 went again, then page 7.
        QCOMPARE(hexBytes(m_bus->requests().at(1).mid(5, 2)), QStringLiteral("00 00"));
        QCOMPARE(hexBytes(m_bus->requests().at(2).mid(5, 2)), QStringLiteral("00 00"));
        QCOMPARE(m_reader->receivedPages(), QList<int>({0, 7}));
    }
    QTest::qWait(100);
    QCOMPARE(requestCodes(), codes); // nothing more after the end
}

void TestFirmwareUpload::variant2PagesBeyond960()
{
    // A "200v2" area has 1024 pages; those past 960 are handed over too.
    const QByteArray file = FirmwareImage::pack(header(712), {{0x40000 + 1000 * 128, code(7, 256)}});
    m_link->loadFirmwareFile("1.5.0", writeImage(file));
    QSignalSpy maxima(m_link.data(), &DeviceInterface::setProgressMax);
    m_link->startUpdZemo200("200v2");
    QTRY_VERIFY_WITH_TIMEOUT(m_reader->rebootCount() == 1, 10000);
    QCOMPARE(maxima.at(0).at(0).toInt(), 0x20000);
    QCOMPARE(m_reader->receivedPages(), QList<int>({1000, 1001}));
    QVERIFY(m_reader->updateArea().mid(1000 * 128, 256) == code(7, 256));
}

void TestFirmwareUpload::readerSilentDuringUpload()
{
    // Three resends, then the question: Yes sends the same step again, No ends the upload.
    m_reader->settings().silentRequests = 100;
    BoxRecorder boxes;
    boxes.answers = {QMessageBox::Yes, QMessageBox::No};
    QSignalSpy states(m_link.data(), &DeviceInterface::changeDeviceStatus);
    m_link->loadFirmwareFile("1.5.0", writeImage(FirmwareImage::pack(header(200),
                                                                     {{0x3800, code(5, 128)}})));
    m_link->startUpdZemo200("200");
    for (int timeOut = 0; timeOut < 4; ++timeOut)
        m_link->answerTimeout();
    QCOMPARE(boxes.describe(), QString("Critical Обновление прошивки | Модуль не отвечает на "
                                       "команду.\nПродолжить обновление прошивки?"));
    QTRY_COMPARE(requestCodes(), QList<int>({0x0A00, 0x0A00, 0x0A00, 0x0A00, 0x0A00}));

    for (int timeOut = 0; timeOut < 4; ++timeOut)
        m_link->answerTimeout();
    QCOMPARE(boxes.boxes.size(), 2);
    QVERIFY(!m_link->isPortOpen());
    QCOMPARE(firstArgs(states), QStringList {"0"});
}

QTEST_GUILESS_MAIN(TestFirmwareUpload)
#include "tst_firmwareupload.moc"
