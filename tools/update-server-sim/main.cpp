// zemo-update-server-sim: an update server for training and tests on a loopback port.
#include "stopsignals.h"
#include "updateserversim.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zemo-update-server-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
            "Answers the configurator's update requests from a folder of firmware images and "
            "configurator archives (named <anything><a.b.c>.zip)."));
    parser.addHelpOption();
    const QCommandLineOption folder({"f", "folder"}, "Folder of images and archives.", "dir");
    const QCommandLineOption address("address", "Listening address (default 127.0.0.1).", "address",
                                     "127.0.0.1");
    const QCommandLineOption port({"p", "port"}, "TCP port (default 12358).", "port", "12358");
    const QCommandLineOption chunk("chunk-size", "Data bytes per chunk (default 1000).", "bytes",
                                   "1000");
    const QCommandLineOption reject("reject", "Send the first N chunks with a wrong byte count.",
                                    "N", "0");
    const QCommandLineOption split("split", "Write chunk N (0 = first) in two pieces.", "N", "-1");
    const QCommandLineOption silent("silent", "Read requests and never answer.");
    const QCommandLineOption silentAfter("silent-after", "Stop answering after N chunks.", "N",
                                         "-1");
    const QCommandLineOption closeAfter("close-after", "Close the connection after N chunks.", "N",
                                        "-1");
    const QCommandLineOption dropIn("drop-in-chunk",
                                    "Close the connection halfway through chunk N (0 = first).",
                                    "N", "-1");
    const QCommandLineOption withLast("complete-with-last",
                                      "Send the last chunk and \"complite\" in one write.");
    const QCommandLineOption ftp("ftp", "Serve the archives over FTP on port 21 as well.");
    const QCommandLineOption ftpCloseAfter("ftp-close-after",
                                           "Drop the FTP connections after N bytes of the file.",
                                           "N", "-1");
    parser.addOptions({folder, address, port, chunk, reject, split, silent, silentAfter, closeAfter,
                       dropIn, withLast, ftp, ftpCloseAfter});
    parser.process(app);

    UpdateServerSimSettings settings;
    settings.folder = parser.value(folder);
    settings.chunkSize = parser.value(chunk).toInt();
    settings.rejectChunks = parser.value(reject).toInt();
    settings.splitChunk = parser.value(split).toInt();
    settings.silent = parser.isSet(silent);
    settings.silentAfterChunks = parser.value(silentAfter).toInt();
    settings.closeAfterChunks = parser.value(closeAfter).toInt();
    settings.dropInChunk = parser.value(dropIn).toInt();
    settings.completeWithLastChunk = parser.isSet(withLast);
    settings.serveFtp = parser.isSet(ftp);
    settings.ftpCloseAfterBytes = parser.value(ftpCloseAfter).toInt();

    QTextStream out(stdout);
    if (settings.folder.isEmpty()) {
        out << "A folder is needed: --folder DIR\n";
        return 2;
    }
    UpdateServerSim server(settings);
    if (!server.listen(QHostAddress(parser.value(address)), quint16(parser.value(port).toUInt()))) {
        out << "Cannot listen on " << parser.value(address) << ':' << parser.value(port) << '\n';
        return 1;
    }
    out << "Update server double on " << server.address().toString() << ':' << server.port()
        << '\n';
    QString name;
    const QString sw = server.softwareVersion(&name);
    out << "Configurator archive: " << (sw.isEmpty() ? QStringLiteral("none") : name) << '\n';
    out.flush();

    if (!quitOnStopSignals(&app)) {
        out << "Cannot watch for stop signals\n";
        return 1;
    }
    return app.exec();
}
