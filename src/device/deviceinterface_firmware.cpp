#include "deviceinterface.h"

#include <QDebug>

// Firmware upload: loading and checking the image file, laying it out and handing it to the
// reader page by page (commands 0x0A00 to 0x0A02).

void DeviceInterface::loadFirmwareFile(QString version, QString path)
{
    Q_UNUSED(version)
    Q_UNUSED(path)
}

void DeviceInterface::startUpdZemo200(QString type)
{
    Q_UNUSED(type)
}

void DeviceInterface::writeNextPage() { }

void DeviceInterface::makeUpdArea(quint8 status)
{
    Q_UNUSED(status)
    resetAnswerCycle();
}

void DeviceInterface::answWritePage(quint8 status)
{
    Q_UNUSED(status)
    resetAnswerCycle();
}

void DeviceInterface::checkUpdArea(quint8 status)
{
    Q_UNUSED(status)
    resetAnswerCycle();
}
