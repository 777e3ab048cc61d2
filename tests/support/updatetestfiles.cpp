#include "updatetestfiles.h"

#include "settings.h"
#include "updateunpacker.h"

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

UpdateServerRig::UpdateServerRig(UpdateServerSimSettings settings)
    : host(randomLoopbackAddress())
{
    settings.folder = folder.path();
    server.reset(new UpdateServerSim(settings));
    listening = server->listen(QHostAddress(host));
}

QByteArray UpdateServerRig::settingsText() const
{
    return QStringLiteral("[UpdateServer]\nIP=%1\nPort=%2\n").arg(host).arg(server->port()).toUtf8();
}

void UpdateServerRig::pointSettings() const
{
    writeSetting("UpdateServer", "IP", host);
    writeSetting("UpdateServer", "Port", server->port());
}

bool UpdateServerRig::serve(const QString &name, const QByteArray &bytes) const
{
    return writeTestFile(folder.filePath(name), bytes);
}

HandOverRecorder::HandOverRecorder()
{
    UpdateUnpacker::setHandOver(
            [this](const QString &program, const QStringList &arguments, const QString &dir) {
                calls.append(QStringList {program} + arguments + QStringList {dir});
            });
}

HandOverRecorder::~HandOverRecorder()
{
    UpdateUnpacker::setHandOver({});
}
