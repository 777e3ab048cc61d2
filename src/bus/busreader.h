#pragma once

#include <QList>
#include <QMetaType>
#include <QString>
#include <QtGlobal>

// A reader of the bus as the scan found it and the watch last saw it: one row of the bus table.
// A reader is known by its address and the speed it answered at.
struct BusReader
{
    int address = 0;
    int baud = 0;
    // What its identity answer said, and what the device database makes of it.
    int deviceId = 0;
    QString deviceName; // the database's name for the id; empty when it has none
    QString firmware;
    bool supported = false; // the database knows this firmware of this device
    int answerMs = -1; // the scan's probe: from the request's last byte to the answer's
    int damaged = 0; // answers to the scan's probe whose checksum failed

    // The watch: the last look at the reader and the sum of what went wrong since it started.
    int looks = 0;
    bool hasCounter = false;
    qint32 counter = 0;
    bool hasUptime = false;
    quint32 uptime = 0;
    int lastAnswerMs = -1; // -1: no answer in the last look
    int watchDamaged = 0;
    int watchSilent = 0;

    int watchErrors() const { return watchDamaged + watchSilent; }
    // The watch saw answers go missing or arrive damaged: the reader's line is suspect.
    bool lineSuspect() const { return watchErrors() > 0; }
};
Q_DECLARE_METATYPE(BusReader)
