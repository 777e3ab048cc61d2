#include "resources.h"

#include <QFile>
#include <QtGlobal>

static void initResourcesOnce()
{
    Q_INIT_RESOURCE(resources);
}

void initZemoResources()
{
    static bool done = false;
    if (!done) {
        initResourcesOnce();
        done = true;
    }
}

QString zemoStyleSheet()
{
    initZemoResources();
    QFile file(QStringLiteral(":/style/zemo.qss"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}
