// The login dialog of remote configuration, and the window's remote button.
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
    void layout();
    void connectRemembersImei();
    void emptyPasswordIsRefused();
    void leavingStoresNothing_data();
    void leavingStoresNothing();
    void remoteButtonConnectsAndDisconnects();
};

void TestRemoteLogin::layout()
{
    TempProgramDir dir;
    RemoteConnectForm form;
    QCOMPARE(form.size(), QSize(212, 123));
    QVERIFY(form.windowFlags() & Qt::FramelessWindowHint);
    // Every widget as "name x,y w×h text"; the password is shown as typed.
    QStringList got;
    for (const char *name :
         {"remoteCfgFormTitleWidget", "remoteCfgFormTitleLabel", "closeRemoteCfgFormButton",
          "label", "imeiLineEdit", "label_2", "passLineEdit", "connectButton", "cancelButton"}) {
        QWidget *w = child<QWidget>(&form, name);
        QString text;
        if (auto *label = qobject_cast<QLabel *>(w))
            text = label->text();
        else if (auto *button = qobject_cast<QPushButton *>(w))
            text = button->text();
        else if (auto *line = qobject_cast<QLineEdit *>(w))
            text = line->echoMode() == QLineEdit::Normal ? "shown" : "hidden";
        const QRect r = w->geometry();
        got << (QString::asprintf("%s %d,%d %dx%d ", name, r.x(), r.y(), r.width(), r.height())
                + text)
                        .trimmed();
    }
    QCOMPARE(got, QStringList({"remoteCfgFormTitleWidget 0,0 212x24",
                               "remoteCfgFormTitleLabel 1,1 180x22     Подключение к севреру",
                               "closeRemoteCfgFormButton 189,1 22x22",
                               "label 20,30 31x20 IMEI:", "imeiLineEdit 75,30 121x20 shown",
                               "label_2 20,60 47x20 Пароль:", "passLineEdit 75,60 121x20 shown",
                               "connectButton 15,90 86x23 Подключиться",
                               "cancelButton 115,90 81x23 Отмена"}));
}

void TestRemoteLogin::connectRemembersImei()
{
    TempProgramDir dir;
    BoxRecorder boxes;
    QPointer<RemoteConnectForm> form = new RemoteConnectForm;
    QSignalSpy connected(form.data(), &RemoteConnectForm::connectToServer);
    QCOMPARE(child<QLineEdit>(form, "imeiLineEdit")->text(), QString());
    form->show();
    QTest::keyClicks(child<QLineEdit>(form, "imeiLineEdit"), kImei);
    QTest::keyClicks(child<QLineEdit>(form, "passLineEdit"), "pa55 word");
    click(form, "connectButton");
    QCOMPARE(connected.count(), 1);
    QCOMPARE(connected.at(0), QVariantList({kImei, "pa55 word"}));
    QCOMPARE(boxes.describe(), QString());
    processDeletions();
    QVERIFY(form.isNull());
    QCOMPARE(storedImei(), QString(kImei));

    // The next dialog offers the IMEI; using it as offered writes nothing, so a change made by
    // another program run meanwhile stays.
    auto *next = new RemoteConnectForm; // deletes itself when done
    QCOMPARE(child<QLineEdit>(next, "imeiLineEdit")->text(), QString(kImei));
    QCOMPARE(child<QLineEdit>(next, "passLineEdit")->text(), QString());
    writeSetting("RemConf", "lastImei", "222");
    child<QLineEdit>(next, "passLineEdit")->setText("p");
    click(next, "connectButton");
    QCOMPARE(storedImei(), QString("222"));
    processDeletions();
}

