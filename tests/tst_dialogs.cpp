#include "aboutform.h"
#include "deviceinterface.h"
#include "mainwindow.h"
#include "mainwindowaccess.h"
#include "reloadform.h"
#include "selectdeviceform.h"
#include "settings.h"
#include "settingsform.h"
#include "statuscalc.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTableWidget>
#include <QtTest>

class TestDialogs : public QObject
{
    Q_OBJECT
private slots:
    void settingsSaveStoresAndReports();
    void settingsCancelKeepsStoredChoice();
    void pollingFollowsSettings_data();
    void pollingFollowsSettings();
    void pollingSwitchedOffInTheDialog();
    void rebootWaitRestoresSpeedAndAddress();
    void rebootConfirmed();
    void rebootCancelled_data();
    void rebootCancelled();
    void aboutShowsVersionAndLanguage_data();
    void aboutShowsVersionAndLanguage();
    void aboutSwitchesLanguage();
    void helpOpensNewestPdf();
    void helpWithoutPdf_data();
    void helpWithoutPdf();
    void statusCalcFromWindow();
    void olderStatusCalcClosingKeepsNewest();
    void deviceListChoice_data();
    void deviceListChoice();
};

namespace {
template<typename T>
T *child(QWidget *parent, const char *name)
{
    T *widget = parent->findChild<T *>(QLatin1String(name));
    if (!widget)
        qWarning("no widget %s", name);
    return widget;
}

QVariant storedSetting(const TempProgramDir &dir, const char *key)
{
    QSettings raw(dir.filePath("settings.conf"), QSettings::IniFormat);
    return raw.value(QLatin1String(key));
}
} // namespace

void TestDialogs::settingsSaveStoresAndReports()
{
    TempProgramDir dir;
    SettingsForm form;
    QSignalSpy changed(&form, &SettingsForm::refreshStatusChanged);
    form.showSettings();
    child<QCheckBox>(&form, "statusCheckBox")->setChecked(false);
    child<QCheckBox>(&form, "flsCheckBox")->setChecked(true);
    QTest::mouseClick(child<QPushButton>(&form, "saveButton"), Qt::LeftButton);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toBool(), false);
    QVERIFY(!form.isVisible());
    QVERIFY(!form.statusRefresh());
    QVERIFY(form.flsRefresh());
    QCOMPARE(storedSetting(dir, "Survey/Status").toBool(), false);
    QCOMPARE(storedSetting(dir, "Survey/FLS").toBool(), true);

    // The next run starts with what was saved.
    SettingsForm next;
    QVERIFY(!next.statusRefresh());
    QVERIFY(next.flsRefresh());
}

void TestDialogs::settingsCancelKeepsStoredChoice()
{
    TempProgramDir dir;
    SettingsForm form;
    QSignalSpy changed(&form, &SettingsForm::refreshStatusChanged);
    form.showSettings();
    child<QCheckBox>(&form, "statusCheckBox")->setChecked(false);
    QTest::mouseClick(child<QPushButton>(&form, "closeSettingsFormButton"), Qt::LeftButton);
    QVERIFY(!form.isVisible());
    QCOMPARE(changed.count(), 0);
    QVERIFY(form.statusRefresh());
    QCOMPARE(storedSetting(dir, "Survey/Status").toBool(), true);
    // Shown again, the dialog offers the stored choice, not the abandoned edit.
    form.showSettings();
    QVERIFY(child<QCheckBox>(&form, "statusCheckBox")->isChecked());
}

namespace {
void processDeletions()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

bool writeFile(const QString &path, const QByteArray &data, const QDateTime &modified)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        return false;
    return file.setFileTime(modified, QFileDevice::FileModificationTime);
}
} // namespace

void TestDialogs::pollingFollowsSettings_data()
{
    QTest::addColumn<QString>("stored"); // empty: no key
    QTest::addColumn<bool>("polling");
    QTest::newRow("first start") << "" << true;
    QTest::newRow("switched on") << "true" << true;
    QTest::newRow("switched off") << "false" << false;
    QTest::newRow("switched off as 0") << "0" << false;
}

void TestDialogs::pollingFollowsSettings()
{
    QFETCH(QString, stored);
    QFETCH(bool, polling);
    TempProgramDir dir(true);
    if (!stored.isEmpty())
        writeSetting("Survey", "Status", stored);
    BoxRecorder boxes;
    MainWindow window(nullptr, "ru_RU");
    // The default is stored on the first start; a stored choice is left as it is.
    QCOMPARE(storedSetting(dir, "Survey/Status").toString(),
             stored.isEmpty() ? QString("true") : stored);
    QVERIFY(!storedSetting(dir, "Survey/FLS").isValid());
    auto *settings = window.findChild<SettingsForm *>();
    QVERIFY(settings);
    QCOMPARE(child<QCheckBox>(settings, "statusCheckBox")->isChecked(), polling);
    QTimer *timer = MainWindowTestAccess::statusTimer(window);
    QSignalSpy polls(&window, &MainWindow::startPoll);
    window.setGlobalState(3);
    QCOMPARE(timer->isActive(), polling);
    window.statusTimerTimeout();
    QCOMPARE(polls.count(), polling ? 1 : 0);
}

