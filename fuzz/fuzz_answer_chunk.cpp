// Bytes from the serial line: a received chunk is checked (checksum on its last byte) and the
// frame inside it decoded into a record; the same bytes as a typed console command.
#include "answerdecoder.h"
#include "frame220.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray chunk(reinterpret_cast<const char *>(data), int(size));
    const QByteArray frame = Frame220::frameOfChunk(chunk);
    if (!frame.isEmpty()) {
        // A frame is never longer than the chunk it came from, and its checksum is the chunk's
        // last byte.
        if (frame.size() > chunk.size() || Frame220::checksum(frame) != quint8(chunk.back()))
            __builtin_trap();
    }
    const DecodedAnswer answer = decodeAnswerFrame(chunk);
    if (answer.kind != DecodedAnswer::Dropped && chunk.size() < 6)
        __builtin_trap();
    decodeAnswerFrame(frame);

    const Frame220::TerminalCommand command = Frame220::parseTerminalCommand(
            QString::fromLatin1(chunk));
    const QByteArray request = Frame220::build(0x01, command.code, command.data);
    if (command.data.size() <= Frame220::MaxDataBytes) {
        if (request.size() != command.data.size() + 6 || Frame220::checksum(request) != 0)
            __builtin_trap();
    } else if (!request.isEmpty()) {
        __builtin_trap();
    }
    return 0;
}
