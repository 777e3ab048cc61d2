// ctest: slow
// Randomized engineer sessions: the real window over the in-process simulated bus, the
// configuration server double and two update server doubles, driven by a seeded random walk of
// what an engineer does: connect, disconnect, search and stop, edit, write, reboot, open and
// save files, console input of any length and text, page switches, the settings dialog, remote
// sessions through the configuration server, update checks and downloads, firmware uploads into
// a model-200 reader, every question answered Yes, No or closed (the dialogs of the window after
// a wait, while the line goes on), the language switched; on the bus page scans at one speed or
// every speed, the watch, the table exported, a row double-clicked, commissioning runs of the
// selected readers or of address assignment, ended with the button. Meanwhile the bus and the servers
// misbehave at random: silent readers, damaged checksums, answers in pieces, refused writes, the
// converter pulled (also in the middle of a scan, a read, a write or an upload), a parser thread
// slowed down, a silent or dropping configuration server, PASS FAIL, PING floods, an update
// connection dropped mid-chunk, a last chunk glued to "complite", an FTP transfer closed.
// After each step, once the window has settled or a bound has passed, the invariants are
// checked:
//   - the status shown is that of the link's connection: "closed" a closed port, "connected" an
//     open port with a reader that answers, the pending login and the remote session theirs;
//   - the enabled controls are those of the state shown;
//   - never two requests on the bus at once;
//   - every job of the link ends within its bound, and the link is idle after it;
//   - the form shows only values the connected reader holds, or changes marked pending;
//   - the reader gets no write or reboot the engineer did not ask for.
//   - during a commissioning run the window's state stays, its status timer is off, the serial
//     and bus buttons are off and the status strip shows the run; each run leaves one .csv and
//     one .pdf report; a stopped scan or watch leaves the link idle within its bound, and the bus
//     page's buttons are those of the state shown.
// An accepted configurator update ends the program by handing over to the archive's script: the
// hand-over is recorded instead, and the walk goes on with the program started again, as the
// script would start it.
//
// ctest runs one short walk with a fixed seed. `make soak SOAK_SECONDS=N` sets ZEMO_SOAK_SECONDS
// and walks fresh seeds for that long; ZEMO_SOAK_SEED=S replays one seed (ZEMO_SOAK_STEPS=N
// walks that many steps of it). Every violation prints its seed and step, and stays a fixed
// test once understood.
#include "commands220.h"
#include "commissionform.h"
#include "commissionreportpdf.h"
#include "configserversim.h"
#include "deviceinterface.h"
#include "frame220.h"
#include "mainwindowaccess.h"
#include "reloadform.h"
#include "remoteconnectform.h"
#include "settingsform.h"
#include "updatetestfiles.h"

#include <QElapsedTimer>
#include <QRandomGenerator>

#include <functional>

namespace {

constexpr int kAnswerTimeoutMs = 250; // the link's answer time-out, shortened for the walk
constexpr int kStepBoundMs = 150000; // a step of the walk ends within this
constexpr int kShortRunSteps = 100;
constexpr int kLoginSettleMs = 2000;
// The bus page's scan probes the addresses 1 to 8, which hold the walk's readers.
constexpr int kScanLastAddress = 8;
// A stopped scan ends after its probe under way; a stopped watch beside a session after its
// look in flight (two requests, each tried four times at the walk's 250 ms).
constexpr int kScanStopBoundMs = 1000;
constexpr int kWatchStopBoundMs = 2 * 4 * kAnswerTimeoutMs + 1000;
constexpr int kLoginBoundMs = 10000 + 30000 + 2000; // connection, login, and a margin
const char kImei[] = "356938035643809";
const char kPassword[] = "1234";

const QList<quint16> kWriteCodes {Cmd220::WriteSpeed, Cmd220::WriteAddress, Cmd220::WriteGenState,
                                  Cmd220::WritePullUp, Cmd220::WriteGenMode};

QString texts(const QString &ru, const QString &en, bool english)
{
    return english ? en : ru;
}

// The longest a job of the link may run. A serial command is tried four times at the walk's
// 250 ms; a silent reader asks whether to go on (answered Yes at most twice in a row). Through
// the configuration server every command waits up to 7 s, three times.
int jobBoundMs(DeviceInterface::Job job, bool remote)
{
    using Job = DeviceInterface::Job;
    if (remote)
        return job == Job::Upload ? 240000 : 100000;
    switch (job) {
    case Job::Scan:
        return 40000;
    case Job::Upload:
        return 60000;
    case Job::Read:
    case Job::Write:
        return 30000;
    default:
        return 15000;
    }
}

// A signed configurator archive large enough to come in several chunks: its program file does
// not compress.
QByteArray configuratorArchive(const QByteArray &key)
{
    QByteArray program(6000, '\0');
    quint32 x = 12345;
    for (char &c : program) {
        x = x * 1103515245u + 12345u;
        c = char(x >> 24);
    }
    return genuineUpdateArchive(program, key);
}

struct Counters
{
    int steps = 0;
    int faults = 0;
    int violations = 0;
    int unjudged = 0; // requests the bus saw too early that the link sent in time
    int remoteSessions = 0;
    int uploads = 0;
    int restarts = 0; // the program ended (hand-over of an update, closed) and was started again
    int busScans = 0;
    int busWatches = 0;
    int runs = 0; // commissioning runs started (each ended, with its reports)
};

// One session: a window, a bus with three readers (two model 220, one model 200 that takes
// firmware), a configuration server with two readers behind its terminal, two update servers
// (chunks only, and chunks with FTP), the prompter answering at random.
class Session
{
public:
    Session(quint32 seed, Counters &counters)
        : m_random(seed)
        , m_seed(seed)
        , m_counters(counters)
    {
        m_linkPath = m_dir.filePath("bus");
        // The bus runs in a thread of its own, as readers do: their answers and the bus's
        // measure of when each request came do not wait for the window's thread.
        m_bus = new SimBus;
        m_bus->moveToThread(&m_busThread);
        m_busThread.start();
        bool opened = false;
        onBus([&] {
            opened = m_bus->open(m_linkPath);
            m_bus->addReader(readerAt(1, "1.3.2"));
            m_bus->addReader(readerAt(2, "1.0.5"));
            m_bus->addReader(model200At(3));
        });
        QVERIFY(opened);
        qputenv("ZEMO_EXTRA_PORTS", m_linkPath.toLocal8Bit());
        writeFiles();

        QVERIFY(m_server.listen());
        m_server.setTerminal(kImei, kPassword);
        m_server.setNoAnswerDelayMs(0);
        m_server.addReader(readerAt(1, "1.3.2"));
        m_server.addReader(model200At(3));
        QObject::connect(&m_server, &ConfigServerSim::itemReceived, &m_server,
                         [this](const QString &item) { checkServerItem(item); });

        QVERIFY(m_chunkUpdates.listening && m_ftpUpdates.listening);
        for (UpdateServerRig *rig : {&m_chunkUpdates, &m_ftpUpdates}) {
            rig->serve("new200.bin", model200FirmwareFile(1, 6, 0));
            rig->serve("conf_0.4.0.zip", configuratorArchive(testSigningKey()));
        }
        m_chunkUpdates.pointSettings();

        Prompter::setDefaultHandlers([this](const MessageRequest &box) { return answer(box); },
                                     [this](const FileRequest &request) { return fileFor(request); },
                                     [](const QUrl &) { return true; });
        makeWindow();
    }
    ~Session()
    {
        m_window.reset();
        Prompter::setDefaultHandlers({}, {}, {});
        onBus([this] { delete m_bus; });
        m_busThread.quit();
        m_busThread.wait();
    }

