// The configuration form and its two documents: edits, reads, files, write and close.
#include "deviceinterface.h"
#include "mainwindowaccess.h"
#include "testsupport.h"

#include <QBuffer>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace {

const char *const kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

// A configuration document as a file or the device link carries it.
QByteArray document(const QByteArray &elements, const QByteArray &root = "configuration")
{
    return kDeclaration + ("<" + root + ">\n" + elements + "</" + root + ">\n");
}

// A document without its declaration, which a parsed document writes with single quotes.
QByteArray body(const QByteArray &xml)
{
    return xml.mid(xml.indexOf('\n') + 1);
}

// A window whose reader runs firmware 1.3.2 (the current group of the shipped database), with
// the device link's write sequence taken off: the test sees what the window hands over.
struct Rig
{
    Rig()
    {
        window.reset(new MainWindow(nullptr, "ru_RU"));
        QObject::disconnect(window.get(), &MainWindow::startWriteConfiguration,
                            window->deviceInterface(), nullptr);
        QObject::connect(window.get(), &MainWindow::startWriteConfiguration, window.get(),
                         [this](QBuffer *buffer) { writes << buffer->data(); });
        // As after the first port listing and in a read: what the read puts into the form is
        // no edit.
        window->setGlobalState(0);
        window->setGlobalState(4);
        window->setCurrentFwVer_220("1.3.2", "", "220", "Zemo220");
    }
    MainWindow &w() { return *window; }
    // The form as a read of the reader fills it, then the ready state.
    void loadRead(const QByteArray &elements)
    {
        QBuffer buffer;
        buffer.setData(document(elements));
        window->readXmlBuffer(&buffer);
    }
    void editAddress(const QString &text)
    {
        auto *line = child<QLineEdit>(window.get(), "setAddrLine");
        line->setText(text);
        emit line->editingFinished();
    }
    // What each write handed to the device link.
    QList<QByteArray> writes;

    TempProgramDir dir {true};
    BoxRecorder boxes;
    std::unique_ptr<MainWindow> window;
};

const QByteArray kReadElements = " <rs485_addr_220 param=\"26\"/>\n"
                                 " <rs485_speed_220 param=\"9600\"/>\n"
                                 " <gen_stat_220 param=\"1\"/>\n"
                                 " <pull_up_220 param=\"2\"/>\n"
                                 " <gen_mode_220 param=\"0\"/>\n";

} // namespace

class TestMainWindowConfig : public QObject
{
    Q_OBJECT
private slots:
    void edits_data();
    void edits();
    void changedElementMovesToTheEnd();
    void readFillsTheFormOnce();
    void openFile_data();
    void openFile();
    void openedFileIsWrittenWhole();
    void saveAndOpenAgain();
    void saveFailures();
    void write();
    void closeWithChanges_data();
    void closeWithChanges();
    void closeAfterWriteQuitsOnReboot();
};

void TestMainWindowConfig::edits_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("element");
    QTest::newRow("address 26") << "setAddrLine"
                                << "26" << QByteArray(" <rs485_addr_220 param=\"1a\"/>\n");
    QTest::newRow("address 254") << "setAddrLine"
                                 << "254" << QByteArray(" <rs485_addr_220 param=\"fe\"/>\n");
    QTest::newRow("speed by text")
            << "setBaudComboBox"
            << "57600" << QByteArray(" <rs485_speed_220 param=\"57600\"/>\n");
    QTest::newRow("generation state")
            << "genComboBox"
            << "Выключена" << QByteArray(" <gen_stat_220 param=\"0\"/>\n");
    QTest::newRow("pull-up") << "pullUpComboBox"
                             << "Подтяжка к питанию" << QByteArray(" <pull_up_220 param=\"1\"/>\n");
    QTest::newRow("generation type")
            << "genTypeComboBox"
            << "По событию" << QByteArray(" <gen_mode_220 param=\"2\"/>\n");
}

