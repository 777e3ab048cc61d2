#include "apppaths.h"
#include "testsupport.h"
#include "updatemanifest.h"
#include "updatetestfiles.h"
#include "updateunpacker.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QPointer>
#include <QtTest>

namespace {
QStringList filesBelow(const QString &dir)
{
    QStringList files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(dir).relativeFilePath(it.next());
    files.sort();
    return files;
}
} // namespace

// The configurator's own update: archives that are not the maker's, hostile entries, and a
// genuine archive unpacked and handed to its script. The hand-over (detached start and exit) is
// replaced, so no script runs unless the test runs it.
class TestUpdateUnpacker : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void entryPaths_data();
    void entryPaths();
    void refusedArchives_data();
    void refusedArchives();
    void genuineArchiveInstalls();

private:
    std::unique_ptr<HandOverRecorder> m_handOvers;
};

void TestUpdateUnpacker::init()
{
    m_handOvers = std::make_unique<HandOverRecorder>();
}

void TestUpdateUnpacker::cleanup()
{
    m_handOvers.reset();
    AppPaths::setProgramDir(QString());
}

void TestUpdateUnpacker::entryPaths_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("safe");
    QTest::newRow("file") << "zemo-configurator" << true;
    QTest::newRow("nested") << "translations/ru.qm" << true;
    QTest::newRow("dot segment") << "./a/./b" << true;
    QTest::newRow("dots in a name") << "a..b/c..." << true;
    QTest::newRow("parent") << "../x" << false;
    QTest::newRow("parent after a folder") << "sub/../../x" << false;
    QTest::newRow("parent that stays inside") << "a/../b" << false;
    QTest::newRow("back slash parent") << "sub\\..\\..\\x" << false;
    QTest::newRow("absolute") << "/etc/passwd" << false;
    QTest::newRow("back slash absolute") << "\\x" << false;
    QTest::newRow("drive") << "C:/x" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("only dots") << "./." << false;
}

void TestUpdateUnpacker::entryPaths()
{
    QFETCH(QString, path);
    QTEST(UpdateUnpacker::isSafeEntryPath(path), "safe");
}

Q_DECLARE_METATYPE(UpdateUnpacker::Refusal)

void TestUpdateUnpacker::refusedArchives_data()
{
    QTest::addColumn<QByteArray>("archive");
    QTest::addColumn<UpdateUnpacker::Refusal>("why");
    QTest::addColumn<QString>("logged");

    using F = ZipWriter::File;
    const F script {"startupd.sh", "echo installing\n"};
    const F program {"program/zemo-configurator", "new program"};
    const QList<F> genuine = {program, script};
    const F changed {"program/zemo-configurator", "NEW PROGRAM"}; // the same size
    const auto refused = UpdateUnpacker::Unsigned;
    const auto damaged = UpdateUnpacker::Damaged;

    // Not the maker's archive.
    QTest::newRow("no manifest") << ZipWriter::write(genuine) << refused
                                 << "it carries no signed manifest";
    QTest::newRow("signed with another key")
            << updateTestArchive(genuine, genuine, foreignSigningKey()) << refused
            << "not signed with the key";
    QTest::newRow("a file not in the manifest")
            << updateTestArchive(genuine + QList<F> {{"program/extra", "x"}}, genuine) << refused
            << "not the file its manifest names: program/extra";
    QTest::newRow("a file other than the manifest's")
            << updateTestArchive({changed, script}, genuine) << refused
            << "program/zemo-configurator is not the file its manifest names";
    QTest::newRow("a file of the manifest missing")
            << updateTestArchive({script}, genuine) << refused
            << "its manifest names files it lacks: program/zemo-configurator";
    // The signature of the genuine manifest beside a manifest that claims another size.
    QList<UpdateManifest::Entry> listed;
    for (const F &file : genuine)
        listed.append({file.name, file.data.size(),
                       QCryptographicHash::hash(file.data, QCryptographicHash::Sha256)});
    const QByteArray manifest = UpdateManifest::text(listed);
    QString error;
    const QByteArray signature = UpdateManifest::sign(manifest, testSigningKey(), &error);
    QByteArray changedManifest = manifest;
    changedManifest.replace("\n11 ", "\n19 ");
    QVERIFY(changedManifest != manifest);
    const QByteArray tamperedManifest = ZipWriter::write(
            QList<F> {{UpdateManifest::kManifestName, changedManifest},
                      {UpdateManifest::kSignatureName, signature}}
            + genuine);
    QTest::newRow("manifest changed after signing")
            << tamperedManifest << refused << "Update archive refused: ";

    // The maker's key on entries that must not be written.
    const QList<F> overwrite = {script, {"update.zip", "PK"}};
    QTest::newRow("an entry over the archive")
            << updateTestArchive(overwrite, overwrite) << damaged
            << "it would replace a file of the running program: update.zip";
    QTest::newRow("the same name twice")
            << updateTestArchive({program, script, program}, genuine) << damaged
            << "its name is given twice: program/zemo-configurator";
    const QList<F> fileAndFolder = {script, {"program", "a file"}, program};
    QTest::newRow("a file where a folder goes")
            << updateTestArchive(fileAndFolder, fileAndFolder) << damaged
            << "its name is given twice: program/zemo-configurator";
    const QList<F> leaving = {script, {"sub/../../evil.txt", "x"}};
    QTest::newRow("a path out of the folder") << updateTestArchive(leaving, leaving) << damaged
                                              << "its path leaves the updates folder";
    const QList<F> throughLink = {script, {"up/settings.conf", "[Language]\nlang=en\n"}};
    QTest::newRow("a file through a link to the program folder")
            << updateTestArchive(throughLink, throughLink) << damaged
            << "its folder leaves the updates folder: up/settings.conf";
    QTest::newRow("no script") << updateTestArchive({program}, {program}) << damaged
                               << "it carries no startupd.sh";
    QByteArray damagedData = updateTestArchive(genuine, genuine);
    damagedData.replace("new program", "new pr0gram");
    QTest::newRow("damaged data") << damagedData << damaged
                                  << "Update archive damaged: program/zemo-configurator";
}

