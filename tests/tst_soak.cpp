// ctest: slow
// Randomized engineer sessions: the real window over the in-process simulated bus, driven by a
// seeded random walk of what an engineer does (connect, disconnect, search and stop, edit, write,
// reboot, open and save files, console commands, every answer to every question, converters
// plugged in and out, the language switched) while the bus misbehaves at random (silent readers,
// damaged checksums, answers in pieces, refused writes, the converter pulled). After each step,
// once the window has settled or a bound has passed, the invariants are checked:
//   - the status shown is the link's: "connected" is an open port with a reader that answers,
//     "closed" a closed port;
//   - never two requests on the bus at once;
//   - every step ends within its bound;
//   - the enabled controls are those of the state shown;
//   - the reader gets no write or reboot the engineer did not ask for.
//
// ctest runs one short walk with a fixed seed. `make soak SOAK_SECONDS=N` sets ZEMO_SOAK_SECONDS
// and walks fresh seeds for that long; ZEMO_SOAK_SEED=S replays one seed. Every violation prints
// its seed and step, and stays a fixed test once understood.
#include "commands220.h"
#include "deviceinterface.h"
#include "frame220.h"
#include "mainwindowaccess.h"
#include "reloadform.h"

#include <QElapsedTimer>
#include <QRandomGenerator>

#include <functional>

