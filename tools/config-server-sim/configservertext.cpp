#include "configservertext.h"

#include "remotedefaults.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace ConfigServerText {

namespace {

const char *const kWords[] = {"PONG", "socClose", "S485 ", "REMOTE "};

bool isSpace(char c)
{
    return c == ' ' || c == '\r' || c == '\n' || c == '\t';
}

// Where the next known word starts at or after from, or the end of the text.
int nextWord(const QByteArray &text, int from)
{
    int end = text.size();
    for (const char *word : kWords) {
        const int at = text.indexOf(word, from);
        if (at >= 0 && at < end)
            end = at;
    }
    return end;
}

// True when the text is the beginning of a known word and more bytes may complete it.
bool mayBecomeWord(const QByteArray &text)
{
    for (const char *word : kWords) {
        const QByteArray w(word);
        if (text.size() < w.size() && w.startsWith(text))
            return true;
    }
    return false;
}

} // namespace

QString loginKey(const QString &imei)
{
    QString mixed;
    for (int i = 0; i < imei.size(); ++i) {
        const QChar c = imei.at(imei.size() - 1 - i);
        mixed.append(QChar(ushort(c.unicode() ^ uchar(kLoginKeyMask[i % 8]))));
    }
    return QString::fromLatin1(
            QCryptographicHash::hash(mixed.toUtf8(), QCryptographicHash::Md5).toHex());
}

Login checkLogin(const QByteArray &json)
{
    Login login;
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (!doc.isObject()) {
        login.error = "the login is no JSON object";
        return login;
    }
    const QJsonObject o = doc.object();
    for (const char *key : {"imei", "magickKey", "origin", "type", "ver"}) {
        if (!o.value(key).isString()) {
            login.error = QString("the login has no text \"%1\"").arg(key);
            return login;
        }
    }
    login.imei = o.value("imei").toString();
    if (o.value("origin").toString() != "configurator" || o.value("type").toString() != "config") {
        login.error = "the login is not a configurator's";
        return login;
    }
    if (o.value("magickKey").toString() != loginKey(login.imei)) {
        login.error = QString("wrong login key for IMEI \"%1\"").arg(login.imei);
        return login;
    }
    login.valid = true;
    return login;
}

bool parseFrameLine(const QString &line, FrameLine *out)
{
    static const QRegularExpression re(
            "^S485 (\\d{1,3}),260,(\\d{1,6}),(\\d{1,7});([A-Za-z0-9+/=]+)$");
    const QRegularExpressionMatch m = re.match(line);
    if (!m.hasMatch())
        return false;
    const auto decoded = QByteArray::fromBase64Encoding(m.captured(4).toLatin1(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != m.captured(1).toInt())
        return false;
    out->waitMs = m.captured(2).toInt();
    out->speed = m.captured(3).toInt();
    out->frame = decoded.decoded;
    return true;
}

QByteArray answerLine(const QByteArray &frame)
{
    return "S485=" + QByteArray::number(frame.size()) + ";" + frame.toBase64() + "\r\n";
}

QList<ClientItem> ClientTextCutter::feed(const QByteArray &bytes)
{
    m_buffer.append(bytes);
    QList<ClientItem> items;
    auto take = [this, &items](ClientItem::Kind kind, int length, const QByteArray &text) {
        items.append({kind, QString::fromUtf8(text)});
        m_buffer.remove(0, length);
    };
    for (;;) {
        int skip = 0;
        while (skip < m_buffer.size() && isSpace(m_buffer.at(skip)))
            ++skip;
        m_buffer.remove(0, skip);
        if (m_buffer.isEmpty())
            break;

        if (m_buffer.startsWith('{')) {
            // The login object ends at the first '}' after which the text parses.
            int end = -1;
            for (int at = m_buffer.indexOf('}'); at >= 0; at = m_buffer.indexOf('}', at + 1)) {
                if (QJsonDocument::fromJson(m_buffer.left(at + 1)).isObject()) {
                    end = at + 1;
                    break;
                }
            }
            if (end < 0)
                break;
            take(ClientItem::Login, end, m_buffer.left(end));
        } else if (m_buffer.startsWith("PONG")) {
            take(ClientItem::Pong, 4, "PONG");
        } else if (m_buffer.startsWith("socClose")) {
            take(ClientItem::Close, 8, "socClose");
        } else if (m_buffer.startsWith("REMOTE ")) {
            const int end = nextWord(m_buffer, 7);
            take(ClientItem::Password, end, m_buffer.mid(7, end - 7));
        } else if (m_buffer.startsWith("S485 ")) {
            // The header gives the frame length, and so where the Base64 text ends.
            const int semicolon = m_buffer.indexOf(';');
            const int next = nextWord(m_buffer, 5);
            if (semicolon < 0 || semicolon > next) {
                if (next < m_buffer.size()) {
                    take(ClientItem::Other, next, m_buffer.left(next));
                    continue;
                }
                break;
            }
            bool ok = false;
            const int size = m_buffer.mid(5, m_buffer.indexOf(',', 5) - 5).toInt(&ok);
            const int end = semicolon + 1 + 4 * ((size + 2) / 3);
            if (!ok || size <= 0 || size > 255) {
                take(ClientItem::Other, next, m_buffer.left(next));
                continue;
            }
            if (m_buffer.size() < end)
                break;
            take(ClientItem::Frame, end, m_buffer.left(end));
        } else if (mayBecomeWord(m_buffer)) {
            break;
        } else {
            const int end = nextWord(m_buffer, 1);
            take(ClientItem::Other, end, m_buffer.left(end).trimmed());
        }
    }
    if (m_buffer.size() > kMaxPending)
        m_buffer.clear();
    return items;
}

} // namespace ConfigServerText
