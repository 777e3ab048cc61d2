#include "configserversim.h"
#include "deviceinterface.h"
#include "mainwindow.h"
#include "mainwindowaccess.h"
#include "remoteconnectform.h"
#include "settings.h"
#include "testsupport.h"

#include <QComboBox>
#include <QTimer>

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

namespace {
QVariant storedImei(const TempProgramDir &dir)
{
    QSettings raw(dir.filePath("settings.conf"), QSettings::IniFormat);
    return raw.value("RemConf/lastImei");
}

void storeImei(const TempProgramDir &dir, const QVariant &imei)
{
    QSettings raw(dir.filePath("settings.conf"), QSettings::IniFormat);
    if (imei.isNull())
        raw.remove("RemConf/lastImei");
    else
        raw.setValue("RemConf/lastImei", imei);
}

QLineEdit *edit(QWidget *form, const char *name)
{
    return form->findChild<QLineEdit *>(name);
}

void click(QWidget *form, const char *name)
{
    auto *button = form->findChild<QPushButton *>(name);
    QVERIFY2(button, name);
    QTest::mouseClick(button, Qt::LeftButton);
}

void processDeletions()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
} // namespace

class TestRemoteLogin : public QObject
{
    Q_OBJECT
private slots:
    void layout_data();
    void layout();
    void connectRemembersImei();
    void sameImeiIsNotWrittenAgain();
    void emptyPasswordIsRefused();
    void leavingStoresNothing_data();
    void leavingStoresNothing();
    void remoteButtonConnectsAndDisconnects();
};

void TestRemoteLogin::layout_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::newRow("title strip") << "remoteCfgFormTitleWidget" << QRect(0, 0, 212, 24) << "";
    QTest::newRow("title") << "remoteCfgFormTitleLabel" << QRect(1, 1, 180, 22)
                           << "    Подключение к севреру";
    QTest::newRow("close") << "closeRemoteCfgFormButton" << QRect(189, 1, 22, 22) << "";
    QTest::newRow("IMEI label") << "label" << QRect(20, 30, 31, 20) << "IMEI:";
    QTest::newRow("IMEI") << "imeiLineEdit" << QRect(75, 30, 121, 20) << "";
    QTest::newRow("password label") << "label_2" << QRect(20, 60, 47, 20) << "Пароль:";
    QTest::newRow("password") << "passLineEdit" << QRect(75, 60, 121, 20) << "";
    QTest::newRow("connect") << "connectButton" << QRect(15, 90, 86, 23) << "Подключиться";
    QTest::newRow("cancel") << "cancelButton" << QRect(115, 90, 81, 23) << "Отмена";
}

void TestRemoteLogin::layout()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    TempProgramDir dir;
    RemoteConnectForm form;
    QCOMPARE(form.size(), QSize(212, 123));
    QCOMPARE(form.windowTitle(), QString("Dialog"));
    QVERIFY(form.windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(!(form.windowFlags() & Qt::WindowContextHelpButtonHint));
    QWidget *widget = form.findChild<QWidget *>(name);
    QVERIFY(widget);
    QCOMPARE(widget->geometry(), geometry);
    if (auto *label = qobject_cast<QLabel *>(widget))
        QCOMPARE(label->text(), text);
    else if (auto *button = qobject_cast<QPushButton *>(widget))
        QCOMPARE(button->text(), text);
    else if (auto *line = qobject_cast<QLineEdit *>(widget))
        QCOMPARE(line->echoMode(), QLineEdit::Normal); // the password is shown as typed
}

void TestRemoteLogin::connectRemembersImei()
{
    TempProgramDir dir;
    BoxRecorder boxes;
    QPointer<RemoteConnectForm> form = new RemoteConnectForm;
    QSignalSpy connected(form.data(), &RemoteConnectForm::connectToServer);
    QCOMPARE(edit(form, "imeiLineEdit")->text(), QString());
    form->show();
    QTest::keyClicks(edit(form, "imeiLineEdit"), "356938035643809");
    QTest::keyClicks(edit(form, "passLineEdit"), "pa55 word");
    click(form, "connectButton");
    QCOMPARE(connected.count(), 1);
    QCOMPARE(connected.at(0).at(0).toString(), QString("356938035643809"));
    QCOMPARE(connected.at(0).at(1).toString(), QString("pa55 word"));
    QVERIFY(boxes.boxes.isEmpty());
    QVERIFY(!form->isVisible());
    processDeletions();
    QVERIFY(form.isNull());
    QCOMPARE(storedImei(dir).toString(), QString("356938035643809"));

    RemoteConnectForm next;
    QCOMPARE(edit(&next, "imeiLineEdit")->text(), QString("356938035643809"));
    QCOMPARE(edit(&next, "passLineEdit")->text(), QString());
}

void TestRemoteLogin::sameImeiIsNotWrittenAgain()
{
    TempProgramDir dir;
    storeImei(dir, "111");
    auto *form = new RemoteConnectForm;
    QCOMPARE(edit(form, "imeiLineEdit")->text(), QString("111"));
    // Another program run changes the file meanwhile; using the offered IMEI writes nothing.
    storeImei(dir, "222");
    edit(form, "passLineEdit")->setText("p");
    click(form, "connectButton");
    QCOMPARE(storedImei(dir).toString(), QString("222"));
    processDeletions();
}

