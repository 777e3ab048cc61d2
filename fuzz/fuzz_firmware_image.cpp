// A firmware image file from the update server or the "firmware" folder: checksum, sections and
// layout for both reader types. Inputs get a valid checksum half of the time so that the section
// walk is reached.
#include "firmwareimage.h"

#include <QtEndian>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    QByteArray file(reinterpret_cast<const char *>(data + 1), int(size - 1));
    if (data[0] & 1) {
        const quint32 sum = FirmwareImage::checksum(file);
        char tail[4];
        qToLittleEndian(sum, tail);
        file.append(tail, 4);
    }
    const QString type = (data[0] & 2) ? QStringLiteral("200v2") : QStringLiteral("200");
    FirmwareImage::Error error = FirmwareImage::NoError;
    const FirmwareImage image = FirmwareImage::build(file, type, &error);
    if (image.isNull() != (error != FirmwareImage::NoError))
        __builtin_trap();
    if (!image.isNull()) {
        int size0 = 0;
        quint32 base = 0;
        FirmwareImage::geometry(type, &size0, &base);
        if (image.bytes().size() != size0)
            __builtin_trap();
        for (int page = image.nextUsedPage(0); page < image.pageCount();
             page = image.nextUsedPage(page + 1)) {
            if (image.pagePayload(page).size() != FirmwareImage::kPayloadSize)
                __builtin_trap();
        }
    }
    return 0;
}
