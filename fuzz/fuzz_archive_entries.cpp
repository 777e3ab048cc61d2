// A downloaded update archive: the zip directory is read, every entry path goes through the
// guard that decides whether it may be written below the "updates" folder, every entry is
// inflated when the sizes the directory claims pass the size guard, and the bytes are read as
// a manifest.
#include "updateunpacker.h"
#include "zipdirectory.h"

#include "updatemanifest.h"

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
    // The same bytes as a manifest: refused or read, never more.
    QList<UpdateManifest::Entry> listed;
    QString problem;
    UpdateManifest::parse(bytes, &listed, &problem);

    bool whole = false;
    const QList<ZipDirectory::Entry> directory = ZipDirectory::read(bytes, &whole);
    QList<UpdateUnpacker::EntrySize> sizes;
    for (const ZipDirectory::Entry &entry : directory) {
        checkPath(entry.name);
        if (entry.kind == ZipDirectory::Entry::File)
            sizes.append({entry.name, entry.size});
    }
    if (!whole || !UpdateUnpacker::sizeRefusal(sizes).isEmpty())
        return 0;
    for (const ZipDirectory::Entry &entry : directory) {
        QString error;
        const QByteArray file = ZipDirectory::data(bytes, entry, &error);
        if (error.isEmpty() ? file.size() != entry.size : !file.isEmpty())
            __builtin_trap();
    }
    return 0;
}
