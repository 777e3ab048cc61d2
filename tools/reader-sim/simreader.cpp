#include "simreader.h"

#include "simframe.h"

#include <QStringList>

namespace {

void appendBigEndian32(QByteArray *bytes, quint32 value)
{
    bytes->append(char(value >> 24));
    bytes->append(char(value >> 16));
    bytes->append(char(value >> 8));
    bytes->append(char(value));
}

// "1.3.2" as the three version bytes of the device information answer.
QByteArray versionBytes(const QString &firmware)
{
    QByteArray bytes(3, '\0');
    const QStringList parts = firmware.split('.');
    for (int i = 0; i < 3 && i < parts.size(); ++i)
        bytes[i] = char(parts.at(i).toUInt() & 0xFF);
    return bytes;
}

// The version after an upload that names none: "1.3.2" gives "1.3.3".
QString nextBuild(const QString &firmware)
{
    QStringList parts = firmware.split('.');
    while (parts.size() < 3)
        parts.append(QStringLiteral("0"));
    parts[2] = QString::number(qMin(255u, parts.at(2).toUInt() + 1));
    return parts.mid(0, 3).join('.');
}

} // namespace

SimReader::SimReader(const SimReaderSettings &settings, qint64 startMs)
    : m_settings(settings)
    , m_clockStartMs(startMs)
{ }

qint64 SimReader::runningSeconds(qint64 nowMs) const
{
    return nowMs > m_clockStartMs ? (nowMs - m_clockStartMs) / 1000 : 0;
}

qint32 SimReader::counterAt(qint64 nowMs) const
{
    const qint64 value = m_settings.counter
                         + qint64(m_settings.counterPerSecond) * runningSeconds(nowMs);
    return qint32(quint32(value)); // wraps like the reader's 32-bit counter
}

quint32 SimReader::uptimeAt(qint64 nowMs) const
{
    return quint32(m_settings.uptime + runningSeconds(nowMs));
}

QByteArray SimReader::answer(const QByteArray &request, qint64 nowMs)
{
    SimFrame::Request req;
    if (!SimFrame::decodeRequest(request, &req) || req.address != m_settings.address)
        return {};
    if (isRebooting(nowMs))
        return {};
    if (m_settings.silentRequests > 0) {
        --m_settings.silentRequests;
        return {};
    }
    // The answer carries the address the reader had when it heard the request, also for a
    // reboot that changes it.
    const quint8 from = m_settings.answerAsAddress ? m_settings.answerAddress : m_settings.address;
    const quint16 code = req.code;
    QByteArray data = answerTo(code, req.data, nowMs);
    const bool known = !data.isNull();
    if (!known)
        data = QByteArray(1, '\0');
    QByteArray frame = SimFrame::answer(from, known ? code : 0x0000, data);
    ++m_answers;
    if (m_settings.badChecksum && m_answers % qMax(1, m_settings.badChecksumEvery) == 0)
        frame.back() = char(~quint8(frame.back()));
    return frame;
}

// The answer data of a known command (status or result byte first), a null array for an
// unknown one.
QByteArray SimReader::answerTo(quint16 code, const QByteArray &data, qint64 nowMs)
{
    QByteArray out(1, '\0');
    switch (code) {
    case 0x0100:
        out.append(char(m_settings.deviceId >> 8));
        out.append(char(m_settings.deviceId & 0xFF));
        out.append(versionBytes(m_settings.firmware));
        return out;
    case 0x0200:
        reboot(nowMs);
        return out;
    case 0x0301:
        appendBigEndian32(&out, m_settings.speed);
        out.append(char(m_settings.address));
        return out;
    case 0x0500:
        appendBigEndian32(&out, quint32(counterAt(nowMs)));
        return out;
    case 0x0603:
        out.append(char(m_settings.genState));
        out.append(char(m_settings.pullUp));
        out.append(char(m_settings.genMode));
        return out;
    case 0x0700:
        appendBigEndian32(&out, uptimeAt(nowMs));
        return out;
    case 0x0A00:
    case 0x0A01:
    case 0x0A02:
        if (!acceptsFirmware())
            return QByteArray();
        out[0] = char(firmwareStep(code, data));
        return out;
    case 0x0300:
    case 0x0302:
    case 0x0600:
    case 0x0601:
    case 0x0602:
        out[0] = char(write(code, data));
        return out;
    default:
        return QByteArray();
    }
}

