// zemo-update-pack: every file below a folder into a configurator update archive with its
// signed manifest. The same folder and key give the same bytes: entries sorted by name, fixed
// time stamps, modes 755 for executables and 644 for the rest.
#include "updatemanifest.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSaveFile>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zemo-update-pack"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
            QStringLiteral("Packs every file below FOLDER into a signed configurator update "
                           "archive."));
    parser.addHelpOption();
    const QCommandLineOption key("key", "Ed25519 private key (PEM) to sign with.", "file");
    const QCommandLineOption out({"o", "out"}, "The archive to write.", "file");
    parser.addOptions({key, out});
    parser.addPositionalArgument("folder", "The files of the archive.");
    parser.process(app);

    QTextStream err(stderr);
    const QStringList folders = parser.positionalArguments();
    if (folders.size() != 1 || !parser.isSet(key) || !parser.isSet(out)) {
        err << "usage: zemo-update-pack --key KEY.pem --out ARCHIVE.zip FOLDER\n";
        return 2;
    }
    QFile keyFile(parser.value(key));
    if (!keyFile.open(QIODevice::ReadOnly)) {
        err << "cannot read the key " << keyFile.fileName() << ": " << keyFile.errorString()
            << '\n';
        return 1;
    }
    const QByteArray keyPem = keyFile.readAll();

    const QDir root(folders.first());
    if (!root.exists()) {
        err << "no folder " << root.path() << '\n';
        return 1;
    }
    QList<ZipWriter::File> files;
    QDirIterator it(root.path(), QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        if (info.isSymLink()) {
            err << "a link cannot go into an update archive: " << path << '\n';
            return 1;
        }
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            err << "cannot read " << path << ": " << file.errorString() << '\n';
            return 1;
        }
        ZipWriter::File entry;
        entry.name = root.relativeFilePath(path);
        entry.data = file.readAll();
        if (info.isExecutable())
            entry.permissions |= QFileDevice::ExeOwner | QFileDevice::ExeGroup
                                 | QFileDevice::ExeOther;
        files.append(entry);
    }

    QString error;
    const QByteArray archive = UpdateManifest::signedArchive(files, keyPem, &error);
    if (archive.isEmpty()) {
        err << "cannot sign with " << keyFile.fileName() << ": " << error << '\n';
        return 1;
    }
    QSaveFile target(parser.value(out));
    if (!target.open(QIODevice::WriteOnly) || target.write(archive) != archive.size()
        || !target.commit()) {
        err << "cannot write " << target.fileName() << ": " << target.errorString() << '\n';
        return 1;
    }
    return 0;
}
