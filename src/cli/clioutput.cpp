#include "clioutput.h"

#include "clidocument.h"
#include "commissionreport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {
QString compact(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

void putIdentity(QJsonObject &object, const CliOutput::Identity &reader)
{
    object.insert(QStringLiteral("address"), reader.address);
    object.insert(QStringLiteral("device"), reader.device);
    object.insert(QStringLiteral("firmware"), reader.firmware);
}
} // namespace

QString CliOutput::readerLine(const Identity &reader, bool json)
{
    if (json) {
        QJsonObject object;
        putIdentity(object, reader);
        return compact(object);
    }
    return QStringLiteral("%1 %2 %3").arg(reader.address).arg(reader.device).arg(reader.firmware);
}

QString CliOutput::commissionLine(const CommissionRecord &record, bool json)
{
    if (!json) {
        QString line = QStringLiteral("%1 %2 %3 %4 %5")
                               .arg(record.addressBefore)
                               .arg(record.addressAfter)
                               .arg(record.device.isEmpty() ? QStringLiteral("-") : record.device,
                                    record.firmwareAfter.isEmpty() ? QStringLiteral("-")
                                                                   : record.firmwareAfter,
                                    CommissionReport::verdictKey(record.verdict));
        const QString why = CommissionReport::differencesAndReason(record);
        if (!why.isEmpty())
            line += QStringLiteral(": ") + why;
        return line;
    }
    QJsonObject object;
    object.insert(QStringLiteral("time"),
                  record.time.isValid() ? record.time.toString(Qt::ISODate) : QString());
    object.insert(QStringLiteral("addressBefore"), record.addressBefore);
    object.insert(QStringLiteral("addressAfter"), record.addressAfter);
    object.insert(QStringLiteral("speedBefore"), record.baudBefore);
    object.insert(QStringLiteral("speedAfter"), record.baudAfter);
    object.insert(QStringLiteral("device"), record.device);
    object.insert(QStringLiteral("firmwareBefore"), record.firmwareBefore);
    object.insert(QStringLiteral("firmwareAfter"), record.firmwareAfter);
    object.insert(QStringLiteral("written"), QJsonArray::fromStringList(record.written));
    object.insert(QStringLiteral("verdict"), CommissionReport::verdictKey(record.verdict));
    object.insert(QStringLiteral("differences"), QJsonArray::fromStringList(record.differences));
    object.insert(QStringLiteral("reason"), record.reason);
    object.insert(QStringLiteral("answers"), record.answers);
    object.insert(QStringLiteral("resends"), record.resends);
    object.insert(QStringLiteral("checksumErrors"), record.checksumErrors);
    object.insert(QStringLiteral("medianAnswerMs"), record.medianAnswerMs);
    return compact(object);
}

QString CliOutput::portLine(const QString &port, bool json)
{
    if (json)
        return compact(QJsonObject {{QStringLiteral("port"), port}});
    return port;
}

QString CliOutput::rebootedJson(int address)
{
    return compact(
            QJsonObject {{QStringLiteral("address"), address}, {QStringLiteral("rebooted"), true}});
}

QString CliOutput::settingsLine(const QMap<QString, int> &values, const Identity &reader,
                                qint64 counter, qint64 uptime, bool json)
{
    if (!json) {
        QStringList pairs;
        for (const QString &key : CliDocument::keys()) {
            if (values.contains(key))
                pairs << key + QLatin1Char('=') + QString::number(values.value(key));
        }
        return pairs.join(QLatin1Char(' '));
    }
    QJsonObject object;
    putIdentity(object, reader);
    // The settings under the names "set" takes, so that a script can hand them back.
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        object.insert(it.key(), it.value());
    if (counter >= 0)
        object.insert(QStringLiteral("counter"), counter);
    if (uptime >= 0)
        object.insert(QStringLiteral("uptime"), uptime);
    return compact(object);
}

QString CliOutput::answerLine(const QByteArray &request, const QByteArray &answer, bool json)
{
    if (json)
        return compact(
                QJsonObject {{QStringLiteral("request"), QString::fromLatin1(request.toHex())},
                             {QStringLiteral("answer"), QString::fromLatin1(answer.toHex())}});
    return QString::fromLatin1(answer.toHex(' '));
}

QString CliOutput::errorLine(const QString &message, int code, bool json)
{
    if (json)
        return compact(
                QJsonObject {{QStringLiteral("error"), message}, {QStringLiteral("code"), code}});
    return message;
}

QString CliOutput::progressLine(const QString &what, int value, int maximum)
{
    if (maximum <= 0)
        return what;
    const int bounded = qBound(0, value, maximum);
    return QStringLiteral("%1 %2/%3 (%4 %)")
            .arg(what)
            .arg(bounded)
            .arg(maximum)
            .arg(qint64(bounded) * 100 / maximum);
}

CliOutput::ConsoleLine CliOutput::parseConsoleLine(const QString &html)
{
    static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    QString text = html;
    text.remove(tags);
    text.replace(QLatin1String("&nbsp;"), QLatin1String(" "))
            .replace(QLatin1String("&lt;"), QLatin1String("<"))
            .replace(QLatin1String("&gt;"), QLatin1String(">"))
            .replace(QLatin1String("&amp;"), QLatin1String("&"));
    // An answer whose checksum failed carries a mark after its bytes.
    const int mark = text.indexOf(QChar(0x2717));
    if (mark >= 0)
        text.truncate(mark);
    text = text.trimmed();

    ConsoleLine line;
    if (text.startsWith(QLatin1Char('>')))
        line.direction = ConsoleLine::Sent;
    else if (text.startsWith(QLatin1Char('<')))
        line.direction = ConsoleLine::Received;
    else
        return line;
    text = text.mid(1).trimmed();

    // Through the server a frame travels as "S485 N,260,2000,SPEED;BASE64".
    if (text.startsWith(QLatin1String("S485 "))) {
        line.bytes = QByteArray::fromBase64(text.section(QLatin1Char(';'), 1).toLatin1(),
                                            QByteArray::AbortOnBase64DecodingErrors);
    } else {
        QString digits = text;
        digits.remove(QLatin1Char(' '));
        static const QRegularExpression hex(QStringLiteral("^([0-9a-fA-F]{2})+$"));
        if (hex.match(digits).hasMatch())
            line.bytes = QByteArray::fromHex(digits.toLatin1());
    }
    if (line.bytes.isEmpty())
        line.direction = ConsoleLine::Other;
    return line;
}
