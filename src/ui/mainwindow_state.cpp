// Global device state: status strip, enabled controls, status polling.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "db_worker.h"
#include "deviceinterface.h"
#include "settingsform.h"

#include <QApplication>
#include <QDebug>
#include <QSignalMapper>
#include <QStyle>
#include <QTimer>

namespace {
// One poll request per tick in the ready state.
const int kStatusPollMs = 300;
// How long a reboot, a write or a remote connection waits for the poll in flight.
const int kWaitEndReadStatusMs = 20000;
const int kRebootWaitMs = 10000;
// The reboot box goes away by itself; the link's speed and address are set again right after.
const int kRebootBoxMs = 1000;
const int kRebootRestoreMs = 1010;

void enable(std::initializer_list<QWidget *> widgets, bool on)
{
    for (QWidget *w : widgets)
        w->setEnabled(on);
}
} // namespace

bool MainWindow::isBusy() const
{
    // Reading, writing or updating: a device-change notification does not re-list the ports.
    return m_state == 4 || m_state == 5 || m_state == 15;
}

quint8 MainWindow::statusColourForState(int code)
{
    switch (code) {
    case 0:
        return 0;
    case 3:
        return 1;
    case 6:
        return 3;
    default:
        return 2;
    }
}

bool MainWindow::stateHasStatus(int code)
{
    return code == 0 || code == 1 || code == 3 || code == 4 || code == 5 || code == 6 || code == 15;
}

void MainWindow::showStateStatus()
{
    // The status strip shows the state the link is in again, after a text of the update check.
    // The bus watch holds the port with the connections otherwise closed: yellow, as work.
    if (m_stateGiven && m_statusState == 0 && busWatchRunning())
        displayDeviceStatus(2, statusTextForState(0));
    else if (m_stateGiven && stateHasStatus(m_statusState))
        displayDeviceStatus(statusColourForState(m_statusState), statusTextForState(m_statusState));
    else if (!m_stateGiven)
        displayDeviceStatus(0, tr("Порт закрыт"));
}

QString MainWindow::statusTextForState(int code) const
{
    // A session waiting for its converter says so, whatever it did before.
    if (m_device && m_device->connection() == DeviceInterface::Connection::SerialLost)
        return tr("Преобразователь отключен от ПК. Сеанс продолжится, когда он будет подключен "
                  "снова");
    const bool remote = m_device && m_device->isRemoteMode();
    switch (code) {
    case 0:
        // The serial side is closed, but the server is being reached: that is what goes on.
        if (m_device && m_device->connection() == DeviceInterface::Connection::RemoteLoginPending)
            return tr("Подключение к серверу конфигурирования");
        if (busWatchRunning())
            return busWatchStatusText();
        return tr("Соединения закрыты");
    case 1:
        if (busScanRunning())
            return busScanStatusText();
        return tr("Поиск устройств");
    case 3:
        return remote ? tr("Соединение установлено удаленно") : tr("Соединение установлено");
    case 4:
        return remote ? tr("Удаленное считывание конфигурации") : tr("Считывание конфигурации");
    case 5:
        return remote ? tr("Удаленная запись конфигурации") : tr("Запись конфигурации");
    case 6:
        return tr("Модуль не отвечает");
    case 15:
        return tr("Загрузка обновления");
    default:
        return ui->globalStatusText->text();
    }
}

