#include "packparser.h"

#include "answerdecoder.h"
#include "chunkqueue.h"
#include "frame220.h"

#include <QDebug>
#include <QThread>

PackParser::PackParser(ChunkQueue *queue, QObject *parent)
    : QObject(parent)
    , m_queue(queue)
{
    registerDeviceRecords();
}

void PackParser::startParser()
{
    QByteArray chunk;
    while (m_queue->take(&chunk, m_running))
        processChunk(chunk);
    emit finished(0);
}

void PackParser::stopParser()
{
    m_running = false;
    m_queue->wakeAll();
}

void PackParser::processChunk(const QByteArray &chunk)
{
    if (const int delay = m_delayMs)
        QThread::msleep(ulong(delay));
    const QByteArray frame = Frame220::frameOfChunk(chunk);
    emit answerChecked(!frame.isEmpty());
    if (frame.isEmpty()) {
        qDebug().noquote() << "BAD DATA!";
        return;
    }
    decodeAnswer(frame);
}

void PackParser::decodeAnswer(QByteArray frame)
{
    // Every answer ends in one verdict: a record, the empty answer, or not decoded.
    if (frame.size() < 6) {
        emit answerNotDecoded();
        return;
    }
    qDebug().noquote() << "**";

    const DecodedAnswer answer = decodeAnswerFrame(frame);
    switch (answer.kind) {
    case DecodedAnswer::Dropped:
        emit answerNotDecoded();
        break;
    case DecodedAnswer::UnknownCode:
        qDebug().noquote() << "Command none";
        emit answerNotDecoded();
        break;
    case DecodedAnswer::Version:
        emit VersionInfoStatus_220(answer.version);
        break;
    case DecodedAnswer::Rs485:
        emit RS485_InfoStatus_220(answer.rs485);
        break;
    case DecodedAnswer::Input:
        emit InputInfoStatus_220(answer.input);
        break;
    case DecodedAnswer::Output:
        emit OutputInfoStatus_220(answer.output);
        break;
    case DecodedAnswer::Uptime:
        emit UpTimeInfoStatus_220(answer.uptime);
        break;
    case DecodedAnswer::Empty:
        emit NextReadCmd();
        break;
    case DecodedAnswer::Reboot:
        emit rebootAnswer(answer.status);
        break;
    case DecodedAnswer::WriteParam:
        emit answerWriteParam(answer.status);
        break;
    case DecodedAnswer::UpdArea:
        emit makeUpdArea(answer.status);
        break;
    case DecodedAnswer::UpdPage:
        emit answWritePage(answer.status);
        break;
    case DecodedAnswer::UpdCheck:
        emit checkUpdArea(answer.status);
        break;
    }
}
