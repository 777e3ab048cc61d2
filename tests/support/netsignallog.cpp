#include "netsignallog.h"

#include "net.h"

NetSignalLog::NetSignalLog(Net *net)
    : QObject(net)
{
    connect(net, &Net::updaterFinished, this,
            [this](int code) { events << QStringLiteral("finished(%1)").arg(code); });
    connect(net, &Net::fwIsUpToDate, this, [this] { events << QStringLiteral("fwIsUpToDate"); });
    connect(net, &Net::swIsUpToDate, this, [this] { events << QStringLiteral("swIsUpToDate"); });
    connect(net, &Net::fwDownloaded, this, [this] { events << QStringLiteral("fwDownloaded"); });
    connect(net, &Net::swDownloaded, this, [this] { events << QStringLiteral("swDownloaded"); });
    connect(net, &Net::availableSw, this, [this](QString version, qint64 size, QString name) {
        events << QStringLiteral("availableSw(%1,%2,%3)").arg(version).arg(size).arg(name);
    });
    connect(net, &Net::updateProgress, this, [this](int value) { progress << value; });
    connect(net, &Net::setMaxProgress, this, [this](int value) { maxProgress << value; });
}

int NetSignalLog::finishedCount() const
{
    int n = 0;
    for (const QString &event : events)
        if (event.startsWith(QLatin1String("finished(")))
            ++n;
    return n;
}
