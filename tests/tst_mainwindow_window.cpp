// The main window without a reader: construction, validators, the state codes, page switching,
// the drag handle, hot-plug timing and the resources.
#include "mainwindowaccess.h"
#include "net.h"
#include "resources.h"
#include "simbus.h"
#include "testsupport.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QStackedWidget>
#include <QTextEdit>
#include <QValidator>
#include <QtTest>

#include <memory>

namespace {

QImage picture(const QString &resource)
{
    return QPixmap(resource).toImage();
}

// A window over a temporary program folder and an empty simulated bus offered as a port.
struct Rig
{
    explicit Rig(bool polling = true)
    {
        if (!polling) {
            QSettings raw(dir.filePath("settings.conf"), QSettings::IniFormat);
            raw.setValue("Survey/Status", false);
        }
        bus.open();
        qputenv("ZEMO_EXTRA_PORTS", bus.devicePath().toLocal8Bit());
        window.reset(new MainWindow(nullptr, "ru_RU"));
    }
    MainWindow &w() { return *window; }
    QWidget *widget(const QString &name) { return child<QWidget>(window.get(), name); }
    QString statusText() { return child<QLabel>(window.get(), "globalStatusText")->text(); }
    QImage statusPicture()
    {
        return child<QLabel>(window.get(), "globalStatusPict")->pixmap(Qt::ReturnByValue).toImage();
    }
    // Waits for the first port listing, which closes the connections (state 0).
    bool listed()
    {
        auto *ports = child<QComboBox>(window.get(), "rs485_220_port");
        return QTest::qWaitFor([&] { return ports->findText(bus.devicePath()) >= 0; }, 3000);
    }

    TempProgramDir dir {true};
    BoxRecorder boxes;
    SimBus bus;
    std::unique_ptr<MainWindow> window;
};

} // namespace

class TestMainWindowWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void construction();
    void addressValidator_data();
    void addressValidator();
    void stateDisplay_data();
    void stateDisplay();
    void stateBoxes_data();
    void stateBoxes();
    void unlistedCodesOnlyRecorded_data();
    void unlistedCodesOnlyRecorded();
    void rebootBox();
    void pollingFollowsPage();
    void pollingSwitchedOffInSettings();
    void waitEndReadStatusEndsWithTheRead();
    void pageSwitchingLayout();
    void consoleRowNeedsShortcut();
    void dragHandle();
    void hotPlugTiming();
    void resources();
};

void TestMainWindowWindow::initTestCase()
{
    initZemoResources();
}

