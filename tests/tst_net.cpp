// ctest: slow
#include "net.h"
#include "netsignallog.h"
#include "settings.h"
#include "testsupport.h"
#include "updateserversim.h"
#include "updatetestfiles.h"

#include <QDir>
#include <QtTest>

namespace {
// A program folder and an update-server double on a loopback address of its own; the settings
// point the client at it.
struct Bench
{
    explicit Bench(const UpdateServerSimSettings &base = UpdateServerSimSettings())
        : host(randomLoopbackAddress())
    {
        UpdateServerSimSettings s = base;
        s.folder = serverFolder.path();
        server.reset(new UpdateServerSim(s));
        listening = server->listen(QHostAddress(host));
        writeSetting("UpdateServer", "IP", host);
        writeSetting("UpdateServer", "Port", server->port());
    }
    QString firmwareFile(const QString &name) const { return program.filePath("firmware/" + name); }

    TempProgramDir program;
    QTemporaryDir serverFolder;
    QString host;
    QScopedPointer<UpdateServerSim> server;
    bool listening = false;
};

} // namespace

// The update client against the update-server double: chunk transfers, time-outs and the order
// of the outcome signals. The check answers are shown through the window by the update workflow
// tests, the chunked archive download by the FTP fall-back.
class TestNet : public QObject
{
    Q_OBJECT
private slots:
    void defaultsWrittenWhenMissing();
    void firmwareDownload();
    void badAndSplitChunks_data();
    void badAndSplitChunks();
    void unreachable_data();
    void unreachable();
    void timeOutThenFreshTransfer();
};

void TestNet::defaultsWrittenWhenMissing()
{
    TempProgramDir program;
    writeSetting("UpdateServer", "IP", "10.1.2.3"); // port missing: both defaults written
    Net net;
    QCOMPARE(net.serverHost() + ":" + QString::number(net.serverPort()),
             QStringLiteral("update.zemo-service.ru:12358"));
    QCOMPARE(readSetting("UpdateServer", "IP").toString() + ":"
                     + readSetting("UpdateServer", "Port").toString(),
             QStringLiteral("update.zemo-service.ru:12358"));
}

void TestNet::firmwareDownload()
{
    Bench bench;
    QVERIFY(bench.listening);
    const QByteArray image = firmwareTestImage(712, 1, 4, 12, 2500);
    writeTestFile(bench.serverFolder.filePath("new.bin"), image);
    // A stale file of the same name is replaced; other images stay.
    writeTestFile(bench.firmwareFile("Zemo200v2_v1.4.12_update.bin"), "stale");
    writeTestFile(bench.firmwareFile("Zemo200v2_v1.4.9_update.bin"), "older");

    LogCapture capture;
    Net net;
    NetSignalLog log(&net);
    net.checkUpdates("1.4.9", "Zemo712", true);
    QTRY_COMPARE(log.events, QStringList({"finished(0)", "fwDownloaded"}));

    QCOMPARE(bench.server->acknowledgements(),
             QStringList({"WRFILE=0,0,1000", "WRFILE=0,1,1000", "WRFILE=0,2,500"}));
    const QByteArray stored = readTestFile(bench.firmwareFile("Zemo200v2_v1.4.12_update.bin"));
    QVERIFY2(stored == image, qPrintable(QString::number(stored.size())));
    QCOMPARE(readTestFile(bench.firmwareFile("Zemo200v2_v1.4.9_update.bin")), QByteArray("older"));
    QVERIFY(log.progress.isEmpty()); // firmware transfers show no progress
    QVERIFY(capture.contains("UPDATER: Recive done!"));
    QVERIFY(capture.contains("UPDATER: Errors count:  0"));
}

void TestNet::badAndSplitChunks_data()
{
    QTest::addColumn<int>("reject");
    QTest::addColumn<int>("split");
    QTest::addColumn<QStringList>("acks");
    QTest::addColumn<int>("errors");
    // A chunk whose count says one byte more than its data is refused and sent again.
    QTest::newRow("wrong count") << 1 << -1
                                 << QStringList({"WRFILE=1", "WRFILE=0,0,1000", "WRFILE=0,1,200"})
                                 << 1;
    // The first half of a split chunk fails the size check; the second half alone carries no
    // marker and is ignored; the server sends the chunk again whole.
    QTest::newRow("split chunk") << 0 << 1
                                 << QStringList({"WRFILE=0,0,1000", "WRFILE=1", "WRFILE=0,1,200"})
                                 << 1;
}

void TestNet::badAndSplitChunks()
{
    QFETCH(int, reject);
    QFETCH(int, split);
    QFETCH(QStringList, acks);
    QFETCH(int, errors);
    UpdateServerSimSettings settings;
    settings.rejectChunks = reject;
    settings.splitChunk = split;
    settings.splitGapMs = 200;
    Bench bench(settings);
    QVERIFY(bench.listening);
    const QByteArray image = firmwareTestImage(200, 2, 0, 1, 1200);
    writeTestFile(bench.serverFolder.filePath("a.bin"), image);

    LogCapture capture;
    Net net;
    NetSignalLog log(&net);
    net.checkUpdates("0.0.0", "Zemo200", true);
    QTRY_COMPARE(log.events, QStringList({"finished(0)", "fwDownloaded"}));
    QCOMPARE(bench.server->acknowledgements(), acks);
    QCOMPARE(capture.count("UPDATER: Error receive part"), errors);
    QVERIFY(capture.contains(QStringLiteral("UPDATER: Errors count:  %1").arg(errors)));
    QCOMPARE(readTestFile(bench.firmwareFile("Zemo200_v2.0.1_update.bin")), image);
}

void TestNet::unreachable_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("logLine");
    QTest::newRow("refused") << randomLoopbackAddress() << 1 // nothing listens there
                             << "UPDATER: Server not available or dead.";
    // Ends the exchange too, so the window enables its check button again.
    QTest::newRow("host not found") << "invalid..name" << 12358 << "UPDATER: Host Not Found";
}

void TestNet::unreachable()
{
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QString, logLine);
    TempProgramDir program;
    writeSetting("UpdateServer", "IP", host);
    writeSetting("UpdateServer", "Port", port);
    LogCapture capture;
    Net net;
    NetSignalLog log(&net);
    net.checkUpdates("0.0.0", QString(), true);
    QTRY_COMPARE(log.events, QStringList({"finished(1)"}));
    QVERIFY(capture.contains(logLine));
}

void TestNet::timeOutThenFreshTransfer()
{
    // The server stops after two chunks of a 3000-byte image; 10 s later the client gives up.
    UpdateServerSimSettings settings;
    settings.silentAfterChunks = 2;
    Bench bench(settings);
    QVERIFY(bench.listening);
    writeTestFile(bench.serverFolder.filePath("big.bin"), firmwareTestImage(200, 1, 5, 0, 3000));

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
    bench.server->settings().silentAfterChunks = -1;
    bench.server->clearRecords();
    QFile::remove(bench.serverFolder.filePath("big.bin"));
    const QByteArray small = firmwareTestImage(200, 1, 6, 0, 1500);
    writeTestFile(bench.serverFolder.filePath("small.bin"), small);
    log.events.clear();
    net.checkUpdates("1.0.0", "Zemo200", true);
    QTRY_COMPARE(log.events, QStringList({"finished(0)", "fwDownloaded"}));
    QCOMPARE(readTestFile(bench.firmwareFile("Zemo200_v1.6.0_update.bin")), small);
}

QTEST_GUILESS_MAIN(TestNet)
#include "tst_net.moc"
