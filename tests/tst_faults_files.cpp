// ctest: slow
// Files that cannot be written, on a full disk or in a read-only folder: the configuration, the
// console log, the command history, the command log, the program's log, the settings, a
// downloaded image or archive, and the unpacked update. Each failure is told (a box or a log line), the earlier file
// stays as it was, and nothing half-written is left beside it.
#include "apppaths.h"
#include "deviceinterface.h"
#include "faultyfolder.h"
#include "linkonbus.h"
#include "loghandler.h"
#include "mainwindowaccess.h"
#include "net.h"
#include "netsignallog.h"
#include "testsupport.h"
#include "updatetestfiles.h"
#include "updateunpacker.h"

#include <QBuffer>
#include <QComboBox>
#include <QTemporaryFile>
#include <QtTest>

#include <cstdio>
#include <functional>
#include <unistd.h>

namespace {

enum class Target {
    Configuration,
    ConsoleLog,
    History,
    CommandLog,
    ProgramLog,
    Settings,
    Firmware,
    Archive,
    Unpacked
};

// What the standard error stream received while run() ran.
QByteArray stderrOf(const std::function<void()> &run)
{
    std::fflush(stderr);
    QTemporaryFile capture;
    if (!capture.open())
        return QByteArray();
    const int saved = dup(STDERR_FILENO);
    dup2(capture.handle(), STDERR_FILENO);
    run();
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    ::close(saved);
    capture.seek(0);
    return capture.readAll();
}

// A window holding a configuration read from a reader.
void readConfiguration(MainWindow &window)
{
    window.setGlobalState(0);
    window.setGlobalState(4);
    QBuffer buffer;
    buffer.setData("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<configuration>\n"
                   " <gen_mode_220 param=\"1\"/>\n</configuration>\n");
    window.readXmlBuffer(&buffer);
}

} // namespace

Q_DECLARE_METATYPE(Target)
Q_DECLARE_METATYPE(FaultyFolder::Kind)

class TestFaultsFiles : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void failedWrites_data();
    void failedWrites();

private:
    void act(Target target, FaultyFolder &folder, FaultyFolder::Kind kind, const QString &path);

    std::unique_ptr<UpdateServerRig> m_bench;
};

void TestFaultsFiles::cleanup()
{
    m_bench.reset();
    AppPaths::setProgramDir(QString());
    AppPaths::setUserDataDir(QString());
}

void TestFaultsFiles::failedWrites_data()
{
    QTest::addColumn<Target>("target");
    QTest::addColumn<FaultyFolder::Kind>("kind");
    QTest::addColumn<QString>("earlier"); // the earlier file, relative to the faulty folder
    using T = Target;
    // The command log starts a new file by design.
    const QList<std::tuple<const char *, T, const char *>>
            targets {{"configuration", T::Configuration, "config.xml"},
                     {"console log", T::ConsoleLog, "console.log"},
                     {"command history", T::History, "cmd_history.txt"},
                     {"command log", T::CommandLog, ""},
                     {"program log", T::ProgramLog, "zemo2xx.log"},
                     {"settings", T::Settings, "settings.conf"},
                     {"downloaded image", T::Firmware, "firmware/Zemo200_v1.5.0_update.bin"},
                     {"downloaded archive", T::Archive, "updates/update.zip"},
                     {"unpacked update", T::Unpacked, "updates/update.zip"}};
    for (const auto &[name, target, earlier] : targets) {
        QTest::addRow("%s, full disk", name) << target << FaultyFolder::Full << QString(earlier);
        QTest::addRow("%s, read-only", name)
                << target << FaultyFolder::ReadOnly << QString(earlier);
    }
}

