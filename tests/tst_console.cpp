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

} // namespace

class TestConsole : public QObject
{
    Q_OBJECT
private slots:
    void commandLogRecordsTypedTextAndRestartsEmpty();
    void historyRoundTrip();
    void answerThisProgramCannotRead_data();
    void answerThisProgramCannotRead();
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
    // 01 04 dc, the code with its answer flag, a status byte, and the XOR of those bytes.
    QTest::newRow("a code this program does not know") << "0800" << QByteArray("0104dc88000051");
    QTest::newRow("an identity too short") << "0100" << QByteArray("0104dc81000058");
}

// The reader answered; that the program cannot read the answer makes it no time-out.
void TestConsole::answerThisProgramCannotRead()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, answer);
    LinkOnBus t;
    SimReader *sim = t.addReader(SimReaderSettings());
    QVERIFY(t.readOnce());
    const BusHealth before = t.link.busHealth();
    sim->settings().silentRequests = 1;
    t.bus.clearRequests();

    t.link.sendTerminalCmd(command);
    QVERIFY(LinkOnBus::waitFor([&] { return t.bus.requests().size() == 1; }, 2000));
    t.bus.writeRaw(QByteArray::fromHex(answer));
    // Ended by the answer, well before its 5 s time-out.
    QVERIFY(LinkOnBus::waitFor([&] { return t.link.isIdle(); }, 2000));
    QCOMPARE(t.link.busHealth().answers(), before.answers() + 1);
}

QTEST_MAIN(TestConsole)
#include "tst_console.moc"
