// Update checks, downloads and the installation of reader firmware and of the configurator.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "apppaths.h"
#include "appversion.h"
#include "deviceinterface.h"
#include "net.h"
#include "updateunpacker.h"
#include "versioncompare.h"

#include <QDebug>
#include <QTimer>

namespace {
// The change history of the model-200 firmware on the maker's web site.
const char *const kFirmwareHistoryUrl = "https://zemo-service.ru/equipment/zemo200#histori";
} // namespace

void MainWindow::createUpdateClient()
{
    m_net = new Net(this);
    connect(m_net, &Net::fwIsUpToDate, this, &MainWindow::fwSetUpdated);
    connect(m_net, &Net::swIsUpToDate, this, &MainWindow::swSetUpdated);
    connect(m_net, &Net::fwDownloaded, this, &MainWindow::fwDownloaded);
    connect(m_net, &Net::swDownloaded, this, &MainWindow::swDownloaded);
    connect(m_net, &Net::availableSw, this, &MainWindow::swUpdated);
    connect(m_net, &Net::updaterFinished, this, &MainWindow::updaterFinished);
}

// A manual check runs as a chain of exchanges: the firmware check first, then, from the
// handler of its outcome, the configurator check. The report comes with the updaterFinished
// that closes the chain (see the order of the update client's signals).
void MainWindow::checkUpdates()
{
    m_fwState = 0;
    m_swState = 0;
    m_updateCheckPending = true;
    displayDeviceStatus(2, tr("Ожидание ответа от сервера"));
    ui->checkUpdatesButton->setEnabled(false);
    m_net->checkUpdates(getLocalLastFw(devID), devIdByName, true);
}

void MainWindow::startUpdater()
{
    m_net->checkUpdates(getLocalLastFw(devID), devIdByName, true);
}

void MainWindow::fwSetUpdated()
{
    m_fwState = 1;
    m_net->checkUpdates(AppVersion::text(), devIdByName, false);
}

void MainWindow::swSetUpdated()
{
    m_swState = 1;
}

void MainWindow::fwDownloaded()
{
    const QString latest = getLocalLastFw(devID);
    if (firmwareInstallable(latest)) {
        m_fwUpdateAvailable = true;
        m_fwState = 2;
        offerFirmwareUpdate(latest);
    } else {
        m_fwUpdateAvailable = false;
        m_fwState = 1;
    }
    m_net->checkUpdates(AppVersion::text(), devIdByName, false);
}

void MainWindow::swDownloaded()
{
    if (!m_swDownloadActive) {
        // The download was already told as failed: its archive is not installed behind the
        // engineer's back.
        qDebug().noquote() << "/C:12"
                           << "UPDATER: An archive arrived for no download in progress, not "
                              "installed";
        return;
    }
    // The download is over; the installation may still wait for the reader.
    m_swDownloadActive = false;
    installSoftwareUpdate();
}

void MainWindow::installSoftwareUpdate()
{
    disconnect(m_installWait);
    // The hand-over ends the program at once: a write, read or upload must end first, or the
    // reader is left in the middle of it. No status read starts meanwhile.
    if (!m_device->isIdle()) {
        if (!m_installWaiting)
            qDebug().noquote() << "UPDATER: The update is installed when the reader's job has "
                                  "ended";
        m_installWaiting = true;
        m_statusTimer->stop();
        m_installWait = connect(m_device, &DeviceInterface::busIdle, this, [this] {
            QTimer::singleShot(0, this, &MainWindow::installSoftwareUpdate);
        });
        return;
    }
    m_installWaiting = false;
    if (m_state != 15) {
        m_stateBeforeUpdate = m_state == 3 ? 3 : 0;
        setGlobalState(15);
    }
    if (!m_changeDoc.toString(1).isEmpty()) {
        const Prompt::Button answer = m_prompter.question(
                this, tr("Обновление конфигуратора"),
                tr("Имеются не записанные в модуль изменения.\nПосле установки обновления они "
                   "будут потеряны. Установить обновление?"));
        if (answer != Prompt::Yes) {
            qDebug().noquote() << "UPDATER: Update not installed: the changes are kept";
            endSoftwareUpdate(QString());
            return;
        }
    }
    unpacker = new UpdateUnpacker(this);
    // The unpacker ends the program when it hands over to the archive's script; it comes back
    // only when it refused the archive, with nothing written.
    connect(unpacker, &UpdateUnpacker::refused, this, [this](UpdateUnpacker::Refusal why) {
        switch (why) {
        case UpdateUnpacker::Unsigned:
            endSoftwareUpdate(tr("Обновление не подписано производителем. Ничего не изменено."));
            break;
        case UpdateUnpacker::NotWritten:
            endSoftwareUpdate(tr("Файлы обновления не удалось записать."));
            break;
        default:
            endSoftwareUpdate(tr("Архив обновления поврежден и не может быть установлен."));
            break;
        }
    });
    unpacker->startUpdate();
}

void MainWindow::endSoftwareUpdate(const QString &reason)
{
    m_swDownloadActive = false;
    if (!reason.isEmpty())
        m_prompter.warning(this, tr("Обновление конфигуратора"), reason);
    if (m_state == 15)
        setGlobalState(m_stateBeforeUpdate);
    ui->checkUpdatesButton->setEnabled(true);
}

