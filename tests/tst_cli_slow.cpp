// ctest: slow
// The command-line configurator where the program's real timings rule: a scan of the bus
// (254 x 50 ms), a reader that stays silent through the resends (4 x 5000 ms), and commissioning
// runs, where each reader waits out the second of its reboot.
#include "clirun.h"
#include "simbus.h"
#include "testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <csignal>

namespace {

const QByteArray kTemplate = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<configuration>\n"
                             " <rs485_addr_220 param=\"5\"/>\n <gen_stat_220 param=\"1\"/>\n"
                             " <pull_up_220 param=\"1\"/>\n <gen_mode_220 param=\"2\"/>\n"
                             "</configuration>\n";

// The reader lines of a report (fields split at commas: the rows of these tests quote nothing),
// after the line of column names.
QList<QStringList> reportRows(const QString &path)
{
    const QStringList lines = QString::fromUtf8(readTestFile(path)).split("\r\n");
    const int blank = lines.indexOf(QString());
    QList<QStringList> rows;
    for (int i = blank + 2; i > 1 && i < lines.size(); ++i) {
        if (!lines.at(i).isEmpty())
            rows << lines.at(i).split(',');
    }
    return rows;
}

} // namespace

class TestCliSlow : public QObject
{
    Q_OBJECT
private slots:
    void scanInAddressOrder();
    void scanTellsEachReaderAsItAnswers();
    void scanOfAnEmptyBus();
    void silentReader_data();
    void silentReader();
    void commissionPickedReaders();
    void commissionAssignsAddresses();
    void commissionInterrupted();
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
    for (const QJsonObject &reader : jsonLines(scan.out)) {
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

// Four readers picked: two take the template, the third refuses its first value, the fourth is
// silent. Each is told as it is done; the exit code is the first reader's that failed; the
// report holds what each reader holds now.
void TestCliSlow::commissionPickedReaders()
{
    QTemporaryDir dir;
    const QString templatePath = dir.filePath("site.xml");
    const QString reportPath = dir.filePath("report.csv");
    QVERIFY(writeTestFile(templatePath, kTemplate));
    SimBus bus;
    QVERIFY(bus.open());
    QList<SimReader *> readers;
    for (int a = 11; a <= 14; ++a) {
        SimReaderSettings s = simReader(quint8(a));
        if (a == 12)
            s.pullUp = 1;
        if (a == 13)
            s.rejectWrites = 2;
        if (a == 14)
            s.silentRequests = 1000;
        readers << bus.addReader(s);
    }
    const CliRun run = runCli({"--port", bus.devicePath(), "--timeout", "100", "--json",
                               "commission", "--template", templatePath, "--addresses", "11-14",
                               "--note", "Цех 3", "--report", reportPath});
    QVERIFY2(run.exitCode == 4, qPrintable(run.describe()));
    QVERIFY2(run.err.contains("13"), run.err.constData());

    const QList<QJsonObject> lines = jsonLines(run.out);
    QCOMPARE(lines.size(), 4);
    QStringList verdicts;
    for (const QJsonObject &line : lines)
        verdicts << QString("%1 %2")
                            .arg(line.value("addressBefore").toInt())
                            .arg(line.value("verdict").toString());
    QCOMPARE(verdicts, QStringList({"11 verified", "12 verified", "13 failed", "14 failed"}));
    QCOMPARE(lines.at(1).value("written").toArray().toVariantList(),
             QVariantList({"gen_stat_220=1", "gen_mode_220=2"}));

    const QList<QStringList> rows = reportRows(reportPath);
    QCOMPARE(rows.size(), 4);
    for (int i = 0; i < 4; ++i) {
        const SimReaderSettings now = readers.at(i)->settings();
        const QStringList row = rows.at(i);
        QCOMPARE(row.at(1).toInt(), 11 + i);
        QCOMPARE(row.at(2).toInt(), int(now.address));
        QCOMPARE(row.at(4).toInt(), int(now.speed));
        const bool verified = i < 2;
        QCOMPARE(int(now.genMode), verified ? 2 : 0);
        QCOMPARE(int(now.pullUp), verified || i == 1 ? 1 : 0);
        QCOMPARE(readers.at(i)->rebootCount(), verified ? 1 : 0);
    }
    QVERIFY(readTestFile(reportPath).contains("Цех 3"));
}

// New readers wired one by one at the factory address: each gets the next address of the
// range; the converter is pulled while the second takes its values and plugged in again. The
// factory address then stays silent for the two seconds of --wait: the run ends with its
// report, every reader verified.
void TestCliSlow::commissionAssignsAddresses()
{
    QTemporaryDir dir;
    const QString templatePath = dir.filePath("site.xml");
    const QString reportPath = dir.filePath("report.csv");
    const QString port = dir.filePath("converter");
    QVERIFY(writeTestFile(templatePath, kTemplate));
    SimBus bus;
    QVERIFY(bus.open(port));
    QList<SimReader *> plugged;
    plugged << bus.addReader(simReader(1));
    bool pulled = false;
    connect(&bus, &SimBus::requestReceived, this, [&](const QByteArray &frame) {
        if (frame.size() < 5 || quint8(frame.at(0)) != 1)
            return;
        const int code = (quint8(frame.at(3)) << 8) | quint8(frame.at(4));
        // The engineer wires the next reader once the one before has rebooted away.
        if (code == 0x0200 && plugged.size() < 3)
            QTimer::singleShot(1500, this, [&] { plugged << bus.addReader(simReader(1)); });
        if (code == 0x0601 && plugged.size() == 2 && !pulled) {
            pulled = true;
            QTimer::singleShot(0, this, [&] { bus.close(); });
            QTimer::singleShot(700, this, [&] { QVERIFY(bus.open(port)); });
        }
    });
    const CliRun run = runCliWith({"--port", port, "commission", "--template", templatePath,
                                   "--assign", "21-30", "--wait", "2", "--report", reportPath},
                                  languageEnvironment("ru_RU.UTF-8"));
    QVERIFY2(run.exitCode == 0, qPrintable(run.describe()));
    QVERIFY(pulled);
    QCOMPARE(plugged.size(), 3);
    const QList<QByteArray> out = run.out.trimmed().split('\n');
    QCOMPARE(out, QList<QByteArray>({"1 21 220 1.3.2 verified", "1 22 220 1.3.2 verified",
                                     "1 23 220 1.3.2 verified"}));
    QVERIFY2(run.err.contains("Подключите следующий считыватель"), run.err.constData());
    const QList<QStringList> rows = reportRows(reportPath);
    QCOMPARE(rows.size(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(int(plugged.at(i)->settings().address), 21 + i);
        QCOMPARE(int(plugged.at(i)->settings().genMode), 2);
        QCOMPARE(plugged.at(i)->rebootCount(), 1);
        QCOMPARE(rows.at(i).at(2).toInt(), 21 + i);
    }
    // The second reader's values once each, the one whose answer was lost with the converter
    // included.
    int pullUps = 0;
    for (const QByteArray &frame : bus.requests())
        pullUps += frame.size() > 4 && quint8(frame.at(3)) == 6 && quint8(frame.at(4)) == 1;
    QCOMPARE(pullUps, 3);
}

// SIGINT while the second of three readers is served: the run ends after its step, the report
// holds the first reader done and the rest as they stand, and the exit code is 128 + 2.
void TestCliSlow::commissionInterrupted()
{
    QTemporaryDir dir;
    const QString templatePath = dir.filePath("site.xml");
    const QString reportPath = dir.filePath("report.csv");
    QVERIFY(writeTestFile(templatePath, kTemplate));
    SimBus bus;
    QVERIFY(bus.open());
    for (int a = 11; a <= 13; ++a)
        bus.addReader(simReader(quint8(a)));
    QProcess cli;
    connect(&bus, &SimBus::requestReceived, this, [&](const QByteArray &frame) {
        if (frame.size() > 4 && quint8(frame.at(0)) == 12 && quint8(frame.at(3)) == 1
            && quint8(frame.at(4)) == 0 && cli.state() == QProcess::Running)
            ::kill(pid_t(cli.processId()), SIGINT);
    });
    QEventLoop loop;
    connect(&cli, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), &loop,
            &QEventLoop::quit);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    cli.setProcessEnvironment(languageEnvironment("ru_RU.UTF-8"));
    cli.start(appBuildPath("zemo-cli"),
              {"--port", bus.devicePath(), "commission", "--template", templatePath, "--addresses",
               "11-13", "--report", reportPath});
    loop.exec();
    const QByteArray err = cli.readAllStandardError();
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    QVERIFY2(cli.exitCode() == 130, err.constData());
    const QList<QStringList> rows = reportRows(reportPath);
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows.at(0).at(9), QString("проверен"));
    QVERIFY2(rows.at(1).at(9) != QString("проверен"), qPrintable(rows.at(1).join(',')));
    QCOMPARE(rows.at(2).at(9), QString("не затронут"));
    // Nothing went to the third reader.
    for (const QByteArray &frame : bus.requests())
        QVERIFY(quint8(frame.at(0)) != 13);
}

QTEST_MAIN(TestCliSlow)
#include "tst_cli_slow.moc"
