// ctest: slow
#include "apppaths.h"
#include "deviceinterface.h"
#include "firmwareimage.h"
#include "mainwindow.h"
#include "settings.h"
#include "simbus.h"
#include "testsupport.h"
#include "updateserversim.h"
#include "updatetestfiles.h"
#include "updateunpacker.h"
#include "ziptestfile.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

namespace {
const QString kCheckTitle = QStringLiteral("Проверка обновлений");
const QString kNothingNew = QStringLiteral("На сервере нет доступных обновлений");
const QString kNewFirmware = QStringLiteral("Доступна новая версия прошивки");
const QString kSwQuestion = QStringLiteral(
        "Обновление конфигуратора | Доступно обновление конфигуратора v0.4.0<br>Загрузить "
        "обновление?");

void press(QPushButton *button)
{
    QVERIFY(button);
    QVERIFY2(button->isEnabled(), qPrintable(button->objectName()));
    QTest::mousePress(button, Qt::LeftButton);
    QTest::mouseRelease(button, Qt::LeftButton);
}

// A firmware image file for the model-200 reader, version 1.5.0, with code in page 0.
QByteArray newFirmwareFile()
{
    const QByteArray header = firmwareTestImage(200, 1, 5, 0, 16);
    QByteArray code(64, '\0');
    for (int i = 0; i < code.size(); ++i)
        code[i] = char(i * 3);
    return FirmwareImage::pack(header, {{0x3800, code}});
}
} // namespace

// The update workflow of the real window against the update-server double: the four outcomes
// of a manual check, the configurator download handed to its script, and a downloaded image
// uploaded into a simulated model-200 reader. Boxes are answered through the Prompter seam.
class TestUpdateWorkflow : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void manualCheck_data();
    void manualCheck();
    void configuratorDownloadHandedToScript();
    void serverUnreachable();
    void serverSilent();
    void firmwareDownloadedOfferedAndUploaded();

private:
    void startServer();
    QPushButton *button(const char *name) const;
    QStringList boxTexts() const;

    QScopedPointer<TempProgramDir> m_program;
    QScopedPointer<QTemporaryDir> m_serverFolder;
    QScopedPointer<UpdateServerSim> m_server;
    QScopedPointer<BoxRecorder> m_boxes;
    QScopedPointer<MainWindow> m_window;
    QList<QStringList> m_handOvers;
};

void TestUpdateWorkflow::init()
{
    m_program.reset(new TempProgramDir(true));
    m_serverFolder.reset(new QTemporaryDir);
    UpdateServerSimSettings settings;
    settings.folder = m_serverFolder->path();
    m_server.reset(new UpdateServerSim(settings));
    const QString host = randomLoopbackAddress();
    QVERIFY(m_server->listen(QHostAddress(host)));
    writeSetting("UpdateServer", "IP", host);
    writeSetting("UpdateServer", "Port", m_server->port());
    m_boxes.reset(new BoxRecorder);
    m_handOvers.clear();
    UpdateUnpacker::setHandOver(
            [this](const QString &program, const QStringList &arguments, const QString &dir) {
                m_handOvers.append(QStringList {program} + arguments + QStringList {dir});
            });
    m_window.reset(new MainWindow(nullptr, "ru_RU"));
    QVERIFY(!m_window->startupFailed());
    // The window lists the ports once it is up, which takes it to state 0 (update button off,
    // line speed from the panel): the tests begin after that.
    QTest::qWait(300);
}

void TestUpdateWorkflow::cleanup()
{
    m_window.reset();
    UpdateUnpacker::setHandOver({});
    m_boxes.reset();
    m_server.reset();
    m_program.reset();
}

QPushButton *TestUpdateWorkflow::button(const char *name) const
{
    return m_window->findChild<QPushButton *>(QLatin1String(name));
}

QStringList TestUpdateWorkflow::boxTexts() const
{
    QStringList texts;
    for (const MessageRequest &box : m_boxes->boxes)
        texts << box.title + QStringLiteral(" | ") + box.text;
    return texts;
}

