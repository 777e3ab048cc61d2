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
