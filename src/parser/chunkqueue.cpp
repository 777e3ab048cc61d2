#include "chunkqueue.h"

ChunkQueue::~ChunkQueue()
{
    // The parser thread has ended by now (its owner waited for it). Taking the mutex once more
    // makes that order visible to the thread sanitizer, which cannot see a Qt thread's join.
    std::lock_guard<std::mutex> lock(m_mutex);
}

void ChunkQueue::append(const QByteArray &chunk)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_chunks.append(chunk);
    }
    m_ready.notify_one();
}

bool ChunkQueue::take(QByteArray *chunk, const std::atomic<bool> &running)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (m_chunks.isEmpty() && running.load()) {
        m_ready.wait(lock);
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
    {
        std::lock_guard<std::mutex> lock(m_mutex);
    }
    m_ready.notify_all();
}

int ChunkQueue::size() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_chunks.size();
}
