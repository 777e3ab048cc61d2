// Global device state: status strip, enabled controls, status polling.
#include "mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::setGlobalState(int code)
{
    m_state = quint8(code);
    m_stateGiven = true;
}

void MainWindow::displayDeviceStatus(quint8 colour, QString text)
{
    Q_UNUSED(colour)
    ui->globalStatusText->setText(text);
}

void MainWindow::getStatusInfo() { }

void MainWindow::statusTimerTimeout() { }

void MainWindow::changeStatusTimerState(bool on)
{
    Q_UNUSED(on)
}

void MainWindow::waitEndReadStatus() { }

void MainWindow::rebootComplite() { }

QString MainWindow::statusTextForState(int code) const
{
    Q_UNUSED(code)
    return ui->globalStatusText->text();
}

bool MainWindow::isConsolePageShown() const
{
    return false;
}

bool MainWindow::statusPollingEnabled() const
{
    return m_statusPolling;
}
