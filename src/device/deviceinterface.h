#pragma once

#include "bushealth.h"
#include "chunkqueue.h"
#include "prompter.h"
#include "readerstatus.h"
#include "records.h"
#include "remoteprotocol.h"

#include <QByteArray>
#include <QDomDocument>
#include <QDomNode>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QStringList>
#include <QTime>

#include <functional>

class PackParser;
class QBuffer;
class QTcpSocket;
class QThread;
class QTimer;

// The device link: the one connection to a model-220 reader, over a serial port (a USB-to-RS-485
// converter) or through the remote configuration server. Owns the port, the socket, the timers
// of the request/answer cycle and the packet parser with its thread. Lives on the GUI thread and
// never touches widgets: it reports through signals (global state codes, progress, console
// lines) and shows its few message boxes through its own Prompter.
//
// The link has one connection at a time, kept in one field: closed, a serial port, a login at the
// configuration server under way, or a session through that server. It reports every change of
// it (connectionChanged), and the window derives from it what may be used.
//
// The bus is half-duplex and a reader answers one frame at a time, so the link runs one job at
// a time (a read, a scan, a poll, a write, a reboot, a firmware upload, a console command) and
// within it has at most one request on the bus. Every job starts through one function,
// startJob(), which decides from the connection and the job running whether it starts now,
// waits its turn, or is refused; nothing else sends a frame. An answer ends only the wait of the
// request it answers (same address, same command code, or the empty answer).
class DeviceInterface : public QObject
{
    Q_OBJECT
public:
    explicit DeviceInterface(QObject *parent = nullptr);
    ~DeviceInterface() override;

    enum class Job { Idle, Read, Scan, Poll, Write, Reboot, Upload, Console, Probe, Watch };
    // SerialLost: the converter of a serial session went away; the link waits for the same port
    // to come back (setResumeAfterLoss) and then connects again by itself.
    enum class Connection { Closed, Serial, RemoteLoginPending, Remote, SerialLost };
    Q_ENUM(Connection)
    // What startJob() did with a job.
    enum class Admission { Started, Queued, Refused };
    // What a job asked for while the bus is busy does: wait its turn, or give up (a poll tick,
    // a raw line, a repeated read through the server: the next one comes).
    enum class WhenBusy { Queue, Refuse };

    // Answer time-outs: per command, per probed address, per remote line.
    static constexpr int AnswerTimeoutMs = 5000;
    static constexpr int DiscoveryTimeoutMs = 50;
    static constexpr int RemoteTimeoutMs = 7000;
    // An answer ends after this much silence: the first wait, then after each further read.
    static constexpr int GatherFirstMs = 20;
    static constexpr int GatherNextMs = 10;
    static constexpr int MaxResends = 3;
    // After a request was given up with its connection (the port closed before its answer or
    // its time-out), the line stays quiet this long before the next job starts: a late answer
    // would otherwise meet the new request. The shortest wait for an answer, a probe's.
    static constexpr int QuietAfterAbandonMs = DiscoveryTimeoutMs;
    // A rebooting reader answers nothing: jobs asked for meanwhile wait this long after the
    // reboot was accepted (the window shows its reboot box as long).
    static constexpr int RebootHoldMs = 1000;
    // A page of a firmware upload the reader refuses this often ends the upload.
    static constexpr int MaxPageRefusals = 3;
    // An answer handed to the parser waits at most this long for its verdict during a scan
    // (other jobs wait their answer time-out): a slow parser thread must not lose a reader.
    static constexpr int ScanVerdictGuardMs = 1000;
    // Text the configuration server sends without reading what the link writes: at most this
    // much may wait to be written before the session ends.
    static constexpr qint64 MaxUnwrittenToServer = 64 * 1024;
    // A probe of one address or a look of the watch waits this long for its answer, once: a
    // reader on the bus answers within tens of milliseconds, and a silent one must not hold the
    // bus for the five seconds of a command.
    static constexpr int ProbeTimeoutMs = 300;
    // While a lost converter is waited for, its port is looked for this often.
    static constexpr int PortReturnCheckMs = 500;
    // No answer frame is longer than this (255 bytes and the checksum): a line that brings more
    // without a pause carries no answer, and its bytes are dropped until it falls silent.
    static constexpr int MaxAnswerBytes = 256;