void TestMainWindowWindow::construction()
{
    Rig rig;
    MainWindow &w = rig.w();
    QVERIFY(!w.startupFailed());
    QCOMPARE(w.size(), QSize(800, 500));
    QVERIFY(w.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(w.windowTitle(), QString("Конфигуратор"));
    QCOMPARE(w.findChildren<Net *>().size(), 1);

    for (const char *name : {"remCfgButton", "saveFileButton", "rs485_Button", "writeConfigButton",
                             "restartButton", "updateFwButton"})
        QVERIFY2(!rig.widget(name)->isEnabled(), name);
    QVERIFY(rig.widget("updateFwButton")->isHidden());
    auto *menu = child<QListWidget>(&w, "terminalMenu");
    QCOMPARE(menu->count(), 2);
    QVERIFY(!menu->isRowHidden(0));
    QVERIFY(menu->isRowHidden(1));
    QCOMPARE(child<QStackedWidget>(&w, "stackedWidget")->currentWidget()->objectName(),
             QString("page_220_stat"));
    QCOMPARE(rig.statusText(), QString("Порт закрыт"));
    QCOMPARE(rig.statusPicture(), picture(":pict/svg/gray.svg"));
    QCOMPARE(child<QProgressBar>(&w, "progressBar")->maximum(), 1000);
    for (const char *name : {"label_220_fw", "label_220_rt", "label_220_count"})
        QCOMPARE(child<QLabel>(&w, name)->text(), QString("-"));

    // The ports are listed 100 ms after construction, not during it.
    QCOMPARE(child<QComboBox>(&w, "rs485_220_port")->count(), 0);
    QTimer *portTimer = MainWindowTestAccess::portTimer(w);
    QVERIFY(portTimer->isActive());
    QVERIFY(portTimer->isSingleShot());
    QCOMPARE(portTimer->interval(), 100);
    QVERIFY(rig.listed());
    QCOMPARE(w.globalState(), 0);
    QCOMPARE(rig.statusText(), QString("Соединения закрыты"));
    QCOMPARE(child<QComboBox>(&w, "rs485_220_speed")->currentText(), QString("19200"));
    QCOMPARE(child<QComboBox>(&w, "rs485_selAddr")->currentText(), QString("1"));
    QVERIFY(rig.widget("rs485_Button")->isEnabled());
}

void TestMainWindowWindow::addressValidator_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("1") << "1" << true;
    QTest::newRow("99") << "99" << true;
    QTest::newRow("254") << "254" << true;
    QTest::newRow("0") << "0" << false;
    QTest::newRow("255") << "255" << false;
    QTest::newRow("leading zero") << "01" << false;
    QTest::newRow("300") << "300" << false;
    QTest::newRow("letters") << "1a" << false;
}

void TestMainWindowWindow::addressValidator()
{
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    Rig rig;
    const QValidator *fields[] = {child<QLineEdit>(&rig.w(), "setAddrLine")->validator(),
                                  child<QComboBox>(&rig.w(), "rs485_selAddr")->validator()};
    QCOMPARE(child<QLineEdit>(&rig.w(), "setAddrLine")->maxLength(), 3);
    for (const QValidator *validator : fields) {
        QVERIFY(validator);
        int pos = 0;
        QString input = text;
        QCOMPARE(validator->validate(input, pos) == QValidator::Acceptable, accepted);
    }
}

void TestMainWindowWindow::stateDisplay_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pict");
    QTest::addColumn<QStringList>("enabled");
    QTest::addColumn<QStringList>("disabled");

    QTest::newRow("0 closed") << 0 << "Соединения закрыты"
                              << ":pict/svg/gray.svg"
                              << QStringList {"rs485_220_speed", "rs485_selAddr",  "remCfgButton",
                                              "findDevsButton",  "rs485_220_port", "rs485_Button",
                                              "terminalMenu"}
                              << QStringList {"writeConfigButton", "saveFileButton",
                                              "openFileButton",    "restartButton",
                                              "updateFwButton",    "devParamsField"};
    QTest::newRow("1 search") << 1 << "Поиск устройств"
                              << ":pict/svg/yellow.svg" << QStringList {"findDevsButton"}
                              << QStringList {"rs485_Button", "restartButton", "remCfgButton",
                                              "openFileButton", "rs485_selAddr"};
    QTest::newRow("3 ready") << 3 << "Соединение установлено"
                             << ":pict/svg/green.svg"
                             << QStringList {"rs485_Button",   "devParamsField",    "restartButton",
                                             "saveFileButton", "writeConfigButton", "terminalMenu",
                                             "openFileButton"}
                             << QStringList {"rs485_selAddr"};
    QTest::newRow("4 read") << 4 << "Считывание конфигурации"
                            << ":pict/svg/yellow.svg" << QStringList {"rs485_Button"}
                            << QStringList {"remCfgButton",    "rs485_selAddr",  "rs485_220_port",
                                            "rs485_220_speed", "findDevsButton", "restartButton",
                                            "saveFileButton",  "terminalMenu",   "updateFwButton"};
    QTest::newRow("5 write") << 5 << "Запись конфигурации"
                             << ":pict/svg/yellow.svg" << QStringList {}
                             << QStringList {"remCfgButton",      "openFileButton",
                                             "rs485_Button",      "restartButton",
                                             "terminalMenu",      "updateFwButton",
                                             "writeConfigButton", "saveFileButton"};
    QTest::newRow("6 silent") << 6 << "Модуль не отвечает"
                              << ":pict/svg/red.svg"
                              << QStringList {"terminalMenu", "restartButton"} << QStringList {};
    QTest::newRow("15 update") << 15 << "Загрузка обновления"
                               << ":pict/svg/yellow.svg" << QStringList {}
                               << QStringList {"rs485_Button",      "restartButton",
                                               "saveFileButton",    "terminalMenu",
                                               "writeConfigButton", "updateFwButton"};
}

