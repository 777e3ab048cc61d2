#include "net.h"

#include "apppaths.h"
#include "firmwareheader.h"
#include "firmwareimage.h"
#include "remotedefaults.h"
#include "settings.h"
#include "updateprotocol.h"

#include <QBuffer>
#include <QDebug>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QTcpSocket>
#include <QTime>
#include <QTimer>
#include <QUrl>

namespace {
// Account of the update host's FTP service.
const char *const kFtpUser = "qmvbx";
const char *const kFtpPassword = "qmvbx";
// The archive behind an FTP download starts after a 16-byte block of the server's own.
constexpr int kFtpBodyOffset = 16;
// An FTP transfer that brings no byte for this long is abandoned (and the chunked download
// tried instead).
constexpr int kFtpStallMs = 30000;
} // namespace

Net::Net(QObject *parent)
    : QObject(parent)
{
    qDebug().noquote() << "/C:14"
                       << "\n----------------Updater Started----------------";

    m_socket = new QTcpSocket(this);
    m_transferTimer = new QTimer(this);
    m_transferTimer->setInterval(TransferTickMs);
    m_receiveBuffer = new QBuffer(this);
    m_answerTimer = new QTimer(this);

    connect(m_transferTimer, &QTimer::timeout, this, &Net::timeCounter);
    connect(m_socket, &QTcpSocket::connected, this, &Net::connectToHostOk);
    connect(m_socket, &QTcpSocket::readyRead, this, &Net::readData);
    connect(m_socket, &QTcpSocket::disconnected, this, &Net::connectionClosed);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &Net::socketError);
    connect(m_answerTimer, &QTimer::timeout, this, &Net::answerTimeout);

    m_serverHost = QString::fromLatin1(kDefaultServerHost);
    m_serverPort = kDefaultServerPort;

    const QVariant host = readSetting(QStringLiteral("UpdateServer"), QStringLiteral("IP"));
    const QVariant port = readSetting(QStringLiteral("UpdateServer"), QStringLiteral("Port"));
    if (host.isValid() && port.isValid()) {
        m_serverHost = host.toString();
        m_serverPort = port.toInt();
    } else {
        writeSetting(QStringLiteral("UpdateServer"), QStringLiteral("IP"),
                     QString::fromLatin1(kDefaultServerHost));
        writeSetting(QStringLiteral("UpdateServer"), QStringLiteral("Port"), kDefaultServerPort);
    }
}

Net::~Net()
{
    // Leaving quietly: the window that listens is going away too.
    m_socket->blockSignals(true);
    m_socket->abort();
    delete m_socket;
}

void Net::checkUpdates(QString curVer, QString devID, bool flag)
{
    m_softwareDownload = false;
    m_progressStep = 0;
    m_currentVersion = curVer;
    m_deviceName = devID;
    m_firmwareCheck = flag;
    connectToServer();
}

void Net::reqestDownloadSw(QString swVer, qint64 swFSize, QString swFileName)
{
    // A 1000-byte chunk advances the progress by one share of 0..100000.
    if (swFSize / 1000 > 0)
        m_progressStep = int(100000 / (swFSize / 1000));
    m_firmwareCheck = false;
    m_softwareDownload = true;
    m_currentVersion = swVer;
    m_swFileName = swFileName;
    m_swFileSize = swFSize;
    connectToServer();
}

void Net::connectToServer()
{
    m_receivedBytes = 0;
    m_errorCount = 0;
    m_transferOpen = false;
    qDebug().noquote() << "UPDATER: Connecting to server "
                                  + QStringLiteral("%1:%2").arg(m_serverHost).arg(m_serverPort)
                       << "...";
    if (m_socket->state() != QAbstractSocket::UnconnectedState) {
        m_socket->blockSignals(true);
        m_socket->abort();
        m_socket->blockSignals(false);
    }
    m_socket->connectToHost(m_serverHost, quint16(m_serverPort), QIODevice::ReadWrite,
                            QAbstractSocket::AnyIPProtocol);
}

