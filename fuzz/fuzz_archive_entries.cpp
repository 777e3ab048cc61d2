// A downloaded update archive: the zip directory is read and every entry path goes through the
// guard that decides whether it may be written below the "updates" folder.
#include "updateunpacker.h"

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
    for (const QZipReader::FileInfo &entry : entries)
        checkPath(entry.filePath);
    return 0;
}
