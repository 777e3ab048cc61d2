// The bus page of the window over a simulated bus of thirty readers: the table fills while the
// scan runs, a stop keeps what was found, the table goes to CSV and JSON, a double-click connects
// to a reader, and the watch keeps every reader's figures and counts the errors of a reader
// whose line is bad, beside the window's own work on the bus.
#include "bustablemodel.h"
#include "commissionform.h"
#include "commissionreport.h"
#include "deviceinterface.h"
#include "mainwindowaccess.h"
#include "resources.h"

#include <algorithm>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// Readers 1 to 30 at 19200 baud. Reader 12 runs firmware 1.2.5; reader 17 has a bad line: every
// second answer arrives with a wrong checksum.
QList<SimReaderSettings> thirtyReaders()
{
    QList<SimReaderSettings> readers;
    for (int address = 1; address <= 30; ++address) {
        SimReaderSettings s = simReader(quint8(address));
        s.counter = address * 100;
        if (address == 12)
            s.firmware = "1.2.5";
        readers << s;
    }
    return readers;
}

struct Rig : BusWindowRig
{
    explicit Rig(const QList<SimReaderSettings> &readers = thirtyReaders())
        : BusWindowRig(readers, BusPlace::OwnThread)
    {
        window->show();
    }
    QAbstractItemModel *table() { return get<QTableView>("busTable")->model(); }
    int rows() { return table()->rowCount(); }
    QString cell(int row, int column) { return table()->index(row, column).data().toString(); }
    QString status() { return get<QLabel>("globalStatusText")->text(); }
    QString runText() { return get<QLabel>("busRunLabel")->text(); }
    int row(int address)
    {
        for (int r = 0; r < rows(); ++r)
            if (cell(r, BusTableModel::AddressColumn) == QString::number(address))
                return r;
        return -1;
    }
    void showBusPage()
    {
        auto *menu = get<QListWidget>("terminalMenu");
        menu->setCurrentRow(2);
        window->itemSelected(menu->model()->index(2, 0));
    }
    // Scans at the panel's speed until the readers up to this address are in the table, then
    // stops; the rows of that moment stay.
    bool scanUpTo(int address)
    {
        if (!listed())
            return false;
        showBusPage();
        press("busScanButton");
        if (!QTest::qWaitFor([&] { return row(address) >= 0; }, 10000))
            return false;
        press("busScanButton");
        auto *scan = get<QPushButton>("busScanButton");
        return QTest::qWaitFor([&] { return window->globalState() == 0 && scan->text() == "Поиск"; },
                               3000);
    }
    void select(std::initializer_list<int> addresses)
    {
        auto *view = get<QTableView>("busTable");
        for (int address : addresses)
            view->selectionModel()->select(view->model()->index(row(address), 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    // A template of the given elements in the program folder, and the commissioning dialog
    // opened with it filled in (null when the dialog did not open).
    CommissionForm *openCommission(const QByteArray &elements)
    {
        templatePath = dir.filePath("site.xml");
        if (!writeTestFile(templatePath, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                         "<configuration>\n"
                                                 + elements + "</configuration>\n"))
            return nullptr;
        press("commissionButton");
        auto *form = window->findChild<CommissionForm *>();
        if (form)
            child<QLineEdit>(form, "templateFileEdit")->setText(templatePath);
        return form;
    }
    void startCommission(CommissionForm *form)
    {
        QTest::mouseClick(child<QPushButton>(form, "startCommissionButton"), Qt::LeftButton);
        processDeletions();
    }
    QString templatePath;
};

} // namespace

class TestBusPage : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { initZemoResources(); }
    void pageIsThereWithoutReader();
    void tableFillsDuringScan();
    void exportTable_data();
    void exportTable();
    void doubleClickConnects();
    void watchCountsBadLine();
    void watchBesideSession();
    void watchConverterPulled();
    void commissionFromPage();
    void commissionAssignsAddresses();
    void closeDuringRun();
    void converterPulledDuringRun();
    void reportsOfRunsInOneSecond();
};

// The third entry of the menu is there in the closed state and during a session, and shows the
// bus page with the data panel's height.
void TestBusPage::pageIsThereWithoutReader()
{
    Rig rig({simReader(3)});
    QVERIFY(rig.listed());
    auto *menu = rig.get<QListWidget>("terminalMenu");
    QCOMPARE(menu->count(), 3);
    QCOMPARE(menu->item(2)->text(), QString("Шина"));
    QVERIFY(!menu->isRowHidden(2));
    rig.showBusPage();
    QCOMPARE(rig.get<QStackedWidget>("stackedWidget")->currentWidget()->objectName(),
             QString("busPage"));
    QVERIFY(rig.get("deviceStatus")->isHidden());
    // Nothing listed yet: only the scan is offered.
    QVERIFY(rig.get("busScanButton")->isEnabled());
    QVERIFY(!rig.get("busWatchButton")->isEnabled());
    QVERIFY(!rig.get("busExportButton")->isEnabled());

    rig.get<QComboBox>("rs485_selAddr")->setCurrentText("3");
    rig.press("rs485_Button");
    QTRY_COMPARE_WITH_TIMEOUT(rig.w().globalState(), 3, 10000);
    QVERIFY(!menu->isRowHidden(2));
    // A reader is connected: the port is not free for a scan.
    QVERIFY(!rig.get("busScanButton")->isEnabled());
    rig.press("rs485_Button");
    QTRY_COMPARE_WITH_TIMEOUT(rig.w().globalState(), 0, 5000);
    QVERIFY(!menu->isRowHidden(2));
    QVERIFY(rig.get("busScanButton")->isEnabled());
}

// Rows come as readers answer, while the scan goes on, and the status strip shows the address
// probed and the readers found; a stop keeps the rows and offers them in the connection panel.
void TestBusPage::tableFillsDuringScan()
{
    Rig rig;
    QVERIFY(rig.listed());
    rig.showBusPage();
    rig.press("busScanButton");
    QCOMPARE(rig.w().globalState(), 1);
    QCOMPARE(rig.get<QPushButton>("busScanButton")->text(), QString("Стоп"));
    QVERIFY(!rig.get("busAllSpeedsCheck")->isEnabled());

    QVERIFY(QTest::qWaitFor([&] { return rig.rows() >= 5; }, 5000));
    QVERIFY2(rig.w().deviceInterface()->isSearching(), "the rows came only at the scan's end");
    QVERIFY(QTest::qWaitFor([&] { return rig.row(20) >= 0; }, 5000));
    QVERIFY(rig.w().deviceInterface()->isSearching());
    // The strip follows with the next probe's address, a moment after the row.
    const QRegularExpression progress("^Поиск устройств: адрес (\\d+), найдено (\\d+)$");
    QVERIFY2(QTest::qWaitFor(
                     [&] {
                         const QRegularExpressionMatch m = progress.match(rig.status());
                         return m.hasMatch() && m.captured(1).toInt() >= 20
                                && m.captured(2).toInt() >= 20;
                     },
                     3000),
             qPrintable(rig.status()));

    const int r = rig.row(12);
    QCOMPARE(rig.cell(r, BusTableModel::BaudColumn), QString("19200"));
    QCOMPARE(rig.cell(r, BusTableModel::DeviceColumn), QString("zemo220"));
    QCOMPARE(rig.cell(r, BusTableModel::FirmwareColumn), QString("1.2.5"));
    QCOMPARE(rig.cell(r, BusTableModel::SupportedColumn), QString("да"));
    QVERIFY(rig.cell(r, BusTableModel::AnswerColumn).toInt() >= 0);

    QVERIFY(QTest::qWaitFor([&] { return rig.row(30) >= 0; }, 5000));
    rig.press("busScanButton");
    QTRY_COMPARE_WITH_TIMEOUT(rig.w().globalState(), 0, 3000);
    QVERIFY(!rig.w().deviceInterface()->isPortOpen());
    QTRY_VERIFY_WITH_TIMEOUT(rig.runText().startsWith("Поиск остановлен"), 2000);
    QCOMPARE(rig.rows(), 30);
    QCOMPARE(rig.runText(), QString("Поиск остановлен, найдено считывателей: 30"));
    QCOMPARE(rig.status(), QString("Соединения закрыты"));
    QCOMPARE(rig.get<QPushButton>("busScanButton")->text(), QString("Поиск"));
    QCOMPARE(comboItems(rig.get<QComboBox>("rs485_selAddr")).size(), 30);
    // The page stays the bus page, its entry chosen.
    QCOMPARE(rig.get<QListWidget>("terminalMenu")->currentRow(), 2);
    QVERIFY(rig.get("busWatchButton")->isEnabled());
    QVERIFY(rig.get("busExportButton")->isEnabled());

    // The search of the tool column is the same scan: it starts the table afresh.
    // (After a stop the line stays quiet a moment before the next scan's first probe.)
    rig.press("findDevsButton");
    QCOMPARE(rig.rows(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(rig.w().globalState(), 1, 1000);
    QVERIFY(QTest::qWaitFor([&] { return rig.row(3) >= 0; }, 5000));
    rig.press("findDevsButton");
    QTRY_COMPARE_WITH_TIMEOUT(rig.w().globalState(), 0, 3000);
    QVERIFY(rig.rows() >= 3);
}

void TestBusPage::exportTable_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("format"); // "csv", "json", or "fails"
    QTest::newRow("csv") << "bus.csv"
                         << "csv";
    QTest::newRow("json") << "bus.json"
                          << "json";
    QTest::newRow("no extension: csv") << "bus"
                                       << "csv";
    QTest::newRow("folder missing") << "missing/bus.csv"
                                    << "fails";
}

void TestBusPage::exportTable()
{
    QFETCH(QString, fileName);
    QFETCH(QString, format);
    Rig rig;
    QVERIFY(rig.scanUpTo(6));
    const int rows = rig.rows();
    QTemporaryDir out;
    const QString path = out.filePath(fileName);
    rig.boxes.fileAnswers << path;
    rig.press("busExportButton");
    QCOMPARE(rig.boxes.fileRequests.size(), 1);
    QCOMPARE(int(rig.boxes.fileRequests.first().kind), int(FileRequest::Save));

    if (format == "fails") {
        QCOMPARE(rig.boxes.describe(),
                 "Critical Ошибка | Не удалось сохранить таблицу шины:\n" + path);
        return;
    }
    QCOMPARE(rig.boxes.describe(), QString());
    const QByteArray bytes = readTestFile(format == "csv" && !path.endsWith(".csv") ? path + ".csv"
                                                                                    : path);
    if (format == "csv") {
        const QList<QByteArray> lines = bytes.trimmed().split('\n');
        QCOMPARE(lines.size(), rows + 1);
        QVERIFY(lines.first().startsWith("address,baud,device_id,device,firmware"));
        QVERIFY2(lines.at(1).startsWith("1,19200,220,zemo220,1.3.2,yes,"), lines.at(1));
    } else {
        const QJsonArray readers = QJsonDocument::fromJson(bytes).object().value("readers").toArray();
        QCOMPARE(readers.size(), rows);
        QCOMPARE(readers.at(0).toObject().value("address").toInt(), 1);
        QCOMPARE(readers.at(0).toObject().value("device").toString(), QString("zemo220"));
    }
}

// A double-click on a row puts its address and speed into the connection panel and reads that
// reader, as the connection button does; while the watch runs, it ends the watch first.
void TestBusPage::doubleClickConnects()
{
    Rig rig;
    QVERIFY(rig.scanUpTo(14));
    rig.press("busWatchButton");
    QVERIFY(rig.w().deviceInterface()->isPortOpen());

    auto *view = rig.get<QTableView>("busTable");
    const QModelIndex index = view->model()->index(rig.row(12), BusTableModel::FirmwareColumn);
    view->scrollTo(index);
    const QPoint at = view->visualRect(index).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    QTRY_COMPARE_WITH_TIMEOUT(rig.w().globalState(), 3, 10000);
    QCOMPARE(rig.w().deviceInterface()->deviceAddress(), quint8(12));
    QCOMPARE(rig.get<QComboBox>("rs485_selAddr")->currentText(), QString("12"));
    QCOMPARE(rig.get<QComboBox>("rs485_220_speed")->currentText(), QString("19200"));
    QCOMPARE(rig.get<QLabel>("label_220_fw")->text(), QString("1.2.5"));
    QCOMPARE(rig.get<QStackedWidget>("stackedWidget")->currentIndex(), 0);
    QCOMPARE(rig.get<QPushButton>("busWatchButton")->text(), QString("Наблюдение"));
    QCOMPARE(rig.status(), QString("Соединение установлено"));
}

// Every listed reader is looked at in turn: counters and uptimes fill in, the reader with the bad
// line gathers errors and is marked, the others none; the status strip says that the port is
// the watch's, and stopping closes it.
void TestBusPage::watchCountsBadLine()
{
    QList<SimReaderSettings> readers = thirtyReaders();
    readers[16].badChecksum = true; // reader 17
    readers[16].badChecksumEvery = 2;
    Rig rig(readers);
    QVERIFY(rig.scanUpTo(30));
    QCOMPARE(rig.rows(), 30);
    auto *view = rig.get<QTableView>("busTable");
    QVERIFY(view->isColumnHidden(BusTableModel::CounterColumn));

    rig.press("busWatchButton");
    QVERIFY(!view->isColumnHidden(BusTableModel::CounterColumn));
    QVERIFY(rig.w().deviceInterface()->isPortOpen());
    QCOMPARE(rig.w().globalState(), 0);
    QVERIFY2(rig.status().startsWith("Наблюдение за шиной: считывателей 30"),
             qPrintable(rig.status()));
    QVERIFY(rig.get("busScanButton")->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(rig.runText().contains("кругов 2"), 20000);

    for (int r = 0; r < rig.rows(); ++r) {
        const int address = rig.cell(r, BusTableModel::AddressColumn).toInt();
        const QString errors = rig.cell(r, BusTableModel::ErrorsColumn);
        const bool suspect = rig.table()->index(r, 0).data(BusTableModel::LineSuspectRole).toBool();
        if (address == 17) {
            QVERIFY2(errors.toInt() >= 2, qPrintable(errors));
            QVERIFY(suspect);
            continue;
        }
        QCOMPARE(errors, QString("0"));
        QVERIFY(!suspect);
        // The counter runs from address × 100 upwards.
        const int counter = rig.cell(r, BusTableModel::CounterColumn).toInt();
        QVERIFY2(counter >= address * 100 && counter < address * 100 + 100,
                 qPrintable(QString("%1: %2").arg(address).arg(counter)));
        QVERIFY(!rig.cell(r, BusTableModel::UptimeColumn).isEmpty());
        QVERIFY(rig.cell(r, BusTableModel::LastAnswerColumn).toInt() >= 0);
    }
    QVERIFY2(rig.status().endsWith("с ошибками 1"), qPrintable(rig.status()));
    // One request on the bus at a time.
    QCOMPARE(rig.onBus([&] { return rig.bus.overlappingRequests(); }), 0);

    rig.press("busWatchButton");
    QVERIFY(!rig.w().deviceInterface()->isPortOpen());
    QCOMPARE(rig.w().globalState(), 0);
    QCOMPARE(rig.status(), QString("Соединения закрыты"));
    QVERIFY(rig.runText().startsWith("Наблюдение остановлено"));
    // The figures stay in the table.
    QVERIFY(!rig.cell(0, BusTableModel::CounterColumn).isEmpty());

    // A scan ends a watch and starts the table afresh.
    rig.press("busWatchButton");
    QVERIFY(rig.w().deviceInterface()->isPortOpen());
    rig.press("busScanButton");
    QTRY_COMPARE_WITH_TIMEOUT(rig.w().globalState(), 1, 2000);
    QCOMPARE(rig.get<QPushButton>("busWatchButton")->text(), QString("Наблюдение"));
    rig.press("busScanButton");
    QTRY_COMPARE_WITH_TIMEOUT(rig.w().globalState(), 0, 3000);
}

// The converter of the port the watch opened for itself is pulled: the watch stops and the
// connections are closed, with no session waiting for the converter (the walk of random
// sessions found the window showing one, seed 1719923298), and none opens when it is back.
void TestBusPage::watchConverterPulled()
{
    Rig rig({simReader(1), simReader(2)});
    QVERIFY(rig.scanUpTo(2));
    rig.press("busWatchButton");
    QVERIFY(rig.w().deviceInterface()->isPortOpen());
    QTRY_VERIFY_WITH_TIMEOUT(rig.runText().contains("кругов 1"), 5000);

    rig.onBus([&] { rig.bus.close(); });
    auto *watch = rig.get<QPushButton>("busWatchButton");
    QTRY_COMPARE_WITH_TIMEOUT(watch->text(), QString("Наблюдение"), 3000);
    QTRY_COMPARE_WITH_TIMEOUT(rig.w().deviceInterface()->connection(),
                              DeviceInterface::Connection::Closed, 3000);
    QCOMPARE(rig.w().globalState(), 0);
    QCOMPARE(rig.status(), QString("Соединения закрыты"));
    QVERIFY(rig.get("findDevsButton")->isEnabled());
    QVERIFY(rig.get("busScanButton")->isEnabled());

    QVERIFY(rig.onBus([&] { return rig.bus.open(rig.bus.devicePath()); }));
    MainWindowTestAccess::notifyDeviceChange(rig.w());
    QTest::qWait(3 * DeviceInterface::PortReturnCheckMs);
    QCOMPARE(rig.w().deviceInterface()->connection(), DeviceInterface::Connection::Closed);
    QVERIFY(!rig.w().deviceInterface()->isPortOpen());
}

// With a reader connected the watch shares the bus with the status reads: both go on, one
// request at a time, and the session stays the reader's.
void TestBusPage::watchBesideSession()
{
    Rig rig;
    QVERIFY(rig.scanUpTo(5));
    rig.get<QComboBox>("rs485_selAddr")->setCurrentText("2");
    rig.press("rs485_Button");
    QTRY_COMPARE_WITH_TIMEOUT(rig.w().globalState(), 3, 10000);
    rig.showBusPage();
    QVERIFY(rig.get("busWatchButton")->isEnabled());
    rig.press("busWatchButton");
    QCOMPARE(rig.get<QPushButton>("busWatchButton")->text(), QString("Стоп наблюдения"));
    QTRY_VERIFY_WITH_TIMEOUT(rig.runText().contains("кругов 2"), 10000);
    QCOMPARE(rig.status(), QString("Соединение установлено"));
    // Back on the form the status reads go on beside the watch.
    rig.get<QListWidget>("terminalMenu")->setCurrentRow(0);
    rig.w().itemSelected(rig.get<QListWidget>("terminalMenu")->model()->index(0, 0));
    rig.onBus([&] { rig.bus.clearRequests(); });
    QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                const QList<QByteArray> requests = rig.onBus([&] { return rig.bus.requests(); });
                int toReader = 0;
                for (const QByteArray &frame : requests)
                    toReader += quint8(frame.at(0)) == 2 ? 1 : 0;
                return toReader >= 4 && requests.size() > toReader;
            }(),
            5000);
    QCOMPARE(rig.w().deviceInterface()->deviceAddress(), quint8(2));
    QCOMPARE(rig.onBus([&] { return rig.bus.overlappingRequests(); }), 0);
    // The watch did not open the port: stopping it leaves the session.
    rig.showBusPage();
    rig.press("busWatchButton");
    QVERIFY(rig.w().deviceInterface()->isPortOpen());
    QCOMPARE(rig.w().globalState(), 3);
}

// The run started from the page on the readers selected in the table: while it drives the link
// the window stands aside (no state of its own, no reboot box, no status reads, no session
// controls) and says what the run does; at the end it is closed again, the reports are in the
// data folder and the PDF is offered for opening.
void TestBusPage::commissionFromPage()
{
    Rig rig;
    QVERIFY(rig.scanUpTo(4));
    rig.select({2, 4});
    QVERIFY(rig.get("commissionButton")->isEnabled());
    auto *form = rig.openCommission(" <rs485_addr_220 param=\"5\"/>\n"
                                    " <gen_stat_220 param=\"1\"/>\n"
                                    " <pull_up_220 param=\"1\"/>\n"
                                    " <gen_mode_220 param=\"2\"/>\n");
    QVERIFY(form);
    QVERIFY(child<QRadioButton>(form, "targetsSelectedRadio")->isChecked());
    QCOMPARE(child<QRadioButton>(form, "targetsSelectedRadio")->text(),
             QString("Выбранные в таблице: 2"));
    // A template that is not there: the dialog stays, with the reason.
    child<QLineEdit>(form, "templateFileEdit")->setText(rig.dir.filePath("none.xml"));
    QTest::mouseClick(child<QPushButton>(form, "startCommissionButton"), Qt::LeftButton);
    QVERIFY(!child<QLabel>(form, "commissionErrorLabel")->text().isEmpty());
    QVERIFY(!rig.w().deviceInterface()->isPortOpen());

    child<QLineEdit>(form, "templateFileEdit")->setText(rig.templatePath);
    child<QLineEdit>(form, "noteEdit")->setText("щит 2");
    QList<int> states;
    connect(rig.w().deviceInterface(), &DeviceInterface::changeDeviceStatus, this,
            [&](int code) { states << code; });
    rig.boxes.answers << Prompt::Yes;
    rig.startCommission(form);
    QVERIFY(!rig.w().findChild<CommissionForm *>());

    // While it runs: the run's state codes come, the window's state stays, the strip says what
    // the run does and nothing that would reach the link can be used but the run's own button.
    QStringList shown;
    QStringList runTexts;
    QStringList violations;
    const bool ended = QTest::qWaitFor(
            [&] {
                const QString status = rig.status();
                if (rig.get<QPushButton>("commissionButton")->text() != "Завершить")
                    return true;
                if (!shown.contains(status))
                    shown << status;
                if (!runTexts.contains(rig.runText()))
                    runTexts << rig.runText();
                if (rig.w().globalState() != 0)
                    violations << "state " + QString::number(rig.w().globalState());
                for (const char *name :
                     {"rs485_Button", "findDevsButton", "writeConfigButton", "restartButton",
                      "busScanButton", "busWatchButton", "sendCommand", "cmdLine"})
                    if (rig.get(name)->isEnabled())
                        violations << QString(name) + " on";
                if (MainWindowTestAccess::statusTimer(rig.w())->isActive())
                    violations << "status timer";
                return false;
            },
            30000);
    QVERIFY(ended);
    violations.removeDuplicates();
    QVERIFY2(violations.isEmpty(), qPrintable(violations.join(", ")));
    // The console types to the window's own session again.
    QVERIFY(rig.get("sendCommand")->isEnabled());
    QVERIFY2(states.contains(4) && states.contains(5) && states.contains(7),
             qPrintable(QString::number(states.size())));
    QVERIFY2(shown.contains("Ввод в работу: считыватель 2, запись настроек"),
             qPrintable(shown.join(" / ")));
    QVERIFY2(std::any_of(shown.cbegin(), shown.cend(),
                         [](const QString &s) {
                             return s.startsWith("Ввод в работу: считыватель 4, ");
                         }),
             qPrintable(shown.join(" / ")));

    // The page counts the readers as they are done.
    QVERIFY2(runTexts.contains("Считыватель 2: проверен. обслужено 1 из 2, проверено 1"),
             qPrintable(runTexts.join(" / ")));
    for (int address : {2, 4}) {
        const SimReaderSettings s = rig.onBus(
                [&] { return rig.bus.reader(quint8(address))->settings(); });
        QCOMPARE(QString("%1 %2 %3").arg(s.genState).arg(s.pullUp).arg(s.genMode),
                 QString("1 1 2"));
    }
    // Only the question about the report was asked: no reboot box, no firmware warning.
    QCOMPARE(rig.boxes.boxes.size(), 1);
    const QString question = rig.boxes.describe();
    QVERIFY2(question.startsWith("Question Ввод в работу | Ввод в работу завершён: проверено 2 "
                                 "из 2.\nОтчёт сохранён:\n"),
             qPrintable(question));
    const QDir reports(rig.dir.filePath("reports"));
    const QStringList files = reports.entryList(QDir::Files, QDir::Name);
    QCOMPARE(files.size(), 2);
    QVERIFY(files.at(0).endsWith(".csv") && files.at(1).endsWith(".pdf"));
    QCOMPARE(rig.boxes.openedUrls,
             QList<QUrl>({QUrl::fromLocalFile(reports.filePath(files.at(1)))}));
    QVERIFY(readTestFile(reports.filePath(files.at(1))).startsWith("%PDF-"));
    QVERIFY(readTestFile(reports.filePath(files.at(0))).contains("щит 2"));

    // The window has the link back, closed.
    QVERIFY(!rig.w().deviceInterface()->isPortOpen());
    QCOMPARE(rig.w().globalState(), 0);
    QCOMPARE(rig.status(), QString("Соединения закрыты"));
    QVERIFY(rig.get("rs485_Button")->isEnabled());
    QVERIFY(rig.get("busScanButton")->isEnabled());
    QCOMPARE(rig.get<QPushButton>("commissionButton")->text(), QString("Ввод в работу"));
    QVERIFY(rig.runText().startsWith("Ввод в работу завершён: проверено 2 из 2. Отчёт: "));
}

// Address assignment from the page: new readers come one at a time at the factory address. When
// none answers there the window asks for the next one, in the status strip and on the page, with
// the run's button to end it; the reader wired then is served, and the button ends the run while
// it waits. A report not opened is left where it was saved.
void TestBusPage::commissionAssignsAddresses()
{
    Rig rig({simReader(1)});
    QVERIFY(rig.listed());
    rig.showBusPage();
    auto *form = rig.openCommission(" <gen_stat_220 param=\"1\"/>\n <gen_mode_220 param=\"2\"/>\n");
    QVERIFY(form);
    // Nothing selected and nothing in the form: new readers, from a file.
    QVERIFY(!child<QRadioButton>(form, "targetsSelectedRadio")->isEnabled());
    QVERIFY(child<QRadioButton>(form, "targetsAssignRadio")->isChecked());
    QVERIFY(!child<QRadioButton>(form, "templateFormRadio")->isEnabled());
    QVERIFY(child<QRadioButton>(form, "templateFileRadio")->isChecked());
    child<QSpinBox>(form, "firstAddressSpin")->setValue(11);
    child<QSpinBox>(form, "lastAddressSpin")->setValue(13);
    rig.boxes.answers << Prompt::No;
    rig.startCommission(form);
    QVERIFY(!rig.w().findChild<CommissionForm *>());

    auto *button = rig.get<QPushButton>("commissionButton");
    auto waitingForNext = [&] {
        return rig.status() == "Подключите следующий считыватель" && button->isEnabled()
               && button->text() == "Завершить";
    };
    QVERIFY2(QTest::qWaitFor(waitingForNext, 20000), qPrintable(rig.status()));
    // The verdict of the reader just done stays beside the request for the next one.
    QVERIFY2(rig.runText().startsWith("Считыватель 11: проверен. обслужено 1, проверено 1.\n"
                                      "Подключите следующий считыватель (адрес 1): он получит "
                                      "адрес 12."),
             qPrintable(rig.runText()));
    QCOMPARE(rig.onBus([&] { return rig.bus.readers().at(0)->settings().address; }), quint8(11));
    // The engineer wires the next reader.
    SimReader *second = rig.onBus([&] { return rig.bus.addReader(simReader(1)); });
    QVERIFY(QTest::qWaitFor([&] { return rig.runText().contains("адрес 13"); }, 20000));
    QVERIFY(waitingForNext());
    QCOMPARE(rig.onBus([&] { return second->settings().address; }), quint8(12));
    QCOMPARE(rig.boxes.boxes.size(), 0);
    // The readers served are listed at their new addresses.
    QVERIFY(rig.row(11) >= 0 && rig.row(12) >= 0);
    QCOMPARE(rig.cell(rig.row(12), BusTableModel::FirmwareColumn), QString("1.3.2"));

    rig.press("commissionButton");
    QVERIFY(QTest::qWaitFor([&] { return button->text() == "Ввод в работу"; }, 5000));
    QCOMPARE(rig.boxes.boxes.size(), 1);
    QVERIFY2(rig.boxes.describe().contains("проверено 2 из 2"), qPrintable(rig.boxes.describe()));
    QVERIFY(rig.boxes.openedUrls.isEmpty());
    const QStringList files = QDir(rig.dir.filePath("reports"))
                                      .entryList({"*.pdf", "*.csv"}, QDir::Files);
    QCOMPARE(files.size(), 2);
    QVERIFY(rig.runText().contains(files.filter(".pdf").value(0)));
    QCOMPARE(rig.status(), QString("Соединения закрыты"));
    QVERIFY(!rig.w().deviceInterface()->isPortOpen());
    QVERIFY(rig.get("busScanButton")->isEnabled());
}

// Closing the window while a run goes asks first; "No" leaves the run going. "Yes" ends it and
// the window closes, and the readers it served are in the reports all the same: the reader being
// served is not finished and those after it are not touched. No question about opening the
// report stands in the way of the closing.
void TestBusPage::closeDuringRun()
{
    Rig rig;
    QVERIFY(rig.scanUpTo(6));
    rig.select({2, 3, 4, 5, 6});
    auto *form = rig.openCommission(" <gen_stat_220 param=\"1\"/>\n");
    QVERIFY(form);
    rig.startCommission(form);
    QVERIFY(QTest::qWaitFor([&] { return rig.status().startsWith("Ввод в работу: считыватель 3"); },
                            20000));

    rig.boxes.answers << Prompt::No;
    rig.press("closeMainWindow");
    QCOMPARE(rig.boxes.boxes.size(), 1);
    QVERIFY2(rig.boxes.describe().startsWith("Question Ввод в работу | Ввод в работу не завершён."),
             qPrintable(rig.boxes.describe()));
    QVERIFY(rig.w().isVisible());
    QCOMPARE(rig.get<QPushButton>("commissionButton")->text(), QString("Завершить"));

    rig.boxes.answers << Prompt::Yes;
    rig.press("closeMainWindow");
    QVERIFY(!rig.w().isVisible());
    QCOMPARE(rig.boxes.boxes.size(), 2);
    QVERIFY(rig.boxes.openedUrls.isEmpty());
    const QDir reports(rig.dir.filePath("reports"));
    const QStringList csv = reports.entryList({"*.csv"}, QDir::Files);
    QCOMPARE(csv.size(), 1);
    QCOMPARE(reports.entryList({"*.pdf"}, QDir::Files).size(), 1);
    const QString text = QString::fromUtf8(readTestFile(reports.filePath(csv.at(0))));
    QVERIFY2(text.contains("проверен") && text.contains("не затронут"), qPrintable(text));
    QVERIFY(!rig.w().deviceInterface()->isPortOpen());
}

// The converter pulled while the run waits for the next reader: the strip says the run is
// paused, and the run's button still ends it; the window then has its closed state back.
void TestBusPage::converterPulledDuringRun()
{
    Rig rig({simReader(1)});
    QVERIFY(rig.listed());
    rig.showBusPage();
    auto *form = rig.openCommission(" <gen_stat_220 param=\"1\"/>\n");
    QVERIFY(form);
    rig.startCommission(form);
    QVERIFY2(QTest::qWaitFor([&] { return rig.status() == "Подключите следующий считыватель"; },
                             20000),
             qPrintable(rig.status()));

    rig.onBus([&] { rig.bus.close(); });
    QVERIFY2(QTest::qWaitFor(
                     [&] {
                         return rig.status()
                                == "Ввод в работу приостановлен: преобразователь отключен от ПК";
                     },
                     10000),
             qPrintable(rig.status()));
    auto *button = rig.get<QPushButton>("commissionButton");
    QVERIFY(button->isEnabled());
    QCOMPARE(button->text(), QString("Завершить"));
    QVERIFY(!rig.get("rs485_Button")->isEnabled());

    rig.press("commissionButton");
    QVERIFY(QTest::qWaitFor([&] { return button->text() == "Ввод в работу"; }, 5000));
    QCOMPARE(rig.w().deviceInterface()->connection(), DeviceInterface::Connection::Closed);
    QCOMPARE(rig.status(), QString("Соединения закрыты"));
    QVERIFY2(rig.runText().startsWith("Ввод в работу завершён: проверено 1 из 1"),
             qPrintable(rig.runText()));
    QCOMPARE(rig.onBus([&] { return rig.bus.readers().at(0)->settings().address; }), quint8(11));
}

// A run whose whole range is taken ends within its second. Reports of earlier runs of that
// second stay, and its own are numbered (the walk of random sessions found two runs of one
// second leaving one pair of reports, seed 4020014232).
void TestBusPage::reportsOfRunsInOneSecond()
{
    Rig rig({simReader(11)});
    QVERIFY(rig.listed());
    rig.showBusPage();
    const QDir reports(rig.dir.filePath("reports"));
    QVERIFY(QDir().mkpath(reports.path()));
    // Reports of runs started in each of the coming seconds.
    const QDateTime now = QDateTime::currentDateTime();
    for (int second = 0; second < 30; ++second)
        for (const char *suffix : {"csv", "pdf"})
            QVERIFY(writeTestFile(reports.filePath(
                                          CommissionReport::fileName(now.addSecs(second),
                                                                     QLatin1String(suffix))),
                                  "earlier"));
    auto *form = rig.openCommission(" <gen_stat_220 param=\"1\"/>\n");
    QVERIFY(form);
    child<QSpinBox>(form, "firstAddressSpin")->setValue(11);
    child<QSpinBox>(form, "lastAddressSpin")->setValue(11);
    rig.boxes.answers << Prompt::No;
    rig.startCommission(form);
    auto *button = rig.get<QPushButton>("commissionButton");
    QVERIFY(QTest::qWaitFor([&] { return button->text() == "Ввод в работу"; }, 10000));
    QVERIFY2(rig.runText().startsWith("Ввод в работу завершён: проверено 0 из 0, адреса заняты "
                                      "другими считывателями и пропущены: 11. Отчёт: "),
             qPrintable(rig.runText()));

    int earlier = 0;
    QStringList numbered;
    for (const QFileInfo &file : reports.entryInfoList(QDir::Files)) {
        if (readTestFile(file.filePath()) == "earlier")
            ++earlier;
        else
            numbered << file.completeBaseName().section('-', 7);
    }
    QCOMPARE(earlier, 60);
    QCOMPARE(numbered, QStringList({"2", "2"}));
    QVERIFY(rig.runText().endsWith("-2.pdf"));
}

QTEST_MAIN(TestBusPage)
#include "tst_buspage.moc"