void TestFaultsFiles::failedWrites()
{
    QFETCH(Target, target);
    QFETCH(FaultyFolder::Kind, kind);
    QFETCH(QString, earlier);
    FaultyFolder folder(kind);
    // A whole page, so that not even an append finds room on the full disk.
    QByteArray earlierBytes = target == Target::Firmware ? firmwareTestImage(200, 1, 5, 0, 4096)
                                                         : QByteArray(4095, 'e') + '\n';
    if (target == Target::Settings) {
        // The program folder itself: the settings of an earlier run, and the device database.
        earlierBytes = "[Language]\nlang=ru\n\n[Survey]\nStatus=true\n;" + QByteArray(4050, 'e')
                       + '\n';
        QVERIFY(folder.writeFile("devices.db", readTestFile(appBuildPath("devices.db"))));
    }
    if (!earlier.isEmpty())
        QVERIFY(folder.writeFile(earlier, earlierBytes));
    if (target == Target::Unpacked) {
        // A real signed archive, its script and a file larger than the whole tmpfs.
        const QList<ZipWriter::File> files = {{"startupd.sh", "cp -r new/* ..\n"},
                                              {"new/big.bin", QByteArray(300 * 1024, 'b')}};
        QVERIFY(folder.writeFile(earlier, updateTestArchive(files, files)));
    }
    if (target == Target::Firmware || target == Target::Archive) {
        m_bench.reset(new UpdateServerRig);
        QVERIFY(m_bench->listening);
        QVERIFY(target == Target::Firmware
                        ? m_bench->serve("fw.bin", firmwareTestImage(200, 1, 5, 0, 3000))
                        : m_bench->serve("zemo-configurator_0.4.0.zip", QByteArray(10000, 'z')));
        QVERIFY(folder.writeFile("settings.conf", m_bench->settingsText()));
    }
    if (!folder.engage())
        QSKIP(qPrintable("this machine cannot make the folder faulty: " + folder.skipReason()));
    const QStringList before = folder.files();
    const QByteArray before0 = earlier.isEmpty() ? QByteArray()
                                                 : readTestFile(folder.filePath(earlier));

    act(target, folder, kind, folder.filePath(earlier));
    if (QTest::currentTestFailed())
        return;

    if (!earlier.isEmpty()) {
        // Only the downloaded archive's folder is emptied before a download, by design.
        const bool cleared = target == Target::Archive && !QFile::exists(folder.filePath(earlier));
        if (!cleared)
            QCOMPARE(readTestFile(folder.filePath(earlier)), before0);
        QStringList expected = before;
        if (cleared)
            expected.removeAll(earlier);
        QCOMPARE(folder.files().join(' '), expected.join(' '));
    }
}

