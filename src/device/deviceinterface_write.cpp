#include "deviceinterface.h"

#include "commands220.h"

#include <QBuffer>
#include <QDebug>

// The write sequence sends one command per element of the write document and waits for each
// answer; it ends with a reboot, after which the reader takes a new address or speed.
//
// Progress: the maximum is the number of commands the document will produce, and after each
// command sent the value is the number sent so far, so the bar fills as the write goes on; 999
// and then 0 mark the end.

void DeviceInterface::writeConfiguration(QBuffer *buffer)
{
    m_progressStep = 0;
    m_progressValue = 0;
    qDebug().noquote() << "/C:16"
                       << "\nStart write config";
    if (!buffer || !buffer->open(QIODevice::ReadOnly))
        return;
    qDebug().noquote() << "Reading config buffer";
    // The document is taken now: the window may fill its buffer again while the write waits
    // for the bus.
    const QByteArray document = buffer->readAll();
    buffer->close();
    startJob(
            Job::Write, [this, document] { startWrite(document); },
            [this, document] {
                // Never started (the connection went first): none of its values is in the
                // reader.
                QDomDocument doc;
                m_writeNotTaken.clear();
                if (doc.setContent(document, false)) {
                    for (QDomElement e = doc.documentElement().firstChildElement(); !e.isNull();
                         e = e.nextSiblingElement()) {
                        if (writeStepFor(e.tagName(), QString()).kind == WriteStep220::Send)
                            m_writeNotTaken << e.tagName();
                    }
                }
                emit writeEnded(m_writeNotTaken, false);
                m_writeNotTaken.clear();
            });
}

void DeviceInterface::startWrite(const QByteArray &document)
{
    m_progressStep = 0;
    m_progressValue = 0;
    m_writeCursor.clear();
    m_writeDoc.clear();
    m_writeElement.clear();
    m_writeNotTaken.clear();
    m_writeRefused = false;
    if (!m_writeDoc.setContent(document, false)) {
        qDebug().noquote() << "There is no data for the configuration entry!";
        finishJob();
        emit changeDeviceStatus(3);
        return;
    }

    qDebug().noquote() << "Buffer ready, parce XML";
    m_writeCursor = m_writeDoc.documentElement().firstChild();
    int commands = 0;
    for (QDomNode node = m_writeCursor; !node.isNull(); node = node.nextSibling()) {
        if (node.isElement()
            && writeStepFor(node.toElement().tagName(), QString()).kind == WriteStep220::Send)
            ++commands;
    }
    emit setProgressMax(commands);

    emit changeDeviceStatus(5);
    nextProcessParam();
}

void DeviceInterface::nextProcessParam()
{
    if (m_job != Job::Write)
        return;
    // Items that produce no command (text, comments, refused and unknown elements) are passed
    // over at once, so the write never waits for an answer that nothing asked for.
    while (!m_writeCursor.isNull()) {
        const QDomNode node = m_writeCursor;
        m_writeCursor = m_writeCursor.nextSibling();
        if (!node.isElement())
            continue;

        const QDomElement element = node.toElement();
        qDebug().noquote() << "/C:9"
                           << "\nElement for write: " << element.tagName();
        const QString param = element.attribute(QStringLiteral("param"));
        const WriteStep220 step = writeStepFor(element.tagName(), param);
        switch (step.kind) {
        case WriteStep220::Refused:
            qDebug().noquote() << "The item is not recorded. Item rejected.";
            continue;
        case WriteStep220::Unknown:
            qDebug().noquote() << "The item is not recorded. Unknown item: " << element.tagName();
            continue;
        case WriteStep220::Send:
            break;
        }
        qDebug().noquote() << "param: " << param;
        m_writeElement = element.tagName();
        sendCommand_220(step.code, step.data);
        ++m_progressStep;
        emit setProgress(m_progressStep);
        return;
    }
    deviceWriteEnd();
}

void DeviceInterface::answerWriteParam(quint8 result)
{
    if (!takeAnswer({Cmd220::WriteSpeed, Cmd220::WriteAddress, Cmd220::WriteGenState,
                     Cmd220::WritePullUp, Cmd220::WriteGenMode}))
        return;
    if (m_job != Job::Write) {
        // The answer to a write command typed in the console: nothing to go on with.
        qDebug().noquote() << "Write answer outside a configuration write, result: " << result;
        finishJob();
        return;
    }
    writeResult(result);
}

void DeviceInterface::writeResult(quint8 result)
{
    if (result == 0) {
        m_writeElement.clear();
        // The reader answers at a new address or speed only after its next reboot.
        if (m_prevCmd == Cmd220::WriteAddress && m_prevData.size() == 1)
            m_acceptedAddress = quint8(m_prevData.at(0));
        else if (m_prevCmd == Cmd220::WriteSpeed && m_prevData.size() == 4)
            m_acceptedSpeed = int(quint32(quint8(m_prevData.at(0))) << 24
                                  | quint32(quint8(m_prevData.at(1))) << 16
                                  | quint32(quint8(m_prevData.at(2))) << 8
                                  | quint8(m_prevData.at(3)));
        nextProcessParam();
        return;
    }

    // The reader refused the value: stop here without the closing reboot and give the window
    // its controls back; the window tells which values are not in the reader.
    qDebug().noquote() << "/C:12"
                       << "Write config ERROR!";
    m_writeRefused = true;
    finishJob();
    emit changeDeviceStatus(3);
}

QStringList DeviceInterface::remainingWriteElements() const
{
    QStringList names;
    for (QDomNode node = m_writeCursor; !node.isNull(); node = node.nextSibling()) {
        if (!node.isElement())
            continue;
        const QDomElement element = node.toElement();
        if (writeStepFor(element.tagName(), element.attribute(QStringLiteral("param"))).kind
            == WriteStep220::Send)
            names << element.tagName();
    }
    return names;
}

void DeviceInterface::endWrite()
{
    // The command in flight and every one not yet sent: their values are not in the reader.
    QStringList notTaken = m_writeNotTaken;
    if (!m_writeElement.isEmpty())
        notTaken << m_writeElement;
    notTaken << remainingWriteElements();
    m_writeElement.clear();
    m_writeNotTaken.clear();
    m_writeCursor.clear();
    const bool refused = m_writeRefused;
    m_writeRefused = false;
    emit writeEnded(notTaken, refused);
}

void DeviceInterface::deviceWriteEnd()
{
    if (m_job != Job::Write)
        return;
    emit setProgress(999);
    emit setProgress(0);
    m_writeCursor.clear();
    m_writeElement.clear();
    qDebug().noquote() << "/C:14"
                       << "Write config done!";
    // The reboot is the last command of the write; its answer ends the write (state 7).
    qDebug().noquote() << "Reboot";
    sendCommand_220(Cmd220::Reboot);
}
