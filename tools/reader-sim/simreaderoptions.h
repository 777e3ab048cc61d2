#pragma once

#include "simreader.h"

#include <QString>

// The command-line description of a reader, "key=value" items separated by commas, read over
// the values already in settings (normally the defaults):
//   address=1..254  id=0..65535  fw=a.b.c  speed=2400..115200 (a reader speed)
//   gen=N  pullup=N  mode=N  (0..255)  counter=N (signed 32-bit)  rate=N (counter rise per
//   second)  uptime=N (seconds)
// fault switches:
//   silent=N  badcrc[=0|1|N]  split=PIECES[:GAPMS]  delay=MS  reject=RESULT  rebootsilence=MS
//   answeras=ADDRESS
// On an error settings may be partly changed and error says which item is wrong.
bool parseReaderOptions(const QString &text, SimReaderSettings *settings, QString *error);

// One line for the program's start-up listing: "address 1: id 220, firmware 1.3.2, 19200 baud"
// followed by the fault switches that are on.
QString describeReader(const SimReaderSettings &settings);