void TestDialogs::pollingSwitchedOffInTheDialog()
{
    TempProgramDir dir(true);
    BoxRecorder boxes;
    MainWindow window(nullptr, "ru_RU");
    QTimer *timer = MainWindowTestAccess::statusTimer(window);
    window.setGlobalState(3);
    QVERIFY(timer->isActive());
    window.settingShow();
    auto *settings = window.findChild<SettingsForm *>();
    QVERIFY(settings && settings->isVisible());
    child<QCheckBox>(settings, "statusCheckBox")->setChecked(false);
    QTest::mouseClick(child<QPushButton>(settings, "saveButton"), Qt::LeftButton);
    QVERIFY(!timer->isActive());
    // Later ready states do not start it again.
    window.setGlobalState(3);
    QVERIFY(!timer->isActive());
    QCOMPARE(storedSetting(dir, "Survey/Status").toBool(), false);
}

void TestDialogs::rebootWaitRestoresSpeedAndAddress()
{
    TempProgramDir dir(true);
    BoxRecorder boxes;
    MainWindow window(nullptr, "ru_RU");
    MainWindowTestAccess::portTimer(window)->stop();
    window.BaudsListUpdater_220({"2400", "9600", "19200", "57600"});
    auto *speed = child<QComboBox>(&window, "rs485_220_speed");
    auto *address = child<QComboBox>(&window, "rs485_selAddr");
    QCOMPARE(speed->currentText(), QString("19200"));
    // A write changed the reader's speed and address; it answers with them after the reboot.
    DeviceInterface *device = window.deviceInterface();
    device->setRememberedSpeed(57600);
    device->setRememberedAddress(42);
    window.reloadWaitCancel();
    QCOMPARE(speed->currentText(), QString("57600"));
    QCOMPARE(address->currentText(), QString("42"));
    QCOMPARE(device->baudRate(), 57600);
    QCOMPARE(int(device->deviceAddress()), 42);
    QCOMPARE(window.globalState(), 3);
}

void TestDialogs::rebootConfirmed()
{
    TempProgramDir dir(true);
    BoxRecorder boxes;
    MainWindow window(nullptr, "ru_RU");
    QSignalSpy reboot(&window, &MainWindow::rebootDev);
    window.reloadDevice();
    QPointer<ReloadForm> form = window.findChild<ReloadForm *>();
    QVERIFY(form);
    QVERIFY(form->isVisible());
    QCOMPARE(form->windowModality(), Qt::ApplicationModal);
    QCOMPARE(child<QLabel>(form, "label")->text(), QString("Перезагрузить устройство?"));
    QTest::mouseClick(child<QPushButton>(form, "reloadButt"), Qt::LeftButton);
    QCOMPARE(reboot.count(), 1);
    // A second press before the dialog has gone sends nothing more.
    QVERIFY(!child<QPushButton>(form, "reloadButt")->isEnabled());
    QVERIFY(!child<QPushButton>(form, "cancelReloadButt")->isEnabled());
    QMetaObject::invokeMethod(form, "on_reloadButt_clicked");
    QCOMPARE(reboot.count(), 1);
    processDeletions();
    QVERIFY(form.isNull());
}

void TestDialogs::rebootCancelled_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("cancel") << "cancelReloadButt";
    QTest::newRow("close") << "closeReloadFormButt";
    QTest::newRow("escape") << "";
}

void TestDialogs::rebootCancelled()
{
    QFETCH(QString, how);
    TempProgramDir dir(true);
    BoxRecorder boxes;
    MainWindow window(nullptr, "ru_RU");
    QSignalSpy reboot(&window, &MainWindow::rebootDev);
    QTimer *timer = MainWindowTestAccess::statusTimer(window);
    window.setGlobalState(3);
    window.reloadDevice();
    QVERIFY(!timer->isActive()); // no poll while the engineer decides
    QPointer<ReloadForm> form = window.findChild<ReloadForm *>();
    QVERIFY(form);
    if (how.isEmpty())
        QTest::keyClick(form.data(), Qt::Key_Escape);
    else
        QTest::mouseClick(child<QPushButton>(form, qPrintable(how)), Qt::LeftButton);
    QCOMPARE(reboot.count(), 0);
    QVERIFY(timer->isActive()); // polling resumes
    processDeletions();
    QVERIFY(form.isNull());
}

