#include "updateunpacker.h"

#include "apppaths.h"
#include "net.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTextCodec>

#include <cstdlib>

namespace {

UpdateUnpacker::HandOver &handOverHook()
{
    static UpdateUnpacker::HandOver hook;
    return hook;
}

void startAndExit(const QString &program, const QStringList &arguments, const QString &workingDir)
{
    if (!QProcess::startDetached(program, arguments, workingDir))
        qDebug().noquote() << "/C:12"
                           << "Update script could not be started: " + program;
    // The script replaces the program's files: nothing of the configurator may keep running,
    // so the window is not closed through its normal path.
    std::exit(0);
}

bool isInside(const QString &path, const QString &folder)
{
    return path.startsWith(folder + QLatin1Char('/'));
}

// Windows takes names without regard to letter case: "Update.ZIP" there is "update.zip".
QString comparable(const QString &path)
{
#ifdef Q_OS_WIN
    return path.toLower();
#else
    return path;
#endif
}

// Where a path leads: the links of its deepest folder that exists resolved, the rest as named
// (it may not exist yet).
QString resolvedPath(const QString &path)
{
    QString rest = QFileInfo(path).fileName();
    QString folder = QFileInfo(path).absolutePath();
    for (;;) {
        const QString real = QFileInfo(folder).canonicalFilePath();
        if (!real.isEmpty())
            return real + QLatin1Char('/') + rest;
        const QFileInfo info(folder);
        if (info.absolutePath() == folder)
            return path;
        rest = info.fileName() + QLatin1Char('/') + rest;
        folder = info.absolutePath();
    }
}

#ifndef Q_OS_WIN
// The switches the configurator was started with that the new one is started with again: the
// debug log window. "-log" is left out: it would start the log afresh and lose the lines of this
// update.
QStringList restartSwitches(const QStringList &arguments)
{
    QStringList switches;
    if (arguments.mid(1).contains(QStringLiteral("-console")))
        switches << QStringLiteral("-console");
    return switches;
}
#endif

} // namespace

void UpdateUnpacker::setHandOver(HandOver handOver)
{
    handOverHook() = std::move(handOver);
}

UpdateUnpacker::UpdateUnpacker(QObject *parent)
    : QObject(parent)
{ }

QString UpdateUnpacker::scriptName()
{
#ifdef Q_OS_WIN
    return QStringLiteral("startupd.cmd");
#else
    return QStringLiteral("startupd.sh");
#endif
}

bool UpdateUnpacker::isSafeEntryPath(const QString &path)
{
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (p.isEmpty() || p.startsWith(QLatin1Char('/')))
        return false;
    static const QRegularExpression drive(QStringLiteral("^[A-Za-z]:"));
    if (drive.match(p).hasMatch())
        return false;
    bool named = false;
    for (const QString &part : p.split(QLatin1Char('/'))) {
        if (part == QLatin1String(".."))
            return false;
        if (!part.isEmpty() && part != QLatin1String("."))
            named = true;
    }
    return named;
}

QString UpdateUnpacker::sizeRefusal(const QList<EntrySize> &files)
{
    qint64 total = 0;
    for (const EntrySize &file : files) {
        if (file.size < 0 || file.size > MaxEntryBytes)
            return QStringLiteral("%1 claims %2 bytes, at most %3 are taken")
                    .arg(file.path)
                    .arg(file.size)
                    .arg(MaxEntryBytes);
        total += file.size;
    }
    if (total > MaxTotalBytes)
        return QStringLiteral("its files claim %1 bytes together, at most %2 are taken")
                .arg(total)
                .arg(MaxTotalBytes);
    return QString();
}

QByteArray UpdateUnpacker::cmdPrefix(const QString &programDir)
{
    QString dir = programDir;
    dir.replace(QLatin1Char('/'), QLatin1Char('\\'));
    QTextCodec *codec = QTextCodec::codecForName("IBM866");
    const QByteArray encoded = codec ? codec->fromUnicode(dir) : dir.toLocal8Bit();
    return QByteArray("@echo off\r\ncd /D \"") + encoded + QByteArray("\"\r\n");
}

QByteArray UpdateUnpacker::shellPrefix(const QString &programDir)
{
    // Inside single quotes the shell takes every byte literally; a single quote itself ends the
    // quoted part, is given escaped and a new quoted part begins.
    QByteArray quoted = QFile::encodeName(programDir);
    quoted.replace('\'', "'\\''");
    return QByteArray("#!/bin/sh\ncd -- '") + quoted + QByteArray("' || exit 1\n");
}

