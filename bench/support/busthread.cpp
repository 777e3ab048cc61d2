#include "busthread.h"

BusThread::BusThread()
    : m_bus(new SimBus)
{ }

BusThread::~BusThread()
{
    if (m_thread.isRunning()) {
        QMetaObject::invokeMethod(m_bus, &SimBus::close, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    delete m_bus;
}

bool BusThread::start()
{
    if (!m_bus->open())
        return false;
    m_bus->moveToThread(&m_thread);
    m_thread.start();
    return true;
}
