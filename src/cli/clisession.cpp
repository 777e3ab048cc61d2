#include "clisession.h"

#include "appversion.h"
#include "clidocument.h"
#include "commands220.h"
#include "frame220.h"
#include "loghandler.h"
#include "remoteprotocol.h"
#include "settings.h"

#include <QBuffer>
#include <QEventLoop>

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef Q_OS_WIN
#include <io.h>
#define ZEMO_ISATTY(f) _isatty(_fileno(f))
#else
#include <unistd.h>
#define ZEMO_ISATTY(f) isatty(fileno(f))
#endif

CliSession::CliSession(QObject *parent)
    : QObject(parent)
{
    m_progressOnTerminal = ZEMO_ISATTY(stderr);
    // Whatever the language of the messages, a choice may be named in English.
    m_english.load(translationFilePath(QStringLiteral("en")));

    m_watchdog.setSingleShot(true);
    connect(&m_watchdog, &QTimer::timeout, this, [this] {
        // Before "PASS OK" the server has not let the link reach the reader yet.
        if (m_options.isRemote() && m_identity.firmware.isEmpty() && m_phase == Phase::Reading)
            settle(CliExit::ServerError,
                   tr("сервер конфигурирования %1 не ответил на вход терминала %2")
                           .arg(serverText(), m_options.imei));
        else
            settle(CliExit::NoAnswer, noAnswerText());
    });

    // As the main window wires the link: the questions and messages go to this session, the
    // read sequence selects the firmware group while it runs (directly, the command list is
    // fetched right after), and the group's command list comes from the database.
    m_link.prompter().setMessageHandler(
            [this](const MessageRequest &request) { return answerBox(request); });
    m_link.setSoftwareVersion(AppVersion::text());
    connect(&m_link, &DeviceInterface::changeDeviceStatus, this, &CliSession::onState);
    connect(&m_link, &DeviceInterface::setCurrentFwVer, this, &CliSession::onFirmwareVersion,
            Qt::DirectConnection);
    connect(&m_link, &DeviceInterface::getSupportedCommands, &m_db, &DB_Worker::getCommandList,
            Qt::DirectConnection);
    connect(&m_link, &DeviceInterface::updateGUI, this, &CliSession::onDocument);
    connect(&m_link, &DeviceInterface::printToTerminal, this, &CliSession::onConsoleLine);
    connect(&m_link, &DeviceInterface::setProgress, this, &CliSession::onProgress);
    connect(&m_link, &DeviceInterface::setProgressMax, this,
            [this](int maximum) { m_progressMax = maximum; });
    connect(&m_link, &DeviceInterface::showVersionInfo, this,
            [this](VERSION_INFO_220 info) { m_identity.address = info.address; });
    connect(&m_link, &DeviceInterface::showInputInfo_220, this,
            [this](INPUT_STAT_220 info) { m_counter = info.value; });
    connect(&m_link, &DeviceInterface::showUpTimeInfo_220, this,
            [this](UPTIME_INFO_220 info) { m_uptime = info.uptime; });
    connect(&m_link, &DeviceInterface::readerFound, this, &CliSession::onReaderFound);
    connect(&m_link, &DeviceInterface::fillFoundAddrs, this, [this](const QList<int> &found) {
        m_found = found;
        m_foundReported = true;
    });
    connect(&m_link, &DeviceInterface::remoteServerUnreachable, this, [this] {
        settle(CliExit::ServerError, tr("сервер конфигурирования %1 недоступен").arg(serverText()));
    });
    connect(&m_link, &DeviceInterface::authenticationFail, this, [this] {
        settle(CliExit::ServerError,
               tr("сервер %1 не принял пароль терминала %2").arg(serverText(), m_options.imei));
    });
}

CliSession::~CliSession() = default;

