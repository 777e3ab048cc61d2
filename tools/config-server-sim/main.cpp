// zemo-config-server-sim: a configuration server on this machine with one terminal and
// simulated readers behind it, for trying remote configuration and for tests.
//
//   zemo-config-server-sim [--port N] [--imei IMEI] [--password PW]
//                          [--reader address=1,fw=1.3.2,speed=19200 ...]
//                          [--login REPLY] [--fault KIND[:COUNT] ...] [--no-answer-delay MS]
//
// Point the configurator at it with UpdateServer/IP = 127.0.0.1 and UpdateServer/Port = N in
// its settings.conf.

#include "configserversim.h"
#include "remotedefaults.h"
#include "simreaderoptions.h"
#include "stopsignals.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QMap>
#include <QTextStream>

namespace {

const QMap<QString, ConfigServerSim::LoginReply> &loginReplies()
{
    static const QMap<QString, ConfigServerSim::LoginReply>
            map {{"ping", ConfigServerSim::LoginReply::Ping},
                 {"notregistered", ConfigServerSim::LoginReply::NotRegistered},
                 {"busy", ConfigServerSim::LoginReply::RegisteredBusy},
                 {"terminalnotanswer", ConfigServerSim::LoginReply::TerminalNotAnswer},
                 {"silent", ConfigServerSim::LoginReply::Silent}};
    return map;
}

const QMap<QString, ConfigServerSim::RelayFault> &relayFaults()
{
    static const QMap<QString, ConfigServerSim::RelayFault>
            map {{"noanswer", ConfigServerSim::RelayFault::NoAnswer},
                 {"damaged", ConfigServerSim::RelayFault::Damaged},
                 {"split", ConfigServerSim::RelayFault::Split},
                 {"terminalnotanswer", ConfigServerSim::RelayFault::TerminalNotAnswer},
                 {"silent", ConfigServerSim::RelayFault::Silent}};
    return map;
}

// "KIND", "KIND:3" or "KIND:all".
bool parseFault(const QString &text, ConfigServerSim::RelayFault *fault, int *count)
{
    const QStringList parts = text.split(':');
    if (parts.size() > 2 || !relayFaults().contains(parts.at(0)))
        return false;
    *fault = relayFaults().value(parts.at(0));
    *count = 1;
    if (parts.size() == 2) {
        bool ok = false;
        *count = parts.at(1) == "all" ? -1 : parts.at(1).toInt(&ok);
        if (parts.at(1) != "all" && (!ok || *count < 1))
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("zemo-config-server-sim");
    QTextStream out(stdout);
    QTextStream err(stderr);

    QCommandLineParser parser;
    parser.setApplicationDescription(
            "A configuration server on 127.0.0.1 with one terminal\n"
            "and simulated readers on the terminal's RS-485 bus.\n"
            "Login replies: ping (normal), notregistered, busy, terminalnotanswer, silent.\n"
            "Faults for the next frame lines: noanswer, damaged, split, terminalnotanswer, "
            "silent,\n"
            "each as KIND, KIND:COUNT or KIND:all.\n"
            "Reader keys as for zemo-reader-sim.");
    parser.addHelpOption();
    const QCommandLineOption portOption("port", "TCP port on 127.0.0.1 (0: any free one).", "port",
                                        QString::number(kDefaultServerPort));
    const QCommandLineOption imeiOption("imei", "The terminal's IMEI (default: any).", "imei");
    const QCommandLineOption passwordOption("password", "The terminal's password.", "password",
                                            "0000");
    const QCommandLineOption readerOption("reader", "A reader behind the terminal (repeatable).",
                                          "keys");
    const QCommandLineOption loginOption("login", "The answer to a valid login.", "reply", "ping");
    const QCommandLineOption faultOption("fault", "A fault for frame lines (repeatable).",
                                         "kind[:count]");
    const QCommandLineOption noAnswerOption(
            "no-answer-delay",
            "Delay of \"S485=0;\" when no reader answers (default: the line's wait).", "ms");
    const QCommandLineOption ignoreSpeedOption("ignore-speed",
                                               "Readers answer whatever speed a line names.");
    const QCommandLineOption verboseOption("verbose", "Print every line in and out.");
    parser.addOptions({portOption, imeiOption, passwordOption, readerOption, loginOption,
                       faultOption, noAnswerOption, ignoreSpeedOption, verboseOption});
    parser.process(app);

    ConfigServerSim server;
    server.setTerminal(parser.value(imeiOption), parser.value(passwordOption));
    server.setIgnoreSpeed(parser.isSet(ignoreSpeedOption));
    QStringList readerLines;
    QStringList readerOptions = parser.values(readerOption);
    if (readerOptions.isEmpty())
        readerOptions << QString();
    for (const QString &options : readerOptions) {
        SimReaderSettings settings;
        QString error;
        if (!parseReaderOptions(options, &settings, &error)) {
            err << "zemo-config-server-sim: --reader " << options << ": " << error << Qt::endl;
            return 2;
        }
        server.addReader(settings);
        readerLines << describeReader(settings);
    }
    if (!loginReplies().contains(parser.value(loginOption))) {
        err << "zemo-config-server-sim: unknown login reply " << parser.value(loginOption)
            << Qt::endl;
        return 2;
    }
    server.setLoginReply(loginReplies().value(parser.value(loginOption)));
    for (const QString &text : parser.values(faultOption)) {
        ConfigServerSim::RelayFault fault;
        int count = 1;
        if (!parseFault(text, &fault, &count)) {
            err << "zemo-config-server-sim: bad --fault " << text << Qt::endl;
            return 2;
        }
        server.addRelayFault(fault, count);
    }
    if (parser.isSet(noAnswerOption)) {
        bool ok = false;
        const int ms = parser.value(noAnswerOption).toInt(&ok);
        if (!ok || ms < 0) {
            err << "zemo-config-server-sim: bad --no-answer-delay" << Qt::endl;
            return 2;
        }
        server.setNoAnswerDelayMs(ms);
    }
    bool portOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    if (!portOk || port > 65535) {
        err << "zemo-config-server-sim: bad --port" << Qt::endl;
        return 2;
    }

    if (!quitOnStopSignals(&app)) {
        err << "zemo-config-server-sim: cannot watch for stop signals" << Qt::endl;
        return 1;
    }
    if (!server.listen(quint16(port))) {
        err << "zemo-config-server-sim: cannot listen on port " << port << ": "
            << server.errorString() << Qt::endl;
        return 1;
    }

    out << "Configuration server double on 127.0.0.1:" << server.port() << Qt::endl;
    out << "  terminal: IMEI " << (server.imei().isEmpty() ? QString("any") : server.imei())
        << ", password " << server.password() << Qt::endl;
    for (const QString &line : readerLines)
        out << "  reader at " << line << Qt::endl;

    if (parser.isSet(verboseOption)) {
        QObject::connect(&server, &ConfigServerSim::itemReceived, &app,
                         [&out](const QString &text) { out << "> " << text << Qt::endl; });
        QObject::connect(&server, &ConfigServerSim::lineSent, &app, [&out](const QByteArray &line) {
            out << "< " << QString::fromUtf8(line).trimmed() << Qt::endl;
        });
        QObject::connect(&server, &ConfigServerSim::loginChecked, &app,
                         [&out](const QString &imei, bool valid, const QString &error) {
                             out << "login of IMEI " << imei << ": "
                                 << (valid ? QString("accepted") : error) << Qt::endl;
                         });
    }
    return app.exec();
}
