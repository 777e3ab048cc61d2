#include "bushealth.h"

#include <QStringList>

namespace {
constexpr quint32 kRecentMask = (1u << BusHealth::RecentRequests) - 1;

int bitCount(quint32 bits)
{
    int n = 0;
    for (; bits != 0; bits &= bits - 1)
        ++n;
    return n;
}
} // namespace

void BusHealth::requestSent()
{
    ++m_requests;
    m_judged = false;
}

void BusHealth::answerAccepted(int answerMs)
{
    m_lastAnswerMs = answerMs;
    ++m_answers;
    if (answerMs >= 0)
        ++m_answerTimes[answerMs];
    judge(false);
}

void BusHealth::checksumFailed()
{
    ++m_checksumErrors;
    judge(true);
}

void BusHealth::timedOut()
{
    ++m_timeouts;
    judge(true);
}

void BusHealth::judge(bool bad)
{
    if (m_judged)
        return;
    m_judged = true;
    m_recentBad = ((m_recentBad << 1) | (bad ? 1u : 0u)) & kRecentMask;
    m_recentCount = qMin(m_recentCount + 1, RecentRequests);
}

int BusHealth::medianAnswerMs() const
{
    int count = 0;
    for (int n : m_answerTimes)
        count += n;
    if (count == 0)
        return -1;
    // The times at 0-based positions (count - 1) / 2 and count / 2: one and the same for an odd
    // count.
    const int lowPos = (count - 1) / 2;
    const int highPos = count / 2;
    int low = -1;
    int seen = 0;
    for (auto it = m_answerTimes.cbegin(); it != m_answerTimes.cend(); ++it) {
        seen += it.value();
        if (low < 0 && seen > lowPos)
            low = it.key();
        if (seen > highPos)
            return (low + it.key()) / 2;
    }
    return low;
}

int BusHealth::worstAnswerMs() const
{
    return m_answerTimes.isEmpty() ? -1 : m_answerTimes.lastKey();
}

bool BusHealth::lineSuspect() const
{
    return bitCount(m_recentBad) * 10 > m_recentCount;
}

QString BusHealth::summary() const
{
    if (m_requests == 0)
        return QString();
    return tr("Ответов %1 из %2 · повторов %3 · ошибок КС %4")
            .arg(m_answers)
            .arg(m_requests)
            .arg(m_resends)
            .arg(m_checksumErrors);
}

QString BusHealth::details() const
{
    QStringList lines;
    lines << tr("Запросов: %1").arg(m_requests) << tr("Ответов: %1").arg(m_answers)
          << tr("Ошибок контрольной суммы: %1").arg(m_checksumErrors)
          << tr("Тайм-аутов: %1").arg(m_timeouts) << tr("Повторов: %1").arg(m_resends)
          << tr("Ответов с другого адреса: %1").arg(m_otherAddress);
    if (m_answerTimes.isEmpty())
        lines << tr("Время ответа: нет ответов");
    else
        lines << tr("Время ответа: медиана %1 мс, худшее %2 мс")
                         .arg(medianAnswerMs())
                         .arg(worstAnswerMs());
    if (lineSuspect())
        lines << tr("Проверьте терминатор, экран и длину линии RS-485.");
    return lines.join(QLatin1Char('\n'));
}

QString BusHealth::logLine() const
{
    QString line = QStringLiteral("Bus health: requests %1, answers %2, checksum errors %3, "
                                  "time-outs %4, resends %5, from another address %6, ")
                           .arg(m_requests)
                           .arg(m_answers)
                           .arg(m_checksumErrors)
                           .arg(m_timeouts)
                           .arg(m_resends)
                           .arg(m_otherAddress);
    if (m_answerTimes.isEmpty())
        line += QStringLiteral("no answer times");
    else
        line += QStringLiteral("answer time median %1 ms, worst %2 ms")
                        .arg(medianAnswerMs())
                        .arg(worstAnswerMs());
    if (lineSuspect())
        line += QStringLiteral(", line suspect");
    return line;
}
