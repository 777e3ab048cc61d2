// Releases as the engineer meets them: the folder archive unpacked and run where it lies, its
// menu entry, and the self-update of an unpacked release to the next version with real
// processes. The configurator that updates itself is this test program started again in the
// role "--old-configurator": the window of the library, its update client and unpacker, with
// every question answered Yes; its hand-over, the update script of the release and the
// configurator the script starts are the real ones.
#include "apppaths.h"
#include "appversion.h"
#include "faultyfolder.h"
#include "linkonbus.h"
#include "loghandler.h"
#include "mainwindow.h"
#include "mainwindowaccess.h"
#include "settings.h"
#include "simbus.h"
#include "testsupport.h"
#include "updatemanifest.h"
#include "updatetestfiles.h"
#include "versioncompare.h"
#include "zipdirectory.h"

#include <QtTest>
#include <QtWidgets>

#include <csignal>
#include <memory>

#include <unistd.h>

namespace {
const QString kNextVersion = QStringLiteral(ZEMO_NEXT_VERSION);

// Runs a program to its end; false with its output when it fails.
bool run(const QString &program, const QStringList &arguments, QString *output,
         const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    const bool finished = process.waitForFinished(180000);
    *output = program + QLatin1Char(' ') + arguments.join(QLatin1Char(' ')) + QLatin1Char('\n')
              + QString::fromLocal8Bit(process.readAll());
    return finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// make-release.sh as make dist and make update-archive run it; an update archive is signed with
// the key signingKey names, or with the repository's test key.
bool pack(const QString &kind, const QString &version, const QString &executable,
          const QString &archive, QString *output, const QString &signingKey = QString())
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("ZEMO_UPDATE_PACK",
                       QStringLiteral(ZEMO_TOOLS_BUILD_DIR "/zemo-update-pack"));
    environment.remove("ZEMO_SIGNING_KEY");
    if (!signingKey.isEmpty())
        environment.insert("ZEMO_SIGNING_KEY", signingKey);
    return run(QStringLiteral("/bin/sh"),
               {QStringLiteral(ZEMO_SOURCE_DIR "/release/make-release.sh"), kind, version,
                QStringLiteral(ZEMO_APP_BUILD_DIR), executable, archive},
               output, environment);
}

// Every file below a folder with its bytes, by relative path.
QMap<QString, QByteArray> filesBelow(const QString &folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(folder).relativeFilePath(path), readTestFile(path));
    }
    return files;
}

// True while the process runs; one that ended but was not reaped yet does not.
bool running(qint64 pid)
{
    const QByteArray status = readTestFile(QStringLiteral("/proc/%1/status").arg(pid));
    return !status.isEmpty() && !status.contains("State:\tZ");
}

// The configurator that a script of a release started: stopped at the end of the test, but
// only while it still is that program.
struct StartedConfigurator
{
    ~StartedConfigurator() { stop(); }
    void stop()
    {
        if (pid <= 0)
            return;
        const QString exe = QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid));
        if (running(pid) && exe.startsWith(folder + QLatin1Char('/')))
            ::kill(pid_t(pid), SIGTERM);
        if (!QTest::qWaitFor([this] { return !running(pid); }, 10000))
            qWarning("configurator %lld did not end", pid);
        pid = 0;
    }
    QString folder;
    qint64 pid = 0;
};

// The log's start banners, in order: "Version: <version>".
QStringList banners(const QString &folder)
{
    QStringList found;
    static const QRegularExpression banner(QStringLiteral("Version: (\\d+\\.\\d+\\.\\d+)"));
    auto it = banner.globalMatch(QString::fromUtf8(readTestFile(folder + "/zemo2xx.log")));
    while (it.hasNext())
        found << it.next().captured(1);
    return found;
}

