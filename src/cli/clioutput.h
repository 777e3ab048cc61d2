#pragma once

#include "commissioning.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QMap>
#include <QString>

// What zemo-cli prints: one line per result, as text or (--json) as one compact JSON object, and
// the lines of the device link's console that it reads the answers from.
class CliOutput
{
    Q_DECLARE_TR_FUNCTIONS(CliOutput)
public:
    // A reader as its identity answer names it.
    struct Identity
    {
        int address = 0;
        int device = 0;
        QString firmware;
    };

    // "5 220 1.3.2", or {"address":5,"device":220,"firmware":"1.3.2"}.
    static QString readerLine(const Identity &reader, bool json);
    static QString portLine(const QString &port, bool json);
    // {"address":5,"rebooted":true}: what a script learns of a reboot (the text form says
    // nothing).
    static QString rebootedJson(int address);
    // The settings of a reader: "address=5 speed=19200 gen=0 genmode=0 pullup=0", or one JSON
    // object with them as numbers, the identity beside them, and the counter and uptime when
    // the reader reported them (below 0: not reported).
    static QString settingsLine(const QMap<QString, int> &values, const Identity &reader,
                                qint64 counter, qint64 uptime, bool json);
    // The answer to a console command: its bytes in hexadecimal, blank-separated; as JSON the
    // request frame beside it.
    static QString answerLine(const QByteArray &request, const QByteArray &answer, bool json);
    // One reader of a commissioning run as it is done: "1 11 220 1.3.2 verified" (address before
    // and after, device, firmware, verdict, then the differences or the reason), or one JSON
    // object with every field of the report's row.
    static QString commissionLine(const CommissionRecord &record, bool json);
    // {"error":"...","code":N}, or the message itself.
    static QString errorLine(const QString &message, int code, bool json);
    // A progress line for a terminal: what, value/maximum and the percentage.
    static QString progressLine(const QString &what, int value, int maximum);

    // A line the link prints to its console: "> " and a request frame in hexadecimal (or the
    // "S485 " line that carries it through the server), or "< " and a received answer, in the
    // console's HTML (colour tags, &lt;, &gt;, &nbsp;).
    struct ConsoleLine
    {
        enum Direction { Other, Sent, Received };
        Direction direction = Other;
        QByteArray bytes; // the frame, checksum included
    };
    static ConsoleLine parseConsoleLine(const QString &html);
};
