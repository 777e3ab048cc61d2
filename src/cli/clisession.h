#pragma once

#include "cliarguments.h"
#include "clioutput.h"
#include "db_worker.h"
#include "deviceinterface.h"

#include <QByteArray>
#include <QDomDocument>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QTranslator>

#include <functional>

class QBuffer;
class QEventLoop;

// One run of zemo-cli: the device link and the device database wired the way the main window
// wires them, and the window's operations (scan, read, write, reboot, console, firmware
// upload, remote login) started on the link and followed through its state codes, its console
// lines and its questions, which are answered by the options. Results go to standard output,
// errors and progress to standard error.
class CliSession : public QObject
{
    Q_OBJECT
public:
    explicit CliSession(QObject *parent = nullptr);
    ~CliSession() override;

    // The speeds the link can set, for checking the command line.
    QStringList baudList() const { return m_link.baudList(); }

    // Runs the command; returns the exit code (CliExit) after printing its error line.
    int run(const CliOptions &options);

    // Writes to standard output and flushes; false, with the reason, when that failed.
    static bool writeOut(const QByteArray &bytes, QString *error);

private:
    // What the link is doing for the command; the outcome of a phase is decided by what the
    // link reports while it runs.
    enum class Phase { Idle, Reading, Writing, Rebooting, Scanning, Uploading, Console, Closing };

    // Starts a phase and runs the event loop until it has an outcome. A phase in which the link
    // reports nothing for longer than it ever waits for an answer ends as unanswered, so that
    // every command ends; deadlineMs > 0 ends it after that time in any case.
    int runPhase(Phase phase, const std::function<void()> &start, int deadlineMs = 0);
    // The outcome of the running phase (the first one counts).
    void settle(int code, const QString &message = QString());
    // Records the error of the command and returns its code.
    int failWith(int code, const QString &message);

    // commands (clisession_commands.cpp)
    int ports();
    int scan();
    int read();
    int write();
    int reboot();
    int send();
    int firmware();
    int commission(); // clisession_commission.cpp

    // steps
    int requireDatabase();
    int openSerialPort();
    // Opens the port and reads the reader, or logs in through the server, whose "PASS OK"
    // starts the same read.
    int connectAndRead();
    // A read (first or after a reboot) until its document, which must follow an identity
    // answer: a read whose identity went unanswered and was skipped after a "Yes" has no reader
    // behind it.
    int readDocument(const std::function<void()> &start);
    // The reader's firmware group must be in devices.db before anything is written.
    int requireSupportedFirmware();
    int writeDocument(const QDomDocument &changes);
    // After a confirmed reboot: waits while the reader restarts and reads it again at the
    // address and speed the link says it took with the reboot.
    int followReboot();
    void closeLink();
    // A sleep that keeps the event loop (and so the link's timers) running.
    void pause(int ms);
    // How long a phase may go without the link reporting anything: longer than the link ever
    // waits for one answer (the bus's time-out, or a line of the server).
    int idleLimitMs() const;
    // Where "read -o" writes: the file must be a regular file or not yet exist. Empty when it
    // may be written, else why not.
    QString outputFileRefusal(const QString &path) const;
    // The other names of a form list item (English, and the language of the messages).
    QStringList otherNames(const QString &item) const;

    // link signals
    void onState(int code);
    void onFirmwareVersion(const QString &fwVer, const QString &opt, const QString &devId,
                           const QString &devIdByName);
    void onDocument(QBuffer *buffer);
    void onConsoleLine(const QString &html);
    void onProgress(int value);
    void onReaderFound(int address, const VERSION_INFO_220 &info);
    Prompt::Button answerBox(const MessageRequest &request);

    // texts
    QString readerText() const; // "address 5 on /dev/ttyUSB0" or through the server
    QString serverText() const;
    QString noAnswerText() const;
    QString refusedText() const;
    QString remoteStateText(int code) const;

    // Standard output: false (and the command fails with FileError) when it cannot be written,
    // a full disk or a closed pipe; after the first failure nothing more is written.
    bool printOut(const QString &line);
    bool printRaw(const QByteArray &bytes);
    void printError(int code, const QString &message);
    void drawProgress(const QString &line);
    void endProgress();

    CliOptions m_options;
    DB_Worker m_db;
    DeviceInterface m_link;
    bool m_dbReady = false;

    Phase m_phase = Phase::Idle;
    QEventLoop *m_loop = nullptr;
    QTimer m_watchdog;
    bool m_settled = false;
    int m_outcome = CliExit::Done;
    QString m_outcomeMessage;
    QString m_error;

    // what the link reported
    CliOutput::Identity m_identity;
    QString m_devIdText;
    bool m_fwSupported = false;
    bool m_identityAnswered = false; // in the read that runs or ran last
    QMap<QString, QStringList> m_formLists; // key -> items as the form shows them
    QByteArray m_document; // the last read document
    qint64 m_counter = -1;
    qint64 m_uptime = -1;
    QList<int> m_found;
    bool m_foundReported = false;
    QTranslator m_english; // the English names of the form lists' items
    QString m_outputError; // why standard output failed; empty while it works
    QByteArray m_lastSent;
    QByteArray m_lastReceived;
    QDomDocument m_writing; // the changes being written
    QString m_lastBox; // the text of the last message box the link showed

    // questions after three resends
    int m_yesLeft = 0;
    bool m_answeredYes = false;

    // progress on a terminal
    bool m_progressOnTerminal = false;
    int m_progressMax = 0;
    QString m_progressDrawn;
};
