// ctest: slow
// Paths that cross the window and the link, over the simulated reader bus: a status read in
// flight when the engineer starts something, each answer to the questions after a silent
// reader, a console command on closed connections, a write that ends without its reboot, an
// address typed but never written. After each, the status
// shown is the link's, the buttons do what they say, and the bus carried one request at a time.
#include "configserversim.h"
#include "deviceinterface.h"
#include "mainwindowaccess.h"
#include "reloadform.h"
#include "settings.h"

namespace {

SimReaderSettings reader(quint8 address, quint32 speed = 19200)
{
    SimReaderSettings s;
    s.address = address;
    s.speed = speed;
    s.rebootSilenceMs = 100;
    return s;
}

// The element names of a configuration document, sorted: "gen_mode_220 pull_up_220".
QString elementNames(const QString &xml)
{
    QDomDocument doc;
    doc.setContent(xml);
    QStringList names;
    for (QDomElement e = doc.documentElement().firstChildElement(); !e.isNull();
         e = e.nextSiblingElement())
        names << e.tagName();
    names.sort();
    return names.join(' ');
}

struct Rig : BusWindowRig
{
    // The link's answer time-out is shortened where the real 5 s would only make the test slow.
    explicit Rig(const QList<SimReaderSettings> &readers, int answerTimeoutMs = 200)
        : BusWindowRig(readers)
    {
        window->show();
        link()->setAnswerTimeoutMs(answerTimeoutMs);
        connect();
    }
    void connect()
    {
        QObject::connect(link(), &DeviceInterface::changeDeviceStatus,
                         [this](int code) { states << code; });
    }
    DeviceInterface *link() { return window->deviceInterface(); }
    QString status() { return get<QLabel>("globalStatusText")->text(); }
    // The command codes the bus saw from the given request on, "0500 0200".
    QString codesFrom(int first)
    {
        QStringList codes;
        const QList<QByteArray> requests = bus.requests();
        for (int i = first; i < requests.size(); ++i)
            codes << requests.at(i).mid(3, 2).toHex();
        return codes.join(' ');
    }
    // Waits for a status read to be on the bus.
    bool statusReadInFlight()
    {
        return QTest::qWaitFor(
                [&] {
                    const QString last = codesFrom(bus.requests().size() - 1);
                    return link()->job() == DeviceInterface::Job::Poll
                           && (last == "0500" || last == "0700");
                },
                5000);
    }
    void confirmReboot()
    {
        press("restartButton");
        auto *form = window->findChild<ReloadForm *>();
        QVERIFY(form);
        QTest::mouseClick(child<QPushButton>(form, "reloadButt"), Qt::LeftButton);
    }
    void edit(const char *box, int index) { get<QComboBox>(box)->setCurrentIndex(index); }

    QList<int> states;
};

} // namespace

class TestMainWindowPaths : public QObject
{
    Q_OBJECT
private slots:
    void statusReadInFlight_data();
    void statusReadInFlight();
    void closedWhileWaiting();
    void questionsEndTrue_data();
    void questionsEndTrue();
    void consoleOnClosedConnections();
    void writeEndsWithoutItsReboot();
    void converterPulledDuringWriteQuestion();
    void addressTypedButNotWritten();
    void rebootQuestionDuringStatusRead_data();
    void rebootQuestionDuringStatusRead();
    void editedDuringAWrite_data();
    void editedDuringAWrite();
    void jobAfterAWriteWaitsForTheReboot();
    void closedDuringAWrite_data();
    void closedDuringAWrite();
    void unsupportedReaderAfterASupportedOne_data();
    void unsupportedReaderAfterASupportedOne();
};

void TestMainWindowPaths::statusReadInFlight_data()
{
    QTest::addColumn<bool>("answered");
    QTest::addColumn<QString>("action"); // write, reboot, or close (write, then quit)
    QTest::newRow("answered, then a write") << true << "write";
    QTest::newRow("answered, then a reboot") << true << "reboot";
    QTest::newRow("answered, then closing with the write") << true << "close";
    QTest::newRow("unanswered, then a write") << false << "write";
    QTest::newRow("unanswered, then a reboot") << false << "reboot";
}