int CliSession::run(const CliOptions &options)
{
    m_options = options;
    m_yesLeft = options.retries - 1;
    m_link.setAnswerTimeoutMs(options.timeoutMs);
    if (options.isRemote() && !options.serverHost.isEmpty())
        m_link.setServerAddress(options.serverHost, options.serverPort);

    int code = CliExit::Done;
    switch (options.command) {
    case CliOptions::Help:
        printOut(CliArguments::usage());
        break;
    case CliOptions::Version:
        printOut(CliArguments::versionLine());
        break;
    case CliOptions::Ports:
        code = ports();
        break;
    case CliOptions::Scan:
        code = scan();
        break;
    case CliOptions::Read:
        code = read();
        break;
    case CliOptions::Write:
    case CliOptions::Set:
        code = write();
        break;
    case CliOptions::Reboot:
        code = reboot();
        break;
    case CliOptions::Send:
        code = send();
        break;
    case CliOptions::Firmware:
        code = firmware();
        break;
    case CliOptions::Commission:
        code = commission();
        break;
    }
    closeLink();
    // Results that did not reach standard output are a failed command, whatever the reader did.
    if (!m_outputError.isEmpty() && (code == CliExit::Done || code == CliExit::FileError)) {
        code = CliExit::FileError;
        m_error = m_outputError;
    }
    if (code != CliExit::Done)
        printError(code, m_error);
    return code;
}

int CliSession::runPhase(Phase phase, const std::function<void()> &start, int deadlineMs)
{
    m_phase = phase;
    m_settled = false;
    m_outcome = CliExit::Done;
    m_outcomeMessage.clear();
    m_lastBox.clear();
    m_watchdog.start(idleLimitMs());
    QTimer deadline;
    if (deadlineMs > 0) {
        deadline.setSingleShot(true);
        connect(&deadline, &QTimer::timeout, this,
                [this] { settle(CliExit::NoAnswer, noAnswerText()); });
        deadline.start(deadlineMs);
    }

    start();
    if (!m_settled) {
        QEventLoop loop;
        m_loop = &loop;
        loop.exec();
        m_loop = nullptr;
    }
    m_watchdog.stop();
    endProgress();
    m_phase = Phase::Idle;
    if (m_outcome != CliExit::Done)
        m_error = m_outcomeMessage;
    return m_outcome;
}

void CliSession::settle(int code, const QString &message)
{
    if (m_phase == Phase::Idle || m_settled)
        return;
    m_settled = true;
    m_outcome = code;
    m_outcomeMessage = message;
    if (m_loop)
        m_loop->quit();
}

int CliSession::failWith(int code, const QString &message)
{
    m_error = message;
    return code;
}

int CliSession::idleLimitMs() const
{
    return DeviceInterface::RemoteTimeoutMs + qMax(m_link.answerTimeoutMs(), 0);
}

QStringList CliSession::otherNames(const QString &item) const
{
    QStringList names;
    const QByteArray source = item.toUtf8();
    for (const QString &name :
         {m_english.translate("DeviceDatabase", source.constData()), DB_Worker::shownText(item)}) {
        if (!name.isEmpty() && name != item && !names.contains(name))
            names << name;
    }
    return names;
}

void CliSession::pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

void CliSession::onState(int code)
{
    if (m_phase == Phase::Idle)
        return;
    m_watchdog.start(idleLimitMs());
    switch (code) {
    case 0:
        // The port or the connection closed: the engineer's "No" after the resends, a pulled
        // converter, the server gone. A scan closes the port when it has reported.
        if (m_phase == Phase::Closing || (m_phase == Phase::Scanning && m_foundReported))
            settle(CliExit::Done);
        else
            settle(CliExit::NoAnswer, noAnswerText());
        break;
    case 3:
        // The ready state while a write, an upload or a reboot runs: the reader refused a
        // value, the update area, the image or the reboot.
        if (m_phase == Phase::Writing || m_phase == Phase::Uploading)
            settle(CliExit::Refused, refusedText());
        else if (m_phase == Phase::Rebooting)
            settle(CliExit::Refused, tr("модуль %1 отклонил перезагрузку").arg(readerText()));
        break;
    case 7:
        // The reader confirmed its reboot.
        if (m_phase == Phase::Writing || m_phase == Phase::Uploading || m_phase == Phase::Rebooting)
            settle(CliExit::Done);
        break;
    case 12:
        settle(CliExit::FileError, tr("файл прошивки %1 отвергнут: нарушен или не для этого модуля")
                                           .arg(m_options.file));
        break;
    case 6:
    case 17:
        settle(CliExit::NoAnswer, remoteStateText(code));
        break;
    case 16:
    case 18:
    case 19:
        settle(CliExit::ServerError, remoteStateText(code));
        break;
    default:
        break;
    }
}

