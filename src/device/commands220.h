#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Command codes of the model-220 reader. An answer carries the code of its request with the
// top bit of the high byte set as the answer flag.
namespace Cmd220 {
constexpr quint16 EmptyAnswer = 0x0000; // answer only: the reader has nothing to return
constexpr quint16 DeviceInfo = 0x0100; // identity; also the discovery probe
constexpr quint16 Reboot = 0x0200; // answer: result byte, 0 = accepted
constexpr quint16 WriteSpeed = 0x0300; // data: speed in baud, 4 bytes
constexpr quint16 ReadRs485 = 0x0301; // address and speed
constexpr quint16 WriteAddress = 0x0302; // data: the new address
constexpr quint16 ReadCounter = 0x0500; // input counter
constexpr quint16 WriteGenState = 0x0600; // data: generation state
constexpr quint16 WritePullUp = 0x0601; // data: pull-up state
constexpr quint16 WriteGenMode = 0x0602; // data: generation mode
constexpr quint16 ReadOutputs = 0x0603; // generation state, pull-up, generation mode
constexpr quint16 ReadUptime = 0x0700; // time since start

// Firmware upload exchange. Each answer carries the reader's status byte after the code.
constexpr quint16 PrepareUpdArea = 0x0A00; // no data: erase and prepare the update area
constexpr quint16 WriteUpdPage = 0x0A01; // data: page index (2 bytes) and 128 page bytes
constexpr quint16 CheckUpdArea = 0x0A02; // no data: check the received image

constexpr quint16 AnswerFlag = 0x8000;
} // namespace Cmd220

// One element of a configuration document to be written, turned into its command.
struct WriteStep220
{
    enum Kind {
        Send, // send code with data
        Refused, // a read-only item: skipped
        Unknown // no command for this element: skipped
    };
    Kind kind = Unknown;
    quint16 code = 0;
    QByteArray data;
};

// The command and data bytes for an element of the write document with its "param" text:
// the speed as a signed 32-bit decimal number in 4 bytes, most significant first (text that is
// no number gives 0); address, generation state, pull-up and generation mode as hexadecimal
// digits, two to a byte (an odd leading digit is a byte of its own, other characters skipped).
WriteStep220 writeStepFor(const QString &element, const QString &param);
