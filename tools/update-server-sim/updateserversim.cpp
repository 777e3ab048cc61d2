#include "updateserversim.h"

#include "firmwareheader.h"
#include "ftpserversim.h"
#include "versioncompare.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace {
QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}
} // namespace

UpdateServerSim::UpdateServerSim(const UpdateServerSimSettings &settings, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &UpdateServerSim::onNewConnection);
}

UpdateServerSim::~UpdateServerSim() = default;

bool UpdateServerSim::listen(const QHostAddress &address, quint16 port)
{
    if (!m_server->listen(address, port))
        return false;
    if (!m_settings.serveFtp)
        return true;
    m_ftp = new FtpServerSim(m_settings.folder, this);
    connect(m_ftp, &FtpServerSim::downloadStarted, this, [this] {
        m_ftp->closeAfterBytes = m_settings.ftpCloseAfterBytes;
        m_ftp->dataDelayMs = m_settings.ftpDataDelayMs;
        if (m_settings.closeOnFtpDownload && m_client)
            m_client->disconnectFromHost();
    });
    return m_ftp->listen(address, m_settings.ftpPort);
}

int UpdateServerSim::ftpDownloads() const
{
    return m_ftp ? m_ftp->downloadsStarted() : 0;
}

quint16 UpdateServerSim::port() const
{
    return m_server->serverPort();
}

QHostAddress UpdateServerSim::address() const
{
    return m_server->serverAddress();
}

void UpdateServerSim::clearRecords()
{
    m_requests.clear();
    m_acks.clear();
    m_connections = 0;
    m_chunksSent = 0;
}

QString UpdateServerSim::softwareVersion(QString *fileName) const
{
    static const QRegularExpression versioned(QStringLiteral("(\\d+\\.\\d+\\.\\d+)\\.zip$"));
    QString best;
    const QStringList files = QDir(m_settings.folder).entryList({"*.zip"}, QDir::Files, QDir::Name);
    for (const QString &name : files) {
        const QString version = versioned.match(name).captured(1);
        if (!version.isEmpty() && (best.isEmpty() || VersionCompare::isNewer(version, best))) {
            best = version;
            if (fileName)
                *fileName = name;
        }
    }
    return best;
}