void TestMainWindowWindow::stateDisplay()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    QFETCH(QString, pict);
    QFETCH(QStringList, enabled);
    QFETCH(QStringList, disabled);
    Rig rig;
    QVERIFY(rig.listed());
    // From the ready state every control has been switched one way or the other.
    rig.w().setGlobalState(3);
    rig.w().setGlobalState(code);
    QCOMPARE(rig.w().globalState(), code);
    QCOMPARE(rig.statusText(), text);
    QCOMPARE(rig.statusPicture(), picture(pict));
    for (const QString &name : enabled)
        QVERIFY2(rig.widget(name)->isEnabled(), qPrintable(name));
    for (const QString &name : disabled)
        QVERIFY2(!rig.widget(name)->isEnabled(), qPrintable(name));
    QCOMPARE(rig.boxes.boxes.size(), 0);
}

void TestMainWindowWindow::stateBoxes_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("stateAfter");
    QTest::newRow("12 bad update file") << 12 << int(QMessageBox::Critical) << "Чтение файла"
                                        << "Файл обновления нарушен" << 3;
    QTest::newRow("16") << 16 << int(QMessageBox::Warning) << "Удаленное конфигурирование"
                        << "Терминал не подключен к серверу!" << 16;
    QTest::newRow("17") << 17 << int(QMessageBox::Warning) << "Удаленное конфигурирование"
                        << "Ошибка обмена данными с устройством!" << 17;
    QTest::newRow("18") << 18 << int(QMessageBox::Warning) << "Удаленное конфигурирование"
                        << "Терминал уже конфигурируется!" << 18;
    QTest::newRow("19") << 19 << int(QMessageBox::Critical) << "Удаленное конфигурирование"
                        << "Ошибка обмена данными с сервером конфигурирования!" << 19;
}

void TestMainWindowWindow::stateBoxes()
{
    QFETCH(int, code);
    QFETCH(int, icon);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(int, stateAfter);
    Rig rig;
    QVERIFY(rig.listed());
    rig.w().setGlobalState(code);
    QCOMPARE(rig.boxes.boxes.size(), 1);
    const MessageRequest &box = rig.boxes.boxes.at(0);
    QCOMPARE(int(box.icon), icon);
    QCOMPARE(box.title, title);
    QCOMPARE(box.text, text);
    QCOMPARE(box.parent, &rig.w());
    QCOMPARE(rig.w().globalState(), stateAfter);
    if (code != 12)
        QCOMPARE(rig.statusText(), QString("Соединения закрыты"));
}

void TestMainWindowWindow::unlistedCodesOnlyRecorded_data()
{
    QTest::addColumn<int>("code");
    QTest::newRow("2") << 2;
    QTest::newRow("21") << 21;
}

void TestMainWindowWindow::unlistedCodesOnlyRecorded()
{
    QFETCH(int, code);
    Rig rig;
    QVERIFY(rig.listed());
    rig.w().setGlobalState(3);
    rig.w().setGlobalState(code);
    QCOMPARE(rig.w().globalState(), code);
    QCOMPARE(rig.statusText(), QString("Соединение установлено"));
    QCOMPARE(rig.statusPicture(), picture(":pict/svg/green.svg"));
    QVERIFY(rig.widget("writeConfigButton")->isEnabled());
    QCOMPARE(rig.boxes.boxes.size(), 0);
}

