#include "deviceinterface.h"
#include "testsupport.h"

#include <QSignalSpy>
#include <QtTest>

// The device link over a real pseudo-terminal: ports, errors, the send and receive paths.
class TestDeviceLink : public QObject
{
    Q_OBJECT
private slots:
    void constructionAndDestructionEndTheParserThread();
    void portListAddsExtraPaths_data();
    void portListAddsExtraPaths();
    void enumerationOffersExtraPortsAndSpeeds();
};

void TestDeviceLink::constructionAndDestructionEndTheParserThread()
{
    LogCapture log;
    for (int i = 0; i < 20; ++i) {
        DeviceInterface link;
        Q_UNUSED(link)
    }
    QCOMPARE(log.count("Port closed, handle deleted."), 20);
}

void TestDeviceLink::portListAddsExtraPaths_data()
{
    QTest::addColumn<QStringList>("system");
    QTest::addColumn<QString>("extra");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("none") << QStringList() << QString() << QStringList();
    QTest::newRow("system only") << QStringList {"ttyS0", "ttyUSB0"} << QString()
                                 << QStringList {"ttyS0", "ttyUSB0"};
    QTest::newRow("extras after system")
            << QStringList {"ttyUSB0"} << "/tmp/a:/dev/serial/by-id/usb-x"
            << QStringList {"ttyUSB0", "/tmp/a", "/dev/serial/by-id/usb-x"};
    QTest::newRow("empty entries and repeats")
            << QStringList() << ":/tmp/a::/tmp/a:" << QStringList {"/tmp/a"};
}

void TestDeviceLink::portListAddsExtraPaths()
{
    QFETCH(QStringList, system);
    QFETCH(QString, extra);
    QFETCH(QStringList, expected);
    QCOMPARE(DeviceInterface::portListWith(system, extra), expected);
}

void TestDeviceLink::enumerationOffersExtraPortsAndSpeeds()
{
    qputenv("ZEMO_EXTRA_PORTS", "/tmp/zemo-test-port-a:/tmp/zemo-test-port-b");
    DeviceInterface link;
    QSignalSpy ports(&link, &DeviceInterface::setCOMsList);
    QSignalSpy bauds(&link, &DeviceInterface::setBaudList);
    QSignalSpy states(&link, &DeviceInterface::changeDeviceStatus);
    link.enumeratePorts();
    qunsetenv("ZEMO_EXTRA_PORTS");

    QCOMPARE(ports.count(), 1);
    const QStringList listed = ports.at(0).at(0).toStringList();
    QVERIFY(listed.size() >= 2);
    QCOMPARE(listed.mid(listed.size() - 2),
             (QStringList {"/tmp/zemo-test-port-a", "/tmp/zemo-test-port-b"}));
    QCOMPARE(bauds.at(0).at(0).toStringList(),
             (QStringList {"2400", "4800", "9600", "19200", "38400", "57600", "115200"}));
    QCOMPARE(states.count(), 1);
    QCOMPARE(states.at(0).at(0).toInt(), 0);
}

QTEST_GUILESS_MAIN(TestDeviceLink)
#include "tst_devicelink.moc"
