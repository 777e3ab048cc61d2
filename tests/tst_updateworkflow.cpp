// ctest: slow
// The update workflow of the real window against the update-server double: the outcomes of a
// manual check, the failures told, and a downloaded image uploaded into a simulated model-200
// reader. Boxes are answered through the Prompter seam. The configurator's download handed to
// its script, which installs it, is the release's self-update with real processes.
#include "configserversim.h"
#include "deviceinterface.h"
#include "mainwindowaccess.h"
#include "settings.h"
#include "updatetestfiles.h"
#include "updateunpacker.h"

namespace {
const QString kCheck = "Information Проверка обновлений | ";
const QString kNewFirmware = kCheck + "Доступна новая версия прошивки";
const QString kChangesQuestion = "Question Обновление конфигуратора | Имеются не записанные в "
                                 "модуль изменения.\nПосле установки обновления они будут "
                                 "потеряны. Установить обновление?";
const QString kSwQuestion = "Question Обновление конфигуратора | Доступно обновление "
                            "конфигуратора v0.4.0<br>Загрузить обновление?";

// A window whose settings point at an update-server double on a loopback address of its own,
// or at another "host:port"; an unpacked archive's script is recorded instead of started.
struct Rig : WindowRig
{
    explicit Rig(const QString &elsewhere = QString(),
                 const UpdateServerSimSettings &settings = UpdateServerSimSettings())
        : WindowRig(false)
        , updates(settings)
    {
        QVERIFY(updates.listening);
        updates.pointSettings();
        if (!elsewhere.isEmpty()) {
            writeSetting("UpdateServer", "IP", elsewhere.section(':', 0, 0));
            writeSetting("UpdateServer", "Port", elsewhere.section(':', 1).toInt());
        }
        make();
        // The window lists the ports once it is up, which takes it to state 0 (update button
        // off, line speed from the panel): the tests begin after that.
        QTest::qWait(300);
    }
    ~Rig() { window.reset(); }
    void press(const QString &name)
    {
        QPushButton *button = get<QPushButton>(name);
        QVERIFY2(button->isEnabled(), qPrintable(name));
        QTest::mouseClick(button, Qt::LeftButton);
    }
    void serve(const QString &name, const QByteArray &bytes)
    {
        QVERIFY(updates.serve(name, bytes));
    }

    UpdateServerRig updates;
    UpdateServerSim *server = updates.server.get();
    HandOverRecorder handOvers;
};
// A window over a simulated reader bus whose settings point at an update-server double that
// offers a genuine configurator archive.
struct BusUpdateRig : WindowRig
{
    explicit BusUpdateRig(const SimReaderSettings &reader)
        : WindowRig(false)
    {
        QVERIFY(updates.listening);
        updates.pointSettings();
        QVERIFY(updates.serve("conf_0.4.0.zip", genuineUpdateArchive()));
        bus.open();
        bus.addReader(reader);
        qputenv("ZEMO_EXTRA_PORTS", bus.devicePath().toLocal8Bit());
        make();
    }
    ~BusUpdateRig() { window.reset(); }
    bool connectReader(bool waitForTheRead = true)
    {
        auto *ports = get<QComboBox>("rs485_220_port");
        if (!QTest::qWaitFor([&] { return ports->findText(bus.devicePath()) >= 0; }, 3000))
            return false;
        ports->setCurrentText(bus.devicePath());
        get<QComboBox>("rs485_220_speed")->setCurrentText("19200");
        get<QComboBox>("rs485_selAddr")->setCurrentText("1");
        QTest::mouseClick(get<QPushButton>("rs485_Button"), Qt::LeftButton);
        const int until = waitForTheRead ? 3 : 4;
        return QTest::qWaitFor([this, until] { return w().globalState() == until; }, 5000);
    }

    SimBus bus;
    UpdateServerRig updates;
};
} // namespace

Q_DECLARE_METATYPE(QList<Prompt::Button>)

class TestUpdateWorkflow : public QObject
{
    Q_OBJECT
private slots:
    void manualCheck_data();
    void manualCheck();
    void failedUpdatesAreTold_data();
    void failedUpdatesAreTold();
    void downloadDuringFtpCloseInstalls();
    void installWaitsForTheReader_data();
    void installWaitsForTheReader();
    void firmwareUploadShowsTheNewVersion_data();
    void firmwareUploadShowsTheNewVersion();
};

void TestUpdateWorkflow::manualCheck_data()
{
    QTest::addColumn<bool>("newFirmware");
    QTest::addColumn<bool>("newConfigurator");
    QTest::addColumn<QString>("boxes");
    QTest::newRow("nothing new") << false << false
                                 << kCheck + "На сервере нет доступных обновлений";
    QTest::newRow("new firmware") << true << false << kNewFirmware;
    // The firmware report comes when the configurator check ends, before its offer is asked.
    QTest::newRow("new firmware and configurator, download declined")
            << true << true << kNewFirmware + "\n" + kSwQuestion;
}

