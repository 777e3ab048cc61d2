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
        m_request = {true, m_deviceAddress, cmd, true};
        sendRemoteFrame(frame);
        return;
    }

    if (!m_port->isOpen()) {
        // Nothing can answer a frame that never left: the job ends with the connection.
        qDebug().noquote() << "/C:12"
                           << "Port not open, command not sent: " << hex;
        dropConnection();
        emit changeDeviceStatus(0);
        return;
    }

    m_request = {true, m_deviceAddress, cmd, false};
    const quint64 serial = ++m_requestSerial;
    const qint64 quietMs = m_abandonClock.isValid() ? QuietAfterAbandonMs - m_abandonClock.elapsed()
                                                    : 0;
    if (quietMs > 0) {
        // The frame goes only while it is still the request in flight on the same port.
        QTimer::singleShot(int(quietMs), Qt::PreciseTimer, this, [this, frame, serial] {
            if (serial == m_requestSerial && m_port->isOpen() && m_request.active && !m_request.sent)
                writeRequest(frame);
        });
        return;
    }
    writeRequest(frame);
}

void DeviceInterface::writeRequest(const QByteArray &frame)
{
    m_abandonClock.invalidate();
    m_request.sent = true;
    const QString hex = Frame220::hex(frame);
    qDebug().noquote() << "Out cmd pack: " << hex;
    emit printToTerminal(
            trafficLine(tr("<font color=blue>&gt; </font>") + hex, QTime::currentTime()));
    m_port->write(frame);
    // A scan's probes are not counted: a silent address is no fault of the line.
    if (m_job != Job::Scan) {
        m_health.requestSent();
        // The answer time runs from the request's last byte, which leaves when the frame has
        // crossed the line: ten bits a byte (8N1).
        m_requestClock.start();
        m_requestWireUs = m_baudRate > 0 ? frame.size() * 10 * 1000000LL / m_baudRate : 0;
    }

    if (m_job == Job::Scan) {
        // The event loop runs a time-out a little late (up to a millisecond or so). Taking that
        // off the following probes keeps a silent address at 50 ms on average, so a scan of
        // the bus takes 254 x 50 ms; no probe waits less than 45 ms.
        const int catchUpMs = int(qMin<qint64>(m_probeLateUs / 1000, 5));
        m_probeLateUs -= catchUpMs * 1000;
        m_probeIntervalMs = DiscoveryTimeoutMs - catchUpMs;
        m_probeClock.start();
        m_answerTimer->start(m_probeIntervalMs);
    } else {
        // A console command waits as long, but is never sent again nor asked about.
        m_answerTimer->start(m_answerTimeoutMs);
    }
}

