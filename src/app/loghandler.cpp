#include "loghandler.h"

#include "apppaths.h"
#include "debuglogwindow.h"

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

QString LogHandler::logFilePath()
{
    return AppPaths::programDir() + QStringLiteral("/zemo2xx") + QStringLiteral(".log");
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

QColor LogHandler::colourOf(int category)
{
    switch (category) {
    case 2:
        return QColor(0, 127, 14);
    case 8:
        return QColor(64, 64, 64);
    case 9:
        return QColor(0, 0, 255);
    case 10:
        return QColor(0, 255, 0);
    case 12:
        return QColor(255, 0, 0);
    case 13:
        return QColor(255, 0, 255);
    case 14:
        return QColor(255, 255, 0);
    case 15:
        return QColor(255, 255, 255);
    case 16:
        return QColor(255, 106, 0);
    case 17:
        return QColor(255, 50, 145);
    default:
        return QColor(192, 192, 192);
    }
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

void LogHandler::handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const int category = categoryOf(message);
    const QString text = stripTags(message);
    const QColor colour = colourOf(category);

    bool written = false;
    {
        QMutexLocker lock(&fileMutex());
        // The standard error stream gets every line, so that nothing is lost when the file
        // cannot be written (a read-only folder, a full disk); that is said there once per file.
        static QString failedPath;
        const QByteArray errLine = stderrLine(type, context, text);
        std::fwrite(errLine.constData(), 1, size_t(errLine.size()), stderr);
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
            std::fwrite(note.constData(), 1, size_t(note.size()), stderr);
        }
        std::fflush(stderr);
    }

    // The window lives on the GUI thread: the colour and the line travel there as one queued
    // call, so each line keeps its own colour whichever thread logged it. Lines of the other
    // levels only change the colour. A line the file did not take is still shown: the window
    // is where the engineer looks.
    if (DebugLogWindow *window = DebugLogWindow::instance()) {
        if (type == QtDebugMsg)
            QMetaObject::invokeMethod(window, "appendLine", Qt::QueuedConnection,
                                      Q_ARG(QColor, colour), Q_ARG(QString, text));
        else
            QMetaObject::invokeMethod(window, "setLineColour", Qt::QueuedConnection,
                                      Q_ARG(QColor, colour));
    }

    if (type == QtFatalMsg)
        std::abort();
}