void TestMainWindowWindow::rebootBox()
{
    Rig rig;
    QVERIFY(rig.listed());
    MainWindow &w = rig.w();
    w.setGlobalState(3);
    w.setGlobalState(7);
    QCOMPARE(rig.boxes.boxes.size(), 1);
    QCOMPARE(rig.boxes.boxes.at(0).icon, QMessageBox::Information);
    QCOMPARE(rig.boxes.boxes.at(0).title, QString("Перезагрузка"));
    QCOMPARE(rig.boxes.boxes.at(0).text, QString("Устройство перезагружается..."));
    QCOMPARE(rig.boxes.boxes.at(0).autoCloseMs, 1000);
    QVERIFY(MainWindowTestAccess::rebootTimer(w)->isActive());
    QCOMPARE(MainWindowTestAccess::rebootTimer(w)->interval(), 10000);
    QVERIFY(!rig.widget("updateFwButton")->isEnabled());
    // The ready state ends the reboot wait.
    w.setGlobalState(3);
    QVERIFY(!MainWindowTestAccess::rebootTimer(w)->isActive());

    // After a firmware upload the box says so, once.
    MainWindowTestAccess::setFwUpdateInProgress(w, true);
    w.setGlobalState(7);
    w.setGlobalState(7);
    QCOMPARE(rig.boxes.boxes.size(), 3);
    QCOMPARE(rig.boxes.boxes.at(1).text, QString("Обновление прошивки..."));
    QCOMPARE(rig.boxes.boxes.at(2).text, QString("Устройство перезагружается..."));
}

void TestMainWindowWindow::pollingFollowsPage()
{
    Rig rig;
    QVERIFY(rig.listed());
    MainWindow &w = rig.w();
    QTimer *status = MainWindowTestAccess::statusTimer(w);
    auto *menu = child<QListWidget>(&w, "terminalMenu");
    QSignalSpy polls(&w, &MainWindow::startPoll);

    w.setGlobalState(3);
    QVERIFY(status->isActive());
    QCOMPARE(status->interval(), 300);
    // One tick, one poll. Nothing has been read, so the reader's command list is empty: the
    // poll cycle ends at once in the ready state, which arms the timer for the next tick.
    QVERIFY(polls.wait(2000));
    QCOMPARE(polls.size(), 1);
    QVERIFY(status->isActive());

    w.hotkeysCtrlAltC();
    w.itemSelected(menu->model()->index(1, 0));
    QVERIFY(!status->isActive());
    w.setGlobalState(3);
    QVERIFY(!status->isActive());
    w.itemSelected(menu->model()->index(0, 0));
    QVERIFY(status->isActive());
}

void TestMainWindowWindow::pollingSwitchedOffInSettings()
{
    Rig rig(false);
    QVERIFY(rig.listed());
    QSignalSpy polls(&rig.w(), &MainWindow::startPoll);
    rig.w().setGlobalState(3);
    QVERIFY(!MainWindowTestAccess::statusTimer(rig.w())->isActive());
    QTest::qWait(700);
    QCOMPARE(polls.size(), 0);
}

void TestMainWindowWindow::waitEndReadStatusEndsWithTheRead()
{
    Rig rig;
    QVERIFY(rig.listed());
    MainWindow &w = rig.w();
    LogCapture log;

    // In the ready or closed state there is nothing to wait for.
    w.setGlobalState(3);
    w.waitEndReadStatus();
    QVERIFY(!MainWindowTestAccess::statusTimer(w)->isActive());
    QVERIFY(!log.contains("Wait end read status..."));

    // A read under way: the wait ends when the ready state comes, not after 20 s.
    w.setGlobalState(4);
    QTimer::singleShot(200, &w, [&w] { w.setGlobalState(3); });
    QElapsedTimer clock;
    clock.start();
    w.waitEndReadStatus();
    QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(log.contains("Wait end read status..."));
    QCOMPARE(w.globalState(), 3);
    // The ready state reached while waiting does not restart polling behind the waiter.
    QVERIFY(!MainWindowTestAccess::statusTimer(w)->isActive());
}