void MainWindow::setGlobalState(int code)
{
    // The commissioning run's reads, writes and reboots are not the window's session: the
    // strip shows the run, and the window's own state waits for the run's end.
    if (commissionRunning()) {
        applyRunControls();
        return;
    }
    m_state = quint8(code);
    m_stateGiven = true;
    if (stateHasStatus(code))
        m_statusState = code;
    const bool remote = m_device->isRemoteMode();
    const QString remoteTitle = tr("Удаленное конфигурирование");
    // Quitting after the write is wanted only when the write ends with its reboot (state 7);
    // a write that ends otherwise leaves the program running. The end of a status read that the
    // write waited for is not the end of the write.
    if ((code == 0 || code == 3 || code == 6) && !m_device->isWritePending())
        m_closeAfterWrite = false;

    switch (code) {
    case 0:
        qDebug() << "\n----------------------Connections closed---------------------\n";
        m_statusTimer->stop();
        m_db->closeDb();
        displayDeviceStatus(0, statusTextForState(0));
        m_fieldMapper->blockSignals(false);
        m_configLoaded = false;
        markPendingFields();
        m_fwUpdateInProgress = false;
        m_readAfterUpload = false;
        m_titleShowsDevice = false;
        ui->mainTitleWindow->setText(windowTitleText());
        itemSelected(ui->terminalMenu->currentIndex());
        ui->progressBar->setValue(0);
        showBusHealth(BusHealth());
        ui->terminalMenu->setRowHidden(0, false);
        // The bus page stays chosen when it is shown (a scan ends there).
        ui->terminalMenu->setCurrentRow(isBusPageShown() ? 2 : 0);
        ui->terminalMenu->setEnabled(true);
        enable({ui->writeConfigButton, ui->saveFileButton, ui->openFileButton, ui->restartButton,
                ui->updateFwButton, ui->devParamsField},
               false);
        ui->setBaudComboBox->setEditable(false);
        enable({ui->rs485_220_speed, ui->rs485_selAddr, ui->remCfgButton, ui->findDevsButton,
                ui->rs485_220_port, ui->rs485_Button},
               true);
        ui->rs485_selAddr->setEditable(true);
        ui->rs485_220_speed->setCurrentText(QString::number(m_device->rememberedSpeed()));
        ui->rs485_selAddr->setCurrentText(QString::number(m_device->rememberedAddress()));
        m_device->setPortName(ui->rs485_220_port->currentText());
        m_device->setBaudRate(ui->rs485_220_speed->currentText().toInt());
        clearLabels();
        break;

    case 1:
        qDebug() << "\n--------------------STATUS: Find devices---------------------\n";
        displayDeviceStatus(2, statusTextForState(1));
        m_statusTimer->stop();
        setProgressMax(254);
        enable({ui->rs485_Button, ui->restartButton, ui->remCfgButton, ui->openFileButton,
                ui->rs485_selAddr},
               false);
        break;

    case 3:
        qDebug() << "\n--------------------DEVICE STATUS: ready---------------------\n";
        m_configLoaded = true;
        m_fieldMapper->blockSignals(false);
        m_rebootTimer->stop();
        displayDeviceStatus(1, statusTextForState(3));
        if (remote)
            ui->remCfgButton->setEnabled(true);
        else
            ui->rs485_Button->setEnabled(true);
        ui->rs485_selAddr->setEnabled(false);
        enable({ui->devParamsField, ui->restartButton, ui->saveFileButton, ui->writeConfigButton,
                ui->terminalMenu, ui->openFileButton},
               true);
        // A write on its way (waiting for the bus) is not asked for twice.
        if (!m_changesInWrite.isNull())
            ui->writeConfigButton->setEnabled(false);
        ui->progressBar->setValue(0);
        if (m_fwUpdateAvailable) {
            ui->updateFwButton->show();
            ui->updateFwButton->setEnabled(true);
        }
        if (!m_statusTimer->isActive())
            getStatusInfo();
        rememberSession();
        if (m_fwUpdateInProgress) {
            // The upload ended without the reboot into the new firmware: the reader refused it.
            m_fwUpdateInProgress = false;
            m_prompter.warning(this, tr("Обновление прошивки"),
                               tr("Модуль отклонил обновление прошивки."));
        }
        break;

    case 4:
        qDebug() << "\n------------------DEVICE STATUS: read config-----------------\n";
        // Values the read puts into the form are not edits of the engineer.
        m_fieldMapper->blockSignals(true);
        // The first read through the configuration server, which the window did not ask for
        // itself, starts from nothing, as startRead() makes a read on the bus start: neither
        // the form nor the changes of the reader before stay. (A serial session resumed after
        // its converter came back keeps its changes.)
        if (!m_configLoaded && m_device->isRemoteMode()) {
            m_changeDoc.clear();
            m_changesInWrite.clear();
            clearForm();
        }
        clearLabels();
        m_statusTimer->stop();
        m_rebootTimer->stop();
        enable({ui->remCfgButton, ui->rs485_Button}, true);
        displayDeviceStatus(2, statusTextForState(4));
        if (remote)
            ui->rs485_Button->setEnabled(false);
        else
            ui->remCfgButton->setEnabled(false);
        enable({ui->rs485_selAddr, ui->rs485_220_port, ui->rs485_220_speed, ui->findDevsButton,
                ui->restartButton, ui->saveFileButton, ui->terminalMenu, ui->updateFwButton},
               false);
        m_device->setDeviceAddress(ui->rs485_selAddr->currentText());
        break;

    case 5:
        qDebug() << "\n-----------------DEVICE STATUS: write config-----------------\n";
        displayDeviceStatus(2, statusTextForState(5));
        enable({ui->remCfgButton, ui->openFileButton, ui->rs485_Button, ui->restartButton,
                ui->terminalMenu, ui->updateFwButton, ui->writeConfigButton, ui->saveFileButton},
               false);
        break;

    case 6:
        qDebug() << "\n-----------------DEVICE STATUS: not respond------------------\n";
        displayDeviceStatus(3, statusTextForState(6));
        enable({ui->terminalMenu, ui->restartButton}, true);
        break;

    case 7: {
        qDebug() << "\n-------------------DEVICE STATUS: reload---------------------\n";
        // The loop ends once control returns to it; the reboot box below is still shown.
        if (m_closeAfterWrite)
            QCoreApplication::quit();
        m_rebootTimer->start(kRebootWaitMs);
        ui->updateFwButton->setEnabled(false);
        MessageRequest box;
        box.icon = Prompt::Information;
        box.title = tr("Перезагрузка");
        box.text = tr("Устройство перезагружается...");
        box.parent = this;
        box.autoCloseMs = kRebootBoxMs;
        QTimer::singleShot(kRebootRestoreMs, this, &MainWindow::reloadWaitCancel);
        if (m_fwUpdateInProgress) {
            // The reader boots the new firmware; it is read again once the box has gone, so
            // that the new version shows.
            box.text = tr("Обновление прошивки...");
            m_fwUpdateInProgress = false;
            m_readAfterUpload = true;
        }
        m_prompter.message(box);
        break;
    }

    case 12:
        setProgressMax(1000);
        m_fwUpdateInProgress = false;
        m_prompter.critical(this, tr("Чтение файла"), tr("Файл обновления нарушен"));
        setGlobalState(3);
        break;

    case 15:
        qDebug() << "\n---------------------STATUS: UPDATE APP----------------------\n";
        displayDeviceStatus(2, statusTextForState(15));
        m_statusTimer->stop();
        clearLabels();
        // Nothing may change the link while it is updated: not its port, speed or address (a
        // configuration file carries them), nor start another exchange.
        enable({ui->rs485_Button, ui->restartButton, ui->saveFileButton, ui->terminalMenu,
                ui->writeConfigButton, ui->updateFwButton, ui->openFileButton, ui->findDevsButton,
                ui->remCfgButton, ui->rs485_220_port, ui->rs485_220_speed, ui->rs485_selAddr},
               false);
        ui->terminalMenu->setCurrentRow(0);
        itemSelected(ui->terminalMenu->model()->index(0, 0));
        break;

    case 16:
        m_prompter.warning(this, remoteTitle, tr("Терминал не подключен к серверу!"));
        break;
    case 17:
        m_prompter.warning(this, remoteTitle, tr("Ошибка обмена данными с устройством!"));
        break;
    case 18:
        m_prompter.warning(this, remoteTitle, tr("Терминал уже конфигурируется!"));
        break;
    case 19:
        m_prompter.critical(this, remoteTitle,
                            tr("Ошибка обмена данными с сервером конфигурирования!"));
        break;
    default:
        break;
    }

    applyConnection();
}

