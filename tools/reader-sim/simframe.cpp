#include "simframe.h"

namespace SimFrame {

quint8 checksum(const QByteArray &bytes)
{
    quint8 sum = 0;
    for (const char b : bytes)
        sum ^= quint8(b);
    return sum;
}

QByteArray answer(quint8 address, quint16 code, const QByteArray &data)
{
    const quint16 flagged = code | kAnswerFlag;
    QByteArray frame;
    frame.reserve(data.size() + 6);
    frame.append(char(address));
    frame.append(char(3 + data.size()));
    frame.append(char(kMarker));
    frame.append(char(flagged >> 8));
    frame.append(char(flagged & 0xFF));
    frame.append(data);
    frame.append(char(checksum(frame)));
    return frame;
}

bool isSupportedSpeed(quint32 baud)
{
    switch (baud) {
    case 2400:
    case 4800:
    case 9600:
    case 19200:
    case 38400:
    case 57600:
    case 115200:
        return true;
    default:
        return false;
    }
}

bool decodeRequest(const QByteArray &frame, Request *request)
{
    if (frame.size() < 6 || frame.size() != quint8(frame.at(1)) + 3)
        return false;
    if (quint8(frame.at(2)) != kMarker)
        return false;
    if (checksum(frame.left(frame.size() - 1)) != quint8(frame.back()))
        return false;
    request->address = quint8(frame.at(0));
    request->code = quint16(quint8(frame.at(3)) << 8 | quint8(frame.at(4)));
    request->data = frame.mid(5, frame.size() - 6);
    return true;
}

} // namespace SimFrame

QList<QByteArray> RequestCutter::feed(const QByteArray &bytes)
{
    m_buffer.append(bytes);
    QList<QByteArray> frames;
    while (m_buffer.size() >= 3) {
        const int length = quint8(m_buffer.at(1));
        if (length < 3 || quint8(m_buffer.at(2)) != SimFrame::kMarker) {
            m_buffer.remove(0, 1);
            continue;
        }
        if (m_buffer.size() < length + 3)
            break;
        frames.append(m_buffer.left(length + 3));
        m_buffer.remove(0, length + 3);
    }
    return frames;
}