namespace {

constexpr int kAnswerTimeoutMs = 250; // the link's answer time-out, shortened for the walk
constexpr int kStepBoundMs = 60000; // a step of the walk ends within this
constexpr int kShortRunSteps = 60;

const QList<quint16> kWriteCodes {Cmd220::WriteSpeed, Cmd220::WriteAddress, Cmd220::WriteGenState,
                                  Cmd220::WritePullUp, Cmd220::WriteGenMode};

QString texts(const QString &ru, const QString &en, bool english)
{
    return english ? en : ru;
}

struct Counters
{
    int steps = 0;
    int faults = 0;
    int violations = 0;
    int unjudged = 0; // requests the bus saw too early that the link sent in time
};

// One session: a window, a bus with two readers, the prompter answering at random.
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
        });
        QVERIFY(opened);
        qputenv("ZEMO_EXTRA_PORTS", m_linkPath.toLocal8Bit());
        writeFiles();
        Prompter::setDefaultHandlers([this](const MessageRequest &box) { return answer(box); },
                                     [this](const FileRequest &request) { return fileFor(request); },
                                     [](const QUrl &) { return true; });
        m_window.reset(new MainWindow(nullptr, "ru_RU"));
        m_window->show();
        link()->setAnswerTimeoutMs(kAnswerTimeoutMs);
        QObject::connect(m_bus, &SimBus::requestReceived, m_window.get(),
                         [this](const QByteArray &frame) { checkRequest(frame); });
        QObject::connect(m_bus, &SimBus::answerSent, m_window.get(),
                         [this](const QByteArray &frame) { m_answers << frame; });
        QObject::connect(link(), &DeviceInterface::printToTerminal, m_window.get(),
                         [this](const QString &line) { watchLink(line); });
        m_linkClock.start();
        auto *ports = child<QComboBox>(m_window.get(), "rs485_220_port");
        QTRY_VERIFY(ports->findText(m_linkPath) >= 0);
        ports->setCurrentText(m_linkPath);
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
            // A pulled converter is plugged in again a few steps later.
            if (!busOpen() && --m_stepsUnplugged <= 0) {
                onBus([this] { m_bus->open(m_linkPath); });
                MainWindowTestAccess::notifyDeviceChange(w());
            }
            step();
            settleAndCheck();
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
    Prompt::Button answer(const MessageRequest &box)
    {
        if (!(box.buttons & Prompt::Yes))
            return Prompt::Ok;
        // The window's own questions (in either language) are about writing: closing with
        // changes (two lines: write first, or stay; "No" would close the window) and the write
        // button's. The link's questions about a silent reader have no parent.
        if (box.icon == Prompt::Question && box.text.contains('\n')) {
            if (chance(50)) {
                allowWrites();
                return Prompt::Yes;
            }
            return Prompt::Cancel;
        }
        if (box.icon == Prompt::Question) {
            if (chance(70)) {
                allowWrites();
                return Prompt::Yes;
            }
            return chance(50) ? Prompt::No : Prompt::Cancel;
        }
        // The silent-reader questions: Yes at most twice in a row, so every step ends.
        if (m_yesInARow < 2 && chance(50)) {
            ++m_yesInARow;
            return Prompt::Yes;
        }
        m_yesInARow = 0;
        return Prompt::No;
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
    }

    QString fileFor(const FileRequest &request)
    {
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
    }

    // ---- the walk ----
    void press(const char *name) { QTest::mouseClick(get<QPushButton>(name), Qt::LeftButton); }

    bool enabled(const char *name) { return get(name)->isEnabled(); }

    void step()
    {
        m_answers.clear();
        const int action = pick(100);
        if (action < 14) {
            m_action = "connection button";
            if (enabled("rs485_Button"))
                press("rs485_Button");
        } else if (action < 22) {
            m_action = "search and stop";
            if (enabled("findDevsButton")) {
                press("findDevsButton");
                QTest::qWait(pick(600));
                if (w().globalState() == 1 && chance(90))
                    press("findDevsButton");
            }
        } else if (action < 28) {
            m_action = "panel";
            if (enabled("rs485_selAddr")) {
                get<QComboBox>("rs485_selAddr")->setCurrentText(QString::number(1 + pick(3)));
                get<QComboBox>("rs485_220_speed")->setCurrentText(chance(80) ? "19200" : "9600");
            }
        } else if (action < 40) {
            m_action = "edit";
            editField();
        } else if (action < 50) {
            m_action = "write";
            if (enabled("writeConfigButton"))
                press("writeConfigButton");
        } else if (action < 56) {
            m_action = "reboot";
            reboot();
        } else if (action < 61) {
            m_action = "open file";
            if (enabled("openFileButton"))
                press("openFileButton");
        } else if (action < 64) {
            m_action = "save file";
            if (enabled("saveFileButton"))
                press("saveFileButton");
        } else if (action < 74) {
            m_action = "console";
            console();
        } else if (action < 78) {
            m_action = "device change";
            MainWindowTestAccess::notifyDeviceChange(w());
        } else if (action < 81) {
            m_action = "language";
            m_english = !m_english;
            w().changeLanguage(m_english ? "en" : "ru");
        } else if (action < 83) {
            m_action = "close with changes";
            w().on_closeMainWindow_clicked();
        } else {
            m_action = "fault";
            fault();
        }
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

    void reboot()
    {
        if (!enabled("restartButton"))
            return;
        press("restartButton");
        auto *form = w().findChild<ReloadForm *>();
        if (!form)
            return;
        if (chance(70)) {
            m_rebootAllowed = true;
            QTest::mouseClick(child<QPushButton>(form, "reloadButt"), Qt::LeftButton);
        } else {
            QTest::mouseClick(child<QPushButton>(form, "cancelReloadButt"), Qt::LeftButton);
        }
        processDeletions();
    }

    void console()
    {
        if (chance(40)) {
            // To the console page and back.
            w().hotkeysCtrlAltC();
            auto *menu = get<QListWidget>("terminalMenu");
            if (menu->isEnabled()) {
                const int row = menu->currentRow() == 1 || chance(30) ? 0 : 1;
                if (!menu->isRowHidden(row))
                    w().itemSelected(menu->model()->index(row, 0));
            }
            return;
        }
        const QStringList commands {"0100", "0500",    "0700", "0301", "0603",
                                    "0200", "0600 01", "0A02", "1234", "0302 02"};
        const QString command = commands.at(pick(commands.size()));
        const quint16 code = Frame220::parseTerminalCommand(command).code;
        m_consoleCodes << code;
        if (code == Cmd220::Reboot)
            m_rebootAllowed = true;
        get<QComboBox>("cmdLine")->setCurrentText(command);
        press("sendCommand");
    }

    void fault()
    {
        ++m_counters.faults;
        onBus([this] { injectFault(); });
    }

    // On the bus's thread.
    void injectFault()
    {
        QList<SimReader *> readers = m_bus->readers();
        SimReader *reader = readers.at(pick(readers.size()));
        SimReaderSettings &s = reader->settings();
        switch (pick(5)) {
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
        default:
            m_action = "fault: converter pulled";
            if (m_bus->isOpen()) {
                m_bus->close();
                m_stepsUnplugged = 1 + pick(4);
            }
            break;
        }
    }

    // ---- settling and the invariants ----
    bool settled()
    {
        const int state = w().globalState();
        const bool dialogOpen = w().findChild<ReloadForm *>() != nullptr;
        return (state == 0 || state == 3) && link()->isIdle() && !dialogOpen
               && !MainWindowTestAccess::portTimer(w())->isActive();
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
        // A scan left running ends by itself.
        while (!settled() && clock.elapsed() < kStepBoundMs)
            QTest::qWait(20);
        if (!settled()) {
            violation(QStringLiteral("no end within %1 ms: state %2, job %3")
                              .arg(kStepBoundMs)
                              .arg(w().globalState())
                              .arg(int(link()->job())));
            return;
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

    void checkState()
    {
        const int state = w().globalState();
        const QString status = get<QLabel>("globalStatusText")->text();
        const bool open = link()->isPortOpen();
        auto controls = [&](const char *on, const char *off) {
            for (const QString &name : QString(on).split(' ', Qt::SkipEmptyParts))
                if (!get(qPrintable(name))->isEnabled())
                    violation("state " + QString::number(state) + ": " + name + " is off");
            for (const QString &name : QString(off).split(' ', Qt::SkipEmptyParts))
                if (get(qPrintable(name))->isEnabled())
                    violation("state " + QString::number(state) + ": " + name + " is on");
        };
        if (state == 0) {
            if (open)
                violation("\"closed\" shown with the port open");
            if (status != texts("Соединения закрыты", "Connections closed", m_english)
                && status != texts("Порт закрыт", "Port closed", m_english))
                violation("state 0 shows \"" + status + "\"");
            controls("rs485_Button findDevsButton", "writeConfigButton restartButton");
            return;
        }
        // State 3.
        if (!open)
            violation("\"connected\" shown with the port closed");
        if (status != texts("Соединение установлено", "Connected", m_english))
            violation("state 3 shows \"" + status + "\"");
        controls("rs485_Button writeConfigButton restartButton", "findDevsButton");
        const quint8 address = link()->deviceAddress();
        bool answering = false;
        onBus([&] {
            const SimReader *reader = m_bus->reader(address);
            answering = m_bus->isOpen() && reader
                        && quint32(link()->baudRate()) == reader->settings().speed
                        && !faultsOn(reader);
        });
        if (!answering)
            return; // the next status read finds out; the walk goes on from there
        // Polling on the configuration page: the reader answers the next status read.
        if (w().findChild<QStackedWidget *>("stackedWidget")->currentIndex() != 0)
            return;
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
    QList<quint16> m_consoleCodes;
    QString m_action;
    int m_step = 0;
    int m_yesInARow = 0;
    int m_stepsUnplugged = 0;
    bool m_english = false;
    bool m_writesAllowed = false;
    bool m_rebootAllowed = false;
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
    Counters counters;
    QElapsedTimer clock;
    clock.start();
    QList<quint32> seeds;
    if (!replay.isEmpty() || seconds <= 0) {
        // One walk: the seed asked for, or the fixed one of the test suite.
        const quint32 seed = replay.isEmpty() ? 20261206u : replay.toUInt();
        seeds << seed;
        Session(seed, counters).run(replay.isEmpty() ? kShortRunSteps : 400);
    } else {
        while (clock.elapsed() < qint64(seconds) * 1000 && counters.violations == 0) {
            const quint32 seed = QRandomGenerator::global()->generate();
            seeds << seed;
            Session(seed, counters).run(120);
        }
    }
    const QString summary = QStringLiteral("Soak: %1 s, %2 sessions, steps %3, faults injected %4, "
                                           "invariant violations %5, requests not judged (the bus "
                                           "read them late) %6; last seed %7")
                                    .arg(clock.elapsed() / 1000)
                                    .arg(seeds.size())
                                    .arg(counters.steps)
                                    .arg(counters.faults)
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
