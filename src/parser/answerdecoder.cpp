#include "answerdecoder.h"

#include "commands220.h"

namespace {
quint8 byteAt(const QByteArray &frame, int offset)
{
    return static_cast<quint8>(frame.at(offset));
}

quint32 be32(const QByteArray &frame, int offset)
{
    return (quint32(byteAt(frame, offset)) << 24) | (quint32(byteAt(frame, offset + 1)) << 16)
           | (quint32(byteAt(frame, offset + 2)) << 8) | quint32(byteAt(frame, offset + 3));
}
} // namespace

DecodedAnswer decodeAnswerFrame(const QByteArray &frame)
{
    DecodedAnswer answer;
    if (frame.size() < 6)
        return answer;

    answer.code = quint16((byteAt(frame, 3) & 0x7F) << 8) | byteAt(frame, 4);
    answer.status = byteAt(frame, 5);

    // Records need their last byte: 0x0100 and 0x0301 byte 10, 0x0500 and 0x0700 byte 9,
    // 0x0603 byte 8. A shorter answer is dropped without a record.
    auto needs = [&frame](int lastOffset) {
        return frame.size() > lastOffset;
    };

    switch (answer.code) {
    case Cmd220::DeviceInfo:
        if (!needs(10))
            return answer;
        answer.kind = DecodedAnswer::Version;
        answer.version.address = byteAt(frame, 0);
        answer.version.devId = quint16(byteAt(frame, 6) << 8) | byteAt(frame, 7);
        answer.version.fwVer = QStringLiteral("%1.%2.%3")
                                       .arg(byteAt(frame, 8))
                                       .arg(byteAt(frame, 9))
                                       .arg(byteAt(frame, 10));
        break;
    case Cmd220::ReadRs485:
        if (!needs(10))
            return answer;
        answer.kind = DecodedAnswer::Rs485;
        answer.rs485.status = answer.status;
        answer.rs485.speed = be32(frame, 6);
        answer.rs485.address = byteAt(frame, 10);
        break;
    case Cmd220::ReadCounter:
        if (!needs(9))
            return answer;
        answer.kind = DecodedAnswer::Input;
        answer.input.status = answer.status;
        answer.input.value = static_cast<qint32>(be32(frame, 6));
        break;
    case Cmd220::ReadUptime:
        if (!needs(9))
            return answer;
        answer.kind = DecodedAnswer::Uptime;
        answer.uptime.status = answer.status;
        answer.uptime.uptime = be32(frame, 6);
        break;
    case Cmd220::ReadOutputs:
        if (!needs(8))
            return answer;
        answer.kind = DecodedAnswer::Output;
        answer.output.status = answer.status;
        answer.output.genState = byteAt(frame, 6);
        answer.output.pullUp = byteAt(frame, 7);
        answer.output.genMode = byteAt(frame, 8);
        break;
    case Cmd220::EmptyAnswer:
        answer.kind = DecodedAnswer::Empty;
        break;
    case Cmd220::Reboot:
        answer.kind = DecodedAnswer::Reboot;
        break;
    case Cmd220::WriteSpeed:
    case Cmd220::WriteAddress:
    case Cmd220::WriteGenState:
    case Cmd220::WritePullUp:
    case Cmd220::WriteGenMode:
        answer.kind = DecodedAnswer::WriteParam;
        break;
    case Cmd220::PrepareUpdArea:
        answer.kind = DecodedAnswer::UpdArea;
        break;
    case Cmd220::WriteUpdPage:
        answer.kind = DecodedAnswer::UpdPage;
        break;
    case Cmd220::CheckUpdArea:
        answer.kind = DecodedAnswer::UpdCheck;
        break;
    default:
        answer.kind = DecodedAnswer::UnknownCode;
        break;
    }
    return answer;
}