void TestUpdateWorkflow::manualCheck()
{
    QFETCH(bool, newFirmware);
    QFETCH(bool, newConfigurator);
    QFETCH(QString, boxes);
    Rig rig;
    // An older image of the same type and a newer one of another type change nothing.
    rig.serve("old.bin", firmwareTestImage(200, 1, 4, 0, 100));
    rig.serve("other.bin", firmwareTestImage(712, 9, 0, 0, 100));
    if (newFirmware)
        rig.serve("new.bin", model200FirmwareFile(1, 5, 0));
    rig.serve(newConfigurator ? "conf_0.4.0.zip" : "conf_0.3.3.zip", "PK");
    // The reader's own firmware is in the local catalogue, so the check reports 1.4.0.
    writeTestFile(rig.dir.filePath("firmware/Zemo200_v1.4.0_update.bin"),
                  firmwareTestImage(200, 1, 4, 0, 100));
    rig.w().setCurrentFwVer_220("1.4.0", QString(), "200", "Zemo200");
    rig.boxes.clear();
    rig.boxes.defaultAnswer = Prompt::No;

    rig.press("checkUpdatesButton");
    QVERIFY(!rig.get("checkUpdatesButton")->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(rig.server->requests().size(), 2, 10000);
    QTRY_COMPARE(rig.boxes.describe(), boxes);
    QTRY_VERIFY(rig.get("checkUpdatesButton")->isEnabled());
    QTest::qWait(200);
    QCOMPARE(rig.boxes.describe(), boxes); // nothing more
    QVERIFY(rig.server->requests().at(0).contains(R"("fw": "1.4.0")"));
    QVERIFY(rig.server->requests().at(0).contains(R"("dev": "Zemo200")"));
    QVERIFY(rig.server->requests().at(1).contains(R"("sw": "0.3.3")"));
    QCOMPARE(QFile::exists(rig.dir.filePath("firmware/Zemo200_v1.5.0_update.bin")), newFirmware);
    QCOMPARE(rig.get("updateFwButton")->isEnabled(), newFirmware);
    if (newFirmware)
        QCOMPARE(rig.get("updateFwButton")->toolTip(),
                 QStringLiteral("Обновить прошивку устройства до версии 1.5.0"));
}

void TestUpdateWorkflow::failedUpdatesAreTold_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("boxes");
    const QString download = "Warning Обновление конфигуратора | ";
    const QString unreachable = "Warning Проверка обновлений | Сервер обновлений недоступен";
    // Nothing listens on port 1; a name that cannot be looked up ends the exchange the same way.
    QTest::newRow("server unreachable") << "127.0.0.1:1" << unreachable;
    QTest::newRow("host not found") << "invalid..name:12358" << unreachable;
    QTest::newRow("server silent")
            << "server silent"
            << "Critical Проверка обновлений | Ошибка обмена данными с сервером";
    QTest::newRow("image cannot be stored")
            << "firmware folder is a file"
            << "Critical Проверка обновлений | Загруженный файл не удалось сохранить.";
    // The firmware report comes first and ends the check; the download then fails on its own.
    QTest::newRow("download breaks off after the firmware answer")
            << "server closes"
            << kNewFirmware + "\n" + kSwQuestion + "\n" + download
                       + "Ошибка обмена данными с сервером";
    QTest::newRow("archive refused")
            << "damaged archive"
            << kSwQuestion + "\n" + download
                       + "Архив обновления поврежден и не может быть установлен.";
    const QString unsigned_ = kSwQuestion + "\n" + download
                              + "Обновление не подписано производителем. Ничего не изменено.";
    QTest::newRow("archive not signed") << "unsigned archive" << unsigned_;
    QTest::newRow("archive signed with another key") << "foreign archive" << unsigned_;
    QTest::newRow("archive changed after signing") << "tampered archive" << unsigned_;
}

