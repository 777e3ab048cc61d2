#include "apppaths.h"
#include "testsupport.h"
#include "updatetestfiles.h"
#include "updateunpacker.h"
#include "ziptestfile.h"

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

// The configurator's own update: hostile archive entries and a missing archive. A whole archive
// unpacked and handed to its script is shown by the update workflow.
// The hand-over (detached start and exit) is replaced, so no script runs unless the test runs it.
class TestUpdateUnpacker : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void entryPaths_data();
    void entryPaths();
    void hostileEntriesRefused();

private:
    void runUnpacker(const QString &programDir);

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

void TestUpdateUnpacker::runUnpacker(const QString &programDir)
{
    AppPaths::setProgramDir(programDir);
    UpdateUnpacker unpacker;
    unpacker.startUpdate();
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

void TestUpdateUnpacker::hostileEntriesRefused()
{
    QTemporaryDir outer;
    const QString programDir = outer.filePath("program");
    const QString updates = programDir + "/updates";
    QDir().mkpath(updates);
    const QString archive = updates + "/update.zip";
    const QList<ZipTestEntry> entries = {
            {ZipTestEntry::File, "sub/../../evil-parent.txt", "x"},
            {ZipTestEntry::File, "sub/../../../evil-outer.txt", "x"},
            {ZipTestEntry::Link, "escape", outer.path().toUtf8()},
            {ZipTestEntry::File, "escape/evil-through-link.txt", "x"},
            {ZipTestEntry::Link, "startupd.sh", "/etc/passwd"},
            {ZipTestEntry::File, "good/kept.txt", "kept"},
    };
    QVERIFY(writeZipTestFile(archive, entries));

    LogCapture log;
    runUnpacker(programDir);

    // The link was refused, so "escape" is a plain folder inside and its file stays there.
    // (Absolute names cannot get through: the zip reader drops leading slashes itself.)
    QCOMPARE(filesBelow(outer.path()),
             QStringList({"program/updates/escape/evil-through-link.txt",
                          "program/updates/good/kept.txt", "program/updates/startupd.sh",
                          "program/updates/update.zip"}));
    QVERIFY(!QFileInfo(updates + "/escape").isSymLink());
    QCOMPARE(log.count("Archive entry refused"), 4);
    QVERIFY(log.contains("Archive entry refused, a link: escape"));
    // The script is ours (prefix only), not a link to somewhere else.
    QVERIFY(!QFileInfo(updates + "/startupd.sh").isSymLink());
    QVERIFY(readTestFile(updates + "/startupd.sh").startsWith("#!/bin/sh\ncd -- "));
    QCOMPARE(m_handOvers->calls.size(), 1);
}

QTEST_GUILESS_MAIN(TestUpdateUnpacker)
#include "tst_updateunpacker.moc"