void UpdateUnpacker::startUpdate()
{
    const QString programDir = AppPaths::programDir();
    // Where the update client stored the archive: the program folder of a portable install.
    const QString updatesDir = AppPaths::dataFilePath(QStringLiteral("updates"));
    const QString archive = updatesDir + QStringLiteral("/update.zip");

    if (!QFileInfo::exists(archive)) {
        qDebug().noquote() << "No update files. Updater closed";
        emit refused(NoArchive);
        deleteLater();
        return;
    }
    Refusal why = Damaged;
    if (!extract(archive, updatesDir, &why)) {
        emit refused(why);
        return;
    }

    const QString script = updatesDir + QLatin1Char('/') + scriptName();
    completeScript(script, programDir);

    qDebug().noquote() << "/C:14"
                       << "Starting the update script " + script;
    HandOver handOver = handOverHook() ? handOverHook() : HandOver(startAndExit);
#ifdef Q_OS_WIN
    handOver(script, QStringList(), programDir);
#else
    // The script waits for this process to end before it replaces any file, then starts the
    // configurator again with these switches.
    handOver(QStringLiteral("/bin/sh"),
             QStringList {script, QString::number(QCoreApplication::applicationPid())}
                     + restartSwitches(QCoreApplication::arguments()),
             programDir);
#endif
}

bool UpdateUnpacker::extract(const QString &archive, const QString &targetDir, Refusal *why)
{
    // The archive is read into memory, not mapped: the bytes checked are the bytes written,
    // whatever happens to the file meanwhile.
    QFile file(archive);
    if (!file.open(QIODevice::ReadOnly) || file.size() > Net::MaxArchiveBytes) {
        qDebug().noquote() << "/C:12"
                           << QStringLiteral("Update archive refused: %1 bytes, at most %2 are "
                                             "taken")
                                      .arg(file.size())
                                      .arg(Net::MaxArchiveBytes);
        *why = Damaged;
        return false;
    }
    const QByteArray bytes = file.readAll();
    file.close();

    bool whole = false;
    const QList<ZipDirectory::Entry> directory = ZipDirectory::read(bytes, &whole);
    qDebug() << "Number of items in the zip archive =" << directory.size();
    // A file that is no archive, or an archive of nothing, installs nothing: handing over to a
    // script would only end the program.
    if (!whole || directory.isEmpty()) {
        qDebug().noquote() << "/C:12"
                           << "Update archive refused: no archive, or one without files";
        *why = Damaged;
        return false;
    }
    QList<EntrySize> sizes;
    for (const ZipDirectory::Entry &entry : directory) {
        if (entry.kind == ZipDirectory::Entry::File) {
            qDebug().noquote() << "File:" << entry.name << "size: " << entry.size;
            sizes.append({entry.name, entry.size});
        } else if (entry.kind == ZipDirectory::Entry::Dir) {
            qDebug().noquote() << "Dir:" << entry.name;
        } else {
            qDebug().noquote() << "SymLink:" << entry.name;
        }
    }
    const QString refusal = sizeRefusal(sizes);
    if (!refusal.isEmpty()) {
        qDebug().noquote() << "/C:12"
                           << "Update archive refused: " + refusal;
        *why = Damaged;
        return false;
    }

    QList<UpdateManifest::Entry> manifest;
    if (!verifySignature(bytes, directory, &manifest, why))
        return false;

    QDir().mkpath(targetDir);
    const QString root = QFileInfo(targetDir).canonicalFilePath();
    QList<Placed> placed;
    if (root.isEmpty() || !placeEntries(directory, manifest, root, archive, &placed, why))
        return false;

    // Every file inflated and compared with the manifest before the first is written.
    QHash<QString, UpdateManifest::Entry> listed;
    for (const UpdateManifest::Entry &entry : qAsConst(manifest))
        listed.insert(entry.path, entry);
    for (const Placed &one : qAsConst(placed)) {
        const ZipDirectory::Entry &entry = directory.at(one.index);
        QString damage;
        const QByteArray data = ZipDirectory::data(bytes, entry, &damage);
        if (!damage.isEmpty()) {
            qDebug().noquote() << "/C:12"
                               << "Update archive damaged: " + entry.name + ": " + damage;
            *why = Damaged;
            return false;
        }
        const UpdateManifest::Entry &named = listed[entry.name];
        if (data.size() != named.size
            || QCryptographicHash::hash(data, QCryptographicHash::Sha256) != named.sha256) {
            qDebug().noquote() << "/C:12"
                               << "Update archive refused: " + entry.name
                                          + " is not the file its manifest names";
            *why = Unsigned;
            return false;
        }
    }

    for (const Placed &one : qAsConst(placed)) {
        const ZipDirectory::Entry &entry = directory.at(one.index);
        QString damage;
        const QByteArray data = ZipDirectory::data(bytes, entry, &damage);
        const QString parent = QFileInfo(one.path).absolutePath();
        QDir().mkpath(parent);
        // A folder of the target reached through a link of an earlier run must not carry the
        // file elsewhere either.
        const QString realParent = QFileInfo(parent).canonicalFilePath();
        if (realParent != root && !isInside(realParent, root)) {
            qDebug().noquote() << "/C:12"
                               << "Archive entry refused, its folder leaves the updates folder: "
                                          + entry.name;
            *why = NotWritten;
            return false;
        }
        if (QFileInfo(one.path).isSymLink())
            QFile::remove(one.path);
        QFile out(one.path);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)
            || out.write(data) != data.size()) {
            qDebug().noquote() << "/C:12"
                               << "Cannot write " + one.path + ": " + out.errorString();
            out.close();
            QFile::remove(one.path); // no half-written file stays behind
            *why = NotWritten;
            return false;
        }
        out.close();
        if (one.permissions)
            out.setPermissions(one.permissions | QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    return true;
}