    // ---- serial port ----
    // Opens the port when it is closed (true on success), closes it when it is open (false).
    bool togglePort();
    void setPortName(QString name);
    void setBaudRate(int baud);
    // Decimal text; 0 and text that is no number give address 1.
    void setDeviceAddress(QString address);
    void setSoftwareVersion(QString version);

    QString portName() const;
    int baudRate() const { return m_baudRate; }
    quint8 deviceAddress() const { return m_deviceAddress; }
    QStringList portNames() const { return m_portNames; }
    QStringList baudList() const { return m_baudList; }
    QString softwareVersion() const { return m_softwareVersion; }
    bool isPortOpen() const;

    // The system's serial ports followed by the paths in ZEMO_EXTRA_PORTS (':'-separated),
    // without empty entries and duplicates: pseudo-terminals and by-id paths are never listed
    // by the system.
    static QStringList portListWith(const QStringList &systemPorts, const QString &extraPorts);

    // ---- the connection ----
    Connection connection() const { return m_connection; }
    // A connection that can carry jobs: the serial port, or a session through the server.
    bool hasSession() const
    {
        return m_connection == Connection::Serial || m_connection == Connection::Remote;
    }
    // Through the configuration server: its login under way, or its session.
    bool isRemoteMode() const
    {
        return m_connection == Connection::RemoteLoginPending || m_connection == Connection::Remote;
    }

    // ---- what the link is doing ----
    Job job() const { return m_job; }
    // No job runs, none waits its turn, and no request waits for its answer.
    bool isIdle() const { return isBusFree() && m_waiting.isEmpty(); }
    bool isRequestPending() const { return m_request.active; }
    bool isSearching() const { return m_job == Job::Scan; }
    bool isWriteMode() const { return m_job == Job::Write; }
    // A write runs or waits its turn.
    bool isWritePending() const;
    bool isFirmwareUploadMode() const { return m_job == Job::Upload; }
    // A status read in flight ends at its first time-out instead of being sent again: someone
    // waits for the bus. Cleared when the status read ends.
    void endStatusReadAtTimeout();
    // The answer time-out of a command (5000 ms); the randomized session test shortens it.
    void setAnswerTimeoutMs(int ms) { m_answerTimeoutMs = ms; }
    int answerTimeoutMs() const { return m_answerTimeoutMs; }
    // How the line behaved since the connection was made (serial or remote); reported by
    // busHealthChanged after each answer and time-out, logged when the connection ends.
    BusHealth busHealth() const { return m_health; }
    // Request and answer lines of the console with the time they happened in front; off by
    // default.
    void setConsoleTimestamps(bool on) { m_consoleTimestamps = on; }
    // The time in front of a console line: "hh:mm:ss.zzz" and a blank.
    static QString consoleTimestamp(const QTime &time);

    // ---- kept for the main window ----
    // Speed and address last chosen in the connection panel, shown there again in state 0.
    int rememberedSpeed() const { return m_rememberedSpeed; }
    void setRememberedSpeed(int speed) { m_rememberedSpeed = speed; }
    int rememberedAddress() const { return m_rememberedAddress; }
    void setRememberedAddress(int address) { m_rememberedAddress = address; }
    Prompter &prompter() { return m_prompter; }

    // ---- frames and the answer cycle ----
    // Frames and sends one command of the job that runs and starts its answer timer. Outside a
    // job nothing is sent; more than 250 data bytes end the job (a console command with a note).
    void sendCommand_220(quint16 cmd, QByteArray data = QByteArray());
    void savePrevComm(quint16 cmd, QByteArray data);
    static quint8 calcCrcADM20(QByteArray data);
    quint16 previousCommand() const { return m_prevCmd; }
    QByteArray previousData() const { return m_prevData; }
    bool isAnswerTimerActive() const;
    int answerTimerInterval() const;
    quint8 retryCount() const { return m_retryCount; }

