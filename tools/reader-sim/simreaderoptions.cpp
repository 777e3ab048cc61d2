#include "simreaderoptions.h"

#include "simframe.h"

#include <QRegularExpression>
#include <QStringList>

#include <limits>

namespace {

bool toInt(const QString &text, qint64 low, qint64 high, qint64 *value)
{
    bool ok = false;
    const qint64 v = text.trimmed().toLongLong(&ok, 10);
    if (!ok || v < low || v > high)
        return false;
    *value = v;
    return true;
}

bool toFlag(const QString &text, bool *value)
{
    const QString t = text.trimmed().toLower();
    if (t.isEmpty() || t == "1" || t == "yes" || t == "on" || t == "true") {
        *value = true;
        return true;
    }
    if (t == "0" || t == "no" || t == "off" || t == "false") {
        *value = false;
        return true;
    }
    return false;
}

bool isVersion(const QString &text)
{
    static const QRegularExpression re("^(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})$");
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return false;
    for (int i = 1; i <= 3; ++i) {
        if (m.captured(i).toInt() > 255)
            return false;
    }
    return true;
}

bool applyItem(const QString &key, const QString &value, bool hasValue, SimReaderSettings *s)
{
    constexpr qint64 kMaxMs = 3600 * 1000;
    qint64 v = 0;
    if (key == "badcrc") {
        // A flag (every answer), or N: every N-th answer.
        s->badChecksumEvery = 1;
        if (toFlag(value, &s->badChecksum))
            return true;
        if (!toInt(value, 2, 1000000, &v))
            return false;
        s->badChecksum = true;
        s->badChecksumEvery = int(v);
        return true;
    }
    if (!hasValue)
        return false;
    if (key == "fw") {
        if (!isVersion(value.trimmed()))
            return false;
        s->firmware = value.trimmed();
        return true;
    }
    if (key == "newfw") {
        if (!isVersion(value.trimmed()))
            return false;
        s->upgradeFirmware = value.trimmed();
        return true;
    }
    if (key == "split") {
        const QStringList parts = value.split(':');
        qint64 gap = 5;
        if (parts.size() > 2 || !toInt(parts.at(0), 1, 255, &v)
            || (parts.size() == 2 && !toInt(parts.at(1), 0, kMaxMs, &gap)))
            return false;
        s->splitPieces = int(v);
        s->splitGapMs = int(gap);
        return true;
    }
    if (key == "address" && toInt(value, 1, 254, &v))
        s->address = quint8(v);
    else if (key == "id" && toInt(value, 0, 0xFFFF, &v))
        s->deviceId = quint16(v);
    else if (key == "speed" && toInt(value, 1, 0xFFFFFFFF, &v)
             && SimFrame::isSupportedSpeed(quint32(v)))
        s->speed = quint32(v);
    else if (key == "gen" && toInt(value, 0, 255, &v))
        s->genState = quint8(v);
    else if (key == "pullup" && toInt(value, 0, 255, &v))
        s->pullUp = quint8(v);
    else if (key == "mode" && toInt(value, 0, 255, &v))
        s->genMode = quint8(v);
    else if (key == "counter"
             && toInt(value, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max(),
                      &v))
        s->counter = qint32(v);
    else if (key == "rate" && toInt(value, -1000000, 1000000, &v))
        s->counterPerSecond = int(v);
    else if (key == "uptime" && toInt(value, 0, 0xFFFFFFFF, &v))
        s->uptime = quint32(v);
    else if (key == "silent" && toInt(value, 0, 1000000, &v))
        s->silentRequests = int(v);
    else if (key == "delay" && toInt(value, 0, kMaxMs, &v))
        s->replyDelayMs = int(v);
    else if (key == "reject" && toInt(value, 0, 255, &v))
        s->rejectWrites = quint8(v);
    else if (key == "rebootsilence" && toInt(value, 0, kMaxMs, &v))
        s->rebootSilenceMs = int(v);
    else if (key == "prepare" && toInt(value, 0, 255, &v))
        s->prepareStatus = quint8(v);
    else if (key == "rejectpages" && toInt(value, 0, 1000000, &v))
        s->rejectPages = int(v);
    else if (key == "check" && toInt(value, 0, 255, &v))
        s->checkStatus = quint8(v);
    else if (key == "answeras" && toInt(value, 0, 255, &v)) {
        s->answerAsAddress = true;
        s->answerAddress = quint8(v);
    } else
        return false;
    return true;
}

const QStringList &knownKeys()
{
    static const QStringList keys {"address",       "id",       "fw",      "speed",   "gen",
                                   "pullup",        "mode",     "counter", "rate",    "uptime",
                                   "silent",        "badcrc",   "split",   "delay",   "reject",
                                   "rebootsilence", "answeras", "newfw",   "prepare", "rejectpages",
                                   "check"};
    return keys;
}

} // namespace

bool parseReaderOptions(const QString &text, SimReaderSettings *settings, QString *error)
{
    const QStringList items = text.split(',', Qt::SkipEmptyParts);
    for (const QString &rawItem : items) {
        const QString item = rawItem.trimmed();
        if (item.isEmpty())
            continue;
        const int eq = item.indexOf('=');
        const QString key = (eq < 0 ? item : item.left(eq)).trimmed().toLower();
        const QString value = eq < 0 ? QString() : item.mid(eq + 1);
        if (!knownKeys().contains(key)) {
            if (error)
                *error = QString("unknown reader key \"%1\" (known: %2)")
                                 .arg(key, knownKeys().join(", "));
            return false;
        }
        if (!applyItem(key, value, eq >= 0, settings)) {
            if (error)
                *error = QString("bad value in \"%1\"").arg(item);
            return false;
        }
    }
    return true;
}

QString describeReader(const SimReaderSettings &s)
{
    QString line = QString("address %1: id %2, firmware %3, %4 baud")
                           .arg(s.address)
                           .arg(s.deviceId)
                           .arg(s.firmware)
                           .arg(s.speed);
    QStringList faults;
    if (s.silentRequests > 0)
        faults << QString("silent for %1 requests").arg(s.silentRequests);
    if (s.badChecksum && s.badChecksumEvery > 1)
        faults << QString("wrong checksums in one answer of %1").arg(s.badChecksumEvery);
    else if (s.badChecksum)
        faults << "wrong checksums";
    if (s.splitPieces > 1)
        faults << QString("answers in %1 pieces %2 ms apart").arg(s.splitPieces).arg(s.splitGapMs);
    if (s.rejectWrites != 0)
        faults << QString("writes rejected with %1").arg(s.rejectWrites);
    if (s.answerAsAddress)
        faults << QString("answers as address %1").arg(s.answerAddress);
    if (!faults.isEmpty())
        line += "; " + faults.join(", ");
    return line;
}