// The role of the configurator that updates itself: the window over the program folder given,
// an update check started at once, every question answered Yes. The hand-over to the update
// script ends the process with 0; anything else within 60 s ends it with 3.
int runOldConfigurator(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    AppPaths::setProgramDir(arguments.at(2));
    if (arguments.contains(QStringLiteral("-console")))
        LogHandler::install();
    BoxRecorder boxes;
    boxes.defaultAnswer = Prompt::Yes;
    MainWindow window(nullptr, QStringLiteral("ru_RU"));
    QTimer::singleShot(0, &window, &MainWindow::checkUpdates);
    QTimer::singleShot(60000, &app, [&boxes] {
        qWarning().noquote() << "no hand-over within 60 s; boxes:" << boxes.describe();
        QCoreApplication::exit(3);
    });
    return app.exec();
}
} // namespace

class TestRelease : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void distFolderRunsWhereItIsUnpacked();
    void menuEntryStartsTheFolderProgram();
    void updateArchiveIsSignedAndRepeatable();
    void dataFolder_data();
    void dataFolder();
    void packageInstallsLikeASystemProgram();
    void newConfiguratorOfAPackage_data();
    void newConfiguratorOfAPackage();
    void helpWithoutAViewerSaysWhere();
    void selfUpdate_data();
    void selfUpdate();

private:
    // Unpacks the release below a new folder of the given name; its program folder.
    QString unpackRelease(const QString &parentName);

    QTemporaryDir m_tmp;
    QString m_dist; // the release of this version
    QString m_update; // the update archive of the next version
};

void TestRelease::initTestCase()
{
    QVERIFY(m_tmp.isValid());
    QVERIFY2(VersionCompare::isNewer(kNextVersion, AppVersion::text()), ZEMO_NEXT_VERSION);
    QString output;
    m_dist = m_tmp.filePath("dist/zemo-configurator-" + AppVersion::text() + ".tar.gz");
    QVERIFY2(pack("dist", AppVersion::text(), appBuildPath("zemo-configurator"), m_dist, &output),
             qPrintable(output));
    m_update = m_tmp.filePath("dist/zemo-configurator_" + kNextVersion + ".zip");
    QVERIFY2(pack("update", kNextVersion, ZEMO_NEXT_CONFIGURATOR, m_update, &output),
             qPrintable(output));
}

QString TestRelease::unpackRelease(const QString &parentName)
{
    const QString parent = m_tmp.filePath(parentName);
    QDir().mkpath(parent);
    QString output;
    if (!run("tar", {"-xzf", m_dist, "-C", parent}, &output))
        qWarning().noquote() << output;
    return parent + "/zemo-configurator-" + AppVersion::text();
}

// The archive holds one folder that is the program folder; unpacked anywhere, the program runs
// from it and keeps its files there.
void TestRelease::distFolderRunsWhereItIsUnpacked()
{
    QString output;
    QVERIFY2(run("tar", {"-tzf", m_dist}, &output), qPrintable(output));
    const QString top = "zemo-configurator-" + AppVersion::text() + "/";
    QStringList expected = {top,
                            top + "README.txt",
                            top + "devices.db",
                            top + "firmware/",
                            top + "help/",
                            top + "install-menu-entry.sh",
                            top + "translations/",
                            top + "translations/en.qm",
                            top + "updates/",
                            top + "zemo-cli",
                            top + "zemo-configurator",
                            top + "zemo-configurator.svg"};
    for (const QString &pdf : QDir(ZEMO_SOURCE_DIR "/help").entryList({"*.pdf"}, QDir::Files))
        expected << top + "help/" + pdf;
    expected << top + "LICENSE" << top + "LICENSE-ptsans.txt" << top + "NOTICES.txt";
    expected.sort();
    QStringList listed = output.split('\n', Qt::SkipEmptyParts).mid(1);
    listed.sort();
    QCOMPARE(listed, expected);

    const QString folder = unpackRelease("my programs");
    QCOMPARE(readTestFile(folder + "/devices.db"), readTestFile(appBuildPath("devices.db")));
    const QString readme = QString::fromUtf8(readTestFile(folder + "/README.txt"));
    QVERIFY(readme.contains("Zemo configurator " + AppVersion::text()));
    QVERIFY(readme.contains("sudo apt-get install libqt5widgets5 "));
    QVERIFY(QFileInfo(folder + "/zemo-configurator").isExecutable());

    // Started from elsewhere, as a menu does.
    QProcess program;
    program.setWorkingDirectory(QDir::rootPath());
    program.start(folder + "/zemo-configurator", {"-console"});
    QVERIFY(program.waitForStarted());
    // Up once it has written the language of its first start into its folder.
    auto language = [&] {
        return QSettings(folder + "/settings.conf", QSettings::IniFormat).value("Language/lang");
    };
    const bool up = QTest::qWaitFor([&] { return language().isValid(); }, 30000);
    program.terminate();
    program.waitForFinished(10000);
    QVERIFY2(up, program.readAllStandardError().constData());
    QCOMPARE(language(), QVariant("en"));
    QCOMPARE(banners(folder), QStringList {AppVersion::text()});
}

