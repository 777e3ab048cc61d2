// Update checks, downloads and the installation of reader firmware and of the configurator.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "deviceinterface.h"
#include "net.h"
#include "updateunpacker.h"
#include "versioncompare.h"

#include <QDebug>

namespace {
// The configurator's own version, reported to the update server.
QString ownVersion()
{
    return QStringLiteral(ZEMO_VERSION);
}

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
    m_net->checkUpdates(ownVersion(), devIdByName, false);
}

void MainWindow::swSetUpdated()
{
    m_swState = 1;
}

void MainWindow::fwDownloaded()
{
    const QString latest = getLocalLastFw(devID);
    if (VersionCompare::isNewer(latest, fw_ver)) {
        m_fwUpdateAvailable = true;
        m_fwState = 2;
        offerFirmwareUpdate(latest);
    } else {
        m_fwUpdateAvailable = false;
        m_fwState = 1;
    }
    m_net->checkUpdates(ownVersion(), devIdByName, false);
}

void MainWindow::swDownloaded()
{
    unpacker = new UpdateUnpacker(this);
    unpacker->startUpdate();
}

void MainWindow::swUpdated(QString newVer, qint64 swFsize, QString swFileName)
{
    m_swState = 2;
    MessageRequest request;
    request.icon = QMessageBox::Question;
    request.buttons = QMessageBox::Yes | QMessageBox::No;
    request.parent = this;
    request.title = tr("Обновление конфигуратора");
    request.text = tr("Доступно обновление конфигуратора v") + newVer
                   + tr("<br>Загрузить обновление?");
    if (m_prompter.message(request) != QMessageBox::Yes)
        return;

    m_net->reqestDownloadSw(ownVersion(), swFsize, swFileName);
    // A chunked download counts to 100000; an FTP download announces its size first and then
    // counts bytes.
    connect(m_net, &Net::updateProgress, ui->progressBar, &QProgressBar::setValue,
            Qt::UniqueConnection);
    connect(m_net, &Net::setMaxProgress, ui->progressBar, &QProgressBar::setMaximum,
            Qt::UniqueConnection);
    ui->progressBar->setMaximum(100000);
    m_updateCheckPending = true;
    setGlobalState(15);
}

void MainWindow::updaterFinished(int exitCode)
{
    qDebug().noquote() << "/C:9"
                       << "\n----------------Updater finished---------------- with exit code:"
                       << exitCode;
    ui->checkUpdatesButton->setEnabled(true);
    if (!m_updateCheckPending)
        return;

    const QString title = tr("Проверка обновлений");
    switch (exitCode) {
    case 0:
        displayDeviceStatus(1, QString());
        if (m_fwState == 1 && m_swState == 1) {
            m_updateCheckPending = false;
            m_prompter.information(this, title, tr("На сервере нет доступных обновлений"));
        } else if (m_fwState == 2) {
            m_updateCheckPending = false;
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
        m_prompter.warning(this, title, tr("Сервер обновлений недоступен"));
        displayDeviceStatus(3, tr("Сервер обновлений недоступен"));
        break;
    case 2:
        m_updateCheckPending = false;
        m_prompter.critical(this, title, tr("Ошибка обмена данными с сервером"));
        setGlobalState(0);
        break;
    default:
        break;
    }
}

void MainWindow::startUpdateFirmware()
{
    const QString latest = getLocalLastFw(devID);
    if (!VersionCompare::isNewer(latest, fw_ver))
        return;

    MessageRequest request;
    request.icon = QMessageBox::Question;
    request.buttons = QMessageBox::Yes | QMessageBox::No;
    request.parent = this;
    request.textFormat = Qt::RichText;
    request.title = tr("Обновление прошивки");
    request.text = tr("Обновить прошивку устройства до версии ") + latest + tr(" ?")
                   + QStringLiteral("&nbsp;<a href=\"%1\">").arg(QLatin1String(kFirmwareHistoryUrl))
                   + tr("Список изменений") + QStringLiteral("</A>");
    if (m_prompter.message(request) != QMessageBox::Yes) {
        m_fwUpdateInProgress = false;
        m_device->setFirmwareUploadMode(false);
        return;
    }

    m_fwUpdateInProgress = true;
    m_device->setFirmwareUploadMode(true);
    waitEndReadStatus();
    m_device->loadFirmwareFile(latest, localFirmware.value(latest));
    setGlobalState(15);
    emit startUpdZemo200(devID);
}
