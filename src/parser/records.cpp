#include "records.h"

#include <QList>

void registerDeviceRecords()
{
    qRegisterMetaType<VERSION_INFO_220>("VERSION_INFO_220");
    qRegisterMetaType<RS485_STAT_220>("RS485_STAT_220");
    qRegisterMetaType<INPUT_STAT_220>("INPUT_STAT_220");
    qRegisterMetaType<UPTIME_INFO_220>("UPTIME_INFO_220");
    qRegisterMetaType<OUTPUT_STAT_220>("OUTPUT_STAT_220");
    qRegisterMetaType<QList<int>>("QList<int>");
}
