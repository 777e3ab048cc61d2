#include "remoteprotocol.h"

#include "remotedefaults.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>

namespace RemoteProtocol {

ServerAddress serverAddress(const QVariant &host, const QVariant &port)
{
    ServerAddress address {QString::fromLatin1(kDefaultServerHost), kDefaultServerPort};
    if (host.isNull() || port.isNull())
        return address;
    const QString hostText = host.toString().trimmed();
    bool ok = false;
    const int portNumber = port.toString().trimmed().toInt(&ok);
    if (hostText.isEmpty() || !ok || portNumber < 1 || portNumber > 65535)
        return address;
    address.host = hostText;
    address.port = quint16(portNumber);
    return address;
}

QString loginKey(const QString &imei, const QByteArray &mask)
{
    QString mixed;
    mixed.reserve(imei.size());
    for (int i = imei.size() - 1; i >= 0; --i)
        mixed.append(imei.at(i));
    if (!mask.isEmpty()) {
        for (int i = 0; i < mixed.size(); ++i) {
            const ushort code = mixed.at(i).unicode() ^ quint8(mask.at(i % mask.size()));
            mixed[i] = QChar(code);
        }
    }
    return QString::fromLatin1(
            QCryptographicHash::hash(mixed.toUtf8(), QCryptographicHash::Md5).toHex());
}

QByteArray loginMessage(const QString &imei, const QString &key, const QString &version)
{
    // QJsonObject keeps its keys sorted, which is the order the server expects.
    QJsonObject login;
    login.insert(QStringLiteral("imei"), imei);
    login.insert(QStringLiteral("magickKey"), key);
    login.insert(QStringLiteral("origin"), QStringLiteral("configurator"));
    login.insert(QStringLiteral("type"), QStringLiteral("config"));
    login.insert(QStringLiteral("ver"), version);
    return QJsonDocument(login).toJson(QJsonDocument::Indented);
}

QString frameLine(const QByteArray &frame, int speed)
{
    // The fields 260 and 2000 are constant; the server passes them on to the terminal.
    return QStringLiteral("S485 %1,260,2000,%2;%3")
            .arg(frame.size())
            .arg(speed)
            .arg(QString::fromLatin1(frame.toBase64()));
}

QString passwordLine(const QString &password)
{
    return QStringLiteral("REMOTE ") + password;
}

QVector<ServerText> serverTexts(const QString &line)
{
    static const struct
    {
        const char *text;
        ServerText reaction;
    } table[] = {
            {"PING", ServerText::Ping},
            {"PASS OK", ServerText::PassOk},
            {"S485=", ServerText::Answer},
            {"PASS FAIL", ServerText::PassFail},
            {"notRegistred", ServerText::NotRegistered},
            {"registredBusy", ServerText::RegisteredBusy},
            {"terminalNotAnswer", ServerText::TerminalNotAnswer},
    };
    QVector<ServerText> found;
    for (const auto &row : table) {
        if (line.contains(QLatin1String(row.text), Qt::CaseSensitive))
            found.append(row.reaction);
    }
    return found;
}

QString serverTextLog(ServerText text)
{
    switch (text) {
    case ServerText::Ping:
        return QStringLiteral("PING");
    case ServerText::PassOk:
        return QStringLiteral("pass ok");
    case ServerText::Answer:
        return QString();
    case ServerText::PassFail:
        return QStringLiteral("PASS FAIL");
    case ServerText::NotRegistered:
        return QStringLiteral("notRegistred");
    case ServerText::RegisteredBusy:
        return QStringLiteral("registredBusy");
    case ServerText::TerminalNotAnswer:
        return QStringLiteral("terminalNotAnswer");
    }
    return QString();
}

AnswerLine decodeAnswerLine(const QString &line)
{
    AnswerLine answer;
    if (line.contains(QLatin1String("S485=0;"))) {
        answer.kind = AnswerLine::NoAnswer;
        return answer;
    }
    const QStringList parts = line.split(QLatin1Char(';'));
    const QString encoded = parts.size() > 1 ? parts.at(1) : QString();
    const auto decoded
            = QByteArray::fromBase64Encoding(encoded.toLatin1(),
                                             QByteArray::Base64Encoding
                                                     | QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return answer;
    // Address, length L, then L bytes from the marker to the last data byte; the checksum is the
    // last byte. A frame that does not fit before that last byte is truncated.
    const QByteArray &bytes = *decoded;
    if (bytes.size() < 3)
        return answer;
    const int frameSize = quint8(bytes.at(1)) + 2;
    if (bytes.size() < frameSize + 1)
        return answer;
    const QByteArray frame = bytes.left(frameSize);
    quint8 sum = 0;
    for (char byte : frame)
        sum ^= quint8(byte);
    if (sum != quint8(bytes.back()))
        return answer;
    answer.kind = AnswerLine::Frame;
    answer.frame = frame;
    return answer;
}

LineCollector::Result LineCollector::append(const QByteArray &delivery)
{
    Result result;
    m_pending.append(delivery);
    int start = 0;
    for (;;) {
        const int cr = m_pending.indexOf('\r', start);
        if (cr < 0)
            break;
        const QByteArray raw = m_pending.mid(start, cr - start);
        start = cr + 1;
        if (start < m_pending.size() && m_pending.at(start) == '\n')
            ++start; // CR LF ends a line as CR does
        if (m_skipping || raw.size() > kMaxPending) {
            result.droppedBytes += raw.size();
            m_skipping = false;
            continue;
        }
        QString text = QString::fromUtf8(raw);
        text.remove(QLatin1Char('\n'));
        if (!text.isEmpty())
            result.lines.append(text);
    }
    m_pending.remove(0, start);
    if (m_pending.size() > kMaxPending) {
        result.droppedBytes += m_pending.size();
        m_pending.clear();
        m_skipping = true;
    }
    return result;
}

void LineCollector::clear()
{
    m_pending.clear();
    m_skipping = false;
}

} // namespace RemoteProtocol