void MainWindow::applyConnection()
{
    // The link's one connection decides what the connection panel offers, whatever state code
    // was shown last: no serial connection or search beside a session through the server (or
    // its login), and no remote session beside a serial one.
    if (commissionRunning()) {
        applyRunControls();
        return;
    }
    updateBusButtons();
    const DeviceInterface::Connection connection = m_device->connection();
    const bool remote = m_device->isRemoteMode();
    if (remote) {
        enable({ui->rs485_Button, ui->findDevsButton, ui->rs485_220_port, ui->rs485_220_speed,
                ui->rs485_selAddr},
               false);
        // The same button ends the session, or gives up the login under way.
        if (connection == DeviceInterface::Connection::RemoteLoginPending || m_state == 3
            || m_state == 0)
            ui->remCfgButton->setEnabled(true);
    } else if (connection == DeviceInterface::Connection::Serial) {
        ui->remCfgButton->setEnabled(false);
    } else if (connection == DeviceInterface::Connection::SerialLost) {
        // Nothing reaches the reader until its converter is back; the form and its changes
        // stay, and the connection button gives the session up.
        m_statusTimer->stop();
        enable({ui->writeConfigButton, ui->restartButton, ui->updateFwButton, ui->findDevsButton,
                ui->remCfgButton, ui->rs485_220_port, ui->rs485_220_speed, ui->rs485_selAddr,
                ui->openFileButton},
               false);
        ui->rs485_Button->setEnabled(true);
        displayDeviceStatus(2, statusTextForState(m_state));
        return;
    } else if (m_state == 0) {
        // Closed again (a login given up or refused): the panel is the closed state's.
        enable({ui->rs485_220_speed, ui->rs485_selAddr, ui->remCfgButton, ui->findDevsButton,
                ui->rs485_220_port, ui->rs485_Button},
               true);
    }
    if (m_state != 0)
        return;
    if (connection == DeviceInterface::Connection::RemoteLoginPending)
        displayDeviceStatus(2, statusTextForState(0));
    else
        showStateStatus();
}