void TestRemoteLogin::emptyPasswordIsRefused()
{
    TempProgramDir dir;
    BoxRecorder boxes;
    QPointer<RemoteConnectForm> form = new RemoteConnectForm;
    QSignalSpy connected(form.data(), &RemoteConnectForm::connectToServer);
    form->show();
    fill(form, kImei, "");
    click(form, "connectButton");
    QCOMPARE(boxes.describe(), QString("Warning Ошибка | Не указан пароль терминала"));
    QCOMPARE(boxes.boxes.at(0).parent, form.data());
    QCOMPARE(connected.count(), 0);
    QCOMPARE(storedImei(), QString());
    processDeletions();
    QVERIFY(form && form->isVisible());

    // With the password typed, the same dialog goes on.
    fill(form, kImei, "secret");
    click(form, "connectButton");
    QCOMPARE(connected.count(), 1);
    processDeletions();
    QVERIFY(form.isNull());
}

void TestRemoteLogin::leavingStoresNothing_data()
{
    QTest::addColumn<QString>("how"); // a button, or empty for the Escape key
    QTest::newRow("cancel") << "cancelButton";
    QTest::newRow("close") << "closeRemoteCfgFormButton";
    QTest::newRow("escape") << "";
}

void TestRemoteLogin::leavingStoresNothing()
{
    QFETCH(QString, how);
    TempProgramDir dir;
    writeSetting("RemConf", "lastImei", "111");
    BoxRecorder boxes;
    QPointer<RemoteConnectForm> form = new RemoteConnectForm;
    QSignalSpy connected(form.data(), &RemoteConnectForm::connectToServer);
    form->show();
    fill(form, "999", "p");
    if (how.isEmpty())
        QTest::keyClick(form.data(), Qt::Key_Escape);
    else
        click(form, how);
    QCOMPARE(connected.count(), 0);
    QCOMPARE(storedImei(), QString("111"));
    QCOMPARE(boxes.describe(), QString());
    processDeletions();
    QVERIFY(form.isNull());
}

// A window whose connection panel shows 9600 baud and address 5, talking to the server double.
void TestRemoteLogin::remoteButtonConnectsAndDisconnects()
{
    WindowRig rig(false);
    ConfigServerSim server;
    QVERIFY(server.listen());
    server.setTerminal(kImei, "1234");
    SimReaderSettings reader;
    reader.address = 5;
    reader.speed = 9600;
    server.addReader(reader);
    writeSetting("UpdateServer", "IP", "127.0.0.1");
    writeSetting("UpdateServer", "Port", server.port());
    MainWindow &window = rig.make();
    MainWindowTestAccess::portTimer(window)->stop();
    window.BaudsListUpdater_220({"2400", "4800", "9600", "19200", "115200"});
    rig.get<QComboBox>("rs485_220_speed")->setCurrentText("9600");
    rig.get<QComboBox>("rs485_selAddr")->setEditText("5");
    LogCapture log;
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
    QVERIFY(log.contains("Start remote configure..."));
    // The link was given the panel's speed and address before it connected.
    QCOMPARE(device->baudRate(), 9600);
    QCOMPARE(int(device->deviceAddress()), 5);
    QVERIFY(device->isRemoteMode());
    QTRY_VERIFY2(server.received().contains("REMOTE 1234"),
                 qPrintable(server.received().join(" | ")));
    QVERIFY(server.received().first().contains(kImei));
    QCOMPARE(storedImei(), QString(kImei));

    // Pressed again, the button ends the remote connection without a dialog, once the read
    // under way has ended.
    QTimer::singleShot(50, &window, [&window] { emit window.readyStatus(); });
    QVERIFY(!pressRemote());
    QVERIFY(log.contains("Disconnecting from remote config server"));
    QTRY_VERIFY(!device->isRemoteMode());
    QTRY_COMPARE(server.clientCount(), 0);
    QVERIFY(rig.get("remCfgButton")->isEnabled());
    QCoreApplication::processEvents(); // the deferred dialog deletion
    QVERIFY(!window.findChild<RemoteConnectForm *>());
}

QTEST_MAIN(TestRemoteLogin)
#include "tst_remotelogin.moc"