void TestMainWindowConfig::edits()
{
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(QByteArray, element);
    Rig rig;
    rig.loadRead(kReadElements);
    QVERIFY(rig.w().changesXml().isEmpty());

    if (field == "setAddrLine")
        rig.editAddress(value);
    else
        child<QComboBox>(&rig.w(), qPrintable(field))->setCurrentText(value);

    QCOMPARE(rig.w().changesXml().toUtf8(), document(element));
    QVERIFY2(rig.w().configurationXml().toUtf8().endsWith(element + "</configuration>\n"),
             qPrintable(rig.w().configurationXml()));
    QVERIFY(child<QPushButton>(&rig.w(), "writeConfigButton")->isEnabled());
    QVERIFY(child<QPushButton>(&rig.w(), "saveFileButton")->isEnabled());
    if (field == "setAddrLine")
        QCOMPARE(rig.w().deviceInterface()->rememberedAddress(), value.toInt());
    if (field == "setBaudComboBox")
        QCOMPARE(rig.w().deviceInterface()->rememberedSpeed(), value.toInt());
}

void TestMainWindowConfig::changedElementMovesToTheEnd()
{
    Rig rig;
    rig.w().setGlobalState(3);
    rig.editAddress("26");
    child<QComboBox>(&rig.w(), "genComboBox")->setCurrentIndex(1);
    rig.editAddress("27");
    QCOMPARE(rig.w().changesXml().toUtf8(), document(" <gen_stat_220 param=\"1\"/>\n"
                                                     " <rs485_addr_220 param=\"1b\"/>\n"));
}

void TestMainWindowConfig::readFillsTheFormOnce()
{
    Rig rig;
    LogCapture log;
    rig.loadRead(kReadElements);
    MainWindow &w = rig.w();
    QCOMPARE(child<QLineEdit>(&w, "setAddrLine")->text(), QString("26"));
    QCOMPARE(child<QComboBox>(&w, "setBaudComboBox")->currentText(), QString("9600"));
    QCOMPARE(child<QComboBox>(&w, "genComboBox")->currentIndex(), 1);
    QCOMPARE(child<QComboBox>(&w, "pullUpComboBox")->currentIndex(), 2);
    QCOMPARE(child<QComboBox>(&w, "genTypeComboBox")->currentIndex(), 0);
    QCOMPARE(w.deviceInterface()->rememberedAddress(), 26);
    QCOMPARE(w.deviceInterface()->rememberedSpeed(), 9600);
    QCOMPARE(w.globalState(), 3);
    QCOMPARE(child<QLabel>(&w, "mainTitleWindow")->text(), QString("Конфигуратор\tЗемо220"));
    QVERIFY(log.contains("Configuration read OK"));
    QVERIFY(log.contains("XML file loaded"));
    // Filling the form is no edit.
    QVERIFY(w.changesXml().isEmpty());
    // The document keeps the address the way the write sequence takes it.
    QVERIFY2(w.configurationXml().contains("<rs485_addr_220 param=\"1a\"/>"),
             qPrintable(w.configurationXml()));

    // Later buffers (each poll answer) do not refill the form, but keep the ready state.
    child<QLineEdit>(&w, "setAddrLine")->setText("7");
    w.setGlobalState(4);
    w.setGlobalState(3);
    rig.loadRead(" <rs485_addr_220 param=\"99\"/>\n");
    QCOMPARE(child<QLineEdit>(&w, "setAddrLine")->text(), QString("7"));
    QCOMPARE(w.globalState(), 3);
    QCOMPARE(child<QLabel>(&w, "mainTitleWindow")->text(), QString("Конфигуратор\tЗемо220"));
}

