#include "firmwareimage.h"

#include <QList>
#include <QtEndian>

#include <openssl/evp.h>

#include <array>
#include <memory>

namespace {

// The AES-128 key that the firmware images for our readers are enciphered with. zemo-fw-pack
// uses the same constant, so images packed here load here.
constexpr std::array<unsigned char, 16> kFirmwareImageKey = {
        0x5A, 0x65, 0x6D, 0x6F, 0x2D, 0x32, 0x30, 0x30,
        0xC3, 0x1E, 0x7B, 0x94, 0x0D, 0xA6, 0x52, 0xF8,
};

const std::array<quint32, 256> &crcTable()
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t {};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i << 24;
            for (int bit = 0; bit < 8; ++bit)
                c = (c & 0x80000000u) ? (c << 1) ^ 0x04C11DB7u : (c << 1);
            t[i] = c;
        }
        return t;
    }();
    return table;
}

QByteArray aes128Ecb(const QByteArray &data, const QByteArray &key, bool encrypt)
{
    if (data.size() % 16 != 0 || key.size() != 16)
        return QByteArray();
    if (data.isEmpty())
        return QByteArray();
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                        EVP_CIPHER_CTX_free);
    if (!ctx)
        return QByteArray();
    const auto *k = reinterpret_cast<const unsigned char *>(key.constData());
    if (EVP_CipherInit_ex(ctx.get(), EVP_aes_128_ecb(), nullptr, k, nullptr, encrypt ? 1 : 0) != 1)
        return QByteArray();
    EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
    QByteArray out(data.size() + 16, Qt::Uninitialized);
    int written = 0;
    int tail = 0;
    auto *o = reinterpret_cast<unsigned char *>(out.data());
    if (EVP_CipherUpdate(ctx.get(), o, &written,
                         reinterpret_cast<const unsigned char *>(data.constData()), data.size())
                != 1
        || EVP_CipherFinal_ex(ctx.get(), o + written, &tail) != 1)
        return QByteArray();
    out.resize(written + tail);
    return out;
}

} // namespace

QByteArray FirmwareImage::key()
{
    return QByteArray(reinterpret_cast<const char *>(kFirmwareImageKey.data()),
                      int(kFirmwareImageKey.size()));
}

quint32 FirmwareImage::checksum(const QByteArray &data)
{
    const auto &table = crcTable();
    quint32 reg = 0;
    auto feed = [&](quint8 byte) {
        reg = (reg << 8) ^ table[((reg >> 24) ^ byte) & 0xFF];
    };
    for (int i = 0; i < 4; ++i)
        feed(0xFF);
    for (char c : data)
        feed(quint8(c));
    return reg;
}

QByteArray FirmwareImage::decipher(const QByteArray &data, const QByteArray &key)
{
    return aes128Ecb(data, key, false);
}

QByteArray FirmwareImage::encipher(const QByteArray &data, const QByteArray &key)
{
    return aes128Ecb(data, key, true);
}

bool FirmwareImage::geometry(const QString &type, int *size, quint32 *base)
{
    if (type == QLatin1String("200")) {
        *size = 0x1E000;
        *base = 0x3800;
        return true;
    }
    if (type == QLatin1String("200v2")) {
        *size = 0x20000;
        *base = 0x40000;
        return true;
    }
    return false;
}

