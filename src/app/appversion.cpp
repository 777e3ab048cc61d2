#include "appversion.h"

#include <QCoreApplication>

QString AppVersion::text()
{
    const QString declared = QCoreApplication::applicationVersion();
    return declared.isEmpty() ? QStringLiteral(ZEMO_VERSION) : declared;
}

QString AppVersion::sourceDate()
{
    return QStringLiteral(ZEMO_SOURCE_DATE);
}
