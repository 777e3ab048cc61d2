// zemo-cli: the configurator's link, frames, database and files without the window, for scripts
// and batch work.
#include "cliarguments.h"
#include "clioutput.h"
#include "clisession.h"
#include "loghandler.h"
#include "settings.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

#include <cstdio>

namespace {
bool g_verbose = false;

// The link logs every step; the command line shows it only with --verbose.
void logToStderr(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (!g_verbose)
        return;
    const QByteArray line = LogHandler::stderrLine(type, context, LogHandler::stripTags(message));
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(ZEMO_VERSION));
    qInstallMessageHandler(logToStderr);

    // The window's language; the command line never stores a choice of its own.
    QString language = readSetting(QStringLiteral("Language"), QStringLiteral("lang")).toString();
    if (language.isEmpty())
        language = languageForLocale(QLocale::system().name());
    QTranslator translator;
    if (translator.load(translationFilePath(language)))
        QCoreApplication::installTranslator(&translator);

    CliSession session;
    const QStringList arguments = app.arguments().mid(1);
    const CliArguments::Result parsed = CliArguments::parse(arguments, session.baudList());
    if (!parsed.ok()) {
        const bool json = parsed.options.json || arguments.contains(QStringLiteral("--json"));
        const QByteArray line = CliOutput::errorLine(parsed.error, CliExit::Usage, json).toUtf8()
                                + '\n';
        std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
        return CliExit::Usage;
    }
    g_verbose = parsed.options.verbose;
    return session.run(parsed.options);
}