void TestMainWindowWindow::pageSwitchingLayout()
{
    Rig rig;
    MainWindow &w = rig.w();
    auto *menu = child<QListWidget>(&w, "terminalMenu");
    QWidget *stack = rig.widget("stackedWidget");
    QWidget *edit = rig.widget("terminalEdit");
    QWidget *cmdLine = rig.widget("cmdLine");
    const QRect stackNormal = stack->geometry();
    const QRect editNormal = edit->geometry();
    const QRect cmdNormal = cmdLine->geometry();

    w.hotkeysCtrlAltC();
    for (int twice = 0; twice < 2; ++twice) {
        w.itemSelected(menu->model()->index(1, 0));
        QCOMPARE(child<QStackedWidget>(&w, "stackedWidget")->currentWidget()->objectName(),
                 QString("terminalPage"));
        QVERIFY(rig.widget("deviceStatus")->isHidden());
        QVERIFY(rig.widget("line")->isHidden());
        QCOMPARE(stack->geometry(), stackNormal.adjusted(0, -122, 0, 0));
        QCOMPARE(edit->geometry(), editNormal.adjusted(0, 0, 0, 122));
        QCOMPARE(cmdLine->geometry(), cmdNormal.translated(0, 122));
        QCOMPARE(stack->y(), 70);
    }
    for (int twice = 0; twice < 2; ++twice) {
        w.itemSelected(menu->model()->index(0, 0));
        QVERIFY(!rig.widget("deviceStatus")->isHidden());
        QVERIFY(!rig.widget("line")->isHidden());
        QCOMPARE(stack->geometry(), stackNormal);
        QCOMPARE(edit->geometry(), editNormal);
        QCOMPARE(cmdLine->geometry(), cmdNormal);
    }
}

void TestMainWindowWindow::consoleRowNeedsShortcut()
{
    Rig rig;
    QVERIFY(rig.listed());
    MainWindow &w = rig.w();
    auto *menu = child<QListWidget>(&w, "terminalMenu");
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QVERIFY(menu->isRowHidden(1));
    QTest::keyClick(&w, Qt::Key_C, Qt::ControlModifier | Qt::AltModifier);
    QVERIFY(!menu->isRowHidden(1));
    // Every disconnection hides it again.
    w.setGlobalState(0);
    QVERIFY(menu->isRowHidden(1));
}

void TestMainWindowWindow::dragHandle()
{
    Rig rig;
    MainWindow &w = rig.w();
    w.move(100, 100);
    auto mouse = [&w](QEvent::Type type, QPoint pos, Qt::MouseButton button) {
        QMouseEvent event(type, pos, w.mapToGlobal(pos), button,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : button,
                          Qt::NoModifier);
        QApplication::sendEvent(&w, &event);
    };

    // Pressed in the title area: the window follows the cursor.
    mouse(QEvent::MouseButtonPress, QPoint(300, 20), Qt::LeftButton);
    mouse(QEvent::MouseMove, QPoint(330, 30), Qt::LeftButton);
    QCOMPARE(w.pos(), QPoint(130, 110));
    mouse(QEvent::MouseButtonRelease, QPoint(330, 30), Qt::LeftButton);

    // Pressed below the handle: no move, and no drag until the left button is released.
    mouse(QEvent::MouseButtonPress, QPoint(300, 64), Qt::LeftButton);
    mouse(QEvent::MouseMove, QPoint(320, 20), Qt::LeftButton);
    QCOMPARE(w.pos(), QPoint(130, 110));
    mouse(QEvent::MouseButtonPress, QPoint(300, 20), Qt::LeftButton);
    mouse(QEvent::MouseMove, QPoint(320, 20), Qt::LeftButton);
    QCOMPARE(w.pos(), QPoint(130, 110));
    mouse(QEvent::MouseButtonRelease, QPoint(320, 20), Qt::LeftButton);
    mouse(QEvent::MouseButtonPress, QPoint(300, 20), Qt::LeftButton);
    mouse(QEvent::MouseMove, QPoint(310, 25), Qt::LeftButton);
    QCOMPARE(w.pos(), QPoint(140, 115));
}