void TestDialogs::aboutShowsVersionAndLanguage_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("shown");
    QTest::newRow("ru") << "ru" << 0 << "Русский";
    QTest::newRow("en") << "en" << 1 << "English";
    QTest::newRow("unknown code shows no item") << "xx" << -1 << "";
    QTest::newRow("codes are case-sensitive") << "RU" << -1 << "";
}

void TestDialogs::aboutShowsVersionAndLanguage()
{
    QFETCH(QString, language);
    QFETCH(int, index);
    QFETCH(QString, shown);
    TempProgramDir dir(true);
    writeSetting("Language", "lang", language);
    BoxRecorder boxes;
    MainWindow window(nullptr, "ru_RU");
    window.aboutShow();
    QPointer<AboutForm> form = window.findChild<AboutForm *>();
    QVERIFY(form);
    QCOMPARE(form->windowModality(), Qt::ApplicationModal);
    auto *box = child<QComboBox>(form, "languageComboBox");
    QCOMPARE(box->count(), 2);
    QCOMPARE(box->itemData(0).toString(), QString("ru"));
    QCOMPARE(box->itemData(1).toString(), QString("en"));
    QCOMPARE(box->currentIndex(), index);
    QCOMPARE(box->currentText(), shown);
    if (language == "ru") {
        QCOMPARE(child<QLabel>(form, "aboutText")->text(),
                 QString("Конфигуратор считывателей Земо220\nВерсия 0.3.3 (" __DATE__ ")"));
    }
    QTest::mouseClick(child<QPushButton>(form, "okPushButton"), Qt::LeftButton);
    processDeletions();
    QVERIFY(form.isNull());
}

void TestDialogs::aboutSwitchesLanguage()
{
    TempProgramDir dir(true);
    BoxRecorder boxes;
    MainWindow window(nullptr, "ru_RU");
    QCOMPARE(window.currentLanguage(), QString("ru"));
    window.aboutShow();
    QPointer<AboutForm> form = window.findChild<AboutForm *>();
    QVERIFY(form);
    QSignalSpy changed(form.data(), &AboutForm::changeLanguage);
    auto *box = child<QComboBox>(form, "languageComboBox");
    QTest::keyClick(box, Qt::Key_Down);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toString(), QString("en"));
    QCOMPARE(window.currentLanguage(), QString("en"));
    QCOMPARE(readSetting("Language", "lang").toString(), QString("en"));
    QTest::keyClick(box, Qt::Key_Up);
    QCOMPARE(window.currentLanguage(), QString("ru"));
    QCOMPARE(readSetting("Language", "lang").toString(), QString("ru"));
    QTest::mouseClick(child<QPushButton>(form, "closeAboutFormButton"), Qt::LeftButton);
    processDeletions();
    QVERIFY(form.isNull());
}

void TestDialogs::helpOpensNewestPdf()
{
    TempProgramDir dir(true);
    BoxRecorder boxes;
    MainWindow window(nullptr, "ru_RU");
    QVERIFY(QDir(dir.path()).mkdir("help"));
    const QDateTime now = QDateTime::currentDateTime();
    QVERIFY(writeFile(dir.filePath("help/old guide.pdf"), "%PDF-1.4 old", now.addDays(-2)));
    QVERIFY(writeFile(dir.filePath("help/new#guide.pdf"), "%PDF-1.4 new", now.addDays(-1)));
    QVERIFY(writeFile(dir.filePath("help/notes.txt"), "newest, but no PDF", now));
    // A link is no file of the folder, however new.
    QVERIFY(QFile::link(dir.filePath("help/old guide.pdf"), dir.filePath("help/link.pdf")));
    const QString workingDir = QDir::currentPath();
    window.helpShow();
    QVERIFY2(boxes.boxes.isEmpty(), qPrintable(boxes.describe()));
    QCOMPARE(boxes.openedUrls.size(), 1);
    QCOMPARE(boxes.openedUrls.at(0), QUrl::fromLocalFile(dir.filePath("help/new#guide.pdf")));
    QVERIFY(boxes.openedUrls.at(0).isLocalFile());
    QCOMPARE(QDir::currentPath(), workingDir);
}

void TestDialogs::helpWithoutPdf_data()
{
    QTest::addColumn<bool>("folder");
    QTest::newRow("empty folder") << true;
    QTest::newRow("no folder") << false;
}

