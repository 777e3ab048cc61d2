// What outside files can make the program hold: a firmware file or a configuration file of
// gigabytes (sparse files here) and archive entries that claim huge or false sizes are refused
// with a log line or a message before anything large is read.
#include "apppaths.h"
#include "configurationfile.h"
#include "deviceinterface.h"
#include "linkonbus.h"
#include "mainwindowaccess.h"
#include "testsupport.h"
#include "updatetestfiles.h"
#include "updateunpacker.h"

#include <QSignalSpy>
#include <QtTest>

namespace {
constexpr qint64 GiB = 1024LL * 1024 * 1024;

// A file of the given size whose blocks are never written.
bool sparseFile(const QString &path, const QByteArray &head, qint64 size)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(head) == head.size() && file.resize(size);
}

// The archive with a size field of entry i's central directory record (24: the size, 20: the
// compressed size) set to claims[i]; a claim below 0 leaves the entry as written.
QByteArray withClaims(QByteArray zip, int field, const QList<qint64> &claims)
{
    int at = 0;
    for (qint64 claim : claims) {
        at = zip.indexOf(QByteArray("PK\x01\x02", 4), at);
        if (at < 0)
            break;
        for (int i = 0; claim >= 0 && i < 4; ++i)
            zip[at + field + i] = char((claim >> (8 * i)) & 0xFF);
        at += 4;
    }
    return zip;
}
} // namespace

class TestLimits : public QObject
{
    Q_OBJECT
private slots:
    void hugeFirmwareFile();
    void hugeConfigurationFile();
    void savedConfigurationOpensAgain();
    void archiveSizeClaims_data();
    void archiveSizeClaims();
};

void TestLimits::hugeFirmwareFile()
{
    TempProgramDir program;
    const QString path = program.filePath("firmware/Zemo200_v9.0.0_update.bin");
    QVERIFY(QDir().mkpath(program.filePath("firmware")));
    QVERIFY(sparseFile(path, firmwareTestImage(200, 9, 0, 0, 16), 4 * GiB));

    LinkOnBus t;
    QVERIFY(t.openPort());
    DeviceInterface &link = t.link;
    QSignalSpy states(&link, &DeviceInterface::changeDeviceStatus);
    LogCapture log;
    link.loadFirmwareFile("9.0.0", path);
    QCOMPARE(log.count(QStringLiteral("Firmware file \"%1\" refused: %2 bytes, an image has at "
                                      "most 1048576")
                               .arg(path)
                               .arg(4 * GiB)),
             1);
    // Nothing of it reaches the reader: the upload ends as for a damaged file.
    link.startUpdZemo200("200");
    QCOMPARE(states.count(), 1);
    QCOMPARE(states.at(0).at(0).toInt(), 12);
    QVERIFY(log.contains("Firmware file refused: "));
}

void TestLimits::hugeConfigurationFile()
{
    TempProgramDir program(true);
    const QString path = program.filePath("huge.xml");
    QVERIFY(sparseFile(path, "<?xml version=\"1.0\"?>\n<configuration>\n", 2 * GiB));
    BoxRecorder boxes;
    MainWindow window(nullptr, "ru_RU");
    const QString before = window.configurationXml();
    boxes.fileAnswers << path;
    LogCapture log;
    window.openFileSlot();
    QCOMPARE(log.count(QStringLiteral("Configuration file refused, %1 bytes: %2")
                               .arg(2 * GiB)
                               .arg(path)),
             1);
    QCOMPARE(boxes.boxes.size(), 1);
    QCOMPARE(boxes.boxes.at(0).text, QString("Файл не является файлом конфигурации или поврежден"));
    QCOMPARE(window.configurationXml(), before);
}

// The parser takes an XML declaration that the writer gives back as text the parser then
// refuses; such a configuration is not saved at all rather than saved as a file that cannot be
// opened. An ordinary file is saved as it was read.
void TestLimits::savedConfigurationOpensAgain()
{
    QDomDocument config;
    QDomDocument changes;
    const QByteArray odd = "<?xml version=\"1-------UTF-8-----'-----\"?>\n"
                           "<configuration>0</configuration>\n";
    QVERIFY(ConfigurationFile::parse(odd, &config, &changes));
    QVERIFY(ConfigurationFile::serialize(config).isEmpty());

    const QByteArray plain = "<?xml version='1.0' encoding='UTF-8'?>\n<configuration>\n"
                             " <rs485_addr_220 param=\"1a\"/>\n</configuration>\n";
    QVERIFY(ConfigurationFile::parse(plain, &config, &changes));
    QCOMPARE(ConfigurationFile::serialize(config), plain);
}

