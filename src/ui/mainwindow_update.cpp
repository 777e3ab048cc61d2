// Update checks, downloads and the installation of reader firmware and of the configurator.
#include "mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::checkUpdates() { }

void MainWindow::startUpdater() { }

void MainWindow::fwSetUpdated() { }

void MainWindow::swSetUpdated() { }

void MainWindow::fwDownloaded() { }

void MainWindow::swDownloaded() { }

void MainWindow::swUpdated(QString newVer, qint64 swFsize, QString swFileName)
{
    Q_UNUSED(newVer)
    Q_UNUSED(swFsize)
    Q_UNUSED(swFileName)
}

void MainWindow::updaterFinished(int exitCode)
{
    Q_UNUSED(exitCode)
}

void MainWindow::startUpdateFirmware() { }
