// A delivery from the update server: markers, the software offer with its JSON, chunk messages
// with their Base64 data, and the acknowledgement built from them.
#include "updateprotocol.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    const QString text = UpdateProtocol::answerText(bytes);
    UpdateProtocol::isTransferDone(text);
    UpdateProtocol::isFirmwareUpToDate(text);
    UpdateProtocol::isSoftwareUpToDate(text);
    if (UpdateProtocol::isSoftwareOffer(text)) {
        const UpdateProtocol::SoftwareOffer offer = UpdateProtocol::parseSoftwareOffer(text, bytes);
        if (offer.size < 0)
            __builtin_trap();
    }
    if (UpdateProtocol::isChunk(text)) {
        const UpdateProtocol::Chunk chunk = UpdateProtocol::parseChunk(text);
        if (chunk.matches())
            UpdateProtocol::chunkAccepted(chunk);
        else
            UpdateProtocol::chunkRejected();
    }
    const QString clean = UpdateProtocol::withoutCredentials(text);
    if (clean.contains(QLatin1String("qmvbx:qmvbx@")))
        __builtin_trap();
    return 0;
}