QString UpdateServerSim::firmwareVersion(quint16 typeId, QString *fileName) const
{
    QString best;
    const QStringList files = QDir(m_settings.folder).entryList(QDir::Files, QDir::Name);
    for (const QString &name : files) {
        if (name.endsWith(QLatin1String(".zip")))
            continue;
        QFile file(QDir(m_settings.folder).filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const FirmwareHeader header = FirmwareHeader::parse(file.read(FirmwareHeader::kSize));
        if (!header.isValid() || header.typeId() != typeId)
            continue;
        if (best.isEmpty() || VersionCompare::isNewer(header.version(), best)) {
            best = header.version();
            if (fileName)
                *fileName = name;
        }
    }
    return best;
}

bool UpdateServerSim::answering() const
{
    if (m_settings.silent)
        return false;
    return m_settings.silentAfterChunks < 0 || m_chunksSent < m_settings.silentAfterChunks;
}

void UpdateServerSim::onNewConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        ++m_connections;
        if (m_client)
            m_client->deleteLater();
        m_client = socket;
        m_pending.clear();
        m_file.clear();
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void UpdateServerSim::onReadyRead(QTcpSocket *socket)
{
    m_pending += socket->readAll();

    // Acknowledgements of chunks: one outstanding at a time.
    static const QRegularExpression ack(QStringLiteral("WRFILE=(0,[^W]*|1)"));
    if (m_pending.startsWith("WRFILE=")) {
        const QString text = QString::fromLatin1(m_pending);
        m_pending.clear();
        auto it = ack.globalMatch(text);
        while (it.hasNext()) {
            const QString one = it.next().captured(0);
            m_acks << one;
            if (!answering())
                continue;
            if (one != QLatin1String("WRFILE=1"))
                ++m_chunkIndex;
            sendChunk(socket);
        }
        return;
    }

    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(m_pending, &error);
    if (error.error != QJsonParseError::NoError)
        return; // not complete yet
    const QString text = QString::fromUtf8(m_pending);
    m_pending.clear();
    m_requests << text;
    emit requestReceived(text);
    if (answering())
        handleRequest(socket, text);
}

void UpdateServerSim::handleRequest(QTcpSocket *socket, const QString &text)
{
    const QJsonObject request = QJsonDocument::fromJson(text.toUtf8()).object();
    const QString type = request.value(QStringLiteral("type")).toString();
    const QJsonObject params = request.value(QStringLiteral("params")).toObject();

    if (type == QLatin1String("update") && params.contains(QStringLiteral("fw"))) {
        QString dev = params.value(QStringLiteral("dev")).toString();
        dev.remove(QStringLiteral("Zemo"));
        bool ok = false;
        const quint16 typeId = quint16(dev.toUInt(&ok));
        QString fileName;
        const QString newest = ok ? firmwareVersion(typeId, &fileName) : QString();
        const QString reported = params.value(QStringLiteral("fw")).toString();
        if (!newest.isEmpty() && VersionCompare::isNewer(newest, reported)) {
            startTransfer(socket, readFile(QDir(m_settings.folder).filePath(fileName)));
            return;
        }
        socket->write("{\"fw\":\"up to date\"}");
        return;
    }

    if (type == QLatin1String("update") && params.contains(QStringLiteral("sw"))) {
        QString fileName;
        const QString newest = softwareVersion(&fileName);
        const QString reported = params.value(QStringLiteral("sw")).toString();
        if (newest.isEmpty() || !VersionCompare::isNewer(newest, reported)) {
            socket->write("{\"sw\":\"up to date\"}");
            return;
        }
        QJsonObject offer;
        offer.insert(QStringLiteral("sw"), newest);
        offer.insert(QStringLiteral("size"),
                     QFileInfo(QDir(m_settings.folder).filePath(fileName)).size());
        offer.insert(QStringLiteral("fileName"), fileName);
        QJsonObject answer;
        answer.insert(QStringLiteral("type"), QStringLiteral("update"));
        answer.insert(QStringLiteral("params"), offer);
        socket->write(QJsonDocument(answer).toJson(QJsonDocument::Compact));
        return;
    }

    if (type == QLatin1String("download")) {
        QString fileName;
        softwareVersion(&fileName);
        startTransfer(socket, readFile(QDir(m_settings.folder).filePath(fileName)));
        return;
    }
}

void UpdateServerSim::startTransfer(QTcpSocket *socket, const QByteArray &file)
{
    m_file = file;
    m_chunkIndex = 0;
    m_rejectsLeft = m_settings.rejectChunks;
    sendChunk(socket);
}

void UpdateServerSim::sendChunk(QTcpSocket *socket)
{
    const int size = qMax(1, m_settings.chunkSize);
    const int offset = m_chunkIndex * size;
    if (offset >= m_file.size()) {
        socket->write("{\"status\":\"complite\"}");
        emit transferDone();
        return;
    }
    const QByteArray data = m_file.mid(offset, size);
    int count = data.size();
    if (m_rejectsLeft > 0) {
        --m_rejectsLeft;
        ++count; // announced one byte more than the data yields
    }
    const QByteArray message = "WRFILE " + QByteArray::number(m_file.size()) + ','
                               + QByteArray::number(m_chunkIndex) + ',' + QByteArray::number(count)
                               + ';' + data.toBase64();
    const int sentIndex = m_chunksSent++;
    if (sentIndex == m_settings.dropInChunk) {
        // The connection breaks off in the middle of the chunk.
        socket->write(message.left(message.size() / 2));
        socket->flush();
        socket->disconnectFromHost();
        return;
    }
    if (m_settings.completeWithLastChunk && offset + data.size() >= m_file.size()) {
        socket->write(message + "{\"status\":\"complite\"}");
        emit transferDone();
        return;
    }
    if (sentIndex == m_settings.splitChunk) {
        const int half = message.size() / 2;
        socket->write(message.left(half));
        socket->flush();
        QPointer<QTcpSocket> guard(socket);
        const QByteArray rest = message.mid(half);
        QTimer::singleShot(m_settings.splitGapMs, this, [guard, rest] {
            if (guard)
                guard->write(rest);
        });
        return;
    }
    socket->write(message);
    if (m_settings.closeAfterChunks >= 0 && m_chunksSent >= m_settings.closeAfterChunks) {
        socket->flush();
        socket->disconnectFromHost();
    }
}