bool UpdateUnpacker::verifySignature(const QByteArray &bytes,
                                     const QList<ZipDirectory::Entry> &directory,
                                     QList<UpdateManifest::Entry> *manifest, Refusal *why)
{
    *why = Unsigned;
    const ZipDirectory::Entry *manifestEntry = nullptr;
    const ZipDirectory::Entry *signatureEntry = nullptr;
    for (const ZipDirectory::Entry &entry : directory) {
        const ZipDirectory::Entry **slot
                = entry.name == QLatin1String(UpdateManifest::kManifestName)    ? &manifestEntry
                  : entry.name == QLatin1String(UpdateManifest::kSignatureName) ? &signatureEntry
                                                                                : nullptr;
        if (!slot)
            continue;
        if (*slot || entry.kind != ZipDirectory::Entry::File) {
            qDebug().noquote() << "/C:12"
                               << "Update archive refused: more than one " + entry.name;
            return false;
        }
        *slot = &entry;
    }
    if (!manifestEntry || !signatureEntry) {
        qDebug().noquote() << "/C:12"
                           << "Update archive refused: it carries no signed manifest";
        return false;
    }
    if (manifestEntry->size > UpdateManifest::kMaxManifestBytes
        || signatureEntry->size != UpdateManifest::kSignatureSize) {
        qDebug().noquote() << "/C:12"
                           << "Update archive refused: its manifest or signature has a wrong size";
        return false;
    }
    QString damage;
    const QByteArray text = ZipDirectory::data(bytes, *manifestEntry, &damage);
    const QByteArray signature = damage.isEmpty()
                                         ? ZipDirectory::data(bytes, *signatureEntry, &damage)
                                         : QByteArray();
    if (!damage.isEmpty()
        || !UpdateManifest::verify(text, signature, UpdateManifest::builtInPublicKey())) {
        qDebug().noquote() << "/C:12"
                           << "Update archive refused: its manifest is not signed with the key "
                              "this configurator trusts";
        return false;
    }
    QString error;
    if (!UpdateManifest::parse(text, manifest, &error)) {
        qDebug().noquote() << "/C:12"
                           << "Update archive refused: " + error;
        return false;
    }
    return true;
}

