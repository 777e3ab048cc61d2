// The configuration form and its two documents: edits, reads, files, write and close.
#include "deviceinterface.h"
#include "mainwindowaccess.h"

namespace {

// A configuration document as a file or the device link carries it.
QByteArray document(const QByteArray &elements, const QByteArray &root = "configuration")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<" + root + ">\n" + elements + "</" + root
           + ">\n";
}

// A document without its declaration, which a parsed document writes with single quotes.
QByteArray body(const QByteArray &xml)
{
    return xml.mid(xml.indexOf('\n') + 1);
}

const QByteArray kReadElements = " <rs485_addr_220 param=\"26\"/>\n"
                                 " <rs485_speed_220 param=\"9600\"/>\n"
                                 " <gen_stat_220 param=\"1\"/>\n"
                                 " <pull_up_220 param=\"2\"/>\n"
                                 " <gen_mode_220 param=\"0\"/>\n";

// A window whose reader runs firmware 1.3.2 (the current group of the shipped database), with
// the device link's write sequence taken off: the test sees what the window hands over.
struct Rig : WindowRig
{
    Rig()
    {
        QObject::disconnect(window.get(), &MainWindow::startWriteConfiguration,
                            window->deviceInterface(), nullptr);
        QObject::connect(window.get(), &MainWindow::startWriteConfiguration, window.get(),
                         [this](QBuffer *buffer) { writes << buffer->data(); });
        // As after the first port listing and in a read: what the read puts into the form is
        // no edit. The real listing does not come later and close the connections.
        MainWindowTestAccess::portTimer(*window)->stop();
        window->setGlobalState(0);
        window->setGlobalState(4);
        window->setCurrentFwVer_220("1.3.2", "", "220", "Zemo220");
    }
    // The form as a read of the reader fills it, then the ready state.
    void loadRead(const QByteArray &elements = kReadElements)
    {
        QBuffer buffer;
        buffer.setData(document(elements));
        window->readXmlBuffer(&buffer);
    }
    void editAddress(const QString &text)
    {
        get<QLineEdit>("setAddrLine")->setText(text);
        emit get<QLineEdit>("setAddrLine")->editingFinished();
    }
    // Address, speed, and the generation, pull-up and generation-type indexes: "26 9600 1 2 0".
    QString form()
    {
        return QString("%1 %2 %3 %4 %5")
                .arg(get<QLineEdit>("setAddrLine")->text(),
                     get<QComboBox>("setBaudComboBox")->currentText())
                .arg(get<QComboBox>("genComboBox")->currentIndex())
                .arg(get<QComboBox>("pullUpComboBox")->currentIndex())
                .arg(get<QComboBox>("genTypeComboBox")->currentIndex());
    }
    QByteArray changes() { return window->changesXml().toUtf8(); }
    QByteArray configuration() { return window->configurationXml().toUtf8(); }
    // Opens a file through the open button's dialog.
    void open(const QString &path)
    {
        boxes.fileAnswers << path;
        window->openFileSlot();
    }
    // What each write handed to the device link.
    QList<QByteArray> writes;
};

} // namespace

class TestMainWindowConfig : public QObject
{
    Q_OBJECT
private slots:
    void edits_data();
    void edits();
    void readFillsTheFormOnce();
    void openFile_data();
    void openFile();
    void saveAndOpenAgain();
    void write();
    void closeWithChanges_data();
    void closeWithChanges();
    void writeTakesWhatTheFormShows_data();
    void writeTakesWhatTheFormShows();
};

void TestMainWindowConfig::edits_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("element");
    auto row = [](const char *name, const char *field, const char *value, const char *element) {
        QTest::newRow(name) << field << value << QByteArray(element);
    };
    row("address 27", "setAddrLine", "27", " <rs485_addr_220 param=\"1b\"/>\n");
    row("address 254", "setAddrLine", "254", " <rs485_addr_220 param=\"fe\"/>\n");
    row("speed by text", "setBaudComboBox", "57600", " <rs485_speed_220 param=\"57600\"/>\n");
    row("generation state", "genComboBox", "Выключена", " <gen_stat_220 param=\"0\"/>\n");
    row("pull-up", "pullUpComboBox", "Подтяжка к питанию", " <pull_up_220 param=\"1\"/>\n");
    row("generation type", "genTypeComboBox", "По событию", " <gen_mode_220 param=\"2\"/>\n");
}