// Stores a written value and gives the result byte: 0 accepted.
quint8 SimReader::write(quint16 code, const QByteArray &data)
{
    if (m_settings.rejectWrites != 0)
        return m_settings.rejectWrites;
    if (code == 0x0300) {
        if (data.size() != 4)
            return kBadValue;
        const quint32 speed = quint32(quint8(data.at(0))) << 24 | quint32(quint8(data.at(1))) << 16
                              | quint32(quint8(data.at(2))) << 8 | quint8(data.at(3));
        if (!SimFrame::isSupportedSpeed(speed))
            return kBadValue;
        m_pendingSpeed = speed;
        return 0;
    }
    if (data.size() != 1)
        return kBadValue;
    const quint8 value = quint8(data.at(0));
    switch (code) {
    case 0x0302:
        if (value == 0 || value == 0xFF)
            return kBadValue;
        m_pendingAddress = value;
        break;
    case 0x0600:
        m_settings.genState = value;
        break;
    case 0x0601:
        m_settings.pullUp = value;
        break;
    default:
        m_settings.genMode = value;
        break;
    }
    return 0;
}

// After the answer the reader restarts: silent for a while, then with the written address and
// speed. Its uptime starts again from 0; the counter keeps its value and resumes rising when
// the reader is back.
void SimReader::reboot(qint64 nowMs)
{
    ++m_reboots;
    m_settings.counter = counterAt(nowMs);
    m_settings.uptime = 0;
    m_silentUntilMs = nowMs + qMax(0, m_settings.rebootSilenceMs);
    m_clockStartMs = m_silentUntilMs;
    if (m_pendingAddress != 0)
        m_settings.address = m_pendingAddress;
    if (m_pendingSpeed != 0)
        m_settings.speed = m_pendingSpeed;
    m_pendingAddress = 0;
    m_pendingSpeed = 0;
    if (m_imageChecked) {
        m_settings.firmware = m_settings.upgradeFirmware.isEmpty() ? nextBuild(m_settings.firmware)
                                                                   : m_settings.upgradeFirmware;
        m_imageChecked = false;
    }
}

// The status of one step of a firmware upload: 0 done, 1 refused, 2 (check) image bad.
quint8 SimReader::firmwareStep(quint16 code, const QByteArray &data)
{
    // The largest program area of the family: 1024 pages of 128 bytes.
    constexpr int kPageSize = 128;
    constexpr int kAreaSize = 0x20000;
    switch (code) {
    case 0x0A00:
        if (m_settings.prepareStatus != 0)
            return m_settings.prepareStatus;
        m_updateArea = QByteArray(kAreaSize, char(0xFF));
        m_receivedPages.clear();
        m_imageChecked = false;
        return 0;
    case 0x0A01: {
        if (m_updateArea.isEmpty() || data.size() != kPageSize + 2)
            return kBadValue;
        if (m_settings.rejectPages > 0) {
            --m_settings.rejectPages;
            return kBadValue;
        }
        const int page = quint8(data.at(0)) << 8 | quint8(data.at(1));
        if (page * kPageSize >= kAreaSize)
            return kBadValue;
        m_updateArea.replace(page * kPageSize, kPageSize, data.mid(2));
        m_receivedPages.append(page);
        return 0;
    }
    default: // 0x0A02
        if (m_settings.checkStatus != 0)
            return m_settings.checkStatus;
        // An area never prepared or without a single page holds no image.
        if (m_updateArea.isEmpty() || m_receivedPages.isEmpty())
            return 2;
        m_imageChecked = true;
        return 0;
    }
}
