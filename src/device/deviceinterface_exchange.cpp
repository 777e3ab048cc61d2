#include "deviceinterface.h"

#include "commands220.h"
#include "frame220.h"

#include <QDebug>
#include <QTimer>

namespace {
// The question after three unanswered resends: the program's own box colours.
const char *const kQuestionStyle
        = "QMessageBox { background-color: rgb(162, 173, 188); }"
          "QPushButton { color: white; font: 13px \"PT Sans\"; background-color: rgb(27, 34, 40);"
          " border: none; min-width: 81px; min-height: 23px; }"
          "QPushButton:hover { background-color: rgb(61, 108, 138); }";
} // namespace

void DeviceInterface::savePrevComm(quint16 cmd, QByteArray data)
{
    m_prevCmd = cmd;
    m_prevData = data;
}

void DeviceInterface::sendCommand_220(quint16 cmd, QByteArray data)
{
    const bool skipAnswerTimer = m_skipAnswerTimerOnce;
    m_skipAnswerTimerOnce = false;

    // The length byte counts 3 + n and the frame before its checksum holds at most 255 bytes.
    if (data.size() > Frame220::MaxDataBytes) {
        qDebug().noquote() << "/C:12"
                           << QStringLiteral("Command %1 not sent: %2 data bytes, a frame holds "
                                             "at most %3")
                                      .arg(cmd, 4, 16, QLatin1Char('0'))
                                      .arg(data.size())
                                      .arg(Frame220::MaxDataBytes);
        return;
    }

    savePrevComm(cmd, data);
    const QByteArray frame = Frame220::build(m_deviceAddress, cmd, data);
    const QString hex = Frame220::hex(frame);

    if (m_remoteMode) {
        qDebug().noquote() << "Rem Out cmd pack: " << hex;
        sendRemoteFrame(frame);
        return;
    }

    if (!m_port->isOpen()) {
        qDebug().noquote() << "/C:12"
                           << "Port not open, command not sent: " << hex;
        return;
    }

    qDebug().noquote() << "Out cmd pack: " << hex;
    emit printToTerminal(tr("<font color=blue>&gt; </font>") + hex);
    m_port->write(frame);

    if (skipAnswerTimer)
        return;
    if (m_searching) {
        // The event loop runs a time-out a little late (up to a millisecond or so). Taking that
        // off the following probes keeps a silent address at 50 ms on average, so a scan of
        // the bus takes 254 x 50 ms; no probe waits less than 45 ms.
        const int catchUpMs = int(qMin<qint64>(m_probeLateUs / 1000, 5));
        m_probeLateUs -= catchUpMs * 1000;
        m_probeIntervalMs = DiscoveryTimeoutMs - catchUpMs;
        m_probeClock.start();
        m_answerTimer->start(m_probeIntervalMs);
    } else {
        m_answerTimer->start(AnswerTimeoutMs);
    }
}

void DeviceInterface::readPortData()
{
    if (m_gatherTimer->isActive()) {
        m_gatherTimer->start(GatherNextMs);
    } else {
        if (m_searching)
            m_answerTimer->stop();
        m_gatherTimer->start(GatherFirstMs);
    }
    const QByteArray bytes = m_port->readAll();
    if (m_receiveOverflow)
        return;
    m_receiveBuffer.append(bytes);
    if (m_receiveBuffer.size() <= MaxAnswerBytes)
        return;
    qDebug().noquote() << "/C:12"
                       << QStringLiteral("Receive buffer overflow: more than %1 bytes without a "
                                         "pause, dropped until the line is silent")
                                  .arg(MaxAnswerBytes);
    m_receiveBuffer.clear();
    m_receiveOverflow = true;
    // A scan goes on with the next address; a command waits for its time-out as for a wrong
    // answer.
    if (m_searching)
        m_answerTimer->start(GatherNextMs);
}

