#include "updatetestfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

QByteArray firmwareTestImage(quint16 typeId, quint8 major, quint8 minor, quint8 build, int size)
{
    QByteArray image("\x55\xAA"
                     "VERSION\0",
                     10);
    image.append(char(typeId & 0xFF));
    image.append(char(typeId >> 8));
    image.append(char(major));
    image.append(char(minor));
    image.append(char(build));
    image.append('\0');
    for (int i = image.size(); i < size; ++i)
        image.append(char((i * 31 + major + minor + build) & 0xFF));
    return image;
}

bool writeTestFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
           && file.write(bytes) == bytes.size();
}

QByteArray readTestFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
