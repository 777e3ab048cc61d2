// The bus page's scan over every speed of the list in turn, each speed a scan of the addresses
// 1 to 10 (the whole range at every speed is the same scan seven times over, 90 s).
#include "bustablemodel.h"
#include "deviceinterface.h"
#include "mainwindowaccess.h"
#include "resources.h"

class TestBusPageSpeeds : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { initZemoResources(); }
    void everySpeed();
};

// Readers at three speeds, two of them at the same address: each is listed with the speed it
// answered at, the status strip names the speed being scanned, the panel offers the readers at
// its own speed, and a stop during a later speed keeps what was found and scans no further.
void TestBusPageSpeeds::everySpeed()
{
    BusWindowRig rig(
            {simReader(4, 9600), simReader(8, 19200), simReader(9, 19200), simReader(4, 115200)});
    rig.window->show();
    rig.w().deviceInterface()->setScanLastAddress(10);
    QVERIFY(rig.choose("19200", "1"));
    auto *menu = rig.get<QListWidget>("terminalMenu");
    menu->setCurrentRow(2);
    rig.w().itemSelected(menu->model()->index(2, 0));
    rig.get<QCheckBox>("busAllSpeedsCheck")->setChecked(true);

    QStringList speedsShown;
    auto *status = rig.get<QLabel>("globalStatusText");
    auto *scan = rig.get<QPushButton>("busScanButton");
    rig.press("busScanButton");
    const bool ended = QTest::qWaitFor(
            [&] {
                const QRegularExpressionMatch m
                        = QRegularExpression(
                                  "^Поиск устройств, (\\d+) бод: адрес \\d+, найдено \\d+$")
                                  .match(status->text());
                if (m.hasMatch() && !speedsShown.contains(m.captured(1)))
                    speedsShown << m.captured(1);
                return scan->text() == "Поиск";
            },
            150000);
    QVERIFY(ended);
    QCOMPARE(speedsShown, rig.w().deviceInterface()->baudList());

    QAbstractItemModel *table = rig.get<QTableView>("busTable")->model();
    QStringList rows;
    for (int r = 0; r < table->rowCount(); ++r)
        rows << table->index(r, BusTableModel::AddressColumn).data().toString() + "@"
                        + table->index(r, BusTableModel::BaudColumn).data().toString();
    QCOMPARE(rows, QStringList({"4@9600", "8@19200", "9@19200", "4@115200"}));
    QCOMPARE(rig.w().globalState(), 0);
    QCOMPARE(status->text(), QString("Соединения закрыты"));
    QCOMPARE(comboItems(rig.get<QComboBox>("rs485_selAddr")), QStringList({"8", "9"}));
    QCOMPARE(rig.get<QComboBox>("rs485_220_speed")->currentText(), QString("19200"));
    QCOMPARE(rig.w().deviceInterface()->baudRate(), 19200);

    // Stopped at 9600, the third speed: the reader found there stays, nothing more is scanned.
    rig.press("busScanButton");
    QVERIFY(QTest::qWaitFor([&] { return table->rowCount() == 1; }, 60000));
    rig.press("busScanButton");
    QTRY_VERIFY_WITH_TIMEOUT(scan->text() == "Поиск", 3000);
    QTest::qWait(300);
    QVERIFY(!rig.w().deviceInterface()->isSearching());
    QCOMPARE(rig.w().globalState(), 0);
    QCOMPARE(table->rowCount(), 1);
    QCOMPARE(table->index(0, BusTableModel::BaudColumn).data().toString(), QString("9600"));
}

QTEST_MAIN(TestBusPageSpeeds)
#include "tst_buspage_speeds.moc"
