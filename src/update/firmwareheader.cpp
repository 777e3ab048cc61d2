#include "firmwareheader.h"

FirmwareHeader FirmwareHeader::parse(const QByteArray &image)
{
    FirmwareHeader header;
    if (image.size() < kSize)
        return header;
    if (quint8(image[0]) != 0x55 || quint8(image[1]) != 0xAA)
        return header;
    if (image.mid(2, 8) != QByteArray("VERSION\0", 8))
        return header;
    header.m_valid = true;
    header.m_typeId = quint16(quint8(image[10]) | (quint8(image[11]) << 8));
    header.m_major = quint8(image[12]);
    header.m_minor = quint8(image[13]);
    header.m_build = quint8(image[14]);
    return header;
}

QString FirmwareHeader::version() const
{
    if (!m_valid)
        return QString();
    return QStringLiteral("%1.%2.%3").arg(m_major).arg(m_minor).arg(m_build);
}

QString FirmwareHeader::prefixFor(quint16 typeId)
{
    switch (typeId) {
    case 1:
        return QStringLiteral("Zemo300_v");
    case 2:
        return QStringLiteral("Zemo301_v");
    case 10:
        return QStringLiteral("Zemo310_v");
    case 100:
        return QStringLiteral("Zemo100_v");
    case 200:
        return QStringLiteral("Zemo200_v");
    case 450:
        return QStringLiteral("Zemo450_v");
    case 460:
        return QStringLiteral("Zemo460_v");
    case 712:
        return QStringLiteral("Zemo200v2_v");
    default:
        return QString();
    }
}

QString FirmwareHeader::storageName(const QByteArray &image)
{
    const FirmwareHeader header = parse(image);
    QString name;
    if (header.isValid())
        name = prefixFor(header.typeId()) + header.version();
    return name + QStringLiteral("_update.bin");
}