void Net::connectToHostOk()
{
    qDebug().noquote() << "UPDATER:"
                       << QStringLiteral("Connect to server %1:%2 OK")
                                  .arg(m_serverHost)
                                  .arg(m_serverPort)
                       << "/C:2";
    if (m_firmwareCheck) {
        qDebug().noquote() << "UPDATER: Check Firmware version";
        checkFwVer(m_currentVersion);
    } else if (!m_softwareDownload) {
        qDebug().noquote() << "UPDATER: Check Software version";
        checkSwVer(m_currentVersion);
    } else {
        qDebug().noquote() << "UPDATER: Start downloading software";
        if (ftpAnswers()) {
            qDebug().noquote() << "UPDATER: FTP server state OK!";
            emit setMaxProgress(int(m_swFileSize));
            downloadUpdateSwFromFtp(m_swFileName);
        } else {
            qDebug().noquote() << "UPDATER: FTP server not answer. Classic download...";
            downloadUpdateSw(m_currentVersion);
        }
    }
}

bool Net::ftpAnswers()
{
    // A throw-away connection to the FTP port of the same host; it blocks for at most the probe
    // time, which a refused port ends at once.
    QTcpSocket probe;
    probe.connectToHost(m_serverHost, FtpPort);
    const bool ok = probe.waitForConnected(FtpProbeTimeoutMs);
    probe.abort();
    return ok;
}

bool Net::socketReady()
{
    m_answerTimer->stop();
    if (m_socket->state() != QAbstractSocket::ConnectedState || !m_socket->isOpen()
        || (m_socket->openMode() & QIODevice::ReadWrite) != QIODevice::ReadWrite) {
        qDebug().noquote() << "/C:12"
                           << "UPDATER: Error open TCP socket.";
        return false;
    }
    return true;
}

void Net::startTransferClock()
{
    m_transferTimer->start(TransferTickMs);
    m_elapsedMs = 0;
}

void Net::openTransfer()
{
    // Bytes of an interrupted transfer must not leak into the next file.
    dropTransfer();
    m_receiveBuffer->open(QIODevice::ReadWrite);
    m_transferOpen = true;
}

void Net::dropTransfer()
{
    m_transferOpen = false;
    m_receiveBuffer->close();
    m_receiveBuffer->setData(QByteArray());
}

void Net::sendText(const QByteArray &text)
{
    if (m_socket->state() == QAbstractSocket::ConnectedState)
        m_socket->write(text);
}

void Net::checkFwVer(QString ver)
{
    if (!socketReady())
        return;
    openTransfer();
    startTransferClock();
    qDebug().noquote() << "UPDATER: TCP socket open OK. Check new firmware for " + m_deviceName
                       << "...";
    m_answerTimer->start(AnswerTimeoutMs);
    sendText(UpdateProtocol::firmwareCheckRequest(ver,
                                                  UpdateProtocol::timeStamp(QTime::currentTime()),
                                                  m_deviceName));
}

void Net::checkSwVer(QString ver)
{
    if (!socketReady())
        return;
    startTransferClock();
    qDebug().noquote() << "UPDATER: TCP socket open OK. Check new software";
    m_answerTimer->start(AnswerTimeoutMs);
    sendText(UpdateProtocol::softwareCheckRequest(ver,
                                                  UpdateProtocol::timeStamp(QTime::currentTime())));
}

void Net::downloadUpdateSw(QString ver)
{
    if (!socketReady())
        return;
    openTransfer();
    startTransferClock();
    qDebug().noquote() << "UPDATER: TCP socket open OK. Download new software";
    m_answerTimer->start(AnswerTimeoutMs);
    m_progressValue = 0;
    sendText(UpdateProtocol::softwareDownloadRequest(ver, UpdateProtocol::timeStamp(
                                                                  QTime::currentTime())));
}