    void run(int steps)
    {
        for (int i = 0; i < steps && m_counters.violations == 0; ++i) {
            ++m_counters.steps;
            m_step = i;
            // A pulled converter is plugged in again a few steps later: a session that waits
            // for it goes on.
            if (!busOpen() && --m_stepsUnplugged <= 0) {
                m_action = "converter plugged in";
                onBus([this] { m_bus->open(m_linkPath); });
                MainWindowTestAccess::notifyDeviceChange(w());
                checkResumed();
            }
            step();
            settleAndCheck();
            if (m_trace)
                std::fprintf(stderr, "step %d: %s -> state %d, connection %d, \"%s\"\n", i,
                             qPrintable(m_action), w().globalState(), int(link()->connection()),
                             qPrintable(get<QLabel>("globalStatusText")->text()));
        }
    }

private:
    static SimReaderSettings readerAt(quint8 address, const QString &firmware)
    {
        SimReaderSettings s;
        s.address = address;
        s.firmware = firmware;
        s.rebootSilenceMs = 150;
        s.replyDelayMs = 3;
        return s;
    }
    // A model-200 reader whose firmware is older than the local image: an upload is offered.
    static SimReaderSettings model200At(quint8 address)
    {
        SimReaderSettings s = readerAt(address, "1.4.0");
        s.deviceId = 200;
        s.upgradeFirmware = "1.5.0";
        return s;
    }

    void makeWindow()
    {
        m_programEnded = false;
        m_handOversSeen = m_handOvers.calls.size();
        m_window.reset(new MainWindow(nullptr, "ru_RU"));
        m_window->show();
        m_english = w().currentLanguage().startsWith("en");
        link()->setAnswerTimeoutMs(kAnswerTimeoutMs);
        link()->setParserDelayMs(m_parserDelayMs);
        link()->setServerAddress("127.0.0.1", m_server.port());
        link()->setScanLastAddress(kScanLastAddress);
        QObject::connect(m_bus, &SimBus::requestReceived, m_window.get(),
                         [this](const QByteArray &frame) { checkRequest(frame); });
        QObject::connect(m_bus, &SimBus::answerSent, m_window.get(),
                         [this](const QByteArray &frame) { m_answers << frame; });
        QObject::connect(link(), &DeviceInterface::printToTerminal, m_window.get(),
                         [this](const QString &line) { watchLink(line); });
        QObject::connect(link(), &DeviceInterface::changeDeviceStatus, m_window.get(),
                         [this](int code) { watchState(code); });
        QObject::connect(link(), &DeviceInterface::busIdle, m_window.get(),
                         [this] { m_jobClock.restart(); });
        QObject::connect(link(), &DeviceInterface::connectionChanged, m_window.get(),
                         [this](DeviceInterface::Connection connection) {
                             if (connection == DeviceInterface::Connection::Remote)
                                 ++m_counters.remoteSessions;
                             if (connection == DeviceInterface::Connection::RemoteLoginPending) {
                                 m_loginClock.restart();
                                 m_loginOverdue = false;
                             }
                         });
        // Every job is timed from its start, also inside the dialogs' waits.
        auto *sampler = new QTimer(m_window.get());
        QObject::connect(sampler, &QTimer::timeout, m_window.get(), [this] { sampleJob(); });
        sampler->start(25);
        m_lastJob = DeviceInterface::Job::Idle;
        m_jobClock.start();
        m_linkClock.start();
        auto *ports = child<QComboBox>(m_window.get(), "rs485_220_port");
        QTRY_VERIFY(ports->findText(m_linkPath) >= 0);
        ports->setCurrentText(m_linkPath);
    }

    MainWindow &w() { return *m_window; }
    // Runs fn on the bus's thread and waits for it.
    void onBus(const std::function<void()> &fn)
    {
        QMetaObject::invokeMethod(m_bus, fn, Qt::BlockingQueuedConnection);
    }
    bool busOpen()
    {
        bool open = false;
        onBus([&] { open = m_bus->isOpen(); });
        return open;
    }
    void pullConverter()
    {
        onBus([this] {
            if (m_bus->isOpen()) {
                m_bus->close();
                m_stepsUnplugged = 1 + pick(4);
            }
        });
    }
    DeviceInterface *link() { return m_window->deviceInterface(); }
    template<typename T = QWidget>
    T *get(const char *name)
    {
        return child<T>(m_window.get(), name);
    }
    int pick(int n) { return int(m_random.bounded(quint32(n))); }
    bool chance(int percent) { return pick(100) < percent; }

    void violation(const QString &what)
    {
        ++m_counters.violations;
        qWarning().noquote() << QStringLiteral("SOAK VIOLATION seed=%1 step=%2 (%3): %4")
                                        .arg(m_seed)
                                        .arg(m_step)
                                        .arg(m_action, what);
    }

    // ---- the engineer's answers ----
    // A question closed with its window's button or Escape gets the box's escape answer.
    static Prompt::Button closed(const MessageRequest &box)
    {
        if (box.buttons & Prompt::Cancel)
            return Prompt::Cancel;
        if (box.buttons & Prompt::No)
            return Prompt::No;
        return Prompt::NoButton;
    }

    Prompt::Button answer(const MessageRequest &box)
    {
        if (!(box.buttons & Prompt::Yes))
            return Prompt::Ok;
        // Closing during a commissioning run: the engineer stays.
        if (box.text.startsWith(
                    texts("Ввод в работу не завершён", "Commissioning is not finished", m_english)))
            return Prompt::No;
        // A question is a modal box whose loop runs while the engineer thinks: the line goes on
        // meanwhile, and the converter may be pulled.
        if (m_boxDepth == 0 && chance(40)) {
            ++m_boxDepth;
            if (chance(15))
                pullConverter();
            QTest::qWait(pick(400));
            --m_boxDepth;
        }
        if (box.icon == Prompt::Question && m_closing) {
            // Closing with changes: write them first, or stay ("No" closes the window, the
            // program ends).
            const int a = pick(100);
            if (a < 45) {
                allowWrites();
                m_closeWithWrite = true;
                return Prompt::Yes;
            }
            return a < 60 ? Prompt::No : closed(box);
        }
        if (box.icon == Prompt::Question) {
            // The write, the configurator's download and installation, the firmware upload.
            const bool write = box.text.contains(texts("Записать конфигурацию",
                                                       "Write the "
                                                       "configuration",
                                                       m_english));
            // An accepted upload ends with the reboot into the new firmware.
            const bool upload = box.title
                                == texts("Обновление прошивки", "Firmware update", m_english);
            const int a = pick(100);
            if (a < 65) {
                if (write)
                    allowWrites();
                if (upload)
                    m_rebootAllowed = true;
                return Prompt::Yes;
            }
            return a < 85 ? Prompt::No : closed(box);
        }
        // The link's questions about a silent reader: Yes at most twice in a row, so every step
        // ends.
        if (m_yesInARow < 2 && chance(50)) {
            ++m_yesInARow;
            return Prompt::Yes;
        }
        m_yesInARow = 0;
        return chance(70) ? Prompt::No : closed(box);
    }

    void writeFiles()
    {
        const QByteArray head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<configuration>\n";
        writeTestFile(
                m_dir.filePath("good.xml"),
                head
                        + " <rs485_speed_220 param=\"19200\"/>\n <gen_stat_220 param=\"1\"/>\n"
                          " <pull_up_220 param=\"1\"/>\n</configuration>\n");
        writeTestFile(m_dir.filePath("bad.xml"),
                      head + " <rs485_addr_220 param=\"ff\"/>\n</configuration>\n");
        writeTestFile(m_dir.filePath("foreign.xml"), "<settings/>\n");
        // The local firmware the model-200 reader is offered.
        writeTestFile(m_dir.filePath("firmware/Zemo200_v1.5.0_update.bin"),
                      model200FirmwareFile(1, 5, 0));
    }

    QString fileFor(const FileRequest &request)
    {
        if (request.title == texts("Сохранить таблицу шины", "Save the bus table", m_english)) {
            const QStringList names {"bus.csv", "bus.json", "bus", ""};
            const QString name = names.at(pick(names.size()));
            m_exportName = name.isEmpty() ? QString() : m_dir.filePath(name);
            return m_exportName;
        }
        if (request.kind == FileRequest::Save)
            return chance(80) ? m_dir.filePath("saved.xml") : QString();
        const QStringList files {"good.xml", "bad.xml", "foreign.xml", "saved.xml", ""};
        const QString file = files.at(pick(files.size()));
        return file.isEmpty() ? QString() : m_dir.filePath(file);
    }

