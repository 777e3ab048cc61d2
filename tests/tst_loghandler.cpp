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
    void fileLineFormat();
    void handlerWritesFileAndWindow();
    void warningColoursWithoutLine();
    void unwritableLogDropsMessage();
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

    QTest::newRow("no tag") << "Port open OK!" << 0 << "Port open OK!" << QColor(192, 192, 192);
    QTest::newRow("error tag in front, blank kept")
            << "/C:12 Error open Com port: COM7" << 12 << " Error open Com port: COM7"
            << QColor(255, 0, 0);
    QTest::newRow("first of two tags counts, both removed")
            << "/C:13 Command send: /C:9 0200" << 13 << " Command send:  0200"
            << QColor(255, 0, 255);
    QTest::newRow("tag at the end")
            << "Write config done! /C:14" << 14 << "Write config done! " << QColor(255, 255, 0);
    QTest::newRow("unlisted category")
            << "/C:5 something" << 5 << " something" << QColor(192, 192, 192);
    QTest::newRow("lower case is no tag")
            << "/c:12 text" << 0 << "/c:12 text" << QColor(192, 192, 192);
    QTest::newRow("database category")
            << "/C:17 DB check OK" << 17 << " DB check OK" << QColor(255, 50, 145);
    QTest::newRow("disconnections") << "/C:16 x" << 16 << " x" << QColor(255, 106, 0);
    QTest::newRow("updater connected") << "/C:2 x" << 2 << " x" << QColor(0, 127, 14);
    QTest::newRow("answer text") << "/C:10 x" << 10 << " x" << QColor(0, 255, 0);
    QTest::newRow("remote") << "/C:15 x" << 15 << " x" << QColor(255, 255, 255);
    QTest::newRow("grey") << "/C:8 x" << 8 << " x" << QColor(64, 64, 64);
    QTest::newRow("write element") << "/C:9 x" << 9 << " x" << QColor(0, 0, 255);
}

void TestLogHandler::tags()
{
    QFETCH(QString, message);
    QFETCH(int, category);
    QFETCH(QString, stripped);
    QFETCH(QColor, colour);
    QCOMPARE(LogHandler::categoryOf(message), category);
    QCOMPARE(LogHandler::stripTags(message), stripped);
    QCOMPARE(LogHandler::colourOf(LogHandler::categoryOf(message)), colour);
}

void TestLogHandler::fileLineFormat()
{
    const QDateTime when(QDate(2026, 12, 5), QTime(11, 26, 20, 123));
    QCOMPARE(LogHandler::fileLine(QtDebugMsg, when, "Port open OK!"),
             QByteArray("LogDebug[05.12.2026 11:26:20.123]: Port open OK!\r\n"));
    QCOMPARE(LogHandler::fileLine(QtWarningMsg, when, "w"),
             QByteArray("LogWarning[05.12.2026 11:26:20.123]: w\r\n"));
    QCOMPARE(LogHandler::fileLine(QtCriticalMsg, when, "c"),
             QByteArray("LogCritical[05.12.2026 11:26:20.123]: c\r\n"));
    QCOMPARE(LogHandler::fileLine(QtInfoMsg, when, "i"),
             QByteArray("LogInfo[05.12.2026 11:26:20.123]: i\r\n"));
    QCOMPARE(LogHandler::fileLine(QtFatalMsg, when, "f"),
             QByteArray("LogFatal[05.12.2026 11:26:20.123]: f\r\n"));
    // Banners carry line ends of their own; in the file each becomes CR LF.
    QCOMPARE(LogHandler::fileLine(QtDebugMsg, when, "\n--x--\n"),
             QByteArray("LogDebug[05.12.2026 11:26:20.123]: \r\n--x--\r\n\r\n"));
    // "%1" inside the message is not expanded again.
    QCOMPARE(LogHandler::fileLine(QtDebugMsg, when, "%1 %2"),
             QByteArray("LogDebug[05.12.2026 11:26:20.123]: %1 %2\r\n"));

    QMessageLogContext context("file.cpp", 42, "void f()", "default");
    QCOMPARE(LogHandler::stderrLine(QtDebugMsg, context, "text"), QByteArray("Debug: text\n"));
    QCOMPARE(LogHandler::stderrLine(QtWarningMsg, context, "text"),
             QByteArray("Warning: text (file.cpp:42, void f())\n"));
}

void TestLogHandler::handlerWritesFileAndWindow()
{
    TempProgramDir dir;
    DebugLogWindow window;
    QMessageLogContext context;

    LogHandler::handle(QtDebugMsg, context, "/C:12 Error open Com port: COM7");
    QCoreApplication::processEvents();

    QFile file(dir.filePath("zemo2xx.log"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    const QRegularExpression line("^LogDebug\\[\\d\\d\\.\\d\\d\\.\\d{4} "
                                  "\\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\]:  Error open Com "
                                  "port: COM7\r\n$");
    QVERIFY2(line.match(QString::fromUtf8(content)).hasMatch(), content.constData());

    QCOMPARE(window.toPlainText(), QString(" Error open Com port: COM7"));
    QCOMPARE(window.textColor(), QColor(255, 0, 0));
}

void TestLogHandler::warningColoursWithoutLine()
{
    TempProgramDir dir;
    DebugLogWindow window;
    QMessageLogContext context;
    LogHandler::handle(QtWarningMsg, context, "/C:16 careful");
    QCoreApplication::processEvents();
    QCOMPARE(window.toPlainText(), QString());
    QCOMPARE(window.textColor(), QColor(255, 106, 0));
    QFile file(dir.filePath("zemo2xx.log"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().startsWith("LogWarning["));
}

void TestLogHandler::unwritableLogDropsMessage()
{
    TempProgramDir dir;
    // A folder where the log file should be: it cannot be opened for appending.
    QVERIFY(QDir(dir.path()).mkdir("zemo2xx.log"));
    DebugLogWindow window;
    QMessageLogContext context;
    LogHandler::handle(QtDebugMsg, context, "dropped");
    QCoreApplication::processEvents();
    QCOMPARE(window.toPlainText(), QString());
    QVERIFY(QFileInfo(dir.filePath("zemo2xx.log")).isDir());
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
    QFile file(dir.filePath("zemo2xx.log"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().count("\r\n"), 100);
}

void TestLogHandler::programSwitches_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("oldLineKept");
    QTest::addColumn<bool>("logWritten");

    QTest::newRow("no switch: no log file") << QStringList() << true << false;
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
    if (oldLineKept || args.contains("-log")) {
        QFile old(logPath);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old line\r\n");
    } else {
        QFile::remove(logPath);
    }
    const QByteArray before = [&] {
        QFile f(logPath);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();

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

    QFile log(logPath);
    QByteArray content;
    if (log.open(QIODevice::ReadOnly))
        content = log.readAll();
    if (!logWritten) {
        QCOMPARE(content, before);
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
