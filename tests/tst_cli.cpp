// The command-line configurator: its command line and values, the console lines it reads, and
// the program itself over the simulated bus, beside the window and through the server double.
// The scan and the time-outs of a silent reader are in tst_cli_slow.
#include "cliarguments.h"
#include "clidocument.h"
#include "clioutput.h"
#include "clirun.h"
#include "configserversim.h"
#include "deviceinterface.h"
#include "firmwareimage.h"
#include "linkonbus.h"
#include "mainwindowaccess.h"
#include "settings.h"
#include "updatetestfiles.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

const char *const kCommandNames[] = {"help",   "ports", "scan",     "read",    "write",     "set",
                                     "reboot", "send",  "firmware", "version", "commission"};

const QStringList &bauds()
{
    static const QStringList list = DeviceInterface().baudList();
    return list;
}

// "read /dev/x 19200 1" and what differs from the defaults, or "error: <message>".
QString summary(const CliArguments::Result &result)
{
    if (!result.ok())
        return QStringLiteral("error: ") + result.error;
    const CliOptions &o = result.options;
    QStringList out {QLatin1String(kCommandNames[o.command]), o.port, QString::number(o.speed),
                     QString::number(o.address)};
    if (o.json)
        out << "json";
    if (o.retries != 1)
        out << QStringLiteral("retries=%1").arg(o.retries);
    if (o.timeoutMs != 5000)
        out << QStringLiteral("timeout=%1").arg(o.timeoutMs);
    if (o.isRemote())
        out << QStringLiteral("remote=%1/%2@%3:%4")
                        .arg(o.imei, o.password, o.serverHost)
                        .arg(o.serverPort);
    if (!o.file.isEmpty())
        out << "file=" + o.file;
    QStringList pairs;
    for (const CliSetting &s : o.settings)
        pairs << s.key + '=' + s.value;
    if (!pairs.isEmpty())
        out << "set=" + pairs.join(',');
    if (!o.console.isEmpty())
        out << "send=" + o.console;
    if (o.command == CliOptions::Commission) {
        out << "template=" + o.templateFile << "report=" + o.reportFile;
        QStringList addresses;
        for (int a : o.addresses)
            addresses << QString::number(a);
        if (o.assign)
            out << QStringLiteral("assign=%1-%2 factory=%3 wait=%4")
                            .arg(o.assignFirst)
                            .arg(o.assignLast)
                            .arg(o.factory)
                            .arg(o.waitSeconds);
        else
            out << "addresses=" + addresses.join(',');
        if (!o.firmwareFile.isEmpty())
            out << "firmware=" + o.firmwareFile;
        if (!o.note.isEmpty())
            out << "note=" + o.note;
    }
    return out.join(' ');
}

// The requests of a read of a current-firmware reader: identity, then the list from its end.
const QString kReadCodes = "0100 0700 0500 0603 0301";

QJsonObject jsonLine(const QByteArray &line)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(line.trimmed(), &error);
    return doc.isObject() ? doc.object() : QJsonObject {{"unparsable", QString(line)}};
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT
private slots:
    void arguments_data();
    void arguments();
    void values_data();
    void values();
    void consoleLines_data();
    void consoleLines();
    void language_data();
    void language();

    void readSavesWhatTheWindowSaves();
    void writeFileToAnotherReader();
    void refusalsChangeNothing_data();
    void refusalsChangeNothing();
    void jsonOutput();
    void remote_data();
    void remote();
    void firmware_data();
    void firmware();

    void choicesByAnyName_data();
    void choicesByAnyName();
    void outputRefusals_data();
    void outputRefusals();
    void failedStandardOutput_data();
    void failedStandardOutput();
    void silentReaderWithinTimeout();
};

