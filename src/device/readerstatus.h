#pragma once

#include <QMetaType>
#include <QtGlobal>

// One look at a reader of the bus by the watch: its counter and uptime as it gave them, how long
// it took to answer, and what went wrong on the way.
struct ReaderStatus
{
    int address = 0;
    int baud = 0;
    bool hasCounter = false;
    qint32 counter = 0; // signed, as the reader counts
    bool hasUptime = false;
    quint32 uptime = 0;
    int answerMs = -1; // of the last answer taken; -1 when none came
    int damaged = 0; // answers whose checksum failed
    int silent = 0; // requests without an answer

    bool answered() const { return hasCounter || hasUptime; }
};
Q_DECLARE_METATYPE(ReaderStatus)
