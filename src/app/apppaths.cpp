#include "apppaths.h"

#include <QCoreApplication>

namespace {
QString &overrideDir()
{
    static QString dir;
    return dir;
}
} // namespace

QString AppPaths::programDir()
{
    if (!overrideDir().isEmpty())
        return overrideDir();
    return QCoreApplication::applicationDirPath();
}

QString AppPaths::filePath(const QString &relative)
{
    return programDir() + QLatin1Char('/') + relative;
}

void AppPaths::setProgramDir(const QString &dir)
{
    overrideDir() = dir;
}