FirmwareImage FirmwareImage::build(const QByteArray &file, const QString &type, Error *error,
                                   QString *reason)
{
    auto fail = [&](Error e, const QString &why) {
        if (error)
            *error = e;
        if (reason)
            *reason = why;
        return FirmwareImage();
    };

    if (file.size() < kHeaderSize + 4)
        return fail(ChecksumError, QStringLiteral("file of %1 bytes is too short").arg(file.size()));
    const int body = file.size() - 4;
    const quint32 stored = qFromLittleEndian<quint32>(file.constData() + body);
    const quint32 computed = checksum(file.left(body));
    if (stored != computed)
        return fail(ChecksumError, QStringLiteral("checksum %1, file says %2")
                                           .arg(computed, 8, 16, QLatin1Char('0'))
                                           .arg(stored, 8, 16, QLatin1Char('0')));

    int size = 0;
    quint32 base = 0;
    if (!geometry(type, &size, &base))
        return fail(UnknownType, QStringLiteral("no image layout for type \"%1\"").arg(type));

    QByteArray image(size, char(0xFF));
    int pos = kHeaderSize;
    // Fewer than 16 bytes left cannot hold a section with data; they are ignored.
    while (body - pos >= 16) {
        const quint32 address = qFromLittleEndian<quint32>(file.constData() + pos);
        const quint32 length = qFromLittleEndian<quint32>(file.constData() + pos + 4);
        pos += 8;
        // 64-bit arithmetic: a hostile length or address must not wrap around.
        const qint64 offset = qint64(address) - qint64(base);
        if (offset < 0)
            return fail(BadSection, QStringLiteral("section at 0x%1 lies below the base 0x%2")
                                            .arg(address, 0, 16)
                                            .arg(base, 0, 16));
        if (length % 16 != 0)
            return fail(BadSection, QStringLiteral("section at 0x%1 has %2 bytes, not whole "
                                                   "16-byte blocks")
                                            .arg(address, 0, 16)
                                            .arg(length));
        if (qint64(length) > qint64(body - pos))
            return fail(BadSection, QStringLiteral("section at 0x%1 of %2 bytes runs past the "
                                                   "file")
                                            .arg(address, 0, 16)
                                            .arg(length));
        if (offset + qint64(length) > size)
            return fail(BadSection, QStringLiteral("section at 0x%1 of %2 bytes runs past the "
                                                   "image end")
                                            .arg(address, 0, 16)
                                            .arg(length));
        if (length > 0) {
            const QByteArray plain = decipher(file.mid(pos, int(length)));
            if (plain.size() != int(length))
                return fail(BadSection, QStringLiteral("section at 0x%1 cannot be deciphered")
                                                .arg(address, 0, 16));
            image.replace(int(offset), int(length), plain);
        }
        pos += int(length);
    }

    if (error)
        *error = NoError;
    return FirmwareImage(image);
}

QByteArray FirmwareImage::pack(const QByteArray &header, const QList<Section> &sections,
                               const QByteArray &key)
{
    QByteArray file = header.left(kHeaderSize);
    file.append(QByteArray(kHeaderSize - file.size(), '\0'));
    for (const Section &section : sections) {
        QByteArray data = section.data;
        if (data.size() % 16 != 0)
            data.append(QByteArray(16 - data.size() % 16, char(0xFF)));
        char numbers[8];
        qToLittleEndian<quint32>(section.address, numbers);
        qToLittleEndian<quint32>(quint32(data.size()), numbers + 4);
        file.append(numbers, 8);
        file.append(encipher(data, key));
    }
    char sum[4];
    qToLittleEndian<quint32>(checksum(file), sum);
    file.append(sum, 4);
    return file;
}

bool FirmwareImage::isErased(int page) const
{
    if (page < 0 || page >= pageCount())
        return false;
    const char *p = m_bytes.constData() + page * kPageSize;
    for (int i = 0; i < kPageSize; ++i)
        if (quint8(p[i]) != 0xFF)
            return false;
    return true;
}

int FirmwareImage::nextUsedPage(int from) const
{
    int page = qMax(0, from);
    while (page < pageCount() && isErased(page))
        ++page;
    return page;
}

QByteArray FirmwareImage::pagePayload(int page) const
{
    QByteArray payload;
    payload.reserve(kPayloadSize);
    payload.append(char((page >> 8) & 0xFF));
    payload.append(char(page & 0xFF));
    payload.append(m_bytes.mid(page * kPageSize, kPageSize));
    return payload;
}
