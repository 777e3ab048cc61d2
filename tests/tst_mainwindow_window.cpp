// The main window without a reader: the state codes, polling and hot-plug timing.
// The controls after the first port listing are the closed state's row; the reboot wait ends in
// the window sessions.
#include "mainwindowaccess.h"
#include "resources.h"

namespace {

QImage picture(const QString &colour)
{
    return QPixmap(":pict/svg/" + colour + ".svg").toImage();
}

// A window over an empty simulated bus.
struct Rig : BusWindowRig
{
    QString statusText() { return get<QLabel>("globalStatusText")->text(); }
    QImage statusPicture()
    {
        return get<QLabel>("globalStatusPict")->pixmap(Qt::ReturnByValue).toImage();
    }
};

} // namespace

class TestMainWindowWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { initZemoResources(); }
    void states_data();
    void states();
    void hotPlugTiming();
};

void TestMainWindowWindow::states_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("status"); // text and colour of the status strip
    QTest::addColumn<QString>("controls"); // +enabled -disabled
    QTest::addColumn<QString>("box"); // the box shown, if any
    auto row = [](const char *name, int code, const char *status, const char *controls,
                  const QString &box = QString()) {
        QTest::newRow(name) << code << status << controls << box;
    };
    const char *ready = "Соединение установлено green";
    const QString remote = "Warning Удаленное конфигурирование | ";

    // Every row starts in the ready state, where every control has been switched one way or
    // the other.
    row("0 closed", 0, "Соединения закрыты gray",
        "+rs485_220_speed +rs485_selAddr +remCfgButton +findDevsButton +rs485_220_port "
        "+rs485_Button +terminalMenu -writeConfigButton -saveFileButton -openFileButton "
        "-restartButton -updateFwButton -devParamsField");
    row("1 search", 1, "Поиск устройств yellow",
        "+findDevsButton -rs485_Button -restartButton -remCfgButton -openFileButton "
        "-rs485_selAddr");
    row("3 ready", 3, ready,
        "+rs485_Button +devParamsField +restartButton +saveFileButton +writeConfigButton "
        "+terminalMenu +openFileButton -rs485_selAddr");
    row("4 read", 4, "Считывание конфигурации yellow",
        "+rs485_Button -remCfgButton -rs485_selAddr -rs485_220_port -rs485_220_speed "
        "-findDevsButton -restartButton -saveFileButton -terminalMenu -updateFwButton");
    row("5 write", 5, "Запись конфигурации yellow",
        "-remCfgButton -openFileButton -rs485_Button -restartButton -terminalMenu "
        "-updateFwButton -writeConfigButton -saveFileButton");
    row("6 silent", 6, "Модуль не отвечает red", "+terminalMenu +restartButton");
    row("7 reboot", 7, ready, "-updateFwButton",
        "Information Перезагрузка | Устройство перезагружается...");
    row("15 update", 15, "Загрузка обновления yellow",
        "-rs485_Button -restartButton -saveFileButton -terminalMenu -writeConfigButton "
        "-updateFwButton -openFileButton -findDevsButton -remCfgButton -rs485_220_port "
        "-rs485_220_speed -rs485_selAddr");
    // Codes without a row of their own are only recorded; 12 goes back to the ready state.
    row("2 unlisted", 2, ready, "+writeConfigButton");
    row("12 bad update file", 12, ready, "+writeConfigButton",
        "Critical Чтение файла | Файл обновления нарушен");
    row("16", 16, ready, "", remote + "Терминал не подключен к серверу!");
    row("17", 17, ready, "", remote + "Ошибка обмена данными с устройством!");
    row("18", 18, ready, "", remote + "Терминал уже конфигурируется!");
    row("19", 19, ready, "",
        "Critical Удаленное конфигурирование | Ошибка обмена данными с сервером "
        "конфигурирования!");
}

void TestMainWindowWindow::states()
{
    QFETCH(int, code);
    QFETCH(QString, status);
    QFETCH(QString, controls);
    QFETCH(QString, box);
    Rig rig;
    QVERIFY(rig.listed());
    rig.w().setGlobalState(3);
    rig.w().setGlobalState(code);
    QCOMPARE(rig.w().globalState(), code == 12 ? 3 : code);
    QCOMPARE(rig.statusText() + ' ' + status.section(' ', -1), status);
    QCOMPARE(rig.statusPicture(), picture(status.section(' ', -1)));
    for (const QString &control : controls.split(' ', Qt::SkipEmptyParts))
        QVERIFY2(rig.get(control.mid(1))->isEnabled() == control.startsWith('+'),
                 qPrintable(control));
    QCOMPARE(rig.boxes.describe(), box);
    if (!box.isEmpty())
        QCOMPARE(rig.boxes.boxes.at(0).parent, &rig.w());
}

void TestMainWindowWindow::hotPlugTiming()
{
    Rig rig;
    QVERIFY(rig.listed());
    MainWindow &w = rig.w();
    QTimer *portTimer = MainWindowTestAccess::portTimer(w);
    QTimer *status = MainWindowTestAccess::statusTimer(w);
    auto notice = [&w, portTimer] {
        MainWindowTestAccess::notifyDeviceChange(w);
        return armed(portTimer);
    };

    // Closed state: the first notice waits 1.5 s, later ones pull the listing in to 300 ms.
    QCOMPARE(armed(portTimer), QString("off"));
    QCOMPARE(notice(), QString("1500"));
    QCOMPARE(notice(), QString("300"));
    portTimer->stop();

    // Ready: polling stops and the ports are listed again after 300 ms.
    w.setGlobalState(3);
    QCOMPARE(armed(status), QString("300"));
    QCOMPARE(notice(), QString("300"));
    QCOMPARE(armed(status), QString("off"));
    portTimer->stop();

    // Busy reading, writing or updating: nothing happens.
    for (int busy : {4, 5, 15}) {
        w.setGlobalState(busy);
        QVERIFY2(notice() == "off", qPrintable(QString::number(busy)));
    }
    // A reader that stopped answering frees the link again; the listing closes the connections.
    w.setGlobalState(6);
    QCOMPARE(notice(), QString("300"));
    QTRY_COMPARE_WITH_TIMEOUT(w.globalState(), 0, 3000);
}

QTEST_MAIN(TestMainWindowWindow)
#include "tst_mainwindow_window.moc"
