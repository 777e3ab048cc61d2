#include "linkonbus.h"
#include "testsupport.h"

#include <QTemporaryDir>
#include <QtTest>

// Commands typed in the console on the serial link, and the command log. The frames of typed
// text are the frame tests' rows.
class TestConsole : public QObject
{
    Q_OBJECT
private slots:
    void commandLogRecordsTypedTextAndRestartsEmpty();
    void commandLogPathThatCannotBeOpened_data();
    void commandLogPathThatCannotBeOpened();
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
    // 01^03^dc^05^00 = db
    QVERIFY(LinkOnBus::waitFor([&] { return t.bus.requests().size() == 1; }, 2000));
    QCOMPARE(t.requestHex(), QStringList {"0103dc0500db"});
    QVERIFY(t.console.contains("<font color=blue>&gt; </font>0103dc0500db"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

QTEST_GUILESS_MAIN(TestConsole)
#include "tst_console.moc"