void TestMainWindowConfig::openFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("configuration")
            << document(" <gen_mode_220 param=\"1\"/>\n <rs485_addr_220 param=\"b\"/>\n") << true;
    QTest::newRow("foreign root") << document(" <gen_mode_220 param=\"1\"/>\n", "settings")
                                  << false;
    QTest::newRow("damaged") << document(" <gen_mode_220 param=\"1\"/>\n").left(70) << false;
    QTest::newRow("not xml") << QByteArray("\x01\x02 binary") << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void TestMainWindowConfig::openFile()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, accepted);
    Rig rig;
    MainWindow &w = rig.w();
    rig.loadRead(kReadElements);
    rig.editAddress("30");
    const QString configBefore = w.configurationXml();
    const QString changesBefore = w.changesXml();

    const QString path = rig.dir.filePath("config.xml");
    QVERIFY(writeFile(path, content));
    rig.boxes.fileAnswers << path;
    w.openFileSlot();

    QCOMPARE(rig.boxes.fileRequests.size(), 1);
    QCOMPARE(rig.boxes.fileRequests.at(0).kind, FileRequest::Open);
    QCOMPARE(rig.boxes.fileRequests.at(0).title, QString("Открыть конфигурационный файл"));
    QCOMPARE(rig.boxes.fileRequests.at(0).filter, QString("XML Files (*.xml);;All Files (*.*)"));
    if (accepted) {
        QCOMPARE(rig.boxes.boxes.size(), 0);
        QCOMPARE(body(w.configurationXml().toUtf8()), body(content));
        QCOMPARE(body(w.changesXml().toUtf8()), body(content));
        QCOMPARE(child<QComboBox>(&w, "genTypeComboBox")->currentIndex(), 1);
        QCOMPARE(child<QLineEdit>(&w, "setAddrLine")->text(), QString("11"));
    } else {
        QCOMPARE(rig.boxes.boxes.size(), 1);
        QCOMPARE(rig.boxes.boxes.at(0).icon, QMessageBox::Critical);
        QCOMPARE(rig.boxes.boxes.at(0).title, QString("Ошибка открытия файла"));
        QCOMPARE(rig.boxes.boxes.at(0).text,
                 QString("Файл не является файлом конфигурации или поврежден"));
        // The loaded configuration and the pending change survive a bad file.
        QCOMPARE(w.configurationXml(), configBefore);
        QCOMPARE(w.changesXml(), changesBefore);
        QCOMPARE(child<QLineEdit>(&w, "setAddrLine")->text(), QString("30"));
    }
    // Filling the form from the file is no edit of its own.
    QCOMPARE(w.changesXml().count("<gen_mode_220"), accepted ? 1 : 0);
}

void TestMainWindowConfig::openedFileIsWrittenWhole()
{
    Rig rig;
    MainWindow &w = rig.w();
    rig.loadRead(kReadElements);

    // Nothing to write, no question; a cancelled or missing file changes nothing.
    w.writeConfig();
    QCOMPARE(rig.boxes.boxes.size(), 1);
    QCOMPARE(rig.boxes.boxes.at(0).text, QString("Отсутствуют изменения для записи в модуль"));
    rig.boxes.fileAnswers << QString() << rig.dir.filePath("missing.xml");
    w.openFileSlot();
    w.openFileSlot();
    QCOMPARE(rig.boxes.boxes.size(), 1);

    const QByteArray file = document(" <rs485_speed_220 param=\"38400\"/>\n"
                                     " <gen_stat_220 param=\"0\"/>\n"
                                     " <pull_up_220 param=\"1\"/>\n");
    QVERIFY(writeFile(rig.dir.filePath("three.xml"), file));
    rig.boxes.fileAnswers << rig.dir.filePath("three.xml");
    w.openFileSlot();
    rig.boxes.answers << QMessageBox::Yes;
    w.writeConfig();
    QCOMPARE(rig.writes.size(), 1);
    QCOMPARE(body(rig.writes.last()), body(file));
    QVERIFY(w.changesXml().isEmpty());
}

