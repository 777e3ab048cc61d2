#include "deviceinterface.h"

#include <QDebug>

void DeviceInterface::sendTerminalCmd(QString) { }
void DeviceInterface::activateDebugMode(QString) { }
void DeviceInterface::startWriteBinLogFile(QString) { }
void DeviceInterface::stopWriteBinLogFile() { }
void DeviceInterface::appendToCommandLog(const QString &) { }
