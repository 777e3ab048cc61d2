#pragma once

#include <QByteArray>
#include <QString>

// A reader firmware image file and the flat program-area image built from it.
//
// File layout (numbers little-endian):
//   0           16  header (magic, "VERSION", device type id, version; see FirmwareHeader)
//   16          ..  sections: load address (4), length N (4), N bytes enciphered with AES-128
//                   in ECB mode under the firmware image key
//   size - 4    4   checksum over every byte before it
//
// The program area of a model-200 reader ("200": 0x1E000 bytes from 0x3800; "200v2": 0x20000
// bytes from 0x40000) starts erased (0xFF); each section is copied to its load address minus the
// base. The reader takes the area in 128-byte pages, each handed over as the page index (two
// bytes, high first) followed by the page bytes.
class FirmwareImage
{
public:
    enum Error {
        NoError,
        ChecksumError, // stored checksum differs, or the file is too short to carry one
        UnknownType, // no geometry for the type text
        BadSection // a section outside the image, past the file, or not whole blocks
    };

    static constexpr int kPageSize = 128;
    static constexpr int kHeaderSize = 16;
    static constexpr int kPayloadSize = kPageSize + 2;
    // The largest program area is 128 KiB; a file many times that size is no image of ours and
    // is refused before it is read into memory.
    static constexpr qint64 kMaxFileSize = 1024 * 1024;

    // The key the firmware images are enciphered with.
    static QByteArray key();

    // CRC-32, polynomial 0x04C11DB7, most significant bit first, no reflection, no final XOR;
    // the register starts at 0 and is fed FF FF FF FF before the data.
    static quint32 checksum(const QByteArray &data);

    // AES-128-ECB over whole 16-byte blocks; empty on failure (length not a multiple of 16).
    static QByteArray decipher(const QByteArray &data, const QByteArray &key = FirmwareImage::key());
    static QByteArray encipher(const QByteArray &data, const QByteArray &key = FirmwareImage::key());

    // Size and base address of the program area for a type text; false for an unknown type.
    static bool geometry(const QString &type, int *size, quint32 *base);

    // Checks, deciphers and lays out a whole file. A failed build gives a null image; the error
    // and a log-ready reason are returned through the pointers.
    static FirmwareImage build(const QByteArray &file, const QString &type, Error *error = nullptr,
                               QString *reason = nullptr);

    // The inverse, for the packing tool and the tests' own images: header (16 bytes, padded or
    // cut), each section enciphered (its data padded with 0xFF to whole blocks), checksum.
    struct Section
    {
        quint32 address = 0;
        QByteArray data;
    };
    static QByteArray pack(const QByteArray &header, const QList<Section> &sections,
                           const QByteArray &key = FirmwareImage::key());

    FirmwareImage() = default;
    // An image laid out before (the program area's bytes).
    explicit FirmwareImage(const QByteArray &bytes)
        : m_bytes(bytes)
    { }

    bool isNull() const { return m_bytes.isEmpty(); }
    const QByteArray &bytes() const { return m_bytes; }
    int pageCount() const { return m_bytes.size() / kPageSize; }
    bool isErased(int page) const;
    // The first page at or after from that holds anything but 0xFF; pageCount() when none.
    int nextUsedPage(int from) const;
    // Index (two bytes, high first) and the 128 page bytes.
    QByteArray pagePayload(int page) const;

private:
    QByteArray m_bytes;
};
