#include "apppaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace {
QString &overrideDir()
{
    static QString dir;
    return dir;
}

QString &overrideDataDir()
{
    static QString dir;
    return dir;
}

// The names below the program folder that the program only reads.
bool isShipped(const QString &relative)
{
    const QString first = relative.section(QLatin1Char('/'), 0, 0);
    return first == QLatin1String("devices.db") || first == QLatin1String("translations")
           || first == QLatin1String("help");
}

// The program folder belongs to the user: it can be written and, on Unix, the user owns it (a
// folder root unpacked elsewhere or a shared writable folder is not one user's program folder).
bool programDirIsUsers()
{
    const QFileInfo info(AppPaths::programDir());
    if (!info.isDir() || !info.isWritable())
        return false;
#ifndef Q_OS_WIN
    if (info.ownerId() != uint(::geteuid()))
        return false;
#endif
    return true;
}

bool writesToProgramDir()
{
    return programDirIsUsers() && !AppPaths::installedByPackage();
}
} // namespace

QString AppPaths::programDir()
{
    if (!overrideDir().isEmpty())
        return overrideDir();
    return QCoreApplication::applicationDirPath();
}

QString AppPaths::programFilePath(const QString &relative)
{
    return programDir() + QLatin1Char('/') + relative;
}

QString AppPaths::userDataDir()
{
    if (!overrideDataDir().isEmpty())
        return overrideDataDir();
#ifdef Q_OS_WIN
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
           + QStringLiteral("/zemo-configurator");
#else
    // The XDG rule: a relative $XDG_DATA_HOME is invalid and ignored.
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/zemo-configurator");
#endif
}

QString AppPaths::dataDir()
{
    if (writesToProgramDir())
        return programDir();
    const QString dir = userDataDir();
    // Made on first use: the log, the settings and the history are files right in it. A folder
    // that cannot be made shows as the files that cannot be written (the log handler calls
    // here, so nothing is logged from here).
    if (!QFileInfo::exists(dir))
        QDir().mkpath(dir);
    return dir;
}

QString AppPaths::dataFilePath(const QString &relative)
{
    return dataDir() + QLatin1Char('/') + relative;
}

QString AppPaths::filePath(const QString &relative)
{
    return isShipped(relative) ? programFilePath(relative) : dataFilePath(relative);
}

bool AppPaths::selfUpdateAllowed()
{
    return writesToProgramDir();
}

bool AppPaths::installedByPackage()
{
    return QFileInfo::exists(programFilePath(packageMarkerName()));
}

QString AppPaths::packageMarkerName()
{
    return QStringLiteral("installed-by-package");
}

void AppPaths::setProgramDir(const QString &dir)
{
    overrideDir() = dir;
}

void AppPaths::setUserDataDir(const QString &dir)
{
    overrideDataDir() = dir;
}
