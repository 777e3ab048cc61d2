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

QTEST_MAIN(TestLogHandler)
#include "tst_loghandler.moc"
