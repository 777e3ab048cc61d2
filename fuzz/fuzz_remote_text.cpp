// Text from the configuration server: deliveries of any size and content are collected into
// lines, each line is matched against the server texts and decoded as an answer line.
#include "remoteprotocol.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace RemoteProtocol;
    if (size == 0)
        return 0;
    // The first byte cuts the rest into deliveries, as TCP may.
    const int piece = 1 + data[0] % 64;
    const QByteArray stream(reinterpret_cast<const char *>(data + 1), int(size - 1));
    LineCollector collector;
    for (int at = 0; at < stream.size(); at += piece) {
        const LineCollector::Result result = collector.append(stream.mid(at, piece));
        if (collector.pendingSize() > LineCollector::kMaxPending)
            __builtin_trap();
        for (const QString &line : result.lines) {
            if (line.contains(QLatin1Char('\r')) || line.contains(QLatin1Char('\n')))
                __builtin_trap();
            serverTexts(line);
            const AnswerLine answer = decodeAnswerLine(line);
            if (answer.kind == AnswerLine::Frame && answer.frame.size() < 2)
                __builtin_trap();
        }
    }
    // Whole input as one line too.
    decodeAnswerLine(QString::fromUtf8(stream));
    serverTexts(QString::fromUtf8(stream));
    return 0;
}
