#include "deviceinterface.h"

#include <QDebug>

void DeviceInterface::startPoll() { }
void DeviceInterface::reboot_220() { }
void DeviceInterface::rebootAnswer(quint8) { }
void DeviceInterface::factoryDefaultAnswer() { }
void DeviceInterface::setDateTimeAnswer(qint32, qint16) { }
