#include "deviceinterface.h"

#include "frame220.h"

#include <QDebug>
#include <QTcpSocket>
#include <QTextStream>

void DeviceInterface::sendTerminalCmd(QString command)
{
    if (m_remoteMode) {
        // The server passes the line to the terminal as it is; it waits for the bus like any
        // other job, and nothing answers it as a frame.
        runWhenIdle(Job::Console, [this, command] {
            if (!m_remoteMode)
                return;
            announceCommand(command);
            if (m_socket)
                m_socket->write(command.toUtf8());
            appendToCommandLog(command);
        });
        return;
    }

    // Only a connection the window shows is used: a command typed while the connections are
    // closed opens nothing.
    if (!m_port->isOpen() || !m_deviceConnected) {
        qDebug().noquote() << "Command not sent, no connection: " << command;
        consoleNote(tr("Команда не отправлена: нет соединения с модулем"));
        return;
    }

    runWhenIdle(Job::Console, [this, command] {
        if (!m_port->isOpen() || !m_deviceConnected) {
            consoleNote(tr("Команда не отправлена: нет соединения с модулем"));
            return;
        }
        qDebug().noquote() << "/C:13"
                           << "Command send: " << command;
        // A command typed by hand is never sent again nor asked about; its answer is shown in
        // the console and changes nothing else.
        m_job = Job::Console;
        const Frame220::TerminalCommand parsed = Frame220::parseTerminalCommand(command);
        sendCommand_220(parsed.code, parsed.data);
        appendToCommandLog(command);
    });
}

void DeviceInterface::announceCommand(const QString &text)
{
    emit printToTerminal(
            trafficLine(tr("<font color=blue>&gt; </font>") + text, QTime::currentTime()));
    qDebug().noquote() << "/C:13"
                       << "Command send: " << text;
}

void DeviceInterface::activateDebugMode(QString text)
{
    const QByteArray line = text.toUtf8() + "\r\n";

    if (m_remoteMode && m_socket && m_socket->isOpen() && m_deviceConnected) {
        announceCommand(text);
        m_socket->write(line);
        appendToCommandLog(text);
        return;
    }

    // A raw line is no frame and has no answer to wait for; it is sent only on a connection in
    // use and never between a request and its answer.
    if (!m_port->isOpen() || !m_deviceConnected || !isIdle()) {
        qDebug().noquote() << "Raw line not sent: " << text;
        return;
    }
    announceCommand(text);
    m_port->write(line);
    appendToCommandLog(text);
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