void TestUpdateWorkflow::manualCheck_data()
{
    QTest::addColumn<bool>("newFirmware");
    QTest::addColumn<bool>("newConfigurator");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<int>("requests");
    QTest::newRow("nothing new") << false << false
                                 << QStringList {kCheckTitle + " | " + kNothingNew} << 2;
    QTest::newRow("new firmware") << true << false
                                  << QStringList {kCheckTitle + " | " + kNewFirmware} << 2;
    // The firmware report comes when the configurator check ends, before its offer is asked.
    QTest::newRow("new firmware and configurator, download declined")
            << true << true << QStringList {kCheckTitle + " | " + kNewFirmware, kSwQuestion} << 2;
    // No report at all: the configurator offer is the news.
    QTest::newRow("new configurator, download declined")
            << false << true << QStringList {kSwQuestion} << 2;
}

void TestUpdateWorkflow::manualCheck()
{
    QFETCH(bool, newFirmware);
    QFETCH(bool, newConfigurator);
    QFETCH(QStringList, boxes);
    QFETCH(int, requests);
    writeTestFile(m_serverFolder->filePath("old.bin"), firmwareTestImage(200, 1, 4, 0, 100));
    if (newFirmware)
        writeTestFile(m_serverFolder->filePath("new.bin"), newFirmwareFile());
    writeTestFile(m_serverFolder->filePath(newConfigurator ? "conf_0.4.0.zip" : "conf_0.3.3.zip"),
                  "PK");
    // The reader's own firmware is in the local catalogue, so the check reports 1.4.0.
    writeTestFile(m_program->filePath("firmware/Zemo200_v1.4.0_update.bin"),
                  firmwareTestImage(200, 1, 4, 0, 100));
    m_window->setCurrentFwVer_220("1.4.0", QString(), "200", "Zemo200");
    m_boxes->clear();
    m_boxes->defaultAnswer = QMessageBox::No;

    press(button("checkUpdatesButton"));
    QVERIFY(!button("checkUpdatesButton")->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(m_server->requests().size(), requests, 10000);
    QTRY_COMPARE(boxTexts(), boxes);
    QTRY_VERIFY(button("checkUpdatesButton")->isEnabled());
    QTest::qWait(200);
    QCOMPARE(boxTexts(), boxes); // nothing more
    QVERIFY(m_server->requests().at(0).contains(R"("fw": "1.4.0")"));
    QVERIFY(m_server->requests().at(0).contains(R"("dev": "Zemo200")"));
    QVERIFY(m_server->requests().at(1).contains(R"("sw": "0.3.3")"));

    const QString stored = m_program->filePath("firmware/Zemo200_v1.5.0_update.bin");
    QCOMPARE(QFile::exists(stored), newFirmware);
    QCOMPARE(button("updateFwButton")->isEnabled(), newFirmware);
    if (newFirmware)
        QCOMPARE(button("updateFwButton")->toolTip(),
                 QStringLiteral("Обновить прошивку устройства до версии 1.5.0"));
}

void TestUpdateWorkflow::configuratorDownloadHandedToScript()
{
    QTemporaryDir work;
    const QString archive = m_serverFolder->filePath("conf_0.4.0.zip");
    QVERIFY(writeZipTestFile(archive, {{ZipTestEntry::File, "startupd.sh", "cp -r new/* ..\n"},
                                       {ZipTestEntry::File, "new/zemo-configurator", "ELF"}}));
    m_boxes->answers = {QMessageBox::Yes};

    press(button("checkUpdatesButton"));
    QTRY_COMPARE_WITH_TIMEOUT(m_handOvers.size(), 1, 15000);
    QCOMPARE(boxTexts(), QStringList {kSwQuestion});
    const QString updates = m_program->filePath("updates");
    QCOMPARE(m_handOvers.first(),
             QStringList({"/bin/sh", updates + "/startupd.sh", m_program->path()}));
    QCOMPARE(readTestFile(updates + "/update.zip"), readTestFile(archive));
    QCOMPARE(readTestFile(updates + "/new/zemo-configurator"), QByteArray("ELF"));
    QVERIFY(readTestFile(updates + "/startupd.sh").endsWith("|| exit 1\ncp -r new/* ..\n"));
    // Firmware check (no reader read yet: nothing known), configurator check, download.
    QCOMPARE(m_server->requests().size(), 3);
    QVERIFY(m_server->requests().at(0).contains(R"("fw": "0.0.0","imei": )"));
    QVERIFY(m_server->requests().at(0).contains(R"("dev": "")"));
    QVERIFY(m_server->requests().at(2).startsWith(R"({"type": "download")"));
}

void TestUpdateWorkflow::serverUnreachable()
{
    writeSetting("UpdateServer", "Port", 1); // nothing listens there
    m_window.reset(new MainWindow(nullptr, "ru_RU"));
    m_boxes->clear();
    press(button("checkUpdatesButton"));
    QTRY_COMPARE(boxTexts(), QStringList {kCheckTitle + " | Сервер обновлений недоступен"});
    QCOMPARE(m_boxes->boxes.first().icon, QMessageBox::Warning);
    QVERIFY(button("checkUpdatesButton")->isEnabled());
    QCOMPARE(m_window->findChild<QLabel *>("globalStatusText")->text(),
             QStringLiteral("Сервер обновлений недоступен"));
}

void TestUpdateWorkflow::serverSilent()
{
    m_server->settings().silent = true;
    press(button("checkUpdatesButton"));
    QTRY_COMPARE_WITH_TIMEOUT(boxTexts(),
                              QStringList {kCheckTitle + " | Ошибка обмена данными с сервером"},
                              20000);
    QCOMPARE(m_boxes->boxes.first().icon, QMessageBox::Critical);
    QVERIFY(button("checkUpdatesButton")->isEnabled());
    QCOMPARE(m_window->globalState(), 0);
}

void TestUpdateWorkflow::firmwareDownloadedOfferedAndUploaded()
{
    SimBus bus;
    QVERIFY(bus.open());
    SimReaderSettings reader;
    reader.deviceId = 200;
    reader.firmware = "1.4.0";
    reader.upgradeFirmware = "1.5.0";
    reader.rebootSilenceMs = 100;
    SimReader *sim = bus.addReader(reader);
    DeviceInterface *link = m_window->deviceInterface();
    link->setPortName(bus.devicePath());
    link->setBaudRate(19200);
    link->setDeviceAddress("1");
    QVERIFY(link->togglePort());

    writeTestFile(m_serverFolder->filePath("new.bin"), newFirmwareFile());
    m_window->setCurrentFwVer_220("1.4.0", QString(), "200", "Zemo200");
    m_boxes->clear();
    press(button("checkUpdatesButton"));
    QTRY_COMPARE_WITH_TIMEOUT(boxTexts(), QStringList {kCheckTitle + " | " + kNewFirmware}, 10000);

    m_boxes->clear();
    m_boxes->answers = {QMessageBox::Yes};
    press(button("updateFwButton"));
    QCOMPARE(m_boxes->boxes.size(), 1);
    QCOMPARE(m_boxes->boxes.first().title, QStringLiteral("Обновление прошивки"));
    QVERIFY2(m_boxes->boxes.first().text.startsWith(
                     "Обновить прошивку устройства до версии 1.5.0 ?&nbsp;<a href="),
             qPrintable(m_boxes->boxes.first().text));
    QVERIFY(link->isFirmwareUploadMode());

    QTRY_VERIFY_WITH_TIMEOUT(sim->rebootCount() == 1, 10000);
    QCOMPARE(sim->receivedPages(), QList<int>({0}));
    QTRY_VERIFY_WITH_TIMEOUT(!sim->isRebooting(bus.nowMs()), 5000);
    QCOMPARE(sim->settings().firmware, QStringLiteral("1.5.0"));
}

QTEST_MAIN(TestUpdateWorkflow)
#include "tst_updateworkflow.moc"
