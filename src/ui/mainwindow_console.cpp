// The console page: command line with history, output view and its menu.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "apppaths.h"
#include "deviceinterface.h"
#include "settings.h"

#include <QAction>
#include <QCursor>
#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QMenu>
#include <QSaveFile>
#include <QTextStream>

namespace {
const int kHistoryLimit = 20;

QString historyPath()
{
    return AppPaths::filePath(QStringLiteral("cmd_history.txt"));
}

QString logStamp()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yyyy_hh-mm"));
}
} // namespace

void MainWindow::on_sendCommand_clicked()
{
    const QString command = ui->cmdLine->currentText();
    if (command.isEmpty())
        return;
    // Every sent command goes to the top of the history (Enter may have put it there already);
    // the oldest entry makes room when the history is full.
    if (ui->cmdLine->findText(command, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0) {
        if (ui->cmdLine->count() >= kHistoryLimit)
            ui->cmdLine->removeItem(ui->cmdLine->count() - 1);
        ui->cmdLine->insertItem(0, command);
        ui->cmdLine->setCurrentIndex(0);
    }
    emit sendTerminalCommand(command);
}

void MainWindow::printToTerminal(QString line)
{
    ui->terminalEdit->appendHtml(line);
}

void MainWindow::showConsoleMenu(QPoint pos)
{
    Q_UNUSED(pos)
    QMenu *menu = ui->terminalEdit->createStandardContextMenu();
    QAction *first = menu->actions().value(0);
    menu->insertAction(first, m_saveLogAction);
    menu->insertAction(first, m_binLogAction);
    menu->insertAction(first, m_clearLogAction);
    menu->insertAction(first, m_timestampsAction);
    menu->insertSeparator(first);
    menu->exec(QCursor::pos());
    delete menu;
}

void MainWindow::saveConsoleLog()
{
    const FileRequest request = fileRequest(FileRequest::Save, tr("Сохранить лог"),
                                            QStringLiteral("console_log_") + logStamp()
                                                    + QStringLiteral(".log"),
                                            tr("LOG Files (*.log)"));
    const QString name = m_prompter.fileName(request);
    if (name.isEmpty())
        return;
    QSaveFile file(name);
    bool saved = false;
    if (file.open(QIODevice::WriteOnly)) {
        QTextStream out(&file);
        out.setCodec("UTF-8");
        out << ui->terminalEdit->toPlainText();
        out.flush();
        saved = out.status() == QTextStream::Ok && file.commit();
    }
    if (!saved)
        m_prompter.critical(this, tr("Ошибка"), tr("Ошибка сохранения файла"));
}

void MainWindow::saveConsoleBinLog()
{
    if (m_binLogAction->isChecked()) {
        const FileRequest request = fileRequest(FileRequest::Save, tr("Сохранить бинарный лог"),
                                                QStringLiteral("console_bin_log_") + logStamp()
                                                        + QStringLiteral(".log"),
                                                tr("LOG Files (*.log)"));
        const QString name = m_prompter.fileName(request);
        if (name.isEmpty()) {
            // Cancelled: the log stays off, and nothing went wrong.
            m_binLogAction->setChecked(false);
            return;
        }
        // The link opens the file itself and only logs a failure, so the window tries it first:
        // a log that cannot be written must not show as running. Appending leaves what a file
        // already holds to the link, which starts it afresh.
        QFile probe(name);
        if (!probe.open(QIODevice::WriteOnly | QIODevice::Append)) {
            qDebug().noquote() << "/C:12"
                               << "Command log not started: " + name + ": " + probe.errorString();
            m_binLogAction->setChecked(false);
            m_prompter.critical(this, tr("Ошибка"), tr("Ошибка создания файла"));
            return;
        }
        probe.close();
        // Connected only while the command log runs.
        connect(this, &MainWindow::startWriteBinLogFile, m_device,
                &DeviceInterface::startWriteBinLogFile, Qt::UniqueConnection);
        connect(this, &MainWindow::stopWriteBinLogFile, m_device,
                &DeviceInterface::stopWriteBinLogFile, Qt::UniqueConnection);
        emit startWriteBinLogFile(name);
    } else {
        emit stopWriteBinLogFile();
        disconnect(this, &MainWindow::startWriteBinLogFile, m_device,
                   &DeviceInterface::startWriteBinLogFile);
        disconnect(this, &MainWindow::stopWriteBinLogFile, m_device,
                   &DeviceInterface::stopWriteBinLogFile);
    }
}

void MainWindow::setConsoleTimestamps(bool on)
{
    writeSetting(QStringLiteral("Console"), QStringLiteral("timestamps"), on);
    m_device->setConsoleTimestamps(on);
}

void MainWindow::hotkeysCtrlAltC()
{
    ui->terminalMenu->setRowHidden(1, false);
}

void MainWindow::loadCommandHistory()
{
    QFile file(historyPath());
    if (!file.open(QIODevice::ReadOnly))
        return;
    QByteArray data = file.readAll();
    const int zero = data.indexOf('\0');
    if (zero >= 0)
        data.truncate(zero);
    // The file starts with a line feed, so the first entry is empty and the command line
    // starts empty.
    const QStringList entries = QString::fromUtf8(data).split(QLatin1Char('\n'));
    for (const QString &entry : entries) {
        if (ui->cmdLine->count() >= kHistoryLimit)
            break;
        ui->cmdLine->addItem(entry);
    }
}

void MainWindow::saveCommandHistory()
{
    if (ui->cmdLine->count() == 0) {
        QFile::remove(historyPath());
        return;
    }
    // Replaced only by a complete file: a failed write keeps the previous history. Unbuffered,
    // so that a write the disk refuses fails the commit (a failure of the buffer's last flush
    // would not, and the history would be replaced by a truncated file).
    QSaveFile file(historyPath());
    bool saved = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    for (int i = 0; saved && i < ui->cmdLine->count(); ++i) {
        const QString entry = ui->cmdLine->itemText(i);
        if (!entry.isEmpty()) {
            const QByteArray line = '\n' + entry.toUtf8();
            saved = file.write(line) == line.size();
        }
    }
    if (saved)
        saved = file.commit();
    if (!saved)
        qDebug().noquote() << "/C:12"
                           << "Command history not saved: " + historyPath() + ": "
                                      + file.errorString();
}
