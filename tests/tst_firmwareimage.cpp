#include "firmwareimage.h"
#include "testsupport.h"

#include <QProcess>
#include <QtEndian>
#include <QtTest>

namespace {
QByteArray le32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian<quint32>(value, bytes.data());
    return bytes;
}

QByteArray header200()
{
    return QByteArray("\x55\xAA"
                      "VERSION\0\xC8\x00\x01\x04\x0C\x00",
                      16);
}

// A section as it stands in the file: address, length, enciphered data. The length written
// may differ from the data to make damaged files.
QByteArray section(quint32 address, const QByteArray &plain, qint64 length = -1)
{
    return le32(address) + le32(quint32(length < 0 ? plain.size() : length))
           + FirmwareImage::encipher(plain);
}

// Header, sections and the checksum trailer.
QByteArray imageFile(const QByteArray &sections)
{
    const QByteArray body = header200() + sections;
    return body + le32(FirmwareImage::checksum(body));
}

QByteArray pattern(int size, int seed)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + seed) & 0x7F);
    return bytes;
}
} // namespace

// Firmware image files: the checksum, the cipher, the files refused, and those zemo-fw-pack writes,
// which load into the reader's program area (what it refuses leaves no file behind). The layout
// of a whole image in the program area, erased pages left out, is shown by the upload to the
// simulated reader.
class TestFirmwareImage : public QObject
{
    Q_OBJECT
private slots:
    void checksumVectors();
    void aesVector();
    void refusedFiles_data();
    void refusedFiles();
    void packs_data();
    void packs();
};

void TestFirmwareImage::checksumVectors()
{
    // Computed bit by bit: register 0, fed FF FF FF FF, then the data, polynomial 0x04C11DB7.
    QCOMPARE(FirmwareImage::checksum(QByteArray()), 0xC704DD7Bu);
    QCOMPARE(FirmwareImage::checksum(QByteArray("123456789")), 0x373C5870u);
}

void TestFirmwareImage::aesVector()
{
    // The AES-128 example vector of the standard.
    const QByteArray key = QByteArray::fromHex("000102030405060708090a0b0c0d0e0f");
    const QByteArray plain = QByteArray::fromHex("00112233445566778899aabbccddeeff");
    const QByteArray cipher = QByteArray::fromHex("69c4e0d86a7b0430d8cdb78070b4c55a");
    QCOMPARE(FirmwareImage::encipher(plain, key).toHex(), cipher.toHex());
    // ECB: every block by itself, so two equal blocks give two equal blocks.
    QCOMPARE(FirmwareImage::decipher(cipher + cipher, key).toHex(), (plain + plain).toHex());
    QVERIFY(FirmwareImage::decipher(cipher.left(15), key).isEmpty());
}

void TestFirmwareImage::refusedFiles_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("error");
    const QByteArray block = pattern(16, 2);
    QTest::newRow("load address below the base")
            << imageFile(section(0x37F0, block)) << "200" << int(FirmwareImage::BadSection);
    QTest::newRow("runs past the image end")
            << imageFile(section(0x3800 + 0x1E000 - 16, pattern(32, 1))) << "200"
            << int(FirmwareImage::BadSection);
    QTest::newRow("starts past the image end")
            << imageFile(section(0xFFFFFFF0, block)) << "200" << int(FirmwareImage::BadSection);
    QTest::newRow("runs past the file")
            << imageFile(section(0x3800, block, 32)) << "200" << int(FirmwareImage::BadSection);
    QTest::newRow("huge length") << imageFile(section(0x3800, block, 0xFFFFFFF0)) << "200"
                                 << int(FirmwareImage::BadSection);
    QTest::newRow("length not whole blocks") << imageFile(section(0x3800, block, 8) + block)
                                             << "200" << int(FirmwareImage::BadSection);
    QTest::newRow("second section bad") << imageFile(section(0x3800, block) + section(0x100, block))
                                        << "200" << int(FirmwareImage::BadSection);
    QTest::newRow("unknown type") << imageFile(section(0x3800, block)) << "220"
                                  << int(FirmwareImage::UnknownType);
    QTest::newRow("200v2 base with a 200 address")
            << imageFile(section(0x3800, block)) << "200v2" << int(FirmwareImage::BadSection);
}

void TestFirmwareImage::refusedFiles()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, type);
    QFETCH(int, error);
    FirmwareImage::Error actual = FirmwareImage::NoError;
    QString reason;
    QVERIFY(FirmwareImage::build(file, type, &actual, &reason).isNull());
    QCOMPARE(int(actual), error);
    QVERIFY(!reason.isEmpty());
}

void TestFirmwareImage::packs_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("headerTail"); // bytes 10 to 14 of a written image
    QTest::addColumn<int>("offset"); // of the binary in the program area
    const QByteArray v200("\xC8\x00\x01\x04\x0C", 5);
    QTest::newRow("200 at the base") << QStringList {"--type", "200"} << 0 << v200 << 0;
    QTest::newRow("200v2 at the base")
            << QStringList {"--type", "200v2"} << 0 << QByteArray("\xC8\x02\x01\x04\x0C", 5) << 0;
    QTest::newRow("200 at an address")
            << QStringList {"--type", "200", "--address", "0x3A00"} << 0 << v200 << 0x200;
    QTest::newRow("below the base")
            << QStringList {"--type", "200", "--address", "0x100"} << 1 << QByteArray() << 0;
    QTest::newRow("version part over 255")
            << QStringList {"--type", "200", "--version", "1.256.0"} << 2 << QByteArray() << 0;
}

void TestFirmwareImage::packs()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, headerTail);
    QFETCH(int, offset);
    QTemporaryDir dir;
    QByteArray binary(1000, '\0');
    for (int i = 0; i < binary.size(); ++i)
        binary[i] = char(i % 251);
    const QString in = dir.filePath("program.bin");
    const QString out = dir.filePath("image.bin");
    QVERIFY(writeTestFile(in, binary));
    QProcess tool;
    tool.start(toolBuildPath("zemo-fw-pack"),
               QStringList {"--version", "1.4.12"} + arguments + QStringList {in, out});
    QVERIFY(tool.waitForFinished(20000) && tool.exitStatus() == QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), exitCode);
    if (exitCode != 0) {
        QVERIFY(!QFile::exists(out));
        return;
    }
    const QByteArray file = readTestFile(out);
    QCOMPARE(hexBytes(file.left(15)), "55 aa 56 45 52 53 49 4f 4e 00 " + hexBytes(headerTail));
    FirmwareImage::Error error = FirmwareImage::ChecksumError;
    const FirmwareImage image = FirmwareImage::build(file, arguments.at(1), &error);
    QCOMPARE(error, FirmwareImage::NoError);
    QVERIFY(image.bytes().mid(offset, 1000) == binary);
    // Padded to whole blocks with erased bytes.
    QCOMPARE(image.bytes().mid(offset + 1000, 8), QByteArray(8, char(0xFF)));
}

QTEST_GUILESS_MAIN(TestFirmwareImage)
#include "tst_firmwareimage.moc"
