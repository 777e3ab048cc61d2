// The console: commands typed on the serial link, the command log, and the command line's
// history file in the window. The frames of typed text are the frame tests' rows; a command log
// that cannot be written is one of the file fault tests.
#include "linkonbus.h"
#include "mainwindowaccess.h"

namespace {

// A window whose console command line can be typed into, closed and opened again.
struct HistoryRig : WindowRig
{
    void open() { make(); }
    void close() { window.reset(); }
    QComboBox *cmdLine() { return get<QComboBox>("cmdLine"); }
    // Types a command and presses Enter, as the engineer does (the key goes to the combo box,
    // which has the focus and hands it to its line edit).
    void type(const QString &command)
    {
        cmdLine()->lineEdit()->setText(command);
        QTest::keyClick(cmdLine(), Qt::Key_Return);
    }
    QStringList history() { return comboItems(cmdLine()); }
    QString historyPath() const { return dir.filePath("cmd_history.txt"); }
};

// A window on its console page, shown, with the command line in focus.
struct ConsoleRig : HistoryRig
{
    ConsoleRig()
    {
        w().hotkeysCtrlAltC();
        auto *menu = get<QListWidget>("terminalMenu");
        w().itemSelected(menu->model()->index(1, 0));
        w().show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        w().activateWindow();
        cmdLine()->setFocus();
    }
    // Keys as the engineer presses them: to the list of suggestions while it is open, else to
    // the command line.
    void keys(const QString &text)
    {
        for (const QChar c : text)
            QTest::keyClick(target(), c.toLatin1());
    }
    void key(Qt::Key key) { QTest::keyClick(target(), key); }
    QWidget *target()
    {
        QWidget *popup = QApplication::activePopupWidget();
        return popup ? popup : cmdLine();
    }
};

} // namespace

class TestConsole : public QObject
{
    Q_OBJECT
private slots:
    void commandLogRecordsTypedTextAndRestartsEmpty();
    void historyRoundTrip();
    void answerThisProgramCannotRead_data();
    void answerThisProgramCannotRead();
    void refusedTextLeavesTheReaderReachable_data();
    void refusedTextLeavesTheReaderReachable();
    void sentAsTyped_data();
    void sentAsTyped();
    void commandLogFileChoice_data();
    void commandLogFileChoice();
};

void TestConsole::commandLogRecordsTypedTextAndRestartsEmpty()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("commands.log");
    LinkOnBus t;
    t.addReader(SimReaderSettings());
    QVERIFY(t.readOnce());

    t.link.startWriteBinLogFile(path);
    t.link.sendTerminalCmd("0500");
    // The second command waits for the first one's answer: one request on the bus at a time.
    t.link.sendTerminalCmd("0300 0000 2580");
    QCOMPARE(readTestFile(path), QByteArray("0500\r\n"));
    QVERIFY(LinkOnBus::waitFor([&] { return t.link.isIdle() && t.bus.requests().size() >= 2; },
                               2000));
    QCOMPARE(readTestFile(path), QByteArray("0500\r\n0300 0000 2580\r\n"));
    t.link.stopWriteBinLogFile();
    t.link.sendTerminalCmd("0700");
    QCOMPARE(readTestFile(path), QByteArray("0500\r\n0300 0000 2580\r\n"));

    // Starting again with the same path empties the file.
    t.link.startWriteBinLogFile(path);
    QCOMPARE(readTestFile(path), QByteArray());
}