    // ---- read sequence ----
    void deviceInfo(QString devVer, QString devID);
    // Sends the next listed read command or finishes; in discovery mode probes the next address.
    void nextReadCommand();
    void deviceExchangeEnd();
    void addElement(QString elementName, QStringList params);
    void getFwVer_220();
    void getCounterVal_220();
    void getUpTime_220();
    QList<int> commandList() const { return m_commandList; }
    QString firmwareVersion() const { return m_fwVersion; }
    quint16 deviceId() const { return m_devId; }

    // ---- discovery ----
    void findExchangeEnd();
    QList<int> foundAddresses() const { return m_foundAddresses; }

    // ---- firmware upload ----
    void loadFirmwareFile(QString version, QString path);

    // ---- unattended work (the bus page, the commissioning run, the command line) ----
    // A silent reader ends the job (state 6, "not responding") after the resends instead of
    // asking the engineer; the connection stays.
    void setUnattended(bool on) { m_unattended = on; }
    bool isUnattended() const { return m_unattended; }
    // One identity request to an address, without resends (ProbeTimeoutMs): probeAnswered
    // tells what came. The address the link talks to stays as it was. A job like any other: it
    // waits its turn, and needs a serial session or a remote one.
    void probeReader(quint8 address);
    // One look at a reader of the bus: its counter, then its uptime, each asked once at the
    // reader's own speed (0: the link's), reported by readerWatched. Refused when the bus is busy
    // (the next round asks again).
    void watchReader(quint8 address, int baud = 0);
    // When a serial session's converter goes away: wait this long for the same port to come
    // back and connect again by itself (sessionResumed), instead of closing at once. 0 (the
    // default): close at once, as always.
    void setResumeAfterLoss(int ms) { m_resumeAfterLossMs = ms; }
    int resumeAfterLoss() const { return m_resumeAfterLossMs; }
    // Gives up waiting for a lost converter: the connections close (told in a box when asked).
    void abandonLostSession(bool tell = false);

    // ---- tests ----
    // The parser thread takes this long over each answer (0 to 30 ms in the randomized sessions,
    // as a slow disk under "-log" does).
    void setParserDelayMs(int ms);

    // ---- remote configuration ----
    bool writeCommand(QString line);
    QString calcMKey(QString imei);
    // The configuration server of the next connectToServer() instead of the one settings.conf
    // names (the command-line configurator's --server); an empty host returns to settings.conf.
    void setServerAddress(const QString &host, quint16 port);
    // How long a server that took the connection has to let the terminal in (30 s; tests
    // shorten it).
    void setLoginTimeoutMs(int ms) { m_loginTimeoutMs = ms; }
    // The last address a scan probes (254; tests that are about something else than the whole
    // range shorten it).
    void setScanLastAddress(int address) { m_scanLastAddress = qBound(1, address, 254); }

public slots:
    // serial port
    void enumeratePorts();
    void errorHandler(QSerialPort::SerialPortError error);
    void setCurrentDevice(int index);

    // answer cycle
    void readPortData();
    void readComPortData();
    void addToQue();
    void answerTimeout();
    void setAnswerOk();
    void NextReadCmd();

    // read sequence and its record handlers
    void readConfiguration_220();
    void handlerVersionInfo_220(VERSION_INFO_220 info);
    void handlerRS485_Info_220(RS485_STAT_220 info);
    void handlerInputInfo_220(INPUT_STAT_220 info);
    void handlerUpTimeInfo_220(UPTIME_INFO_220 info);
    void handlerOutputInfo_220(OUTPUT_STAT_220 info);

    // discovery
    void findDevices_220();
    void findExchangeStop();

    // polling, reboot and small answers
    void startPoll();
    void reboot_220();
    void rebootAnswer(quint8 status);
    void factoryDefaultAnswer();
    void setDateTimeAnswer(qint32 time, qint16 zone);

    // write sequence
    void writeConfiguration(QBuffer *buffer);
    void nextProcessParam();
    void answerWriteParam(quint8 result);
    void deviceWriteEnd();

    // console
    void sendTerminalCmd(QString command);
    void activateDebugMode(QString text);
    void startWriteBinLogFile(QString path);
    void stopWriteBinLogFile();

    // firmware upload
    void startUpdZemo200(QString type);
    void writeNextPage();
    void makeUpdArea(quint8 status);
    void answWritePage(quint8 status);
    void checkUpdArea(quint8 status);