void TestCli::arguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected");
    auto ok = [](const char *name, const QStringList &args, const QString &expected) {
        QTest::newRow(name) << args << expected;
    };
    // A refusal names the value it refuses.
    auto refused = [](const char *name, const QStringList &args, const QString &value) {
        QTest::newRow(name) << args << "error mentions " + value;
    };

    ok("defaults", {"--port", "/dev/ttyUSB0", "read"}, "read /dev/ttyUSB0 19200 1");
    ok("options anywhere, inline values",
       {"read", "--speed=9600", "--port", "P", "--address", "26", "--json", "--retries", "3"},
       "read P 9600 26 json retries=3");
    ok("read to a file", {"--port", "P", "read", "-o", "x.xml"}, "read P 19200 1 file=x.xml");
    ok("write with overrides", {"--port", "P", "write", "t.xml", "address=9", "gen=Включена"},
       "write P 19200 1 file=t.xml set=address=9,gen=Включена");
    ok("set by index and by text", {"--port", "P", "set", "speed=115200", "genmode=По событию"},
       "set P 19200 1 set=speed=115200,genmode=По событию");
    ok("send in pieces", {"--port", "P", "send", "0300", "00 00", "25", "80"},
       "send P 19200 1 send=0300 00 00 25 80");
    ok("remote",
       {"--remote", "356938035643809", "--password", "pw", "--server", "10.0.0.2:12358", "reboot"},
       "reboot  19200 1 remote=356938035643809/pw@10.0.0.2:12358");
    ok("ports need no port", {"ports"}, "ports  19200 1");
    ok("help before anything else", {"--port", "P", "frobnicate", "--help"}, "help P 19200 1");
    ok("version before anything else", {"--version", "frobnicate"}, "version  19200 1");
    ok("answer time-out", {"--port", "P", "--timeout", "250", "read"}, "read P 19200 1 timeout=250");
    ok("read to standard output", {"--port", "P", "read", "-o", "-"}, "read P 19200 1 file=-");

    refused("address 255", {"--port", "P", "--address", "255", "read"}, "255");
    refused("speed not in the list", {"--port", "P", "--speed", "1234", "read"}, "1234");
    refused("set address out of range", {"--port", "P", "set", "address=300"}, "300");
    refused("negative choice", {"--port", "P", "set", "gen=-1"}, "-1");
    refused("unknown key", {"--port", "P", "set", "colour=red"}, "colour");
    refused("pair without value", {"--port", "P", "set", "address"}, "address");
    refused("key twice", {"--port", "P", "set", "gen=1", "gen=0"}, "gen");
    refused("set without pairs", {"--port", "P", "set"}, "set");
    refused("unknown command", {"--port", "P", "frobnicate"}, "frobnicate");
    refused("unknown option", {"--port", "P", "--baud", "9600", "read"}, "--baud");
    refused("option without value", {"read", "--port"}, "--port");
    refused("retries 100", {"--port", "P", "--retries", "100", "read"}, "100");
    refused("time-out too short", {"--port", "P", "--timeout", "10", "read"}, "10");
    refused("time-out not a number", {"--port", "P", "--timeout=5s", "read"}, "5s");
    refused("server without port", {"--remote", "1", "--password", "p", "--server", "host", "read"},
            "host");
    refused("password without remote", {"--port", "P", "--password", "p", "read"}, "--password");
    refused("remote without password", {"--remote", "1", "read"}, "--password");
    refused("-o outside read", {"--port", "P", "write", "f.xml", "-o", "x"}, "-o");
    refused("write without file", {"--port", "P", "write"}, "write");
    refused("console code too short", {"--port", "P", "send", "01"}, "01");
    refused("console half a byte", {"--port", "P", "send", "0300 0"}, "0300 0");
    refused("console not hexadecimal", {"--port", "P", "send", "01zz"}, "01zz");
    refused("console frame too long", {"--port", "P", "send", "0300" + QString(502, '0')}, "250");
    refused("scan through the server", {"--remote", "1", "--password", "p", "scan"}, "scan");
    refused("console through the server", {"--remote", "1", "--password", "p", "send", "0100"},
            "send");
    // A commission with its template and report, and the options given.
    auto commission = [](const QStringList &options) {
        return QStringList {"--port", "P", "commission", "--template", "t.xml"} + options
               + QStringList {"--report", "r.csv"};
    };
    ok("commission of the readers picked",
       commission({"--addresses", "12,5,20-22", "--note", "Цех 3, линия 2"}),
       "commission P 19200 1 template=t.xml report=r.csv addresses=12,5,20,21,22 "
       "note=Цех 3, линия 2");
    ok("commission assigning, factory 1 and five minutes unless given",
       commission({"--assign", "11-40"}),
       "commission P 19200 1 template=t.xml report=r.csv assign=11-40 factory=1 wait=300");
    ok("commission assigning from another factory address, with an image",
       {"--port", "P", "--speed", "9600", "commission", "--template=t.xml", "--assign", "50",
        "--factory", "7", "--wait", "20", "--firmware", "f.bin", "--report", "r.csv"},
       "commission P 9600 1 template=t.xml report=r.csv assign=50-50 factory=7 wait=20 "
       "firmware=f.bin");
    refused("commission without template",
            {"--port", "P", "commission", "--assign", "11-40", "--report", "r.csv"}, "--template");
    refused("commission without report",
            {"--port", "P", "commission", "--template", "t.xml", "--addresses", "11"}, "--report");
    refused("commission in both modes", commission({"--addresses", "11", "--assign", "12-13"}),
            "--assign");
    refused("commission in no mode", commission({}), "--addresses");
    refused("commission address twice", commission({"--addresses", "11-13,12"}), "12");
    refused("commission range reversed", commission({"--assign", "40-11"}), "40-11");
    refused("commission range past 254", commission({"--assign", "250-260"}), "260");
    refused("commission factory address inside the range", commission({"--assign", "1-30"}), "1-30");
    refused("commission factory without assign",
            commission({"--addresses", "11", "--factory", "2"}), "--factory");
    refused("commission wait of no time", commission({"--assign", "11-12", "--wait", "0"}), "0");
    refused("commission option given twice",
            commission({"--template", "b.xml", "--assign", "11-12"}), "--template");
    refused("commission option with another command", {"--port", "P", "read", "--note", "x"},
            "--note");
    refused("commission through the server",
            {"--remote", "1", "--password", "p", "commission", "--template", "t.xml", "--addresses",
             "11", "--report", "r.csv"},
            "commission");
    refused("no port", {"read"}, "--port");
    refused("no command", {"--port", "P"}, "--help");
}