void CliSession::onFirmwareVersion(const QString &fwVer, const QString &opt, const QString &devId,
                                   const QString &devIdByName)
{
    Q_UNUSED(opt)
    Q_UNUSED(devIdByName)
    // What the main window does on a version answer: the firmware group of the reader is
    // selected in the database (its read commands follow at once) and the form's lists loaded.
    m_identityAnswered = true;
    m_identity.firmware = fwVer;
    m_identity.device = devId.toInt();
    m_devIdText = devId;
    m_fwSupported = false;
    if (!m_dbReady)
        return;
    const QString group = m_db.getFwGroup(fwVer, devId);
    if (group.isEmpty())
        return;
    m_fwSupported = true;
    m_db.setCurrentFwGroup(group);
    m_formLists.clear();
    for (const QString &key : CliDocument::keys()) {
        const QString list = CliDocument::formListOf(key);
        if (!list.isEmpty())
            m_formLists.insert(key, CliDocument::formItems(m_db.getFormElements(list)));
    }
}

void CliSession::onDocument(QBuffer *buffer)
{
    if (m_phase != Phase::Reading)
        return;
    m_document = buffer->data();
    settle(CliExit::Done);
}

void CliSession::onConsoleLine(const QString &html)
{
    if (m_phase != Phase::Idle)
        m_watchdog.start(idleLimitMs());
    const CliOutput::ConsoleLine line = CliOutput::parseConsoleLine(html);
    if (line.direction == CliOutput::ConsoleLine::Sent) {
        m_lastSent = line.bytes;
        return;
    }
    if (line.direction != CliOutput::ConsoleLine::Received)
        return;
    m_lastReceived = line.bytes;
    if (m_phase == Phase::Console)
        settle(CliExit::Done);
}

void CliSession::onReaderFound(int address, const VERSION_INFO_220 &info)
{
    if (m_phase != Phase::Scanning)
        return;
    m_found.append(address);
    // Each reader is told as it answers, so that a script sees it at once: the progress line
    // makes room for it and is drawn again below it.
    const QString progress = m_progressDrawn;
    endProgress();
    if (!printOut(CliOutput::readerLine({address, info.devId, info.fwVer}, m_options.json)))
        return;
    drawProgress(progress);
}

void CliSession::onProgress(int value)
{
    if (m_phase != Phase::Idle)
        m_watchdog.start(idleLimitMs());
    if (m_phase == Phase::Scanning)
        drawProgress(CliOutput::progressLine(tr("опрос адресов"), value, 254));
    else if (m_phase == Phase::Uploading && value > 0)
        drawProgress(CliOutput::progressLine(tr("загрузка прошивки, байтов"), value, m_progressMax));
    else if (m_phase == Phase::Uploading && !m_progressDrawn.isEmpty())
        // Every page is handed over (erased pages at the end are skipped); the check follows.
        drawProgress(CliOutput::progressLine(tr("загрузка прошивки, байтов"), m_progressMax,
                                             m_progressMax));
}

Prompt::Button CliSession::answerBox(const MessageRequest &request)
{
    // The question after three unanswered resends: "continue?". --retries N says yes N - 1
    // times; then the command fails.
    if (request.buttons.testFlag(Prompt::Yes) && request.buttons.testFlag(Prompt::No)) {
        if (m_yesLeft > 0) {
            --m_yesLeft;
            m_answeredYes = true;
            return Prompt::Yes;
        }
        return Prompt::No;
    }
    m_lastBox = request.text.simplified();
    return Prompt::Ok;
}

QString CliSession::readerText() const
{
    if (m_options.isRemote())
        return tr("%1 за терминалом %2").arg(m_link.deviceAddress()).arg(m_options.imei);
    return tr("%1 на порту %2").arg(m_link.deviceAddress()).arg(m_options.port);
}

QString CliSession::serverText() const
{
    if (!m_options.serverHost.isEmpty())
        return QStringLiteral("%1:%2").arg(m_options.serverHost).arg(m_options.serverPort);
    const RemoteProtocol::ServerAddress server
            = RemoteProtocol::serverAddress(readSetting(QStringLiteral("UpdateServer"),
                                                        QStringLiteral("IP")),
                                            readSetting(QStringLiteral("UpdateServer"),
                                                        QStringLiteral("Port")));
    return QStringLiteral("%1:%2").arg(server.host).arg(server.port);
}

