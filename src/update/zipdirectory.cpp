#include "zipdirectory.h"

#include <QtEndian>

#include <zlib.h>

#include <limits>

namespace {
constexpr int kEndRecordSize = 22;
constexpr int kDirectoryEntrySize = 46;
constexpr int kLocalHeaderSize = 30;
constexpr int kMaxCommentSearch = 65535;
constexpr int kMadeOnUnix = 3;

// The owner's bits of a Unix mode count for the program's user as well.
QFileDevice::Permissions permissionsOfMode(quint32 mode)
{
    QFileDevice::Permissions permissions;
    if (mode & 0400)
        permissions |= QFileDevice::ReadOwner | QFileDevice::ReadUser;
    if (mode & 0200)
        permissions |= QFileDevice::WriteOwner | QFileDevice::WriteUser;
    if (mode & 0100)
        permissions |= QFileDevice::ExeOwner | QFileDevice::ExeUser;
    if (mode & 0040)
        permissions |= QFileDevice::ReadGroup;
    if (mode & 0020)
        permissions |= QFileDevice::WriteGroup;
    if (mode & 0010)
        permissions |= QFileDevice::ExeGroup;
    if (mode & 0004)
        permissions |= QFileDevice::ReadOther;
    if (mode & 0002)
        permissions |= QFileDevice::WriteOther;
    if (mode & 0001)
        permissions |= QFileDevice::ExeOther;
    return permissions;
}

quint16 u16(const QByteArray &bytes, qint64 at)
{
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}

quint32 u32(const QByteArray &bytes, qint64 at)
{
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}
} // namespace

QList<ZipDirectory::Entry> ZipDirectory::read(const QByteArray &archive, bool *whole)
{
    QList<Entry> entries;
    if (whole)
        *whole = false;
    const qint64 size = archive.size();
    qint64 end = -1;
    for (int back = 0; back <= kMaxCommentSearch; ++back) {
        const qint64 at = size - kEndRecordSize - back;
        if (at < 0)
            break;
        if (u32(archive, at) == 0x06054b50) {
            end = at;
            break;
        }
    }
    if (end < 0)
        return entries;

    const int count = u16(archive, end + 10);
    qint64 at = u32(archive, end + 16);
    for (int i = 0; i < count; ++i) {
        if (at + kDirectoryEntrySize > size || u32(archive, at) != 0x02014b50)
            return entries;
        const int nameLength = u16(archive, at + 28);
        const qint64 variable = qint64(nameLength) + u16(archive, at + 30) + u16(archive, at + 32);
        if (at + kDirectoryEntrySize + variable > size)
            return entries;
        Entry entry;
        const QByteArray name = archive.mid(int(at + kDirectoryEntrySize), nameLength);
        entry.name = (u16(archive, at + 8) & 0x0800) ? QString::fromUtf8(name)
                                                     : QString::fromLocal8Bit(name);
        const int madeOn = quint8(archive.at(int(at + 5)));
        const quint32 attributes = u32(archive, at + 38);
        const quint32 mode = attributes >> 16;
        if (madeOn == kMadeOnUnix && mode != 0) {
            switch (mode & 0170000) {
            case 0040000:
                entry.kind = Entry::Dir;
                break;
            case 0120000:
                entry.kind = Entry::SymLink;
                break;
            case 0100000:
                entry.kind = Entry::File;
                break;
            default: // devices, pipes, sockets
                entry.kind = Entry::Other;
                break;
            }
            entry.permissions = permissionsOfMode(mode);
        } else {
            entry.kind = (attributes & 0x10) || entry.name.endsWith(QLatin1Char('/')) ? Entry::Dir
                                                                                      : Entry::File;
        }
        entry.crc = u32(archive, at + 16);
        entry.compressedSize = u32(archive, at + 20);
        entry.size = u32(archive, at + 24);
        const qint64 local = u32(archive, at + 42);
        if (local + kLocalHeaderSize <= size) {
            entry.method = u16(archive, local + 8);
            const qint64 start = local + kLocalHeaderSize + u16(archive, local + 26)
                                 + u16(archive, local + 28);
            if (start + entry.compressedSize <= size)
                entry.dataOffset = start;
        }
        entries.append(entry);
        at += kDirectoryEntrySize + variable;
    }
    if (whole)
        *whole = true;
    return entries;
}

QByteArray ZipDirectory::data(const QByteArray &archive, const Entry &entry, QString *error)
{
    if (entry.size < 0 || entry.size >= std::numeric_limits<int>::max()) {
        *error = QStringLiteral("it claims %1 bytes").arg(entry.size);
        return QByteArray();
    }
    if (entry.dataOffset < 0) {
        *error = QStringLiteral("its data lies outside the archive");
        return QByteArray();
    }
    const QByteArray raw = QByteArray::fromRawData(archive.constData() + entry.dataOffset,
                                                   int(entry.compressedSize));
    QByteArray bytes;
    if (entry.method == 0) {
        bytes = QByteArray(raw.constData(), raw.size());
    } else if (entry.method == 8) {
        // Raw deflate into a buffer of the claimed size, one byte more to notice a longer
        // stream.
        bytes = QByteArray(int(entry.size) + 1, Qt::Uninitialized);
        z_stream stream {};
        if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) {
            *error = QStringLiteral("the inflater cannot start");
            return QByteArray();
        }
        stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(raw.constData()));
        stream.avail_in = uInt(raw.size());
        stream.next_out = reinterpret_cast<Bytef *>(bytes.data());
        stream.avail_out = uInt(bytes.size());
        const int result = inflate(&stream, Z_FINISH);
        const qint64 produced = qint64(stream.total_out);
        inflateEnd(&stream);
        if (result != Z_STREAM_END && produced <= entry.size) {
            *error = QStringLiteral("its compressed data is damaged or cut short");
            return QByteArray();
        }
        bytes.truncate(int(produced));
    } else {
        *error = QStringLiteral("compression method %1 is unknown").arg(entry.method);
        return QByteArray();
    }

    if (bytes.size() != entry.size) {
        *error = bytes.size() > entry.size
                         ? QStringLiteral("it gives more than the %1 bytes claimed").arg(entry.size)
                         : QStringLiteral("it gives %1 of %2 bytes")
                                   .arg(bytes.size())
                                   .arg(entry.size);
        return QByteArray();
    }
    const quint32 sum = quint32(
            crc32(0, reinterpret_cast<const Bytef *>(bytes.constData()), uInt(bytes.size())));
    if (sum != entry.crc) {
        *error = QStringLiteral("its sum is %1, the directory says %2")
                         .arg(sum, 8, 16, QLatin1Char('0'))
                         .arg(entry.crc, 8, 16, QLatin1Char('0'));
        return QByteArray();
    }
    error->clear();
    return bytes;
}