void TestFaultsFiles::act(Target target, FaultyFolder &folder, FaultyFolder::Kind kind,
                          const QString &path)
{
    switch (target) {
    case Target::Configuration:
    case Target::ConsoleLog: {
        WindowRig rig;
        readConfiguration(rig.w());
        rig.w().printToTerminal("0100");
        rig.boxes.fileAnswers << path;
        if (target == Target::Configuration)
            rig.w().saveFileSlot();
        else
            rig.w().saveConsoleLog();
        QCOMPARE(rig.boxes.describe(),
                 QString("Critical Ошибка | Ошибка сохранения ")
                         + (target == Target::Configuration ? "конфигурации" : "файла"));
        break;
    }
    case Target::History: {
        WindowRig rig;
        readConfiguration(rig.w());
        rig.get<QComboBox>("cmdLine")->addItem("0200");
        // The history is saved when the window goes.
        AppPaths::setProgramDir(folder.path());
        AppPaths::setUserDataDir(folder.path());
        LogCapture log;
        rig.window.reset();
        QCOMPARE(log.count("Command history not saved: " + path), 1);
        break;
    }
    case Target::CommandLog: {
        LinkOnBus t;
        t.addReader(SimReaderSettings());
        QVERIFY(t.openPort());
        LogCapture log;
        const QString commandLog = folder.filePath("command.log");
        t.link.startWriteBinLogFile(commandLog);
        t.link.sendTerminalCmd("0100");
        t.link.sendTerminalCmd("0700");
        // The commands go out all the same.
        QVERIFY(LinkOnBus::waitFor([&] { return t.requestCodes().size() == 2; }, 2000));
        if (kind == FaultyFolder::ReadOnly) {
            QCOMPARE(countLogLine(log, "Command log not opened:", commandLog), 1);
        } else {
            // Said once; the log stops, and what the full disk took is nothing.
            QCOMPARE(log.count("Command log write failed, log stopped: " + commandLog), 1);
            QCOMPARE(QFileInfo(commandLog).size(), 0);
        }
        break;
    }
    case Target::ProgramLog: {
        AppPaths::setProgramDir(folder.path());
        AppPaths::setUserDataDir(folder.path());
        const QByteArray err = stderrOf([] {
            LogHandler::handle(QtDebugMsg, QMessageLogContext(), "first line");
            LogHandler::handle(QtDebugMsg, QMessageLogContext(), "second line");
        });
        // Nothing is lost: every line reaches the error stream, which also tells once that the
        // file was not written.
        QVERIFY2(err.contains("Debug: first line\n") && err.contains("Debug: second line\n"),
                 err.constData());
        QCOMPARE(err.count("Log file not written: " + QFile::encodeName(path)), 1);
        break;
    }
    case Target::Settings: {
        AppPaths::setProgramDir(folder.path());
        AppPaths::setUserDataDir(folder.path());
        BoxRecorder boxes;
        LogCapture log;
        MainWindow window(nullptr, "ru_RU");
        QVERIFY(!window.startupFailed());
        QTimer *status = MainWindowTestAccess::statusTimer(window);
        window.setGlobalState(3);
        QVERIFY(status->isActive());
        window.settingShow();
        auto *form = window.findChild<QDialog *>("SettingsForm");
        QVERIFY(form && form->isVisible());
        child<QCheckBox>(form, "statusCheckBox")->setChecked(false);
        QTest::mouseClick(child<QPushButton>(form, "saveButton"), Qt::LeftButton);
        // Taken for this run, and the engineer learns that the next one will not know it.
        QVERIFY(!status->isActive());
        QCOMPARE(boxes.describe(), QString("Critical Ошибка | Настройки не сохранены в "
                                           "settings.conf и действуют только до закрытия "
                                           "конфигуратора."));
        QCOMPARE(log.count("Settings not saved: " + path), 1);
        break;
    }
    case Target::Firmware:
    case Target::Archive: {
        AppPaths::setProgramDir(folder.path());
        AppPaths::setUserDataDir(folder.path());
        const bool firmware = target == Target::Firmware;
        LogCapture log;
        Net net;
        NetSignalLog outcomes(&net);
        if (firmware)
            net.checkUpdates("1.0.0", "Zemo200", true);
        else
            net.reqestDownloadSw("0.3.3", 10000, "zemo-configurator_0.4.0.zip");
        QTRY_VERIFY_WITH_TIMEOUT(outcomes.finishedCount() > 0, 20000);
        QTest::qWait(100);
        QVERIFY2(log.contains("UPDATER: Cannot write " + path), qPrintable(log.lines().join('\n')));
        // Not reported as downloaded, and ended as a failure the window tells.
        QCOMPARE(outcomes.events, (QStringList {"finished(0)", "finished(3)"}));
        break;
    }
    case Target::Unpacked: {
        AppPaths::setProgramDir(folder.path());
        AppPaths::setUserDataDir(folder.path());
        HandOverRecorder handOvers;
        LogCapture log;
        UpdateUnpacker unpacker;
        unpacker.startUpdate();
        // An update that could not be unpacked whole is not installed.
        QCOMPARE(handOvers.calls.size(), 0);
        QVERIFY2(log.contains("Cannot write " + folder.path() + "/updates/")
                         || log.contains("Cannot create folder " + folder.path() + "/updates/"),
                 qPrintable(log.lines().join('\n')));
        break;
    }
    }
}

QTEST_MAIN(TestFaultsFiles)
#include "tst_faults_files.moc"