    // ---- what the engineer may ask the reader for ----
    void allowWrites()
    {
        m_writesAllowed = true;
        m_rebootAllowed = true;
    }

    void checkRequest(const QByteArray &frame)
    {
        const quint16 code = quint16(quint8(frame.at(3)) << 8 | quint8(frame.at(4)));
        if (code == Cmd220::Reboot && !m_rebootAllowed)
            violation("a reboot nobody asked for: " + frame.toHex(' '));
        if (kWriteCodes.contains(code) && !m_writesAllowed && !m_consoleCodes.contains(code))
            violation("a write nobody asked for: " + frame.toHex(' '));
        // A write that is no write of the form (a console command) changes the reader behind
        // the form's back: the form is the reader's again after the next read.
        if (kWriteCodes.contains(code) && w().globalState() != 5)
            m_formStale = true;
    }

    void checkServerItem(const QString &item)
    {
        ConfigServerText::FrameLine line;
        if (!item.startsWith("S485 ") || !ConfigServerText::parseFrameLine(item, &line)
            || line.frame.size() < 5)
            return;
        ++m_serverFrames;
        if (m_window)
            checkRequest(line.frame);
    }

    // ---- the walk ----
    void press(const char *name) { QTest::mouseClick(get<QPushButton>(name), Qt::LeftButton); }

    bool enabled(const char *name) { return get(name)->isEnabled(); }

    // A pull of the converter at a random moment of the job just started.
    void maybePullDuringJob(int percent)
    {
        if (chance(percent))
            m_pullAtMs = pick(1500);
    }

    void step()
    {
        m_answers.clear();
        m_closeWithWrite = false;
        m_rebootSeen = false;
        m_pullAtMs = -1;
        const int action = pick(130);
        if (action >= 100) {
            busPage();
        } else if (action < 10) {
            m_action = "connection button";
            if (enabled("rs485_Button")) {
                press("rs485_Button");
                maybePullDuringJob(20);
            }
        } else if (action < 16) {
            m_action = "search and stop";
            if (enabled("findDevsButton")) {
                press("findDevsButton");
                maybePullDuringJob(20);
                QTest::qWait(pick(600));
                if (w().globalState() == 1 && chance(90))
                    press("findDevsButton");
            }
        } else if (action < 20) {
            m_action = "panel";
            if (enabled("rs485_selAddr")) {
                get<QComboBox>("rs485_selAddr")->setCurrentText(QString::number(1 + pick(3)));
                get<QComboBox>("rs485_220_speed")->setCurrentText(chance(80) ? "19200" : "9600");
            }
        } else if (action < 30) {
            m_action = "edit";
            editField();
        } else if (action < 38) {
            m_action = "write";
            if (enabled("writeConfigButton")) {
                press("writeConfigButton");
                maybePullDuringJob(20);
                if (MainWindowTestAccess::writeOnItsWay(w()) && chance(25))
                    closeDuringWrite();
            }
        } else if (action < 43) {
            m_action = "reboot";
            reboot();
        } else if (action < 46) {
            m_action = "open file";
            if (enabled("openFileButton"))
                press("openFileButton");
        } else if (action < 48) {
            m_action = "save file";
            if (enabled("saveFileButton"))
                press("saveFileButton");
        } else if (action < 58) {
            console();
        } else if (action < 60) {
            m_action = "device change";
            MainWindowTestAccess::notifyDeviceChange(w());
        } else if (action < 62) {
            m_action = "language";
            m_english = !m_english;
            w().changeLanguage(m_english ? "en" : "ru");
        } else if (action < 64) {
            m_action = "close";
            m_closing = true;
            w().on_closeMainWindow_clicked();
            m_closing = false;
        } else if (action < 67) {
            settingsDialog();
        } else if (action < 73) {
            remoteButton();
        } else if (action < 77) {
            serverFault();
        } else if (action < 81) {
            updateCheck();
        } else if (action < 85) {
            firmwareUpload();
        } else if (action < 87) {
            m_action = "parser delay";
            m_parserDelayMs = chance(40) ? 0 : pick(31);
            link()->setParserDelayMs(m_parserDelayMs);
        } else {
            m_action = "fault";
            fault();
        }
    }

    // ---- the bus page ----
    bool commissionRunning() { return MainWindowTestAccess::commissionRunning(w()); }

    void busPage()
    {
        m_action = "bus page";
        const int a = pick(100);
        if (a < 15 || (!MainWindowTestAccess::busPageShown(w()) && a < 60)) {
            // To the bus page, or back to another.
            auto *menu = get<QListWidget>("terminalMenu");
            const int row = MainWindowTestAccess::busPageShown(w()) ? pick(2) : 2;
            if (menu->isEnabled() && !menu->isRowHidden(row)) {
                m_action = QStringLiteral("page %1").arg(row);
                menu->setCurrentRow(row);
                w().itemSelected(menu->model()->index(row, 0));
            }
        } else if (a < 45) {
            busScan();
        } else if (a < 58) {
            busWatch();
        } else if (a < 64) {
            busExport();
        } else if (a < 74) {
            busRowDoubleClicked();
        } else {
            commission();
        }
    }

    void waitIdleAfterStop(const char *what, int boundMs)
    {
        if (!QTest::qWaitFor([this] { return link()->isIdle(); }, boundMs))
            violation(QStringLiteral("the link is not idle %1 ms after the %2 was stopped: job %3")
                              .arg(boundMs)
                              .arg(what)
                              .arg(int(link()->job())));
    }

    // The scan and the run want the port to themselves: the engineer ends the serial session
    // first, most times.
    void disconnectFirst()
    {
        if (link()->connection() != DeviceInterface::Connection::Serial || !enabled("rs485_Button")
            || !chance(75))
            return;
        press("rs485_Button");
        (void) QTest::qWaitFor([this] { return settled(); }, 5000);
    }

    // A scan at the panel's speed or at every speed, stopped again at random.
    void busScan()
    {
        m_action = "bus scan";
        disconnectFirst();
        auto *allSpeeds = get<QCheckBox>("busAllSpeedsCheck");
        if (allSpeeds->isEnabled() && chance(30))
            allSpeeds->setChecked(!allSpeeds->isChecked());
        if (!enabled("busScanButton"))
            return;
        m_action = allSpeeds->isChecked() ? "bus scan, every speed" : "bus scan";
        press("busScanButton");
        if (MainWindowTestAccess::busScanRunning(w()))
            ++m_counters.busScans;
        maybePullDuringJob(10);
        QTest::qWait(pick(allSpeeds->isChecked() ? 3000 : 600));
        if (MainWindowTestAccess::busScanRunning(w()) && chance(60)) {
            m_action += ", stopped";
            press("busScanButton");
            waitIdleAfterStop("scan", kScanStopBoundMs);
        }
    }

    // The watch on, a while, and off.
    void busWatch()
    {
        m_action = "bus watch";
        if (!enabled("busWatchButton"))
            return;
        press("busWatchButton");
        if (!MainWindowTestAccess::busWatchRunning(w()))
            return;
        ++m_counters.busWatches;
        if (chance(10))
            pullConverter();
        QTest::qWait(pick(1500));
        if (MainWindowTestAccess::busWatchRunning(w())) {
            m_action += ", stopped";
            press("busWatchButton");
            if (MainWindowTestAccess::busWatchRunning(w()))
                violation("the watch runs on after its button was pressed");
            waitIdleAfterStop("watch", kWatchStopBoundMs);
        }
    }

