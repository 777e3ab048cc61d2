// Remote configuration through the configuration server: the login dialog and disconnecting.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "deviceinterface.h"
#include "remoteconnectform.h"

#include <QDebug>
#include <QTimer>

void MainWindow::startRemoteConfig()
{
    if (m_device->isRemoteMode()) {
        // The same button ends the session, or gives up the login under way; a status read on
        // the bus is not waited for, its answer has nobody to go to.
        qDebug().noquote() << "Disconnecting from remote config server";
        m_statusTimer->stop();
        m_device->closeRemoteConnection();
        return;
    }

    qDebug().noquote() << "/C:15"
                       << "Start remote configure...";
    m_statusTimer->stop();
    m_remoteForm = new RemoteConnectForm(this);
    // The reader behind the terminal is addressed with the speed and address of the
    // connection panel; the speed also travels in every line sent to the server.
    m_device->setBaudRate(ui->rs485_220_speed->currentText().toInt());
    m_device->setDeviceAddress(ui->rs485_selAddr->currentText());
    connect(m_remoteForm, &RemoteConnectForm::connectToServer, m_device,
            &DeviceInterface::connectToServer);
    m_remoteForm->exec();
    // The dialog has ended and deletes itself.
    m_remoteForm = nullptr;
    // Cancelled: the status read of a serial session goes on.
    if (!m_device->isRemoteMode())
        getStatusInfo();
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
