#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QList>
#include <QString>

// Writes a zip archive whose bytes depend on nothing but its files: entries in the order given,
// every time stamp 1980-01-01 00:00, names in UTF-8, no folder entries, Unix modes from the
// permissions. Each file is deflated, or stored when deflating does not make it smaller. The
// layouts are those ZipDirectory reads.
namespace ZipWriter {
struct File
{
    QString name; // relative, "/" between folders
    QByteArray data;
    QFileDevice::Permissions permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                           | QFileDevice::ReadGroup | QFileDevice::ReadOther;
};

QByteArray write(const QList<File> &files);
} // namespace ZipWriter