    void busExport()
    {
        m_action = "bus export";
        if (!enabled("busExportButton"))
            return;
        m_exportName.clear();
        for (const char *name : {"bus.csv", "bus.json", "bus.csv"})
            QFile::remove(m_dir.filePath(name));
        press("busExportButton");
        if (m_exportName.isEmpty())
            return;
        const QString written = m_exportName.endsWith(".json") || m_exportName.endsWith(".csv")
                                        ? m_exportName
                                        : m_exportName + ".csv";
        if (QFileInfo(written).size() <= 0)
            violation("the bus table exported to " + m_exportName + " left no file " + written);
    }

    // A double-click on a row of the table connects to that reader.
    void busRowDoubleClicked()
    {
        m_action = "bus row double-clicked";
        auto *table = get<QTableView>("busTable");
        const int rows = table->model()->rowCount();
        if (!MainWindowTestAccess::busPageShown(w()) || rows == 0)
            return;
        const QModelIndex index = table->model()->index(pick(rows), 0);
        table->scrollTo(index);
        m_action = QStringLiteral("bus row %1 double-clicked").arg(index.row());
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(index).center());
    }

    int reportFiles(const QString &suffix)
    {
        return QDir(CommissionReportPdf::reportsDir()).entryList({"*." + suffix}, QDir::Files).size();
    }

    // The commissioning dialog answered; a run started is watched a while (closing the
    // window meanwhile answered No) and ended with the button.
    void commission()
    {
        m_action = "commissioning";
        disconnectFirst();
        if (!enabled("commissionButton"))
            return;
        auto *table = get<QTableView>("busTable");
        table->clearSelection();
        const int rows = table->model()->rowCount();
        if (rows > 0 && chance(80)) {
            for (int i = 0; i < 1 + pick(2); ++i)
                table->selectionModel()->select(table->model()->index(pick(rows), 0),
                                                QItemSelectionModel::Select
                                                        | QItemSelectionModel::Rows);
        }
        press("commissionButton");
        QPointer<CommissionForm> form;
        for (CommissionForm *f : w().findChildren<CommissionForm *>())
            if (f->isVisible())
                form = f;
        if (!form) {
            violation("the commissioning button showed no dialog");
            return;
        }
        auto *fileRadio = child<QRadioButton>(form, "templateFileRadio");
        auto *formRadio = child<QRadioButton>(form, "templateFormRadio");
        if (chance(75) || !formRadio->isEnabled()) {
            fileRadio->setChecked(true);
            child<QLineEdit>(form, "templateFileEdit")
                    ->setText(m_dir.filePath(chance(90) ? "good.xml" : "missing.xml"));
        } else {
            formRadio->setChecked(true);
        }
        auto *selectedRadio = child<QRadioButton>(form, "targetsSelectedRadio");
        const bool assign = !selectedRadio->isEnabled() || chance(25);
        if (assign) {
            // A factory address where no reader is: the run waits for the next one.
            child<QRadioButton>(form, "targetsAssignRadio")->setChecked(true);
            child<QSpinBox>(form, "factoryAddressSpin")->setValue(5 + pick(4));
            child<QSpinBox>(form, "firstAddressSpin")->setValue(11);
            child<QSpinBox>(form, "lastAddressSpin")->setValue(12);
        } else {
            selectedRadio->setChecked(true);
        }
        m_action = QStringLiteral("commissioning (%1, %2)")
                           .arg(fileRadio->isChecked() ? "file" : "form",
                                assign ? "assign" : "selected");
        const int reportsCsv = reportFiles("csv");
        const int reportsPdf = reportFiles("pdf");
        const int state = w().globalState();
        if (chance(85)) {
            allowWrites();
            m_runState = state;
            m_runChecked = false;
            QTest::mouseClick(child<QPushButton>(form, "startCommissionButton"), Qt::LeftButton);
        }
        // Not started (cancelled, or a template that does not open): the dialog goes.
        if (form && form->isVisible()) {
            m_action += ", cancelled";
            QTest::mouseClick(child<QPushButton>(form, "cancelCommissionButton"), Qt::LeftButton);
        }
        processDeletions();
        if (!commissionRunning())
            return;
        m_action += ", run";
        ++m_counters.runs;
        if (chance(15))
            pullConverter();
        (void) QTest::qWaitFor([this] { return !commissionRunning(); }, pick(assign ? 1500 : 5000));
        if (commissionRunning() && chance(30)) {
            m_action += ", close answered No";
            w().on_closeMainWindow_clicked();
            if (!w().isVisible())
                violation("closing during the run answered No closed the window");
        }
        if (commissionRunning()) {
            m_action += ", ended";
            press("commissionButton");
        }
        (void) QTest::qWaitFor([this] { return !commissionRunning(); }, kStepBoundMs);
        if (commissionRunning())
            return; // the settling says so
        if (reportFiles("csv") != reportsCsv + 1 || reportFiles("pdf") != reportsPdf + 1)
            violation(QStringLiteral("a run ended with reports %1 -> %2 .csv, %3 -> %4 .pdf")
                              .arg(reportsCsv)
                              .arg(reportFiles("csv"))
                              .arg(reportsPdf)
                              .arg(reportFiles("pdf")));
    }

    // While the run drives the link the window stands aside.
    void checkRun()
    {
        if (m_runChecked)
            return;
        QStringList wrong;
        if (w().globalState() != m_runState)
            wrong << QStringLiteral("state %1 -> %2").arg(m_runState).arg(w().globalState());
        if (MainWindowTestAccess::statusTimer(w())->isActive())
            wrong << "the status timer runs";
        for (const char *name : {"rs485_Button", "findDevsButton", "writeConfigButton",
                                 "restartButton", "busScanButton", "busWatchButton"})
            if (enabled(name))
                wrong << QString(name) + " is on";
        const QString status = get<QLabel>("globalStatusText")->text();
        const bool runText
                = status == texts("Ввод в работу", "Commissioning", m_english)
                  || status
                             == texts("Подключите следующий считыватель", "Connect the next reader",
                                      m_english)
                  || status
                             == texts("Ввод в работу приостановлен: преобразователь отключен "
                                      "от ПК",
                                      "Commissioning paused: the converter is disconnected from "
                                      "the PC",
                                      m_english)
                  || status.startsWith(texts("Ввод в работу: считыватель ",
                                             "Commissioning: reader ", m_english));
        if (!runText)
            wrong << "the status shows \"" + status + "\"";
        if (!wrong.isEmpty()) {
            m_runChecked = true;
            violation("during the run: " + wrong.join(", "));
        }
    }

    // The window closed while the write is on its way: asked whether to write (the program
    // ends after the write's reboot), to drop the changes (it ends now) or to stay.
    void closeDuringWrite()
    {
        QTest::qWait(pick(400));
        m_action += ", closed during the write";
        m_closing = true;
        w().on_closeMainWindow_clicked();
        m_closing = false;
    }

    void editField()
    {
        if (!get("devParamsField")->isEnabled())
            return;
        switch (pick(5)) {
        case 0: {
            auto *address = get<QLineEdit>("setAddrLine");
            address->setText(QString::number(1 + pick(chance(70) ? 3 : 254)));
            emit address->editingFinished();
            break;
        }
        case 1: {
            auto *speed = get<QComboBox>("setBaudComboBox");
            if (speed->count() > 0)
                speed->setCurrentIndex(pick(speed->count()));
            break;
        }
        default: {
            const char *names[] = {"genComboBox", "pullUpComboBox", "genTypeComboBox"};
            auto *box = get<QComboBox>(names[pick(3)]);
            if (box->count() > 0)
                box->setCurrentIndex(pick(box->count()));
            break;
        }
        }
    }