void TestCli::arguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);
    const CliArguments::Result result = CliArguments::parse(arguments, bauds());
    if (expected.startsWith("error mentions ")) {
        QVERIFY2(!result.ok(), qPrintable(summary(result)));
        QVERIFY2(result.error.contains(expected.mid(15)), qPrintable(result.error));
    } else {
        QCOMPARE(summary(result), expected);
    }
}

void TestCli::values_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("param"); // as the window's form writes it, or "error"
    auto row = [](const char *name, const char *key, const QString &value, const char *param) {
        QTest::newRow(name) << key << value << param;
    };
    row("address in hexadecimal", "address", "26", "1a");
    row("highest address", "address", "254", "fe");
    row("speed of the firmware's list", "speed", "57600", "57600");
    row("speed the firmware lacks", "speed", "115200", "error");
    row("choice by index", "gen", "1", "1");
    row("choice by text, any case", "gen", "включена", "1");
    row("choice by a text with blanks", "genmode", "По событию", "2");
    row("index past the list", "genmode", "3", "error");
    row("text not in the list", "pullup", "вверх", "error");
}

void TestCli::values()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QString, param);
    // The lists of a firmware group as devices.db gives them, notes after ':' cut off.
    const QMap<QString, QStringList>
            lists {{"speed", CliDocument::formItems(
                                     {"2400", "9600:по умолчанию", "19200", "38400", "57600"})},
                   {"gen", {"Выключена", "Включена"}},
                   {"genmode", CliDocument::formItems({"Постоянная:выход включён всё время",
                                                       "Импульсная", "По событию"})},
                   {"pullup", {"Отключена", "Подтяжка к питанию", "Подтяжка к земле"}}};
    // Converted as typed, then checked as the window checks a document.
    QString error;
    const QString written = CliDocument::paramOf({key, value}, lists, &error);
    if (error.isEmpty()) {
        QDomDocument doc;
        CliDocument::setParameter(doc, CliDocument::elementOf(key), written);
        error = CliDocument::misfit(doc, lists);
    }
    if (param == "error") {
        QVERIFY2(error.contains(value), qPrintable(written + " / " + error));
    } else {
        QCOMPARE(written, param);
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }
}

void TestCli::consoleLines_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("expected"); // direction and bytes
    // A request and a sound answer are read from the link's own lines by the JSON send.
    QTest::newRow("answer marked with a failed checksum")
            << "<font color=green>&lt; </font>01&nbsp;04&nbsp;dc&nbsp;82&nbsp;00&nbsp;00&nbsp;a4"
               "&nbsp;<font color=red>✗ КС</font>"
            << "received 01 04 dc 82 00 00 a4";
    QTest::newRow("request through the server")
            << "<font color=blue>&gt; </font>S485 6,260,2000,19200;AQPcAQDd"
            << "sent 01 03 dc 01 00 dd";
    QTest::newRow("half a byte") << "<font color=green>&lt; </font>01&nbsp;0"
                                 << "other";
    QTest::newRow("server line, damaged Base64")
            << "<font color=blue>&gt; </font>S485 6,260,2000,19200;***"
            << "other";
    QTest::newRow("plain text") << "Port open OK!"
                                << "other";
}