// The menu entry names the program of the folder, however odd the folder's path.
void TestRelease::menuEntryStartsTheFolderProgram()
{
    const QString folder = unpackRelease(R"(Zemo "trial" $HOME `x` 100% \d)");
    const QString data = m_tmp.filePath("data");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_DATA_HOME", data);
    QString output;
    QVERIFY2(run(folder + "/install-menu-entry.sh", {}, &output, environment), qPrintable(output));

    const QString entry = data + "/applications/zemo-configurator.desktop";
    QMap<QString, QString> keys;
    for (const QString &line : QString::fromUtf8(readTestFile(entry)).split('\n')) {
        const int equals = line.indexOf('=');
        if (equals > 0)
            keys.insert(line.left(equals), line.mid(equals + 1));
    }
    QCOMPARE(keys.value("Type"), QString("Application"));
    QCOMPARE(keys.value("Name"), QString("Zemo configurator"));
    // A string value: "\\" is one back slash. Exec then: one argument in double quotes, where a
    // back slash takes the next character literally; "%%" is a "%".
    auto unescape = [](const QString &value) {
        QString text;
        for (int i = 0; i < value.size(); ++i)
            text += (value.at(i) == '\\' && i + 1 < value.size()) ? value.at(++i) : value.at(i);
        return text;
    };
    const QString exec = unescape(keys.value("Exec"));
    QVERIFY2(exec.startsWith('"') && exec.endsWith('"'), qPrintable(exec));
    QString program;
    for (int i = 1; i < exec.size() - 1; ++i) {
        if (exec.at(i) == '%') {
            QCOMPARE(exec.at(++i), QChar('%'));
            program += '%';
        } else {
            program += (exec.at(i) == '\\') ? exec.at(++i) : exec.at(i);
        }
    }
    QCOMPARE(program, folder + "/zemo-configurator");
    QCOMPARE(unescape(keys.value("Path")), folder);
    QCOMPARE(unescape(keys.value("Icon")), folder + "/zemo-configurator.svg");
    QVERIFY(QFileInfo(unescape(keys.value("Icon"))).isFile());

    QVERIFY2(run(folder + "/install-menu-entry.sh", {"--remove"}, &output, environment),
             qPrintable(output));
    QVERIFY(!QFile::exists(entry));
}

