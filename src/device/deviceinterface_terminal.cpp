#include "deviceinterface.h"

#include "frame220.h"

#include <QDebug>
#include <QTcpSocket>
#include <QTextStream>

void DeviceInterface::sendTerminalCmd(QString command)
{
    const auto noConnection = [this, command] {
        qDebug().noquote() << "Command not sent, no connection: " << command;
        consoleNote(tr("Команда не отправлена: нет соединения с модулем"));
    };

    if (isRemoteMode()) {
        // The server passes the line to the terminal as it is; it waits for the bus like any
        // other job, and nothing answers it as a frame.
        startJob(
                Job::Console,
                [this, command] {
                    announceCommand(command);
                    m_socket->write(command.toUtf8());
                    appendToCommandLog(shownLine(command));
                    finishJob();
                },
                noConnection);
        return;
    }

    // What is typed is sent as it was typed, or not at all.
    const Frame220::TerminalCommand parsed = Frame220::parseTerminalCommand(command);
    if (!parsed.isValid()) {
        qDebug().noquote() << "Command not sent, not whole hexadecimal bytes: " << command;
        switch (parsed.problem) {
        case Frame220::TerminalCommand::NotHex:
            consoleNote(tr("Команда не отправлена: ожидаются шестнадцатеричные цифры"));
            break;
        case Frame220::TerminalCommand::OddDigits:
            consoleNote(tr("Команда не отправлена: нечётное число цифр, байт — две цифры"));
            break;
        case Frame220::TerminalCommand::NoCode:
            consoleNote(tr("Команда не отправлена: код команды — четыре цифры"));
            break;
        case Frame220::TerminalCommand::TooLong:
            consoleNote(tr("Команда не отправлена: более 250 байт данных"));
            break;
        case Frame220::TerminalCommand::None:
            break;
        }
        return;
    }

    startJob(
            Job::Console,
            [this, command, parsed] {
                qDebug().noquote() << "/C:13"
                                   << "Command send: " << command;
                // A command typed by hand is never sent again nor asked about; its answer is
                // shown in the console and changes nothing else.
                sendCommand_220(parsed.code, parsed.data);
                appendToCommandLog(command);
            },
            noConnection);
}

void DeviceInterface::announceCommand(const QString &text)
{
    // Typed text is shown as text (a "<" is no markup), and a password typed by hand is not
    // shown either.
    const QString shown = shownLine(text);
    emit printToTerminal(trafficLine(tr("<font color=blue>&gt; </font>") + shown.toHtmlEscaped(),
                                     QTime::currentTime()));
    qDebug().noquote() << "/C:13"
                       << "Command send: " << shown;
}

void DeviceInterface::activateDebugMode(QString text)
{
    // A raw line is no frame and has no answer to wait for; it is sent only on a connection in
    // use and never between a request and its answer.
    const Admission admission = startJob(
            Job::Console,
            [this, text] {
                const QByteArray line = text.toUtf8() + "\r\n";
                announceCommand(text);
                if (m_connection == Connection::Remote)
                    m_socket->write(line);
                else
                    m_port->write(line);
                appendToCommandLog(shownLine(text));
                finishJob();
            },
            {}, WhenBusy::Refuse);
    if (admission != Admission::Started)
        qDebug().noquote() << "Raw line not sent: " << text;
}

void DeviceInterface::startWriteBinLogFile(QString path)
{
    if (m_commandLog.isOpen())
        m_commandLog.close();
    m_commandLog.setFileName(path);
    // Write-only empties a file that is already there. A failure leaves the log off.
    if (!m_commandLog.open(QIODevice::WriteOnly))
        qDebug().noquote() << "Command log not opened: " << path << ": "
                           << m_commandLog.errorString();
}

void DeviceInterface::stopWriteBinLogFile()
{
    if (m_commandLog.isOpen())
        m_commandLog.close();
}

void DeviceInterface::appendToCommandLog(const QString &line)
{
    if (!m_commandLog.isOpen())
        return;
    QTextStream stream(&m_commandLog);
    stream.setCodec("UTF-8");
    stream << line << "\r\n";
    stream.flush();
    if (stream.status() != QTextStream::Ok || !m_commandLog.flush()) {
        // A full disk or a vanished folder: said once, and the log stops.
        qDebug().noquote() << "/C:12"
                           << "Command log write failed, log stopped: " + m_commandLog.fileName()
                                      + ": " + m_commandLog.errorString();
        m_commandLog.close();
    }
}