void TestCli::consoleLines()
{
    QFETCH(QString, html);
    QFETCH(QString, expected);
    const CliOutput::ConsoleLine line = CliOutput::parseConsoleLine(html);
    const char *const directions[] = {"other", "sent", "received"};
    QString got = directions[line.direction];
    if (!line.bytes.isEmpty())
        got += ' ' + hexBytes(line.bytes);
    QCOMPARE(got, expected);
}

void TestCli::language_data()
{
    QTest::addColumn<QByteArray>("lcAll");
    QTest::addColumn<QByteArray>("lcMessages");
    QTest::addColumn<QByteArray>("lang");
    QTest::addColumn<QString>("language");
    QTest::newRow("Russian LANG") << QByteArray() << QByteArray() << QByteArray("ru_RU.UTF-8")
                                  << "ru";
    QTest::newRow("another Russian locale")
            << QByteArray() << QByteArray() << QByteArray("ru_UA.UTF-8") << "ru";
    QTest::newRow("plain ru") << QByteArray() << QByteArray() << QByteArray("ru") << "ru";
    QTest::newRow("LC_MESSAGES before LANG")
            << QByteArray() << QByteArray("en_GB.UTF-8") << QByteArray("ru_RU.UTF-8") << "en";
    QTest::newRow("LC_ALL before both")
            << QByteArray("ru_RU.UTF-8") << QByteArray("C") << QByteArray("en_US.UTF-8") << "ru";
    QTest::newRow("C locale") << QByteArray() << QByteArray() << QByteArray("C.UTF-8") << "en";
    QTest::newRow("nothing set") << QByteArray() << QByteArray() << QByteArray() << "en";
    QTest::newRow("Rusyn is not Russian")
            << QByteArray() << QByteArray() << QByteArray("rue_UA") << "en";
}

void TestCli::language()
{
    QFETCH(QByteArray, lcAll);
    QFETCH(QByteArray, lcMessages);
    QFETCH(QByteArray, lang);
    QFETCH(QString, language);
    QCOMPARE(languageForEnvironment(lcAll, lcMessages, lang), language);
}

void TestCli::readSavesWhatTheWindowSaves()
{
    SimReaderSettings settings = simReader(26, 9600);
    settings.genState = 1;
    settings.pullUp = 2;
    settings.genMode = 2;
    BusWindowRig rig({settings});
    const QString windowFile = rig.dir.filePath("window.xml");
    const QString cliFile = rig.dir.filePath("cli.xml");
    QVERIFY(rig.connectAndRead("9600", "26"));
    rig.boxes.fileAnswers << windowFile;
    rig.w().saveFileSlot();
    rig.press("rs485_Button");
    QVERIFY(QTest::qWaitFor([&] { return rig.w().globalState() == 0; }, 5000));
    const QByteArray saved = readTestFile(windowFile);
    QVERIFY(saved.contains("<rs485_addr_220 param=\"1a\"/>"));

    const QStringList bus {"--port", rig.bus.devicePath(), "--speed", "9600", "--address", "26"};
    const CliRun toFile = runCli(bus + QStringList {"read", "-o", cliFile});
    QVERIFY2(toFile.exitCode == 0 && toFile.out.isEmpty(), qPrintable(toFile.describe()));
    QCOMPARE(readTestFile(cliFile), saved);
    const CliRun toOutput = runCli(bus + QStringList {"read"});
    QVERIFY2(toOutput.exitCode == 0, qPrintable(toOutput.describe()));
    QCOMPARE(toOutput.out, saved);
    // "-o -" is standard output, also beside --json, whose line then stays out of the file.
    const CliRun dash = runCli(bus + QStringList {"--json", "read", "-o", "-"});
    QVERIFY2(dash.exitCode == 0, qPrintable(dash.describe()));
    QCOMPARE(dash.out, saved);
    QVERIFY(!QFile::exists("-"));
}