    // remote configuration
    void connectToServer(QString imei, QString password);
    void disconnectedRemoteCfg();
    void disconnectDevice();
    void closeRemoteConnection();
    void authenticationDevice(QString password);

signals:
    void setCOMsList(QStringList ports);
    void setBaudList(QStringList bauds);
    void changeDeviceStatus(int code);
    void selectDevice(QStringList ports);
    void printToTerminal(QString text);
    void setProgress(int value);
    void setProgressMax(int max);
    void showVersionInfo(VERSION_INFO_220 info);
    void showInputInfo_220(INPUT_STAT_220 info);
    void showUpTimeInfo_220(UPTIME_INFO_220 info);
    void setCurrentFwVer(QString fwVer, QString opt, QString devId, QString devIdByName);
    // Signals with a result: connect them with Qt::DirectConnection.
    QList<int> getSupportedCommands();
    bool checkSupportedCommand(int cmd);
    void updateGUI(QBuffer *buffer);
    void fillFoundAddrs(QList<int> addresses);
    // A reader answered a probe of the scan: listed under the address it put in its answer.
    // With the time from the probe's last byte to the answer's last byte, in ms, and the
    // answers of that address whose checksum failed before (the address is probed once more
    // after a damaged answer).
    void readerFound(int address, VERSION_INFO_220 info, int answerMs, int damaged);
    void probeAnswered(int address, bool answered, VERSION_INFO_220 info);
    void readerWatched(const ReaderStatus &status);
    // A lost converter came back within its time: the port is open again, at the same speed,
    // for the same reader. Whoever drove the session reads it again.
    void sessionResumed();
    void authenticationFail();
    // The configuration server could not be reached.
    void remoteServerUnreachable();
    // The bus has become free: the job that ran has ended.
    void busIdle();
    void connectionChanged(DeviceInterface::Connection connection);
    // A write has ended (with its reboot, refused, given up or never started): the elements of
    // its document the reader did not take, by element name, in document order, and whether the
    // reader refused one of them.
    void writeEnded(const QStringList &notTaken, bool refused);
    // After each answer (accepted, damaged or from another address) and each time-out.
    void busHealthChanged(const BusHealth &health);

private:
    // The request in flight: the frame's address and command code.
    struct Request
    {
        bool active = false;
        quint8 address = 0;
        quint16 code = 0;
        bool sent = false; // on the line (a frame may wait for a quiet line first)
        // An answer to it went to the parser. The parser's records arrive later: one that
        // comes while this flag is down was decoded from an answer to an earlier request.
        bool answered = false;
        // The parser found the checksum of its answer wrong: sent again once the line is quiet.
        bool damaged = false;
    };