    // The reboot question stays open a while (the line goes on meanwhile), then is answered,
    // cancelled, closed with its button or escaped.
    void reboot()
    {
        if (!enabled("restartButton"))
            return;
        press("restartButton");
        auto *form = w().findChild<ReloadForm *>();
        if (!form)
            return;
        if (chance(40))
            QTest::qWait(pick(1500));
        if (chance(10))
            pullConverter();
        form = w().findChild<ReloadForm *>();
        if (!form)
            return;
        const int a = pick(100);
        if (a < 60) {
            m_rebootAllowed = true;
            QTest::mouseClick(child<QPushButton>(form, "reloadButt"), Qt::LeftButton);
        } else if (a < 75) {
            QTest::mouseClick(child<QPushButton>(form, "cancelReloadButt"), Qt::LeftButton);
        } else if (a < 90) {
            QTest::mouseClick(child<QPushButton>(form, "closeReloadFormButt"), Qt::LeftButton);
        } else {
            QTest::keyClick(form, Qt::Key_Escape);
        }
        processDeletions();
    }

    // Console text of any kind: commands the reader knows, hexadecimal of any length up to and
    // past 250 data bytes, odd digits, letters, Cyrillic, blanks, nothing.
    QString consoleText()
    {
        const QStringList codes {"0500", "0700", "0301", "0603", "0200",
                                 "0600", "0A02", "1234", "0302", "0100"};
        switch (pick(8)) {
        case 0:
        case 1: {
            const QStringList commands {"0100", "0500",    "0700", "0301", "0603",
                                        "0200", "0600 01", "0A02", "1234", "0302 02"};
            return commands.at(pick(commands.size()));
        }
        case 2: {
            QString text = codes.at(pick(codes.size()));
            const int bytes = chance(50) ? pick(8) : 240 + pick(20);
            for (int i = 0; i < bytes; ++i) {
                if (chance(20))
                    text += ' ';
                text += QStringLiteral("%1").arg(pick(256), 2, 16, QLatin1Char('0'));
            }
            return text;
        }
        case 3:
            return QStringList {"010", "0100 1", "05003", "1"}.at(pick(4));
        case 4:
            return QStringList {"hello", "0x0100", "zz01", "05OO"}.at(pick(4));
        case 5:
            return QStringList {"привет", "01АБ", "0500 ёж"}.at(pick(3));
        case 6:
            return QStringList {" ", "    ", "\t", " 05 00 "}.at(pick(4));
        default:
            return QString();
        }
    }

    void console()
    {
        if (chance(35)) {
            // To the console page and back.
            m_action = "page";
            w().hotkeysCtrlAltC();
            auto *menu = get<QListWidget>("terminalMenu");
            if (menu->isEnabled()) {
                const int row = menu->currentRow() == 1 || chance(30) ? 0 : 1;
                if (!menu->isRowHidden(row))
                    w().itemSelected(menu->model()->index(row, 0));
            }
            return;
        }
        m_action = "console";
        const QString command = consoleText();
        const Frame220::TerminalCommand parsed = Frame220::parseTerminalCommand(command);
        if (parsed.isValid()) {
            m_consoleCodes << parsed.code;
            if (parsed.code == Cmd220::Reboot)
                m_rebootAllowed = true;
        }
        m_action = "console \"" + command.left(24) + (command.size() > 24 ? "…\"" : "\"");
        get<QComboBox>("cmdLine")->setCurrentText(command);
        press("sendCommand");
    }

    // Polling switched on or off, saved, cancelled, closed or escaped.
    void settingsDialog()
    {
        m_action = "settings";
        w().settingShow();
        auto *form = w().findChild<SettingsForm *>();
        if (!form || !form->isVisible())
            return;
        if (chance(70)) {
            auto *polling = child<QCheckBox>(form, "statusCheckBox");
            polling->setChecked(!polling->isChecked());
        }
        if (chance(30)) {
            auto *fls = child<QCheckBox>(form, "flsCheckBox");
            fls->setChecked(!fls->isChecked());
        }
        if (chance(40))
            QTest::qWait(pick(500));
        const int a = pick(100);
        if (a < 55) {
            m_action = "settings saved";
            QTest::mouseClick(child<QPushButton>(form, "saveButton"), Qt::LeftButton);
        } else if (a < 75) {
            QTest::mouseClick(child<QPushButton>(form, "cancelButton"), Qt::LeftButton);
        } else if (a < 90) {
            QTest::mouseClick(child<QPushButton>(form, "closeSettingsFormButton"), Qt::LeftButton);
        } else {
            QTest::keyClick(form, Qt::Key_Escape);
        }
    }

    bool pollingOn()
    {
        auto *form = w().findChild<SettingsForm *>();
        return form && form->statusRefresh();
    }

    // The remote button: the login dialog (filled in and confirmed, with the right password or
    // a wrong one or none, cancelled, closed, escaped), or the end of the session or login.
    void remoteButton()
    {
        m_action = "remote button";
        if (!enabled("remCfgButton"))
            return;
        if (link()->isRemoteMode()) {
            m_action = "remote button: end";
            press("remCfgButton");
            return;
        }
        m_action = "remote login";
        const int delay = pick(800);
        m_loginAnswered = false;
        QTimer::singleShot(delay, m_window.get(), [this] { answerLogin(0); });
        press("remCfgButton");
        // The dialog ran its own loop and has ended; a login on its way runs on.
        if (!m_loginAnswered)
            violation("the login dialog was never seen");
        processDeletions();
    }

    void answerLogin(int attempt)
    {
        auto *form = w().findChild<RemoteConnectForm *>();
        if (!form || !form->isVisible()) {
            if (attempt < 20)
                QTimer::singleShot(50, m_window.get(),
                                   [this, attempt] { answerLogin(attempt + 1); });
            return;
        }
        m_loginAnswered = true;
        if (chance(10))
            pullConverter();
        auto fill = [form](const QString &imei, const QString &password) {
            child<QLineEdit>(form, "imeiLineEdit")->setText(imei);
            child<QLineEdit>(form, "passLineEdit")->setText(password);
        };
        const int a = pick(100);
        if (a < 55) {
            fill(kImei, kPassword);
            m_action = "remote login: right password";
            QTest::mouseClick(child<QPushButton>(form, "connectButton"), Qt::LeftButton);
        } else if (a < 65) {
            fill(kImei, "4321");
            m_action = "remote login: wrong password";
            QTest::mouseClick(child<QPushButton>(form, "connectButton"), Qt::LeftButton);
        } else if (a < 72) {
            // No password: told, and the dialog stays for another answer.
            fill(kImei, QString());
            QTest::mouseClick(child<QPushButton>(form, "connectButton"), Qt::LeftButton);
            m_loginAnswered = false;
            QTimer::singleShot(pick(300), m_window.get(), [this] { answerLogin(0); });
        } else if (a < 82) {
            QTest::mouseClick(child<QPushButton>(form, "cancelButton"), Qt::LeftButton);
        } else if (a < 92) {
            QTest::mouseClick(child<QPushButton>(form, "closeRemoteCfgFormButton"), Qt::LeftButton);
        } else {
            QTest::keyClick(form, Qt::Key_Escape);
        }
    }

    void serverFault()
    {
        ++m_counters.faults;
        switch (pick(7)) {
        case 0:
            m_action = "server: silent at login";
            m_server.setLoginReply(chance(50) ? ConfigServerSim::LoginReply::Silent
                                              : ConfigServerSim::LoginReply::Ping);
            break;
        case 1:
            m_action = "server: connection dropped";
            m_server.disconnectAll();
            break;
        case 2: {
            m_action = "server: relay fault";
            using F = ConfigServerSim::RelayFault;
            const F faults[] = {F::NoAnswer, F::Damaged, F::Split, F::TerminalNotAnswer, F::Silent};
            m_server.addRelayFault(faults[pick(5)], 1 + pick(2));
            break;
        }
        case 3:
            // A server that sends PING faster than anyone could answer.
            m_action = "server: PING flood";
            for (int i = 0; i < 30 + pick(60); ++i) {
                m_server.sendToAll(QByteArray("PING\r\n").repeated(1 + pick(40)));
                QTest::qWait(pick(3));
            }
            break;
        case 4:
            m_action = "server: slow no-answer";
            m_server.setNoAnswerDelayMs(chance(60) ? 0 : pick(400));
            break;
        case 5:
            // The serial buttons pressed while a login is pending (or a session runs).
            m_action = "serial buttons";
            press("rs485_Button");
            press("findDevsButton");
            break;
        default:
            m_action = "server: login normal";
            m_server.setLoginReply(ConfigServerSim::LoginReply::Ping);
            m_server.clearRelayFaults();
            break;
        }
    }