void TestMainWindowConfig::edits()
{
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(QByteArray, element);
    Rig rig;
    rig.loadRead();
    QVERIFY(rig.changes().isEmpty());
    if (field == "setAddrLine")
        rig.editAddress(value);
    else
        rig.get<QComboBox>(field)->setCurrentText(value);
    QCOMPARE(rig.changes(), document(element));
    QVERIFY2(rig.configuration().endsWith(element + "</configuration>\n"),
             rig.configuration().constData());
    // An edit reaches the link only through a write: the reader answers where it was read.
    DeviceInterface *device = rig.w().deviceInterface();
    QCOMPARE(QString("%1 %2").arg(device->rememberedAddress()).arg(device->rememberedSpeed()),
             QString("26 9600"));

    // An element changed again moves to the end of the changes.
    rig.get<QComboBox>("genComboBox")->setCurrentIndex(0);
    rig.editAddress("27");
    QVERIFY2(rig.changes().endsWith("<gen_stat_220 param=\"0\"/>\n"
                                    " <rs485_addr_220 param=\"1b\"/>\n</configuration>\n"),
             rig.changes().constData());
}

// A whole read into the form is shown by the session over the simulated bus; here the buffers
// that follow it.
void TestMainWindowConfig::readFillsTheFormOnce()
{
    Rig rig;
    rig.loadRead();
    QCOMPARE(rig.form(), QString("26 9600 1 2 0"));
    QCOMPARE(rig.w().deviceInterface()->rememberedSpeed(), 9600);
    QVERIFY(rig.changes().isEmpty());
    // Later buffers (each poll answer) do not refill the form, but keep the ready state.
    rig.get<QLineEdit>("setAddrLine")->setText("7");
    rig.w().setGlobalState(4);
    rig.w().setGlobalState(3);
    rig.loadRead(" <rs485_addr_220 param=\"99\"/>\n");
    QCOMPARE(rig.form(), QString("7 9600 1 2 0"));
    QCOMPARE(rig.w().globalState(), 3);
}

void TestMainWindowConfig::openFile_data()
{
    QTest::addColumn<QString>("file"); // answered in the dialog; "" cancels it
    QTest::addColumn<QByteArray>("content"); // written to the file unless empty
    QTest::addColumn<QString>("outcome"); // opened, refused, or nothing happens
    const QByteArray mode = " <gen_mode_220 param=\"1\"/>\n";
    const QByteArray three = document(
            " <rs485_speed_220 param=\"38400\"/>\n"
            " <gen_stat_220 param=\"0\"/>\n <pull_up_220 param=\"1\"/>\n");
    QTest::newRow("configuration") << "a.xml" << three << "opened";
    QTest::newRow("foreign root") << "a.xml" << document(mode, "settings") << "refused";
    QTest::newRow("damaged") << "a.xml" << document(mode).left(70) << "refused";
    QTest::newRow("not xml") << "a.xml" << QByteArray("\x01\x02 binary") << "refused";
    QTest::newRow("empty") << "empty.xml" << QByteArray() << "refused";
    // Values the form could not have made are refused like a foreign file: the address 1 to 254
    // as hexadecimal digits, a speed of the firmware's list, each choice an index of its list.
    auto value = [](const char *element) {
        return document(element);
    };
    QTest::newRow("address 255") << "a.xml" << value(" <rs485_addr_220 param=\"ff\"/>\n")
                                 << "refused";
    QTest::newRow("address 0") << "a.xml" << value(" <rs485_addr_220 param=\"0\"/>\n") << "refused";
    QTest::newRow("address not hex")
            << "a.xml" << value(" <rs485_addr_220 param=\"0x1a\"/>\n") << "refused";
    QTest::newRow("speed off the list")
            << "a.xml" << value(" <rs485_speed_220 param=\"12345\"/>\n") << "refused";
    QTest::newRow("speed no number")
            << "a.xml" << value(" <rs485_speed_220 param=\"fast\"/>\n") << "refused";
    QTest::newRow("choice past its list")
            << "a.xml" << value(" <pull_up_220 param=\"3\"/>\n") << "refused";
    QTest::newRow("choice negative")
            << "a.xml" << value(" <gen_stat_220 param=\"-1\"/>\n") << "refused";
    QTest::newRow("missing") << "missing.xml" << QByteArray() << "";
    QTest::newRow("cancelled") << "" << QByteArray() << "";
}

