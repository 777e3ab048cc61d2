#include "deviceinterface.h"

#include <QDebug>

void DeviceInterface::findDevices_220() { }
void DeviceInterface::findExchangeStop() { }
void DeviceInterface::findExchangeEnd() { }