void TestDialogs::helpWithoutPdf()
{
    QFETCH(bool, folder);
    TempProgramDir dir(true);
    BoxRecorder boxes;
    MainWindow window(nullptr, "ru_RU");
    if (folder)
        QVERIFY(QDir(dir.path()).mkdir("help"));
    window.helpShow();
    QCOMPARE(boxes.openedUrls.size(), 0);
    QCOMPARE(boxes.boxes.size(), 1);
    QCOMPARE(boxes.boxes.at(0).icon, QMessageBox::Warning);
    QCOMPARE(boxes.boxes.at(0).title, QString("Справка"));
    QCOMPARE(boxes.boxes.at(0).text, QString("Отсутствует файл справки."));
}

void TestDialogs::statusCalcFromWindow()
{
    TempProgramDir dir(true);
    BoxRecorder boxes;
    MainWindow window(nullptr, "ru_RU");
    window.runStatusCalc("0x0000000F");
    QPointer<StatusCalc> calc = window.findChild<StatusCalc *>();
    QVERIFY(calc);
    QCOMPARE(child<QLineEdit>(calc, "statusCode")->text(), QString("0000000F"));
    QVERIFY(calc->isVisible());
    calc->setSupportStatusMask(0x3);
    calc->decryptStatus();
    auto *table = child<QTableWidget>(calc, "tableWidget");
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(table->item(0, 1)->text(), QString("Ниже порога"));
    table->cellWidget(1, 2)->findChild<QCheckBox *>()->click();
    QTest::mouseClick(child<QPushButton>(calc, "closeStatusCalcButton"), Qt::LeftButton);
    processDeletions();
    QVERIFY(calc.isNull());

    // The next calculator starts with the events ticked in the last one.
    window.runStatusCalc();
    calc = window.findChild<StatusCalc *>();
    QVERIFY(calc);
    QCOMPARE(child<QLineEdit>(calc, "statusCode")->text(), QString("00000000"));
    QCOMPARE(calc->eventMask(), 0x2u);
    calc->close();
    processDeletions();
}

void TestDialogs::olderStatusCalcClosingKeepsNewest()
{
    TempProgramDir dir(true);
    BoxRecorder boxes;
    MainWindow window(nullptr, "ru_RU");
    window.runStatusCalc("1");
    QPointer<StatusCalc> first = window.findChild<StatusCalc *>();
    window.runStatusCalc("2");
    QPointer<StatusCalc> second;
    for (StatusCalc *calc : window.findChildren<StatusCalc *>())
        if (calc != first)
            second = calc;
    QVERIFY(first && second);
    first->close();
    processDeletions();
    QVERIFY(first.isNull());
    // The window still answers the open calculator's refresh, which decodes its input again.
    second->setSupportStatusMask(0x3);
    child<QLineEdit>(second, "statusCode")->setText("3");
    QTest::mouseClick(child<QPushButton>(second, "refreshStatusButton"), Qt::LeftButton);
    QCOMPARE(child<QTableWidget>(second, "tableWidget")->rowCount(), 2);
    second->close();
    processDeletions();
}

void TestDialogs::deviceListChoice_data()
{
    QTest::addColumn<QStringList>("devices");
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("chosen"); // -1: nothing chosen
    const QStringList two {"Zemo220 #1", "Zemo220 #7"};
    QTest::newRow("second row") << two << "select second" << 1;
    QTest::newRow("double click") << two << "double click second" << 1;
    QTest::newRow("cancel") << two << "cancel" << -1;
    QTest::newRow("empty list cannot be chosen from") << QStringList() << "select" << -1;
}

void TestDialogs::deviceListChoice()
{
    QFETCH(QStringList, devices);
    QFETCH(QString, action);
    QFETCH(int, chosen);
    QPointer<SelectDeviceForm> form = new SelectDeviceForm(nullptr, devices);
    QSignalSpy selected(form.data(), &SelectDeviceForm::deviceSelected);
    form->show();
    auto *list = child<QListWidget>(form, "deviceListWidget");
    QCOMPARE(list->count(), devices.size());
    if (action.endsWith("second"))
        list->setCurrentRow(1);
    if (action.startsWith("select"))
        QTest::mouseClick(child<QPushButton>(form, "selectButton"), Qt::LeftButton);
    else if (action.startsWith("double click"))
        emit list->itemDoubleClicked(list->item(1));
    else if (action == "cancel")
        QTest::mouseClick(child<QPushButton>(form, "cancelButton"), Qt::LeftButton);
    else
        QTest::keyClick(form.data(), Qt::Key_Escape);
    if (chosen < 0) {
        QCOMPARE(selected.count(), 0);
    } else {
        QCOMPARE(selected.count(), 1);
        QCOMPARE(selected.at(0).at(0).toInt(), chosen);
    }
    processDeletions();
    QCOMPARE(form.isNull(), !devices.isEmpty());
    delete form;
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
