#include "chunkqueue.h"

#include <QMutexLocker>

void ChunkQueue::append(const QByteArray &chunk)
{
    QMutexLocker lock(&m_mutex);
    m_chunks.append(chunk);
    m_ready.wakeOne();
}

bool ChunkQueue::take(QByteArray *chunk, const std::atomic<bool> &running)
{
    QMutexLocker lock(&m_mutex);
    while (m_chunks.isEmpty() && running.load()) {
        m_ready.wait(&m_mutex);
        ++m_wakeUps;
    }
    if (!running.load())
        return false;
    *chunk = m_chunks.takeFirst();
    return true;
}

void ChunkQueue::wakeAll()
{
    // Taking the mutex orders the wake after a taker's check of the running flag, so the wake
    // cannot fall between that check and its wait.
    QMutexLocker lock(&m_mutex);
    m_ready.wakeAll();
}

int ChunkQueue::size() const
{
    QMutexLocker lock(&m_mutex);
    return m_chunks.size();
}
