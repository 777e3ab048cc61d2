#include "updatetestfiles.h"

#include "firmwareimage.h"
#include "settings.h"
#include "updatemanifest.h"
#include "updateunpacker.h"

#include <QCryptographicHash>

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

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

QByteArray model200FirmwareFile(quint8 major, quint8 minor, quint8 build)
{
    QByteArray code(64, '\0');
    for (int i = 0; i < code.size(); ++i)
        code[i] = char(i * 3 + build);
    return FirmwareImage::pack(firmwareTestImage(200, major, minor, build, 16), {{0x3800, code}});
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

QByteArray testSigningKey()
{
    return readTestFile(QStringLiteral(ZEMO_SOURCE_DIR "/keys/update-test-key.pem"));
}

QByteArray foreignSigningKey()
{
    EVP_PKEY *key = EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519");
    BIO *bio = BIO_new(BIO_s_mem());
    QByteArray pem;
    if (key && bio && PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr)) {
        char *data = nullptr;
        const long size = BIO_get_mem_data(bio, &data);
        pem = QByteArray(data, int(size));
    }
    BIO_free(bio);
    EVP_PKEY_free(key);
    return pem;
}

QByteArray updateTestArchive(const QList<ZipWriter::File> &files,
                             const QList<ZipWriter::File> &listed, const QByteArray &key)
{
    QList<UpdateManifest::Entry> entries;
    for (const ZipWriter::File &file : listed)
        entries.append({file.name, file.data.size(),
                        QCryptographicHash::hash(file.data, QCryptographicHash::Sha256)});
    const QByteArray manifest = UpdateManifest::text(entries);
    QString error;
    const QByteArray signature = UpdateManifest::sign(manifest, key, &error);
    QList<ZipWriter::File> all = {{UpdateManifest::kManifestName, manifest},
                                  {UpdateManifest::kSignatureName, signature}};
    return ZipWriter::write(all + files);
}

QByteArray genuineUpdateArchive(const QByteArray &program, const QByteArray &key)
{
    const QList<ZipWriter::File> files = {{"program/zemo-configurator", program,
                                           QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                   | QFileDevice::ExeOwner},
                                          {"startupd.sh", "echo installing\n"}};
    return updateTestArchive(files, files, key);
}
