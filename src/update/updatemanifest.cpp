#include "updatemanifest.h"

#include "updatekey.h"

#include <QCryptographicHash>

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <algorithm>
#include <memory>

const char *const UpdateManifest::kManifestName = "zemo-update.manifest";
const char *const UpdateManifest::kSignatureName = "zemo-update.sig";

namespace {
const QByteArray kFirstLine = QByteArrayLiteral("zemo-update-manifest 1");
// No file of a configurator update comes near this; it keeps the size a plain number.
constexpr qint64 kMaxEntrySize = qint64(1) << 40;

struct KeyFree
{
    void operator()(EVP_PKEY *key) const { EVP_PKEY_free(key); }
};
struct ContextFree
{
    void operator()(EVP_MD_CTX *context) const { EVP_MD_CTX_free(context); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
using Context = std::unique_ptr<EVP_MD_CTX, ContextFree>;

Key readKey(const QByteArray &pem, bool isPrivate)
{
    BIO *bio = BIO_new_mem_buf(pem.constData(), pem.size());
    if (!bio)
        return Key();
    Key key(isPrivate ? PEM_read_bio_PrivateKey(bio, nullptr, nullptr, nullptr)
                      : PEM_read_bio_PUBKEY(bio, nullptr, nullptr, nullptr));
    BIO_free(bio);
    if (key && EVP_PKEY_id(key.get()) != EVP_PKEY_ED25519)
        key.reset();
    return key;
}

bool isHex(const QByteArray &text)
{
    return std::all_of(text.cbegin(), text.cend(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}
} // namespace

QByteArray UpdateManifest::text(QList<Entry> entries)
{
    std::sort(entries.begin(), entries.end(),
              [](const Entry &a, const Entry &b) { return a.path.toUtf8() < b.path.toUtf8(); });
    QByteArray out = kFirstLine + '\n';
    for (const Entry &entry : qAsConst(entries))
        out += QByteArray::number(entry.size) + ' ' + entry.sha256.toHex() + ' '
               + entry.path.toUtf8() + '\n';
    return out;
}

bool UpdateManifest::parse(const QByteArray &text, QList<Entry> *entries, QString *error)
{
    entries->clear();
    if (!text.endsWith('\n')) {
        *error = QStringLiteral("the manifest does not end with a line end");
        return false;
    }
    const QList<QByteArray> lines = text.left(text.size() - 1).split('\n');
    if (lines.value(0) != kFirstLine) {
        *error = QStringLiteral("the manifest does not begin with \"%1\"")
                         .arg(QString::fromLatin1(kFirstLine));
        return false;
    }
    QByteArray previous;
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray &line = lines.at(i);
        const int firstBlank = line.indexOf(' ');
        const int secondBlank = firstBlank < 0 ? -1 : line.indexOf(' ', firstBlank + 1);
        const QByteArray sizeText = line.left(firstBlank);
        const QByteArray sumText = line.mid(firstBlank + 1, secondBlank - firstBlank - 1);
        const QByteArray path = secondBlank < 0 ? QByteArray() : line.mid(secondBlank + 1);
        bool ok = false;
        const qint64 size = sizeText.toLongLong(&ok);
        if (secondBlank < 0 || !ok || sizeText.startsWith('+') || sizeText.startsWith('-')
            || size > kMaxEntrySize || sumText.size() != 64 || !isHex(sumText) || path.isEmpty()
            || path.contains('\r')) {
            *error = QStringLiteral("manifest line %1 is not \"<size> <sum> <path>\"").arg(i + 1);
            return false;
        }
        // Sorted and unique: one line per file.
        if (i > 1 && !(previous < path)) {
            *error = QStringLiteral("manifest line %1 is out of order or repeats a path").arg(i + 1);
            return false;
        }
        previous = path;
        entries->append({QString::fromUtf8(path), size, QByteArray::fromHex(sumText)});
    }
    return true;
}

QByteArray UpdateManifest::sign(const QByteArray &message, const QByteArray &privateKeyPem,
                                QString *error)
{
    const Key key = readKey(privateKeyPem, true);
    if (!key) {
        *error = QStringLiteral("the key is no Ed25519 private key in PEM");
        return QByteArray();
    }
    const Context context(EVP_MD_CTX_new());
    QByteArray signature(kSignatureSize, '\0');
    size_t length = size_t(signature.size());
    if (!context || EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1
        || EVP_DigestSign(context.get(), reinterpret_cast<unsigned char *>(signature.data()),
                          &length, reinterpret_cast<const unsigned char *>(message.constData()),
                          size_t(message.size()))
                   != 1
        || length != size_t(kSignatureSize)) {
        *error = QStringLiteral("signing failed");
        return QByteArray();
    }
    error->clear();
    return signature;
}

bool UpdateManifest::verify(const QByteArray &message, const QByteArray &signature,
                            const QByteArray &publicKeyPem)
{
    if (signature.size() != kSignatureSize)
        return false;
    const Key key = readKey(publicKeyPem, false);
    const Context context(EVP_MD_CTX_new());
    return key && context
           && EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) == 1
           && EVP_DigestVerify(context.get(),
                               reinterpret_cast<const unsigned char *>(signature.constData()),
                               size_t(signature.size()),
                               reinterpret_cast<const unsigned char *>(message.constData()),
                               size_t(message.size()))
                      == 1;
}

QByteArray UpdateManifest::builtInPublicKey()
{
    return QByteArray(kZemoUpdatePublicKey);
}

bool UpdateManifest::trustsTestKey()
{
    return kZemoUpdateKeyIsTestKey;
}

QByteArray UpdateManifest::signedArchive(QList<ZipWriter::File> files,
                                         const QByteArray &privateKeyPem, QString *error)
{
    std::sort(files.begin(), files.end(), [](const ZipWriter::File &a, const ZipWriter::File &b) {
        return a.name.toUtf8() < b.name.toUtf8();
    });
    QList<Entry> entries;
    for (const ZipWriter::File &file : qAsConst(files))
        entries.append({file.name, file.data.size(),
                        QCryptographicHash::hash(file.data, QCryptographicHash::Sha256)});
    const QByteArray manifest = text(entries);
    const QByteArray signature = sign(manifest, privateKeyPem, error);
    if (signature.isEmpty())
        return QByteArray();
    files.prepend({QString::fromLatin1(kSignatureName), signature});
    files.prepend({QString::fromLatin1(kManifestName), manifest});
    return ZipWriter::write(files);
}