void TestLimits::archiveSizeClaims_data()
{
    // Per entry: startupd.sh, a.bin (2000 bytes, deflated), b.bin (3000), c.bin, d.bin, e.bin
    // (100 each); below 0 the true size. The manifest (479 bytes) and the signature (64) count
    // with them.
    QTest::addColumn<int>("field");
    QTest::addColumn<QList<qint64>>("claims");
    QTest::addColumn<QString>("logLine"); // empty: installed
    const qint64 MiB = 1024 * 1024;
    const int size = 24;
    const int compressed = 20;
    QTest::newRow("true sizes") << size << QList<qint64> {} << QString();
    QTest::newRow("one entry claims 2 GiB")
            << size << QList<qint64> {-1, 2 * GiB}
            << "Update archive refused: a.bin claims 2147483648 bytes, at most 268435456 are "
               "taken";
    QTest::newRow("one entry claims 4 GiB less one byte")
            << size << QList<qint64> {-1, -1, 4 * GiB - 1}
            << "Update archive refused: b.bin claims 4294967295 bytes, at most 268435456 are "
               "taken";
    QTest::newRow("all together above the limit")
            << size << QList<qint64> {-1, 250 * MiB, 250 * MiB, 250 * MiB, 250 * MiB, 250 * MiB}
            << "Update archive refused: its files claim 1310720548 bytes together, at most "
               "1073741824 are taken";
    QTest::newRow("an entry inflating to more than it claims")
            << size << QList<qint64> {-1, 10}
            << "Update archive damaged: a.bin: it gives more than the 10 bytes claimed";
    QTest::newRow("an entry claiming more than it holds")
            << size << QList<qint64> {-1, -1, 5000}
            << "Update archive damaged: b.bin: it gives 3000 of 5000 bytes";
    QTest::newRow("compressed data claimed past the archive's end")
            << compressed << QList<qint64> {-1, 100000}
            << "Update archive damaged: a.bin: its data lies outside the archive";
    QTest::newRow("compressed size of 4 GiB less one byte")
            << compressed << QList<qint64> {-1, -1, 4 * GiB - 1}
            << "Update archive damaged: b.bin: its data lies outside the archive";
}

void TestLimits::archiveSizeClaims()
{
    QFETCH(int, field);
    QFETCH(QList<qint64>, claims);
    QFETCH(QString, logLine);

    TempProgramDir program;
    const QString archive = program.filePath("updates/update.zip");
    QVERIFY(QDir().mkpath(program.filePath("updates")));
    // A signed archive: its manifest and signature come first and keep their sizes.
    const QList<ZipWriter::File> files = {{"startupd.sh", "echo\n"},
                                          {"a.bin", QByteArray(2000, 'a')},
                                          {"b.bin", QByteArray(3000, 'b')},
                                          {"c.bin", QByteArray(100, 'c')},
                                          {"d.bin", QByteArray(100, 'd')},
                                          {"e.bin", QByteArray(100, 'e')}};
    QVERIFY(writeTestFile(archive, withClaims(updateTestArchive(files, files), field,
                                              QList<qint64> {-1, -1} + claims)));

    HandOverRecorder handOvers;
    LogCapture log;
    UpdateUnpacker unpacker;
    unpacker.startUpdate();
    if (logLine.isEmpty()) {
        QCOMPARE(handOvers.calls.size(), 1);
        QCOMPARE(readTestFile(program.filePath("updates/b.bin")), QByteArray(3000, 'b'));
    } else {
        QVERIFY2(log.contains(logLine), qPrintable(log.lines().join('\n')));
        QCOMPARE(handOvers.calls.size(), 0);
    }
}

QTEST_MAIN(TestLimits)
#include "tst_limits.moc"
