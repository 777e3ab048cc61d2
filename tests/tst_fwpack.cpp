#include "firmwareimage.h"
#include "testsupport.h"
#include "updatetestfiles.h"

#include <QProcess>
#include <QtTest>

// zemo-fw-pack: the image files it writes load into the reader's program area.
class TestFwPack : public QObject
{
    Q_OBJECT
private slots:
    void packs_data();
    void packs();

private:
    int run(const QStringList &arguments);
    QTemporaryDir m_dir;
};

int TestFwPack::run(const QStringList &arguments)
{
    QProcess tool;
    tool.start(toolBuildPath("zemo-fw-pack"), arguments);
    if (!tool.waitForFinished(20000))
        return -1;
    return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
}

void TestFwPack::packs_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<QByteArray>("headerTail"); // bytes 10 to 14
    QTest::addColumn<int>("offset"); // of the binary in the program area
    QTest::newRow("200 at the base")
            << "200" << QStringList() << QByteArray("\xC8\x00\x01\x04\x0C", 5) << 0;
    QTest::newRow("200v2 at the base")
            << "200v2" << QStringList() << QByteArray("\xC8\x02\x01\x04\x0C", 5) << 0;
    QTest::newRow("200 at an address") << "200" << QStringList {"--address", "0x3A00"}
                                       << QByteArray("\xC8\x00\x01\x04\x0C", 5) << 0x200;
}

void TestFwPack::packs()
{
    QFETCH(QString, type);
    QFETCH(QStringList, extra);
    QFETCH(QByteArray, headerTail);
    QFETCH(int, offset);
    QByteArray binary(1000, '\0');
    for (int i = 0; i < binary.size(); ++i)
        binary[i] = char(i % 251);
    const QString in = m_dir.filePath("program.bin");
    const QString out = m_dir.filePath("image.bin");
    QVERIFY(writeTestFile(in, binary));
    QCOMPARE(run(QStringList {"--type", type, "--version", "1.4.12"} + extra
                 + QStringList {in, out}),
             0);

    const QByteArray file = readTestFile(out);
    QCOMPARE(hexBytes(file.left(10)), QStringLiteral("55 aa 56 45 52 53 49 4f 4e 00"));
    QCOMPARE(hexBytes(file.mid(10, 5)), hexBytes(headerTail));
    FirmwareImage::Error error = FirmwareImage::ChecksumError;
    const FirmwareImage image = FirmwareImage::build(file, type, &error);
    QCOMPARE(error, FirmwareImage::NoError);
    QVERIFY(image.bytes().mid(offset, 1000) == binary);
    // Padded to whole blocks with erased bytes; the rest of the area stays erased.
    QCOMPARE(image.bytes().mid(offset + 1000, 8), QByteArray(8, char(0xFF)));
    QCOMPARE(image.nextUsedPage(0), offset / 128);
}

QTEST_GUILESS_MAIN(TestFwPack)
#include "tst_fwpack.moc"
