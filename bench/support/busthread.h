#pragma once

#include "simbus.h"

#include <QThread>

// A simulated reader bus in a thread of its own, away from the device link's event loop, so
// that the readers answer on time whatever the link's thread is doing (benchmarks).
class BusThread
{
public:
    BusThread();
    ~BusThread();
    // Readers are added before start().
    SimReader *addReader(const SimReaderSettings &settings) { return m_bus->addReader(settings); }
    bool start();
    QString devicePath() const { return m_bus->devicePath(); }
    SimBus *bus() const { return m_bus; }

private:
    SimBus *m_bus;
    QThread m_thread;
};