void TestMainWindowConfig::openFile()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, content);
    QFETCH(QString, outcome);
    Rig rig;
    rig.loadRead();
    rig.editAddress("30");
    const QByteArray configBefore = rig.configuration();
    const QByteArray changesBefore = rig.changes();
    const QString path = file.isEmpty() ? QString() : rig.dir.filePath(file);
    if (!file.isEmpty() && file != "missing.xml")
        QVERIFY(writeTestFile(rig.dir.filePath(file), content));
    rig.open(path);
    QCOMPARE(rig.boxes.fileRequests.value(0).title, QString("Открыть конфигурационный файл"));
    if (outcome == "opened") {
        // Every element of the file goes to the next write; filling the form is no edit. The
        // address typed before is no change any more: the field shows the reader's again.
        QCOMPARE(rig.boxes.describe(), QString());
        QCOMPARE(body(rig.configuration()), body(content));
        QCOMPARE(body(rig.changes()), body(content));
        QCOMPARE(rig.form(), QString("26 38400 0 1 0"));
        rig.boxes.answers << Prompt::Yes;
        rig.w().writeConfig();
        QCOMPARE(rig.writes.size(), 1);
        QCOMPARE(body(rig.writes.last()), body(content));
        return;
    }
    QCOMPARE(rig.boxes.describe(), outcome.isEmpty() ? QString()
                                                     : QString("Critical Ошибка открытия файла | "
                                                               "Файл не является файлом "
                                                               "конфигурации или поврежден"));
    // The loaded configuration and the pending change survive a bad file.
    QCOMPARE(rig.configuration(), configBefore);
    QCOMPARE(rig.changes(), changesBefore);
    QCOMPARE(rig.form(), QString("30 9600 1 2 0"));
}

void TestMainWindowConfig::saveAndOpenAgain()
{
    Rig rig;
    const QString failed = "Critical Ошибка | Ошибка сохранения конфигурации";
    // Nothing loaded yet: nothing to save.
    rig.boxes.fileAnswers << rig.dir.filePath("nothing.xml");
    rig.w().saveFileSlot();
    QCOMPARE(rig.boxes.describe(), failed);
    QVERIFY(!QFile::exists(rig.dir.filePath("nothing.xml")));
    rig.boxes.clear();

    rig.loadRead();
    rig.get<QComboBox>("genComboBox")->setCurrentIndex(0);
    const QString path = rig.dir.filePath("saved.xml");
    QVERIFY(writeTestFile(path, "an older file"));
    rig.boxes.fileAnswers << path;
    rig.w().saveFileSlot();
    QCOMPARE(rig.boxes.describe(), QString());
    const FileRequest &request = rig.boxes.fileRequests.at(0);
    QCOMPARE(request.title + "; " + request.proposed,
             QString("Сохранить конфигурацию; config_zemo220.xml"));
    // The address as the write sequence takes it, the edited element last.
    QCOMPARE(body(readTestFile(path)), body(document(" <rs485_addr_220 param=\"1a\"/>\n"
                                                     " <rs485_speed_220 param=\"9600\"/>\n"
                                                     " <pull_up_220 param=\"2\"/>\n"
                                                     " <gen_mode_220 param=\"0\"/>\n"
                                                     " <gen_stat_220 param=\"0\"/>\n")));

    rig.editAddress("100");
    rig.get<QComboBox>("pullUpComboBox")->setCurrentIndex(0);
    rig.open(path);
    QCOMPARE(rig.form(), QString("26 9600 0 2 0"));
    QCOMPARE(body(rig.configuration()), body(readTestFile(path)));

    // A target that cannot be written; then a cancelled dialog, which is no failure.
    QVERIFY(QDir(rig.dir.path()).mkdir("folder.xml"));
    rig.boxes.fileAnswers << rig.dir.filePath("folder.xml");
    rig.w().saveFileSlot();
    rig.w().saveFileSlot();
    QCOMPARE(rig.boxes.describe(), failed);
}

void TestMainWindowConfig::write()
{
    Rig rig;
    MainWindow &w = rig.w();
    rig.loadRead();
    // Nothing to write: no question.
    w.writeConfig();
    QCOMPARE(
            rig.boxes.describe(),
            QString("Information Запись конфигурации | Отсутствуют изменения для записи в модуль"));
    rig.boxes.clear();
    rig.editAddress("30");
    rig.get<QComboBox>("genTypeComboBox")->setCurrentIndex(1);

    // No: back to the ready state, the changes stay; a box closed without an answer: nothing.
    rig.boxes.answers << Prompt::No << Prompt::NoButton << Prompt::Yes;
    w.setGlobalState(6);
    w.writeConfig();
    QCOMPARE(w.globalState(), 3);
    w.writeConfig();
    QCOMPARE(rig.writes.size(), 0);
    // Yes: exactly the changed elements go to the device link, and are then forgotten.
    w.writeConfig();
    QCOMPARE(rig.writes, QList<QByteArray>({document(" <rs485_addr_220 param=\"1e\"/>\n"
                                                     " <gen_mode_220 param=\"1\"/>\n")}));
    QVERIFY(rig.changes().isEmpty());
    const QString question = "Question Запись конфигурации | Записать конфигурацию в модуль?";
    QCOMPARE(rig.boxes.describe(), question + "\n" + question + "\n" + question);

    // A firmware the database does not know is not written.
    rig.editAddress("5");
    w.setCurrentFwVer_220("0.1.0", "", "220", "Zemo220");
    rig.boxes.clear();
    w.writeConfig();
    QCOMPARE(rig.boxes.describe().section('\n', -1),
             QString("Warning Предупреждение | Версия прошивки модуля не поддерживается "
                     "конфигуратором"));
    QCOMPARE(rig.writes.size(), 1);
}

