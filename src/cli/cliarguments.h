#pragma once

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>

// Exit codes of zemo-cli, for the scripts that call it.
namespace CliExit {
constexpr int Done = 0;
constexpr int Usage = 2; // bad arguments or values; nothing was sent
constexpr int NoAnswer = 3; // the reader (or the port) did not answer
constexpr int Refused = 4; // the reader refused a value or an image
constexpr int FileError = 5; // a file (standard output too) could not be read or written
constexpr int ServerError = 6; // the configuration server or the login failed
constexpr int Unsupported = 7; // firmware not in devices.db
} // namespace CliExit

// One KEY=VALUE of "set" (and of the overrides after "write FILE"), as typed.
struct CliSetting
{
    QString key;
    QString value;
};

// What the command line asks for.
struct CliOptions
{
    enum Command {
        Help,
        Ports,
        Scan,
        Read,
        Write,
        Set,
        Reboot,
        Send,
        Firmware,
        Version,
        Commission
    };
    Command command = Help;

    QString port;
    int speed = 19200;
    int address = 1;
    bool json = false;
    bool verbose = false;
    // Rounds of three resends before a silent reader fails the command.
    int retries = 1;
    // How long the link waits for each answer before it resends.
    int timeoutMs = 5000;

    // Remote: the terminal's IMEI and password; the server from settings.conf unless given.
    QString imei;
    QString password;
    QString serverHost;
    quint16 serverPort = 0;

    QString file; // read -o ("-": standard output), write, firmware
    QList<CliSetting> settings; // set, and the overrides of write
    QString console; // send: the command as typed, pieces joined by blanks

    // commission: the template, the readers (--addresses) or the range to give (--assign)
    // with the factory address, the firmware image to bring readers up to, the report, the
    // engineer's note, and how long the factory address may stay silent.
    QString templateFile;
    QList<int> addresses;
    bool assign = false;
    int assignFirst = 0;
    int assignLast = 0;
    int factory = 1;
    QString firmwareFile;
    QString reportFile;
    QString note;
    int waitSeconds = 300;

    bool isRemote() const { return !imei.isEmpty(); }
};

// The command line of zemo-cli: options anywhere ("--speed 9600" or "--speed=9600"), one command
// and its arguments. Everything that can be checked without a reader is checked here, so that
// bad input never reaches the bus.
class CliArguments
{
    Q_DECLARE_TR_FUNCTIONS(CliArguments)
public:
    struct Result
    {
        CliOptions options;
        QString error; // empty when the command line is sound
        bool ok() const { return error.isEmpty(); }
    };

    // arguments: without the program name; baudList: the speeds the link can set.
    static Result parse(const QStringList &arguments, const QStringList &baudList);
    static QString usage();
    // "zemo-cli 0.3.3".
    static QString versionLine();

    // The answer time-out --timeout takes, in milliseconds.
    static constexpr int MinTimeoutMs = 50;
    // How long "commission --assign" may wait for the next reader at the factory address.
    static constexpr int MaxWaitSeconds = 24 * 3600;
    static constexpr int MaxTimeoutMs = 600000;

    // A console command for "send" must be four hexadecimal digits of the code and then whole
    // bytes of two digits, blanks anywhere: the console itself skips what is no digit and takes
    // an odd digit as a byte, which a script should hear about instead. Empty when sound.
    static QString checkConsoleCommand(const QString &text);
};