void TestCli::writeFileToAnotherReader()
{
    // Reader A on one bus, reader B on another: A's file written to B makes B a copy of A, at
    // A's address and speed, where the program finds it after the reboot.
    QTemporaryDir dir;
    SimBus busA, busB;
    QVERIFY(busA.open() && busB.open());
    SimReaderSettings a = simReader(1, 9600);
    a.genState = 1;
    a.pullUp = 1;
    a.genMode = 2;
    busA.addReader(a);
    SimReader *b = busB.addReader(simReader(5));

    const QString fileA = dir.filePath("a.xml"), fileB = dir.filePath("b.xml");
    const CliRun readA = runCli(
            {"--port", busA.devicePath(), "--speed", "9600", "read", "-o", fileA});
    QVERIFY2(readA.exitCode == 0, qPrintable(readA.describe()));
    const CliRun write = runCli({"--port", busB.devicePath(), "--address", "5", "write", fileA});
    QVERIFY2(write.exitCode == 0, qPrintable(write.describe()));
    QCOMPARE(write.out, QByteArray("address=1 speed=9600 gen=1 genmode=2 pullup=1\n"));
    // Every element of the file in its order, one reboot, then the read at the new address.
    QCOMPARE(commandCodes(busB.requests()),
             kReadCodes + " 0600 0601 0602 0302 0300 0200 " + kReadCodes);
    QCOMPARE(b->rebootCount(), 1);

    const CliRun readB = runCli(
            {"--port", busB.devicePath(), "--speed", "9600", "read", "-o", fileB});
    QVERIFY2(readB.exitCode == 0, qPrintable(readB.describe()));
    QCOMPARE(readTestFile(fileB), readTestFile(fileA));
}

void TestCli::refusalsChangeNothing_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("file"); // written to f.xml first when not empty
    QTest::addColumn<int>("rejectWrites"); // the reader's answer to a write, 0: taken
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("requests");
    auto row = [](const char *name, const QStringList &arguments, const QByteArray &file,
                  int rejectWrites, int exitCode, const QString &requests) {
        QTest::newRow(name) << arguments << file << rejectWrites << exitCode << requests;
    };
    const QByteArray config = "<?xml version=\"1.0\"?>\n<configuration>\n"
                              " <gen_stat_220 param=\"1\"/>\n</configuration>\n";
    row("address outside 1..254", {"--address", "0", "reboot"}, {}, 0, 2, "");
    row("speed not in the list", {"set", "speed=14400"}, {}, 0, 2, "");
    row("foreign XML", {"write", "f.xml"}, "<?xml version=\"1.0\"?><settings/>", 0, 5, "");
    row("file missing", {"write", "missing.xml"}, {}, 0, 5, "");
    // Which choices a reader has, its firmware tells: only the read goes out.
    row("choice past the firmware's list", {"set", "gen=2"}, {}, 0, 2, kReadCodes);
    row("file value past the firmware's list", {"write", "f.xml"},
        QByteArray(config).replace("param=\"1\"", "param=\"7\""), 0, 2, kReadCodes);
    row("file address past 254", {"write", "f.xml"},
        QByteArray(config).replace("gen_stat_220 param=\"1\"", "rs485_addr_220 param=\"ff\""), 0, 2,
        kReadCodes);
    // The reader refuses the first value: the error names it, nothing more goes, no reboot.
    row("value the reader refuses", {"set", "pullup=1", "speed=9600"}, {}, 3, 4,
        kReadCodes + " 0601");
}

void TestCli::refusalsChangeNothing()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, file);
    QFETCH(int, rejectWrites);
    QFETCH(int, exitCode);
    QFETCH(QString, requests);
    QTemporaryDir dir;
    if (!file.isEmpty())
        QVERIFY(writeTestFile(dir.filePath("f.xml"), file));
    for (QString &arg : arguments) {
        if (arg.endsWith(".xml"))
            arg = dir.filePath(arg);
    }
    SimBus bus;
    QVERIFY(bus.open());
    SimReaderSettings settings = simReader(1);
    settings.rejectWrites = quint8(rejectWrites);
    SimReader *sim = bus.addReader(settings);
    const CliRun run = runCli(QStringList {"--port", bus.devicePath()} + arguments);
    QVERIFY2(run.exitCode == exitCode, qPrintable(run.describe()));
    QCOMPARE(run.err.count('\n'), 1);
    if (rejectWrites)
        QVERIFY2(run.err.contains(arguments.at(1).toUtf8()), run.err.constData());
    QVERIFY(run.out.isEmpty());
    QCOMPARE(commandCodes(bus.requests()), requests);
    QCOMPARE(sim->settings().genState, quint8(0));
    QCOMPARE(sim->rebootCount(), 0);
}

