#pragma once

#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

// The values of a commissioning run: what the engineer asks for, and what happened to each
// reader. Plain values, shared by the run, its report and both faces (the window's bus page and
// "zemo-cli commission").

// A reader of the bus as the engineer picked it in the bus table: it keeps its address, and its
// speed unless the template sets one.
struct CommissionTarget
{
    int address = 0;
    int baud = 0;
};

struct CommissionOptions
{
    enum Mode { Selected, Assign };

    // The template: a configuration document (a file, or the form as it stands), as the
    // configuration file format has it (root "configuration", one element per setting with its
    // value in "param"; the address as hexadecimal digits).
    QByteArray templateXml;
    QString templateName; // the file's name, or "form"
    Mode mode = Selected;
    // Selected: the readers picked, in the order they are served.
    QList<CommissionTarget> targets;
    // Assign: readers arrive one at a time at the factory address and speed; each gets the
    // template and the next address of the range.
    int factoryAddress = 1;
    int factoryBaud = 19200;
    int firstAddress = 0;
    int lastAddress = 0;
    // A firmware image file: uploaded into a reader whose firmware is older, when its model
    // takes one (empty: none).
    QString firmwarePath;
    QString note; // the engineer's note for the report's header
};

// What happened to one reader.
struct CommissionRecord
{
    enum Verdict {
        Verified, // every setting read back as the template has it
        Differs, // read back, but some settings are not the template's (differences)
        Failed, // stopped by the reader (reason: silent, refused value, unsupported firmware...)
        Incomplete, // the run was stopped while this reader was served (written: what it was sent)
        Untouched, // the run ended before this reader was served
    };

    QDateTime time; // when it was served
    int addressBefore = 0;
    int addressAfter = 0;
    int baudBefore = 0;
    int baudAfter = 0;
    QString device; // the reader's device id, e.g. "220"
    QString firmwareBefore;
    QString firmwareAfter;
    // The settings the reader took, "element=value" with the element names of the template and
    // every value in decimal (the address too: "rs485_addr_220=11").
    QStringList written;
    Verdict verdict = Untouched;
    QStringList differences; // "element: template value, read back value", both in decimal
    // What stopped a failed or incomplete reader, for a face that acts on it (the command line's
    // exit code); reason says it in words.
    enum Cause {
        NoCause,
        Silent, // no answer after the resends
        Refused, // the reader refused a value, the reboot or the firmware image
        Unsupported, // its firmware is not in devices.db
        TemplateMisfit, // a template value its firmware's lists do not offer: nothing was sent
        FirmwareFile, // the firmware image could not be used for this reader
        ConnectionLost, // the converter did not come back, or the port was closed
        Stopped, // the run was ended while the reader was served
    };
    Cause cause = NoCause;
    QString reason; // why it failed or is incomplete
    // The line while this reader was served.
    int answers = 0;
    int resends = 0;
    int checksumErrors = 0;
    int medianAnswerMs = -1;
};
Q_DECLARE_METATYPE(CommissionRecord)

// The report's header.
struct CommissionHeader
{
    QDateTime started;
    QDateTime ended;
    QString templateName;
    QString programVersion;
    QString note;
    QString mode; // "selected" or "assign 11-40 from 1"
    QString firmware; // the firmware image offered, its file name and version (empty: none)
    // Assign mode: addresses of the range a reader already answered at, passed over.
    QList<int> occupied;
};