void MainWindow::showBusHealth(const BusHealth &health)
{
    // Nothing to say without a connection, nor before its first request.
    QLabel *label = ui->busHealthLabel;
    label->setText(m_state != 0 ? health.summary() : QString());
    label->setToolTip(label->text().isEmpty() ? QString() : health.details());
    // The style sheet gives a suspect line the yellow of the status picture.
    const bool suspect = !label->text().isEmpty() && health.lineSuspect();
    if (label->property("suspect").toBool() != suspect) {
        label->setProperty("suspect", suspect);
        label->style()->unpolish(label);
        label->style()->polish(label);
    }
}

void MainWindow::displayDeviceStatus(quint8 colour, QString text)
{
    ui->globalStatusText->setText(text);
    static const char *const pictures[] = {":pict/svg/gray.svg", ":pict/svg/green.svg",
                                           ":pict/svg/yellow.svg", ":pict/svg/red.svg"};
    if (colour < 4)
        ui->globalStatusPict->setPixmap(QPixmap(QString::fromLatin1(pictures[colour])));
}

bool MainWindow::isWidePageShown() const
{
    return isConsolePageShown() || isBusPageShown();
}

bool MainWindow::isConsolePageShown() const
{
    const QString page = ui->stackedWidget->currentWidget()->objectName();
    return page == QLatin1String("terminalPage") || page == QLatin1String("fsPage");
}

bool MainWindow::statusPollingEnabled() const
{
    return m_settings->statusRefresh();
}

void MainWindow::getStatusInfo()
{
    if (isConsolePageShown())
        return;
    m_statusTimer->stop();
    if (statusPollingEnabled() && m_state == 3)
        m_statusTimer->start(kStatusPollMs);
}

void MainWindow::statusTimerTimeout()
{
    if (isConsolePageShown())
        return;
    // The bus is in use (a console command, a job waiting its turn): the tick is kept for
    // later rather than lost, so polling goes on once the bus is free.
    if (!m_device->isIdle())
        return;
    // One tick per cycle: the next one is armed when the poll ends in the ready state.
    m_statusTimer->stop();
    if (statusPollingEnabled() && m_state == 3)
        emit startPoll();
}

void MainWindow::changeStatusTimerState(bool on)
{
    if (m_statusTimer->isActive() && !on)
        m_statusTimer->stop();
    else if (!m_statusTimer->isActive() && on)
        m_statusTimer->start(kStatusPollMs);
}

bool MainWindow::waitEndReadStatus()
{
    // Nothing waits here: the link lets a job asked for while a status read is on the bus wait
    // its turn (the read then ends at its first time-out). What is left to know is whether there
    // is a connection for it at all.
    m_statusTimer->stop();
    return connectionUsable();
}

bool MainWindow::connectionUsable() const
{
    return m_device->hasSession();
}

void MainWindow::rebootComplite()
{
    m_rebootTimer->stop();
}