void Net::downloadUpdateSwFromFtp(QString name)
{
    qDebug().noquote() << "UPDATER: Start download file from FTP...";
    prepareUpdatesFolder();
    // The server's connection may close while the file comes over FTP: the exchange then ends
    // with the download, not before it.
    m_ftpActive = true;
    m_closedDuringFtp = false;

    QUrl url(QStringLiteral("ftp://") + m_serverHost + QLatin1Char('/') + name, QUrl::TolerantMode);
    url.setUserName(QString::fromLatin1(kFtpUser));
    url.setPassword(QString::fromLatin1(kFtpPassword));

    // A manager of its own: a shared one would keep the logged-in FTP connection.
    QNetworkAccessManager manager;
    QNetworkReply *reply = manager.get(QNetworkRequest(url));
    connect(reply, &QNetworkReply::downloadProgress, this, &Net::downloadProgress);

    QEventLoop loop;
    QTimer stall;
    stall.setSingleShot(true);
    bool oversized = false;
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    connect(reply, &QNetworkReply::downloadProgress, &stall,
            [&stall, &oversized, reply](qint64 received) {
                stall.start(kFtpStallMs);
                // The reply keeps the whole body in memory: a server that sends on and on is
                // cut off.
                if (received > MaxArchiveBytes + kFtpBodyOffset && !oversized) {
                    oversized = true;
                    qDebug().noquote() << "/C:12"
                                       << QStringLiteral("UPDATER: FTP download abandoned: more "
                                                         "than %1 bytes")
                                                  .arg(MaxArchiveBytes);
                    reply->abort();
                }
            });
    connect(&stall, &QTimer::timeout, reply, &QNetworkReply::abort);
    stall.start(kFtpStallMs);
    if (!reply->isFinished())
        loop.exec();
    stall.stop();

    m_ftpActive = false;
    bool failed = reply->error() != QNetworkReply::NoError;
    if (failed)
        qDebug().noquote() << "UPDATER: Reply error: "
                                      + UpdateProtocol::withoutCredentials(reply->errorString());

    // Only a whole download becomes update.zip, and only once it is completely on disk.
    if (!failed) {
        const QByteArray body = reply->readAll();
        const qint64 archiveSize = qMax(0, body.size() - kFtpBodyOffset);
        // A reply without error may still bring nothing (a server that refuses a command the
        // transfer begins with): no archive is no download.
        if (archiveSize == 0) {
            qDebug().noquote() << "/C:12"
                               << "UPDATER: The FTP download brought no archive";
            failed = true;
        }
        QSaveFile file(programFolder(QStringLiteral("updates")) + QStringLiteral("/update.zip"));
        bool stored = !failed && file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        if (stored && archiveSize > 0)
            stored = file.write(body.constData() + kFtpBodyOffset, archiveSize) == archiveSize;
        if (stored)
            stored = file.commit();
        if (!failed && !stored) {
            qDebug().noquote() << "/C:12"
                               << "UPDATER: Cannot write " + file.fileName() + ": "
                                          + file.errorString();
            failed = true;
        }
    }
    delete reply;

    if (failed) {
        if (m_socket->state() == QAbstractSocket::ConnectedState) {
            qDebug().noquote()
                    << "UPDATER: Download update from FTP server error. Classic download...";
            downloadUpdateSw(m_currentVersion);
            return;
        }
        // No connection left to download over: the exchange failed.
        qDebug().noquote() << "/C:12"
                           << "UPDATER: Download update from FTP server error, and the server "
                              "has closed the connection";
        m_closedDuringFtp = false;
        emit updaterFinished(Closed);
        emit updaterFinished(NoAnswer);
        return;
    }
    qDebug().noquote() << "UPDATER: File downloaded OK!";
    if (m_closedDuringFtp) {
        m_closedDuringFtp = false;
        emit updaterFinished(Closed);
    } else {
        closeConnection();
    }
    emit swDownloaded();
}

void Net::downloadProgress(qint64 bytesReceived, qint64 totalBytes)
{
    Q_UNUSED(totalBytes)
    emit updateProgress(int(bytesReceived));
}

