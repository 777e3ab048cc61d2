// The console page: command line with history, output view and its menu.
#include "mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::on_sendCommand_clicked() { }

void MainWindow::printToTerminal(QString line)
{
    ui->terminalEdit->append(line);
}

void MainWindow::showConsoleMenu(QPoint pos)
{
    Q_UNUSED(pos)
}

void MainWindow::saveConsoleLog() { }

void MainWindow::saveConsoleBinLog() { }

void MainWindow::hotkeysCtrlAltC()
{
    ui->terminalMenu->setRowHidden(1, false);
}

void MainWindow::loadCommandHistory() { }

void MainWindow::saveCommandHistory() { }
