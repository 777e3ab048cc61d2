#include "zipwriter.h"

#include <QtEndian>

#include <zlib.h>

namespace {
// 1980-01-01 00:00 in the DOS format: date (year - 1980) << 9 | month << 5 | day, time 0.
constexpr quint16 kDosDate = (1 << 5) | 1;
constexpr quint16 kDosTime = 0;
constexpr quint16 kVersionNeeded = 20;
constexpr quint16 kMadeOnUnix = (3 << 8) | 20;
constexpr quint16 kUtf8Names = 0x0800;

void put16(QByteArray &out, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void put32(QByteArray &out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

quint32 unixMode(QFileDevice::Permissions permissions)
{
    quint32 mode = 0100000; // a regular file
    const QFileDevice::Permission bits[9] = {QFileDevice::ReadOwner,  QFileDevice::WriteOwner,
                                             QFileDevice::ExeOwner,   QFileDevice::ReadGroup,
                                             QFileDevice::WriteGroup, QFileDevice::ExeGroup,
                                             QFileDevice::ReadOther,  QFileDevice::WriteOther,
                                             QFileDevice::ExeOther};
    for (int i = 0; i < 9; ++i) {
        if (permissions & bits[i])
            mode |= 0400u >> i;
    }
    return mode;
}

// Raw deflate at the best compression; empty when zlib fails.
QByteArray deflated(const QByteArray &data)
{
    z_stream stream {};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY)
        != Z_OK)
        return QByteArray();
    QByteArray out(int(deflateBound(&stream, uLong(data.size()))), Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.truncate(int(stream.total_out));
    deflateEnd(&stream);
    return result == Z_STREAM_END ? out : QByteArray();
}
} // namespace

QByteArray ZipWriter::write(const QList<File> &files)
{
    QByteArray archive;
    QByteArray directory;
    for (const File &file : files) {
        const QByteArray name = file.name.toUtf8();
        const quint32 sum = quint32(crc32(0, reinterpret_cast<const Bytef *>(file.data.constData()),
                                          uInt(file.data.size())));
        QByteArray packed = deflated(file.data);
        quint16 method = 8;
        if (packed.isEmpty() || packed.size() >= file.data.size()) {
            packed = file.data;
            method = 0;
        }
        const quint32 offset = quint32(archive.size());

        put32(archive, 0x04034b50);
        put16(archive, kVersionNeeded);
        put16(archive, kUtf8Names);
        put16(archive, method);
        put16(archive, kDosTime);
        put16(archive, kDosDate);
        put32(archive, sum);
        put32(archive, quint32(packed.size()));
        put32(archive, quint32(file.data.size()));
        put16(archive, quint16(name.size()));
        put16(archive, 0);
        archive += name;
        archive += packed;

        put32(directory, 0x02014b50);
        put16(directory, kMadeOnUnix);
        put16(directory, kVersionNeeded);
        put16(directory, kUtf8Names);
        put16(directory, method);
        put16(directory, kDosTime);
        put16(directory, kDosDate);
        put32(directory, sum);
        put32(directory, quint32(packed.size()));
        put32(directory, quint32(file.data.size()));
        put16(directory, quint16(name.size()));
        put16(directory, 0); // extra field
        put16(directory, 0); // comment
        put16(directory, 0); // disk
        put16(directory, 0); // internal attributes
        put32(directory, unixMode(file.permissions) << 16);
        put32(directory, offset);
        directory += name;
    }
    const quint32 directoryOffset = quint32(archive.size());
    archive += directory;
    put32(archive, 0x06054b50);
    put16(archive, 0);
    put16(archive, 0);
    put16(archive, quint16(files.size()));
    put16(archive, quint16(files.size()));
    put32(archive, quint32(directory.size()));
    put32(archive, directoryOffset);
    put16(archive, 0);
    return archive;
}
