#include "firmwareimage.h"
#include "testsupport.h"

#include <QProcess>
#include <QtTest>

// zemo-fw-pack: the image files it writes load into the reader's program area; what it refuses
// leaves no file behind.
class TestFwPack : public QObject
{
    Q_OBJECT
private slots:
    void packs_data();
    void packs();
};

void TestFwPack::packs_data()
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

void TestFwPack::packs()
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

QTEST_GUILESS_MAIN(TestFwPack)
#include "tst_fwpack.moc"
