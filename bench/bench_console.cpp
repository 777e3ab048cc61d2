// The console page under a long session: 10 000 lines as the device link prints them (a sent
// frame and its answer in the colours of the console) appended to the shown console of the
// window, then 10 000 more. The view keeps the last 10 000 lines, so the second batch must not
// grow the text or the memory.
//
// Floor: the same number of lines of the same length appended as plain text to a bare
// QPlainTextEdit with the same limit, shown the same way.
#include "mainwindow.h"
#include "testsupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextDocumentFragment>

#include <cstdio>
#include <unistd.h>

namespace {
constexpr int kLines = 10000;

// Resident memory of this process in KiB.
long residentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toLong() * (sysconf(_SC_PAGESIZE) / 1024);
}

// A line of the console as the device link prints an answer, numbered so that no two are equal.
QString consoleLine(int i)
{
    const QString frame = QStringLiteral("01&nbsp;08&nbsp;dc&nbsp;85&nbsp;00&nbsp;00&nbsp;%1")
                                  .arg(i, 8, 16, QLatin1Char('0'));
    return (i % 2 ? QStringLiteral("<font color=green>&lt; </font>")
                  : QStringLiteral("<font color=blue>&gt; </font>"))
           + frame;
}

struct Batch
{
    double msPerLine = 0;
    long kib = 0;
};

template<typename Append>
Batch appendBatch(int first, Append append)
{
    QElapsedTimer clock;
    clock.start();
    for (int i = first; i < first + kLines; ++i)
        append(i);
    QApplication::processEvents(); // the view is painted once the lines are in
    return {clock.nsecsElapsed() / 1e6 / kLines, residentKiB()};
}
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    TempProgramDir programDir(true);
    BoxRecorder boxes;
    MainWindow window(nullptr, QStringLiteral("ru_RU"));
    window.show();
    window.findChild<QListWidget *>(QStringLiteral("terminalMenu"))->setCurrentRow(1);
    auto *console = window.findChild<QPlainTextEdit *>(QStringLiteral("terminalEdit"));
    if (!console || !QTest::qWaitForWindowExposed(&window)) {
        std::printf("no console page\n");
        return 1;
    }
    QApplication::processEvents();

    const long before = residentKiB();
    const Batch first = appendBatch(0, [&](int i) { window.printToTerminal(consoleLine(i)); });
    const Batch second = appendBatch(kLines, [&](int i) { window.printToTerminal(consoleLine(i)); });
    const int blocks = console->document()->blockCount();

    QPlainTextEdit bare;
    bare.setMaximumBlockCount(kLines);
    bare.resize(console->size());
    bare.show();
    if (!QTest::qWaitForWindowExposed(&bare)) {
        std::printf("no plain view\n");
        return 1;
    }
    const QString plain = QTextDocumentFragment::fromHtml(consoleLine(0)).toPlainText();
    const Batch floor = appendBatch(0, [&](int) { bare.appendPlainText(plain); });

    std::printf("console, %d lines appended to the shown console: %.3f ms per line measured / "
                "%.3f ms floor (%.1fx; a bare plain-text view of the same lines)\n",
                kLines, first.msPerLine, floor.msPerLine, first.msPerLine / floor.msPerLine);
    std::printf("console, %d more lines: %.3f ms per line; the view holds %d lines; memory "
                "+%ld KiB after the first %d lines, %+ld KiB more after the next %d\n",
                kLines, second.msPerLine, blocks, first.kib - before, kLines,
                second.kib - first.kib, kLines);
    return 0;
}