void TestMainWindowConfig::saveAndOpenAgain()
{
    Rig rig;
    MainWindow &w = rig.w();
    rig.loadRead(kReadElements);
    child<QComboBox>(&w, "genComboBox")->setCurrentIndex(0);

    const QString path = rig.dir.filePath("saved.xml");
    QVERIFY(writeFile(path, "an older file"));
    rig.boxes.fileAnswers << path;
    w.saveFileSlot();
    QCOMPARE(rig.boxes.boxes.size(), 0);
    QCOMPARE(rig.boxes.fileRequests.at(0).kind, FileRequest::Save);
    QCOMPARE(rig.boxes.fileRequests.at(0).title, QString("Сохранить конфигурацию"));
    QCOMPARE(rig.boxes.fileRequests.at(0).proposed, QString("config_zemo220.xml"));
    QCOMPARE(rig.boxes.fileRequests.at(0).filter, QString("XML Files (*.xml)"));
    // The address as the write sequence takes it, the edited element last.
    QVERIFY(readFile(path).startsWith("<?xml version='1.0' encoding='UTF-8'?>\n"));
    QCOMPARE(body(readFile(path)), body(document(" <rs485_addr_220 param=\"1a\"/>\n"
                                                 " <rs485_speed_220 param=\"9600\"/>\n"
                                                 " <pull_up_220 param=\"2\"/>\n"
                                                 " <gen_mode_220 param=\"0\"/>\n"
                                                 " <gen_stat_220 param=\"0\"/>\n")));

    rig.editAddress("100");
    child<QComboBox>(&w, "pullUpComboBox")->setCurrentIndex(0);
    rig.boxes.fileAnswers << path;
    w.openFileSlot();
    QCOMPARE(child<QLineEdit>(&w, "setAddrLine")->text(), QString("26"));
    QCOMPARE(child<QComboBox>(&w, "pullUpComboBox")->currentIndex(), 2);
    QCOMPARE(child<QComboBox>(&w, "genComboBox")->currentIndex(), 0);
    QCOMPARE(body(w.configurationXml().toUtf8()), body(readFile(path)));
}

void TestMainWindowConfig::saveFailures()
{
    Rig rig;
    MainWindow &w = rig.w();
    // Nothing loaded yet: nothing to save.
    rig.boxes.fileAnswers << rig.dir.filePath("nothing.xml");
    w.saveFileSlot();
    QCOMPARE(rig.boxes.boxes.size(), 1);
    QCOMPARE(rig.boxes.boxes.at(0).title, QString("Ошибка"));
    QCOMPARE(rig.boxes.boxes.at(0).text, QString("Ошибка сохранения конфигурации"));
    QVERIFY(!QFile::exists(rig.dir.filePath("nothing.xml")));

    // A target that cannot be written.
    rig.loadRead(kReadElements);
    QVERIFY(QDir(rig.dir.path()).mkdir("folder.xml"));
    rig.boxes.fileAnswers << rig.dir.filePath("folder.xml");
    w.saveFileSlot();
    QCOMPARE(rig.boxes.boxes.size(), 2);
    QCOMPARE(rig.boxes.boxes.at(1).text, QString("Ошибка сохранения конфигурации"));

    // A cancelled dialog is no failure.
    w.saveFileSlot();
    QCOMPARE(rig.boxes.boxes.size(), 2);
}