    // An update check against one of the two servers with its faults; the questions that
    // follow are answered at random.
    void updateCheck()
    {
        m_action = "update check";
        if (chance(40)) {
            UpdateServerRig &rig = chance(50) ? m_ftpUpdates : m_chunkUpdates;
            rig.pointSettings();
            UpdateServerSimSettings &s = rig.server->settings();
            s.dropInChunk = chance(25) ? pick(7) : -1;
            s.completeWithLastChunk = chance(30);
            s.ftpCloseAfterBytes = chance(30) ? pick(7000) : -1;
            s.closeOnFtpDownload = chance(30);
            const int kind = pick(100);
            rig.serve("conf_0.4.0.zip", kind < 75   ? configuratorArchive(testSigningKey())
                                        : kind < 88 ? configuratorArchive(foreignSigningKey())
                                                    : QByteArray(3000, 'z'));
            m_action = QStringLiteral("update check (%1, drop in chunk %2, glued %3, ftp close "
                                      "%4, close on ftp %5)")
                               .arg(&rig == &m_ftpUpdates ? "FTP" : "chunks")
                               .arg(s.dropInChunk)
                               .arg(s.completeWithLastChunk)
                               .arg(s.ftpCloseAfterBytes)
                               .arg(s.closeOnFtpDownload);
        }
        if (chance(15)) {
            // The firmware downloaded earlier is gone: the next check brings it again.
            for (const QString &name :
                 QDir(m_dir.filePath("firmware")).entryList({"*1.6.0*"}, QDir::Files))
                QFile::remove(m_dir.filePath("firmware/" + name));
        }
        if (enabled("checkUpdatesButton"))
            press("checkUpdatesButton");
    }

    // The firmware upload into the model-200 reader: offered once it has been read.
    void firmwareUpload()
    {
        m_action = "firmware upload";
        auto *button = get<QPushButton>("updateFwButton");
        if (enabled("rs485_Button") && !link()->hasSession() && enabled("rs485_selAddr")) {
            // Connect to the model-200 reader first.
            m_action = "firmware upload: connect to reader 3";
            get<QComboBox>("rs485_selAddr")->setCurrentText("3");
            get<QComboBox>("rs485_220_speed")->setCurrentText("19200");
            press("rs485_Button");
            if (!QTest::qWaitFor([this] { return settled(); }, 5000))
                return;
        }
        if (button->isVisible() && button->isEnabled()) {
            press("updateFwButton");
            if (w().globalState() == 15) {
                ++m_counters.uploads;
                maybePullDuringJob(30);
            }
        }
    }

    void fault()
    {
        ++m_counters.faults;
        if (chance(20)) {
            injectFault(m_server.readers());
            m_action = "server " + m_action;
            return;
        }
        onBus([this] { injectFault(m_bus->readers()); });
    }

    // On the thread of the readers.
    void injectFault(const QList<SimReader *> &readers)
    {
        SimReader *reader = readers.at(pick(readers.size()));
        SimReaderSettings &s = reader->settings();
        switch (pick(6)) {
        case 0:
            m_action = "fault: silent";
            s.silentRequests = 1 + pick(6);
            break;
        case 1:
            m_action = "fault: checksum";
            s.badChecksum = !s.badChecksum;
            break;
        case 2:
            // Answers in pieces, within the 10 ms of silence that end an answer (a reader that
            // pauses longer mid-answer sends two answers, and a scan goes on after the first).
            m_action = "fault: pieces";
            s.splitPieces = s.splitPieces > 1 ? 1 : 2 + pick(2);
            s.splitGapMs = pick(5);
            break;
        case 3:
            m_action = "fault: refused writes";
            s.rejectWrites = s.rejectWrites ? 0 : 1;
            break;
        case 4:
            // The model-200 reader gets its old firmware back: an upload is offered again.
            m_action = "fault: firmware back to 1.4.0";
            if (s.deviceId == 200)
                s.firmware = "1.4.0";
            break;
        default:
            m_action = "fault: converter pulled";
            if (m_bus->thread() == QThread::currentThread() && m_bus->isOpen()) {
                m_bus->close();
                m_stepsUnplugged = 1 + pick(4);
            }
            break;
        }
    }

    // ---- the link's jobs and the window's end ----
    void sampleJob()
    {
        if (commissionRunning()
            && get<QPushButton>("commissionButton")->text() == texts("Завершить", "End", m_english))
            checkRun();
        // The server must take the connection within 10 s and let the terminal in within 30 s
        // more.
        if (link()->connection() == DeviceInterface::Connection::RemoteLoginPending
            && m_loginClock.elapsed() > kLoginBoundMs && !m_loginOverdue) {
            m_loginOverdue = true;
            violation(QStringLiteral("a login pending for longer than %1 ms").arg(kLoginBoundMs));
        }
        const DeviceInterface::Job job = link()->job();
        if (job != m_lastJob) {
            m_lastJob = job;
            m_jobClock.restart();
            m_jobOverdue = false;
            return;
        }
        if (job == DeviceInterface::Job::Idle || m_jobOverdue)
            return;
        const int bound = jobBoundMs(job, link()->isRemoteMode());
        if (m_jobClock.elapsed() > bound) {
            m_jobOverdue = true;
            violation(QStringLiteral("job %1 runs longer than %2 ms").arg(int(job)).arg(bound));
        }
    }

    void watchState(int code)
    {
        if (code == 4)
            m_formStale = false;
        if (code == 7)
            m_rebootSeen = true;
        // The write asked for when closing has ended with its reboot: the program quits.
        if (code == 7 && MainWindowTestAccess::closeAfterWrite(w()))
            m_programEnded = true;
    }

    bool programEnded()
    {
        return m_programEnded || m_handOvers.calls.size() > m_handOversSeen || !w().isVisible();
    }

    // ---- settling and the invariants ----
    bool settled()
    {
        if (programEnded())
            return true;
        const int state = w().globalState();
        const bool dialogOpen = w().findChild<ReloadForm *>() != nullptr;
        // A login the server answers ends within a few milliseconds; one still pending after
        // seconds waits for a silent server, until the engineer gives it up.
        if (link()->connection() == DeviceInterface::Connection::RemoteLoginPending
            && m_loginClock.elapsed() < kLoginSettleMs)
            return false;
        return (state == 0 || state == 3) && link()->isIdle() && !dialogOpen && !commissionRunning()
               && !MainWindowTestAccess::busScanRunning(w())
               && !MainWindowTestAccess::portTimer(w())->isActive()
               && get("checkUpdatesButton")->isEnabled()
               && !MainWindowTestAccess::updateCheckPending(w());
    }

    bool faultsOn(const SimReader *reader) const
    {
        const SimReaderSettings &s = reader->settings();
        return s.badChecksum || s.silentRequests > 0;
    }

