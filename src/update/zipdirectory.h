#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The central directory of a zip archive, read as Qt's zip reader reads it: the end record
// searched backwards from the end of the file (at most 64 KiB of comment), then the entries in
// order from the offset it names. Beyond what that reader checks, it finds where each entry's
// data lies and whether it lies inside the archive, and it inflates an entry only up to the
// size the directory claims: the reader trusts both sizes, reads past its buffer when the
// compressed size is too large and grows its buffer without end when that size is negative.
//
// Little-endian layouts: the end record holds the entry count at 10 and the directory's offset
// at 16; a directory entry (46 bytes, then name, extra field and comment) the sum at 16, the
// compressed size at 20, the size at 24, the name, extra and comment lengths at 28, 30, 32 and
// the local header's offset at 42; a local header (30 bytes, then name and extra field) the
// method at 8 and its own name and extra lengths at 26 and 28.
namespace ZipDirectory {
struct Entry
{
    qint64 size = 0; // uncompressed, as the directory claims
    qint64 compressedSize = 0;
    quint32 crc = 0;
    int method = -1; // from the local header, which the reader goes by: 0 stored, 8 deflated
    qint64 dataOffset = -1; // -1 when the local header or the data lies outside the archive
};

// Every entry of the directory in the reader's order (the same count as its file list).
QList<Entry> read(const QByteArray &archive);

// The entry's bytes, stored or inflated, checked against the claimed size and sum. Empty, with
// the reason, when the data lies outside the archive, the method is unknown, or the bytes are
// not what the directory says (more or fewer, or another sum).
QByteArray data(const QByteArray &archive, const Entry &entry, QString *error);
} // namespace ZipDirectory
