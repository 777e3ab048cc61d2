#pragma once

#include <QMetaType>
#include <QString>

// Records decoded from the model-220 reader's answers. Plain values, copied into every signal
// that carries them; multi-byte fields arrive big-endian on the line.

// Answer to 0x0100: who answered and with which firmware.
struct VERSION_INFO_220
{
    quint8 address = 0; // address the reader put in its answer (byte 0)
    QString fwVer; // bytes 8, 9, 10 as decimal numbers joined by ".", e.g. "1.2.15"
    quint16 devId = 0; // bytes 6-7, the model number (220)
};

// Answer to 0x0301: the reader's RS-485 settings.
struct RS485_STAT_220
{
    quint8 status = 0; // byte 5
    quint32 speed = 0; // bytes 6-9, baud
    quint8 address = 0; // byte 10
};

// Answer to 0x0500: the input counter.
struct INPUT_STAT_220
{
    quint8 status = 0; // byte 5
    qint32 value = 0; // bytes 6-9, signed
};

// Answer to 0x0700: time since the reader started, as the reader counts it.
struct UPTIME_INFO_220
{
    quint8 status = 0; // byte 5
    quint32 uptime = 0; // bytes 6-9
};

// Answer to 0x0603: the output settings.
struct OUTPUT_STAT_220
{
    quint8 status = 0; // byte 5
    quint8 genState = 0; // byte 6
    quint8 pullUp = 0; // byte 7
    quint8 genMode = 0; // byte 8
};

Q_DECLARE_METATYPE(VERSION_INFO_220)
Q_DECLARE_METATYPE(RS485_STAT_220)
Q_DECLARE_METATYPE(INPUT_STAT_220)
Q_DECLARE_METATYPE(UPTIME_INFO_220)
Q_DECLARE_METATYPE(OUTPUT_STAT_220)

// Registers the records with the meta-type system under their own names, so that queued
// signals can carry them between threads. Safe to call more than once.
void registerDeviceRecords();
