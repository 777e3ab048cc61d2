#include "updateunpacker.h"

#include "apppaths.h"
#include "net.h"
#include "zipdirectory.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTextCodec>

#include <QtGui/private/qzipreader_p.h>

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
    const QString updatesDir = programDir + QStringLiteral("/updates");
    const QString archive = updatesDir + QStringLiteral("/update.zip");

    if (!QFileInfo::exists(archive)) {
        qDebug().noquote() << "No update files. Updater closed";
        emit refused();
        deleteLater();
        return;
    }
    if (!extract(archive, updatesDir)) {
        emit refused();
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

bool UpdateUnpacker::extract(const QString &archive, const QString &targetDir)
{
    QZipReader zip(archive);
    if (!zip.exists()) {
        zip.close();
        return false;
    }
    const QVector<QZipReader::FileInfo> entries = zip.fileInfoList();
    qDebug() << "Number of items in the zip archive =" << zip.count();
    // A file that is no archive, or an archive of nothing, installs nothing: handing over to a
    // script would only end the program.
    if (zip.status() != QZipReader::NoError || entries.isEmpty()) {
        qDebug().noquote() << "/C:12"
                           << "Update archive refused: no archive, or one without files";
        zip.close();
        return false;
    }
    for (const QZipReader::FileInfo &entry : entries) {
        if (entry.isFile)
            qDebug().noquote() << "File:" << entry.filePath << "size: " << entry.size;
        else if (entry.isDir)
            qDebug().noquote() << "Dir:" << entry.filePath;
        else
            qDebug().noquote() << "SymLink:" << entry.filePath;
    }
    zip.close();

    // The reader lists the entries; their bytes are taken from the archive here, within the
    // sizes its directory claims (see ZipDirectory), which are checked before anything is
    // inflated.
    QFile file(archive);
    if (!file.open(QIODevice::ReadOnly) || file.size() > Net::MaxArchiveBytes) {
        qDebug().noquote() << "/C:12"
                           << QStringLiteral("Update archive refused: %1 bytes, at most %2 are "
                                             "taken")
                                      .arg(file.size())
                                      .arg(Net::MaxArchiveBytes);
        return false;
    }
    const uchar *mapped = file.map(0, file.size());
    const QByteArray bytes = mapped ? QByteArray::fromRawData(reinterpret_cast<const char *>(mapped),
                                                              int(file.size()))
                                    : file.readAll();
    const QList<ZipDirectory::Entry> directory = ZipDirectory::read(bytes);
    QList<EntrySize> sizes;
    for (const QZipReader::FileInfo &entry : entries) {
        if (entry.isFile)
            sizes.append({entry.filePath, entry.size});
    }
    QString refusal = sizeRefusal(sizes);
    if (directory.size() != entries.size())
        refusal = QStringLiteral("its directory cannot be read whole");
    if (!refusal.isEmpty()) {
        qDebug().noquote() << "/C:12"
                           << "Update archive refused: " + refusal;
        return false;
    }

    // Never extractAll(): it follows "sub/../../x" and link entries out of the target folder.
    // Every entry is checked and written by itself. A file that comes out damaged or cannot be
    // written stops the update: the script would install an incomplete program.
    QDir target(targetDir);
    target.mkpath(QStringLiteral("."));
    const QString root = QFileInfo(targetDir).canonicalFilePath();
    for (int index = 0; index < entries.size(); ++index) {
        const QZipReader::FileInfo &entry = entries.at(index);
        if (entry.isSymLink) {
            qDebug().noquote() << "/C:12"
                               << "Archive entry refused, a link: " + entry.filePath;
            continue;
        }
        if (!isSafeEntryPath(entry.filePath)) {
            qDebug().noquote() << "/C:12"
                               << "Archive entry refused, its path leaves the updates folder: "
                                          + entry.filePath;
            continue;
        }
        QString relative = entry.filePath;
        relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
        const QString path = QDir::cleanPath(root + QLatin1Char('/') + relative);
        if (!isInside(path, root)) {
            qDebug().noquote() << "/C:12"
                               << "Archive entry refused, its path leaves the updates folder: "
                                          + entry.filePath;
            continue;
        }
        if (entry.isDir) {
            if (!QDir().mkpath(path))
                qDebug().noquote() << "/C:12"
                                   << "Cannot create folder " + path;
            continue;
        }
        if (!entry.isFile)
            continue;

        const QString parent = QFileInfo(path).absolutePath();
        QDir().mkpath(parent);
        // A folder of the target reached through a link of an earlier run must not carry the
        // file elsewhere either.
        const QString realParent = QFileInfo(parent).canonicalFilePath();
        if (realParent != root && !isInside(realParent, root)) {
            qDebug().noquote() << "/C:12"
                               << "Archive entry refused, its folder leaves the updates folder: "
                                          + entry.filePath;
            continue;
        }
        if (QFileInfo(path).isSymLink())
            QFile::remove(path);
        QString damage;
        const QByteArray data = ZipDirectory::data(bytes, directory.at(index), &damage);
        if (!damage.isEmpty()) {
            qDebug().noquote() << "/C:12"
                               << "Update archive damaged: " + entry.filePath + ": " + damage;
            return false;
        }
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
            qDebug().noquote() << "/C:12"
                               << "Cannot write " + path + ": " + out.errorString();
            return false;
        }
        if (out.write(data) != data.size()) {
            qDebug().noquote() << "/C:12"
                               << "Cannot write " + path + ": " + out.errorString();
            out.close();
            QFile::remove(path); // no half-written file stays behind
            return false;
        }
        out.close();
        if (entry.permissions)
            out.setPermissions(entry.permissions | QFileDevice::ReadOwner | QFileDevice::WriteOwner);
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
