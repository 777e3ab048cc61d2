// Wake-ups of the parser thread while the device link is idle. The thread blocks on its queue,
// so the goal is none at all; polling the queue every millisecond costs about 1000 a second.
#include "deviceinterface.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QThread>

#include <cstdio>

namespace {
// Context switches of the thread named name, from /proc: each one is the thread going to sleep
// (voluntary) or being preempted; a thread that never wakes has none.
qint64 contextSwitches(const QString &name)
{
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(tid + QStringLiteral("/comm")));
        if (!comm.open(QIODevice::ReadOnly) || comm.readAll().trimmed() != name.toUtf8())
            continue;
        QFile status(tasks.filePath(tid + QStringLiteral("/status")));
        if (!status.open(QIODevice::ReadOnly))
            return -1;
        qint64 total = 0;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.contains("ctxt_switches:"))
                total += line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
        }
        return total;
    }
    return -1;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    DeviceInterface link;
    QThread::msleep(200); // let the parser thread reach its wait
    const QString name = QStringLiteral("PackParser");
    const qint64 before = contextSwitches(name);
    if (before < 0) {
        std::printf("parser thread not found\n");
        return 1;
    }
    const int seconds = 3;
    QThread::sleep(seconds);
    const qint64 after = contextSwitches(name);
    std::printf("parser thread wake-ups while idle: %.1f per second measured / 0 floor "
                "(%lld in %d s; 1 ms polling: about 1000 per second)\n",
                double(after - before) / seconds, after - before, seconds);
    return 0;
}
