#pragma once

#include <QColor>
#include <QDateTime>
#include <QString>
#include <QtGlobal>

// The program's message handler. Every log line may carry colour tags "/C:<n>"; they are removed
// from the text and the first one picks the colour of the line in the debug log window.
// Lines go to the log file "zemo2xx.log" in the program folder (opened, appended, closed per
// line) and to the standard error stream; Debug lines also to the debug log window.
class LogHandler
{
public:
    static void install();
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message);

    static QString logFilePath();
    static bool removeLogFile();

    // The category of the first tag, 0 without one.
    static int categoryOf(const QString &message);
    static QString stripTags(const QString &message);
    static QColor colourOf(int category);
    // The file line of a level, CR LF line ends included.
    static QByteArray fileLine(QtMsgType type, const QDateTime &when, const QString &text);
    static QByteArray stderrLine(QtMsgType type, const QMessageLogContext &context,
                                 const QString &text);
};