bool UpdateUnpacker::placeEntries(const QList<ZipDirectory::Entry> &directory,
                                  const QList<UpdateManifest::Entry> &manifest, const QString &root,
                                  const QString &archive, QList<Placed> *placed, Refusal *why)
{
    QHash<QString, qint64> listed;
    for (const UpdateManifest::Entry &entry : manifest)
        listed.insert(entry.path, entry.size);

    // The files the running program keeps, which no entry may replace: the archive itself
    // (it is read while the entries are written), the program, its settings, database, log
    // and command history. The hand-over's script and program files are the archive's own.
    const QStringList kept = {archive,
                              QCoreApplication::applicationFilePath(),
                              AppPaths::filePath(QStringLiteral("settings.conf")),
                              AppPaths::filePath(QStringLiteral("devices.db")),
                              AppPaths::filePath(QStringLiteral("zemo2xx.log")),
                              AppPaths::filePath(QStringLiteral("cmd_history.txt"))};
    QSet<QString> keptPaths;
    for (const QString &path : kept)
        keptPaths.insert(comparable(resolvedPath(path)));

    QSet<QString> seen; // names of the manifest found in the archive
    QSet<QString> written; // files and the folders above them, as compared
    QSet<QString> folders;
    for (int index = 0; index < directory.size(); ++index) {
        const ZipDirectory::Entry &entry = directory.at(index);
        if (entry.name == QLatin1String(UpdateManifest::kManifestName)
            || entry.name == QLatin1String(UpdateManifest::kSignatureName))
            continue;
        if (entry.kind != ZipDirectory::Entry::File || !listed.contains(entry.name)) {
            qDebug().noquote() << "/C:12"
                               << (entry.kind == ZipDirectory::Entry::SymLink
                                           ? "Archive entry refused, a link: " + entry.name
                                           : "Archive entry refused, not the file its manifest "
                                             "names: "
                                                     + entry.name);
            *why = Unsigned;
            return false;
        }
        seen.insert(entry.name);

        *why = Damaged;
        QString relative = entry.name;
        relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
        const QString path = QDir::cleanPath(root + QLatin1Char('/') + relative);
        if (!isSafeEntryPath(entry.name) || !isInside(path, root)) {
            qDebug().noquote() << "/C:12"
                               << "Archive entry refused, its path leaves the updates folder: "
                                          + entry.name;
            return false;
        }
        // A folder of the target that is a link (left by an earlier run) must not carry the
        // file elsewhere either.
        if (!isInside(resolvedPath(path), root)) {
            qDebug().noquote() << "/C:12"
                               << "Archive entry refused, its folder leaves the updates folder: "
                                          + entry.name;
            return false;
        }
        const QString key = comparable(path);
        if (written.contains(key) || folders.contains(key)) {
            qDebug().noquote() << "/C:12"
                               << "Archive entry refused, its name is given twice: " + entry.name;
            return false;
        }
        if (keptPaths.contains(comparable(resolvedPath(path)))) {
            qDebug().noquote() << "/C:12"
                               << "Archive entry refused, it would replace a file of the running "
                                  "program: "
                                          + entry.name;
            return false;
        }
        // Every folder above the file: a file of that name elsewhere in the archive would
        // collide with it.
        for (QString folder = QFileInfo(path).path(); folder != root && isInside(folder, root);
             folder = QFileInfo(folder).path()) {
            if (written.contains(comparable(folder))) {
                qDebug().noquote()
                        << "/C:12"
                        << "Archive entry refused, its name is given twice: " + entry.name;
                return false;
            }
            folders.insert(comparable(folder));
        }
        written.insert(key);
        placed->append({index, path, entry.permissions});
    }
    QStringList lacking;
    for (const UpdateManifest::Entry &entry : manifest) {
        if (!seen.contains(entry.path))
            lacking << entry.path;
    }
    if (!lacking.isEmpty()) {
        qDebug().noquote() << "/C:12"
                           << "Update archive refused: its manifest names files it lacks: "
                                      + lacking.join(QStringLiteral(", "));
        *why = Unsigned;
        return false;
    }
    // The hand-over needs the archive's script at its root.
    if (!written.contains(comparable(root + QLatin1Char('/') + scriptName()))) {
        qDebug().noquote() << "/C:12"
                           << "Update archive refused: it carries no " + scriptName();
        *why = Damaged;
        return false;
    }
    return true;
}

void UpdateUnpacker::completeScript(const QString &scriptPath, const QString &programDir)
{
    QFile file(scriptPath);
    if (!file.open(QIODevice::ReadWrite)) {
        qDebug().noquote() << "/C:12"
                           << "Cannot open the update script " + scriptPath + ": "
                                      + file.errorString();
        return;
    }
    QByteArray content = file.readAll();
#ifdef Q_OS_WIN
    // cmd reads CR LF line ends; the whole script gets them.
    content.replace("\r\n", "\n");
    content.replace("\n", "\r\n");
    const QByteArray prefix = cmdPrefix(programDir);
#else
    const QByteArray prefix = shellPrefix(programDir);
#endif
    file.seek(0);
    file.write(prefix + content);
    file.close();
}