// Every update path ends with a report, and the window returns to the state it had before.
void TestUpdateWorkflow::failedUpdatesAreTold()
{
    QFETCH(QString, fault);
    QFETCH(QString, boxes);
    Rig rig(fault.contains(':') ? fault : QString());
    const QString statusBefore = rig.get<QLabel>("globalStatusText")->text();
    if (fault == "server silent") {
        rig.server->settings().silent = true;
    } else if (fault == "firmware folder is a file") {
        QDir(rig.dir.filePath("firmware")).removeRecursively();
        QVERIFY(writeTestFile(rig.dir.filePath("firmware"), "not a folder"));
        rig.serve("new.bin", model200FirmwareFile(1, 5, 0));
    } else if (fault == "server closes") {
        rig.serve("new.bin", model200FirmwareFile(1, 5, 0));
        rig.serve("conf_0.4.0.zip", QByteArray(5000, 'z'));
        // The image is one chunk; the archive's connection closes after its second.
        rig.server->settings().closeAfterChunks = 3;
    } else if (fault == "damaged archive") {
        rig.serve("conf_0.4.0.zip", "PK\x03\x04 and then no archive at all");
    } else if (fault.endsWith(" archive")) {
        const QList<ZipWriter::File> files = {{"startupd.sh", "echo installing\n"},
                                              {"program/zemo-configurator", "new program"}};
        const QList<ZipWriter::File> other = {files.at(0), {files.at(1).name, "another one"}};
        if (fault == "unsigned archive")
            rig.serve("conf_0.4.0.zip", ZipWriter::write(files));
        else if (fault == "foreign archive")
            rig.serve("conf_0.4.0.zip", updateTestArchive(files, files, foreignSigningKey()));
        else
            rig.serve("conf_0.4.0.zip", updateTestArchive(other, files));
    }
    // A model-200 reader was read: the check asks for its firmware.
    rig.w().setCurrentFwVer_220("1.4.0", QString(), "200", "Zemo200");
    rig.boxes.clear();
    rig.boxes.defaultAnswer = Prompt::Yes; // the download is wanted
    rig.press("checkUpdatesButton");
    QTRY_COMPARE_WITH_TIMEOUT(rig.boxes.describe(), boxes, 20000);
    QTRY_VERIFY(rig.get("checkUpdatesButton")->isEnabled());
    QTest::qWait(200);
    QCOMPARE(rig.boxes.describe(), boxes); // nothing more
    QCOMPARE(rig.w().globalState(), 0);
    QCOMPARE(rig.get<QLabel>("globalStatusText")->text(), statusBefore);
    QVERIFY(rig.get("rs485_Button")->isEnabled() && rig.get("findDevsButton")->isEnabled());
    QVERIFY(rig.handOvers.calls.isEmpty());
    // Nothing of a refused archive was unpacked.
    if (fault.endsWith(" archive"))
        QCOMPARE(QDir(rig.dir.filePath("updates")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList({"update.zip"}));
}

// The update server closes its connection while the archive still comes over FTP: the
// download is not told as broken off, and the archive it brings is installed.
void TestUpdateWorkflow::downloadDuringFtpCloseInstalls()
{
    UpdateServerSimSettings settings;
    settings.serveFtp = true;
    settings.closeOnFtpDownload = true;
    settings.ftpDataDelayMs = 300;
    Rig rig(QString(), settings);
    rig.serve("conf_0.4.0.zip", genuineUpdateArchive());
    rig.boxes.clear();
    rig.boxes.defaultAnswer = Prompt::Yes;
    rig.press("checkUpdatesButton");
    QTRY_COMPARE_WITH_TIMEOUT(rig.handOvers.calls.size(), 1, 20000);
    QTest::qWait(200);
    QCOMPARE(rig.server->ftpDownloads(), 1);
    QCOMPARE(rig.boxes.describe(), kSwQuestion);
    QCOMPARE(readTestFile(rig.dir.filePath("updates/program/zemo-configurator")),
             QByteArray("new program"));
}

void TestUpdateWorkflow::installWaitsForTheReader_data()
{
    QTest::addColumn<QString>("job");
    QTest::addColumn<QList<Prompt::Button>>("answers");
    QTest::addColumn<bool>("installed");
    // Yes to the download; the unwritten change is asked about.
    QTest::newRow("unwritten change kept")
            << "change" << QList<Prompt::Button>({Prompt::Yes, Prompt::No}) << false;
    QTest::newRow("unwritten change given up")
            << "change" << QList<Prompt::Button>({Prompt::Yes, Prompt::Yes}) << true;
    // The archive arrives while the write runs: the hand-over waits for its end.
    QTest::newRow("during a write") << "write" << QList<Prompt::Button>({Prompt::Yes}) << true;
    // ... and while the first read of the session runs.
    QTest::newRow("during a read") << "read" << QList<Prompt::Button>({Prompt::Yes}) << true;
}

// The hand-over ends the program at once: never in the middle of a reader's job, and never
// over unwritten changes without asking.
void TestUpdateWorkflow::installWaitsForTheReader()
{
    QFETCH(QString, job);
    QFETCH(QList<Prompt::Button>, answers);
    QFETCH(bool, installed);
    const bool writing = job == "write";
    SimReaderSettings reader;
    reader.replyDelayMs = 150;
    reader.rebootSilenceMs = 200;
    BusUpdateRig rig(reader);
    QVERIFY(rig.connectReader(job != "read"));
    if (job != "read") {
        rig.get<QComboBox>("genComboBox")->setCurrentIndex(1);
        QVERIFY(!rig.w().changesXml().isEmpty());
    }

    // What the link was doing when the program would have ended.
    QStringList atHandOver;
    UpdateUnpacker::setHandOver([&](const QString &, const QStringList &, const QString &) {
        atHandOver << QString("idle %1, reboots %2")
                              .arg(rig.w().deviceInterface()->isIdle())
                              .arg(rig.bus.reader(1)->rebootCount());
    });
    rig.boxes.clear();
    rig.boxes.answers = answers;
    rig.boxes.defaultAnswer = Prompt::Yes;
    if (writing)
        QTest::mouseClick(rig.get<QPushButton>("writeConfigButton"), Qt::LeftButton);
    rig.w().swUpdated("0.4.0", genuineUpdateArchive().size(), "conf_0.4.0.zip");
    if (installed) {
        QTRY_COMPARE_WITH_TIMEOUT(atHandOver.size(), 1, 15000);
        QCOMPARE(atHandOver.first(), QString("idle 1, reboots %1").arg(writing ? 1 : 0));
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(rig.boxes.describe().endsWith(kChangesQuestion), 15000);
        QTRY_COMPARE(rig.w().globalState(), 3);
        QTest::qWait(300);
        QCOMPARE(rig.boxes.describe(), kSwQuestion + "\n" + kChangesQuestion);
        QVERIFY(atHandOver.isEmpty());
        QVERIFY(!rig.w().changesXml().isEmpty());
    }
    QCOMPARE(rig.boxes.describe().endsWith(kChangesQuestion), job == "change");
    // Nothing was told as failed.
    QVERIFY2(!rig.boxes.describe().contains("Warning"), qPrintable(rig.boxes.describe()));
    UpdateUnpacker::setHandOver({});
}

void TestUpdateWorkflow::firmwareUploadShowsTheNewVersion_data()
{
    QTest::addColumn<bool>("remote");
    QTest::newRow("serial") << false;
    QTest::newRow("through the configuration server") << true;
}

// An upload that the reader takes ends, after its reboot, with the reader read again: the new
// version shows and is told. While it runs nothing may change the link's address or speed.
void TestUpdateWorkflow::firmwareUploadShowsTheNewVersion()
{
    QFETCH(bool, remote);
    SimReaderSettings reader;
    reader.deviceId = 200;
    reader.firmware = "1.4.0";
    reader.upgradeFirmware = "1.5.0";
    reader.rebootSilenceMs = 200;
    ConfigServerSim server;
    BusWindowRig rig(remote ? QList<SimReaderSettings> {} : QList<SimReaderSettings> {reader});
    MainWindow &w = rig.w();
    QVERIFY(writeTestFile(rig.dir.filePath("firmware/Zemo200_v1.5.0_update.bin"),
                          model200FirmwareFile(1, 5, 0)));
    QVERIFY(rig.choose("19200", "1"));
    if (remote) {
        QVERIFY(server.listen());
        server.setTerminal("356938035643809", "1234");
        server.setNoAnswerDelayMs(0);
        server.addReader(reader);
        w.deviceInterface()->setServerAddress("127.0.0.1", server.port());
        w.deviceInterface()->connectToServer("356938035643809", "1234");
    } else {
        rig.press("rs485_Button");
    }
    QTRY_COMPARE_WITH_TIMEOUT(w.globalState(), 3, 5000);
    QCOMPARE(rig.get<QLabel>("label_220_fw")->text(), QString("1.4.0"));
    QTRY_VERIFY(rig.get("updateFwButton")->isEnabled());

    rig.boxes.clear();
    rig.boxes.answers = {Prompt::Yes};
    rig.press("updateFwButton");
    QCOMPARE(w.globalState(), 15);
    QVERIFY(!rig.get("openFileButton")->isEnabled() && !rig.get("rs485_Button")->isEnabled());
    SimReader *sim = remote ? server.reader(1) : rig.bus.reader(1);
    QTRY_COMPARE_WITH_TIMEOUT(sim->rebootCount(), 1, 15000);
    QTRY_COMPARE_WITH_TIMEOUT(rig.get<QLabel>("label_220_fw")->text(), QString("1.5.0"), 15000);
    QTRY_COMPARE(w.globalState(), 3);
    QTRY_VERIFY(rig.boxes.describe().endsWith(
            "Information Обновление прошивки | Прошивка модуля обновлена до версии 1.5.0."));
    QCOMPARE(rig.bus.overlappingRequests(), 0);
}

QTEST_MAIN(TestUpdateWorkflow)
#include "tst_updateworkflow.moc"
