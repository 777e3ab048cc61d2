// Firmware identification of a freshly read reader, the local firmware catalogue and the offer
// of a newer local firmware.
#include "mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::setCurrentFwVer_220(QString fw_ver, QString opt, QString devID, QString devIdByName)
{
    Q_UNUSED(fw_ver)
    Q_UNUSED(opt)
    Q_UNUSED(devID)
    Q_UNUSED(devIdByName)
}

QString MainWindow::getLocalLastFw(QString devID)
{
    Q_UNUSED(devID)
    return QStringLiteral("0.0.0");
}

void MainWindow::offerFirmwareUpdate(const QString &latest)
{
    Q_UNUSED(latest)
}
