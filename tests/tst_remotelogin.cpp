// The window's remote button with its login dialog.
#include "configserversim.h"
#include "deviceinterface.h"
#include "mainwindowaccess.h"
#include "remoteconnectform.h"
#include "settings.h"

namespace {
const char kImei[] = "356938035643809";

QString storedImei()
{
    return readSetting("RemConf", "lastImei").toString();
}

void fill(QWidget *form, const QString &imei, const QString &password)
{
    child<QLineEdit>(form, "imeiLineEdit")->setText(imei);
    child<QLineEdit>(form, "passLineEdit")->setText(password);
}

void click(QWidget *form, const QString &name)
{
    QTest::mouseClick(child<QPushButton>(form, name), Qt::LeftButton);
}
} // namespace

class TestRemoteLogin : public QObject
{
    Q_OBJECT
private slots:
    void remoteButtonConnectsAndDisconnects();
    void refusedOrUnreachableIsTold();
    void serialConnectAfterFailedLogin_data();
    void serialConnectAfterFailedLogin();
    void remoteReadDropsTheSerialChanges();
};

// A window whose connection panel shows 9600 baud and address 5, talking to the server double.
void TestRemoteLogin::remoteButtonConnectsAndDisconnects()
{
    WindowRig rig(false);
    ConfigServerSim server;
    QVERIFY(server.listen());
    server.setTerminal(kImei, "1234");
    server.addReader(simReader(5, 9600));
    writeSetting("UpdateServer", "IP", "127.0.0.1");
    writeSetting("UpdateServer", "Port", server.port());
    MainWindow &window = rig.make();
    MainWindowTestAccess::portTimer(window)->stop();
    window.BaudsListUpdater_220({"2400", "4800", "9600", "19200", "115200"});
    rig.get<QComboBox>("rs485_220_speed")->setCurrentText("9600");
    rig.get<QComboBox>("rs485_selAddr")->setEditText("5");
    // Presses the remote button; the login dialog, if one comes, is filled in and confirmed.
    auto pressRemote = [&window] {
        bool dialogSeen = false;
        QTimer::singleShot(0, &window, [&window, &dialogSeen] {
            if (auto *form = window.findChild<RemoteConnectForm *>()) {
                dialogSeen = true;
                fill(form, kImei, "1234");
                click(form, "connectButton");
            }
        });
        window.startRemoteConfig();
        return dialogSeen;
    };

    DeviceInterface *device = window.deviceInterface();
    QVERIFY(pressRemote());
    QVERIFY(device->isRemoteMode());
    QTRY_VERIFY2(server.received().contains("REMOTE 1234"),
                 qPrintable(server.received().join(" | ")));
    QCOMPARE(storedImei(), QString(kImei));
    // The link was given the panel's speed and address before it connected: the read of the
    // reader at 5 with 9600 baud fills the form as a local one does.
    QTRY_COMPARE(rig.get<QLabel>("globalStatusText")->text(),
                 QString("Соединение установлено удаленно"));
    QCOMPARE(rig.get<QLineEdit>("setAddrLine")->text() + " "
                     + rig.get<QComboBox>("setBaudComboBox")->currentText(),
             QString("5 9600"));
    QCOMPARE(rig.boxes.describe(), QString());

    // The session is the connection: the serial side is off, and a port toggle or a search
    // that reaches the link anyway opens nothing and leaves the socket alone.
    QVERIFY(!rig.get("rs485_Button")->isEnabled() && !rig.get("findDevsButton")->isEnabled());
    QVERIFY(!device->togglePort());
    device->findDevices_220();
    QTest::qWait(100);
    QCOMPARE(device->connection(), DeviceInterface::Connection::Remote);
    QVERIFY(!device->isSearching());
    QCOMPARE(server.clientCount(), 1);

    // Pressed again, the button ends the remote connection without a dialog.
    QVERIFY(!pressRemote());
    QTRY_VERIFY(!device->isRemoteMode());
    QTRY_COMPARE(server.clientCount(), 0);
    QVERIFY(rig.get("remCfgButton")->isEnabled());
}

