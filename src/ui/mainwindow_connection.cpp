// Connection panel, page switching and re-listing the ports when a converter comes or goes.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "deviceinterface.h"
#include "selectdeviceform.h"

#include <QDebug>
#include <QTextCursor>
#include <QTimer>

#ifdef Q_OS_WIN
// dbt.h uses the types of windows.h and does not include it.
#include <windows.h>

#include <dbt.h>
#endif

namespace {
// Height of the device data panel above the work area; the console page takes it over.
const int kDataPanelHeight = 122;
const int kStatusPollMs = 300;
// After a device change the ports are listed again once the burst of notifications is over.
const int kFirstChangeDelayMs = 1500;
const int kNextChangeDelayMs = 300;

void grow(QWidget *w, int dy)
{
    w->resize(w->width(), w->height() + dy);
}

void shift(QWidget *w, int dy)
{
    w->move(w->x(), w->y() + dy);
}
} // namespace

void MainWindow::COMsListUpdater_220(QStringList ports)
{
    // A port that is still present stays chosen when the list is renewed.
    // At the first listing, the port of the last session is chosen when it is there.
    const QString chosen = ui->rs485_220_port->count() > 0 ? ui->rs485_220_port->currentText()
                                                           : m_sessionPort;
    ui->rs485_220_port->clear();
    ui->rs485_220_port->addItems(ports);
    if (!chosen.isEmpty() && ports.contains(chosen))
        ui->rs485_220_port->setCurrentText(chosen);
}

void MainWindow::BaudsListUpdater_220(QStringList rates)
{
    // Refilling the list is no choice of the engineer: the remembered speed stays, and the
    // ready or closed state shows and applies it.
    ui->rs485_220_speed->blockSignals(true);
    ui->rs485_220_speed->clear();
    ui->rs485_220_speed->addItems(rates);
    // During a session the field keeps showing the speed the link talks at.
    const QString linkSpeed = QString::number(m_device->baudRate());
    ui->rs485_220_speed->setCurrentText(rates.contains(linkSpeed) ? linkSpeed
                                                                  : QStringLiteral("19200"));
    ui->rs485_220_speed->setEditable(false);
    ui->rs485_220_speed->blockSignals(false);
}

void MainWindow::settingPortName()
{
    const QString name = ui->rs485_220_port->currentText();
    qDebug().noquote() << "Port: " << name;
    m_device->setPortName(name);
}

void MainWindow::settingPortBaudrate()
{
    const QString text = ui->rs485_220_speed->currentText();
    qDebug().noquote() << "Baudrate: " << text;
    const int speed = text.toInt();
    if (speed <= 0)
        return;
    m_device->setRememberedSpeed(speed);
    m_device->setBaudRate(speed);
}

void MainWindow::findDevicesAct()
{
    if (m_state == 1)
        emit stopFindDevices();
    else
        emit startFindDevices();
}

void MainWindow::getFoundAddrs(QList<int> addresses)
{
    ui->rs485_selAddr->clear();
    for (int address : addresses)
        ui->rs485_selAddr->addItem(QString::number(address));
    if (!addresses.isEmpty()) {
        ui->rs485_selAddr->setCurrentIndex(0);
        // The search ends with the port closed, and the closed state shows the remembered
        // address: the first reader found is the one to read next, not the address before.
        m_device->setRememberedAddress(addresses.first());
    }
}

void MainWindow::setConsoleLayout(bool console)
{
    // The console takes the device data panel's height: the work area moves up to the top of
    // the panel and grows, the command line and send button follow the output view.
    const int dy = console ? kDataPanelHeight : -kDataPanelHeight;
    shift(ui->stackedWidget, -dy);
    for (QWidget *w :
         {static_cast<QWidget *>(ui->stackedWidget), static_cast<QWidget *>(ui->consoleGroupBox),
          static_cast<QWidget *>(ui->terminalEdit)})
        grow(w, dy);
    shift(ui->cmdLine, dy);
    shift(ui->sendCommand, dy);
    ui->deviceStatus->setVisible(!console);
    ui->line->setVisible(!console);
}

void MainWindow::itemSelected(QModelIndex index)
{
    ui->terminalMenu->setFocus();
    if (ui->deviceStatus->isHidden())
        setConsoleLayout(false);

    const int row = index.isValid() ? index.row() : 0;
    ui->stackedWidget->setCurrentIndex(row);
    qDebug().noquote() << "Selected" << ui->stackedWidget->currentWidget()->objectName()
                       << "Index: " << row;

    if (isConsolePageShown()) {
        m_statusTimer->stop();
        // Bring the latest output into view.
        QTextCursor cursor = ui->terminalEdit->textCursor();
        cursor.movePosition(QTextCursor::End);
        cursor.movePosition(QTextCursor::StartOfLine);
        ui->terminalEdit->setTextCursor(cursor);
    } else if (statusPollingEnabled() && m_state == 3) {
        // As the settings dialog set it now, not as it was at start.
        m_statusTimer->start(kStatusPollMs);
    }

    if (!ui->deviceStatus->isHidden() && isConsolePageShown())
        setConsoleLayout(true);
}

void MainWindow::showDeviceList(QStringList devices)
{
    // The chosen row names the port the link opens next.
    auto *form = new SelectDeviceForm(this, devices);
    connect(form, &SelectDeviceForm::deviceSelected, m_device, &DeviceInterface::setCurrentDevice);
    form->show();
}

void MainWindow::deviceChangeNotified()
{
    if (isBusy())
        return;
    // With a reader connected the re-listing leaves the session alone (the link keeps its
    // state), so polling goes on.
    if (m_device->connection() == DeviceInterface::Connection::Closed)
        m_statusTimer->stop();
    if (m_state == 0 && !m_portTimer->isActive())
        m_portTimer->start(kFirstChangeDelayMs);
    else
        m_portTimer->start(kNextChangeDelayMs);
}

#ifdef Q_OS_WIN
bool MainWindow::nativeEvent(const QByteArray &eventType, void *message, long *result)
{
    const MSG *msg = static_cast<const MSG *>(message);
    if (msg->message == WM_DEVICECHANGE) {
        qDebug() << "winEvent in MgFrame : WM_DEVICECHANGE";
        switch (msg->wParam) {
        case DBT_DEVICEARRIVAL:
            qDebug() << "A device has been inserted.";
            break;
        case DBT_DEVICEREMOVECOMPLETE:
            qDebug() << "A device has been removed.";
            break;
        default:
            // DBT_DEVNODES_CHANGED and the rest: the port list may have changed.
            deviceChangeNotified();
            break;
        }
    }
    // Never consumed: Qt and the rest of the window see the message too.
    return QMainWindow::nativeEvent(eventType, message, result);
}
#endif
