#include "ziptestfile.h"

#include <QFile>
#include <QStringList>

#include <QtGui/private/qzipwriter_p.h>

bool writeZipTestFile(const QString &path, const QList<ZipTestEntry> &entries)
{
    QZipWriter writer(path);
    if (!writer.isWritable())
        return false;
    for (const ZipTestEntry &entry : entries) {
        switch (entry.kind) {
        case ZipTestEntry::File:
            writer.addFile(entry.name, entry.data);
            break;
        case ZipTestEntry::Dir:
            writer.addDirectory(entry.name);
            break;
        case ZipTestEntry::Link:
            writer.addSymLink(entry.name, QString::fromUtf8(entry.data));
            break;
        }
    }
    writer.close();
    return writer.status() == QZipWriter::NoError;
}
