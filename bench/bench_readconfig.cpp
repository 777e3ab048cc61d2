// A full read of a reader of the current firmware group: the identity and four listed commands,
// five answers. Each answer ends after 20 ms of line silence and the reader takes its reply
// delay, so the floor is 5 x (20 ms + reply delay).
#include "busthread.h"
#include "db_worker.h"
#include "deviceinterface.h"
#include "linkonbus.h"
#include "testsupport.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    TempProgramDir programDir(true);
    DB_Worker db;
    if (!db.checkDb()) {
        std::printf("devices.db not usable\n");
        return 1;
    }
    SimReaderSettings reader;
    reader.firmware = QStringLiteral("1.3.2");
    BusThread bus;
    bus.addReader(reader);
    if (!bus.start()) {
        std::printf("cannot open the simulated bus\n");
        return 1;
    }

    DeviceInterface link;
    QObject::connect(&link, &DeviceInterface::setCurrentFwVer, &link,
                     [&](const QString &fw, const QString &, const QString &id, const QString &) {
                         db.setCurrentFwGroup(db.getFwGroup(fw, id));
                     });
    QObject::connect(&link, &DeviceInterface::getSupportedCommands, &db, &DB_Worker::getCommandList,
                     Qt::DirectConnection);
    int documents = 0;
    int elements = 0;
    QObject::connect(&link, &DeviceInterface::updateGUI, &link, [&](QBuffer *buffer) {
        ++documents;
        elements = LinkOnBus::elementsOf(buffer->data()).size();
    });
    link.setPortName(bus.devicePath());
    link.setBaudRate(19200);
    link.setDeviceAddress(QStringLiteral("1"));

    const int rounds = 20;
    QList<double> times;
    for (int i = 0; i < rounds; ++i) {
        if (!link.togglePort()) {
            std::printf("cannot open the port\n");
            return 1;
        }
        QElapsedTimer clock;
        clock.start();
        link.readConfiguration_220();
        if (!LinkOnBus::waitFor([&] { return documents == i + 1; }, 10000) || elements != 5) {
            std::printf("read %d did not complete (%d elements)\n", i, elements);
            return 1;
        }
        times << clock.nsecsElapsed() / 1e6;
        link.togglePort();
    }
    std::sort(times.begin(), times.end());
    const double measured = times.at(times.size() / 2);
    const double floor = 5.0 * (DeviceInterface::GatherFirstMs + reader.replyDelayMs);
    std::printf("full read of a current-group reader (median of %d): %.1f ms measured / %.1f ms "
                "floor (%.1f %% above; 5 answers x (20 ms silence + %d ms reply))\n",
                rounds, measured, floor, 100.0 * (measured - floor) / floor, reader.replyDelayMs);
    return 0;
}