void TestConsole::historyRoundTrip()
{
    HistoryRig rig;
    QVERIFY(!QFile::exists(rig.historyPath()));
    QCOMPARE(rig.cmdLine()->count(), 0);
    QSignalSpy sent(rig.window.get(), &MainWindow::sendTerminalCommand);
    rig.type("status");
    rig.type("версия 2");
    rig.type("status");
    QCOMPARE(sent.size(), 3);
    QCOMPARE(sent.at(1).at(0).toString(), QString("версия 2"));
    QCOMPARE(rig.history(), QStringList({"версия 2", "status"}));

    // Newest first, each entry behind a line feed, UTF-8, no final line feed.
    rig.close();
    QCOMPARE(readTestFile(rig.historyPath()), QByteArray("\nверсия 2\nstatus"));

    rig.open();
    QCOMPARE(rig.history(), QStringList({"", "версия 2", "status"}));
    QCOMPARE(rig.cmdLine()->currentText(), QString());
    rig.close();
    QCOMPARE(readTestFile(rig.historyPath()), QByteArray("\nверсия 2\nstatus"));

    // A zero byte ends the history.
    QVERIFY(writeTestFile(rig.historyPath(), QByteArray("\na\nb\0\nc", 7)));
    rig.open();
    QCOMPARE(rig.history(), QStringList({"", "a", "b"}));
}

void TestConsole::answerThisProgramCannotRead_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("damaged");
    // 01 04 dc, the code with its answer flag, a status byte, and the XOR of those bytes.
    QTest::newRow("a code this program does not know")
            << "0800" << QByteArray("0104dc88000051") << false;
    QTest::newRow("an identity too short") << "0100" << QByteArray("0104dc81000058") << false;
    // The same with its checksum spoilt: the reader answered, the line damaged it.
    QTest::newRow("a damaged answer") << "0100" << QByteArray("0104dc81000059") << true;
}

// The reader answered; that the program cannot read the answer, or that the line damaged it,
// makes it no time-out: the command ends with the answer, and nothing says "нет ответа".
void TestConsole::answerThisProgramCannotRead()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, answer);
    QFETCH(bool, damaged);
    LinkOnBus t;
    SimReader *sim = t.addReader(SimReaderSettings());
    QVERIFY(t.readOnce());
    const BusHealth before = t.link.busHealth();
    sim->settings().silentRequests = 1;
    t.bus.clearRequests();
    t.console.clear();

    t.link.sendTerminalCmd(command);
    QVERIFY(LinkOnBus::waitFor([&] { return t.bus.requests().size() == 1; }, 2000));
    t.bus.writeRaw(QByteArray::fromHex(answer));
    // Ended by the answer, well before its 5 s time-out.
    QVERIFY(LinkOnBus::waitFor([&] { return t.link.isIdle(); }, 2000));
    const BusHealth after = t.link.busHealth();
    QCOMPARE(after.answers(), before.answers() + (damaged ? 0 : 1));
    QCOMPARE(after.checksumErrors(), before.checksumErrors() + (damaged ? 1 : 0));
    QCOMPARE(after.timeouts(), before.timeouts());
    QTest::qWait(100);
    QCOMPARE(t.bus.requests().size(), 1); // a command typed by hand is never sent again
    QVERIFY2(!t.console.join('\n').contains("нет ответа"), qPrintable(t.console.join('\n')));
}

void TestConsole::refusedTextLeavesTheReaderReachable_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("251 data bytes") << "0A01" + QString(502, '1');
    QTest::newRow("letters") << "0100 xy";
    QTest::newRow("an odd digit") << "0302f";
}

// Text that makes no whole frame is refused with a note while a reader is connected, and the
// link stays free for it: the next command is sent and answered.
void TestConsole::refusedTextLeavesTheReaderReachable()
{
    QFETCH(QString, typed);
    LinkOnBus t;
    t.addReader(SimReaderSettings());
    QVERIFY(t.readOnce());
    t.bus.clearRequests();
    t.console.clear();
    t.link.sendTerminalCmd(typed);
    QTest::qWait(100);
    QVERIFY(t.bus.requests().isEmpty());
    QVERIFY(t.link.isIdle());
    QCOMPARE(t.console.size(), 1);
    QVERIFY2(t.console.first().contains("Команда не отправлена"), qPrintable(t.console.first()));

    t.link.sendTerminalCmd("0100");
    QVERIFY(LinkOnBus::waitFor([&] { return t.link.isIdle() && t.bus.requests().size() == 1; },
                               2000));
    QVERIFY(!t.console.join('\n').contains("нет ответа"));
}

