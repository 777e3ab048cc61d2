#pragma once

#include <QByteArray>
#include <QVector>

// One direction of a serial line at its speed. A pseudo-terminal moves bytes at once; a line
// moves each byte in 10 bit times (start bit, 8 data bits, stop bit), one after another. Bytes
// put on the line arrive when their last bit would have: a byte sent while the line is free
// arrives one byte time later, a byte sent while earlier ones are still under way follows the
// last of them. Times are nanoseconds on any monotonic clock.
class WireLine
{
public:
    // The time one byte takes at this speed; 0 for an unknown speed (the bytes arrive at once).
    static qint64 byteTimeNs(quint32 baud);

    void send(const QByteArray &bytes, qint64 nowNs, quint32 baud);
    // The bytes that have arrived by nowNs, taken off the line; with the arrival times of the
    // first and the last of them when there are any.
    QByteArray takeArrived(qint64 nowNs, qint64 *firstNs = nullptr, qint64 *lastNs = nullptr);
    // When the next byte arrives; -1 when nothing is on the line.
    qint64 nextArrivalNs() const;
    bool isEmpty() const { return m_bytes.isEmpty(); }
    void clear();

private:
    QByteArray m_bytes;
    QVector<qint64> m_arrivals; // of each byte of m_bytes
};
