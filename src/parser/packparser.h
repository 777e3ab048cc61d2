#pragma once

#include "records.h"

#include <QByteArray>
#include <QObject>

#include <atomic>

class ChunkQueue;

// Turns answer chunks of the reader into records and answer signals. Lives in a thread of its
// own: startParser() runs its loop there, taking one chunk at a time off the device link's
// queue, checking the checksum in the chunk's last byte and decoding the frame. The remote
// transport calls decodeAnswer() directly on the GUI thread with frames it checked itself.
class PackParser : public QObject
{
    Q_OBJECT
public:
    // The queue belongs to the device link, which outlives the loop.
    explicit PackParser(ChunkQueue *queue, QObject *parent = nullptr);

public slots:
    void startParser();
    // Ends the loop at once; may be called from any thread.
    void stopParser();
    // Every answer takes this much longer to check (tests: a parser thread slowed as by a slow
    // disk under the log). Any thread.
    void setDelayPerChunk(int ms) { m_delayMs = ms; }
    // Takes a frame without its checksum byte and emits at most one signal for it.
    void decodeAnswer(QByteArray frame);

signals:
    // Every chunk taken off the queue, before the signal of its answer: whether its checksum
    // held (a failure is logged "BAD DATA!" and the chunk dropped).
    void answerChecked(bool checksumOk);
    void VersionInfoStatus_220(VERSION_INFO_220 info);
    void RS485_InfoStatus_220(RS485_STAT_220 info);
    void InputInfoStatus_220(INPUT_STAT_220 info);
    void OutputInfoStatus_220(OUTPUT_STAT_220 info);
    void UpTimeInfoStatus_220(UPTIME_INFO_220 info);
    void NextReadCmd();
    // A checked frame this program cannot read: an unknown code, or a record too short.
    void answerNotDecoded();
    void rebootAnswer(quint8 status);
    void answerWriteParam(quint8 result);
    void makeUpdArea(quint8 status);
    void answWritePage(quint8 status);
    void checkUpdArea(quint8 status);
    void finished(int code);

private:
    void processChunk(const QByteArray &chunk);

    ChunkQueue *m_queue;
    // True until stopParser(); a stop that comes before the loop starts still ends it.
    std::atomic<bool> m_running {true};
    std::atomic<int> m_delayMs {0};
};
