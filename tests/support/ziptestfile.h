#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// One entry of a ZIP archive made by a test: a file with data, a folder, or a symbolic link
// whose target is in data. Names are written as given, "../" and leading "/" included.
struct ZipTestEntry
{
    enum Kind { File, Dir, Link };
    Kind kind = File;
    QString name;
    QByteArray data;
};

// Writes the entries to a new archive; false when the file cannot be written.
bool writeZipTestFile(const QString &path, const QList<ZipTestEntry> &entries);