    // Opens the port read-write with the speed set last and connects the receive slots.
    bool openPort();
    void closePort();
    // The connection is gone (closed, given up, the converter pulled): every job, request and
    // waiting job ends with it.
    void dropConnection();
    void converterLost();
    // The job's command went unanswered through all its resends: asked about, or (unattended)
    // the job ends as failed.
    void commandUnanswered();
    // A probe or a look of the watch talks to another reader for a moment, at its speed (0: the
    // link's): the link's own address and speed are given back when the job ends, however it
    // ends (a session that waits for its pulled converter comes back to its own reader).
    void borrowAddress(quint8 address, int baud);
    void giveBackAddress();
    void endProbe(bool answered, const VERSION_INFO_220 &info);
    // The question of a probe or a look had no answer it can use (silence, damage, an empty or
    // unreadable answer): the probe ends unanswered, the look asks its next question.
    void probeOrLookGoesOn();
    void watchNext();
    void endWatch();
    void checkLostPort();
    static bool portPresent(const QString &name);
    void stopAnswerTimer();
    void resetAnswerCycle(); // stops the answer timer, retry counter 0
    void askToContinue();
    void probeNextAddress();
    // No job runs, no request waits for its answer, no rebooting reader is waited for and the
    // line is quiet after an abandoned request (jobs may wait their turn).
    bool isBusFree() const;
    // The one gate of every job: from the connection and the job running, the job starts now
    // (start() runs with the job set), waits its turn, or is refused (refused() runs, which
    // tells the engineer). A scan needs the connections closed (it opens the port itself),
    // every other job a session.
    Admission startJob(Job job, std::function<void()> start, std::function<void()> refused = {},
                       WhenBusy whenBusy = WhenBusy::Queue);
    bool admits(Job job) const;
    void startWaitingJob();
    // The job has ended: the bus is free for the next one.
    void finishJob();
    void setConnection(Connection connection);
    // The write ends: which of its elements the reader did not take is reported.
    void endWrite();
    // True when a received answer (its address and command code) belongs to the request in
    // flight; during a scan any address counts, the reader is listed under the one it gives.
    bool answersRequest(quint8 address, quint16 code) const;
    // An answer handler takes its answer: true, with the wait ended, when the request in flight
    // is one of the commands this answer can belong to (none given: any, for the empty answer).
    bool takeAnswer(std::initializer_list<quint16> codes);
    void beginRead();
    void startWrite(const QByteArray &document);
    // A write command's result byte: 0 goes on with the next element, anything else ends the
    // write without its reboot.
    void writeResult(quint8 result);
    // The element names of the write from the cursor on that would have been sent.
    QStringList remainingWriteElements() const;
    void pollAnswered();
    void pollStep();
    void endUpload(int state);
    void consoleNote(const QString &text);
    // The parser's verdict on the oldest chunk handed to it: its console line is shown, with
    // the mark of a failed checksum, and the failure counted.
    void answerChecked(bool checksumOk);
    // A request or answer line of the console, with its time in front when asked for.
    QString trafficLine(const QString &line, const QTime &at) const;
    void showAnswerLines();
    // An answer to the request in flight that the parser could not read.
    void answerNotDecoded();
    // The mark after the bytes of an answer whose checksum failed.
    static void markDamaged(QString *line);
    // The request in flight went unanswered: counted, reported and shown in the console with
    // the number of the serial resend that follows, of three (0: just "no answer"; the server's
    // resends are not numbered, there are two of them).
    void noteTimeout(int resend);
    // Counting starts afresh with a connection; the counts of one that ended go to the log.
    void startBusHealth();
    void endBusHealth();
    void reportBusHealth();
    // Writes a request frame to the port and starts its answer timer.
    void writeRequest(const QByteArray &frame);
    // The answer in flight was damaged: it is sent again, as after a time-out but without one.
    void resendDamaged();
    // The answer to the probe in flight was no reader's identity: the next address.
    void nextProbe();
    static QDomDocument emptyConfigurationDocument();
    void appendToCommandLog(const QString &line);
    // Echoes a line sent from the console and logs it.
    void announceCommand(const QString &text);
    // Remote transport: the frame as an "S485 " line through the server.
    void sendRemoteFrame(const QByteArray &frame);
    void handleServerLine(const QString &line);
    // The server took the connection: the login goes out.
    void serverConnected();
    void serverNotReached(const QString &why);
    // A line to the server as the console and the logs show it: the terminal password is not
    // shown.
    static QString shownLine(const QString &line);
    void handleRemoteAnswer(const QString &line);

    Prompter m_prompter;

    // the connection
    Connection m_connection = Connection::Closed;

    // serial port
    QSerialPort *m_port = nullptr;
    QStringList m_portNames;
    const QStringList m_baudList;
    int m_baudRate = 19200;
    quint8 m_deviceAddress = 1;
    QStringList m_candidatePorts;
    QString m_softwareVersion;
    int m_rememberedSpeed = 19200;
    int m_rememberedAddress = 1;

    // jobs and the answer cycle
    Job m_job = Job::Idle;
    Request m_request;
    struct WaitingJob
    {
        Job job;
        std::function<void()> start;
        std::function<void()> refused;
    };
    QList<WaitingJob> m_waiting;
    bool m_endStatusReadAtTimeout = false;
    int m_answerTimeoutMs = AnswerTimeoutMs;
    QElapsedTimer m_abandonClock; // since a request was given up with its connection
    QTimer *m_holdTimer = nullptr; // the quiet line, or the rebooting reader, waited for
    // Counted up by every request sent and every port closed: a verdict of the parser on an
    // answer to an earlier one is not this one's.
    quint64 m_requestSerial = 0;
    quint16 m_prevCmd = 0;
    QByteArray m_prevData;
    QTimer *m_answerTimer = nullptr;
    quint8 m_retryCount = 0;
    QByteArray m_receiveBuffer;
    bool m_receiveOverflow = false; // bytes dropped until the line falls silent
    QTimer *m_gatherTimer = nullptr;
    ChunkQueue m_queue;