void TestMainWindowConfig::closeWithChanges_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<bool>("written");
    QTest::newRow("ready, write") << 3 << int(Prompt::Yes) << true << false << true;
    QTest::newRow("ready, discard") << 3 << int(Prompt::No) << true << true << false;
    QTest::newRow("ready, box closed") << 3 << int(Prompt::NoButton) << true << false << false;
    QTest::newRow("not responding") << 6 << int(Prompt::Yes) << false << true << false;
    QTest::newRow("closed") << 0 << int(Prompt::Yes) << false << true << false;
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
    rig.loadRead();
    rig.editAddress("30");
    w.setGlobalState(state);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    rig.boxes.answers << Prompt::Button(answer);
    QTest::mouseClick(rig.get<QPushButton>("closeMainWindow"), Qt::LeftButton);
    QCOMPARE(rig.boxes.describe(),
             asked ? QString("Question Предупреждение | Имеются не записанные в модуль изменения."
                             "\nЗаписать изменения в модуль?")
                   : QString());
    QCOMPARE(!w.isVisible(), closed);
    QCOMPARE(rig.writes.size(), written ? 1 : 0);
    QCOMPARE(MainWindowTestAccess::closeAfterWrite(w), written);
    if (!written)
        return;
    // The reader's reboot after the write ends the event loop; the reboot box is still shown.
    QEventLoop loop;
    QTimer::singleShot(0, &w, [&w] { w.setGlobalState(7); });
    QTimer::singleShot(5000, &loop, [&loop] { loop.exit(1); });
    QCOMPARE(loop.exec(), 0);
    QCOMPARE(rig.boxes.boxes.last().text, QString("Устройство перезагружается..."));
}

void TestMainWindowConfig::writeTakesWhatTheFormShows_data()
{
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QByteArray>("written"); // empty: nothing to write
    // Write is pressed while the address field still has the focus: the field never lost it.
    QTest::newRow("address typed, not left")
            << "type" << QByteArray(" <rs485_addr_220 param=\"1e\"/>\n");
    // Focus in and out of the field without a change, or edits taken back: no reboot for them.
    QTest::newRow("address field entered and left") << "leave" << QByteArray();
    QTest::newRow("address typed back") << "address back" << QByteArray();
    QTest::newRow("choice taken back") << "choice back" << QByteArray();
}

// The write takes what the fields show when it is asked for, and a value equal to the reader's
// is no change.
void TestMainWindowConfig::writeTakesWhatTheFormShows()
{
    QFETCH(QString, edit);
    QFETCH(QByteArray, written);
    Rig rig;
    rig.loadRead();
    auto *address = rig.get<QLineEdit>("setAddrLine");
    if (edit == "type") {
        address->clear();
        QTest::keyClicks(address, "30");
    } else if (edit == "leave") {
        emit address->editingFinished();
    } else if (edit == "address back") {
        rig.editAddress("30");
        rig.editAddress("26");
    } else {
        rig.get<QComboBox>("genTypeComboBox")->setCurrentIndex(1);
        rig.get<QComboBox>("genTypeComboBox")->setCurrentIndex(0);
    }
    rig.boxes.answers << Prompt::Yes;
    rig.w().writeConfig();
    if (written.isEmpty()) {
        QCOMPARE(rig.boxes.describe(), QString("Information Запись конфигурации | Отсутствуют "
                                               "изменения для записи в модуль"));
        QCOMPARE(rig.writes.size(), 0);
    } else {
        QCOMPARE(rig.writes, QList<QByteArray> {document(written)});
    }
}

QTEST_MAIN(TestMainWindowConfig)
#include "tst_mainwindow_config.moc"