void DeviceInterface::addToQue()
{
    m_gatherTimer->stop();
    // During a scan the next address is probed 10 ms after any burst the parser does not turn
    // into an identity answer, noise included, so a stray byte cannot stall the scan.
    if (m_searching)
        m_answerTimer->start(GatherNextMs);

    if (m_receiveBuffer.size() >= 3) {
        m_queue.append(m_receiveBuffer);
        QString spaced = QString::fromLatin1(m_receiveBuffer.toHex(' '));
        qDebug().noquote() << "Receive buffer: " << spaced;
        emit printToTerminal(tr("<font color=green>&lt; </font>")
                             + spaced.replace(QLatin1Char(' '), QLatin1String("&nbsp;")));
    }
    m_receiveBuffer.clear();
    m_receiveOverflow = false;
}

bool DeviceInterface::isAnswerTimerActive() const
{
    return m_answerTimer->isActive();
}

int DeviceInterface::answerTimerInterval() const
{
    return m_answerTimer->interval();
}

void DeviceInterface::stopAnswerTimer()
{
    if (m_answerTimer->isActive())
        m_answerTimer->stop();
}

void DeviceInterface::resetAnswerCycle()
{
    stopAnswerTimer();
    m_retryCount = 0;
}

void DeviceInterface::setAnswerOk()
{
    resetAnswerCycle();
}

void DeviceInterface::answerTimeout()
{
    m_answerTimer->stop();

    if (m_searching) {
        // Only the probe's own time-out counts, not the short one after a rejected answer.
        if (m_probeClock.isValid() && m_answerTimer->interval() == m_probeIntervalMs)
            m_probeLateUs += qMax<qint64>(0, m_probeClock.nsecsElapsed() / 1000
                                                     - qint64(m_probeIntervalMs) * 1000);
        // A silent address is never asked twice.
        nextReadCommand();
        return;
    }

    if (m_retryCount < MaxResends) {
        if (m_remoteMode) {
            qDebug().noquote() << "Remote device not respond";
            closeRemoteConnection();
            return;
        }
        ++m_retryCount;
        qDebug().noquote() << "/C:12"
                           << "Data IO Error, request num: " << m_retryCount;
        m_progressValue -= m_progressStep;
        emit setProgress(m_progressValue);
        sendCommand_220(m_prevCmd, m_prevData);
        return;
    }

    m_retryCount = 0;
    askToContinue();
}

void DeviceInterface::askToContinue()
{
    // During a firmware upload the silent command is a step of the upload, not of a read.
    const bool uploading = m_prevCmd == Cmd220::PrepareUpdArea || m_prevCmd == Cmd220::WriteUpdPage
                           || m_prevCmd == Cmd220::CheckUpdArea;
    const bool writing = m_writeMode;
    MessageRequest request;
    request.icon = QMessageBox::Critical;
    request.buttons = QMessageBox::Yes | QMessageBox::No;
    request.styleSheet = QLatin1String(kQuestionStyle);
    if (uploading) {
        request.title = tr("Обновление прошивки");
        request.text = tr("Модуль не отвечает на команду.\nПродолжить обновление прошивки?");
    } else if (writing) {
        request.title = tr("Запись конфигурации");
        request.text = tr("Модуль не отвечает на команду.\nПродолжить запись конфигурации?");
    } else {
        request.title = tr("Чтение конфигурации");
        request.text = tr("Модуль не отвечает на команду.\nПродолжить чтение конфигурации?");
    }

    if (m_prompter.message(request) == QMessageBox::Yes) {
        if (uploading) {
            // An upload cannot skip a step: the same command goes again.
            sendCommand_220(m_prevCmd, m_prevData);
        } else if (writing) {
            // Go on with the next step; the unanswered command is given up, so one command at
            // a time stays outstanding.
            nextProcessParam();
        } else {
            nextReadCommand();
        }
        return;
    }

    qDebug().noquote() << "Device not respond, port closed!";
    closePort();
    resetAnswerCycle();
    if (uploading) {
        m_fwImage.clear();
        m_pageIndex = 0;
        emit changeDeviceStatus(0);
    } else if (writing) {
        m_writeAbandoned = true;
        deviceWriteEnd();
    } else {
        emit changeDeviceStatus(0);
    }
}

void DeviceInterface::NextReadCmd()
{
    resetAnswerCycle();
    qDebug().noquote() << "Empty answer. Next command";
    nextReadCommand();
}
