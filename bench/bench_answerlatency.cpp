// Latency from the last byte of an answer on the line to its record on the GUI thread, and the
// share of it taken by the hand-off through the parser thread.
#include "busthread.h"
#include "chunkqueue.h"
#include "deviceinterface.h"
#include "linkonbus.h"
#include "packparser.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cstdio>

namespace {
double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

// Line to record: the bus thread notes when an answer's last byte was written, the GUI thread
// when the counter record reached the device link's signal.
void lineToRecord()
{
    BusThread bus;
    bus.addReader(SimReaderSettings());
    if (!bus.start()) {
        std::printf("cannot open the simulated bus\n");
        return;
    }
    QElapsedTimer clock;
    clock.start();
    std::atomic<qint64> lastByteNs {0};
    QObject::connect(
            bus.bus(), &SimBus::answerSent, bus.bus(), [&] { lastByteNs = clock.nsecsElapsed(); },
            Qt::DirectConnection);

    DeviceInterface link;
    link.setPortName(bus.devicePath());
    link.setBaudRate(19200);
    link.setDeviceAddress("1");
    if (!link.togglePort()) {
        std::printf("cannot open the port\n");
        return;
    }
    QList<double> latencies;
    qint64 recordNs = 0;
    QObject::connect(&link, &DeviceInterface::showInputInfo_220, &link,
                     [&] { recordNs = clock.nsecsElapsed(); });

    const int rounds = 100;
    for (int i = 0; i < rounds; ++i) {
        recordNs = 0;
        link.getCounterVal_220();
        if (!LinkOnBus::waitFor([&] { return recordNs != 0; }, 2000)) {
            std::printf("no answer in round %d\n", i);
            return;
        }
        latencies << (recordNs - lastByteNs) / 1e6;
    }
    const double floorMs = DeviceInterface::GatherFirstMs;
    const double measured = median(latencies);
    std::printf("line to record (median of %d): %.2f ms measured / %.2f ms floor "
                "(%.1f %% above; an answer ends after %d ms of silence)\n",
                rounds, measured, floorMs, 100.0 * (measured - floorMs) / floorMs,
                DeviceInterface::GatherFirstMs);
    std::printf("line to record, worst: %.2f ms\n",
                *std::max_element(latencies.begin(), latencies.end()));
}

// Queue to record: a chunk appended on the GUI thread until its record arrives back there.
void queueToRecord()
{
    ChunkQueue queue;
    auto *parser = new PackParser(&queue);
    QThread thread;
    parser->moveToThread(&thread);
    QObject::connect(&thread, &QThread::started, parser, &PackParser::startParser);
    QObject::connect(parser, &PackParser::finished, &thread, &QThread::quit, Qt::DirectConnection);
    QObject::connect(parser, &PackParser::finished, parser, &QObject::deleteLater,
                     Qt::DirectConnection);
    thread.start();

    QObject receiver;
    QElapsedTimer clock;
    clock.start();
    qint64 recordNs = 0;
    QObject::connect(parser, &PackParser::InputInfoStatus_220, &receiver,
                     [&] { recordNs = clock.nsecsElapsed(); });
    // 01 08 dc 85 00 00 00 00 00 07 and its checksum
    const QByteArray chunk = QByteArray::fromHex("0108dc8500000000000757");
    QList<double> latencies;
    for (int i = 0; i < 1000; ++i) {
        recordNs = 0;
        const qint64 start = clock.nsecsElapsed();
        queue.append(chunk);
        LinkOnBus::waitFor([&] { return recordNs != 0; }, 2000);
        latencies << (recordNs - start) / 1e3;
    }
    parser->stopParser();
    thread.wait();
    std::printf("queue to record through the parser thread (median of 1000): %.1f us measured "
                "/ 0 us floor (1 ms polling would add up to 1000 us)\n",
                median(latencies));
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    lineToRecord();
    queueToRecord();
    return 0;
}
