#pragma once

#include "testsupport.h"
#include "updateserversim.h"
#include "zipwriter.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// A firmware image file as the update server holds it: the 16-byte header (magic, "VERSION",
// device type id little-endian, version bytes) followed by filler of the given total size.
QByteArray firmwareTestImage(quint16 typeId, quint8 major, quint8 minor, quint8 build, int size);
// A packed firmware image for the model-200 reader, its header of that version and 64 bytes of
// code in page 0, as an upload takes it.
QByteArray model200FirmwareFile(quint8 major, quint8 minor, quint8 build);

// The repository's test signing key (PEM), whose public half a build from the repository trusts,
// and a new key that no build trusts.
QByteArray testSigningKey();
QByteArray foreignSigningKey();

// An update archive of the files, in their order (names may repeat), with a manifest of the
// files `listed` signed with the key: a genuine archive when both lists are the same and the
// key is the test key; a tampered one otherwise.
QByteArray updateTestArchive(const QList<ZipWriter::File> &files,
                             const QList<ZipWriter::File> &listed,
                             const QByteArray &key = testSigningKey());
// A genuine archive (signed with the key given) of these files: the update script (startupd.sh)
// and the program file.
QByteArray genuineUpdateArchive(const QByteArray &program = "new program",
                                const QByteArray &key = testSigningKey());

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