void TestRemoteLogin::emptyPasswordIsRefused()
{
    TempProgramDir dir;
    BoxRecorder boxes;
    QPointer<RemoteConnectForm> form = new RemoteConnectForm;
    QSignalSpy connected(form.data(), &RemoteConnectForm::connectToServer);
    form->show();
    edit(form, "imeiLineEdit")->setText("356938035643809");
    click(form, "connectButton");
    QCOMPARE(boxes.boxes.size(), 1);
    QCOMPARE(boxes.boxes.at(0).icon, QMessageBox::Warning);
    QCOMPARE(boxes.boxes.at(0).title, QString("Ошибка"));
    QCOMPARE(boxes.boxes.at(0).text, QString("Не указан пароль терминала"));
    QCOMPARE(boxes.boxes.at(0).parent, form.data());
    QCOMPARE(connected.count(), 0);
    QVERIFY(!storedImei(dir).isValid());
    processDeletions();
    QVERIFY(form);
    QVERIFY(form->isVisible());

    // With the password typed, the same dialog goes on.
    edit(form, "passLineEdit")->setText("secret");
    click(form, "connectButton");
    QCOMPARE(connected.count(), 1);
    processDeletions();
    QVERIFY(form.isNull());
}

void TestRemoteLogin::leavingStoresNothing_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("cancel") << "cancelButton";
    QTest::newRow("close") << "closeRemoteCfgFormButton";
    QTest::newRow("escape") << "";
}

void TestRemoteLogin::leavingStoresNothing()
{
    QFETCH(QString, how);
    TempProgramDir dir;
    storeImei(dir, "111");
    BoxRecorder boxes;
    QPointer<RemoteConnectForm> form = new RemoteConnectForm;
    QSignalSpy connected(form.data(), &RemoteConnectForm::connectToServer);
    form->show();
    edit(form, "imeiLineEdit")->setText("999");
    edit(form, "passLineEdit")->setText("p");
    if (how.isEmpty())
        QTest::keyClick(form.data(), Qt::Key_Escape);
    else
        click(form, qPrintable(how));
    QCOMPARE(connected.count(), 0);
    QCOMPARE(storedImei(dir).toString(), QString("111"));
    QVERIFY(boxes.boxes.isEmpty());
    processDeletions();
    QVERIFY(form.isNull());
}

namespace {
const char *const kImei = "356938035643809";

// A window whose connection panel shows 9600 baud and address 5, talking to the server double.
struct RemoteFixture
{
    TempProgramDir dir {true};
    ConfigServerSim server;
    BoxRecorder boxes;
    LogCapture log;
    std::unique_ptr<MainWindow> window;

    bool start()
    {
        if (!server.listen())
            return false;
        server.setTerminal(kImei, "1234");
        SimReaderSettings reader;
        reader.address = 5;
        reader.speed = 9600;
        server.addReader(reader);
        writeSetting("UpdateServer", "IP", "127.0.0.1");
        writeSetting("UpdateServer", "Port", server.port());
        window.reset(new MainWindow(nullptr, "ru_RU"));
        MainWindowTestAccess::portTimer(*window)->stop();
        window->BaudsListUpdater_220({"2400", "4800", "9600", "19200", "115200"});
        window->findChild<QComboBox *>("rs485_220_speed")->setCurrentText("9600");
        window->findChild<QComboBox *>("rs485_selAddr")->setEditText("5");
        return true;
    }

    // Presses the remote button; the login dialog, if one comes, is handled by answer().
    void pressRemote(std::function<void(RemoteConnectForm *)> answer)
    {
        QTimer::singleShot(0, window.get(),
                           [this, answer] { answer(window->findChild<RemoteConnectForm *>()); });
        window->startRemoteConfig();
    }
};
} // namespace

void TestRemoteLogin::remoteButtonConnectsAndDisconnects()
{
    RemoteFixture f;
    QVERIFY(f.start());
    DeviceInterface *device = f.window->deviceInterface();
    bool dialogSeen = false;
    f.pressRemote([&dialogSeen](RemoteConnectForm *form) {
        dialogSeen = form != nullptr;
        if (!form)
            return;
        edit(form, "imeiLineEdit")->setText(kImei);
        edit(form, "passLineEdit")->setText("1234");
        click(form, "connectButton");
    });
    QVERIFY(dialogSeen);
    QVERIFY(f.log.contains("Start remote configure..."));
    // The link was given the panel's speed and address before it connected.
    QCOMPARE(device->baudRate(), 9600);
    QCOMPARE(int(device->deviceAddress()), 5);
    QVERIFY(device->isRemoteMode());
    QTRY_VERIFY2(f.server.received().contains("REMOTE 1234"),
                 qPrintable(f.server.received().join(" | ")));
    QVERIFY(f.server.received().first().contains(kImei));
    QCOMPARE(storedImei(f.dir).toString(), QString(kImei));

    // Pressed again, the button ends the remote connection without a dialog, once the read
    // under way has ended.
    QTimer::singleShot(50, f.window.get(), [&f] { emit f.window->readyStatus(); });
    dialogSeen = false;
    f.pressRemote([&dialogSeen](RemoteConnectForm *form) { dialogSeen = form != nullptr; });
    QVERIFY(!dialogSeen);
    QVERIFY(f.log.contains("Disconnecting from remote config server"));
    QTRY_VERIFY(!device->isRemoteMode());
    QTRY_COMPARE(f.server.clientCount(), 0);
    QVERIFY(f.window->findChild<QPushButton *>("remCfgButton")->isEnabled());
    QCoreApplication::processEvents(); // the deferred dialog deletion
    QVERIFY(!f.window->findChild<RemoteConnectForm *>());
}

QTEST_MAIN(TestRemoteLogin)
#include "tst_remotelogin.moc"