    void settleAndCheck()
    {
        QElapsedTimer clock;
        clock.start();
        // The engineer's next action comes after a moment, not in the same turn of the loop.
        QTest::qWait(10 + pick(150));
        // A scan left running ends by itself.
        while (!settled() && clock.elapsed() < kStepBoundMs) {
            if (m_pullAtMs >= 0 && clock.elapsed() >= m_pullAtMs) {
                m_action += QStringLiteral(", converter pulled at %1 ms").arg(m_pullAtMs);
                m_pullAtMs = -1;
                pullConverter();
            }
            QTest::qWait(20);
        }
        if (!settled()) {
            violation(QStringLiteral("no end within %1 ms: state %2, job %3, connection %4")
                              .arg(kStepBoundMs)
                              .arg(w().globalState())
                              .arg(int(link()->job()))
                              .arg(int(link()->connection())));
            return;
        }
        // Closed with the changes to be written: the program ends once the write has ended
        // with its reboot.
        if (m_closeWithWrite && m_rebootSeen && !programEnded())
            violation("closed with the write asked for, the write ended with its reboot, and the "
                      "program runs on");
        if (programEnded()) {
            // The program ended (an update handed over, the window closed, a quit after the
            // write): started again.
            ++m_counters.restarts;
            m_action += ", program started again";
            m_window.reset();
            // A quit asked for outside the application's loop leaves every loop started later
            // (a dialog's) ending at once: the application's own loop starts and ends once, as
            // in a program started anew, which clears that.
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
            QCoreApplication::exec();
            makeWindow();
            while (!settled() && clock.elapsed() < kStepBoundMs)
                QTest::qWait(20);
        }
        checkState();
        int overlaps = 0;
        onBus([&] {
            overlaps = m_bus->overlappingRequests();
            m_bus->clearOverlaps();
        });
        // The bus reads what the pseudo-terminal delivers, and a loaded kernel may deliver two
        // requests sent 50 ms apart together: a request the bus saw too early is the link's
        // fault only if the link also sent it too early.
        if (overlaps > 0 && m_linkEarly > 0)
            violation(QStringLiteral("%1 requests while the bus was busy").arg(overlaps));
        else
            m_counters.unjudged += overlaps;
        m_linkEarly = 0;
        m_writesAllowed = false;
        m_rebootAllowed = false;
        m_consoleCodes.clear();
        m_yesInARow = 0;
    }

    // The converter a session waits for is back: the session goes on by itself (its time of a
    // minute may have run out meanwhile, which closes it).
    void checkResumed()
    {
        if (!m_window || link()->connection() != DeviceInterface::Connection::SerialLost)
            return;
        const bool resumed = QTest::qWaitFor(
                [this] { return link()->connection() != DeviceInterface::Connection::SerialLost; },
                3 * DeviceInterface::PortReturnCheckMs + 1000);
        if (!resumed)
            violation("the converter is back, and the session still waits for it");
    }

    void controls(int state, const char *on, const char *off)
    {
        for (const QString &name : QString(on).split(' ', Qt::SkipEmptyParts))
            if (!get(qPrintable(name))->isEnabled())
                violation("state " + QString::number(state) + ": " + name + " is off");
        for (const QString &name : QString(off).split(' ', Qt::SkipEmptyParts))
            if (get(qPrintable(name))->isEnabled())
                violation("state " + QString::number(state) + ": " + name + " is on");
    }

    // The bus page's buttons: a scan and a run on a closed port, the watch beside a serial
    // session too, once the table has readers.
    void checkBusButtons(int state, DeviceInterface::Connection connection)
    {
        using C = DeviceInterface::Connection;
        const bool closed = connection == C::Closed;
        const bool rows = get<QTableView>("busTable")->model()->rowCount() > 0;
        const bool watchable = closed || (connection == C::Serial && state == 3);
        const QList<QPair<const char *, bool>> expected {{"busScanButton", closed},
                                                         {"commissionButton", closed},
                                                         {"busWatchButton", rows && watchable},
                                                         {"busExportButton", rows}};
        for (const auto &button : expected)
            if (enabled(button.first) != button.second)
                violation(QStringLiteral("state %1, connection %2: %3 is %4")
                                  .arg(state)
                                  .arg(int(connection))
                                  .arg(button.first, button.second ? "off" : "on"));
    }

    void checkState()
    {
        const int state = w().globalState();
        checkBusButtons(state, link()->connection());
        const QString status = get<QLabel>("globalStatusText")->text();
        const bool open = link()->isPortOpen();
        const DeviceInterface::Connection connection = link()->connection();
        using C = DeviceInterface::Connection;
        if (connection == C::SerialLost) {
            // The session waits for its converter: it says so, and only the connection button
            // (which gives the session up) works.
            if (open)
                violation("a session waiting for its converter with the port open");
            if (status
                != texts("Преобразователь отключен от ПК. Сеанс продолжится, когда он будет "
                         "подключен снова",
                         "The converter is unplugged. The session goes on when it is plugged in "
                         "again",
                         m_english))
                violation("a session waiting for its converter shows \"" + status + "\"");
            controls(state, "rs485_Button",
                     "findDevsButton remCfgButton writeConfigButton restartButton updateFwButton");
            checkForm();
            return;
        }
        if (state == 0) {
            if (open)
                violation("\"closed\" shown with the port open");
            if (connection == C::RemoteLoginPending) {
                if (status
                    != texts("Подключение к серверу конфигурирования",
                             "Connecting to the configuration server", m_english))
                    violation("a pending login shows \"" + status + "\"");
                controls(state, "remCfgButton",
                         "rs485_Button findDevsButton writeConfigButton restartButton");
                return;
            }
            if (connection != C::Closed)
                violation(QStringLiteral("state 0 with connection %1").arg(int(connection)));
            if (status != texts("Соединения закрыты", "Connections closed", m_english)
                && status != texts("Порт закрыт", "Port closed", m_english))
                violation("state 0 shows \"" + status + "\"");
            controls(state, "rs485_Button findDevsButton remCfgButton",
                     "writeConfigButton restartButton");
            return;
        }
        // State 3.
        if (connection == C::Remote) {
            if (status != texts("Соединение установлено удаленно", "Connected remotely", m_english))
                violation("a remote session shows \"" + status + "\"");
            controls(state, "remCfgButton writeConfigButton restartButton",
                     "rs485_Button findDevsButton");
        } else {
            if (connection != C::Serial || !open)
                violation(QStringLiteral("\"connected\" shown with connection %1, port %2")
                                  .arg(int(connection))
                                  .arg(open ? "open" : "closed"));
            if (status != texts("Соединение установлено", "Connected", m_english))
                violation("state 3 shows \"" + status + "\"");
            controls(state, "rs485_Button writeConfigButton restartButton",
                     "findDevsButton remCfgButton");
        }
        checkForm();
        checkPolling();
    }

    // What the reader at the link's address holds, when exactly one reader answers there.
    struct Held
    {
        bool unique = false;
        bool faulty = false;
        bool speedMatches = false;
        QStringList addresses, speeds;
        int genState = -1, pullUp = -1, genMode = -1;
    };
    Held held(const QList<SimReader *> &readers, quint8 address)
    {
        Held h;
        int count = 0;
        for (const SimReader *reader : readers) {
            const SimReaderSettings &s = reader->settings();
            if (s.address != address && reader->pendingAddress() != address)
                continue;
            ++count;
            h.faulty = faultsOn(reader);
            h.speedMatches = quint32(link()->baudRate()) == s.speed;
            h.addresses << QString::number(s.address);
            if (reader->pendingAddress() != 0)
                h.addresses << QString::number(reader->pendingAddress());
            h.speeds << QString::number(s.speed);
            if (reader->pendingSpeed() != 0)
                h.speeds << QString::number(reader->pendingSpeed());
            h.genState = s.genState;
            h.pullUp = s.pullUp;
            h.genMode = s.genMode;
        }
        h.unique = count == 1;
        return h;
    }
    Held heldByConnectedReader()
    {
        const quint8 address = link()->deviceAddress();
        if (link()->isRemoteMode())
            return held(m_server.readers(), address);
        Held h;
        onBus([&] { h = held(m_bus->readers(), address); });
        return h;
    }

