// zemo-reader-sim: model-220 readers on a simulated RS-485 bus, for training and tests.
//
//   zemo-reader-sim --link PATH --reader address=1,fw=1.3.2,id=220,speed=19200 [--reader ...]
//                   [--ignore-speed] [--wire] [--verbose]
//
// The device side of a pseudo-terminal is linked at PATH while the program runs; point the
// configurator at it through ZEMO_EXTRA_PORTS.

#include "simbus.h"
#include "simreaderoptions.h"
#include "stopsignals.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

namespace {

QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' '));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("zemo-reader-sim");
    QTextStream out(stdout);
    QTextStream err(stderr);

    QCommandLineParser parser;
    parser.setApplicationDescription(
            "Simulated model-220 readers on an RS-485 bus behind a pseudo-terminal.\n"
            "Reader keys: address, id, fw, speed, gen, pullup, mode, counter, rate, uptime;\n"
            "fault switches: silent=N, badcrc[=N], split=PIECES:GAPMS, delay=MS, reject=RESULT,\n"
            "rebootsilence=MS, answeras=ADDRESS.\n"
            "A reader with id=200 takes firmware uploads: newfw=A.B.C is the version it reports\n"
            "after the upload and a reboot; prepare=STATUS, rejectpages=N, check=STATUS refuse\n"
            "the area preparation, the next N pages, or the image check.");
    parser.addHelpOption();
    const QCommandLineOption linkOption("link", "Symbolic link to the device side.", "path");
    const QCommandLineOption
            readerOption("reader",
                         "A reader on the bus, key=value items separated by commas (repeatable).",
                         "keys");
    const QCommandLineOption ignoreSpeedOption("ignore-speed",
                                               "Answer whatever line speed the program sets.");
    const QCommandLineOption wireOption("wire", "Deliver every byte, both ways, when it would "
                                                "have crossed the line at its speed.");
    const QCommandLineOption verboseOption("verbose", "Print every request and answer.");
    parser.addOptions({linkOption, readerOption, ignoreSpeedOption, wireOption, verboseOption});
    parser.process(app);

    QList<SimReaderSettings> readers;
    for (const QString &options : parser.values(readerOption)) {
        SimReaderSettings settings;
        QString error;
        if (!parseReaderOptions(options, &settings, &error)) {
            err << "zemo-reader-sim: --reader " << options << ": " << error << Qt::endl;
            return 2;
        }
        readers.append(settings);
    }
    if (readers.isEmpty())
        readers.append(SimReaderSettings());

    if (!quitOnStopSignals(&app)) {
        err << "zemo-reader-sim: cannot watch for stop signals" << Qt::endl;
        return 1;
    }

    SimBus bus;
    bus.setIgnoreSpeed(parser.isSet(ignoreSpeedOption));
    bus.setWireTiming(parser.isSet(wireOption));
    for (const SimReaderSettings &settings : readers)
        bus.addReader(settings);
    if (!bus.open(parser.value(linkOption))) {
        err << "zemo-reader-sim: " << bus.errorString() << Qt::endl;
        return 1;
    }

    out << "Simulated reader bus on " << bus.devicePath() << Qt::endl;
    QList<quint8> seen;
    for (const SimReaderSettings &settings : readers) {
        out << "  reader at " << describeReader(settings) << Qt::endl;
        if (seen.contains(settings.address))
            err << "zemo-reader-sim: two readers at address " << settings.address
                << " will answer over each other" << Qt::endl;
        seen.append(settings.address);
    }

    if (parser.isSet(verboseOption)) {
        QObject::connect(&bus, &SimBus::requestReceived, &app, [&out, &bus](const QByteArray &f) {
            out << QString::number(bus.nowMs()) << " ms > " << hex(f) << Qt::endl;
        });
        QObject::connect(&bus, &SimBus::answerSent, &app, [&out, &bus](const QByteArray &f) {
            out << QString::number(bus.nowMs()) << " ms < " << hex(f) << Qt::endl;
        });
    }

    const int rc = app.exec();
    bus.close();
    return rc;
}