void TestCli::jsonOutput()
{
    SimBus bus;
    QVERIFY(bus.open());
    SimReaderSettings settings = simReader(7, 38400);
    settings.pullUp = 1;
    settings.counter = 500;
    settings.firmware = "1.2.4";
    bus.addReader(settings);
    const QStringList port {"--json",    "--port", bus.devicePath(), "--speed", "38400",
                            "--address", "7"};

    const CliRun read = runCli(port + QStringList {"read"});
    QVERIFY2(read.exitCode == 0 && read.out.count('\n') == 1, qPrintable(read.describe()));
    QJsonObject object = jsonLine(read.out);
    QVERIFY2(object.value("counter").toInt() >= 500, read.out.constData());
    object.remove("counter");
    object.remove("uptime");
    QCOMPARE(object, QJsonObject({{"address", 7},
                                  {"device", 220},
                                  {"firmware", "1.2.4"},
                                  {"speed", 38400},
                                  {"gen", 0},
                                  {"genmode", 0},
                                  {"pullup", 1}}));

    const CliRun send = runCli(port + QStringList {"send", "0301"});
    QVERIFY2(send.exitCode == 0, qPrintable(send.describe()));
    // The RS-485 settings answer: address 7, length 9, marker, code with the answer flag,
    // status 0, 38400 baud (00 00 96 00), the address 7, checksum.
    QCOMPARE(jsonLine(send.out),
             QJsonObject({{"request", "0703dc0301da"}, {"answer", "0709dc8301000000960007c1"}}));

    const CliRun refused = runCli(port + QStringList {"set", "speed=300"});
    QCOMPARE(refused.exitCode, 2);
    object = jsonLine(refused.err);
    QCOMPARE(object.value("code").toInt(), 2);
    QVERIFY2(object.value("error").toString().contains("300"), refused.err.constData());
}

void TestCli::remote_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("loginReply");
    QTest::addColumn<int>("exitCode");
    using R = ConfigServerSim::LoginReply;
    // Read, written, rebooted and read again through the same connection. A read alone prints
    // its document as over the serial line; a terminal the server finds busy ends as one it does
    // not know (the link's server refusal rows keep both); an upload through the server is the
    // window's update workflow row.
    QTest::newRow("set") << "t0p5ecret" << int(R::Ping) << 0;
    QTest::newRow("wrong password") << "guess" << int(R::Ping) << 6;
    QTest::newRow("terminal not at the server") << "t0p5ecret" << int(R::NotRegistered) << 6;
    QTest::newRow("terminal silent") << "t0p5ecret" << int(R::TerminalNotAnswer) << 3;
}

void TestCli::remote()
{
    QFETCH(QString, password);
    QFETCH(int, loginReply);
    QFETCH(int, exitCode);
    ConfigServerSim server;
    QVERIFY(server.listen());
    server.setTerminal("356938035643809", "t0p5ecret");
    server.setLoginReply(ConfigServerSim::LoginReply(loginReply));
    SimReaderSettings settings = simReader(3, 9600);
    settings.genMode = 2;
    SimReader *sim = server.addReader(settings);

    const CliRun run = runCli({"--remote", "356938035643809", "--password", password, "--server",
                               QString("127.0.0.1:%1").arg(server.port()), "--speed", "9600",
                               "--address", "3", "set", "genmode=1"});
    QVERIFY2(run.exitCode == exitCode, qPrintable(run.describe()));
    if (exitCode != 0) {
        QVERIFY2(run.err.contains("356938035643809"), run.err.constData());
        QVERIFY(server.frames().isEmpty());
        return;
    }
    QCOMPARE(run.out, QByteArray("address=3 speed=9600 gen=0 genmode=1 pullup=0\n"));
    QCOMPARE(commandCodes(server.frames()), kReadCodes + " 0602 0200 " + kReadCodes);
    QCOMPARE(sim->settings().genMode, quint8(1));
    // The connection is closed as the window closes it.
    QTRY_VERIFY(server.received().contains("socClose"));
}