    // What the line did since the connection was made.
    BusHealth m_health;
    bool m_healthCounting = false; // a connection is up; its counts are logged when it ends
    bool m_consoleTimestamps = false;
    QElapsedTimer m_requestClock; // since the request in flight was written
    qint64 m_requestWireUs = 0; // the time its bytes take on the line at the link's speed
    QElapsedTimer m_lastByteClock; // since the last bytes came in
    // Console lines of received chunks in arrival order; a chunk handed to the parser waits
    // there for the parser's verdict on its checksum, the lines behind it wait too.
    struct AnswerLine
    {
        QString text;
        QTime at; // when its last byte came
        int answerMs = -1; // since the request's last byte, when it may answer the request
        bool awaitingVerdict = false;
        quint64 request = 0; // the serial of the request it may answer (0: none)
    };
    QList<AnswerLine> m_answerLines;
    int m_checkedAnswerMs = -1; // of the answer whose checksum held last
    int m_progressValue = 0;
    int m_progressStep = 0;

    // read sequence
    QDomDocument m_configDoc;
    QBuffer *m_configBuffer = nullptr;
    QList<int> m_commandList;
    int m_readIndex = -1;
    QString m_fwVersion;
    QString m_devIdText;
    quint16 m_devId = 0;

    // discovery
    int m_remaining = 0;
    QList<int> m_foundAddresses;

    // polling
    int m_pollStep = 0;

    // write sequence; an address or speed the reader took waits for the reboot that makes it
    // the one it answers at (0 when none).
    QDomDocument m_writeDoc;
    QDomNode m_writeCursor;
    QString m_writeElement; // the element whose command is in flight
    QStringList m_writeNotTaken;
    bool m_writeRefused = false;
    quint8 m_acceptedAddress = 0;
    int m_acceptedSpeed = 0;

    // console command log
    QFile m_commandLog;

    // firmware upload
    QByteArray m_fwFileData;
    QString m_fwFileVersion;
    QByteArray m_fwImage;
    quint16 m_pageIndex = 0;
    int m_pageRefusals = 0; // of the page handed over last

    // remote configuration
    QTcpSocket *m_socket = nullptr;
    // The server must take the connection within 10 s, then let the terminal in within 30 s.
    QTimer *m_connectTimer = nullptr;
    QTimer *m_loginTimer = nullptr;
    int m_loginTimeoutMs = 30000;
    int m_scanLastAddress = 254;

    // unattended work
    bool m_unattended = false;
    // The link's address and speed while a probe or a look of the watch runs.
    quint8 m_savedAddress = 0;
    int m_savedBaud = 0;
    ReaderStatus m_watch; // the look of the watch in progress
    int m_watchStep = 0;
    // The address of the scan's probe in flight was probed again after a damaged answer.
    bool m_scanRetried = false;

    // a lost converter
    int m_resumeAfterLossMs = 0;
    QString m_lostPort;
    QTimer *m_lostTimer = nullptr; // the port is looked for
    QElapsedTimer m_lostClock; // since it went
    bool m_pingSeen = false; // a "PING" came in this connection: later ones want a "PONG"
    bool m_pingAnswered = false; // a "PING" of this delivery was answered
    QElapsedTimer m_unreadClock; // since the server left the link's last answer unread
    QString m_serverHost;
    quint16 m_serverPort = 0;
    QString m_loginImei;
    QString m_terminalPassword;
    QString m_receivedText;
    int m_emptyAnswerCount = 0;
    RemoteProtocol::LineCollector m_lineCollector;
    RemoteProtocol::ServerAddress m_serverOverride;

    // packet parser
    PackParser *m_parser = nullptr;
    QThread *m_parserThread = nullptr;
};
