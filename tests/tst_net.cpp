// ctest: slow
#include "net.h"
#include "netsignallog.h"
#include "updatetestfiles.h"

#include <QDir>
#include <QtTest>

namespace {
// A program folder whose settings point the update client at the server double.
struct Bench
{
    explicit Bench(const UpdateServerSimSettings &settings = UpdateServerSimSettings())
        : rig(settings)
    {
        rig.pointSettings();
    }
    QString firmwareFile(const QString &name) const { return program.filePath("firmware/" + name); }

    TempProgramDir program;
    UpdateServerRig rig;
};

} // namespace

// The update client against the update-server double: chunk transfers, time-outs and the order
// of the outcome signals. The check answers and unreachable servers are shown through the window
// by the update workflow tests, the chunked archive download by the FTP fall-back.
class TestNet : public QObject
{
    Q_OBJECT
private slots:
    void firmwareDownload_data();
    void firmwareDownload();
    void timeOutThenFreshTransfer();
};

void TestNet::firmwareDownload_data()
{
    QTest::addColumn<int>("reject");
    QTest::addColumn<int>("split");
    QTest::addColumn<QStringList>("acks");
    QTest::addColumn<bool>("withLast");
    const QStringList whole = {"WRFILE=0,0,1000", "WRFILE=0,1,1000", "WRFILE=0,2,500"};
    QTest::newRow("whole chunks") << 0 << -1 << whole << false;
    // The last chunk and "complite" in one delivery: the chunk belongs to the file.
    QTest::newRow("last chunk with the end") << 0 << -1 << whole << true;
    // A chunk whose count says one byte more than its data is refused and sent again.
    QTest::newRow("wrong count") << 1 << -1
                                 << QStringList({"WRFILE=1", "WRFILE=0,0,1000", "WRFILE=0,1,1000",
                                                 "WRFILE=0,2,500"})
                                 << false;
    // The first half of a split chunk fails the size check; the second half alone carries no
    // marker and is ignored; the server sends the chunk again whole.
    QTest::newRow("split chunk") << 0 << 1
                                 << QStringList({"WRFILE=0,0,1000", "WRFILE=1", "WRFILE=0,1,1000",
                                                 "WRFILE=0,2,500"})
                                 << false;
}

void TestNet::firmwareDownload()
{
    QFETCH(int, reject);
    QFETCH(int, split);
    QFETCH(QStringList, acks);
    QFETCH(bool, withLast);
    UpdateServerSimSettings settings;
    settings.completeWithLastChunk = withLast;
    settings.rejectChunks = reject;
    settings.splitChunk = split;
    settings.splitGapMs = 200;
    Bench bench(settings);
    QVERIFY(bench.rig.listening);
    const QByteArray image = firmwareTestImage(712, 1, 4, 12, 2500);
    bench.rig.serve("new.bin", image);
    // A stale file of the same name is replaced; other images stay.
    writeTestFile(bench.firmwareFile("Zemo200v2_v1.4.12_update.bin"), "stale");
    writeTestFile(bench.firmwareFile("Zemo200v2_v1.4.9_update.bin"), "older");

    LogCapture capture;
    Net net;
    NetSignalLog log(&net);
    net.checkUpdates("1.4.9", "Zemo712", true);
    QTRY_COMPARE(log.events, QStringList({"finished(0)", "fwDownloaded"}));
    QTRY_COMPARE(bench.rig.server->acknowledgements(), acks);
    const int errors = acks.count("WRFILE=1");
    QCOMPARE(capture.count("UPDATER: Error receive part"), errors);
    QVERIFY(capture.contains(QStringLiteral("UPDATER: Errors count:  %1").arg(errors)));
    QVERIFY(capture.contains("UPDATER: Recive done!"));
    const QByteArray stored = readTestFile(bench.firmwareFile("Zemo200v2_v1.4.12_update.bin"));
    QVERIFY2(stored == image, qPrintable(QString::number(stored.size())));
    QCOMPARE(readTestFile(bench.firmwareFile("Zemo200v2_v1.4.9_update.bin")), QByteArray("older"));
    QVERIFY(log.progress.isEmpty()); // firmware transfers show no progress
}

void TestNet::timeOutThenFreshTransfer()
{
    // The server stops after two chunks of a 3000-byte image; 10 s later the client gives up.
    UpdateServerSimSettings settings;
    settings.silentAfterChunks = 2;
    Bench bench(settings);
    QVERIFY(bench.rig.listening);
    bench.rig.serve("big.bin", firmwareTestImage(200, 1, 5, 0, 3000));

    LogCapture capture;
    Net net;
    NetSignalLog log(&net);
    QElapsedTimer clock;
    clock.start();
    net.checkUpdates("1.0.0", "Zemo200", true);
    QTRY_COMPARE_WITH_TIMEOUT(log.events, QStringList({"finished(0)", "finished(2)"}), 20000);
    QVERIFY2(clock.elapsed() >= 9500, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(capture.contains("UPDATER: Timed out response. Disconnect from server."));
    QVERIFY(QDir(bench.program.filePath("firmware")).isEmpty());

    // The next transfer starts from an empty buffer: the 2000 bytes already received do not
    // stick to the shorter new image.
    bench.rig.server->settings().silentAfterChunks = -1;
    bench.rig.server->clearRecords();
    QFile::remove(bench.rig.folder.filePath("big.bin"));
    const QByteArray small = firmwareTestImage(200, 1, 6, 0, 1500);
    bench.rig.serve("small.bin", small);
    log.events.clear();
    net.checkUpdates("1.0.0", "Zemo200", true);
    QTRY_COMPARE(log.events, QStringList({"finished(0)", "fwDownloaded"}));
    QCOMPARE(readTestFile(bench.firmwareFile("Zemo200_v1.6.0_update.bin")), small);
}

QTEST_GUILESS_MAIN(TestNet)
#include "tst_net.moc"
