// A configurator download through the update server's chunk protocol over loopback: 1 MiB in
// chunks of 1000 bytes, each sent as Base64 text and acknowledged before the next one, from the
// request to the archive stored in "updates" (the update server double in the same thread, as
// in the tests).
//
// Floor: the same number of exchanges of the same sizes between two bare sockets of the same
// thread (the chunk text one way, an acknowledgement the other): what loopback and the
// one-chunk-at-a-time protocol cost without decoding, checking and storing.
#include "linkonbus.h"
#include "net.h"
#include "testsupport.h"
#include "updatetestfiles.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>

#include <cstdio>
#include <memory>

namespace {
constexpr int kArchiveBytes = 1024 * 1024;
constexpr int kChunkBytes = 1000;

// The chunk texts and acknowledgements of the protocol, ping-ponged between two plain sockets.
double barePingPongSeconds(const QByteArray &archive)
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost))
        return -1;
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server.serverPort());
    if (!client.waitForConnected(5000) || !server.waitForNewConnection(5000))
        return -1;
    std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());

    const int chunks = (archive.size() + kChunkBytes - 1) / kChunkBytes;
    auto message = [&](int index) {
        const QByteArray data = archive.mid(index * kChunkBytes, kChunkBytes);
        return "WRFILE " + QByteArray::number(archive.size()) + ',' + QByteArray::number(index)
               + ',' + QByteArray::number(data.size()) + ';' + data.toBase64();
    };
    auto ack = [&](int index) {
        return "WRFILE=0," + QByteArray::number(archive.size()) + ',' + QByteArray::number(index)
               + ',' + QByteArray::number(kChunkBytes);
    };
    int index = 0;
    qint64 expected = message(0).size();
    QByteArray received;
    QObject::connect(&client, &QTcpSocket::readyRead, &client, [&] {
        received += client.readAll();
        if (received.size() < expected)
            return;
        received.clear();
        client.write(ack(index));
    });
    QObject::connect(peer.get(), &QTcpSocket::readyRead, peer.get(), [&] {
        peer->readAll();
        if (++index < chunks) {
            const QByteArray next = message(index);
            expected = next.size();
            peer->write(next);
        }
    });
    QElapsedTimer clock;
    clock.start();
    peer->write(message(0));
    if (!LinkOnBus::waitFor([&] { return index >= chunks; }, 120000))
        return -1;
    return clock.nsecsElapsed() / 1e9;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    TempProgramDir programDir;
    QByteArray archive(kArchiveBytes, '\0');
    QRandomGenerator random(14);
    for (int i = 0; i < archive.size(); ++i)
        archive[i] = char(random.bounded(256));
    const QString name = QStringLiteral("zemo-configurator_9.9.9.zip");

    UpdateServerRig updates;
    if (!updates.listening || !updates.serve(name, archive)) {
        std::printf("cannot start the update server double\n");
        return 1;
    }
    updates.pointSettings();
    Net net;
    bool downloaded = false;
    QObject::connect(&net, &Net::swDownloaded, &app, [&] { downloaded = true; });
    QElapsedTimer clock;
    clock.start();
    net.reqestDownloadSw(QStringLiteral("0.3.3"), archive.size(), name);
    const QString stored = programDir.filePath(QStringLiteral("updates/update.zip"));
    if (!LinkOnBus::waitFor([&] { return downloaded; }, 300000) || readTestFile(stored) != archive) {
        std::printf("the download did not complete\n");
        return 1;
    }
    const double measured = clock.nsecsElapsed() / 1e9;
    const int chunks = updates.server->chunksSent();
    const double floor = barePingPongSeconds(archive);
    if (floor <= 0) {
        std::printf("the bare exchange over loopback failed\n");
        return 1;
    }
    std::printf("configurator download, 1 MiB in %d chunks over loopback: %.3f s measured / %.3f s "
                "floor (%.1f %% above; the same chunk texts and acknowledgements between two bare "
                "sockets)\n",
                chunks, measured, floor, 100.0 * (measured - floor) / floor);
    return 0;
}
