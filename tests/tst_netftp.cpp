#include "net.h"
#include "netsignallog.h"
#include "settings.h"
#include "testsupport.h"
#include "updatetestfiles.h"

#include <QProcess>
#include <QtTest>

namespace {
// A real FTP server (pyftpdlib) on port 21 of a loopback address, serving one folder to the
// update host's account.
const char *const kFtpServer = R"PY(
import sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer
authorizer = DummyAuthorizer()
authorizer.add_user("qmvbx", "qmvbx", sys.argv[2], perm="elr")
FTPHandler.authorizer = authorizer
server = FTPServer((sys.argv[1], 21), FTPHandler)
print("ready", flush=True)
server.serve_forever()
)PY";

class FtpServer
{
public:
    // Empty text on success, else why it could not start.
    QString start(const QString &host, const QString &folder)
    {
        m_process.start("/usr/bin/python3", {"-c", kFtpServer, host, folder});
        if (!m_process.waitForStarted(5000))
            return "cannot start /usr/bin/python3";
        QByteArray out;
        QElapsedTimer clock;
        clock.start();
        while (!out.contains("ready") && clock.elapsed() < 15000) {
            if (m_process.state() == QProcess::NotRunning)
                return QString::fromLocal8Bit(m_process.readAllStandardError()).trimmed();
            m_process.waitForReadyRead(200);
            out += m_process.readAllStandardOutput();
        }
        return out.contains("ready") ? QString() : QStringLiteral("no answer from pyftpdlib");
    }
    ~FtpServer()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

private:
    QProcess m_process;
};
} // namespace

// A configurator archive over FTP from the update host, and the fall-back to the chunked
// download when the FTP transfer fails.
class TestNetFtp : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void downloadOverFtp();
    void ftpErrorFallsBackToChunks();
    void brokenFtpDownloads_data();
    void brokenFtpDownloads();

private:
    QScopedPointer<TempProgramDir> m_program;
    QScopedPointer<QTemporaryDir> m_ftpFolder;
    QScopedPointer<UpdateServerRig> m_server;
    QScopedPointer<FtpServer> m_ftp;
};

void TestNetFtp::init()
{
    m_program.reset(new TempProgramDir);
    m_ftpFolder.reset(new QTemporaryDir);
    m_server.reset(new UpdateServerRig);
    QVERIFY(m_server->listening);
    m_server->pointSettings();
    m_ftp.reset(new FtpServer);
    const QString problem = m_ftp->start(m_server->host, m_ftpFolder->path());
    if (!problem.isEmpty())
        QSKIP(qPrintable("No FTP server on " + m_server->host
                         + ":21 (needs python3-pyftpdlib and the "
                           "right to bind port 21): "
                         + problem));
}

void TestNetFtp::cleanup()
{
    m_ftp.reset();
    m_server.reset();
    m_program.reset();
}

void TestNetFtp::downloadOverFtp()
{
    // The FTP body is a 16-byte block of the server's own, then the archive.
    const QByteArray archive = QByteArray("PK\x03\x04") + QByteArray(5000, 'q');
    const QByteArray body = QByteArray(16, '#') + archive;
    QVERIFY(writeTestFile(m_ftpFolder->filePath("conf_0.4.0.zip"), body));
    writeTestFile(m_program->filePath("updates/old.txt"), "old");

    LogCapture capture;
    Net net;
    NetSignalLog log(&net);
    net.reqestDownloadSw("0.3.3", body.size(), "conf_0.4.0.zip");
    QTRY_COMPARE_WITH_TIMEOUT(log.events, QStringList({"finished(0)", "swDownloaded"}), 30000);

    QVERIFY(capture.contains("UPDATER: FTP server state OK!"));
    QVERIFY(capture.contains("UPDATER: File downloaded OK!"));
    const QByteArray stored = readTestFile(m_program->filePath("updates/update.zip"));
    QCOMPARE(stored.size(), body.size() - 16);
    QVERIFY(stored == archive);
    QVERIFY(!QFile::exists(m_program->filePath("updates/old.txt")));
    QCOMPARE(log.maxProgress, QList<int>({body.size()}));
    QVERIFY(!log.progress.isEmpty());
    QCOMPARE(log.progress.last(), body.size()); // raw byte counts
    QVERIFY(m_server->server->requests().isEmpty()); // nothing asked of the update server itself
}

