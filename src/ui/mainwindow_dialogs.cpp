// Reboot confirmation, settings, about box, help, web page and the status calculator.
#include "mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::reloadDevice() { }

void MainWindow::reloadConfirm() { }

void MainWindow::reloadWaitCancel() { }

void MainWindow::aboutShow() { }

void MainWindow::helpShow() { }

void MainWindow::goToWebSite(QString url)
{
    m_prompter.openUrl(QUrl(url));
}

void MainWindow::settingShow() { }

void MainWindow::runStatusCalc(QString value)
{
    Q_UNUSED(value)
}

void MainWindow::runStatusCalc() { }

void MainWindow::updateStatusCode() { }

void MainWindow::statusCalcClosed()
{
    m_statusCalc = nullptr;
}

void MainWindow::updateStatusMask(quint32 mask)
{
    m_eventMask = mask;
}
