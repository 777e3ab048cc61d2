// The dialogs of the main window: reboot, about, settings, help and the status calculator.
#include "aboutform.h"
#include "appversion.h"
#include "deviceinterface.h"
#include "mainwindowaccess.h"
#include "reloadform.h"
#include "settings.h"
#include "settingsform.h"
#include "statuscalc.h"

namespace {
void click(QWidget *parent, const QString &button)
{
    QTest::mouseClick(child<QPushButton>(parent, button), Qt::LeftButton);
}

bool writeFile(const QString &path, const QByteArray &data, const QDateTime &modified)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size()
           && file.setFileTime(modified, QFileDevice::FileModificationTime);
}
} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT
private slots:
    void rebootQuestion_data();
    void rebootQuestion();
    void aboutBox();
    void settingsDialog_data();
    void settingsDialog();
    void help_data();
    void help();
    void statusCalcFromWindow();
};

void TestDialogs::rebootQuestion_data()
{
    QTest::addColumn<QString>("how"); // a button, or empty for the Escape key
    QTest::addColumn<int>("reboots");
    QTest::newRow("confirm") << "reloadButt" << 1;
    QTest::newRow("cancel") << "cancelReloadButt" << 0;
    QTest::newRow("close") << "closeReloadFormButt" << 0;
    QTest::newRow("escape") << "" << 0;
}

void TestDialogs::rebootQuestion()
{
    QFETCH(QString, how);
    QFETCH(int, reboots);
    WindowRig rig;
    QSignalSpy reboot(&rig.w(), &MainWindow::rebootDev);
    QTimer *timer = MainWindowTestAccess::statusTimer(rig.w());
    rig.w().setGlobalState(3);
    rig.w().reloadDevice();
    QVERIFY(!timer->isActive()); // no poll while the engineer decides
    QPointer<ReloadForm> form = rig.w().findChild<ReloadForm *>();
    QVERIFY(form && form->isVisible());
    QCOMPARE(child<QLabel>(form, "label")->text(), QString("Перезагрузить устройство?"));
    if (how.isEmpty())
        QTest::keyClick(form.data(), Qt::Key_Escape);
    else
        click(form, how);
    QCOMPARE(reboot.count(), reboots);
    if (!reboots)
        QVERIFY(timer->isActive()); // polling resumes after a cancel
    // A second press before the dialog has gone sends nothing more.
    if (reboots)
        QMetaObject::invokeMethod(form, "on_reloadButt_clicked");
    QCOMPARE(reboot.count(), reboots);
    processDeletions();
    QVERIFY(form.isNull());
}

// The about box names the program with its version and offers the languages, the one in use
// chosen; choosing another switches the window (Qt's own Yes and No too) and is stored, and the
// next box shows that one.
void TestDialogs::aboutBox()
{
    TempProgramDir dir(true, true);
    BoxRecorder boxes;
    MainWindow window(nullptr, "ru_RU");
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), QString("&Да"));
    window.aboutShow();
    QPointer<AboutForm> about = window.findChild<AboutForm *>();
    QVERIFY(about && about->isVisible());
    const QString version = AppVersion::text() + " (" + AppVersion::sourceDate() + ")";
    QCOMPARE(child<QLabel>(about, "aboutText")->text(),
             "Конфигуратор считывателей Земо220\nВерсия " + version);
    auto *languages = child<QComboBox>(about, "languageComboBox");
    QCOMPARE(languages->currentData().toString(), QString("ru"));

    languages->setCurrentIndex(languages->findData("en"));
    emit languages->activated(languages->currentIndex());
    QCOMPARE(window.currentLanguage(), QString("en"));
    QCOMPARE(readSetting("Language", "lang").toString(), QString("en"));
    QCOMPARE(child<QLabel>(&window, "mainTitleWindow")->text(), QString("Configurator"));
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), QString("&Yes"));
    QCoreApplication::sendPostedEvents(); // the open box follows the language change
    QVERIFY(child<QLabel>(about, "aboutText")->text().endsWith(version));
    QVERIFY(!child<QLabel>(about, "aboutText")->text().contains("Конфигуратор"));
    click(about, "okPushButton");
    processDeletions();
    QVERIFY(about.isNull());

    window.aboutShow();
    about = window.findChild<AboutForm *>();
    QCOMPARE(child<QComboBox>(about, "languageComboBox")->currentData().toString(), QString("en"));
}

void TestDialogs::settingsDialog_data()
{
    QTest::addColumn<bool>("stored"); // polling as stored before the start
    QTest::newRow("switched off") << true;
    QTest::newRow("switched on") << false;
}

