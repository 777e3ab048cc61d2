#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// One run of the built zemo-cli program. The event loop of the calling thread keeps running
// while it waits, so that a simulated bus or server double in this thread answers it.
struct CliRun
{
    int exitCode = -1; // -1: it did not end in time or crashed
    QByteArray out;
    QByteArray err;
    qint64 elapsedMs = 0;

    // Exit code, standard error and output in one text for failure messages.
    QString describe() const;
};

CliRun runCli(const QStringList &arguments, int timeoutMs = 60000);
// The same with an environment of its own and, when stdoutFile is given, standard output
// written to that file (/dev/full for a full disk) instead of read.
CliRun runCliWith(const QStringList &arguments, const QProcessEnvironment &environment,
                  const QString &stdoutFile = QString(), int timeoutMs = 60000);

// The environment of a run in a language: LANG alone decides.
QProcessEnvironment languageEnvironment(const QString &lang);
// The JSON objects of an output, one a line.
QList<QJsonObject> jsonLines(const QByteArray &out);