// The engineer starts a write or a reboot while a status read is on the bus: the command waits
// until the status read is answered, or until its answer time-out if the reader is silent (it is
// not sent again then); the late answer of a status read never ends the write's wait. Closing
// with the changes written waits the same way, and still ends the program after the reboot.
void TestMainWindowPaths::statusReadInFlight()
{
    QFETCH(bool, answered);
    QFETCH(QString, action);
    const bool write = action != "reboot";
    SimReaderSettings settings = reader(1);
    settings.replyDelayMs = 150; // the status read stays on the bus a while
    Rig rig({settings}, 5000);
    SimReader *sim = rig.bus.reader(1);
    QVERIFY(rig.connectAndRead());
    if (!answered)
        sim->settings().silentRequests = 1;
    rig.edit("genTypeComboBox", 1);
    QVERIFY(rig.statusReadInFlight());
    const int first = rig.bus.requests().size() - 1;
    rig.states.clear();
    if (write) {
        rig.boxes.answers << Prompt::Yes;
        rig.press(action == "close" ? "closeMainWindow" : "writeConfigButton");
    } else {
        rig.confirmReboot();
    }
    QTRY_VERIFY_WITH_TIMEOUT(rig.states.contains(7), 15000);
    // Quitting is asked for in state 7 itself. The main loop run here ends at once and leaves
    // the application able to run the event loops of later waits.
    QCOMPARE(MainWindowTestAccess::closeAfterWrite(rig.w()), action == "close");
    if (action == "close") {
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        QCoreApplication::exec();
    }
    QTRY_COMPARE_WITH_TIMEOUT(rig.w().globalState(), 3, 5000);
    QCOMPARE(sim->rebootCount(), 1);

    QCOMPARE(rig.bus.overlappingRequests(), 0);
    // The status read went once, then the command: the unanswered one is not sent again.
    const QString codes = rig.codesFrom(first);
    const QString expected = codes.left(4) + (write ? " 0602 0200" : " 0200");
    QCOMPARE(codes.left(expected.size()), expected);
    QList<int> states = answered ? QList<int> {3} : QList<int> {};
    states << (write ? QList<int> {5, 7} : QList<int> {7});
    QCOMPARE(rig.states.mid(0, rig.states.indexOf(7) + 1), states);
}

// The engineer closes the connection while a write waits for a silent status read: nothing is
// written and the port stays closed.
void TestMainWindowPaths::closedWhileWaiting()
{
    Rig rig({reader(1)}, 5000);
    SimReader *sim = rig.bus.reader(1);
    QVERIFY(rig.connectAndRead());
    sim->settings().silentRequests = 1;
    rig.edit("genTypeComboBox", 1);
    QVERIFY(rig.statusReadInFlight());
    const int first = rig.bus.requests().size();
    QTimer::singleShot(300, rig.window.get(), [&rig] { rig.press("rs485_Button"); });
    rig.boxes.answers << Prompt::Yes;
    rig.press("writeConfigButton");
    QTRY_COMPARE_WITH_TIMEOUT(rig.w().globalState(), 0, 2000);
    QVERIFY(!rig.link()->isPortOpen());
    QCOMPARE(rig.codesFrom(first), QString());
    QVERIFY(!rig.w().changesXml().isEmpty()); // the change is still there to write
}