// On the first start "Survey/Status" is stored as on. Switched in the settings dialog, it is
// stored so, and the ready state polls as the dialog says, also after a visit to the console
// page (which stops polling while it is shown).
void TestDialogs::settingsDialog()
{
    QFETCH(bool, stored);
    TempProgramDir dir(true);
    BoxRecorder boxes;
    if (!stored)
        writeSetting("Survey", "Status", false);
    MainWindow window(nullptr, "ru_RU");
    QCOMPARE(readSetting("Survey", "Status"), QVariant(stored));
    QTimer *status = MainWindowTestAccess::statusTimer(window);
    window.setGlobalState(3);
    QCOMPARE(status->isActive(), stored);

    QTest::mouseClick(child<QPushButton>(&window, "settingsButton"), Qt::LeftButton);
    auto *form = window.findChild<SettingsForm *>();
    QVERIFY(form && form->isVisible());
    child<QCheckBox>(form, "statusCheckBox")->setChecked(!stored);
    click(form, "saveButton");
    QCOMPARE(readSetting("Survey", "Status").toBool(), !stored);
    QCOMPARE(status->isActive(), !stored);
    window.setGlobalState(3);
    QCOMPARE(status->isActive(), !stored);

    window.hotkeysCtrlAltC();
    auto *pages = child<QListWidget>(&window, "terminalMenu");
    window.itemSelected(pages->model()->index(1, 0));
    QVERIFY(!status->isActive());
    window.itemSelected(pages->model()->index(0, 0));
    QCOMPARE(status->isActive(), !stored);
}

void TestDialogs::help_data()
{
    QTest::addColumn<QString>("folder"); // files of the help folder; "-" for no folder
    QTest::addColumn<QString>("opened");
    QTest::newRow("newest PDF") << "old guide.pdf,new#guide.pdf,notes.txt,link.pdf"
                                << "new#guide.pdf";
    QTest::newRow("empty folder") << "" << QString();
    QTest::newRow("no folder") << "-" << QString();
}

void TestDialogs::help()
{
    QFETCH(QString, folder);
    QFETCH(QString, opened);
    WindowRig rig;
    const QString help = rig.dir.filePath("help/");
    if (folder != "-")
        QVERIFY(QDir(rig.dir.path()).mkdir("help"));
    // Files a day apart, the oldest first; a text file is newest, and a link is no file of the
    // folder, however new.
    const QDateTime now = QDateTime::currentDateTime();
    int age = 3;
    for (const QString &name : folder.split(',', Qt::SkipEmptyParts)) {
        if (name == "link.pdf")
            QVERIFY(QFile::link(help + "old guide.pdf", help + name));
        else if (name != "-")
            QVERIFY(writeFile(help + name, "%PDF-1.4 " + name.toUtf8(), now.addDays(-age--)));
    }
    const QString workingDir = QDir::currentPath();
    rig.w().helpShow();
    if (opened.isEmpty()) {
        QVERIFY(rig.boxes.openedUrls.isEmpty());
        QCOMPARE(rig.boxes.describe(), QString("Warning Справка | Отсутствует файл справки."));
    } else {
        QCOMPARE(rig.boxes.describe(), QString());
        QCOMPARE(rig.boxes.openedUrls, QList<QUrl>({QUrl::fromLocalFile(help + opened)}));
    }
    QCOMPARE(QDir::currentPath(), workingDir);
}

void TestDialogs::statusCalcFromWindow()
{
    WindowRig rig;
    MainWindow &window = rig.w();
    window.runStatusCalc("0x0000000F");
    QPointer<StatusCalc> calc = window.findChild<StatusCalc *>();
    QVERIFY(calc && calc->isVisible());
    QCOMPARE(child<QLineEdit>(calc, "statusCode")->text(), QString("0000000F"));
    calc->setSupportStatusMask(0x3);
    calc->decryptStatus();
    QCOMPARE(child<QTableWidget>(calc, "tableWidget")->item(0, 1)->text(), QString("Ниже порога"));

    // A second calculator; a refresh in the first decodes in the first, and the first one
    // closing does not cut the window off from the second.
    window.runStatusCalc("2");
    QPointer<StatusCalc> second;
    for (StatusCalc *other : window.findChildren<StatusCalc *>())
        if (other != calc)
            second = other;
    child<QLineEdit>(calc, "statusCode")->setText("0");
    click(calc, "refreshStatusButton");
    QVERIFY(child<QTableWidget>(calc, "tableWidget")->item(0, 1)->text() != "Ниже порога");
    QCOMPARE(child<QLineEdit>(second, "statusCode")->text(), QString("2"));
    click(calc, "closeStatusCalcButton");
    processDeletions();
    QVERIFY(calc.isNull() && second);
    second->setSupportStatusMask(0x3);
    child<QLineEdit>(second, "statusCode")->setText("3");
    click(second, "refreshStatusButton");
    auto *table = child<QTableWidget>(second, "tableWidget");
    QCOMPARE(table->rowCount(), 2);
    table->cellWidget(1, 2)->findChild<QCheckBox *>()->click();
    second->close();
    processDeletions();

    // The next calculator starts with the events ticked in the last one.
    window.runStatusCalc();
    calc = window.findChild<StatusCalc *>();
    QCOMPARE(child<QLineEdit>(calc, "statusCode")->text(), QString("00000000"));
    QCOMPARE(calc->eventMask(), 0x2u);
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
