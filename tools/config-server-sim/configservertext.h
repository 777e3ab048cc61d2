#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The configuration server's side of the text protocol. The configurator logs in with a JSON
// object, then writes its lines without any terminator, so one delivery may hold several of
// them ("PONG" glued to "REMOTE <password>"); the server's own lines end with CR LF.
namespace ConfigServerText {

// The key a terminal's IMEI must come with: the IMEI reversed, each character's code XOR-ed
// with character i mod 8 of the shared mask, MD5 of the UTF-8 text in lower-case hexadecimal.
QString loginKey(const QString &imei);

struct Login
{
    bool valid = false;
    QString imei;
    QString error; // why the login is refused
};
// Checks the login object: imei, magickKey (the key of that IMEI), origin "configurator",
// type "config" and a ver text.
Login checkLogin(const QByteArray &json);

// "S485 N,260,WAIT,SPEED;BASE64": a frame for the reader on the terminal's RS-485 bus, N its
// length, WAIT how long the terminal waits for the reader's answer.
struct FrameLine
{
    int waitMs = 0;
    int speed = 0;
    QByteArray frame;
};
bool parseFrameLine(const QString &line, FrameLine *out);

// "S485=N;BASE64\r\n" with the reader's answer frame (checksum included); N = 0 and nothing
// after the ';' when the reader gave no answer.
QByteArray answerLine(const QByteArray &frame);

// One thing the configurator said.
struct ClientItem
{
    enum Kind {
        Login, // the JSON login object
        Pong, // "PONG"
        Password, // "REMOTE <password>"; text holds the password
        Frame, // a whole "S485 ..." line
        Close, // "socClose"
        Other // anything else, such as a console command
    };
    Kind kind = Other;
    QString text;
};

// Cuts the configurator's unterminated stream into items. A frame line ends where its Base64
// text of N bytes ends; a password or other text runs to the next known word or to the end of
// what has arrived. Text that may still become a known word waits for more bytes.
class ClientTextCutter
{
public:
    static constexpr int kMaxPending = 64 * 1024;
    QList<ClientItem> feed(const QByteArray &bytes);
    int pendingBytes() const { return m_buffer.size(); }

private:
    QByteArray m_buffer;
};

} // namespace ConfigServerText