// Made twice, the update archive is the same bytes; its manifest names every file and is signed
// with the key ZEMO_SIGNING_KEY names, else with the test key this build trusts.
void TestRelease::updateArchiveIsSignedAndRepeatable()
{
    QString output;
    const QString again = m_tmp.filePath("again/zemo-configurator_" + kNextVersion + ".zip");
    QVERIFY2(pack("update", kNextVersion, ZEMO_NEXT_CONFIGURATOR, again, &output),
             qPrintable(output));
    const QByteArray first = readTestFile(m_update);
    QVERIFY(!first.isEmpty());
    QVERIFY(readTestFile(again) == first);

    const QString keyFile = m_tmp.filePath("release-key.pem");
    QVERIFY(writeTestFile(keyFile, foreignSigningKey()));
    const QString foreign = m_tmp.filePath("foreign/zemo-configurator_" + kNextVersion + ".zip");
    QVERIFY2(pack("update", kNextVersion, ZEMO_NEXT_CONFIGURATOR, foreign, &output, keyFile),
             qPrintable(output));

    bool whole = false;
    const QList<ZipDirectory::Entry> entries = ZipDirectory::read(first, &whole);
    QVERIFY(whole);
    QStringList names;
    for (const ZipDirectory::Entry &entry : entries)
        names << entry.name;
    QCOMPARE(names.mid(0, 3),
             QStringList({"zemo-update.manifest", "zemo-update.sig", "program/LICENSE"}));
    for (const char *name : {"startupd.sh", "program/zemo-configurator", "program/NOTICES.txt",
                             "program/LICENSE-ptsans.txt"})
        QVERIFY2(names.contains(name), name);
    QString error;
    const QByteArray manifest = ZipDirectory::data(first, entries.at(0), &error);
    const QByteArray signature = ZipDirectory::data(first, entries.at(1), &error);
    QList<UpdateManifest::Entry> listed;
    QVERIFY2(UpdateManifest::parse(manifest, &listed, &error), qPrintable(error));
    QCOMPARE(listed.size(), names.size() - 2);
    QVERIFY(UpdateManifest::verify(manifest, signature, UpdateManifest::builtInPublicKey()));

    const QByteArray other = readTestFile(foreign);
    const QList<ZipDirectory::Entry> otherEntries = ZipDirectory::read(other, &whole);
    QVERIFY(whole && otherEntries.size() == entries.size());
    QCOMPARE(ZipDirectory::data(other, otherEntries.at(0), &error), manifest);
    QVERIFY(!UpdateManifest::verify(manifest, ZipDirectory::data(other, otherEntries.at(1), &error),
                                    UpdateManifest::builtInPublicKey()));
}

// What the program writes goes to its own folder when that is the user's portable folder, and
// to the user's data folder when a package installed it or the folder is another user's; the
// shipped files are read from the program folder in every case.
void TestRelease::dataFolder_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("xdgDataHome"); // "abs": a folder of the test
    QTest::addColumn<bool>("portable");
    QTest::addColumn<QString>("userData"); // relative to HOME, or "abs"
    QTest::newRow("the user's folder") << "own"
                                       << "abs" << true << "abs";
    QTest::newRow("installed by a package") << "package"
                                            << "abs" << false << "abs";
    QTest::newRow("another user's folder") << "foreign"
                                           << "abs" << false << "abs";
    QTest::newRow("no XDG_DATA_HOME") << "package"
                                      << "" << false << ".local/share/zemo-configurator";
    QTest::newRow("relative XDG_DATA_HOME is ignored")
            << "package"
            << "relative/share" << false << ".local/share/zemo-configurator";
}

