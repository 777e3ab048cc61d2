#pragma once

#include <QByteArray>
#include <QString>

// The first 15 bytes of every firmware image file:
//   0  2  magic 0xAA55, little-endian (55 AA)
//   2  8  "VERSION" and a zero byte
//  10  2  device type id, little-endian: low byte the type number, high byte the variant
//         (712 = type 200, variant 2)
//  12  3  major, minor and build version
// Byte 15 belongs to the 16-byte header block but carries nothing the configurator reads.
class FirmwareHeader
{
public:
    static constexpr int kSize = 15;

    // Fills the header from the start of an image; false (header left invalid) when the bytes
    // are too short or lack the magic or the "VERSION" tag.
    static FirmwareHeader parse(const QByteArray &image);

    bool isValid() const { return m_valid; }
    quint16 typeId() const { return m_typeId; }
    quint8 typeNumber() const { return quint8(m_typeId & 0xFF); }
    quint8 variant() const { return quint8(m_typeId >> 8); }
    // "a.b.c" in decimal without leading zeros; empty when invalid.
    QString version() const;

    // The file-name prefix of a device type id ("Zemo200v2_v" for 712), empty for unknown ids.
    static QString prefixFor(quint16 typeId);
    // The name an image is stored under in the firmware folder: prefix + version +
    // "_update.bin", or just "_update.bin" for an image without a valid header.
    static QString storageName(const QByteArray &image);

private:
    bool m_valid = false;
    quint16 m_typeId = 0;
    quint8 m_major = 0, m_minor = 0, m_build = 0;
};