    // The form shows what the reader holds, or a change marked pending.
    void checkForm()
    {
        if (m_formStale)
            return;
        const Held h = heldByConnectedReader();
        if (!h.unique)
            return;
        auto pending = [](QWidget *field) {
            return field->property("pending").toBool();
        };
        auto *address = get<QLineEdit>("setAddrLine");
        if (!pending(address) && !address->text().isEmpty()
            && !h.addresses.contains(address->text()))
            violation(QStringLiteral("the form shows address %1 unmarked, the reader holds %2")
                              .arg(address->text(), h.addresses.join('/')));
        auto *speed = get<QComboBox>("setBaudComboBox");
        if (!pending(speed) && speed->currentIndex() >= 0
            && !h.speeds.contains(speed->currentText()))
            violation(QStringLiteral("the form shows speed %1 unmarked, the reader holds %2")
                              .arg(speed->currentText(), h.speeds.join('/')));
        const QList<QPair<const char *, int>> boxes {{"genComboBox", h.genState},
                                                     {"pullUpComboBox", h.pullUp},
                                                     {"genTypeComboBox", h.genMode}};
        for (const auto &box : boxes) {
            auto *field = get<QComboBox>(box.first);
            if (!pending(field) && field->currentIndex() >= 0 && field->currentIndex() != box.second)
                violation(QStringLiteral("the form shows %1 = %2 unmarked, the reader holds %3")
                                  .arg(box.first)
                                  .arg(field->currentIndex())
                                  .arg(box.second));
        }
    }

    // Polling on the configuration page: the reader answers the next status read.
    void checkPolling()
    {
        if (!pollingOn() || w().findChild<QStackedWidget *>("stackedWidget")->currentIndex() != 0)
            return;
        const Held h = heldByConnectedReader();
        if (link()->isRemoteMode()) {
            if (!h.unique || h.faulty)
                return;
            const int before = m_serverFrames;
            const bool sent = QTest::qWaitFor(
                    [&] { return m_serverFrames > before || w().globalState() != 3; }, 3000);
            if (!sent)
                violation("a remote session with polling on, and no status read was sent");
            return;
        }
        bool open = busOpen();
        if (!open || !h.unique || h.faulty || !h.speedMatches)
            return; // the next status read finds out; the walk goes on from there
        const quint8 address = link()->deviceAddress();
        m_answers.clear();
        const bool answered = QTest::qWaitFor(
                [&] {
                    for (const QByteArray &frame : qAsConst(m_answers))
                        if (quint8(frame.at(0)) == address)
                            return true;
                    return w().globalState() != 3;
                },
                3000);
        if (!answered)
            violation(QStringLiteral("\"connected\" to %1 at %2 baud, and no status read was "
                                     "answered")
                              .arg(address)
                              .arg(link()->baudRate()));
    }

    QRandomGenerator m_random;
    quint32 m_seed;
    Counters &m_counters;
    TempProgramDir m_dir {true, true};
    QThread m_busThread;
    SimBus *m_bus = nullptr;
    QString m_linkPath;
    ConfigServerSim m_server;
    UpdateServerRig m_chunkUpdates;
    UpdateServerRig m_ftpUpdates {[] {
        UpdateServerSimSettings s;
        s.serveFtp = true;
        return s;
    }()};
    HandOverRecorder m_handOvers;
    int m_handOversSeen = 0;
    std::unique_ptr<MainWindow> m_window;
    QList<QByteArray> m_answers;
    // The link's own account of the line, from its console lines: a request it sends less than
    // the bus's minimum gap after an unanswered one of its own was sent too early.
    void watchLink(const QString &line)
    {
        if (line.contains(QLatin1String("&lt; </font>"))) {
            m_linkAnswered = true;
        } else if (line.contains(QLatin1String("&gt; </font>"))) {
            const qint64 now = m_linkClock.elapsed();
            if (!m_linkAnswered && m_lastLinkRequestMs >= 0
                && now - m_lastLinkRequestMs < SimBus::kMinRequestGapMs)
                ++m_linkEarly;
            m_lastLinkRequestMs = now;
            m_linkAnswered = false;
        }
    }
    QElapsedTimer m_linkClock;
    qint64 m_lastLinkRequestMs = -1;
    bool m_linkAnswered = true;
    int m_linkEarly = 0;
    DeviceInterface::Job m_lastJob = DeviceInterface::Job::Idle;
    QElapsedTimer m_jobClock;
    QElapsedTimer m_loginClock; // since the login to the configuration server began
    bool m_jobOverdue = false;
    bool m_loginOverdue = false;
    QList<quint16> m_consoleCodes;
    QString m_action;
    int m_step = 0;
    int m_yesInARow = 0;
    int m_stepsUnplugged = 0;
    int m_pullAtMs = -1;
    int m_parserDelayMs = 0;
    int m_serverFrames = 0;
    int m_boxDepth = 0; // questions waiting for their answer
    bool m_english = false;
    bool m_writesAllowed = false;
    bool m_rebootAllowed = false;
    bool m_closing = false;
    bool m_closeWithWrite = false; // closing, the engineer asked for the changes to be written
    bool m_rebootSeen = false; // the reader reported its reboot in this step
    bool m_formStale = false;
    bool m_loginAnswered = false;
    bool m_programEnded = false;
    QString m_exportName; // the bus table's export answered with this name
    int m_runState = 0; // the window's state when the run started
    bool m_runChecked = false; // a violation of the run was told
    // ZEMO_SOAK_TRACE prints every step with the state it left.
    const bool m_trace = qEnvironmentVariableIsSet("ZEMO_SOAK_TRACE");
};

} // namespace

class TestSoak : public QObject
{
    Q_OBJECT
private slots:
    void randomSessions();
};

namespace {
QtMessageHandler g_previousHandler = nullptr;
// The walk logs thousands of lines a minute: only warnings (the violations among them) are
// shown, unless ZEMO_SOAK_VERBOSE asks for everything.
void quietHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    // The offscreen platform says so of every dialog it shows.
    if (type == QtWarningMsg && message.startsWith("This plugin does not support"))
        return;
    if (type != QtDebugMsg && type != QtInfoMsg && g_previousHandler)
        g_previousHandler(type, context, message);
}
} // namespace

void TestSoak::randomSessions()
{
    if (!qEnvironmentVariableIsSet("ZEMO_SOAK_VERBOSE"))
        g_previousHandler = qInstallMessageHandler(quietHandler);
    const int seconds = qEnvironmentVariableIntValue("ZEMO_SOAK_SECONDS");
    const QByteArray replay = qgetenv("ZEMO_SOAK_SEED");
    const int replaySteps = qEnvironmentVariableIsSet("ZEMO_SOAK_STEPS")
                                    ? qEnvironmentVariableIntValue("ZEMO_SOAK_STEPS")
                                    : 120;
    Counters counters;
    QElapsedTimer clock;
    clock.start();
    QList<quint32> seeds;
    if (!replay.isEmpty() || seconds <= 0) {
        // One walk: the seed asked for, or the fixed one of the test suite.
        const quint32 seed = replay.isEmpty() ? 20261206u : replay.toUInt();
        seeds << seed;
        Session(seed, counters).run(replay.isEmpty() ? kShortRunSteps : replaySteps);
    } else {
        while (clock.elapsed() < qint64(seconds) * 1000 && counters.violations == 0) {
            const quint32 seed = QRandomGenerator::global()->generate();
            seeds << seed;
            Session(seed, counters).run(120);
        }
    }
    const QString summary = QStringLiteral("Soak: %1 s, %2 sessions, steps %3, faults injected %4, "
                                           "remote sessions %5, firmware uploads %6, program "
                                           "restarts %7, bus scans %8, bus watches %9, "
                                           "commissioning runs %10, invariant violations %11, "
                                           "requests not judged (the bus read them late) %12; "
                                           "last seed %13")
                                    .arg(clock.elapsed() / 1000)
                                    .arg(seeds.size())
                                    .arg(counters.steps)
                                    .arg(counters.faults)
                                    .arg(counters.remoteSessions)
                                    .arg(counters.uploads)
                                    .arg(counters.restarts)
                                    .arg(counters.busScans)
                                    .arg(counters.busWatches)
                                    .arg(counters.runs)
                                    .arg(counters.violations)
                                    .arg(counters.unjudged)
                                    .arg(seeds.last());
    std::fprintf(stderr, "%s\n", qPrintable(summary));
    if (g_previousHandler)
        qInstallMessageHandler(g_previousHandler);
    QVERIFY2(counters.violations == 0, qPrintable(summary));
}

QTEST_MAIN(TestSoak)
#include "tst_soak.moc"
