// ctest: slow
// The command-line configurator where the program's real timings rule: a scan of the bus
// (254 x 50 ms) and a reader that stays silent through the resends (4 x 5000 ms).
#include "clirun.h"
#include "simbus.h"
#include "testsupport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

class TestCliSlow : public QObject
{
    Q_OBJECT
private slots:
    void scanInAddressOrder();
    void scanTellsEachReaderAsItAnswers();
    void scanOfAnEmptyBus();
    void silentReader_data();
    void silentReader();
};

// Every reader on the bus with its firmware, in address order (the reader at 9 was added before
// the one at 3), one probe per address. An address written by the command line is the write to
// another reader's.
void TestCliSlow::scanInAddressOrder()
{
    SimBus bus;
    QVERIFY(bus.open());
    bus.addReader(simReader(1, 19200, "1.3.2"));
    bus.addReader(simReader(9, 19200, "1.0.5"));
    bus.addReader(simReader(3, 19200, "1.1.0"));

    const CliRun scan = runCli({"--port", bus.devicePath(), "--json", "scan"});
    QVERIFY2(scan.exitCode == 0, qPrintable(scan.describe()));
    QStringList found;
    for (const QByteArray &line : scan.out.trimmed().split('\n')) {
        const QJsonObject reader = QJsonDocument::fromJson(line).object();
        found << QString("%1 %2 %3")
                         .arg(reader.value("address").toInt())
                         .arg(reader.value("device").toInt())
                         .arg(reader.value("firmware").toString());
    }
    QCOMPARE(found, QStringList({"1 220 1.3.2", "3 220 1.1.0", "9 220 1.0.5"}));
    QCOMPARE(bus.requests().size(), 254);
}

// The reader at address 2 is on standard output while the scan still probes the other 252
// addresses: a script piping the scan sees each reader at once.
void TestCliSlow::scanTellsEachReaderAsItAnswers()
{
    SimBus bus;
    QVERIFY(bus.open());
    bus.addReader(simReader(2, 19200, "1.3.2"));
    QProcess cli;
    QByteArray firstLine;
    bool runningThen = false;
    QEventLoop loop;
    connect(&cli, &QProcess::readyReadStandardOutput, &loop, [&] {
        if (!firstLine.isEmpty() || !cli.canReadLine())
            return;
        firstLine = cli.readLine();
        runningThen = cli.state() == QProcess::Running && bus.requests().size() < 254;
    });
    connect(&cli, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), &loop,
            &QEventLoop::quit);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    cli.start(appBuildPath("zemo-cli"), {"--port", bus.devicePath(), "scan"});
    loop.exec();
    QCOMPARE(firstLine, QByteArray("2 220 1.3.2\n"));
    QVERIFY2(runningThen, "the reader came with the end of the scan");
    QCOMPARE(cli.exitCode(), 0);
    QCOMPARE(bus.requests().size(), 254);
}

// No reader answered: code 3 and the reason on standard error, nothing on standard output.
void TestCliSlow::scanOfAnEmptyBus()
{
    SimBus bus;
    QVERIFY(bus.open());
    const CliRun scan = runCli({"--port", bus.devicePath(), "--json", "scan"});
    QVERIFY2(scan.exitCode == 3, qPrintable(scan.describe()));
    QVERIFY(scan.out.isEmpty());
    const QJsonObject error = QJsonDocument::fromJson(scan.err.trimmed()).object();
    QCOMPARE(error.value("code").toInt(), 3);
    QVERIFY2(error.value("error").toString().contains(bus.devicePath()), scan.err.constData());
}

void TestCliSlow::silentReader_data()
{
    QTest::addColumn<int>("silentRequests");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("identityRequests");
    // Three resends, then the question is answered No: the command fails.
    QTest::newRow("gives up after the resends") << 1000 << QStringList() << 3 << 4;
    // A second round after a Yes: the identity goes again and is answered.
    QTest::newRow("second round answered") << 4 << QStringList {"--retries", "2"} << 0 << 5;
}

void TestCliSlow::silentReader()
{
    QFETCH(int, silentRequests);
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(int, identityRequests);
    SimBus bus;
    QVERIFY(bus.open());
    SimReaderSettings settings = simReader(1);
    settings.silentRequests = silentRequests;
    bus.addReader(settings);
    const CliRun run = runCli(QStringList {"--port", bus.devicePath()} + options
                              + QStringList {"read"});
    QVERIFY2(run.exitCode == exitCode, qPrintable(run.describe()));
    int identity = 0;
    for (const QByteArray &frame : bus.requests())
        identity += frame.mid(3, 2) == QByteArray::fromHex("0100");
    QCOMPARE(identity, identityRequests);
    if (exitCode != 0)
        QVERIFY2(run.err.contains("0100"), run.err.constData());
}

QTEST_MAIN(TestCliSlow)
#include "tst_cli_slow.moc"
