// ctest: threads
#include "apppaths.h"
#include "debuglogwindow.h"
#include "loghandler.h"
#include "mainwindowaccess.h"
#include "testsupport.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

// Tags are taken off every line the tests capture; their colours in the window are shown here by
// the error and success categories. A log file that cannot be written is one of the file fault
// tests; that the window still shows its lines is shown here.
class TestLogHandler : public QObject
{
    Q_OBJECT
private slots:
    void linesFromAnotherThreadKeepTheirColour();
    void lineFormats_data();
    void lineFormats();
    void windowShowsEveryLineAsText();
    void sinkGetsEveryLine_data();
    void sinkGetsEveryLine();
    void windowDisposedOfOnce();
};

void TestLogHandler::linesFromAnotherThreadKeepTheirColour()
{
    TempProgramDir dir;
    DebugLogWindow window;
    QThread *thread = QThread::create([] {
        QMessageLogContext context;
        for (int i = 0; i < 50; ++i) {
            LogHandler::handle(QtDebugMsg, context, QStringLiteral("/C:12 red %1").arg(i));
            LogHandler::handle(QtDebugMsg, context, QStringLiteral("/C:10 green %1").arg(i));
        }
    });
    thread->start();
    QVERIFY(thread->wait(10000));
    delete thread;
    QCoreApplication::processEvents();

    // Every red line is red and every green line green in the document.
    QTextDocument *doc = window.document();
    QCOMPARE(doc->blockCount(), 100);
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        const QColor colour = block.begin().fragment().charFormat().foreground().color();
        const QColor expected = block.text().contains("red") ? QColor(255, 0, 0)
                                                             : QColor(0, 255, 0);
        QVERIFY2(colour == expected, qPrintable(block.text() + " " + colour.name()));
    }
    QCOMPARE(readTestFile(dir.filePath("zemo2xx.log")).count("\r\n"), 100);
}

void TestLogHandler::lineFormats_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("error");
    const QByteArray stamp = "[05.12.2026 11:26:20.123]: ";
    // The file is a Windows text file; the standard error stream names where the message came
    // from for every level but Debug.
    QTest::newRow("debug") << int(QtDebugMsg) << "LogDebug" + stamp + "Port open OK!\r\n"
                           << QByteArray("Debug: Port open OK!\n");
    QTest::newRow("warning") << int(QtWarningMsg) << "LogWarning" + stamp + "Port open OK!\r\n"
                             << QByteArray("Warning: Port open OK! (port.cpp:42, openPort)\n");
    QTest::newRow("critical") << int(QtCriticalMsg) << "LogCritical" + stamp + "Port open OK!\r\n"
                              << QByteArray("Critical: Port open OK! (port.cpp:42, openPort)\n");
    QTest::newRow("info") << int(QtInfoMsg) << "LogInfo" + stamp + "Port open OK!\r\n"
                          << QByteArray("Info: Port open OK! (port.cpp:42, openPort)\n");
}

void TestLogHandler::lineFormats()
{
    QFETCH(int, type);
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, error);
    const QDateTime when(QDate(2026, 12, 5), QTime(11, 26, 20, 123));
    const QMessageLogContext context("port.cpp", 42, "openPort", "default");
    QCOMPARE(LogHandler::fileLine(QtMsgType(type), when, "Port open OK!"), file);
    QCOMPARE(LogHandler::stderrLine(QtMsgType(type), context, "Port open OK!"), error);
}

// Every Debug line reaches the window as it was logged: also when the log file cannot be written,
// and as text, whatever markup a console line holds.
void TestLogHandler::windowShowsEveryLineAsText()
{
    // A folder where the log file should be: the file cannot be opened.
    TempProgramDir dir;
    QVERIFY(QDir().mkpath(dir.filePath("zemo2xx.log")));
    DebugLogWindow window;
    QMessageLogContext context;
    LogHandler::handle(QtDebugMsg, context, "/C:12 Port error: ReadError");
    LogHandler::handle(QtDebugMsg, context, "Receive buffer: <b>01</b> &amp; 02");
    QCoreApplication::processEvents();
    QCOMPARE(window.toPlainText(),
             QString(" Port error: ReadError\nReceive buffer: <b>01</b> &amp; 02"));
    QVERIFY(QFileInfo(dir.filePath("zemo2xx.log")).isDir());
}

// The handler knows no widget: every line, of every level, reaches whatever sink is installed
// with its level, its first tag's category and its text without tags; without a sink it only
// writes.
void TestLogHandler::sinkGetsEveryLine_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("received"); // level category text
    QTest::newRow("tagged debug") << int(QtDebugMsg) << "/C:12 Error open Com port: COM7"
                                  << "0 12  Error open Com port: COM7";
    QTest::newRow("warning keeps its level") << int(QtWarningMsg) << "late answer /C:16"
                                             << "1 16 late answer ";
    QTest::newRow("first of two tags") << int(QtDebugMsg) << "/C:13 sent /C:9 done"
                                       << "0 13  sent  done";
    QTest::newRow("untagged") << int(QtInfoMsg) << "plain"
                              << "4 0 plain";
}

void TestLogHandler::sinkGetsEveryLine()
{
    QFETCH(int, type);
    QFETCH(QString, message);
    QFETCH(QString, received);
    TempProgramDir dir;
    QStringList lines;
    LogHandler::setLineSink([&lines](QtMsgType level, int category, const QString &text) {
        lines << QStringLiteral("%1 %2 %3").arg(int(level)).arg(category).arg(text);
    });
    LogHandler::handle(QtMsgType(type), QMessageLogContext(), message);
    LogHandler::setLineSink(nullptr);
    LogHandler::handle(QtMsgType(type), QMessageLogContext(), message);
    QCOMPARE(lines, QStringList {received});
    QCOMPARE(readTestFile(dir.filePath("zemo2xx.log")).count("\r\n"), 2);
}

// The window is disposed of by the main window's deleteDebugLog; ending the program afterwards
// must not free it a second time.
void TestLogHandler::windowDisposedOfOnce()
{
    WindowRig rig;
    new DebugLogWindow;
    rig.w().attachDebugLog(DebugLogWindow::instance());
    emit rig.w().deleteDebugLog();
    processDeletions();
    QVERIFY(!DebugLogWindow::instance());
    DebugLogWindow::destroyInstance();
}

QTEST_MAIN(TestLogHandler)
#include "tst_loghandler.moc"