// Nothing is written from an archive that fails: the folder keeps what it had, the script is
// not started, and the reason goes to the log and with the refusal.
void TestUpdateUnpacker::refusedArchives()
{
    QFETCH(QByteArray, archive);
    QFETCH(UpdateUnpacker::Refusal, why);
    QFETCH(QString, logged);
    QTemporaryDir outer;
    const QString programDir = outer.filePath("program");
    const QString updates = programDir + "/updates";
    QDir().mkpath(updates);
    QVERIFY(writeTestFile(updates + "/update.zip", archive));
    QVERIFY(writeTestFile(programDir + "/settings.conf", "[Language]\nlang=ru\n"));
    // An earlier run left a link in the folder.
    QVERIFY(QFile::link(programDir, updates + "/up"));
    const QStringList before = filesBelow(outer.path());

    LogCapture log;
    AppPaths::setProgramDir(programDir);
    UpdateUnpacker unpacker;
    QList<UpdateUnpacker::Refusal> refusals;
    connect(&unpacker, &UpdateUnpacker::refused, this,
            [&refusals](UpdateUnpacker::Refusal reason) { refusals << reason; });
    unpacker.startUpdate();

    QCOMPARE(refusals, QList<UpdateUnpacker::Refusal>({why}));
    QVERIFY2(log.contains(logged), qPrintable(log.lines().join('\n')));
    QCOMPARE(filesBelow(outer.path()), before);
    QCOMPARE(readTestFile(updates + "/update.zip"), archive);
    QCOMPARE(readTestFile(programDir + "/settings.conf"), QByteArray("[Language]\nlang=ru\n"));
    QVERIFY(m_handOvers->calls.isEmpty());
}

void TestUpdateUnpacker::genuineArchiveInstalls()
{
    QTemporaryDir outer;
    const QString programDir = outer.filePath("program");
    const QString updates = programDir + "/updates";
    QDir().mkpath(updates);
    QVERIFY(writeTestFile(updates + "/update.zip", genuineUpdateArchive()));

    AppPaths::setProgramDir(programDir);
    UpdateUnpacker unpacker;
    unpacker.startUpdate();

    QCOMPARE(filesBelow(updates),
             QStringList({"program/zemo-configurator", "startupd.sh", "update.zip"}));
    QCOMPARE(readTestFile(updates + "/program/zemo-configurator"), QByteArray("new program"));
    QVERIFY(QFileInfo(updates + "/program/zemo-configurator").isExecutable());
    QVERIFY(!QFileInfo(updates + "/startupd.sh").isExecutable());
    // The script gets the cd to the program folder in front of its own lines.
    const QByteArray script = readTestFile(updates + "/startupd.sh");
    QVERIFY(script.startsWith("#!/bin/sh\ncd -- '" + QFile::encodeName(programDir)
                              + "' || exit 1\n"));
    QVERIFY(script.endsWith("\necho installing\n"));
    QCOMPARE(m_handOvers->calls.size(), 1);
    QCOMPARE(m_handOvers->calls.first().value(1), updates + "/startupd.sh");
}

QTEST_GUILESS_MAIN(TestUpdateUnpacker)
#include "tst_updateunpacker.moc"
