#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

// Installs a downloaded configurator update: extracts "updates/update.zip" into the "updates"
// folder, puts a prefix in front of the archive's script that changes to the program folder,
// starts the script detached and ends the configurator, so that the script can replace the
// program's files while nothing of it runs.
//
// Windows: the script is "startupd.cmd", run by cmd. Elsewhere: "startupd.sh", run by /bin/sh
// with this process's id (the script waits for its end) and the switches to start the new
// configurator with; the release's script is release/startupd.sh.
class UpdateUnpacker : public QObject
{
    Q_OBJECT
public:
    // Starts the script detached and ends the process. Tests replace it so that neither
    // happens; the default starts the program and calls exit(0).
    using HandOver = std::function<void(const QString &program, const QStringList &arguments,
                                        const QString &workingDir)>;
    static void setHandOver(HandOver handOver);

    explicit UpdateUnpacker(QObject *parent = nullptr);

    static QString scriptName();

    // A path inside an archive that may be written below the target folder: relative, without
    // ".." components, not empty. Back slashes count as separators too.
    static bool isSafeEntryPath(const QString &path);

    // What an archive may unpack to: one file, and all files together. A configurator update
    // is a few dozen megabytes.
    static constexpr qint64 MaxEntryBytes = 256 * 1024 * 1024;
    static constexpr qint64 MaxTotalBytes = 1024 * 1024 * 1024;
    struct EntrySize
    {
        QString path;
        qint64 size = 0; // as the archive's directory claims it
    };
    // The claimed sizes of an archive's files, checked before anything is inflated: an empty
    // text when they keep within the limits, else why the archive is refused.
    static QString sizeRefusal(const QList<EntrySize> &files);

    // The line block put in front of the script: for cmd "@echo off" and "cd /D "<folder>"" in
    // the IBM866 code page with back slashes and CR LF; for sh a cd to the folder in single
    // quotes, so that blanks, quotes, "$" and back quotes are taken literally.
    static QByteArray cmdPrefix(const QString &programDir);
    static QByteArray shellPrefix(const QString &programDir);

public slots:
    void startUpdate();

signals:
    // startUpdate came back without handing over: no archive, or an archive it refused.
    void refused();

private:
    // Extracts entry by entry below targetDir, refusing links and paths that leave it.
    bool extract(const QString &archive, const QString &targetDir);
    void completeScript(const QString &scriptPath, const QString &programDir);
};
