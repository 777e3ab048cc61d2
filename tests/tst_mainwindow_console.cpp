// The console page: the command line's history file.
#include "mainwindowaccess.h"

namespace {

struct Rig : WindowRig
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

class TestMainWindowConsole : public QObject
{
    Q_OBJECT
private slots:
    void historyRoundTrip();
};

void TestMainWindowConsole::historyRoundTrip()
{
    Rig rig;
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

QTEST_MAIN(TestMainWindowConsole)
#include "tst_mainwindow_console.moc"