void TestMainWindowPaths::questionsEndTrue_data()
{
    QTest::addColumn<QString>("when"); // read, identity or write
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("codes"); // requests of the operation
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("left"); // changes not in the reader afterwards
    const int yes = Prompt::Yes;
    const int no = Prompt::No;
    const QString ready = "Соединение установлено";
    const QString closed = "Соединения закрыты";
    // Nobody answers the identity: No closes; Yes asks it again, and it is answered then.
    QTest::newRow("identity, No") << "identity" << no << "0100 0100 0100 0100" << 0 << closed << "";
    QTest::newRow("identity, Yes")
            << "identity" << yes << "0100 0100 0100 0100 0100 0700 0500 0603 0301" << 3 << ready
            << "";
    // A write command without an answer: No closes the port without a reboot, and both values
    // stay changes; Yes goes on with the next value, and the one given up stays a change.
    QTest::newRow("write, No") << "write" << no << "0602 0602 0602 0602" << 0 << closed
                               << "gen_mode_220 pull_up_220";
    QTest::newRow("write, Yes") << "write" << yes << "0602 0602 0602 0602 0601 0200" << 3 << ready
                                << "gen_mode_220";
}

// After each answer to the question about a silent reader the window shows what the link does,
// the controls of that state work, and a converter plugged in later is listed.
void TestMainWindowPaths::questionsEndTrue()
{
    QFETCH(QString, when);
    QFETCH(int, answer);
    QFETCH(QString, codes);
    QFETCH(int, state);
    QFETCH(QString, status);
    QFETCH(QString, left);
    Rig rig({reader(1)});
    SimReader *sim = rig.bus.reader(1);
    rig.boxes.answers << Prompt::Button(answer);
    int first = 0;
    if (when == "identity") {
        sim->settings().silentRequests = 4;
        QVERIFY(rig.choose("19200", "1"));
        rig.press("rs485_Button");
    } else {
        QVERIFY(rig.connectAndRead());
        rig.edit("genTypeComboBox", 1);
        rig.edit("pullUpComboBox", 1);
        QVERIFY(QTest::qWaitFor([&] { return rig.link()->isIdle(); }, 2000));
        first = rig.bus.requests().size();
        sim->settings().silentRequests = 4;
        rig.boxes.answers.prepend(Prompt::Yes); // the write's own question
        rig.press("writeConfigButton");
    }
    QTRY_VERIFY_WITH_TIMEOUT(rig.link()->isIdle() && rig.boxes.answers.isEmpty(), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(rig.w().globalState(), state, 5000);
    QTest::qWait(100);

    QCOMPARE(rig.codesFrom(first).left(codes.size()), codes);
    QCOMPARE(rig.status(), status);
    QCOMPARE(rig.link()->isPortOpen(), state == 3);
    QCOMPARE(rig.get("rs485_Button")->isEnabled(), true);
    QCOMPARE(rig.get("findDevsButton")->isEnabled(), state == 0);
    QCOMPARE(sim->rebootCount(), when == "write" && answer == Prompt::Yes ? 1 : 0);
    QCOMPARE(rig.bus.overlappingRequests(), 0);
    QCOMPARE(elementNames(rig.w().changesXml()), left);
    // Values not in the reader are told while a reader is connected.
    QCOMPARE(rig.boxes.describe().contains("Не записаны в модуль"), state == 3 && !left.isEmpty());
    if (state != 0)
        return;

    // Closed: a converter plugged in now is listed, and the connection button connects.
    MainWindowTestAccess::notifyDeviceChange(rig.w());
    QCOMPARE(armed(MainWindowTestAccess::portTimer(rig.w())), QString("1500"));
    QTRY_COMPARE_WITH_TIMEOUT(armed(MainWindowTestAccess::portTimer(rig.w())), QString("off"), 3000);
    rig.press("rs485_Button");
    QTRY_COMPARE_WITH_TIMEOUT(rig.w().globalState(), 3, 5000);
    QVERIFY(rig.link()->isPortOpen());
}

// A command typed while the connections are closed opens nothing; afterwards the search and the
// connection buttons work as they say.
void TestMainWindowPaths::consoleOnClosedConnections()
{
    Rig rig({reader(1)});
    QVERIFY(rig.connectAndRead());
    rig.press("rs485_Button");
    QTRY_COMPARE_WITH_TIMEOUT(rig.w().globalState(), 0, 3000);
    rig.bus.clearRequests();
    rig.w().hotkeysCtrlAltC();
    auto *line = rig.get<QComboBox>("cmdLine");
    for (const char *command : {"0100", "0200"}) {
        line->setCurrentText(command);
        rig.press("sendCommand");
    }
    QTest::qWait(100);
    QVERIFY(!rig.link()->isPortOpen());
    QVERIFY(rig.bus.requests().isEmpty());
    QCOMPARE(rig.status(), QString("Соединения закрыты"));
    QVERIFY(rig.get<QPlainTextEdit>("terminalEdit")
                    ->toPlainText()
                    .contains("Команда не отправлена: нет соединения с модулем"));

    rig.press("findDevsButton");
    QTRY_COMPARE_WITH_TIMEOUT(rig.w().globalState(), 1, 2000);
    QTRY_VERIFY_WITH_TIMEOUT(rig.bus.requests().size() >= 3, 2000);
    rig.press("findDevsButton");
    QTRY_COMPARE_WITH_TIMEOUT(rig.w().globalState(), 0, 2000);
    QVERIFY(!rig.link()->isPortOpen());
    rig.press("rs485_Button");
    QTRY_COMPARE_WITH_TIMEOUT(rig.w().globalState(), 3, 5000);
    QCOMPARE(rig.status(), QString("Соединение установлено"));
}

// A write that the reader refuses ends without its reboot: closing with changes asked for the
// program's end after the reboot, which now never comes; a later reboot must not end it. The
// change is not in the reader: it stays a change to write.
void TestMainWindowPaths::writeEndsWithoutItsReboot()
{
    SimReaderSettings settings = reader(1);
    settings.rejectWrites = 1;
    Rig rig({settings});
    QVERIFY(rig.connectAndRead());
    rig.edit("pullUpComboBox", 1);
    rig.boxes.answers << Prompt::Yes;
    rig.press("closeMainWindow");
    QTRY_COMPARE_WITH_TIMEOUT(rig.boxes.describe().count("Модуль отклонил записываемое значение."),
                              1, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(rig.w().globalState(), 3, 2000);
    QVERIFY(!MainWindowTestAccess::closeAfterWrite(rig.w()));
    QCOMPARE(rig.bus.reader(1)->rebootCount(), 0);
    QVERIFY(rig.w().changesXml().contains("<pull_up_220 param=\"1\"/>"));

    rig.confirmReboot();
    QTRY_COMPARE_WITH_TIMEOUT(rig.bus.reader(1)->rebootCount(), 1, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(rig.w().globalState(), 3, 5000);
    QVERIFY(rig.w().isVisible());
}

// The converter is pulled while the engineer is asked whether to write: after the No the window
// shows the session waiting for its converter, with the change kept; given up, the window is
// closed, as the link is.
void TestMainWindowPaths::converterPulledDuringWriteQuestion()
{
    Rig rig({reader(1)});
    QVERIFY(rig.connectAndRead());
    rig.edit("pullUpComboBox", 1);
    rig.w().prompter().setMessageHandler([&rig](const MessageRequest &) {
        rig.bus.close();
        (void) QTest::qWaitFor(
                [&rig] {
                    return rig.link()->connection() == DeviceInterface::Connection::SerialLost;
                },
                3000);
        return Prompt::No;
    });
    rig.press("writeConfigButton");
    QCOMPARE(rig.link()->connection(), DeviceInterface::Connection::SerialLost);
    QCOMPARE(rig.status(), QString("Преобразователь отключен от ПК. Сеанс продолжится, когда он "
                                   "будет подключен снова"));
    QVERIFY(!rig.get("restartButton")->isEnabled() && !rig.get("writeConfigButton")->isEnabled());
    QVERIFY(rig.w().changesXml().contains("pull_up_220"));
    rig.press("rs485_Button");
    QCOMPARE(rig.w().globalState(), 0);
    QCOMPARE(rig.status(), QString("Соединения закрыты"));
    QVERIFY(!rig.get("restartButton")->isEnabled() && rig.get("findDevsButton")->isEnabled());
}

// An address and a speed typed in the form but never written: after a reboot the link still
// talks to the reader where it answers.
void TestMainWindowPaths::addressTypedButNotWritten()
{
    Rig rig({reader(26)});
    QVERIFY(rig.connectAndRead("19200", "26"));
    auto *address = rig.get<QLineEdit>("setAddrLine");
    address->setText("30");
    emit address->editingFinished();
    rig.get<QComboBox>("setBaudComboBox")->setCurrentText("9600");

    rig.states.clear();
    rig.confirmReboot();
    QTRY_COMPARE_WITH_TIMEOUT(rig.states.count(7), 1, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(rig.w().globalState(), 3, 5000);
    QCOMPARE(QString("%1 %2").arg(rig.link()->deviceAddress()).arg(rig.link()->baudRate()),
             QString("26 19200"));
    QCOMPARE(rig.get<QComboBox>("rs485_selAddr")->currentText(), QString("26"));
    rig.bus.clearRequests();
    QTRY_VERIFY_WITH_TIMEOUT(rig.bus.requests().size() >= 2, 5000);
    QCOMPARE(quint8(rig.bus.requests().last().at(0)), quint8(26));
    QCOMPARE(rig.states.count(0), 0);
}

void TestMainWindowPaths::rebootQuestionDuringStatusRead_data()
{
    QTest::addColumn<bool>("confirmed");
    QTest::newRow("confirmed, then Escape") << true;
    QTest::newRow("Escape") << false;
}

// The reboot question is answered while a status read is on the bus, and Escape is pressed on
// it 30 ms later, before that read has ended: a confirmed reboot goes once after the status
// read and is not cancelled any more; a cancelled one sends nothing, and polling goes on.
void TestMainWindowPaths::rebootQuestionDuringStatusRead()
{
    QFETCH(bool, confirmed);
    SimReaderSettings settings = reader(1);
    settings.replyDelayMs = 150;
    Rig rig({settings}, 5000);
    SimReader *sim = rig.bus.reader(1);
    QVERIFY(rig.connectAndRead());
    QVERIFY(rig.statusReadInFlight());
    const int first = rig.bus.requests().size();
    rig.press("restartButton");
    QPointer<ReloadForm> form = rig.w().findChild<ReloadForm *>();
    QVERIFY(form);
    QSignalSpy cancels(form.data(), &ReloadForm::rebootCancel);
    QTimer::singleShot(30, rig.window.get(), [&form] {
        if (form)
            QTest::keyClick(form.data(), Qt::Key_Escape);
    });
    if (confirmed)
        QTest::mouseClick(child<QPushButton>(form, "reloadButt"), Qt::LeftButton);
    QTest::qWait(500);
    QCOMPARE(cancels.count(), confirmed ? 0 : 1);
    QTRY_COMPARE_WITH_TIMEOUT(sim->rebootCount(), confirmed ? 1 : 0, 3000);
    QTRY_COMPARE_WITH_TIMEOUT(rig.w().globalState(), 3, 5000);
    QCOMPARE(rig.codesFrom(first).count("0200"), confirmed ? 1 : 0);
    QCOMPARE(rig.bus.overlappingRequests(), 0);
    // Ready again, the status reads go on.
    const int after = rig.bus.requests().size();
    QTRY_VERIFY_WITH_TIMEOUT(rig.bus.requests().size() > after, 3000);
}

void TestMainWindowPaths::editedDuringAWrite_data()
{
    QTest::addColumn<int>("rejectWrites"); // the reader's result byte for every write command
    QTest::addColumn<QString>("box"); // the field edited while the write runs
    QTest::addColumn<QList<int>>("indexes"); // the choices made in it, in order
    QTest::addColumn<QString>("left"); // changes not in the reader afterwards
    // The refused value stays a change beside the new edit, and the engineer is told.
    QTest::newRow("refused, another field edited")
            << 1 << "genTypeComboBox" << QList<int> {1} << "gen_mode_220 pull_up_220";
    // The value being written is chosen again: once the reader has taken it, it is no change.
    QTest::newRow("taken, the same value chosen again")
            << 0 << "pullUpComboBox" << QList<int> {0, 1} << "";
}

// The pull-up is written while the engineer edits the form; afterwards exactly the values the
// reader does not hold are changes.
void TestMainWindowPaths::editedDuringAWrite()
{
    QFETCH(int, rejectWrites);
    QFETCH(QString, box);
    QFETCH(QList<int>, indexes);
    QFETCH(QString, left);
    SimReaderSettings settings = reader(1);
    settings.rejectWrites = quint8(rejectWrites);
    settings.replyDelayMs = 100;
    Rig rig({settings});
    QVERIFY(rig.connectAndRead());
    rig.edit("pullUpComboBox", 1);
    QObject::connect(rig.link(), &DeviceInterface::changeDeviceStatus, rig.window.get(),
                     [&](int code) {
                         if (code != 5)
                             return;
                         QTimer::singleShot(0, rig.window.get(), [&] {
                             for (int index : indexes)
                                 rig.edit(qPrintable(box), index);
                         });
                     });
    rig.boxes.answers << Prompt::Yes;
    rig.press("writeConfigButton");
    QTRY_VERIFY_WITH_TIMEOUT(rig.link()->isIdle() && rig.w().globalState() == 3, 5000);
    QCOMPARE(elementNames(rig.w().changesXml()), left);
    QCOMPARE(rig.bus.reader(1)->rebootCount(), rejectWrites ? 0 : 1);
    QCOMPARE(rig.boxes.describe().contains("Модуль отклонил записываемое значение."),
             rejectWrites != 0);
}

// A console command given while a write runs waits until the rebooted reader can answer: it is
// answered, not timed out.
void TestMainWindowPaths::jobAfterAWriteWaitsForTheReboot()
{
    SimReaderSettings settings = reader(1);
    settings.rebootSilenceMs = 500;
    Rig rig({settings});
    QVERIFY(rig.connectAndRead());
    rig.edit("pullUpComboBox", 1);
    rig.boxes.answers << Prompt::Yes;
    rig.press("writeConfigButton");
    QTRY_COMPARE_WITH_TIMEOUT(rig.w().globalState(), 5, 2000);
    const int first = rig.bus.requests().size();
    rig.link()->sendTerminalCmd("0100");
    QTRY_VERIFY_WITH_TIMEOUT(rig.codesFrom(first).contains("0100"), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(rig.link()->isIdle(), 3000);
    QCOMPARE(rig.bus.reader(1)->rebootCount(), 1);
    const QString console = rig.get<QPlainTextEdit>("terminalEdit")->toPlainText();
    QVERIFY2(!console.contains("нет ответа"), qPrintable(console));
    QCOMPARE(rig.codesFrom(first).count("0100"), 1);
    QCOMPARE(rig.bus.overlappingRequests(), 0);
}

void TestMainWindowPaths::closedDuringAWrite_data()
{
    QTest::addColumn<bool>("answeredAfterTheReboot");
    QTest::newRow("answered while the write runs") << false;
    QTest::newRow("answered after the write's reboot") << true;
}

// The window is closed while a write runs, and the engineer asks for the changes to be written:
// the program ends after the write's reboot, also when the question is answered only once the
// write has ended (its question ran the event loop meanwhile).
void TestMainWindowPaths::closedDuringAWrite()
{
    QFETCH(bool, answeredAfterTheReboot);
    SimReaderSettings settings = reader(1);
    settings.replyDelayMs = 30;
    Rig rig({settings});
    QVERIFY(rig.connectAndRead());
    rig.edit("genTypeComboBox", 1);
    rig.boxes.answers << Prompt::Yes;
    rig.press("writeConfigButton");
    QTRY_COMPARE_WITH_TIMEOUT(rig.w().globalState(), 5, 2000);
    QString question;
    Prompter::setDefaultHandlers([&](const MessageRequest &box) {
        if (box.icon != Prompt::Question)
            return Prompt::Ok;
        question = box.text;
        if (answeredAfterTheReboot
            && !QTest::qWaitFor([&] { return rig.states.contains(7); }, 10000))
            return Prompt::No;
        return Prompt::Yes;
    });
    rig.w().on_closeMainWindow_clicked();
    QVERIFY(question.startsWith("Имеются не записанные в модуль изменения."));
    QTRY_VERIFY_WITH_TIMEOUT(rig.states.contains(7), 10000);
    QCOMPARE(rig.bus.reader(1)->settings().genMode, quint8(1));
    // Ended: the quit asked for at the reboot, or the window closed at once.
    QVERIFY(MainWindowTestAccess::closeAfterWrite(rig.w()) || !rig.w().isVisible());
    QCOMPARE(!rig.w().isVisible(), answeredAfterTheReboot);
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
}

void TestMainWindowPaths::unsupportedReaderAfterASupportedOne_data()
{
    QTest::addColumn<bool>("remote"); // the second reader sits behind the configuration server
    QTest::newRow("on the bus") << false;
    QTest::newRow("through the server") << true;
}

// After a reader whose firmware the configurator supports, one whose firmware it does not: the
// form shows nothing of the first reader, nor does the status calculator use its mask.
void TestMainWindowPaths::unsupportedReaderAfterASupportedOne()
{
    QFETCH(bool, remote);
    SimReaderSettings known = reader(1);
    known.genState = 1;
    known.pullUp = 1;
    known.genMode = 1;
    SimReaderSettings unknown = reader(remote ? 1 : 2);
    unknown.firmware = "0.1.0";
    Rig rig(remote ? QList<SimReaderSettings> {known} : QList<SimReaderSettings> {known, unknown});
    ConfigServerSim server;
    QVERIFY(server.listen());
    server.setTerminal("356938035643809", "1234");
    server.addReader(unknown);
    writeSetting("UpdateServer", "IP", "127.0.0.1");
    writeSetting("UpdateServer", "Port", server.port());
    QVERIFY(rig.connectAndRead());
    QCOMPARE(rig.get<QLineEdit>("setAddrLine")->text(), QString("1"));
    QVERIFY(MainWindowTestAccess::statusBitMask(rig.w()) != 0);
    rig.edit("pullUpComboBox", 0); // a change the first reader never got
    rig.press("rs485_Button");
    QTRY_COMPARE_WITH_TIMEOUT(rig.w().globalState(), 0, 3000);

    if (remote) {
        rig.link()->connectToServer("356938035643809", "1234");
        QTRY_COMPARE_WITH_TIMEOUT(rig.w().globalState(), 3, 8000);
    } else {
        QVERIFY(rig.connectAndRead("19200", "2"));
    }
    QVERIFY(rig.boxes.describe().contains("не поддерживается"));
    QCOMPARE(rig.get<QLineEdit>("setAddrLine")->text(), QString());
    for (const char *box : {"setBaudComboBox", "genComboBox", "genTypeComboBox", "pullUpComboBox"})
        QVERIFY2(rig.get<QComboBox>(box)->currentText().isEmpty(),
                 qPrintable(QString("%1: %2").arg(box, rig.get<QComboBox>(box)->currentText())));
    QCOMPARE(MainWindowTestAccess::statusBitMask(rig.w()), 0u);
    QCOMPARE(rig.w().changesXml(), QString());
}

QTEST_MAIN(TestMainWindowPaths)
#include "tst_mainwindow_paths.moc"
