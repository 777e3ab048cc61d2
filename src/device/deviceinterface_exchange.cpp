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
    // Frames go out only inside a job that the gate started: nothing else writes to the bus.
    if (m_job == Job::Idle) {
        qDebug().noquote() << "/C:12"
                           << QStringLiteral("Command %1 not sent: no job runs")
                                      .arg(cmd, 4, 16, QLatin1Char('0'));
        return;
    }
    // The length byte counts 3 + n and the frame before its checksum holds at most 255 bytes.
    const QByteArray frame = Frame220::build(m_deviceAddress, cmd, data);
    if (frame.isEmpty()) {
        qDebug().noquote() << "/C:12"
                           << QStringLiteral("Command %1 not sent: %2 data bytes, a frame holds "
                                             "at most %3")
                                      .arg(cmd, 4, 16, QLatin1Char('0'))
                                      .arg(data.size())
                                      .arg(Frame220::MaxDataBytes);
        if (m_job == Job::Console)
            consoleNote(tr("Команда не отправлена: более 250 байт данных"));
        const Job job = m_job;
        finishJob();
        if (job == Job::Write || job == Job::Upload || job == Job::Read)
            emit changeDeviceStatus(3);
        return;
    }

    savePrevComm(cmd, data);
    ++m_requestSerial;
    m_request = {true, m_deviceAddress, cmd, false};
    const QString hex = Frame220::hex(frame);

    if (m_connection == Connection::Remote) {
        qDebug().noquote() << "Rem Out cmd pack: " << hex;
        m_request.sent = true;
        sendRemoteFrame(frame);
        return;
    }

    if (m_connection != Connection::Serial || !m_port->isOpen()) {
        // Nothing can answer a frame that never left: the job ends with the connection.
        qDebug().noquote() << "/C:12"
                           << "Port not open, command not sent: " << hex;
        closePort();
        dropConnection();
        emit changeDeviceStatus(0);
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
    // The frame leaves now, not when this thread next turns to the port (a busy window may take
    // longer than a probe's wait to get there): the wait for the answer runs from here.
    m_port->flush();
    // A scan's probes are not counted: a silent address is no fault of the line.
    if (m_job != Job::Scan)
        m_health.requestSent();
    // The answer time runs from the request's last byte, which leaves when the frame has crossed
    // the line: ten bits a byte (8N1).
    m_requestClock.start();
    m_requestWireUs = m_baudRate > 0 ? frame.size() * 10 * 1000000LL / m_baudRate : 0;
    // A probe of the scan waits 50 ms for the first byte of an answer, never less (a slow
    // reader's answer would meet the next probe); a probe of one address and a look of the watch
    // a little longer, once; a console command as long as any command, but it is never sent
    // again nor asked about.
    switch (m_job) {
    case Job::Scan:
        m_answerTimer->start(DiscoveryTimeoutMs);
        break;
    case Job::Probe:
    case Job::Watch:
        m_answerTimer->start(qMin(ProbeTimeoutMs, m_answerTimeoutMs));
        break;
    default:
        m_answerTimer->start(m_answerTimeoutMs);
        break;
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
    // A scan goes on with the next address (a line that never falls silent would stall it); a
    // command waits for its time-out as for a wrong answer.
    if (m_job == Job::Scan)
        m_answerTimer->start(GatherNextMs);
}

void DeviceInterface::addToQue()
{
    m_gatherTimer->stop();
    bool toParser = false;
    bool damagedAnswer = false;

    if (m_receiveBuffer.size() >= 3 && !m_receiveOverflow) {
        QString spaced = QString::fromLatin1(m_receiveBuffer.toHex(' '));
        qDebug().noquote() << "Receive buffer: " << spaced;
        AnswerLine line;
        line.text = tr("<font color=green>&lt; </font>")
                    + spaced.replace(QLatin1Char(' '), QLatin1String("&nbsp;"));
        line.at = QTime::currentTime().addMSecs(-int(m_lastByteClock.elapsed()));
        quint8 address = 0;
        quint16 code = 0;
        const bool hasHeader = Frame220::answerHeader(m_receiveBuffer, &address, &code);
        const bool checksumOk = !Frame220::frameOfChunk(m_receiveBuffer).isEmpty();
        const bool inFlight = m_request.active && m_request.sent;
        if (!checksumOk && m_job == Job::Scan && inFlight) {
            // Someone answered, damaged: the address is probed once more, the reader would be
            // lost for one spoilt answer.
            markDamaged(&line.text);
            if (!m_scanRetried) {
                m_scanRetried = true;
                damagedAnswer = true;
            }
        } else if (!checksumOk && m_job != Job::Scan) {
            // A damaged answer: whatever address or code the noise left in it, it is the line
            // answering, not silence. Sent again once the line is quiet.
            markDamaged(&line.text);
            m_health.checksumFailed();
            reportBusHealth();
            damagedAnswer = inFlight;
        } else if (hasHeader && !answersRequest(address, code)) {
            // Only an answer to the request in flight goes to the parser: a late answer to a
            // command given up, or one from another reader, must not end another command's
            // wait.
            qDebug().noquote() << "/C:12"
                               << QStringLiteral("Answer %1 from address %2 answers no request "
                                                 "in flight, ignored")
                                          .arg(code, 4, 16, QLatin1Char('0'))
                                          .arg(address);
            if (m_job != Job::Scan && address != m_request.address) {
                m_health.answerFromOtherAddress();
                reportBusHealth();
            }
        } else {
            toParser = inFlight;
            m_request.answered = m_request.active;
            line.awaitingVerdict = true;
            line.request = toParser ? m_requestSerial : 0;
            if (toParser && m_requestClock.isValid()) {
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

    if (damagedAnswer) {
        // Sent again once the line is quiet: the answer ended with its silence already; during
        // a scan a moment more, as after any answer that is no identity.
        m_request.damaged = true;
        m_answerTimer->start(m_job == Job::Scan ? GatherNextMs : 0);
    } else if (toParser) {
        // The answer is judged by the parser, which may take its time (a slow disk under the
        // log): the wait runs on until its verdict, during a scan at most a second.
        m_answerTimer->start(m_job == Job::Scan ? ScanVerdictGuardMs : m_answerTimeoutMs);
    } else if (m_job == Job::Scan && m_request.active) {
        // Noise, an answer too long, or one that answers no probe: the next address once the
        // line has been quiet a moment, and not before the probe's 50 ms are over (a slow
        // reader's answer may still come after the noise).
        const qint64 left = DiscoveryTimeoutMs - m_requestClock.elapsed();
        m_answerTimer->start(int(qMax<qint64>(GatherNextMs, left)));
    }
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

bool DeviceInterface::isBusFree() const
{
    return m_job == Job::Idle && !m_request.active && !m_holdTimer->isActive();
}

bool DeviceInterface::admits(Job job) const
{
    // A scan opens the port itself; everything else runs on the session there is, and a scan's
    // port is none: it talks to no reader.
    if (job == Job::Scan)
        return m_connection == Connection::Closed;
    return hasSession() && m_job != Job::Scan;
}

DeviceInterface::Admission DeviceInterface::startJob(Job job, std::function<void()> start,
                                                     std::function<void()> refused,
                                                     WhenBusy whenBusy)
{
    if (!admits(job)) {
        qDebug().noquote() << QStringLiteral("Job %1 refused: connection %2")
                                      .arg(int(job))
                                      .arg(int(m_connection));
        if (refused)
            refused();
        return Admission::Refused;
    }
    if (isBusFree() && m_waiting.isEmpty()) {
        // A request given up with its connection may still be answered: the line stays quiet
        // a moment before the next job's first frame.
        const qint64 quietMs = m_abandonClock.isValid()
                                       ? QuietAfterAbandonMs - m_abandonClock.elapsed()
                                       : 0;
        if (quietMs <= 0) {
            m_abandonClock.invalidate();
            m_job = job;
            start();
            return Admission::Started;
        }
        // No job runs: this one only waits for the quiet line, whatever it does when busy.
        m_holdTimer->start(int(quietMs));
        m_waiting.append({job, std::move(start), std::move(refused)});
        return Admission::Queued;
    }
    if (whenBusy == WhenBusy::Refuse) {
        qDebug().noquote() << QStringLiteral("The bus is busy (job %1): job %2 not started")
                                      .arg(int(m_job))
                                      .arg(int(job));
        return Admission::Refused;
    }
    qDebug().noquote() << QStringLiteral("The bus is busy (job %1): job %2 waits its turn")
                                  .arg(int(m_job))
                                  .arg(int(job));
    // A status read in flight is not sent again for someone waiting: it ends at its first
    // time-out.
    if (m_job == Job::Poll)
        m_endStatusReadAtTimeout = true;
    m_waiting.append({job, std::move(start), std::move(refused)});
    return Admission::Queued;
}

void DeviceInterface::startWaitingJob()
{
    // Each waiting job passes the gate again: the connection may have changed meanwhile. A job
    // that sends nothing (a refused document, a raw line) leaves the bus free for the next one.
    while (isBusFree() && !m_waiting.isEmpty()) {
        if (m_abandonClock.isValid() && m_abandonClock.elapsed() < QuietAfterAbandonMs) {
            m_holdTimer->start(int(QuietAfterAbandonMs - m_abandonClock.elapsed()));
            return;
        }
        m_abandonClock.invalidate();
        const WaitingJob next = m_waiting.takeFirst();
        if (!admits(next.job)) {
            if (next.refused)
                next.refused();
            continue;
        }
        m_job = next.job;
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
    const Job job = m_job;
    m_job = Job::Idle;
    if (job == Job::Probe || job == Job::Watch)
        giveBackAddress();
    m_request.active = false;
    m_endStatusReadAtTimeout = false;
    resetAnswerCycle();
    if (job == Job::Write)
        endWrite();
    // The next job starts from the event loop, after whatever reported this one's end.
    if (!m_waiting.isEmpty())
        QTimer::singleShot(0, this, &DeviceInterface::startWaitingJob);
    if (isBusFree())
        emit busIdle();
}

void DeviceInterface::setConnection(Connection connection)
{
    if (m_connection == connection)
        return;
    m_connection = connection;
    emit connectionChanged(connection);
}

void DeviceInterface::endStatusReadAtTimeout()
{
    if (m_job == Job::Poll)
        m_endStatusReadAtTimeout = true;
}

void DeviceInterface::dropConnection()
{
    const bool wasBusy = !isIdle();
    const Job job = m_job;
    m_job = Job::Idle;
    if (job == Job::Probe || job == Job::Watch)
        giveBackAddress();
    m_request.active = false;
    m_endStatusReadAtTimeout = false;
    m_holdTimer->stop();
    resetAnswerCycle();
    if (job == Job::Write)
        endWrite();
    if (job == Job::Scan) {
        // The readers found before the converter went are offered all the same.
        m_remaining = 0;
        m_deviceAddress = 1;
        emit setProgress(0);
        qDebug().noquote() << "devices: " << m_foundAddresses;
        emit fillFoundAddrs(m_foundAddresses);
    }
    const QList<WaitingJob> waiting = m_waiting;
    m_waiting.clear();
    for (const WaitingJob &next : waiting) {
        if (next.refused)
            next.refused();
    }
    m_writeCursor.clear();
    m_fwImage.clear();
    m_pageIndex = 0;
    m_pollStep = 0;
    m_remaining = 0;
    m_acceptedAddress = 0;
    m_acceptedSpeed = 0;
    if (!isRemoteMode() && !m_port->isOpen())
        endBusHealth();
    if (wasBusy)
        emit busIdle();
}

void DeviceInterface::answerTimeout()
{
    m_answerTimer->stop();

    if (m_job == Job::Scan) {
        // A busy window may turn to the probe's time-out before an answer that reached the
        // port in time: what the port holds is taken first, and the answer is judged as such.
        if (m_request.active && !m_gatherTimer->isActive() && !isRemoteMode() && m_port->isOpen()) {
            m_port->waitForReadyRead(0);
            if (m_gatherTimer->isActive())
                return;
        }
        // A silent address is never asked twice; one that answered damaged once more.
        if (m_request.damaged) {
            m_request.damaged = false;
            sendCommand_220(Cmd220::DeviceInfo);
            return;
        }
        m_request.active = false;
        nextReadCommand();
        return;
    }

    if (!m_request.active)
        return;

    if (m_job == Job::Probe || m_job == Job::Watch) {
        // Asked once: silence or a damaged answer is the reader's state, told as it is.
        const bool damaged = m_request.damaged;
        m_request.damaged = false;
        if (damaged) {
            ++m_watch.damaged;
        } else {
            ++m_watch.silent;
            noteTimeout(0);
        }
        m_request.active = false;
        probeOrLookGoesOn();
        return;
    }

    if (m_request.damaged) {
        resendDamaged();
        return;
    }

    if (m_connection == Connection::Remote) {
        qDebug().noquote() << "Remote device not respond";
        noteTimeout(0);
        closeRemoteConnection();
        return;
    }

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
    commandUnanswered();
}

void DeviceInterface::resendDamaged()
{
    // The reader answered, but the line spoilt it: no time-out to wait for, the same command
    // goes again at once (the line is quiet: the answer ended with 10 ms of silence). A console
    // command and a status read someone waits for are not sent again; three damaged answers in
    // a row ask as three silences do.
    m_request.damaged = false;
    if (m_job == Job::Console || (m_job == Job::Poll && m_endStatusReadAtTimeout)) {
        if (m_job == Job::Poll)
            m_pollStep = 0;
        finishJob();
        return;
    }
    if (m_retryCount < MaxResends) {
        ++m_retryCount;
        qDebug().noquote() << "/C:12"
                           << "Damaged answer, request num: " << m_retryCount;
        m_health.resent();
        reportBusHealth();
        m_progressValue -= m_progressStep;
        emit setProgress(m_progressValue);
        sendCommand_220(m_prevCmd, m_prevData);
        return;
    }
    m_retryCount = 0;
    commandUnanswered();
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
    if (m_job != job || !hasSession())
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
        } else if (job == Job::Write) {
            // The value of the command given up is not in the reader: it stays a change.
            if (!m_writeElement.isEmpty())
                m_writeNotTaken << m_writeElement;
            m_writeElement.clear();
            nextProcessParam();
        } else
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
    case Job::Probe:
    case Job::Watch:
        probeOrLookGoesOn();
        break;
    case Job::Console:
    case Job::Idle:
        finishJob();
        break;
    }
}

void DeviceInterface::answerNotDecoded()
{
    if (!m_request.active || !m_request.answered)
        return;
    if (m_job == Job::Scan) {
        // No reader's identity: the next address.
        nextProbe();
        return;
    }
    if (m_job == Job::Probe || m_job == Job::Watch) {
        if (!takeAnswer({}))
            return;
        probeOrLookGoesOn();
        return;
    }
    // A command typed by hand may ask for what this program cannot read: its answer, shown in
    // the console, ends it all the same. The commands of a job wait on for a readable answer.
    if (m_job != Job::Console) {
        m_answerTimer->start(m_answerTimeoutMs);
        return;
    }
    if (!takeAnswer({}))
        return;
    qDebug().noquote() << "Answer to the console command not decoded";
    finishJob();
}

void DeviceInterface::nextProbe()
{
    m_request.active = false;
    m_answerTimer->stop();
    nextReadCommand();
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
    const bool forRequest = line.request != 0 && line.request == m_requestSerial
                            && m_request.active;
    m_checkedAnswerMs = checksumOk ? line.answerMs : -1;
    if (!checksumOk)
        markDamaged(&line.text);
    showAnswerLines();
    if (checksumOk)
        return;
    if (m_job != Job::Scan) {
        m_health.checksumFailed();
        reportBusHealth();
    }
    if (!forRequest)
        return;
    if (m_job == Job::Scan) {
        nextProbe();
        return;
    }
    // A damaged answer is no silence: sent again once the line is quiet (more bytes may be on
    // their way; the gather timer then runs, and the resend waits for its end).
    m_request.damaged = true;
    m_answerTimer->start(m_gatherTimer->isActive() ? GatherFirstMs : 0);
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
