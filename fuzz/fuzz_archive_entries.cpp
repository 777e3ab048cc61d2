// A downloaded update archive: the zip directory is read, every entry path goes through the
// guard that decides whether it may be written below the "updates" folder, and every entry is
// inflated when the sizes the directory claims pass the size guard.
#include "updateunpacker.h"
#include "zipdirectory.h"

#include <private/qzipreader_p.h>
#include <QBuffer>
#include <QDir>

#include <cstddef>
#include <cstdint>

static void checkPath(const QString &path)
{
    if (!UpdateUnpacker::isSafeEntryPath(path))
        return;
    // A path the guard lets through stays below the target folder.
    const QString target = QStringLiteral("/target/updates");
    QString normalised = path;
    normalised.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QString joined = QDir::cleanPath(target + QLatin1Char('/') + normalised);
    if (!joined.startsWith(target + QLatin1Char('/')))
        __builtin_trap();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    checkPath(QString::fromUtf8(bytes));

    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QZipReader zip(&buffer);
    if (zip.status() != QZipReader::NoError)
        return 0;
    const QVector<QZipReader::FileInfo> entries = zip.fileInfoList();
    QList<UpdateUnpacker::EntrySize> sizes;
    for (const QZipReader::FileInfo &entry : entries) {
        checkPath(entry.filePath);
        if (entry.isFile)
            sizes.append({entry.filePath, entry.size});
    }
    // The unpacker's own reading of the directory, in the reader's order, and the bytes of
    // every entry (the reader's fileData() is never called: it trusts the sizes).
    const QList<ZipDirectory::Entry> directory = ZipDirectory::read(bytes);
    if (!UpdateUnpacker::sizeRefusal(sizes).isEmpty() || directory.size() != entries.size())
        return 0;
    for (const ZipDirectory::Entry &entry : directory) {
        QString error;
        const QByteArray file = ZipDirectory::data(bytes, entry, &error);
        if (error.isEmpty() ? file.size() != entry.size : !file.isEmpty())
            __builtin_trap();
    }
    return 0;
}
