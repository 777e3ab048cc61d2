#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class FtpServerSim;
class QTcpServer;
class QTcpSocket;

// What the double serves and how it misbehaves.
struct UpdateServerSimSettings
{
    // Firmware images (any file with a valid image header) and configurator archives (files
    // named "<anything><a.b.c>.zip"); the newest of each kind is served.
    QString folder;
    int chunkSize = 1000; // data bytes per "WRFILE" chunk
    int rejectChunks = 0; // the first N chunks go out with a wrong byte count
    int splitChunk = -1; // this chunk (0 = first) is written in two pieces ...
    int splitGapMs = 50; // ... this far apart
    bool silent = false; // read requests, never answer
    int silentAfterChunks = -1; // stop answering after this many chunks were sent
    int closeAfterChunks = -1; // close the connection after this many chunks were sent
    int dropInChunk = -1; // this chunk (0 = first) breaks off halfway: the connection closes
    bool completeWithLastChunk = false; // the last chunk and "complite" go out in one write

    // FTP on port ftpPort of the same address (set before listen), serving the archives behind
    // a 16-byte block.
    bool serveFtp = false;
    quint16 ftpPort = 21;
    int ftpCloseAfterBytes = -1; // the FTP connections drop after this many bytes of the file
    int ftpDataDelayMs = 0; // the file's bytes start this long after RETR
    bool closeOnFtpDownload = false; // the update connection closes when a RETR comes
};

// One update server on a TCP port. Requests are the configurator's JSON texts:
//   "update" with "fw" and "dev" ("Zemo" + device type id): the newest image of that type if it
//     is newer, as a chunk stream ended by "complite", else {"fw":"up to date"};
//   "update" with "sw": {"params":{"fileName":..,"size":..,"sw":"a.b.c"}} for a newer archive,
//     else {"sw":"up to date"};
//   "download": the newest archive as a chunk stream.
// A chunk is "WRFILE <size>,<index>,<count>;<Base64>"; the next one follows "WRFILE=0,..", the
// same one again follows "WRFILE=1", and "complite" follows the acknowledgement of the last.
class UpdateServerSim : public QObject
{
    Q_OBJECT
public:
    explicit UpdateServerSim(const UpdateServerSimSettings &settings, QObject *parent = nullptr);
    ~UpdateServerSim() override;

    // Listens for update requests, and for FTP when the settings ask for it; false when either
    // port cannot be had.
    bool listen(const QHostAddress &address = QHostAddress::LocalHost, quint16 port = 0);
    quint16 port() const;
    QHostAddress address() const;
    UpdateServerSimSettings &settings() { return m_settings; }

    // Newest configurator version among the archives ("" when none) and its file.
    QString softwareVersion(QString *fileName = nullptr) const;
    // Newest image of a device type id ("" when none) and its file.
    QString firmwareVersion(quint16 typeId, QString *fileName = nullptr) const;

    QStringList requests() const { return m_requests; } // request texts in order
    QStringList acknowledgements() const { return m_acks; } // "WRFILE=..." texts in order
    int connections() const { return m_connections; }
    int chunksSent() const { return m_chunksSent; }
    int ftpDownloads() const; // RETR of an existing file
    void clearRecords();

signals:
    void requestReceived(const QString &text);
    void transferDone();

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);
    void handleRequest(QTcpSocket *socket, const QString &text);
    void startTransfer(QTcpSocket *socket, const QByteArray &file);
    void sendChunk(QTcpSocket *socket);
    bool answering() const;

    UpdateServerSimSettings m_settings;
    QTcpServer *m_server = nullptr;
    FtpServerSim *m_ftp = nullptr;
    QPointer<QTcpSocket> m_client;
    QByteArray m_pending; // bytes of the client not yet understood
    QByteArray m_file; // file of the current transfer
    int m_chunkIndex = 0;
    int m_rejectsLeft = 0;
    int m_chunksSent = 0;
    int m_connections = 0;
    QStringList m_requests;
    QStringList m_acks;
};
