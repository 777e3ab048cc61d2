#include "frame220.h"

#include <cctype>

namespace Frame220 {

quint8 checksum(const QByteArray &bytes)
{
    quint8 sum = 0;
    for (char byte : bytes)
        sum ^= static_cast<quint8>(byte);
    return sum;
}

QByteArray build(quint8 address, quint16 code, const QByteArray &data)
{
    if (data.size() > MaxDataBytes)
        return QByteArray();
    QByteArray frame;
    frame.reserve(data.size() + 6);
    frame.append(char(address));
    frame.append(char(3 + data.size()));
    frame.append(char(RequestMarker));
    frame.append(char(code >> 8));
    frame.append(char(code & 0xFF));
    frame.append(data);
    frame.append(char(checksum(frame)));
    return frame;
}

QByteArray frameOfChunk(const QByteArray &chunk)
{
    if (chunk.size() < 2)
        return QByteArray();
    const int length = static_cast<quint8>(chunk.at(1)) + 2;
    const QByteArray frame = chunk.left(length);
    if (checksum(frame) != static_cast<quint8>(chunk.at(chunk.size() - 1)))
        return QByteArray();
    return frame;
}

bool answerHeader(const QByteArray &frame, quint8 *address, quint16 *code)
{
    if (frame.size() < 5)
        return false;
    *address = static_cast<quint8>(frame.at(0));
    *code = quint16((static_cast<quint8>(frame.at(3)) & 0x7F) << 8
                    | static_cast<quint8>(frame.at(4)));
    return true;
}

QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex());
}

TerminalCommand parseTerminalCommand(const QString &text)
{
    TerminalCommand command;
    QByteArray digits;
    for (const QChar c : text) {
        if (c.isSpace())
            continue;
        if (!isxdigit(c.unicode() < 128 ? c.toLatin1() : 'x')) {
            command.problem = TerminalCommand::NotHex;
            return command;
        }
        digits.append(c.toLatin1());
    }
    if (digits.size() < 4)
        command.problem = TerminalCommand::NoCode;
    else if (digits.size() % 2 != 0)
        command.problem = TerminalCommand::OddDigits;
    else if ((digits.size() - 4) / 2 > MaxDataBytes)
        command.problem = TerminalCommand::TooLong;
    if (command.problem != TerminalCommand::None)
        return command;
    command.code = digits.left(4).toUShort(nullptr, 16);
    command.data = QByteArray::fromHex(digits.mid(4));
    return command;
}

} // namespace Frame220
