// A scan of the addresses 1 to 254 on an empty bus: each silent address costs the 50 ms probe
// time-out, so the floor is 254 x 50 ms = 12.70 s.
#include "busthread.h"
#include "deviceinterface.h"
#include "linkonbus.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    BusThread bus;
    if (!bus.start()) {
        std::printf("cannot open the simulated bus\n");
        return 1;
    }
    DeviceInterface link;
    link.setPortName(bus.devicePath());
    link.setBaudRate(19200);
    bool done = false;
    QObject::connect(&link, &DeviceInterface::fillFoundAddrs, &link, [&] { done = true; });

    QElapsedTimer clock;
    clock.start();
    link.findDevices_220();
    if (!LinkOnBus::waitFor([&] { return done; }, 60000)) {
        std::printf("the scan did not end\n");
        return 1;
    }
    const double measured = clock.elapsed() / 1000.0;
    const double floor = 254 * DeviceInterface::DiscoveryTimeoutMs / 1000.0;
    std::printf("empty-bus scan of 1..254: %.3f s measured / %.2f s floor (%.2f %% above)\n",
                measured, floor, 100.0 * (measured - floor) / floor);
    return 0;
}