void Net::readData()
{
    const QByteArray bytes = m_socket->readAll();
    // Every delivery is examined by itself: a message split over two deliveries is not joined.
    const QString text = UpdateProtocol::answerText(bytes);

    const bool done = UpdateProtocol::isTransferDone(text);
    // Only a message of the protocol counts as an answer: a server that sends anything else,
    // however much of it, is given up when the watchdog runs out.
    if (!done && !UpdateProtocol::isFirmwareUpToDate(text)
        && !UpdateProtocol::isSoftwareUpToDate(text) && !UpdateProtocol::isSoftwareOffer(text)
        && !UpdateProtocol::isChunk(text))
        return;
    m_answerTimer->stop();

    // The last chunk and "complite" may come in one delivery: the chunk is taken first, so
    // that the file is stored whole.
    if (UpdateProtocol::isChunk(text) && !takeChunk(text))
        return;

    if (done) {
        // Only a file that was asked for is stored.
        if (m_transferOpen)
            finishTransfer();
        else
            qDebug().noquote() << "/C:12"
                               << "UPDATER: End of a transfer that was not asked for, ignored";
    }

    if (UpdateProtocol::isFirmwareUpToDate(text)) {
        qDebug().noquote() << "UPDATER: FW Is UpToDate.";
        dropTransfer();
        closeConnection();
        emit fwIsUpToDate();
    }

    if (UpdateProtocol::isSoftwareUpToDate(text)) {
        qDebug().noquote() << "UPDATER: SW Is UpToDate.";
        emit swIsUpToDate();
        closeConnection();
    }

    if (UpdateProtocol::isSoftwareOffer(text)) {
        const UpdateProtocol::SoftwareOffer offer = UpdateProtocol::parseSoftwareOffer(text, bytes);
        qDebug().noquote() << "UPDATER: SW ver on server: " + offer.version
                           << "Size: " << offer.size;
        closeConnection();
        emit availableSw(offer.version, offer.size, offer.fileName);
    }
}

bool Net::takeChunk(const QString &text)
{
    m_answerTimer->start(AnswerTimeoutMs);
    const UpdateProtocol::Chunk chunk = UpdateProtocol::parseChunk(text);
    if (chunk.matches() && m_receiveBuffer->size() + chunk.count > transferLimit()) {
        qDebug().noquote() << "/C:12"
                           << QStringLiteral("UPDATER: Transfer abandoned: more than %1 bytes")
                                      .arg(transferLimit());
        abandonExchange();
        return false;
    }
    if (chunk.matches()) {
        m_receivedBytes += chunk.count;
        if (m_softwareDownload) {
            m_progressValue += m_progressStep;
            emit updateProgress(m_progressValue);
        }
        m_receiveBuffer->write(chunk.data);
        sendText(UpdateProtocol::chunkAccepted(chunk));
    } else {
        sendText(UpdateProtocol::chunkRejected());
        qDebug().noquote() << "/C:12"
                           << "UPDATER: Error receive part";
        ++m_errorCount;
    }
    return true;
}

void Net::finishTransfer()
{
    m_transferTimer->stop();
    qDebug().noquote() << "UPDATER: Recive done!";
    const float seconds = float(m_elapsedMs) / 1000.0f;
    qDebug().noquote() << "UPDATER: \n**************************\nTransfer time:" << seconds
                       << "sec";
    const float speed = float(m_receivedBytes) / seconds / 1024.0f;
    qDebug().noquote() << "UPDATER: Speed: " << speed << "KB/Sec";
    qDebug().noquote() << "UPDATER: Errors count: " << m_errorCount
                       << "\n**************************\n";
    m_elapsedMs = 0;
    m_receivedBytes = 0;
    m_errorCount = 0;

    const QByteArray data = m_receiveBuffer->data();
    QString target;
    if (m_firmwareCheck) {
        QDir().mkpath(programFolder(QStringLiteral("firmware")));
        target = programFolder(QStringLiteral("firmware")) + QLatin1Char('/')
                 + FirmwareHeader::storageName(data);
    } else {
        prepareUpdatesFolder();
        target = programFolder(QStringLiteral("updates")) + QStringLiteral("/update.zip");
    }

    // Written beside the target and renamed over it when complete: a full disk or a read-only
    // folder leaves no half-written file and keeps an earlier one. Unbuffered, so that a write
    // the disk refuses fails the commit; a failed flush of a buffer at the commit would not.
    QSaveFile file(target);
    bool stored = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)
                  && file.write(data) == data.size() && file.commit();
    if (!stored)
        qDebug().noquote() << "/C:12"
                           << "UPDATER: Cannot write " + target + ": " + file.errorString();
    dropTransfer();
    closeConnection();

    // A file that could not be written is not reported as downloaded; the exchange ends as
    // one that failed, after the closing's 0.
    if (!stored) {
        emit updaterFinished(FileNotStored);
        return;
    }
    if (m_firmwareCheck)
        emit fwDownloaded();
    else
        emit swDownloaded();
}

