// Reboot confirmation, settings, about box, help, web page and the status calculator.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "aboutform.h"
#include "apppaths.h"
#include "appversion.h"
#include "db_worker.h"
#include "deviceinterface.h"
#include "reloadform.h"
#include "settingsform.h"
#include "statuscalc.h"

#include <QDir>
#include <QTimer>
#include <QUrl>

namespace {
// The version the about box shows: the program version and its build date, "0.3.3 (Sep 14 2022)".
QString versionText()
{
    return AppVersion::text() + QStringLiteral(" (") + AppVersion::sourceDate() + QLatin1Char(')');
}

// A calculator wired to the window and the device database, knowing which status bits the
// reader's firmware supports.
StatusCalc *openStatusCalc(MainWindow *window, DB_Worker *db, const QString &code,
                           quint32 eventMask, quint32 supportMask)
{
    auto *calc = new StatusCalc(window, code, eventMask);
    QObject::connect(calc, &StatusCalc::getStatusCode, window, &MainWindow::updateStatusCode);
    QObject::connect(calc, &StatusCalc::getStatusBits, db, &DB_Worker::getStatusBits,
                     Qt::DirectConnection);
    QObject::connect(calc, &QObject::destroyed, window, &MainWindow::statusCalcClosed);
    QObject::connect(calc, &StatusCalc::updateStatusMask, window, &MainWindow::updateStatusMask);
    calc->setSupportStatusMask(static_cast<int>(supportMask));
    return calc;
}
} // namespace

void MainWindow::reloadDevice()
{
    m_statusTimer->stop();
    auto *form = new ReloadForm(this);
    connect(form, &ReloadForm::reload, this, &MainWindow::reloadConfirm);
    connect(form, &ReloadForm::rebootCancel, this, &MainWindow::getStatusInfo);
    form->show();
}

void MainWindow::reloadConfirm()
{
    // No wait here: a status read on the bus makes the reboot wait its turn in the link, so the
    // reboot question is gone before anything else can happen to it; the link refuses a reboot
    // without a connection.
    waitEndReadStatus();
    emit rebootDev();
}

void MainWindow::reloadWaitCancel()
{
    // After the reboot the reader answers at the speed and address remembered for it, which a
    // write may have changed.
    ui->rs485_220_speed->setCurrentText(QString::number(m_device->rememberedSpeed()));
    m_device->setBaudRate(ui->rs485_220_speed->currentText().toInt());
    ui->rs485_selAddr->setCurrentText(QString::number(m_device->rememberedAddress()));
    m_device->setDeviceAddress(ui->rs485_selAddr->currentText());
    // The reboot wait may end after the connection did (the engineer disconnected, the
    // converter went): the window stays closed then.
    if (m_state != 7)
        return;
    if (m_readAfterUpload && connectionUsable()) {
        // The reader runs its new firmware: read it, so that the new version shows.
        m_readAfterUpload = false;
        m_reportFirmwareAfterRead = true;
        startRead();
        return;
    }
    m_readAfterUpload = false;
    setGlobalState(3);
}

void MainWindow::aboutShow()
{
    auto *form = new AboutForm(this, versionText());
    connect(form, &AboutForm::changeLanguage, this, &MainWindow::changeLanguage);
    form->selectLanguage(m_language);
    form->show();
}

void MainWindow::helpShow()
{
    // The newest guide in the program's "help" folder. The folder is listed where it is; the
    // process keeps its working directory.
    const QDir helpDir(AppPaths::filePath(QStringLiteral("help")));
    const QStringList pdfs = helpDir.entryList(QStringList {QStringLiteral("*.pdf")},
                                               QDir::Files | QDir::Hidden | QDir::NoSymLinks,
                                               QDir::Time);
    if (pdfs.isEmpty()) {
        m_prompter.warning(this, tr("Справка"), tr("Отсутствует файл справки."));
        return;
    }
    const QString guide = helpDir.absoluteFilePath(pdfs.first());
    // No PDF viewer, or no desktop to start one (xdg-open missing): say where the guide is.
    if (!m_prompter.openUrl(QUrl::fromLocalFile(guide)))
        m_prompter.information(this, tr("Справка"),
                               tr("Не удалось открыть файл справки. Откройте его программой "
                                  "просмотра PDF:\n%1")
                                       .arg(QDir::toNativeSeparators(guide)));
}

void MainWindow::goToWebSite(QString url)
{
    m_prompter.openUrl(QUrl(url));
}

void MainWindow::settingShow()
{
    if (m_settings)
        m_settings->showSettings();
}

void MainWindow::runStatusCalc(QString value)
{
    value.remove(QStringLiteral("0x"));
    m_statusCalc = openStatusCalc(this, m_db, value, m_eventMask, m_statusBitMask);
    m_statusCalc->decryptStatus();
    m_statusCalc->show();
}

void MainWindow::runStatusCalc()
{
    m_statusCalc = openStatusCalc(this, m_db, QStringLiteral("00000000"), m_eventMask,
                                  m_statusBitMask);
    m_statusCalc->show();
}

void MainWindow::updateStatusCode()
{
    // The calculator that asked decodes, not only the newest one.
    auto *calc = qobject_cast<StatusCalc *>(sender());
    if (!calc)
        calc = m_statusCalc;
    if (calc)
        calc->updateStatusCode(m_statusCode.toUpper());
}

void MainWindow::statusCalcClosed()
{
    // An older calculator closing later must not make the window forget the newest one.
    if (!sender() || sender() == m_statusCalc)
        m_statusCalc = nullptr;
}

void MainWindow::updateStatusMask(quint32 mask)
{
    m_eventMask = mask;
}