void TestCli::firmware_data()
{
    QTest::addColumn<int>("device");
    QTest::addColumn<QString>("damage");
    QTest::addColumn<int>("prepareStatus");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("pages");
    QTest::newRow("upload") << 200 << "" << 0 << 0 << "0 1 2 959";
    QTest::newRow("image of another device") << 220 << "" << 0 << 4 << "";
    QTest::newRow("wrong checksum") << 200 << "checksum" << 0 << 5 << "";
    QTest::newRow("reader refuses the area") << 200 << "" << 3 << 4 << "";
}

void TestCli::firmware()
{
    QFETCH(int, device);
    QFETCH(QString, damage);
    QFETCH(int, prepareStatus);
    QFETCH(int, exitCode);
    QFETCH(QString, pages);
    SimBus bus;
    QVERIFY(bus.open());
    SimReaderSettings settings = simReader(5);
    settings.deviceId = quint16(device);
    settings.firmware = "1.4.0";
    settings.upgradeFirmware = "1.5.0";
    settings.prepareStatus = quint8(prepareStatus);
    SimReader *sim = bus.addReader(settings);

    QByteArray image = FirmwareImage::pack(firmwareTestImage(200, 1, 5, 0, 16),
                                           {{0x3800, QByteArray(300, 'z')},
                                            {0x3800 + 959 * 128, QByteArray(16, 'e')}});
    if (damage == "checksum")
        image[image.size() - 1] = char(image.at(image.size() - 1) ^ 0x01);
    QTemporaryDir dir;
    const QString path = dir.filePath("Zemo200_v1.5.0_update.bin");
    QVERIFY(writeTestFile(path, image));

    const CliRun run = runCli({"--port", bus.devicePath(), "--address", "5", "firmware", path});
    QVERIFY2(run.exitCode == exitCode, qPrintable(run.describe()));
    QStringList received;
    for (int page : sim->receivedPages())
        received << QString::number(page);
    QCOMPARE(received.join(' '), pages);
    if (exitCode == 0) {
        QCOMPARE(run.out, QByteArray("5 200 1.5.0\n"));
        QCOMPARE(sim->settings().firmware, QString("1.5.0"));
    } else {
        QCOMPARE(sim->rebootCount(), 0);
    }
    if (prepareStatus == 0 && exitCode != 0)
        QVERIFY2(!commandCodes(bus.requests()).contains("0a00"),
                 qPrintable(commandCodes(bus.requests())));
}

// A choice is taken by its index, its Russian text and its English text, whatever the language
// of the messages; a name of no item is refused before anything is written, in that language.
void TestCli::choicesByAnyName_data()
{
    QTest::addColumn<QString>("lang");
    QTest::addColumn<QString>("pair");
    QTest::addColumn<int>("genMode"); // what the reader keeps; -1: refused
    QTest::addColumn<QString>("message");
    QTest::newRow("English text in a Russian environment") << "ru_RU.UTF-8"
                                                           << "genmode=on event" << 2 << "";
    QTest::newRow("Russian text in an English environment") << "en_US.UTF-8"
                                                            << "genmode=Импульсная" << 1 << "";
    QTest::newRow("index in an English environment") << "en_US.UTF-8"
                                                     << "genmode=2" << 2 << "";
    QTest::newRow("unknown name, English message")
            << "en_US.UTF-8"
            << "genmode=sometimes" << -1 << "1 Импульсная (Pulsed)";
    QTest::newRow("unknown name, Russian message") << "ru_RU.UTF-8"
                                                   << "genmode=иногда" << -1 << "не из вариантов";
}

void TestCli::choicesByAnyName()
{
    QFETCH(QString, lang);
    QFETCH(QString, pair);
    QFETCH(int, genMode);
    QFETCH(QString, message);
    SimBus bus;
    QVERIFY(bus.open());
    SimReader *sim = bus.addReader(simReader(1));
    const CliRun run = runCliWith({"--port", bus.devicePath(), "set", pair},
                                  languageEnvironment(lang));
    if (genMode < 0) {
        QVERIFY2(run.exitCode == 2, qPrintable(run.describe()));
        QVERIFY2(QString::fromUtf8(run.err).contains(message), qPrintable(run.describe()));
        QCOMPARE(sim->rebootCount(), 0);
        return;
    }
    QVERIFY2(run.exitCode == 0, qPrintable(run.describe()));
    QCOMPARE(int(sim->settings().genMode), genMode);
}