void TestMainWindowWindow::hotPlugTiming()
{
    Rig rig;
    QVERIFY(rig.listed());
    MainWindow &w = rig.w();
    QTimer *portTimer = MainWindowTestAccess::portTimer(w);
    QTimer *status = MainWindowTestAccess::statusTimer(w);
    QVERIFY(!portTimer->isActive());

    // Closed state: the first notice waits 1.5 s, later ones pull the listing in to 300 ms.
    MainWindowTestAccess::notifyDeviceChange(w);
    QVERIFY(portTimer->isActive());
    QCOMPARE(portTimer->interval(), 1500);
    MainWindowTestAccess::notifyDeviceChange(w);
    QCOMPARE(portTimer->interval(), 300);
    portTimer->stop();

    // Ready: polling stops and the ports are listed again after 300 ms.
    w.setGlobalState(3);
    QVERIFY(status->isActive());
    MainWindowTestAccess::notifyDeviceChange(w);
    QVERIFY(!status->isActive());
    QVERIFY(portTimer->isActive());
    QCOMPARE(portTimer->interval(), 300);
    portTimer->stop();

    // Busy reading, writing or updating: nothing happens.
    for (int busy : {4, 5, 15}) {
        w.setGlobalState(busy);
        MainWindowTestAccess::notifyDeviceChange(w);
        QVERIFY2(!portTimer->isActive(), qPrintable(QString::number(busy)));
    }
    // A reader that stopped answering frees the link again.
    w.setGlobalState(6);
    MainWindowTestAccess::notifyDeviceChange(w);
    QVERIFY(portTimer->isActive());

    // The listing that follows closes the connections.
    QTRY_COMPARE_WITH_TIMEOUT(w.globalState(), 0, 3000);
}

void TestMainWindowWindow::resources()
{
    for (const char *name :
         {":/pict/svg/close.svg", ":pict/svg/gray.svg", ":pict/svg/green.svg",
          ":pict/svg/yellow.svg", ":pict/svg/red.svg", ":/pict/svg/information_light.svg",
          ":/pict/svg/console_light.svg", ":/pict/svg/logo_lable.svg", ":/pict/flags/Russia.png",
          ":/pict/flags/English.png"})
        QVERIFY2(!QPixmap(QLatin1String(name)).isNull(), name);
    QVERIFY(QFile::exists(":/font/font/ptsans.ttf"));
    QVERIFY(QFile::exists(":/font/font/LICENSE-ptsans.txt"));
    const QString sheet = zemoStyleSheet();
    QVERIFY(sheet.contains("QMessageBox {\n    background-color: rgb(162, 173, 188);"));

    Rig rig;
    QCOMPARE(rig.w().styleSheet(), sheet);
    // Every tool button shows a picture.
    for (const char *name :
         {"openFileButton", "saveFileButton", "aboutButton", "helpButton", "checkUpdatesButton",
          "remCfgButton", "rs485_Button", "writeConfigButton", "findDevsButton", "restartButton",
          "updateFwButton", "statusCalcButton", "settingsButton"})
        QVERIFY2(!child<QPushButton>(&rig.w(), name)->icon().isNull(), name);
}

QTEST_MAIN(TestMainWindowWindow)
#include "tst_mainwindow_window.moc"
