#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>

#include <functional>

// The program's message handler. Every log line may carry colour tags "/C:<n>"; they are removed
// from the text and the first one picks the colour of the line in the debug log window.
// Lines go to the log file "zemo2xx.log" in the program folder (opened, appended, closed per
// line) and to the standard error stream; every line also to the line sink, which the debug log
// window of the program installs (the handler itself knows no widget).
class LogHandler
{
public:
    // Gets each line with its level and category, tags removed, on the thread that logged it,
    // after the file has it. Empty by default; an empty function takes it out again.
    using LineSink = std::function<void(QtMsgType type, int category, const QString &text)>;

    static void install();
    static void setLineSink(LineSink sink);
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message);

    static QString logFilePath();
    static bool removeLogFile();

    // The category of the first tag, 0 without one.
    static int categoryOf(const QString &message);
    static QString stripTags(const QString &message);
    // The file line of a level, CR LF line ends included.
    static QByteArray fileLine(QtMsgType type, const QDateTime &when, const QString &text);
    static QByteArray stderrLine(QtMsgType type, const QMessageLogContext &context,
                                 const QString &text);
    // Writes text (up to a NUL byte) to the standard error stream and flushes it; false when it
    // could not be written.
    static bool writeToStderr(const QByteArray &text);
};