void DeviceInterface::readPortData()
{
    m_lastByteClock.start();
    if (m_gatherTimer->isActive()) {
        m_gatherTimer->start(GatherNextMs);
    } else {
        if (m_job == Job::Scan)
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
    if (m_job == Job::Scan)
        m_answerTimer->start(GatherNextMs);
}

void DeviceInterface::addToQue()
{
    m_gatherTimer->stop();
    // During a scan the next address is probed 10 ms after any burst the parser does not turn
    // into an identity answer, noise included, so a stray byte cannot stall the scan.
    if (m_job == Job::Scan)
        m_answerTimer->start(GatherNextMs);

    if (m_receiveBuffer.size() >= 3) {
        QString spaced = QString::fromLatin1(m_receiveBuffer.toHex(' '));
        qDebug().noquote() << "Receive buffer: " << spaced;
        AnswerLine line;
        line.text = tr("<font color=green>&lt; </font>")
                    + spaced.replace(QLatin1Char(' '), QLatin1String("&nbsp;"));
        line.at = QTime::currentTime().addMSecs(-int(m_lastByteClock.elapsed()));
        // Only an answer to the request in flight goes to the parser: a late answer to a
        // command given up, or one from another reader, must not end another command's wait.
        quint8 address = 0;
        quint16 code = 0;
        if (Frame220::answerHeader(m_receiveBuffer, &address, &code)
            && !answersRequest(address, code)) {
            qDebug().noquote() << "/C:12"
                               << QStringLiteral("Answer %1 from address %2 answers no request "
                                                 "in flight, ignored")
                                          .arg(code, 4, 16, QLatin1Char('0'))
                                          .arg(address);
            if (m_job != Job::Scan) {
                // Noise that hits the address or code byte makes a damaged answer look like
                // another reader's; only one whose checksum holds is another reader's.
                if (Frame220::frameOfChunk(m_receiveBuffer).isEmpty()) {
                    markDamaged(&line.text);
                    m_health.checksumFailed();
                    reportBusHealth();
                } else if (address != m_request.address) {
                    m_health.answerFromOtherAddress();
                    reportBusHealth();
                }
            }
        } else {
            m_request.answered = m_request.active;
            line.awaitingVerdict = true;
            if (m_request.active && m_request.sent && m_job != Job::Scan
                && m_requestClock.isValid()) {
                const qint64 us = m_requestClock.nsecsElapsed() / 1000 - m_requestWireUs
                                  - m_lastByteClock.nsecsElapsed() / 1000;
                line.answerMs = int((qMax<qint64>(0, us) + 500) / 1000);
            }
            m_queue.append(m_receiveBuffer);
        }
        m_answerLines.append(line);
        showAnswerLines();
    }
    m_receiveBuffer.clear();
    m_receiveOverflow = false;
}

bool DeviceInterface::answersRequest(quint8 address, quint16 code) const
{
    // Nothing answers a frame that has not left yet.
    if (!m_request.active || !m_request.sent)
        return false;
    if (code != m_request.code && code != Cmd220::EmptyAnswer)
        return false;
    return m_job == Job::Scan || address == m_request.address;
}

bool DeviceInterface::takeAnswer(std::initializer_list<quint16> codes)
{
    if (!m_request.active || !m_request.answered)
        return false;
    bool fits = codes.size() == 0;
    for (quint16 code : codes)
        fits = fits || code == m_request.code;
    if (!fits)
        return false;
    m_request.active = false;
    resetAnswerCycle();
    if (m_job != Job::Scan) {
        m_health.answerAccepted(m_checkedAnswerMs);
        reportBusHealth();
    }
    m_checkedAnswerMs = -1;
    return true;
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

void DeviceInterface::runWhenIdle(Job job, std::function<void()> start)
{
    if (isIdle()) {
        start();
        return;
    }
    qDebug().noquote() << QStringLiteral("The bus is busy (job %1): job %2 waits its turn")
                                  .arg(int(m_job))
                                  .arg(int(job));
    m_waiting.append({job, std::move(start)});
}

void DeviceInterface::startWaitingJob()
{
    // A job that sends nothing (a refused document, a raw line) leaves the bus free for the
    // next one at once.
    while (isBusFree() && !m_waiting.isEmpty()) {
        const WaitingJob next = m_waiting.takeFirst();
        next.start();
    }
}

bool DeviceInterface::isWritePending() const
{
    if (m_job == Job::Write)
        return true;
    for (const WaitingJob &waiting : m_waiting) {
        if (waiting.job == Job::Write)
            return true;
    }
    return false;
}

void DeviceInterface::finishJob()
{
    m_job = Job::Idle;
    m_request.active = false;
    m_endStatusReadAtTimeout = false;
    resetAnswerCycle();
    // The next job starts from the event loop, after whatever reported this one's end.
    if (!m_waiting.isEmpty())
        QTimer::singleShot(0, this, &DeviceInterface::startWaitingJob);
    emit busIdle();
}

void DeviceInterface::endStatusReadAtTimeout()
{
    if (m_job == Job::Poll)
        m_endStatusReadAtTimeout = true;
}

void DeviceInterface::dropConnection()
{
    const bool wasBusy = !isIdle();
    m_job = Job::Idle;
    m_request.active = false;
    m_endStatusReadAtTimeout = false;
    resetAnswerCycle();
    for (const WaitingJob &waiting : qAsConst(m_waiting)) {
        if (waiting.job == Job::Console)
            consoleNote(tr("Команда не отправлена: нет соединения с модулем"));
    }
    m_waiting.clear();
    m_writeCursor.clear();
    m_fwImage.clear();
    m_pageIndex = 0;
    m_pollStep = 0;
    m_remaining = 0;
    m_acceptedAddress = 0;
    m_acceptedSpeed = 0;
    m_deviceConnected = false;
    if (!m_remoteMode && !m_port->isOpen())
        endBusHealth();
    if (wasBusy)
        emit busIdle();
}

void DeviceInterface::answerTimeout()
{
    m_answerTimer->stop();

    if (m_job == Job::Scan) {
        // Only the probe's own time-out counts, not the short one after a rejected answer.
        if (m_probeClock.isValid() && m_answerTimer->interval() == m_probeIntervalMs)
            m_probeLateUs += qMax<qint64>(0, m_probeClock.nsecsElapsed() / 1000
                                                     - qint64(m_probeIntervalMs) * 1000);
        // A silent address is never asked twice.
        m_request.active = false;
        nextReadCommand();
        return;
    }

    if (m_remoteMode) {
        qDebug().noquote() << "Remote device not respond";
        noteTimeout(0);
        closeRemoteConnection();
        return;
    }

    if (!m_request.active)
        return;

    if (m_job == Job::Console) {
        // A command typed by hand is neither sent again nor asked about.
        qDebug().noquote() << "No answer to the console command";
        noteTimeout(0);
        finishJob();
        return;
    }

    if (m_job == Job::Poll && m_endStatusReadAtTimeout) {
        qDebug().noquote() << "No answer to the status read, given up for the next command";
        noteTimeout(0);
        m_pollStep = 0;
        finishJob();
        return;
    }

    if (m_retryCount < MaxResends) {
        ++m_retryCount;
        qDebug().noquote() << "/C:12"
                           << "Data IO Error, request num: " << m_retryCount;
        m_health.resent();
        noteTimeout(m_retryCount);
        m_progressValue -= m_progressStep;
        emit setProgress(m_progressValue);
        sendCommand_220(m_prevCmd, m_prevData);
        return;
    }

    noteTimeout(0);
    m_retryCount = 0;
    askToContinue();
}

void DeviceInterface::askToContinue()
{
    // The request stays unanswered while the engineer decides.
    m_request.active = false;
    const Job job = m_job;
    MessageRequest request;
    request.icon = Prompt::Critical;
    request.buttons = Prompt::Yes | Prompt::No;
    request.styleSheet = QLatin1String(kQuestionStyle);
    if (job == Job::Upload) {
        request.title = tr("Обновление прошивки");
        request.text = tr("Модуль не отвечает на команду.\nПродолжить обновление прошивки?");
    } else if (job == Job::Write) {
        request.title = tr("Запись конфигурации");
        request.text = tr("Модуль не отвечает на команду.\nПродолжить запись конфигурации?");
    } else {
        request.title = tr("Чтение конфигурации");
        request.text = tr("Модуль не отвечает на команду.\nПродолжить чтение конфигурации?");
    }

    const bool goOn = m_prompter.message(request) == Prompt::Yes;
    // The box is modal but the event loop ran under it: the connection may have gone meanwhile.
    if (m_job != job || !(m_remoteMode || m_port->isOpen()))
        return;

    if (goOn) {
        // A command the job cannot do without (the identity, a status read, a reboot, a step
        // of an upload) is sent again for a new round of three; a read or write command of the
        // list is given up and the next one follows.
        const bool essential = job == Job::Upload || job == Job::Poll || job == Job::Reboot
                               || m_prevCmd == Cmd220::DeviceInfo || m_prevCmd == Cmd220::Reboot;
        if (essential) {
            m_health.resent();
            sendCommand_220(m_prevCmd, m_prevData);
        } else if (job == Job::Write)
            nextProcessParam();
        else
            nextReadCommand();
        return;
    }

    qDebug().noquote() << "Device not respond, port closed!";
    closePort();
    dropConnection();
    emit changeDeviceStatus(0);
}

void DeviceInterface::NextReadCmd()
{
    // The empty answer: the reader has nothing to return for the command in flight.
    if (!takeAnswer({}))
        return;
    qDebug().noquote() << "Empty answer. Next command";
    switch (m_job) {
    case Job::Read:
    case Job::Scan:
        nextReadCommand();
        break;
    case Job::Poll:
        pollAnswered();
        break;
    case Job::Write:
        if (m_prevCmd == Cmd220::Reboot) {
            // The closing reboot is not known: the values wait in the reader, the write ends.
            finishJob();
            emit changeDeviceStatus(3);
        } else {
            // A write command the reader does not know: the value was not taken.
            writeResult(1);
        }
        break;
    case Job::Reboot:
        finishJob();
        emit changeDeviceStatus(3);
        break;
    case Job::Upload:
        qDebug().noquote() << "/C:12"
                           << "The reader does not take firmware uploads";
        endUpload(3);
        break;
    case Job::Console:
    case Job::Idle:
        finishJob();
        break;
    }
}

void DeviceInterface::answerNotDecoded()
{
    // A command typed by hand may ask for what this program cannot read: its answer, shown in
    // the console, ends it all the same. The commands of a job wait on for a readable answer.
    if (m_job != Job::Console || !takeAnswer({}))
        return;
    qDebug().noquote() << "Answer to the console command not decoded";
    finishJob();
}

void DeviceInterface::consoleNote(const QString &text)
{
    emit printToTerminal(QStringLiteral("<font color=red>") + text.toHtmlEscaped()
                         + QStringLiteral("</font>"));
}

QString DeviceInterface::consoleTimestamp(const QTime &time)
{
    return QStringLiteral("<font color=gray>") + time.toString(QStringLiteral("hh:mm:ss.zzz"))
           + QStringLiteral("</font>&nbsp;");
}

QString DeviceInterface::trafficLine(const QString &line, const QTime &at) const
{
    return m_consoleTimestamps ? consoleTimestamp(at) + line : line;
}

void DeviceInterface::answerChecked(bool checksumOk)
{
    // Each verdict belongs to the oldest chunk still waiting for one: the parser takes the
    // chunks in the order they were handed to it.
    if (m_answerLines.isEmpty() || !m_answerLines.first().awaitingVerdict)
        return;
    AnswerLine &line = m_answerLines.first();
    line.awaitingVerdict = false;
    m_checkedAnswerMs = checksumOk ? line.answerMs : -1;
    if (!checksumOk)
        markDamaged(&line.text);
    showAnswerLines();
    if (!checksumOk && m_job != Job::Scan) {
        m_health.checksumFailed();
        reportBusHealth();
    }
}

void DeviceInterface::markDamaged(QString *line)
{
    *line += QStringLiteral("&nbsp;<font color=red>") + tr("✗ КС").toHtmlEscaped()
             + QStringLiteral("</font>");
}

void DeviceInterface::showAnswerLines()
{
    while (!m_answerLines.isEmpty() && !m_answerLines.first().awaitingVerdict) {
        const AnswerLine line = m_answerLines.takeFirst();
        emit printToTerminal(trafficLine(line.text, line.at));
    }
}

void DeviceInterface::noteTimeout(int resend)
{
    if (!m_request.active)
        return;
    const QString text = resend > 0 ? tr("нет ответа (повтор %1 из 3)").arg(resend)
                                    : tr("нет ответа");
    emit printToTerminal(trafficLine(QStringLiteral("<font color=red>") + text.toHtmlEscaped()
                                             + QStringLiteral("</font>"),
                                     QTime::currentTime()));
    m_health.timedOut();
    reportBusHealth();
}

void DeviceInterface::startBusHealth()
{
    endBusHealth();
    m_health = BusHealth();
    m_checkedAnswerMs = -1;
    m_healthCounting = true;
    reportBusHealth();
}

void DeviceInterface::endBusHealth()
{
    if (!m_healthCounting)
        return;
    m_healthCounting = false;
    // A connection that sent nothing (a bus scan: its probes are not counted) has nothing to
    // tell about the line.
    if (m_health.requests() > 0)
        qDebug().noquote() << m_health.logLine();
}

void DeviceInterface::reportBusHealth()
{
    if (m_healthCounting)
        emit busHealthChanged(m_health);
}
