#pragma once

#include <QObject>

class QSocketNotifier;
struct udev;
struct udev_monitor;

// Tells when a serial port device appears or disappears (a USB-RS485 converter plugged in or
// out). On Linux a udev monitor on the "tty" subsystem; elsewhere it reports nothing (Windows
// has the main window's device-change hook).
class PortWatcher : public QObject
{
    Q_OBJECT
public:
    explicit PortWatcher(QObject *parent = nullptr);
    ~PortWatcher() override;

    // True when the monitor is listening.
    bool isActive() const { return m_notifier != nullptr; }

signals:
    void portsChanged();

private:
    void readEvents();

    udev *m_udev = nullptr;
    udev_monitor *m_monitor = nullptr;
    QSocketNotifier *m_notifier = nullptr;
};
