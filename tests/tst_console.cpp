#include "linkonbus.h"
#include "testsupport.h"

#include <QTemporaryDir>
#include <QtTest>

// Commands typed in the console on the serial link, and the command log.
class TestConsole : public QObject
{
    Q_OBJECT
private slots:
    void typedCommandGoesOutAsFrame_data();
    void typedCommandGoesOutAsFrame();
    void droppedWithoutReader();
    void commandLogRecordsTypedTextAndRestartsEmpty();
    void commandLogPathThatCannotBeOpened_data();
    void commandLogPathThatCannotBeOpened();
};

void TestConsole::typedCommandGoesOutAsFrame_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("answerStart"); // the console line of the reader's answer

    // 01^03^dc^02^00 = dc
    QTest::newRow("reboot") << "0200"
                            << "0103dc0200dc"
                            << "01&nbsp;04&nbsp;dc&nbsp;82";
    // 01^07^dc^03^00^00^00^25^80 = 7c; the reader takes 9600 as its next speed
    QTest::newRow("speed with blanks") << "0300 0000 2580"
                                       << "0107dc0300000025807c"
                                       << "01&nbsp;04&nbsp;dc&nbsp;83";
}

void TestConsole::typedCommandGoesOutAsFrame()
{
    QFETCH(QString, typed);
    QFETCH(QString, frame);
    QFETCH(QString, answerStart);

    LinkOnBus t;
    t.addReader(SimReaderSettings());
    QVERIFY(t.readOnce());
    t.bus.clearRequests();
    t.console.clear();
    LogCapture log;

    t.link.sendTerminalCmd(typed);
    QVERIFY(!t.link.isAnswerTimerActive());
    QCOMPARE(countLogLine(log, "Command send:", typed), 1);
    QVERIFY(LinkOnBus::waitFor([&] { return t.console.size() >= 2; }, 2000));
    QCOMPARE(t.requestHex(), QStringList {frame});
    QCOMPARE(t.console.at(0), "<font color=blue>&gt; </font>" + frame);
    QVERIFY2(t.console.at(1).startsWith("<font color=green>&lt; </font>" + answerStart),
             qPrintable(t.console.at(1)));

    // The flag covers one frame only.
    t.link.sendCommand_220(0x0100);
    QVERIFY(t.link.isAnswerTimerActive());
}

void TestConsole::droppedWithoutReader()
{
    LinkOnBus t;
    QVERIFY(t.openPort());
    LogCapture log;
    t.link.sendTerminalCmd("0200");
    QTest::qWait(50);
    QVERIFY(t.bus.requests().isEmpty());
    QVERIFY(!log.contains("Command send:"));
    QVERIFY(t.console.isEmpty());
}

void TestConsole::commandLogRecordsTypedTextAndRestartsEmpty()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("commands.log");
    LinkOnBus t;
    t.addReader(SimReaderSettings());
    QVERIFY(t.readOnce());

    t.link.startWriteBinLogFile(path);
    t.link.sendTerminalCmd("0500");
    t.link.sendTerminalCmd("0300 0000 2580");
    QCOMPARE(readTestFile(path), QByteArray("0500\r\n0300 0000 2580\r\n"));
    t.link.stopWriteBinLogFile();
    t.link.sendTerminalCmd("0700");
    QCOMPARE(readTestFile(path), QByteArray("0500\r\n0300 0000 2580\r\n"));

    // Starting again with the same path empties the file.
    t.link.startWriteBinLogFile(path);
    QCOMPARE(readTestFile(path), QByteArray());
}

void TestConsole::commandLogPathThatCannotBeOpened_data()
{
    QTest::addColumn<QString>("relative");
    QTest::newRow("missing folder") << "no/such/folder/commands.log";
    QTest::newRow("a folder") << "";
}

void TestConsole::commandLogPathThatCannotBeOpened()
{
    QFETCH(QString, relative);
    QTemporaryDir dir;
    const QString path = relative.isEmpty() ? dir.path() : dir.filePath(relative);
    LinkOnBus t;
    t.addReader(SimReaderSettings());
    QVERIFY(t.readOnce());
    t.bus.clearRequests();

    t.link.startWriteBinLogFile(path);
    t.link.sendTerminalCmd("0500");
    t.link.stopWriteBinLogFile();
    QVERIFY(LinkOnBus::waitFor([&] { return t.bus.requests().size() == 1; }, 2000));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

QTEST_GUILESS_MAIN(TestConsole)
#include "tst_console.moc"
