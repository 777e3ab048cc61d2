#include "deviceinterface.h"

#include "commands220.h"
#include "firmwareimage.h"

#include <QDebug>
#include <QFile>

// Firmware upload into a model-200 reader. The image file is checked, deciphered and laid out
// as the reader's program area; then the exchange runs one command at a time:
//   0x0A00 prepare the update area  -> makeUpdArea(status)
//   0x0A01 page index + 128 bytes   -> answWritePage(status), once per page not erased
//   0x0A02 check the received image -> checkUpdArea(status)
// and a reader that found the image sound is rebooted into it.

void DeviceInterface::loadFirmwareFile(QString version, QString path)
{
    m_fwFileVersion = version;
    m_fwFileData.clear();
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        if (file.size() > FirmwareImage::kMaxFileSize)
            qDebug().noquote() << "/C:12"
                               << QStringLiteral("Firmware file \"%1\" refused: %2 bytes, an image "
                                                 "has at most %3")
                                          .arg(path)
                                          .arg(file.size())
                                          .arg(FirmwareImage::kMaxFileSize);
        else
            m_fwFileData = file.read(FirmwareImage::kMaxFileSize);
        file.close();
    } else {
        qDebug().noquote() << "/C:12"
                           << "Cannot read firmware file \"" + path + "\": " + file.errorString();
    }
    m_progressValue = 0;
    m_progressStep = 1;
}

void DeviceInterface::startUpdZemo200(QString type)
{
    startJob(Job::Upload, [this, type] {
        FirmwareImage::Error error = FirmwareImage::NoError;
        QString reason;
        const FirmwareImage image = FirmwareImage::build(m_fwFileData, type, &error, &reason);
        m_fwFileData.clear();
        m_pageIndex = 0;
        if (image.isNull()) {
            // Nothing of a damaged or foreign file reaches the reader.
            qDebug().noquote() << "/C:12"
                               << "Firmware file refused: " + reason;
            m_fwImage.clear();
            finishJob();
            emit changeDeviceStatus(12);
            return;
        }
        m_fwImage = image.bytes();
        m_pageRefusals = 0;
        emit setProgressMax(m_fwImage.size());

        qDebug().noquote() << "Prepare update area for firmware " + m_fwFileVersion;
        sendCommand_220(Cmd220::PrepareUpdArea);
    });
}

void DeviceInterface::endUpload(int state)
{
    m_fwImage.clear();
    m_pageIndex = 0;
    finishJob();
    emit changeDeviceStatus(state);
}

void DeviceInterface::writeNextPage()
{
    if (m_job != Job::Upload || m_fwImage.isEmpty()) {
        qDebug().noquote() << "/C:12"
                           << "No firmware image to hand over";
        return;
    }
    // Every page of the image is handed over: 960 for a "200", 1024 for a "200v2".
    const FirmwareImage image(m_fwImage);
    m_pageIndex = quint16(image.nextUsedPage(m_pageIndex));
    if (m_pageIndex >= image.pageCount()) {
        m_fwImage.clear();
        m_pageIndex = 0;
        emit setProgress(0);
        qDebug().noquote() << "Check update area";
        sendCommand_220(Cmd220::CheckUpdArea);
        return;
    }

    qDebug().noquote() << "Write next page " << m_pageIndex;
    const QByteArray payload = image.pagePayload(m_pageIndex);
    ++m_pageIndex;
    emit setProgress(m_pageIndex * FirmwareImage::kPageSize);
    sendCommand_220(Cmd220::WriteUpdPage, payload);
}

// The three answers of an upload step drive the upload only while one runs; typed in the
// console, their answers are only logged.
void DeviceInterface::makeUpdArea(quint8 status)
{
    if (!takeAnswer({Cmd220::PrepareUpdArea}))
        return;
    if (m_job != Job::Upload) {
        qDebug().noquote() << "Update area answer outside a firmware upload: " << status;
        finishJob();
        return;
    }
    if (status == 0) {
        writeNextPage();
        return;
    }
    qDebug().noquote() << "Error area prepatation!";
    endUpload(3);
}

void DeviceInterface::answWritePage(quint8 status)
{
    if (!takeAnswer({Cmd220::WriteUpdPage}))
        return;
    if (m_job != Job::Upload) {
        qDebug().noquote() << "Page answer outside a firmware upload: " << status;
        finishJob();
        return;
    }
    if (status != 0) {
        // The page just handed over, once more; a reader that keeps refusing it ends the
        // upload (its old firmware stays: the image is checked before it is started).
        if (++m_pageRefusals > MaxPageRefusals) {
            qDebug().noquote() << "/C:12"
                               << "Page refused " << MaxPageRefusals + 1
                               << " times, firmware upload given up: " << m_pageIndex - 1;
            endUpload(3);
            return;
        }
        qDebug().noquote() << "The data didn't write, I'm try again...";
        if (m_pageIndex > 0)
            --m_pageIndex;
    } else {
        m_pageRefusals = 0;
    }
    writeNextPage();
}

void DeviceInterface::checkUpdArea(quint8 status)
{
    if (!takeAnswer({Cmd220::CheckUpdArea}))
        return;
    if (m_job != Job::Upload) {
        // A check typed in the console must not reboot the reader into anything.
        qDebug().noquote() << "Image check answer outside a firmware upload: " << status;
        finishJob();
        return;
    }
    m_pageIndex = 0;
    if (status == 2) {
        qDebug().noquote() << "Check update in device. ERROR!";
        endUpload(3);
        return;
    }
    if (status != 0) {
        // A result the reader does not explain: the upload is over, and the window must not
        // stay in the upload state with every control off.
        qDebug().noquote() << "/C:12"
                           << "Check update in device, unknown result: " << status;
        endUpload(3);
        return;
    }
    // The reader starts the new firmware when it reboots; the reboot answer leads the window
    // through its reboot wait and a fresh read, which shows the new version.
    qDebug().noquote() << "Check update in device. OK! Reboot";
    sendCommand_220(Cmd220::Reboot);
}
