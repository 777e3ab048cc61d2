// Remote configuration through the configuration server: the login dialog and disconnecting.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "deviceinterface.h"
#include "remoteconnectform.h"

#include <QDebug>

void MainWindow::startRemoteConfig()
{
    if (m_device->isRemoteMode()) {
        qDebug().noquote() << "Disconnecting from remote config server";
        ui->remCfgButton->setEnabled(false);
        waitEndReadStatus();
        m_device->closeRemoteConnection();
        ui->remCfgButton->setEnabled(true);
        return;
    }

    qDebug().noquote() << "/C:15"
                       << "Start remote configure...";
    waitEndReadStatus();
    m_remoteForm = new RemoteConnectForm(this);
    // The reader behind the terminal is addressed with the speed and address of the
    // connection panel; the speed also travels in every line sent to the server.
    m_device->setBaudRate(ui->rs485_220_speed->currentText().toInt());
    m_device->setDeviceAddress(ui->rs485_selAddr->currentText());
    disconnect(m_remoteForm, &RemoteConnectForm::connectToServer, m_device,
               &DeviceInterface::connectToServer);
    connect(m_remoteForm, &RemoteConnectForm::connectToServer, m_device,
            &DeviceInterface::connectToServer);
    m_remoteForm->exec();
    // The dialog has ended and deletes itself.
    m_remoteForm = nullptr;
}

void MainWindow::remoteAuthenticationFailed()
{
    m_prompter.warning(this, tr("Удаленное конфигурирование"), tr("Неверный пароль терминала."));
}

void MainWindow::remoteServerUnreachable()
{
    m_prompter.warning(this, tr("Удаленное конфигурирование"),
                       tr("Сервер удаленного конфигурирования недоступен."));
}
