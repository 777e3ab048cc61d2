#pragma once

#include <QByteArray>
#include <QList>

#include <atomic>
#include <condition_variable>
#include <mutex>

// The hand-off of received answer chunks from the GUI thread to the parser thread: first in,
// first out. One mutex guards the list and is held only for one append or one take; the taker
// sleeps on a condition variable, so an idle parser thread never wakes up. (Standard mutexes:
// the thread sanitizer sees them, unlike those of a Qt built without it.)
class ChunkQueue
{
public:
    ChunkQueue() = default;
    ~ChunkQueue();
    ChunkQueue(const ChunkQueue &) = delete;
    ChunkQueue &operator=(const ChunkQueue &) = delete;

    void append(const QByteArray &chunk);

    // Blocks until a chunk is there or running turns false; returns false in the latter case.
    bool take(QByteArray *chunk, const std::atomic<bool> &running);

    // Wakes a taker so that it sees a changed running flag.
    void wakeAll();

    int size() const;
    // Times a blocked taker woke up (chunks, stop requests and spurious wake-ups alike).
    quint64 wakeUps() const { return m_wakeUps.load(); }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_ready;
    QList<QByteArray> m_chunks;
    std::atomic<quint64> m_wakeUps {0};
};
