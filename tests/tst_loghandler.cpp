// ctest: threads
#include "debuglogwindow.h"
#include "loghandler.h"
#include "testsupport.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

class TestLogHandler : public QObject
{
    Q_OBJECT
private slots:
    void tags_data();
    void tags();
    void warningOnlyColoursTheWindow();
    void linesFromAnotherThreadKeepTheirColour();
    void programSwitches_data();
    void programSwitches();
};

void TestLogHandler::tags_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("category");
    QTest::addColumn<QString>("stripped");
    QTest::addColumn<QColor>("colour");
    auto row = [](const char *name, const char *message, int category, const char *stripped,
                  QColor colour) {
        QTest::newRow(name) << message << category << stripped << colour;
    };
    const QColor grey(192, 192, 192);
    row("no tag", "Port open OK!", 0, "Port open OK!", grey);
    row("error tag in front, blank kept", "/C:12 Error open Com port: COM7", 12,
        " Error open Com port: COM7", QColor(255, 0, 0));
    row("first of two tags counts, both removed", "/C:13 Command send: /C:9 0200", 13,
        " Command send:  0200", QColor(255, 0, 255));
    row("tag at the end", "Write config done! /C:14", 14, "Write config done! ",
        QColor(255, 255, 0));
    row("unlisted category", "/C:5 something", 5, " something", grey);
    row("lower case is no tag", "/c:12 text", 0, "/c:12 text", grey);
    row("database category", "/C:17 DB check OK", 17, " DB check OK", QColor(255, 50, 145));
}

void TestLogHandler::tags()
{
    QFETCH(QString, message);
    QFETCH(int, category);
    QCOMPARE(LogHandler::categoryOf(message), category);
    QTEST(LogHandler::stripTags(message), "stripped");
    QTEST(LogHandler::colourOf(category), "colour");
}

// A Warning only colours the window; its line still goes to the file. (Lines reaching file and
// window, each in its colour, are shown by the test from another thread; a log file that cannot
// be written by the fault tests.)
void TestLogHandler::warningOnlyColoursTheWindow()
{
    TempProgramDir dir;
    DebugLogWindow window;
    LogHandler::handle(QtDebugMsg, QMessageLogContext(), "/C:12 Error open Com port: COM7");
    LogHandler::handle(QtWarningMsg, QMessageLogContext(), "/C:16 careful");
    QCoreApplication::processEvents();
    QCOMPARE(window.toPlainText(), QString(" Error open Com port: COM7"));
    QCOMPARE(window.textColor(), QColor(255, 106, 0));
    QVERIFY(readTestFile(dir.filePath("zemo2xx.log")).contains(":  careful\r\n"));
}

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

void TestLogHandler::programSwitches_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("oldLineKept");
    QTest::addColumn<bool>("logWritten");

    QTest::newRow("no switch: no log line") << QStringList() << true << false;
    QTest::newRow("-log deletes the old file") << QStringList {"-log"} << false << true;
    QTest::newRow("-console appends") << QStringList {"-console"} << true << true;
    QTest::newRow("both, deleted once") << QStringList {"-console", "-log", "-x"} << false << true;
}

void TestLogHandler::programSwitches()
{
    QFETCH(QStringList, args);
    QFETCH(bool, oldLineKept);
    QFETCH(bool, logWritten);

    // The program writes its log beside the executable: run a copy in a folder of our own.
    QTemporaryDir dir;
    const QString exe = dir.filePath("zemo-configurator");
    QVERIFY(QFile::copy(appBuildPath("zemo-configurator"), exe));
    QVERIFY(QFile::copy(appBuildPath("devices.db"), dir.filePath("devices.db")));
    const QString logPath = dir.filePath("zemo2xx.log");
    QVERIFY(writeTestFile(logPath, "old line\r\n"));

    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    process.setProcessEnvironment(env);
    process.start(exe, args);
    QVERIFY(process.waitForStarted());
    // The start banner is written while the window is built; give it time, then end it.
    QTest::qWait(1500);
    process.terminate();
    QVERIFY(process.waitForFinished(5000));

    const QByteArray content = readTestFile(logPath);
    if (!logWritten) {
        QCOMPARE(content, QByteArray("old line\r\n"));
        return;
    }
    QCOMPARE(content.startsWith("old line"), oldLineKept);
    const QRegularExpression banner(
            "LogDebug\\[\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\]: "
            "\r\n-----------------Configurator started-----------------\r\n\r\n");
    QVERIFY2(banner.match(QString::fromUtf8(content)).hasMatch(), content.constData());
    QVERIFY2(content.contains("]: Version: 0.3.3 build date: "), content.constData());
    QCOMPARE(content.count("Configurator started"), 1);
}

QTEST_MAIN(TestLogHandler)
#include "tst_loghandler.moc"
