#pragma once

#include <QByteArray>
#include <QList>
#include <QtGlobal>

// Model-220 frames as a reader sees them:
//   address, L, 0xDC, code high, code low, data (L - 3 bytes), XOR of all bytes before it.
// A reader answers with its own address and the code's top bit set as the answer flag.
namespace SimFrame {

inline constexpr quint8 kMarker = 0xDC;
inline constexpr quint16 kAnswerFlag = 0x8000;

// XOR of all bytes, 0 for none.
quint8 checksum(const QByteArray &bytes);

// A complete answer frame: address, length, marker, code | answer flag, data, checksum.
QByteArray answer(quint8 address, quint16 code, const QByteArray &data);

// The RS-485 speeds a reader can be set to.
bool isSupportedSpeed(quint32 baud);

// The request parts of a frame that is complete and whose checksum is right.
struct Request
{
    quint8 address = 0;
    quint16 code = 0;
    QByteArray data;
};
bool decodeRequest(const QByteArray &frame, Request *request);

} // namespace SimFrame

// Cuts request frames out of the byte stream of the line by their length byte. Bytes that
// cannot start a frame (a length below 3 or no marker after it) are skipped one at a time, so
// noise before a frame is passed over. A frame whose checksum is wrong is still cut whole: its
// length says where it ends, and the readers ignore it.
class RequestCutter
{
public:
    QList<QByteArray> feed(const QByteArray &bytes);
    int pendingBytes() const { return m_buffer.size(); }
    void reset() { m_buffer.clear(); }

private:
    QByteArray m_buffer;
};
