#include "deviceinterface.h"

#include <QBuffer>
#include <QDebug>

void DeviceInterface::writeConfiguration(QBuffer *) { }
void DeviceInterface::nextProcessParam() { }
void DeviceInterface::answerWriteParam(quint8) { }
void DeviceInterface::deviceWriteEnd() { }
