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

// Tags are taken off every line the tests capture; their colours in the window are shown here by
// the error and success categories. A log file that cannot be written is one of the file fault
// tests.
class TestLogHandler : public QObject
{
    Q_OBJECT
private slots:
    void linesFromAnotherThreadKeepTheirColour();
    void programSwitches_data();
    void programSwitches();
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
