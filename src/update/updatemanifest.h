#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include "zipwriter.h"

// What makes a configurator update archive the maker's own: a manifest that names every file
// of the archive with its size and SHA-256, and an Ed25519 signature of the manifest's bytes,
// both at the archive's root. The configurator holds the public key built in; the maker signs
// with the private half.
//
// The manifest is UTF-8 text, one line each, "\n" at every line end:
//   zemo-update-manifest 1
//   <size in decimal> <SHA-256, 64 lower-case hex digits> <path>
// The paths are sorted and unique; a path is the rest of its line (blanks included).
class UpdateManifest
{
public:
    static const char *const kManifestName; // "zemo-update.manifest"
    static const char *const kSignatureName; // "zemo-update.sig", the 64 bytes of the signature
    static constexpr int kSignatureSize = 64;
    static constexpr int kMaxManifestBytes = 1024 * 1024;

    struct Entry
    {
        QString path;
        qint64 size = 0;
        QByteArray sha256; // 32 bytes
    };

    static QByteArray text(QList<Entry> entries);
    // The entries of a manifest text; false with the reason when it is not one.
    static bool parse(const QByteArray &text, QList<Entry> *entries, QString *error);

    // Ed25519 with keys in PEM. sign() gives an empty array, with the reason, when the key
    // cannot be read or is no Ed25519 private key.
    static QByteArray sign(const QByteArray &message, const QByteArray &privateKeyPem,
                           QString *error);
    static bool verify(const QByteArray &message, const QByteArray &signature,
                       const QByteArray &publicKeyPem);

    // The public key this build trusts (the one CMake's ZEMO_UPDATE_PUBLIC_KEY names), and
    // whether it is the repository's test key, whose private half anyone can read.
    static QByteArray builtInPublicKey();
    static bool trustsTestKey();

    // A signed update archive of these files (their names unique), sorted by name after the
    // manifest and the signature: the same files and key give the same bytes. Empty, with the
    // reason, when the key cannot sign.
    static QByteArray signedArchive(QList<ZipWriter::File> files, const QByteArray &privateKeyPem,
                                    QString *error);
};
