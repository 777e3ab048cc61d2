#include "deviceinterface.h"

#include <QBuffer>
#include <QDebug>

void DeviceInterface::readConfiguration_220() { }
void DeviceInterface::handlerVersionInfo_220(VERSION_INFO_220) { }
void DeviceInterface::handlerRS485_Info_220(RS485_STAT_220) { }
void DeviceInterface::handlerInputInfo_220(INPUT_STAT_220) { }
void DeviceInterface::handlerUpTimeInfo_220(UPTIME_INFO_220) { }
void DeviceInterface::handlerOutputInfo_220(OUTPUT_STAT_220) { }
void DeviceInterface::deviceInfo(QString, QString) { }
void DeviceInterface::nextReadCommand() { }
void DeviceInterface::deviceExchangeEnd() { }
void DeviceInterface::addElement(QString, QStringList) { }
void DeviceInterface::getFwVer_220() { }
void DeviceInterface::getCounterVal_220() { }
void DeviceInterface::getUpTime_220() { }
