// A whole firmware upload into a model-200 reader: a "200" image with code in all 960 pages, at
// 19200 baud on a simulated bus with wire timing (every byte takes its 10 bit times). From the
// start to the reboot command: prepare, 960 pages of 136 bytes, check, reboot.
//
// Floor: the wire time of every request and answer, and for each answer the reader's reply
// delay and the 10 ms of silence after which the link takes an answer as complete. A request
// sent again after a time-out (on a busy machine the bus thread may stall in the middle of an
// answer) is counted and left out of the floor.
#include "busthread.h"
#include "deviceinterface.h"
#include "firmwareimage.h"
#include "linkonbus.h"
#include "testsupport.h"
#include "updatetestfiles.h"
#include "wireline.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSet>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    TempProgramDir programDir;
    const int baud = 19200;

    SimReaderSettings reader;
    reader.deviceId = 200;
    reader.firmware = QStringLiteral("1.4.0");
    reader.upgradeFirmware = QStringLiteral("1.5.0");
    BusThread bus;
    bus.addReader(reader);
    bus.bus()->setWireTiming(true);
    if (!bus.start()) {
        std::printf("cannot open the simulated bus\n");
        return 1;
    }

    // Code in every page: none of the 960 is left out as erased.
    QByteArray code(960 * FirmwareImage::kPageSize, '\0');
    for (int i = 0; i < code.size(); ++i)
        code[i] = char((i * 7 + i / 128) & 0x7F);
    const QString path = programDir.filePath(QStringLiteral("Zemo200_v1.5.0_update.bin"));
    if (!writeTestFile(path, FirmwareImage::pack(firmwareTestImage(200, 1, 5, 0, 16),
                                                 {{0x3800, code}}))) {
        std::printf("cannot write the image file\n");
        return 1;
    }

    // What crossed the line, noted in this thread: every request once (a page is a request of
    // its own), and the size of an answer.
    QElapsedTimer clock;
    QSet<QByteArray> requests;
    qint64 requestBytes = 0;
    int sent = 0;
    int pages = 0;
    int answerSize = 0;
    qint64 rebootNs = 0;
    QObject::connect(bus.bus(), &SimBus::requestReceived, &app, [&](const QByteArray &frame) {
        ++sent;
        if (requests.contains(frame))
            return;
        requests.insert(frame);
        requestBytes += frame.size();
        const int code = frame.size() > 4 ? (quint8(frame.at(3)) << 8 | quint8(frame.at(4))) : 0;
        if (code == 0x0A01)
            ++pages;
        if (code == 0x0200)
            rebootNs = clock.nsecsElapsed();
    });
    QObject::connect(bus.bus(), &SimBus::answerSent, &app,
                     [&](const QByteArray &frame) { answerSize = frame.size(); });

    DeviceInterface link;
    link.setPortName(bus.devicePath());
    link.setBaudRate(baud);
    link.setDeviceAddress(QStringLiteral("1"));
    if (!link.togglePort()) {
        std::printf("cannot open the port\n");
        return 1;
    }
    link.loadFirmwareFile(QStringLiteral("1.5.0"), path);
    clock.start();
    link.startUpdZemo200(QStringLiteral("200"));
    if (!LinkOnBus::waitFor([&] { return rebootNs != 0; }, 300000) || pages != 960) {
        std::printf("the upload did not end with the reboot command (%d pages)\n", pages);
        return 1;
    }

    // Every request but the reboot is answered before the next one goes out.
    const int answers = requests.size() - 1;
    const double byteMs = WireLine::byteTimeNs(baud) / 1e6;
    const double measured = rebootNs / 1e9;
    const double floor = ((requestBytes + qint64(answers) * answerSize) * byteMs
                          + answers * (reader.replyDelayMs + DeviceInterface::GatherNextMs))
                         / 1000.0;
    std::printf("firmware upload, 960 pages at %d baud on the wire: %.2f s measured / %.2f s floor "
                "(%.1f %% above; %lld request bytes and %d answers of %d bytes x %.3f ms, each "
                "answer + %d ms reply + %d ms silence; %d request(s) sent again)\n",
                baud, measured, floor, 100.0 * (measured - floor) / floor, requestBytes, answers,
                answerSize, byteMs, reader.replyDelayMs, DeviceInterface::GatherNextMs,
                sent - int(requests.size()));
    return 0;
}