void TestConsole::sentAsTyped_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("then"); // "enter", "list" (first suggestion), "button"
    QTest::addColumn<QString>("sent");
    QTest::addColumn<QString>("history");
    auto row = [](const char *name, const char *typed, const char *then, const char *sent,
                  const char *history) {
        QTest::newRow(name) << typed << then << sent << history;
    };
    row("the start of a stored command, in small letters", "0a", "enter", "0a", "0a,0A02,0500");
    row("a stored command in small letters", "0a02", "enter", "0a02", "0a02,0A02,0500");
    row("sent with the button", "0a02", "button", "0a02", "0a02,0A02,0500");
    // The history is offered whatever the case: a suggestion the engineer picks is sent.
    row("a suggestion picked", "0a", "list", "0A02", "0A02,0500");
}

// What is sent is what the command line shows: the engineer's letters, not a stored command
// that differs from them in case.
void TestConsole::sentAsTyped()
{
    QFETCH(QString, typed);
    QFETCH(QString, then);
    QFETCH(QString, sent);
    QFETCH(QString, history);
    ConsoleRig rig;
    QSignalSpy commands(rig.window.get(), &MainWindow::sendTerminalCommand);
    for (const char *stored : {"0500", "0A02"}) {
        rig.cmdLine()->clearEditText();
        rig.keys(stored);
        rig.key(Qt::Key_Return);
    }
    QCOMPARE(firstArgs(commands), QStringList({"0500", "0A02"}));
    commands.clear();
    rig.cmdLine()->clearEditText();

    rig.keys(typed);
    if (then == "list") {
        QVERIFY(QApplication::activePopupWidget());
        rig.key(Qt::Key_Down);
        rig.key(Qt::Key_Return);
    } else if (then == "button") {
        rig.key(Qt::Key_Escape); // the suggestions go; the mouse then takes the focus away
        QTest::mouseClick(rig.get<QPushButton>("sendCommand"), Qt::LeftButton);
    } else {
        rig.key(Qt::Key_Return);
    }
    QCOMPARE(firstArgs(commands), QStringList({sent}));
    QCOMPARE(rig.cmdLine()->currentText(), sent);
    QCOMPARE(rig.history().join(','), history);
}

void TestConsole::commandLogFileChoice_data()
{
    QTest::addColumn<QString>("answer"); // the file dialog's answer, below the program folder
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("running");
    QTest::newRow("a file chosen") << "commands.log" << QString() << true;
    QTest::newRow("cancelled") << QString() << QString() << false;
    QTest::newRow("a file that cannot be made")
            << "no such folder/commands.log"
            << "Critical Ошибка | Ошибка создания файла" << false;
}

// The menu's "Писать лог в файл" stays checked only while the link writes the command log.
void TestConsole::commandLogFileChoice()
{
    QFETCH(QString, answer);
    QFETCH(QString, box);
    QFETCH(bool, running);
    HistoryRig rig;
    auto *action = rig.w().findChild<QAction *>("binLogAction");
    QVERIFY(action && !action->isChecked());
    QSignalSpy starts(rig.window.get(), &MainWindow::startWriteBinLogFile);
    const QString path = answer.isEmpty() ? QString() : rig.dir.filePath(answer);
    rig.boxes.fileAnswers << path;

    action->trigger();
    QCOMPARE(rig.boxes.fileRequests.size(), 1);
    QCOMPARE(rig.boxes.fileRequests.at(0).title, QString("Сохранить бинарный лог"));
    QCOMPARE(rig.boxes.describe(), box);
    QCOMPARE(action->isChecked(), running);
    QCOMPARE(firstArgs(starts), running ? QStringList({path}) : QStringList());
    QCOMPARE(QFile::exists(path), running);
    if (!running)
        return;

    // Unchecked, the log stops.
    QSignalSpy stops(rig.window.get(), &MainWindow::stopWriteBinLogFile);
    action->trigger();
    QCOMPARE(stops.size(), 1);
    QVERIFY(!action->isChecked());
}

QTEST_MAIN(TestConsole)
#include "tst_console.moc"
