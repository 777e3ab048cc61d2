#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QList>
#include <QString>

// The central directory of a zip archive: the end record searched backwards from the end of the
// file (at most 64 KiB of comment), then the entries in order from the offset it names. Beside
// each entry's name and kind it finds where the entry's data lies and whether it lies inside
// the archive, and it inflates an entry only up to the size the directory claims: a directory
// that lies about either size must neither make the reader read past the archive nor grow its
// buffer without end.
//
// Little-endian layouts: the end record holds the entry count at 10 and the directory's offset
// at 16; a directory entry (46 bytes, then name, extra field and comment) the system that made
// it at 5, the flags at 8 (bit 11: the name is UTF-8), the sum at 16, the compressed size at 20,
// the size at 24, the name, extra and comment lengths at 28, 30, 32, the external attributes at
// 38 (made on Unix: the file mode in the upper 16 bits; else bit 4 marks a folder) and the
// local header's offset at 42; a local header (30 bytes, then name and extra field) the method
// at 8 and its own name and extra lengths at 26 and 28.
namespace ZipDirectory {
struct Entry
{
    enum Kind { File, Dir, SymLink, Other };

    QString name; // as the directory gives it, separators and all
    Kind kind = File;
    QFileDevice::Permissions permissions; // from a Unix mode; none when the entry has no mode
    qint64 size = 0; // uncompressed, as the directory claims
    qint64 compressedSize = 0;
    quint32 crc = 0;
    int method = -1; // from the local header: 0 stored, 8 deflated
    qint64 dataOffset = -1; // -1 when the local header or the data lies outside the archive
};

// Every entry of the directory in its order. *whole (when given) tells whether the directory
// could be read to the count its end record names; an archive without an end record has none.
QList<Entry> read(const QByteArray &archive, bool *whole = nullptr);

// The entry's bytes, stored or inflated, checked against the claimed size and sum. Empty, with
// the reason, when the data lies outside the archive, the method is unknown, or the bytes are
// not what the directory says (more or fewer, or another sum).
QByteArray data(const QByteArray &archive, const Entry &entry, QString *error);
} // namespace ZipDirectory
