// Firmware identification of a read reader and the local firmware catalogue with its offer.
#include "mainwindowaccess.h"
#include "updatetestfiles.h"

namespace {

QStringList items(QWidget *w, const char *box)
{
    return comboItems(child<QComboBox>(w, box));
}

// A firmware image file of the given type and variant.
QByteArray image(quint8 type, quint8 variant, quint8 major, quint8 minor, quint8 build)
{
    return firmwareTestImage(quint16(type | variant << 8), major, minor, build, 80);
}

struct Rig : WindowRig
{
    void addFirmware(const QString &name, const QByteArray &bytes)
    {
        QVERIFY(writeTestFile(dir.filePath("firmware/" + name), bytes));
    }
};

} // namespace

class TestMainWindowFirmware : public QObject
{
    Q_OBJECT
private slots:
    void identification();
    void localCatalogue_data();
    void localCatalogue();
    void updateOffer_data();
    void updateOffer();
};

void TestMainWindowFirmware::identification()
{
    Rig rig;
    MainWindow &w = rig.w();
    LogCapture log;

    // Current group: the lists of the database, each element cut at its first colon.
    w.setCurrentFwVer_220("1.3.2", "", "220", "Zemo220");
    QVERIFY(MainWindowTestAccess::fwSupported(w));
    QCOMPARE(MainWindowTestAccess::deviceName(w), QString("Zemo220"));
    QCOMPARE(MainWindowTestAccess::statusBitMask(w), 2148466943u);
    QVERIFY(log.contains("STATUS BIT MASK:  2148466943"));
    QCOMPARE(items(&w, "setBaudComboBox"),
             QStringList({"2400", "4800", "9600", "19200", "38400", "57600", "115200"}));
    QCOMPARE(items(&w, "genTypeComboBox"), QStringList({"Постоянная", "Импульсная", "По событию"}));
    QVERIFY(!child<QListWidget>(&w, "terminalMenu")->isRowHidden(0));

    // The older group offers fewer items.
    w.setCurrentFwVer_220("1.0.5", "", "220", "Zemo220");
    QCOMPARE(items(&w, "genTypeComboBox"), QStringList({"Постоянная", "Импульсная"}));
    QCOMPARE(items(&w, "pullUpComboBox"), QStringList({"Отключена", "Подтяжка к питанию"}));
    QCOMPARE(MainWindowTestAccess::statusBitMask(w), 63u);

    // Unknown firmware: warned about; the lists and the mask stay.
    w.setCurrentFwVer_220("0.9.0", "", "220", "Zemo220");
    QVERIFY(!MainWindowTestAccess::fwSupported(w));
    QCOMPARE(rig.boxes.describe(),
             QString("Warning Предупреждение | Версия прошивки не поддерживается конфигуратором"));
    QCOMPARE(items(&w, "genTypeComboBox"), QStringList({"Постоянная", "Импульсная"}));
    QCOMPARE(MainWindowTestAccess::statusBitMask(w), 63u);
}

void TestMainWindowFirmware::localCatalogue_data()
{
    QTest::addColumn<QString>("devID");
    QTest::addColumn<QString>("latest");
    QTest::addColumn<QString>("latestFile");
    QTest::newRow("220: natural version order") << "220"
                                                << "1.10.0"
                                                << "c.bin";
    QTest::newRow("200v2: type and variant") << "200v2"
                                             << "2.0.1"
                                             << "v2.bin";
    QTest::newRow("200: variant 0 only") << "200"
                                         << "1.4.12"
                                         << "Same_B.bin";
    QTest::newRow("nothing for 310") << "310"
                                     << "0.0.0"
                                     << "";
}

void TestMainWindowFirmware::localCatalogue()
{
    QFETCH(QString, devID);
    QFETCH(QString, latest);
    QFETCH(QString, latestFile);
    Rig rig;
    rig.addFirmware("a.bin", image(220, 0, 1, 4, 9));
    rig.addFirmware("b.bin", image(220, 0, 1, 4, 12));
    rig.addFirmware("c.bin", image(220, 0, 1, 10, 0));
    rig.addFirmware("v2.bin", image(200, 2, 2, 0, 1));
    // Same version twice: the file listed last by name (case ignored) wins.
    rig.addFirmware("same_a.bin", image(200, 0, 1, 4, 12));
    rig.addFirmware("Same_B.bin", image(200, 0, 1, 4, 12));
    // Not an image: too short (the other headers refused are the firmware name table's rows).
    rig.addFirmware("short.bin", image(220, 0, 9, 9, 9).left(14));
    QVERIFY(QFile::link(rig.dir.filePath("firmware/c.bin"), rig.dir.filePath("firmware/link.bin")));

    LogCapture log;
    QCOMPARE(rig.w().getLocalLastFw(devID), latest);
    if (latestFile.isEmpty()) {
        QVERIFY(log.contains("Local firmware not found"));
    } else {
        QVERIFY(log.contains("Local actual FW:  " + latest));
        QCOMPARE(MainWindowTestAccess::localFirmware(rig.w()).value(latest),
                 rig.dir.filePath("firmware/" + latestFile));
        QVERIFY2(log.contains("Found local FW Ver:  " + latest), qPrintable(log.lines().join('\n')));
    }
    QVERIFY(!log.contains("Found local FW Ver:  9.9.9"));
}

void TestMainWindowFirmware::updateOffer_data()
{
    QTest::addColumn<QString>("devId");
    QTest::addColumn<QByteArray>("newImage");
    QTest::addColumn<bool>("offered");
    QTest::newRow("model 200") << "200" << image(200, 0, 1, 4, 0) << true;
    QTest::newRow("model 200 variant 2") << "200v2" << image(200, 2, 1, 4, 0) << true;
    // The upload cannot lay out a model-220 image: it is kept, never offered.
    QTest::newRow("model 220") << "220" << image(220, 0, 1, 4, 0) << false;
}

void TestMainWindowFirmware::updateOffer()
{
    QFETCH(QString, devId);
    QFETCH(QByteArray, newImage);
    QFETCH(bool, offered);
    Rig rig;
    MainWindow &w = rig.w();
    auto *button = child<QPushButton>(&w, "updateFwButton");
    rig.addFirmware("new.bin", newImage);
    const QString name = "Zemo" + devId;

    // The reader runs the newest local firmware already: nothing offered.
    w.setCurrentFwVer_220("1.4.0", "", devId, name);
    QVERIFY(!button->isEnabled());
    QVERIFY(button->isHidden());

    // An older reader is offered the local image, whether or not its firmware is supported.
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.setCurrentFwVer_220("0.9.0", "", devId, name);
    QCOMPARE(button->isEnabled(), offered);
    QCOMPARE(button->isVisible(), offered);
    QCOMPARE(button->toolTip() == QString("Обновить прошивку устройства до версии 1.4.0"), offered);
    rig.boxes.clear();
    w.startUpdateFirmware();
    QCOMPARE(rig.boxes.describe().isEmpty(), !offered);
    rig.boxes.clear();

    // The ready state keeps offering it.
    w.setGlobalState(4);
    QVERIFY(!button->isEnabled());
    w.setCurrentFwVer_220("1.3.2", "", devId, name);
    w.setGlobalState(3);
    QCOMPARE(button->isEnabled(), offered);
    w.setGlobalState(5);
    w.setGlobalState(3);
    QCOMPARE(button->isEnabled(), offered);
}

QTEST_MAIN(TestMainWindowFirmware)
#include "tst_mainwindow_firmware.moc"
