#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

// The text protocol of the remote configuration server. The configurator logs in with a JSON
// message naming the terminal by its IMEI, then exchanges text lines: the server's lines end with
// CR (or CR LF), the configurator's have no terminator. Reader command frames travel as
// "S485 " lines with the frame in Base64 and come back as "S485=" answers.
namespace RemoteProtocol {

struct ServerAddress
{
    QString host;
    quint16 port = 0;
};

// The server from the two settings values "UpdateServer/IP" and "UpdateServer/Port" (null
// variants when absent). They are used only together: one missing, an empty host or a port that
// is not a number from 1 to 65535 gives the default host and port.
ServerAddress serverAddress(const QVariant &host, const QVariant &port);

// The login key of an IMEI: the IMEI reversed, each character's code XOR-ed with character
// i mod 8 of the mask, then the MD5 of the UTF-8 text as 32 lower-case hexadecimal digits.
QString loginKey(const QString &imei, const QByteArray &mask);

// The login message: the JSON object as the document writer indents it, keys in its
// (alphabetical) order: imei, magickKey, origin "configurator", type "config", ver.
QByteArray loginMessage(const QString &imei, const QString &key, const QString &version);

// The line that carries one command frame (checksum included) to the reader at the given RS-485
// speed: "S485 " N ",260,2000," speed ";" Base64(frame), N the frame length in bytes.
QString frameLine(const QByteArray &frame, int speed);

// "REMOTE " followed by the terminal's password.
QString passwordLine(const QString &password);

inline constexpr char kPong[] = "PONG";
inline constexpr char kCloseLine[] = "socClose";

// What the configurator does about a server line, in the order the reactions run. A line may
// call for several (each text is searched for anywhere in the line, case-sensitively).
enum class ServerText {
    Ping, // "PING": answer "PONG" (once the terminal is known), then the password
    PassOk, // "PASS OK": the password was accepted, start reading the reader
    Answer, // "S485=": the reader's answer to the last frame
    PassFail, // "PASS FAIL"
    NotRegistered, // "notRegistred": the terminal is not connected to the server
    RegisteredBusy, // "registredBusy": another configurator works with the terminal
    TerminalNotAnswer // "terminalNotAnswer"
};
QVector<ServerText> serverTexts(const QString &line);
// The log line of a reaction (empty for Answer, which logs its own).
QString serverTextLog(ServerText text);

// The reader's answer in an "S485=" line: "S485=" N ";" Base64(answer frame with checksum).
// "S485=0;" anywhere means the reader did not answer.
struct AnswerLine
{
    enum Kind {
        NoAnswer, // "S485=0;"
        Frame, // frame holds the answer without its checksum byte
        BadData // not Base64, shorter than 3 bytes, truncated, or a wrong checksum
    };
    Kind kind = BadData;
    QByteArray frame;
};
AnswerLine decodeAnswerLine(const QString &line);

// Collects the server's text over socket deliveries, which keep no line boundaries: a line is
// handed out only once its CR has arrived. A line is bounded: collected text that grows past the
// bound without a CR is dropped, and so is the rest of that line up to its CR, since no sound
// line can be that long (an answer line holds a few hundred characters).
class LineCollector
{
public:
    static constexpr int kMaxPending = 64 * 1024;

    struct Result
    {
        QStringList lines; // complete lines, CR and LF removed, empty lines left out
        qint64 droppedBytes = 0; // bytes of overlong lines dropped by this delivery
    };

    Result append(const QByteArray &delivery);
    void clear();
    int pendingSize() const { return m_pending.size(); }

private:
    QByteArray m_pending;
    bool m_skipping = false; // dropping the rest of an overlong line up to its CR
};

} // namespace RemoteProtocol
