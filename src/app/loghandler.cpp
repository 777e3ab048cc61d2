#include "loghandler.h"

#include "apppaths.h"

#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <QRegularExpression>

#include <cstdio>
#include <cstdlib>

namespace {

const QRegularExpression &tagPattern()
{
    static const QRegularExpression pattern(QStringLiteral("(/C:\\d+)"));
    return pattern;
}

QMutex &fileMutex()
{
    static QMutex mutex;
    return mutex;
}

QMutex &sinkMutex()
{
    static QMutex mutex;
    return mutex;
}

LogHandler::LineSink &lineSink()
{
    static LogHandler::LineSink sink;
    return sink;
}

const char *levelWord(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return "Debug";
    case QtWarningMsg:
        return "Warning";
    case QtCriticalMsg:
        return "Critical";
    case QtFatalMsg:
        return "Fatal";
    case QtInfoMsg:
        return "Info";
    }
    return "Debug";
}

} // namespace

void LogHandler::install()
{
    qInstallMessageHandler(&LogHandler::handle);
}

void LogHandler::setLineSink(LineSink sink)
{
    QMutexLocker lock(&sinkMutex());
    lineSink() = std::move(sink);
}

QString LogHandler::logFilePath()
{
    return AppPaths::dataFilePath(QStringLiteral("zemo2xx.log"));
}

bool LogHandler::removeLogFile()
{
    QFile file(logFilePath());
    return !file.exists() || file.remove();
}

int LogHandler::categoryOf(const QString &message)
{
    const QRegularExpressionMatch match = tagPattern().match(message);
    if (!match.hasMatch())
        return 0;
    bool ok = false;
    const int category = match.captured(1).mid(3).toInt(&ok, 10);
    return ok ? category : 0;
}

QString LogHandler::stripTags(const QString &message)
{
    QString text = message;
    text.remove(tagPattern());
    return text;
}

QByteArray LogHandler::fileLine(QtMsgType type, const QDateTime &when, const QString &text)
{
    const QString stamp = QLatin1Char('[')
                          + when.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss.zzz"))
                          + QLatin1Char(']');
    QString line = QStringLiteral("Log%1%2: %3\n")
                           .arg(QLatin1String(levelWord(type)))
                           .arg(stamp, 0)
                           .arg(text, 0);
    // The file is a Windows text file: every line end, also those inside the message, is CR LF.
    line.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return line.toUtf8();
}

QByteArray LogHandler::stderrLine(QtMsgType type, const QMessageLogContext &context,
                                  const QString &text)
{
    const QByteArray local = text.toLocal8Bit();
    if (type == QtDebugMsg)
        return QByteArray("Debug: ") + local + '\n';
    return QByteArray(levelWord(type)) + ": " + local + " ("
           + QByteArray(context.file ? context.file : "") + ':' + QByteArray::number(context.line)
           + ", " + QByteArray(context.function ? context.function : "") + ")\n";
}

bool LogHandler::writeToStderr(const QByteArray &text)
{
    // Through the printf family, whose checked form a hardened build uses (the format is a
    // constant; "%.*s" takes the length, so that no terminating NUL is needed).
    const int written = std::fprintf(stderr, "%.*s", int(text.size()), text.constData());
    return std::fflush(stderr) == 0 && written >= 0;
}

void LogHandler::handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const int category = categoryOf(message);
    const QString text = stripTags(message);

    bool written = false;
    {
        QMutexLocker lock(&fileMutex());
        // The standard error stream gets every line, so that nothing is lost when the file
        // cannot be written (a read-only folder, a full disk); that is said there once per file.
        static QString failedPath;
        const QByteArray errLine = stderrLine(type, context, text);
        writeToStderr(errLine);
        const QString path = logFilePath();
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Append)) {
            const QByteArray line = fileLine(type, QDateTime::currentDateTime(), text);
            written = file.write(line) == line.size() && file.flush();
            file.close();
        }
        if (written) {
            failedPath.clear();
        } else if (failedPath != path) {
            failedPath = path;
            const QByteArray note = "Log file not written: " + QFile::encodeName(path) + ": "
                                    + file.errorString().toLocal8Bit() + '\n';
            writeToStderr(note);
        }
        std::fflush(stderr);
    }

    // A line the file did not take still goes on: the debug log window is where the engineer
    // looks.
    LineSink sink;
    {
        QMutexLocker lock(&sinkMutex());
        sink = lineSink();
    }
    if (sink)
        sink(type, category, text);

    if (type == QtFatalMsg)
        std::abort();
}
