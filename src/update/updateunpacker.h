#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

#include "updatemanifest.h"
#include "zipdirectory.h"

// Installs a downloaded configurator update: extracts "updates/update.zip" into the "updates"
// folder, puts a prefix in front of the archive's script that changes to the program folder,
// starts the script detached and ends the configurator, so that the script can replace the
// program's files while nothing of it runs.
//
// Nothing is written before the whole archive has been checked: its manifest's signature with
// the built-in key (see UpdateManifest), every entry against the manifest while it is inflated,
// every path against the folder. An archive that fails is refused, the folder as it was.
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

    // Why startUpdate came back without handing over.
    enum Refusal {
        NoArchive, // no "update.zip"
        Damaged, // no archive, a damaged one, or one whose files cannot be placed
        Unsigned, // no valid signature, or a file that is not the one the manifest names
        NotWritten, // a file could not be written
    };
    Q_ENUM(Refusal)

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
    void refused(UpdateUnpacker::Refusal why);

private:
    struct Placed
    {
        int index = 0; // in the archive's directory
        QString path; // where it is written
        QFileDevice::Permissions permissions;
    };
    // Checks the archive whole and extracts it below targetDir; false with *why when it was
    // refused.
    bool extract(const QString &archive, const QString &targetDir, Refusal *why);
    // The signature and the manifest; false when the archive is not the maker's.
    bool verifySignature(const QByteArray &bytes, const QList<ZipDirectory::Entry> &directory,
                         QList<UpdateManifest::Entry> *manifest, Refusal *why);
    // Where every file goes, refusing paths that leave the folder, links, names given twice and
    // files the running program keeps; false with *why.
    bool placeEntries(const QList<ZipDirectory::Entry> &directory,
                      const QList<UpdateManifest::Entry> &manifest, const QString &root,
                      const QString &archive, QList<Placed> *placed, Refusal *why);
    void completeScript(const QString &scriptPath, const QString &programDir);
};
