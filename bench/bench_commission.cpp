// A commissioning run that assigns addresses 11 to 40 to thirty new readers, each wired at the
// factory address 1, at 19200 baud on a simulated bus with wire timing (every byte takes its 10
// bit times). The engineer is quick here: the next reader is on the bus as soon as the one
// before has left the factory address, so the time measured is the run's own, from its start
// to its end.
//
// Floor, per reader: the wire time of every request and answer that served it (the look at the
// factory address, the identity and the read, the write and its reboot, the read-back), each
// answer's reply delay and the 10 ms of silence after which the link takes an answer as
// complete, the link's reboot hold (the reader answers nothing while it starts again), and the
// wait of the look at the address the reader gets, where nothing answers (it is free).
#include "busthread.h"
#include "commissioningrun.h"
#include "db_worker.h"
#include "deviceinterface.h"
#include "linkonbus.h"
#include "testsupport.h"
#include "wireline.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

namespace {
constexpr int kReaders = 30;
constexpr int kBaud = 19200;
constexpr int kFactory = 1;
// Where a reader waits before it is wired: no request goes there.
constexpr quint8 kNotWired = 0;
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    TempProgramDir programDir(true);

    BusThread bus;
    QList<SimReader *> readers;
    for (int i = 0; i < kReaders; ++i) {
        SimReaderSettings s;
        s.address = i == 0 ? kFactory : kNotWired;
        s.speed = kBaud;
        readers << bus.addReader(s);
    }
    bus.bus()->setWireTiming(true);
    if (!bus.start()) {
        std::printf("cannot open the simulated bus\n");
        return 1;
    }

    // What crossed the line, noted in this thread.
    qint64 requestBytes = 0;
    qint64 answerBytes = 0;
    int requests = 0;
    int answers = 0;
    int reboots = 0;
    QObject::connect(bus.bus(), &SimBus::requestReceived, &app, [&](const QByteArray &frame) {
        ++requests;
        requestBytes += frame.size();
        if (frame.size() > 4 && quint8(frame.at(3)) == 0x02 && quint8(frame.at(4)) == 0x00)
            ++reboots;
    });
    QObject::connect(bus.bus(), &SimBus::answerSent, &app, [&](const QByteArray &frame) {
        ++answers;
        answerBytes += frame.size();
    });

    DB_Worker db;
    db.checkDb();
    DeviceInterface link;
    QObject::connect(&link, &DeviceInterface::getSupportedCommands, &db, &DB_Worker::getCommandList,
                     Qt::DirectConnection);
    link.setPortName(bus.devicePath());
    link.setBaudRate(kBaud);

    CommissioningRun run(&link, &db);
    int done = 0;
    int verified = 0;
    int waits = 0;
    bool finished = false;
    QObject::connect(&run, &CommissioningRun::readerDone, &app, [&](const CommissionRecord &record) {
        if (record.verdict == CommissionRecord::Verified)
            ++verified;
        // The next reader is wired at once.
        if (++done < kReaders) {
            SimReader *next = readers.at(done);
            QMetaObject::invokeMethod(
                    bus.bus(), [next] { next->settings().address = kFactory; },
                    Qt::BlockingQueuedConnection);
        }
    });
    QObject::connect(&run, &CommissioningRun::waitingForReader, &app, [&] { ++waits; });
    QObject::connect(&run, &CommissioningRun::finished, &app, [&] { finished = true; });

    CommissionOptions options;
    options.templateXml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<configuration>\n"
                          " <rs485_addr_220 param=\"5\"/>\n <gen_stat_220 param=\"1\"/>\n"
                          " <pull_up_220 param=\"1\"/>\n <gen_mode_220 param=\"2\"/>\n"
                          "</configuration>\n";
    options.templateName = QStringLiteral("site.xml");
    options.mode = CommissionOptions::Assign;
    options.factoryAddress = kFactory;
    options.factoryBaud = kBaud;
    options.firstAddress = 11;
    options.lastAddress = 10 + kReaders;
    QElapsedTimer clock;
    clock.start();
    QString error;
    if (!run.start(options, &error)) {
        std::printf("the run does not start: %s\n", qPrintable(error));
        return 1;
    }
    if (!LinkOnBus::waitFor([&] { return finished; }, 600000)) {
        std::printf("the run did not end (%d readers done)\n", done);
        return 1;
    }
    const double measured = clock.nsecsElapsed() / 1e9;
    if (done != kReaders || verified != kReaders) {
        std::printf("%d readers done, %d verified\n", done, verified);
        return 1;
    }

    const SimReaderSettings reader;
    const double byteMs = WireLine::byteTimeNs(kBaud) / 1e6;
    const double wireMs = (requestBytes + answerBytes) * byteMs;
    const double silenceMs = answers * double(reader.replyDelayMs + DeviceInterface::GatherNextMs);
    const double holdMs = reboots
                          * double(qMax(DeviceInterface::RebootHoldMs, reader.rebootSilenceMs));
    // Every request not answered is a look at a free address: it waits out a probe's time.
    const double freeMs = (requests - answers) * double(DeviceInterface::ProbeTimeoutMs);
    const double floor = (wireMs + silenceMs + holdMs + freeMs) / 1000.0;
    std::printf("commissioning, %d readers assigned at %d baud on the wire: %.2f s measured / "
                "%.2f s floor = %.3f times (per reader %.0f ms / %.0f ms; %d requests of %lld "
                "bytes and %d answers of %lld bytes x %.3f ms = %.0f ms, each answer + %d ms "
                "reply + %d ms silence = %.0f ms, %d reboots x %d ms hold, %d looks at a free "
                "address x %d ms; %d waits for a reader)\n",
                kReaders, kBaud, measured, floor, measured / floor, 1000.0 * measured / kReaders,
                1000.0 * floor / kReaders, requests, requestBytes, answers, answerBytes, byteMs,
                wireMs, reader.replyDelayMs, DeviceInterface::GatherNextMs, silenceMs, reboots,
                qMax(DeviceInterface::RebootHoldMs, reader.rebootSilenceMs), requests - answers,
                DeviceInterface::ProbeTimeoutMs, waits);
    return 0;
}