// A wrong password and a server that cannot be reached are told in a box; the connections are
// closed afterwards, as the window shows.
void TestRemoteLogin::refusedOrUnreachableIsTold()
{
    WindowRig rig(false);
    ConfigServerSim server;
    QVERIFY(server.listen());
    server.setTerminal(kImei, "1234");
    writeSetting("UpdateServer", "IP", "127.0.0.1");
    writeSetting("UpdateServer", "Port", server.port());
    MainWindow &window = rig.make();
    QTRY_COMPARE(window.globalState(), 0);
    DeviceInterface *device = window.deviceInterface();
    const QString title = "Warning Удаленное конфигурирование | ";

    device->connectToServer(kImei, "wrong");
    QTRY_COMPARE(rig.boxes.describe(), title + "Неверный пароль терминала.");
    QTRY_VERIFY(!device->isRemoteMode());
    QCOMPARE(rig.get<QLabel>("globalStatusText")->text(), QString("Соединения закрыты"));
    QVERIFY(rig.get("remCfgButton")->isEnabled());

    rig.boxes.clear();
    const quint16 port = server.port();
    server.close();
    writeSetting("UpdateServer", "Port", port);
    device->connectToServer(kImei, "1234");
    // The window stays responsive while the server is reached: the login is under way, and
    // the serial side is off meanwhile.
    QCOMPARE(device->connection(), DeviceInterface::Connection::RemoteLoginPending);
    QCOMPARE(rig.get<QLabel>("globalStatusText")->text(),
             QString("Подключение к серверу конфигурирования"));
    QVERIFY(!rig.get("rs485_Button")->isEnabled() && !rig.get("findDevsButton")->isEnabled());
    QTRY_COMPARE(rig.boxes.describe(), title + "Сервер удаленного конфигурирования недоступен.");
    QVERIFY(!device->isRemoteMode());
    QCOMPARE(window.globalState(), 0);
    QCOMPARE(rig.get<QLabel>("globalStatusText")->text(), QString("Соединения закрыты"));
    QVERIFY(rig.get("rs485_Button")->isEnabled() && rig.get("findDevsButton")->isEnabled());
}

void TestRemoteLogin::serialConnectAfterFailedLogin_data()
{
    QTest::addColumn<bool>("reachable");
    QTest::newRow("password refused") << true;
    QTest::newRow("server unreachable") << false;
}

// A login that failed leaves the serial side as it was: the port the panel shows connects at the
// first press.
void TestRemoteLogin::serialConnectAfterFailedLogin()
{
    QFETCH(bool, reachable);
    BusWindowRig rig({simReader(1)});
    ConfigServerSim server;
    QVERIFY(server.listen());
    server.setTerminal(kImei, "1234");
    const quint16 port = server.port();
    if (!reachable)
        server.close();
    writeSetting("UpdateServer", "IP", "127.0.0.1");
    writeSetting("UpdateServer", "Port", port);
    QVERIFY(rig.choose("19200", "1"));
    DeviceInterface *device = rig.w().deviceInterface();

    device->connectToServer(kImei, "wrong");
    QTRY_VERIFY(rig.boxes.describe().contains(reachable ? "Неверный пароль терминала."
                                                        : "Сервер удаленного конфигурирования "
                                                          "недоступен."));
    QTRY_VERIFY(!device->isRemoteMode());
    QTRY_COMPARE(rig.w().globalState(), 0);
    rig.boxes.clear();

    rig.press("rs485_Button");
    QTRY_COMPARE_WITH_TIMEOUT(rig.w().globalState(), 3, 5000);
    QVERIFY(device->isPortOpen());
    QCOMPARE(rig.boxes.describe(), QString());
}

// A change made for a reader on the serial bus and left unwritten is not written to the reader
// behind the configuration server: the remote session's read drops it.
void TestRemoteLogin::remoteReadDropsTheSerialChanges()
{
    BusWindowRig rig({simReader(1)});
    ConfigServerSim server;
    QVERIFY(server.listen());
    server.setTerminal(kImei, "1234");
    server.setNoAnswerDelayMs(0);
    server.addReader(simReader(1));
    MainWindow &window = rig.w();
    QVERIFY(rig.choose("19200", "1"));
    rig.press("rs485_Button");
    QTRY_COMPARE(window.globalState(), 3);
    auto *pullUp = rig.get<QComboBox>("pullUpComboBox");
    pullUp->setCurrentIndex(1);
    QVERIFY(!window.changesXml().isEmpty());
    rig.press("rs485_Button");
    QTRY_COMPARE(window.globalState(), 0);

    window.deviceInterface()->setServerAddress("127.0.0.1", server.port());
    window.deviceInterface()->connectToServer(kImei, "1234");
    QTRY_COMPARE(rig.get<QLabel>("globalStatusText")->text(),
                 QString("Соединение установлено удаленно"));
    QCOMPARE(window.changesXml(), QString());
    QCOMPARE(pullUp->currentIndex(), 0);
    QVERIFY(!pullUp->property("pending").toBool());
}

QTEST_MAIN(TestRemoteLogin)
#include "tst_remotelogin.moc"