void TestRelease::dataFolder()
{
    QFETCH(QString, folder);
    QFETCH(QString, xdgDataHome);
    QFETCH(bool, portable);
    QFETCH(QString, userData);
    QTemporaryDir home;
    TempProgramDir program(true);
    const QByteArray oldHome = qgetenv("HOME"), oldXdg = qgetenv("XDG_DATA_HOME");
    const auto restore = qScopeGuard([&] {
        qputenv("HOME", oldHome);
        qputenv("XDG_DATA_HOME", oldXdg);
    });
    qputenv("HOME", home.path().toUtf8());
    const QString xdg = xdgDataHome == "abs" ? home.filePath("data") : xdgDataHome;
    qputenv("XDG_DATA_HOME", xdg.toUtf8());
    if (folder == "package") {
        QVERIFY(writeTestFile(program.filePath(AppPaths::packageMarkerName()), "package\n"));
    } else if (folder == "foreign") {
        // Root hands the folder to nobody; anyone else cannot write a folder without write bits.
        if (::geteuid() == 0)
            QCOMPARE(::chown(QFile::encodeName(program.path()).constData(), 65534, 65534), 0);
        else
            QVERIFY(QFile::setPermissions(program.path(), QFile::ReadOwner | QFile::ExeOwner));
    }
    const auto reopen = qScopeGuard([&] {
        if (::geteuid() == 0 && ::chown(QFile::encodeName(program.path()).constData(), 0, 0) != 0)
            qWarning("folder not given back to root: %s", qPrintable(program.path()));
        QFile::setPermissions(program.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });

    const QString expectedUserData = userData == "abs" ? xdg + "/zemo-configurator"
                                                       : home.filePath(userData);
    QCOMPARE(AppPaths::userDataDir(), expectedUserData);
    QCOMPARE(AppPaths::selfUpdateAllowed(), portable);
    const QString written = portable ? program.path() : expectedUserData;
    QCOMPARE(AppPaths::dataDir(), written);
    QCOMPARE(settingsFilePath(), written + "/settings.conf");
    QCOMPARE(LogHandler::logFilePath(), written + "/zemo2xx.log");
    for (const char *name : {"cmd_history.txt", "firmware", "updates/update.zip"})
        QCOMPARE(AppPaths::filePath(name), written + "/" + name);
    for (const char *name : {"devices.db", "translations/en.qm", "help/guide.pdf"})
        QCOMPARE(AppPaths::filePath(name), program.path() + "/" + name);
    QVERIFY(QFileInfo(written).isDir());

    // The first start writes its language there and nowhere else.
    writeSetting("Language", "lang", "en");
    QCOMPARE(QSettings(written + "/settings.conf", QSettings::IniFormat).value("Language/lang"),
             QVariant("en"));
    if (!portable)
        QVERIFY(!QFile::exists(program.filePath("settings.conf")));
}

// The Debian package: its files where a distribution puts them, Depends worked out from the
// programs, and, unpacked as dpkg unpacks it, programs that run from the PATH's links: zemo-cli
// reads a simulated reader, and the configurator keeps its settings and log in the user's data
// folder and writes nothing into its own.
void TestRelease::packageInstallsLikeASystemProgram()
{
    if (QStandardPaths::findExecutable("dpkg-shlibdeps").isEmpty())
        QSKIP("dpkg-shlibdeps is missing: make release-deps installs the release tools");
    QString output;
    QVERIFY2(run("dpkg", {"--print-architecture"}, &output), qPrintable(output));
    const QString architecture = output.split('\n').value(1).trimmed();
    const QString deb = m_tmp.filePath("dist/zemo-configurator_" + AppVersion::text() + "_"
                                       + architecture + ".deb");
    QVERIFY2(run("/bin/sh",
                 {ZEMO_SOURCE_DIR "/release/make-deb.sh", AppVersion::text(), ZEMO_APP_BUILD_DIR,
                  deb},
                 &output),
             qPrintable(output));

    QVERIFY2(run("dpkg-deb", {"-c", deb}, &output), qPrintable(output));
    QStringList listed;
    for (const QString &line : output.split('\n', Qt::SkipEmptyParts).mid(1)) {
        const QStringList fields = line.simplified().split(' ');
        if (fields.size() < 6 || line.startsWith('d'))
            continue;
        QCOMPARE(fields.at(1), QString("root/root"));
        listed << fields.mid(5).join(' ');
    }
    listed.sort();
    const QString lib = "./usr/lib/zemo-configurator/";
    QStringList expected
            = {"./usr/bin/zemo-cli -> ../lib/zemo-configurator/zemo-cli",
               "./usr/bin/zemo-configurator -> ../lib/zemo-configurator/zemo-configurator",
               lib + "devices.db",
               lib + "installed-by-package",
               lib + "translations/en.qm",
               lib + "zemo-cli",
               lib + "zemo-configurator",
               "./usr/share/applications/zemo-configurator.desktop",
               "./usr/share/doc/zemo-configurator/NOTICES.txt",
               "./usr/share/doc/zemo-configurator/changelog.gz",
               "./usr/share/doc/zemo-configurator/copyright",
               "./usr/share/icons/hicolor/scalable/apps/zemo-configurator.svg",
               "./usr/share/man/man1/zemo-cli.1.gz",
               "./usr/share/man/man1/zemo-configurator.1.gz"};
    for (const QString &pdf : QDir(ZEMO_SOURCE_DIR "/help").entryList({"*.pdf"}, QDir::Files))
        expected << lib + "help/" + pdf;
    expected.sort();
    QCOMPARE(listed, expected);

    QVERIFY2(run("dpkg-deb", {"-f", deb, "Depends"}, &output), qPrintable(output));
    for (const char *package :
         {"libc6", "libqt5core5a", "libqt5widgets5", "libqt5serialport5", "libqt5sql5-sqlite",
          "libqt5svg5", "libudev1", "libssl3", "xdg-utils"})
        QVERIFY2(output.contains(QString(package) + " ") || output.contains(QString(package) + ",")
                         || output.trimmed().endsWith(package),
                 qPrintable(QString(package) + " not in " + output));

    const QString root = m_tmp.filePath("system");
    QVERIFY2(run("dpkg-deb", {"-x", deb, root}, &output), qPrintable(output));
    const QString programFolder = root + "/usr/lib/zemo-configurator";
    const QMap<QString, QByteArray> shipped = filesBelow(programFolder);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString home = m_tmp.filePath("home");
    QVERIFY(QDir().mkpath(home));
    environment.insert("HOME", home);
    environment.remove("XDG_DATA_HOME");
    const QString data = home + "/.local/share/zemo-configurator";

    SimBus bus;
    QVERIFY(bus.open());
    bus.addReader(simReader(4, 19200, "1.3.2"));
    QProcess cli;
    cli.setProcessEnvironment(environment);
    cli.start(root + "/usr/bin/zemo-cli",
              {"--port", bus.devicePath(), "--address", "4", "--json", "read"});
    QVERIFY(QTest::qWaitFor([&] { return cli.state() == QProcess::NotRunning; }, 60000));
    const QByteArray answer = cli.readAllStandardOutput();
    QVERIFY2(cli.exitCode() == 0 && answer.contains("\"firmware\":\"1.3.2\""),
             qPrintable(answer + cli.readAllStandardError()));

    QProcess program;
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(QDir::rootPath());
    program.start(root + "/usr/bin/zemo-configurator", {"-log"});
    QVERIFY(program.waitForStarted());
    auto language = [&] {
        return QSettings(data + "/settings.conf", QSettings::IniFormat).value("Language/lang");
    };
    const bool up = QTest::qWaitFor([&] { return language().isValid(); }, 30000);
    program.terminate();
    program.waitForFinished(10000);
    QVERIFY2(up, program.readAllStandardError().constData());
    QVERIFY(QFile::exists(data + "/zemo2xx.log"));
    QCOMPARE(banners(data), QStringList {AppVersion::text()});
    // The program folder is as the package left it.
    QCOMPARE(filesBelow(programFolder).keys(), shipped.keys());
}

// The update check tells of a new configurator in any install; only a portable folder offers to
// download it, a package install points at the package manager.
void TestRelease::newConfiguratorOfAPackage_data()
{
    QTest::addColumn<bool>("package");
    QTest::addColumn<QString>("boxes");
    QTest::newRow("portable folder")
            << false
            << "Question Обновление конфигуратора | Доступно обновление конфигуратора v9.9.9<br>"
               "Загрузить обновление?";
    QTest::newRow("package install")
            << true
            << "Information Обновление конфигуратора | Доступна новая версия конфигуратора "
               "v9.9.9. Установите её менеджером пакетов системы.";
}

void TestRelease::newConfiguratorOfAPackage()
{
    QFETCH(bool, package);
    QFETCH(QString, boxes);
    QTemporaryDir data;
    const QByteArray oldXdg = qgetenv("XDG_DATA_HOME");
    const auto restore = qScopeGuard([&] { qputenv("XDG_DATA_HOME", oldXdg); });
    qputenv("XDG_DATA_HOME", data.path().toUtf8());
    WindowRig rig;
    if (package)
        QVERIFY(writeTestFile(rig.dir.filePath(AppPaths::packageMarkerName()), "package\n"));
    rig.boxes.clear();
    rig.boxes.answers << Prompt::No;
    rig.w().swUpdated("9.9.9", 1000, "zemo-configurator_9.9.9.zip");
    QCOMPARE(rig.boxes.describe(), boxes);
    QVERIFY(!QFile::exists(rig.dir.filePath("updates/update.zip")));
}

// No program opens the guide: a box says where it lies, instead of nothing at all.
void TestRelease::helpWithoutAViewerSaysWhere()
{
    WindowRig rig;
    const QString guide = rig.dir.filePath("help/guide.pdf");
    QVERIFY(writeTestFile(guide, "%PDF-1.4\n"));
    rig.boxes.clear();
    rig.boxes.urlsOpen = false;
    rig.w().helpShow();
    QCOMPARE(rig.boxes.openedUrls, QList<QUrl>({QUrl::fromLocalFile(guide)}));
    QCOMPARE(rig.boxes.boxes.size(), 1);
    QCOMPARE(int(rig.boxes.boxes.first().icon), int(Prompt::Information));
    QVERIFY2(rig.boxes.boxes.first().text.endsWith(guide), qPrintable(rig.boxes.describe()));
}

void TestRelease::selfUpdate_data()
{
    QTest::addColumn<bool>("copyFails");
    QTest::newRow("installed") << false;
    // The program folder's translations folder is read only: the copy of en.qm fails.
    QTest::newRow("a copy fails") << true;
}

// A release of this version finds, downloads and installs the next one from the update server
// and ends; the script replaces the program files and starts the new program, keeping the
// engineer's files. When a copy fails, nothing is replaced and the old program starts again.
void TestRelease::selfUpdate()
{
    QFETCH(bool, copyFails);
    const QString folder = unpackRelease(QString("update %1").arg(copyFails));
    const QByteArray oldProgram = readTestFile(folder + "/zemo-configurator");

    UpdateServerRig updates;
    QVERIFY(updates.listening);
    QVERIFY(updates.serve("zemo-configurator_" + kNextVersion + ".zip", readTestFile(m_update)));

    // The engineer's files, and the log of earlier runs.
    QVERIFY(writeTestFile(folder + "/settings.conf",
                          "[Language]\nlang=ru\n\n[RemConf]\nlastImei=861234567890123\n\n"
                          "[Survey]\nStatus=false\n\n"
                                  + updates.settingsText()));
    QVERIFY(writeTestFile(folder + "/cmd_history.txt", "0100\n0300 00 00 25 80\n"));
    QVERIFY(writeTestFile(folder + "/firmware/Zemo200_v1.4.0_update.bin",
                          firmwareTestImage(200, 1, 4, 0, 3000)));
    QVERIFY(writeTestFile(folder + "/configs/reader 7.xml", "<configuration/>"));
    const QByteArray earlierLog = "LogDebug[01.12.2026 10:00:00.000]: an earlier run\r\n";
    QVERIFY(writeTestFile(folder + "/zemo2xx.log", earlierLog));
    const QStringList userFiles = {"settings.conf", "cmd_history.txt",
                                   "firmware/Zemo200_v1.4.0_update.bin", "configs/reader 7.xml"};
    QMap<QString, QByteArray> before;
    for (const QString &name : userFiles)
        before.insert(name, readTestFile(folder + "/" + name));

    std::unique_ptr<FaultyFolder> readOnly;
    if (copyFails) {
        readOnly.reset(new FaultyFolder(FaultyFolder::ReadOnly, folder + "/translations"));
        if (!readOnly->engage())
            QSKIP(qPrintable(readOnly->skipReason()));
    }

    QProcess old;
    old.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // The hand-over ends the process without taking the window down.
    environment.insert("ASAN_OPTIONS", environment.value("ASAN_OPTIONS") + ":detect_leaks=0");
    old.setProcessEnvironment(environment);
    old.start(QCoreApplication::applicationFilePath(), {"--old-configurator", folder, "-console"});
    QVERIFY(old.waitForStarted());
    // The update server of this process answers while the configurator works: the wait runs
    // the event loop throughout (QTest::qWaitFor sleeps 10 ms between rounds, which would hold
    // every chunk of the download that long).
    const bool ended = LinkOnBus::waitFor([&] { return old.state() == QProcess::NotRunning; },
                                          90000);
    const QByteArray oldOutput = old.readAll();
    if (!ended)
        old.kill();
    const bool handedOver = ended && old.exitStatus() == QProcess::NormalExit
                            && old.exitCode() == 0;
    // QtTest cuts long failure messages: the end of the configurator's output goes to the log.
    if (!handedOver)
        qWarning().noquote() << "the configurator's output:\n" + oldOutput.right(6000);
    QVERIFY2(handedOver, qPrintable(QString("exit code %1").arg(old.exitCode())));

    // The script starts the configurator again: the new one, or the old one after a failure.
    StartedConfigurator started;
    started.folder = folder;
    const QString scriptLog = folder + "/updates/startupd.log";
    static const QRegularExpression startedLine(QStringLiteral("started .*, process (\\d+)"));
    QVERIFY2(QTest::qWaitFor(
                     [&] {
                         const QRegularExpressionMatch match = startedLine.match(
                                 QString::fromUtf8(readTestFile(scriptLog)));
                         started.pid = match.captured(1).toLongLong();
                         return match.hasMatch();
                     },
                     90000),
             readTestFile(scriptLog).constData());
    QVERIFY2(QTest::qWaitFor([&] { return banners(folder).size() == 2; }, 30000),
             readTestFile(scriptLog).constData());
    const QString expectedVersion = copyFails ? AppVersion::text() : kNextVersion;
    QCOMPARE(banners(folder), QStringList({AppVersion::text(), expectedVersion}));
    QCOMPARE(QFile::symLinkTarget(QString("/proc/%1/exe").arg(started.pid)),
             folder + "/zemo-configurator");

    const QString log = QString::fromUtf8(readTestFile(scriptLog));
    const QMap<QString, QByteArray> unpacked = filesBelow(folder + "/updates/program");
    QVERIFY(unpacked.contains("zemo-configurator") && unpacked.contains("translations/en.qm"));
    if (copyFails) {
        QVERIFY2(log.contains("cannot copy translations/en.qm: nothing replaced"), qPrintable(log));
        QVERIFY(readTestFile(folder + "/zemo-configurator") == oldProgram);
    } else {
        QVERIFY2(log.contains(QString("installed %1 files").arg(unpacked.size())), qPrintable(log));
        QVERIFY(readTestFile(folder + "/zemo-configurator") != oldProgram);
        for (auto it = unpacked.cbegin(); it != unpacked.cend(); ++it)
            QVERIFY2(readTestFile(folder + "/" + it.key()) == it.value(), qPrintable(it.key()));
        QVERIFY(QFileInfo(folder + "/zemo-configurator").isExecutable());
    }
    for (const QString &name : filesBelow(folder).keys())
        QVERIFY2(!name.contains(".upd-"), qPrintable(name));
    for (const QString &name : userFiles)
        QVERIFY2(readTestFile(folder + "/" + name) == before.value(name), qPrintable(name));
    QVERIFY(readTestFile(folder + "/zemo2xx.log").startsWith(earlierLog));

    started.stop();
}

int main(int argc, char *argv[])
{
    if (argc >= 3 && qstrcmp(argv[1], "--old-configurator") == 0)
        return runOldConfigurator(argc, argv);
    QApplication app(argc, argv);
    TestRelease test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_release.moc"
