#pragma once

#include "records.h"

#include <QByteArray>

// What one answer frame (address through last data byte, checksum already removed) says.
struct DecodedAnswer
{
    enum Kind {
        Dropped, // shorter than 6 bytes, or shorter than the record its code carries
        UnknownCode, // a code this program does not understand
        Version, // 0x0100
        Rs485, // 0x0301
        Input, // 0x0500
        Output, // 0x0603
        Uptime, // 0x0700
        Empty, // 0x0000
        Reboot, // 0x0200, status = result
        WriteParam, // 0x0300, 0x0302, 0x0600..0x0602, status = result
        UpdArea, // 0x0A00, status
        UpdPage, // 0x0A01, status
        UpdCheck // 0x0A02, status
    };
    Kind kind = Dropped;
    quint16 code = 0; // answer flag cleared
    quint8 status = 0; // byte 5 for the status answers
    VERSION_INFO_220 version;
    RS485_STAT_220 rs485;
    INPUT_STAT_220 input;
    OUTPUT_STAT_220 output;
    UPTIME_INFO_220 uptime;
};

// Decodes an answer frame. Pure: no state, no signals, callable from any thread.
DecodedAnswer decodeAnswerFrame(const QByteArray &frame);