void Net::closeConnection()
{
    m_socket->flush();
    m_socket->disconnectFromHost();
    if (m_socket->state() != QAbstractSocket::UnconnectedState)
        m_socket->abort();
    m_socket->close();
}

void Net::connectionClosed()
{
    qDebug().noquote() << "/C:16"
                       << "UPDATER: Connection closed";
    if (m_ftpActive) {
        m_closedDuringFtp = true;
        return;
    }
    if (m_answerTimer->isActive())
        m_answerTimer->stop();
    m_transferTimer->stop();
    // The server went away before the end of the file: what came of it is dropped, and the
    // exchange ends as one that failed.
    const bool interrupted = m_transferOpen;
    if (interrupted)
        qDebug().noquote() << "/C:12"
                           << QStringLiteral("UPDATER: Connection closed before the end of the "
                                             "file, %1 bytes dropped")
                                      .arg(m_receiveBuffer->size());
    dropTransfer();
    emit updaterFinished(0);
    if (interrupted)
        emit updaterFinished(2);
}

void Net::socketError(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        qDebug().noquote() << "UPDATER: Connection Refused";
        qDebug().noquote() << "/C:12"
                           << "UPDATER: Server not available or dead.";
        emit updaterFinished(1);
        return;
    case QAbstractSocket::RemoteHostClosedError:
        // The disconnection that follows ends the exchange with 0.
        qDebug().noquote() << "UPDATER: Remote Host Closed";
        return;
    case QAbstractSocket::HostNotFoundError:
        qDebug().noquote() << "UPDATER: Host Not Found";
        break;
    case QAbstractSocket::SocketTimeoutError:
        qDebug().noquote() << "UPDATER: Socket Timeout";
        break;
    default:
        qDebug().noquote() << "UPDATER: Other soket error." << m_socket->errorString();
        break;
    }
    // The FTP download decides how the exchange ends.
    if (m_ftpActive)
        return;
    // The exchange cannot go on: end it, so that the window enables its check again and tells
    // the engineer that the server is not reachable.
    m_transferOpen = false;
    m_answerTimer->stop();
    m_transferTimer->stop();
    if (m_socket->state() != QAbstractSocket::UnconnectedState)
        m_socket->abort();
    emit updaterFinished(1);
}

void Net::timeCounter()
{
    m_elapsedMs += TransferTickMs;
}

void Net::answerTimeout()
{
    m_answerTimer->stop();
    qDebug().noquote() << "/C:12"
                       << "UPDATER: Timed out response. Disconnect from server.";
    abandonExchange();
}

void Net::abandonExchange()
{
    m_answerTimer->stop();
    m_transferTimer->stop();
    // The disconnection reports 0 as every closing does; 2 follows.
    dropTransfer();
    m_socket->disconnectFromHost();
    if (m_socket->state() != QAbstractSocket::UnconnectedState)
        m_socket->abort();
    m_socket->close();
    emit updaterFinished(2);
}

qint64 Net::transferLimit() const
{
    return m_firmwareCheck ? FirmwareImage::kMaxFileSize : MaxArchiveBytes;
}

QString Net::programFolder(const QString &name)
{
    return AppPaths::filePath(name);
}

void Net::prepareUpdatesFolder()
{
    const QString updates = programFolder(QStringLiteral("updates"));
    if (QFileInfo(updates).isDir())
        clearFolder(updates);
    else
        QDir().mkpath(updates);
}

void Net::clearFolder(const QString &path)
{
    const QFileInfoList entries = QDir(path).entryInfoList(QDir::AllEntries | QDir::Hidden
                                                           | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        if (entry.isDir() && !entry.isSymLink()) {
            clearFolder(entry.filePath());
            continue;
        }
        if (QFile::remove(entry.filePath()))
            continue;
        QFile file(entry.filePath());
        if (!(file.permissions() & QFileDevice::WriteOwner)) {
            file.setPermissions(file.permissions() | QFileDevice::WriteOwner);
            file.remove();
        }
    }
}
