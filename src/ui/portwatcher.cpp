#include "portwatcher.h"

#include <QDebug>
#include <QSocketNotifier>

#ifdef Q_OS_LINUX
#include <libudev.h>
#endif

PortWatcher::PortWatcher(QObject *parent)
    : QObject(parent)
{
#ifdef Q_OS_LINUX
    m_udev = udev_new();
    if (!m_udev) {
        qDebug() << "Port watcher: udev not available";
        return;
    }
    m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
    if (!m_monitor || udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "tty", nullptr) < 0
        || udev_monitor_enable_receiving(m_monitor) < 0) {
        qDebug() << "Port watcher: udev monitor not available";
        return;
    }
    m_notifier = new QSocketNotifier(udev_monitor_get_fd(m_monitor), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &PortWatcher::readEvents);
#endif
}

PortWatcher::~PortWatcher()
{
#ifdef Q_OS_LINUX
    delete m_notifier;
    if (m_monitor)
        udev_monitor_unref(m_monitor);
    if (m_udev)
        udev_unref(m_udev);
#endif
}

void PortWatcher::readEvents()
{
#ifdef Q_OS_LINUX
    // Each readable notification carries one device event; take every one that is waiting.
    while (udev_device *device = udev_monitor_receive_device(m_monitor)) {
        const QString action = QString::fromLatin1(udev_device_get_action(device));
        const QString node = QString::fromLocal8Bit(udev_device_get_devnode(device));
        udev_device_unref(device);
        if (action == QLatin1String("add") || action == QLatin1String("remove")) {
            qDebug().noquote() << "Port device" << action << node;
            emit portsChanged();
        }
    }
#endif
}
