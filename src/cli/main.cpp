// zemo-cli: the configurator's link, frames, database and files without the window, for scripts
// and batch work.
#include "cliarguments.h"
#include "clioutput.h"
#include "clisession.h"
#include "loghandler.h"
#include "settings.h"

#include <QCoreApplication>
#include <QTranslator>

#include <csignal>
#include <cstdio>

namespace {
bool g_verbose = false;

// The link logs every step; the command line shows it only with --verbose.
void logToStderr(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (!g_verbose)
        return;
    const QByteArray line = LogHandler::stderrLine(type, context, LogHandler::stripTags(message));
    LogHandler::writeToStderr(line);
}
} // namespace

int main(int argc, char *argv[])
{
#ifdef SIGPIPE
    // A reader of standard output that went away (`zemo-cli scan | head -1`) makes the write
    // fail with EPIPE, which the session reports with its exit code, instead of ending the
    // process by the signal halfway through a write to the reader.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(ZEMO_VERSION));
    qInstallMessageHandler(logToStderr);

    // The language of the environment, as for every command-line program, not the window's
    // choice in settings.conf.
    const QString language = languageForEnvironment(qgetenv("LC_ALL"), qgetenv("LC_MESSAGES"),
                                                    qgetenv("LANG"));
    QTranslator translator;
    if (translator.load(translationFilePath(language)))
        QCoreApplication::installTranslator(&translator);

    const QStringList arguments = app.arguments().mid(1);
    // Help and version need neither the link nor the database: they are answered before either
    // is made (a command line whose values would need the link's lists to be checked takes the
    // long way and gets the same answer).
    const CliArguments::Result early = CliArguments::parse(arguments, QStringList());
    if (early.ok()
        && (early.options.command == CliOptions::Help
            || early.options.command == CliOptions::Version)) {
        const QString text = (early.options.command == CliOptions::Help
                                      ? CliArguments::usage()
                                      : CliArguments::versionLine())
                             + QLatin1Char('\n');
        QString error;
        if (CliSession::writeOut(text.toUtf8(), &error))
            return CliExit::Done;
        LogHandler::writeToStderr(
                CliOutput::errorLine(error, CliExit::FileError, early.options.json).toUtf8() + '\n');
        return CliExit::FileError;
    }

    CliSession session;
    const CliArguments::Result parsed = CliArguments::parse(arguments, session.baudList());
    if (!parsed.ok()) {
        const bool json = parsed.options.json || arguments.contains(QStringLiteral("--json"));
        const QByteArray line = CliOutput::errorLine(parsed.error, CliExit::Usage, json).toUtf8()
                                + '\n';
        LogHandler::writeToStderr(line);
        return CliExit::Usage;
    }
    g_verbose = parsed.options.verbose;
    return session.run(parsed.options);
}
