#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QObject>
#include <QString>

class QBuffer;
class QTcpSocket;
class QTimer;

// The client of the update server. One exchange at a time over one TCP connection: a firmware
// check (answered "up to date" or with the new image as a chunk stream), a configurator check
// (answered "up to date" or with an offer) or a configurator download (over FTP from the same
// host when it answers on port 21, else as a chunk stream). Images go to the "firmware" folder,
// the archive to "updates/update.zip". No user interface: outcomes are signals.
//
// Every exchange ends with updaterFinished: 0 when the connection closed (the normal end), 1
// when the server could not be reached, 2 when it stopped answering (or closed in the middle of
// a file), 3 when a received file could not be stored; 2 and 3 follow the closing's 0 at once.
// The configurator closes
// the connection itself after "fw" up to date, an offer and a finished file, so updaterFinished(0)
// comes before fwIsUpToDate, availableSw, fwDownloaded and swDownloaded; after "sw" up to date it
// comes after swIsUpToDate. The update workflow of the window relies on this order.
class Net : public QObject
{
    Q_OBJECT
public:
    // Exit codes of updaterFinished.
    enum ExitCode { Closed = 0, Unreachable = 1, NoAnswer = 2, FileNotStored = 3 };

    static constexpr int AnswerTimeoutMs = 10000;
    static constexpr int TransferTickMs = 100;
    static constexpr int FtpProbeTimeoutMs = 30000;
    static constexpr quint16 FtpPort = 21;
    // A configurator archive larger than this is no update of ours: its transfer is abandoned.
    // (Firmware images are bounded by FirmwareImage::kMaxFileSize.)
    static constexpr qint64 MaxArchiveBytes = 256 * 1024 * 1024;

    explicit Net(QObject *parent = nullptr);
    ~Net() override;

    QString serverHost() const { return m_serverHost; }
    int serverPort() const { return m_serverPort; }

public slots:
    void checkUpdates(QString curVer, QString devID, bool flag);
    void reqestDownloadSw(QString swVer, qint64 swFSize, QString swFileName);

signals:
    void fwDownloaded();
    void swDownloaded();
    void fwIsUpToDate();
    void swIsUpToDate();
    void availableSw(QString swVer, qint64 size, QString swFileName);
    void setMaxProgress(int max);
    void updateProgress(int value);
    void updaterFinished(int exitCode);

private slots:
    void connectToServer();
    void connectToHostOk();
    void readData();
    void connectionClosed();
    void socketError(QAbstractSocket::SocketError error);
    void checkFwVer(QString ver);
    void checkSwVer(QString ver);
    void downloadUpdateSw(QString ver);
    void downloadUpdateSwFromFtp(QString name);
    void downloadProgress(qint64 bytesReceived, qint64 totalBytes);
    void timeCounter();
    void answerTimeout();

private:
    bool socketReady();
    void startTransferClock();
    // A file was asked for: the receive buffer is emptied and opened for its bytes.
    void openTransfer();
    // No file is coming any more; what came of it is dropped.
    void dropTransfer();
    void sendText(const QByteArray &text);
    // Takes one chunk message into the file; false when the transfer was abandoned.
    bool takeChunk(const QString &text);
    void finishTransfer();
    // Closes the connection; a connected socket reports it through connectionClosed at once.
    void closeConnection();
    bool ftpAnswers();
    // The most bytes the current transfer may bring.
    qint64 transferLimit() const;
    // Ends an exchange that cannot go on: drops the connection and reports exit code 2.
    void abandonExchange();

    static QString programFolder(const QString &name);
    static void prepareUpdatesFolder();
    static void clearFolder(const QString &path);

    QTcpSocket *m_socket = nullptr;
    QString m_serverHost;
    int m_serverPort = 0;
    QString m_currentVersion; // reported in the request
    QString m_deviceName; // "dev" of a firmware check
    qint64 m_receivedBytes = 0;
    QBuffer *m_receiveBuffer = nullptr; // decoded chunk bytes of the current transfer
    QTimer *m_answerTimer = nullptr;
    int m_progressStep = 0; // added per accepted chunk of a configurator download
    int m_progressValue = 0;
    bool m_firmwareCheck = false;
    bool m_softwareDownload = false;
    int m_errorCount = 0; // rejected chunks of the current transfer
    bool m_transferOpen = false; // a file was asked for and its "complite" has not come yet
    bool m_ftpActive = false; // the archive comes over FTP
    bool m_closedDuringFtp = false; // ... and the server's connection closed meanwhile
    QTimer *m_transferTimer = nullptr;
    qint64 m_elapsedMs = 0;
    QString m_swFileName;
    qint64 m_swFileSize = 0;
};
