#include "clirun.h"

#include "testsupport.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QProcess>
#include <QTimer>

QString CliRun::describe() const
{
    return QStringLiteral("exit %1 after %2 ms\nstderr: %3\nstdout: %4")
            .arg(exitCode)
            .arg(elapsedMs)
            .arg(QString::fromUtf8(err), QString::fromUtf8(out));
}

CliRun runCli(const QStringList &arguments, int timeoutMs)
{
    return runCliWith(arguments, QProcessEnvironment::systemEnvironment(), QString(), timeoutMs);
}

CliRun runCliWith(const QStringList &arguments, const QProcessEnvironment &environment,
                  const QString &stdoutFile, int timeoutMs)
{
    CliRun run;
    QProcess process;
    process.setProcessEnvironment(environment);
    if (!stdoutFile.isEmpty())
        process.setStandardOutputFile(stdoutFile);
    QEventLoop loop;
    QObject::connect(&process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), &loop,
                     &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    process.start(appBuildPath(QStringLiteral("zemo-cli")), arguments);
    loop.exec();
    run.elapsedMs = clock.elapsed();
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(3000);
    } else if (process.exitStatus() == QProcess::NormalExit) {
        run.exitCode = process.exitCode();
    }
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

QProcessEnvironment languageEnvironment(const QString &lang)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("LC_ALL");
    environment.remove("LC_MESSAGES");
    environment.insert("LANG", lang);
    return environment;
}

QList<QJsonObject> jsonLines(const QByteArray &out)
{
    QList<QJsonObject> objects;
    for (const QByteArray &line : out.trimmed().split('\n')) {
        if (!line.isEmpty())
            objects << QJsonDocument::fromJson(line).object();
    }
    return objects;
}
