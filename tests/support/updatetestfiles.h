#pragma once

#include "testsupport.h"
#include "updateserversim.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// A firmware image file as the update server holds it: the 16-byte header (magic, "VERSION",
// device type id little-endian, version bytes) followed by filler of the given total size.
QByteArray firmwareTestImage(quint16 typeId, quint8 major, quint8 minor, quint8 build, int size);

// While it lives, the update unpacker's hand-over to the archive's script is recorded instead
// of run: the program, its arguments and the working folder of each.
struct HandOverRecorder
{
    HandOverRecorder();
    ~HandOverRecorder();
    HandOverRecorder(const HandOverRecorder &) = delete;
    HandOverRecorder &operator=(const HandOverRecorder &) = delete;

    QList<QStringList> calls;
};

// An update-server double serving a temporary folder, on a loopback address of its own (so that
// tests with an FTP server on port 21 of that address can run side by side).
struct UpdateServerRig
{
    explicit UpdateServerRig(UpdateServerSimSettings settings = UpdateServerSimSettings());
    // The settings file text that points the update client at the server.
    QByteArray settingsText() const;
    // Writes that text into the program folder in use.
    void pointSettings() const;
    bool serve(const QString &name, const QByteArray &bytes) const;

    QTemporaryDir folder;
    QString host;
    std::unique_ptr<UpdateServerSim> server;
    bool listening = false;
};
