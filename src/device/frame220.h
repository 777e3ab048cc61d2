#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// The model-220 frame on the RS-485 line, all fields big-endian:
//   0      address of the reader
//   1      length L = 3 + n: the bytes from offset 2 to the last data byte
//   2      marker 0xDC (requests; not checked in answers)
//   3..4   command code, high byte first (answers set the top bit as the answer flag)
//   5..    n data bytes
//   last   checksum: XOR of every byte before it, address and length included
namespace Frame220 {
constexpr quint8 RequestMarker = 0xDC;
// The length byte and the 8-bit byte index of the checksum limit a frame (without its checksum)
// to 255 bytes: 250 data bytes.
constexpr int MaxDataBytes = 250;

// XOR of all bytes; 0 for none.
quint8 checksum(const QByteArray &bytes);

// The request frame with its checksum; empty when data holds more than MaxDataBytes.
QByteArray build(quint8 address, quint16 code, const QByteArray &data = QByteArray());

// The answer frame inside a received chunk, without its checksum: the first L + 2 bytes (fewer
// when the chunk is shorter). The checksum is always the chunk's last byte, so a chunk holding
// two answers fails. Empty when the check fails or the chunk is too short to hold a length.
QByteArray frameOfChunk(const QByteArray &chunk);

// The address (offset 0) and the command code (offsets 3 and 4, answer flag cleared) of an answer
// frame or chunk; false when it is too short to hold them.
bool answerHeader(const QByteArray &frame, quint8 *address, quint16 *code);

// Bytes as lowercase hexadecimal digits without separators ("0503dc0100db").
QString hex(const QByteArray &bytes);

// A command typed in the console: hexadecimal digits, blanks between them allowed; the first
// four digits are the code, the rest data bytes, two digits to a byte. Anything else is refused
// with what is wrong, and nothing of it is sent.
struct TerminalCommand
{
    enum Problem { None, NotHex, OddDigits, NoCode, TooLong };
    Problem problem = None;
    quint16 code = 0;
    QByteArray data;
    bool isValid() const { return problem == None; }
};
TerminalCommand parseTerminalCommand(const QString &text);
} // namespace Frame220