void TestNetFtp::ftpErrorFallsBackToChunks()
{
    // The FTP server has no such file: its error is logged without the account, and the
    // archive comes over the update server's connection instead.
    const QByteArray archive(1500, 'c');
    m_server->serve("conf_0.4.0.zip", archive);

    LogCapture capture;
    Net net;
    NetSignalLog log(&net);
    net.reqestDownloadSw("0.3.3", archive.size(), "conf_0.4.0.zip");
    QTRY_COMPARE_WITH_TIMEOUT(log.events, QStringList({"finished(0)", "swDownloaded"}), 30000);

    QCOMPARE(capture.count("UPDATER: Reply error: "), 1);
    QCOMPARE(capture.count("qmvbx"), 0);
    QVERIFY(capture.contains(
            "UPDATER: Download update from FTP server error. Classic download..."));
    QCOMPARE(readTestFile(m_program->filePath("updates/update.zip")), archive);
    QCOMPARE(m_server->server->requests().size(), 1);
}

void TestNetFtp::brokenFtpDownloads_data()
{
    QTest::addColumn<bool>("serverCloses");
    QTest::addColumn<bool>("ftpDrops");
    QTest::addColumn<QStringList>("events");
    const QStringList downloaded = {"finished(0)", "swDownloaded"};
    // The update server closes its connection while the file still comes over FTP: the
    // exchange ends with the download, and only then.
    QTest::newRow("server closes during the download") << true << false << downloaded;
    // The FTP connections drop in the middle of the file: the archive comes in chunks instead.
    QTest::newRow("FTP drops") << false << true << downloaded;
    // Both: nothing is left to download over, and the exchange failed.
    QTest::newRow("FTP drops, server closed")
            << true << true << QStringList({"finished(0)", "finished(2)"});
}

// The update server double's own FTP service with its faults: a transfer either completes
// whole or is reported failed, never both.
void TestNetFtp::brokenFtpDownloads()
{
    QFETCH(bool, serverCloses);
    QFETCH(bool, ftpDrops);
    QFETCH(QStringList, events);
    UpdateServerSimSettings settings;
    settings.serveFtp = true;
    settings.closeOnFtpDownload = serverCloses;
    settings.ftpDataDelayMs = 300;
    settings.ftpCloseAfterBytes = ftpDrops ? 1000 : -1;
    UpdateServerRig rig(settings);
    if (!rig.listening)
        QSKIP(qPrintable("No FTP port 21 on " + rig.host));
    rig.pointSettings();
    QByteArray archive(5000, '\0');
    for (int i = 0; i < archive.size(); ++i)
        archive[i] = char(i * 7);
    QVERIFY(rig.serve("conf_0.4.0.zip", archive));
    const QString stored = m_program->filePath("updates/update.zip");

    Net net;
    NetSignalLog log(&net);
    // Where the archive is when each end of an exchange is told.
    QList<bool> storedAtFinish;
    connect(&net, &Net::updaterFinished, this,
            [&storedAtFinish, stored] { storedAtFinish << QFile::exists(stored); });
    net.reqestDownloadSw("0.3.3", archive.size(), "conf_0.4.0.zip");
    QTRY_COMPARE_WITH_TIMEOUT(log.events, events, 30000);
    QTest::qWait(200);
    QCOMPARE(log.events, events);
    QCOMPARE(rig.server->ftpDownloads(), 1);
    if (events.contains("swDownloaded")) {
        QCOMPARE(readTestFile(stored), archive);
        QCOMPARE(storedAtFinish, QList<bool>({true}));
    } else {
        QVERIFY(!QFile::exists(stored));
    }
}

QTEST_GUILESS_MAIN(TestNetFtp)
#include "tst_netftp.moc"