QString CliSession::noAnswerText() const
{
    if (!m_lastBox.isEmpty())
        return tr("модуль %1: %2").arg(readerText(), m_lastBox);
    const QByteArray frame = Frame220::frameOfChunk(m_lastSent);
    const QString command = frame.size() >= 5 ? QString::fromLatin1(frame.mid(3, 2).toHex())
                                              : QStringLiteral("?");
    return tr("модуль %1 не ответил на команду %2").arg(readerText(), command);
}

QString CliSession::refusedText() const
{
    // The refused command is the last one sent; the element of the changes that makes it
    // names the value.
    const QByteArray frame = Frame220::frameOfChunk(m_lastSent);
    const quint16 code = frame.size() >= 5
                                 ? quint16((quint8(frame.at(3)) << 8) | quint8(frame.at(4)))
                                 : 0;
    for (QDomElement e = m_writing.documentElement().firstChildElement(); !e.isNull();
         e = e.nextSiblingElement()) {
        CliSetting setting;
        if (writeStepFor(e.tagName(), e.attribute(QStringLiteral("param"))).code == code
            && CliDocument::settingOf(e, &setting))
            return tr("модуль %1 отклонил значение %2=%3")
                    .arg(readerText(), setting.key, setting.value);
    }
    if (!m_lastBox.isEmpty())
        return tr("модуль %1: %2").arg(readerText(), m_lastBox);
    return tr("модуль %1 отклонил команду %2")
            .arg(readerText(), QString::number(code, 16).rightJustified(4, QLatin1Char('0')));
}

QString CliSession::remoteStateText(int code) const
{
    switch (code) {
    case 6:
        return tr("терминал %1 не отвечает серверу %2").arg(m_options.imei, serverText());
    case 16:
        return tr("терминал %1 не подключен к серверу %2").arg(m_options.imei, serverText());
    case 17:
        return tr("модуль %1 не отвечает: три пустых ответа сервера").arg(readerText());
    case 18:
        return tr("терминал %1 уже конфигурируется через сервер %2")
                .arg(m_options.imei, serverText());
    default:
        return tr("ошибка обмена с сервером конфигурирования %1").arg(serverText());
    }
}

bool CliSession::printOut(const QString &line)
{
    return printRaw(line.toUtf8() + '\n');
}

bool CliSession::writeOut(const QByteArray &bytes, QString *error)
{
    errno = 0;
    // Flushed at once: a script reading the pipe gets each line as it is made.
    if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size())
        && std::fflush(stdout) == 0)
        return true;
    const int code = errno;
    *error = tr("стандартный вывод не записывается: %1")
                     .arg(QString::fromLocal8Bit(std::strerror(code ? code : EIO)));
    // The bytes that did not go out are dropped, so that the end of the run does not try
    // them again.
    std::clearerr(stdout);
    return false;
}

bool CliSession::printRaw(const QByteArray &bytes)
{
    if (!m_outputError.isEmpty())
        return false;
    if (writeOut(bytes, &m_outputError))
        return true;
    settle(CliExit::FileError, m_outputError);
    return false;
}

void CliSession::printError(int code, const QString &message)
{
    endProgress();
    const QByteArray line = CliOutput::errorLine(message, code, m_options.json).toUtf8() + '\n';
    LogHandler::writeToStderr(line);
}

void CliSession::drawProgress(const QString &line)
{
    if (!m_progressOnTerminal || line.isEmpty() || line == m_progressDrawn)
        return;
    // One line, drawn over itself; blanks wipe what a longer line left.
    const int wipe = qMax(0, m_progressDrawn.size() - line.size());
    const QByteArray text = '\r' + line.toUtf8() + QByteArray(wipe, ' ');
    LogHandler::writeToStderr(text);
    m_progressDrawn = line;
}

void CliSession::endProgress()
{
    if (m_progressDrawn.isEmpty())
        return;
    // The line is wiped, not left behind: what follows on the terminal (a result, an error,
    // the prompt) starts on a clean line. Blanks rather than an escape sequence, which a
    // terminal without one would print.
    const QByteArray wipe = '\r' + QByteArray(m_progressDrawn.size(), ' ') + '\r';
    LogHandler::writeToStderr(wipe);
    m_progressDrawn.clear();
}
