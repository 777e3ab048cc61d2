#include "wireline.h"

qint64 WireLine::byteTimeNs(quint32 baud)
{
    return baud == 0 ? 0 : 10 * Q_INT64_C(1000000000) / qint64(baud);
}

void WireLine::send(const QByteArray &bytes, qint64 nowNs, quint32 baud)
{
    const qint64 byteTime = byteTimeNs(baud);
    qint64 arrival = m_arrivals.isEmpty() ? nowNs : qMax(nowNs, m_arrivals.last());
    for (char byte : bytes) {
        arrival += byteTime;
        m_bytes.append(byte);
        m_arrivals.append(arrival);
    }
}

QByteArray WireLine::takeArrived(qint64 nowNs, qint64 *firstNs, qint64 *lastNs)
{
    int count = 0;
    while (count < m_arrivals.size() && m_arrivals.at(count) <= nowNs)
        ++count;
    if (count > 0 && firstNs)
        *firstNs = m_arrivals.first();
    if (count > 0 && lastNs)
        *lastNs = m_arrivals.at(count - 1);
    const QByteArray arrived = m_bytes.left(count);
    m_bytes.remove(0, count);
    m_arrivals.remove(0, count);
    return arrived;
}

qint64 WireLine::nextArrivalNs() const
{
    return m_arrivals.isEmpty() ? -1 : m_arrivals.first();
}

void WireLine::clear()
{
    m_bytes.clear();
    m_arrivals.clear();
}