void TestMainWindowConfig::write()
{
    Rig rig;
    MainWindow &w = rig.w();
    rig.loadRead(kReadElements);
    rig.editAddress("26");
    child<QComboBox>(&w, "genTypeComboBox")->setCurrentIndex(1);
    const QByteArray changes = document(" <rs485_addr_220 param=\"1a\"/>\n"
                                        " <gen_mode_220 param=\"1\"/>\n");

    // No: back to the ready state, the changes stay.
    rig.boxes.answers << QMessageBox::No;
    w.setGlobalState(6);
    w.writeConfig();
    QCOMPARE(rig.boxes.boxes.size(), 1);
    QCOMPARE(rig.boxes.boxes.at(0).icon, QMessageBox::Question);
    QCOMPARE(rig.boxes.boxes.at(0).title, QString("Запись конфигурации"));
    QCOMPARE(rig.boxes.boxes.at(0).text, QString("Записать конфигурацию в модуль?"));
    QCOMPARE(w.globalState(), 3);
    QCOMPARE(rig.writes.size(), 0);

    // Closed without an answer: nothing.
    rig.boxes.answers << QMessageBox::NoButton;
    w.writeConfig();
    QCOMPARE(rig.writes.size(), 0);

    // Yes: exactly the changed elements go to the device link, and are then forgotten.
    rig.boxes.answers << QMessageBox::Yes;
    w.writeConfig();
    QCOMPARE(rig.writes.size(), 1);
    QCOMPARE(rig.writes.last(), changes);
    QVERIFY(w.changesXml().isEmpty());

    // A firmware the database does not know is not written.
    rig.editAddress("5");
    w.setCurrentFwVer_220("0.1.0", "", "220", "Zemo220");
    QVERIFY(!MainWindowTestAccess::fwSupported(w));
    const int boxesBefore = rig.boxes.boxes.size();
    w.writeConfig();
    QCOMPARE(rig.boxes.boxes.size(), boxesBefore + 1);
    QCOMPARE(rig.boxes.boxes.last().title, QString("Предупреждение"));
    QCOMPARE(rig.boxes.boxes.last().text,
             QString("Версия прошивки модуля не поддерживается конфигуратором"));
    QCOMPARE(rig.writes.size(), 1);
}

void TestMainWindowConfig::closeWithChanges_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<bool>("written");
    QTest::newRow("ready, write") << 3 << int(QMessageBox::Yes) << true << false << true;
    QTest::newRow("ready, discard") << 3 << int(QMessageBox::No) << true << true << false;
    QTest::newRow("ready, box closed") << 3 << int(QMessageBox::NoButton) << true << false << false;
    QTest::newRow("not responding") << 6 << int(QMessageBox::Yes) << false << true << false;
    QTest::newRow("closed") << 0 << int(QMessageBox::Yes) << false << true << false;
}

void TestMainWindowConfig::closeWithChanges()
{
    QFETCH(int, state);
    QFETCH(int, answer);
    QFETCH(bool, asked);
    QFETCH(bool, closed);
    QFETCH(bool, written);
    Rig rig;
    MainWindow &w = rig.w();
    rig.loadRead(kReadElements);
    rig.editAddress("26");
    w.setGlobalState(state);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    rig.boxes.answers << QMessageBox::StandardButton(answer);

    QTest::mouseClick(child<QPushButton>(&w, "closeMainWindow"), Qt::LeftButton);

    QCOMPARE(rig.boxes.boxes.size(), asked ? 1 : 0);
    if (asked) {
        QCOMPARE(rig.boxes.boxes.at(0).title, QString("Предупреждение"));
        QCOMPARE(
                rig.boxes.boxes.at(0).text,
                QString("Имеются не записанные в модуль изменения.\nЗаписать изменения в модуль?"));
    }
    QCOMPARE(!w.isVisible(), closed);
    QCOMPARE(rig.writes.size(), written ? 1 : 0);
    QCOMPARE(MainWindowTestAccess::closeAfterWrite(w), written);
    if (written)
        QCOMPARE(rig.writes.last(), document(" <rs485_addr_220 param=\"1a\"/>\n"));
}

void TestMainWindowConfig::closeAfterWriteQuitsOnReboot()
{
    Rig rig;
    MainWindow &w = rig.w();
    rig.loadRead(kReadElements);
    rig.editAddress("26");
    rig.boxes.answers << QMessageBox::Yes;
    w.on_closeMainWindow_clicked();
    QVERIFY(MainWindowTestAccess::closeAfterWrite(w));

    // The reader's reboot after the write ends the event loop; the reboot box is still shown.
    QEventLoop loop;
    QTimer::singleShot(0, &w, [&w] { w.setGlobalState(7); });
    QTimer::singleShot(5000, &loop, [&loop] { loop.exit(1); });
    QCOMPARE(loop.exec(), 0);
    QCOMPARE(rig.boxes.boxes.last().text, QString("Устройство перезагружается..."));
}

QTEST_MAIN(TestMainWindowConfig)
#include "tst_mainwindow_config.moc"