void MainWindow::checkDownloadEnded()
{
    // The download's connection closed without an archive and without a failure of its own.
    if (m_swDownloadActive)
        endSoftwareUpdate(tr("Загрузка обновления прервана."));
}

void MainWindow::swUpdated(QString newVer, qint64 swFsize, QString swFileName)
{
    m_swState = 2;
    MessageRequest request;
    request.icon = Prompt::Question;
    request.buttons = Prompt::Yes | Prompt::No;
    request.parent = this;
    request.title = tr("Обновление конфигуратора");
    request.text = tr("Доступно обновление конфигуратора v") + newVer
                   + tr("<br>Загрузить обновление?");
    // The check has found what there is: the question is its report.
    m_updateCheckPending = false;
    showStateStatus();
    // A package install (or a folder that is not the user's) is updated by the package manager.
    if (!AppPaths::selfUpdateAllowed()) {
        m_prompter.information(this, request.title,
                               tr("Доступна новая версия конфигуратора v%1. Установите её "
                                  "менеджером пакетов системы.")
                                       .arg(newVer));
        return;
    }
    if (m_prompter.message(request) != Prompt::Yes)
        return;

    m_swDownloadActive = true;
    m_net->reqestDownloadSw(AppVersion::text(), swFsize, swFileName);
    // A job of the reader (read, write, upload) keeps the window's state and the progress bar;
    // the archive waits for its end (installSoftwareUpdate).
    const DeviceInterface::Job job = m_device->job();
    if (job != DeviceInterface::Job::Idle && job != DeviceInterface::Job::Poll)
        return;
    // The window returns there if the download or the unpacking fails.
    m_stateBeforeUpdate = m_state == 3 ? 3 : 0;
    // A chunked download counts to 100000; an FTP download announces its size first and then
    // counts bytes.
    connect(m_net, &Net::updateProgress, ui->progressBar, &QProgressBar::setValue,
            Qt::UniqueConnection);
    connect(m_net, &Net::setMaxProgress, ui->progressBar, &QProgressBar::setMaximum,
            Qt::UniqueConnection);
    ui->progressBar->setMaximum(100000);
    setGlobalState(15);
}

void MainWindow::updaterFinished(int exitCode)
{
    qDebug().noquote() << "/C:9"
                       << "\n----------------Updater finished---------------- with exit code:"
                       << exitCode;
    if (m_swDownloadActive) {
        // A download: the archive (swDownloaded) or the failure comes right after the closing
        // of its connection, in the same turn of the event loop.
        if (exitCode == 0)
            QTimer::singleShot(0, this, &MainWindow::checkDownloadEnded);
        else
            endSoftwareUpdate(failureText(exitCode));
        return;
    }
    ui->checkUpdatesButton->setEnabled(true);
    if (!m_updateCheckPending)
        return;

    // Each report ends the check: the status strip shows the connection's state again. The
    // connection itself is not the update server's business.
    const QString title = tr("Проверка обновлений");
    switch (exitCode) {
    case 0:
        if (m_fwState == 1 && m_swState == 1) {
            m_updateCheckPending = false;
            showStateStatus();
            m_prompter.information(this, title, tr("На сервере нет доступных обновлений"));
        } else if (m_fwState == 2) {
            m_updateCheckPending = false;
            showStateStatus();
            m_prompter.information(this, title,
                                   m_swState == 2
                                           ? tr("Доступна новая версия прошивки и новая версия "
                                                "конфигуратора")
                                           : tr("Доступна новая версия прошивки"));
        }
        // Otherwise the chain goes on and a later end reports.
        break;
    case 1:
        m_updateCheckPending = false;
        showStateStatus();
        m_prompter.warning(this, title, failureText(exitCode));
        break;
    default:
        m_updateCheckPending = false;
        showStateStatus();
        m_prompter.critical(this, title, failureText(exitCode));
        break;
    }
}

QString MainWindow::failureText(int exitCode) const
{
    switch (exitCode) {
    case 1:
        return tr("Сервер обновлений недоступен");
    case 3:
        return tr("Загруженный файл не удалось сохранить.");
    default:
        return tr("Ошибка обмена данными с сервером");
    }
}

void MainWindow::startUpdateFirmware()
{
    const QString latest = getLocalLastFw(devID);
    if (!firmwareInstallable(latest))
        return;

    MessageRequest request;
    request.icon = Prompt::Question;
    request.buttons = Prompt::Yes | Prompt::No;
    request.parent = this;
    request.textFormat = Qt::RichText;
    request.title = tr("Обновление прошивки");
    request.text = tr("Обновить прошивку устройства до версии ") + latest + tr(" ?")
                   + QStringLiteral("&nbsp;<a href=\"%1\">").arg(QLatin1String(kFirmwareHistoryUrl))
                   + tr("Список изменений") + QStringLiteral("</A>");
    if (m_prompter.message(request) != Prompt::Yes) {
        m_fwUpdateInProgress = false;
        getStatusInfo();
        return;
    }

    if (!waitEndReadStatus())
        return;
    m_fwUpdateInProgress = true;
    m_stateBeforeUpdate = 3;
    m_device->loadFirmwareFile(latest, localFirmware.value(latest));
    setGlobalState(15);
    emit startUpdZemo200(devID);
}