// "read -o" writes regular files only: a folder, a FIFO or a device is refused before the reader
// is asked anything, and left as it was.
void TestCli::outputRefusals_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("folder") << "folder";
    QTest::newRow("FIFO") << "fifo";
    QTest::newRow("device") << "device";
    QTest::newRow("link to a folder") << "link";
}

void TestCli::outputRefusals()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    QString target = dir.filePath("out");
    if (kind == "folder" || kind == "link") {
        QVERIFY(QDir().mkpath(dir.filePath("out/inside")));
        if (kind == "link") {
            QVERIFY(QFile::link(dir.filePath("out"), dir.filePath("link")));
            target = dir.filePath("link");
        }
    } else if (kind == "fifo") {
        QCOMPARE(QProcess::execute("mkfifo", {target}), 0);
    } else {
        target = "/dev/null";
    }
    SimBus bus;
    QVERIFY(bus.open());
    bus.addReader(simReader(1));
    const CliRun run = runCli({"--port", bus.devicePath(), "read", "-o", target});
    QVERIFY2(run.exitCode == 5, qPrintable(run.describe()));
    QVERIFY2(run.err.contains(target.toUtf8()), qPrintable(run.describe()));
    QVERIFY(run.out.isEmpty());
    QCOMPARE(bus.requests().size(), 0);
    const QFileInfo after(target);
    if (kind == "folder" || kind == "link")
        QVERIFY(after.isDir() && QFileInfo::exists(dir.filePath("out/inside")));
    else if (kind == "fifo")
        QVERIFY(after.exists() && !after.isFile() && !after.isDir());
    // Nothing was put beside it either (the atomic save's temporary file).
    QCOMPARE(QDir(dir.path())
                     .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
                     .size(),
             kind == "link" ? 2 : (kind == "device" ? 0 : 1));
}

// Results that do not reach standard output fail the command with code 5 and a line on standard
// error: a full disk, and a reader of the pipe that went away.
void TestCli::failedStandardOutput_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("version to a full disk") << "full" << QStringList {"--version"};
    QTest::newRow("help to a full disk") << "full" << QStringList {"--help"};
    QTest::newRow("read to a full disk") << "full" << QStringList {"read"};
    QTest::newRow("read into a closed pipe") << "pipe" << QStringList {"read"};
    QTest::newRow("JSON send into a closed pipe")
            << "pipe" << QStringList {"--json", "send", "0100"};
}

void TestCli::failedStandardOutput()
{
    QFETCH(QString, how);
    QFETCH(QStringList, arguments);
    SimBus bus;
    QVERIFY(bus.open());
    bus.addReader(simReader(1));
    const QStringList all = QStringList {"--port", bus.devicePath()} + arguments;
    CliRun run;
    if (how == "full") {
        run = runCliWith(all, QProcessEnvironment::systemEnvironment(), "/dev/full");
    } else {
        // The pipe's reader ends at once; zemo-cli learns it when it writes its result, and its
        // code comes back on standard error through the shell.
        QProcess shell;
        QEventLoop loop;
        connect(&shell, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), &loop,
                &QEventLoop::quit);
        shell.start("/bin/sh", QStringList {"-c", R"(("$0" "$@"; echo "exit $?" >&2) | true)",
                                            appBuildPath("zemo-cli")}
                                       + all);
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        loop.exec();
        run.err = shell.readAllStandardError();
        const int at = run.err.lastIndexOf("exit ");
        run.exitCode = at < 0 ? -1 : run.err.mid(at + 5).trimmed().toInt();
    }
    QVERIFY2(run.exitCode == 5, qPrintable(run.describe()));
    QVERIFY2(run.err.contains("stdout") || run.err.contains("standard output")
                     || QString::fromUtf8(run.err).contains("стандартный вывод"),
             qPrintable(run.describe()));
}

// A short answer time-out gives up on a silent reader after the same four identity requests,
// in a fraction of the five seconds each.
void TestCli::silentReaderWithinTimeout()
{
    SimBus bus;
    QVERIFY(bus.open());
    SimReaderSettings settings = simReader(1);
    settings.silentRequests = 1000;
    bus.addReader(settings);
    const CliRun run = runCli({"--port", bus.devicePath(), "--timeout", "100", "read"});
    QVERIFY2(run.exitCode == 3, qPrintable(run.describe()));
    QCOMPARE(commandCodes(bus.requests()), QString("0100 0100 0100 0100"));
    QVERIFY2(run.err.contains("0100"), run.err.constData());
}

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
