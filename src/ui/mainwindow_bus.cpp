// The bus page: the table of the readers on the bus, filled by the scan as they answer and kept
// up to date by the watch; its export, and a double-click that connects to a reader.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "busexport.h"
#include "busrowcolours.h"
#include "busscan.h"
#include "bustablemodel.h"
#include "buswatch.h"
#include "commissionform.h"
#include "commissioningrun.h"
#include "commissionreport.h"
#include "commissionreportpdf.h"
#include "db_worker.h"
#include "deviceinterface.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QDomDocument>
#include <QFileInfo>
#include <QHeaderView>
#include <QSaveFile>
#include <QTimer>
#include <QUrl>

namespace {
// Widths of the table's columns, in the order of BusTableModel's columns.
const int kColumnWidths[] = {52, 64, 84, 72, 78, 72, 70, 80, 96, 104, 60};
} // namespace

void MainWindow::setupBusPage()
{
    m_busModel = new BusTableModel(this);
    m_busScan = new BusScan(m_device, m_busModel, m_db, this);
    m_busWatch = new BusWatch(m_device, m_busModel, this);
    auto *colours = new BusRowColours(this);
    colours->setSourceModel(m_busModel);
    ui->busTable->setModel(colours);
    QHeaderView *header = ui->busTable->horizontalHeader();
    header->setStretchLastSection(true);
    header->setSectionResizeMode(QHeaderView::Interactive);
    for (int column = 0; column < BusTableModel::ColumnCount; ++column)
        ui->busTable->setColumnWidth(column, kColumnWidths[column]);
    ui->busTable->verticalHeader()->setDefaultSectionSize(22);
    // The watch's columns appear once it has run.
    for (int column = BusTableModel::FirstWatchColumn; column < BusTableModel::ColumnCount; ++column)
        ui->busTable->setColumnHidden(column, true);

    connect(ui->busScanButton, &QPushButton::clicked, this, &MainWindow::busScanClicked);
    connect(ui->busWatchButton, &QPushButton::clicked, this, &MainWindow::busWatchClicked);
    connect(ui->busExportButton, &QPushButton::clicked, this, &MainWindow::busExportClicked);
    connect(ui->busTable, &QAbstractItemView::doubleClicked, this, &MainWindow::busRowActivated);
    connect(m_busScan, &BusScan::progress, this, &MainWindow::busScanProgress);
    connect(m_busScan, &BusScan::readerAdded, ui->busTable,
            [this](int row) { ui->busTable->scrollTo(ui->busTable->model()->index(row, 0)); });
    connect(m_busScan, &BusScan::finished, this, &MainWindow::busScanFinished);
    connect(m_busWatch, &BusWatch::looked, this, &MainWindow::busWatchLooked);
    connect(m_busWatch, &BusWatch::stopped, this, &MainWindow::busWatchStopped);
    connect(m_busModel, &QAbstractItemModel::rowsInserted, this, &MainWindow::updateBusButtons);
    connect(m_busModel, &QAbstractItemModel::modelReset, this, &MainWindow::updateBusButtons);
    m_run = new CommissioningRun(m_device, m_db, this);
    connect(ui->commissionButton, &QPushButton::clicked, this, &MainWindow::commissionClicked);
    connect(m_run, &CommissioningRun::step, this, &MainWindow::runStep);
    connect(m_run, &CommissioningRun::readerDone, this, &MainWindow::runReaderDone);
    connect(m_run, &CommissioningRun::waitingForReader, this, &MainWindow::runWaiting);
    connect(m_run, &CommissioningRun::paused, this, &MainWindow::runPaused);
    connect(m_run, &CommissioningRun::finished, this, &MainWindow::runFinished);
    updateBusButtons();
}

bool MainWindow::isBusPageShown() const
{
    return ui->stackedWidget->currentWidget() == ui->busPage;
}

bool MainWindow::busWatchRunning() const
{
    return m_busWatch && m_busWatch->isRunning();
}

bool MainWindow::busScanRunning() const
{
    return m_busScan && m_busScan->isRunning();
}

QString MainWindow::busScanStatusText() const
{
    // The search text, the speed when every speed is searched, the address probed and the count.
    QString text = tr("Поиск устройств");
    if (m_busScan->speedCount() > 1)
        text += tr(", %1 бод").arg(m_busScan->speed());
    return text
           + tr(": адрес %1, найдено %2").arg(m_busScan->probedAddress()).arg(m_busScan->found());
}

QString MainWindow::busWatchStatusText() const
{
    const int suspect = m_busWatch->suspectReaders();
    QString text = tr("Наблюдение за шиной: считывателей %1, кругов %2")
                           .arg(m_busModel->rowCount())
                           .arg(m_busWatch->rounds());
    if (suspect > 0)
        text += tr(", с ошибками %1").arg(suspect);
    return text;
}

void MainWindow::updateBusButtons()
{
    if (!m_busScan)
        return;
    const bool scanning = busScanRunning();
    const bool watching = busWatchRunning();
    const DeviceInterface::Connection connection = m_device->connection();
    // The port is free for a scan: nothing is open, or only the watch holds it (it gives way).
    const bool portFree = connection == DeviceInterface::Connection::Closed
                          || (watching && m_busWatch->ownsPort());
    const bool updating = m_state == 15;
    const bool rows = m_busModel->rowCount() > 0;
    if (commissionRunning()) {
        ui->busScanButton->setEnabled(false);
        ui->busAllSpeedsCheck->setEnabled(false);
        ui->busWatchButton->setEnabled(false);
        ui->busExportButton->setEnabled(rows);
        ui->commissionButton->setText(tr("Завершить"));
        ui->commissionButton->setEnabled(true);
        return;
    }
    ui->commissionButton->setText(tr("Ввод в работу"));
    // The run opens the port itself (the watch gives it up), as the scan does.
    ui->commissionButton->setEnabled(!scanning && portFree && !updating);

    ui->busScanButton->setText(scanning ? tr("Стоп") : tr("Поиск"));
    ui->busScanButton->setEnabled(scanning || (portFree && !updating));
    ui->busAllSpeedsCheck->setEnabled(!scanning);
    ui->busWatchButton->setText(watching ? tr("Стоп наблюдения") : tr("Наблюдение"));
    // The watch runs on a port it opens itself, or beside a reader connected on the bus.
    const bool watchable = connection == DeviceInterface::Connection::Closed
                           || (connection == DeviceInterface::Connection::Serial && m_state == 3);
    ui->busWatchButton->setEnabled(watching || (rows && !scanning && !updating && watchable));
    ui->busExportButton->setEnabled(rows);
}

void MainWindow::startBusScan(bool allSpeeds)
{
    // The watch gives way to the scan; the port it opened closes with it.
    m_busWatch->stop();
    if (m_device->connection() == DeviceInterface::Connection::Closed) {
        // The scan goes to the port and speed the panel shows.
        m_device->setPortName(ui->rs485_220_port->currentText());
        const int speed = ui->rs485_220_speed->currentText().toInt();
        if (speed > 0)
            m_device->setBaudRate(speed);
    }
    QString error;
    if (!m_busScan->start(allSpeeds, &error)) {
        ui->busRunLabel->setText(error);
        updateBusButtons();
        return;
    }
    if (allSpeeds)
        ui->busRunLabel->setText(tr("Поиск на всех скоростях"));
    else
        ui->busRunLabel->setText(tr("Поиск на скорости %1 бод").arg(m_busScan->speed()));
    updateBusButtons();
}

void MainWindow::busScanClicked()
{
    if (busScanRunning()) {
        m_busScan->stop();
        return;
    }
    startBusScan(ui->busAllSpeedsCheck->isChecked());
}

void MainWindow::busScanProgress()
{
    if (m_state == 1 && busScanRunning())
        displayDeviceStatus(2, busScanStatusText());
}

void MainWindow::busScanFinished(bool stopped)
{
    const int rows = m_busModel->rowCount();
    ui->busRunLabel->setText(stopped ? tr("Поиск остановлен, найдено считывателей: %1").arg(rows)
                                     : tr("Поиск завершён, найдено считывателей: %1").arg(rows));
    // A search over every speed offers in the connection panel the readers at the panel's
    // speed (each speed's own end would offer only the last speed's).
    if (m_busScan->speedCount() > 1 && m_device->connection() == DeviceInterface::Connection::Closed)
        getFoundAddrs(m_busScan->addressesAt(m_device->rememberedSpeed()));
    updateBusButtons();
    if (m_state == 0)
        showStateStatus();
}

void MainWindow::busWatchClicked()
{
    if (busWatchRunning()) {
        m_busWatch->stop();
        return;
    }
    if (m_device->connection() == DeviceInterface::Connection::Closed)
        m_device->setPortName(ui->rs485_220_port->currentText());
    QString error;
    if (!m_busWatch->start(&error)) {
        ui->busRunLabel->setText(error);
        updateBusButtons();
        return;
    }
    for (int column = BusTableModel::FirstWatchColumn; column < BusTableModel::ColumnCount; ++column)
        ui->busTable->setColumnHidden(column, false);
    ui->busRunLabel->setText(busWatchStatusText());
    updateBusButtons();
    if (m_state == 0)
        showStateStatus();
}

void MainWindow::busWatchLooked()
{
    ui->busRunLabel->setText(busWatchStatusText());
    if (m_state == 0)
        showStateStatus();
}

void MainWindow::busWatchStopped()
{
    ui->busRunLabel->setText(
            tr("Наблюдение остановлено после кругов: %1").arg(m_busWatch->rounds()));
    updateBusButtons();
    if (m_state == 0)
        showStateStatus();
}

void MainWindow::busExportClicked()
{
    if (m_busModel->rowCount() == 0)
        return;
    const QString proposed = QStringLiteral("bus-%1.csv")
                                     .arg(QDateTime::currentDateTime().toString(
                                             QStringLiteral("yyyyMMdd-HHmm")));
    const FileRequest request = fileRequest(FileRequest::Save, tr("Сохранить таблицу шины"),
                                            proposed, tr("CSV (*.csv);;JSON (*.json)"));
    QString name = m_prompter.fileName(request);
    if (name.isEmpty())
        return;
    if (!name.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)
        && !name.endsWith(QLatin1String(".json"), Qt::CaseInsensitive))
        name += QStringLiteral(".csv");
    const QByteArray bytes = BusExport::encode(m_busModel->readers(), BusExport::formatOf(name));
    // Written beside the target and renamed over it only when complete.
    QSaveFile file(name);
    const bool saved = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()
                       && file.commit();
    if (!saved) {
        qDebug().noquote() << "/C:12"
                           << "Bus table not saved:" << name << file.errorString();
        m_prompter.critical(this, tr("Ошибка"),
                            tr("Не удалось сохранить таблицу шины:\n%1").arg(name));
        return;
    }
    qDebug().noquote() << "Bus table saved:" << name;
    ui->busRunLabel->setText(tr("Таблица сохранена: %1").arg(QDir::toNativeSeparators(name)));
}

void MainWindow::busRowActivated(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    const BusReader reader = m_busModel->reader(index.row());
    if (reader.address < 1 || reader.address > 254)
        return;
    // The connection button decides what may be done: no connecting while a write, an update
    // or a session through the server runs.
    if (busScanRunning())
        m_busScan->stop();
    else if (!ui->rs485_Button->isEnabled() || m_device->isRemoteMode())
        return;
    m_busWatch->stop();
    // A reader connected now is left for the one chosen.
    if (m_device->hasSession())
        m_device->togglePort();
    if (m_device->connection() != DeviceInterface::Connection::Closed)
        return;
    qDebug().noquote() << "Connect to the reader of the bus table:" << reader.address
                       << reader.baud;
    ui->rs485_220_speed->setCurrentText(QString::number(reader.baud));
    m_device->setRememberedAddress(reader.address);
    ui->rs485_selAddr->setCurrentText(QString::number(reader.address));
    // The form shows what is read.
    ui->terminalMenu->setCurrentRow(0);
    itemSelected(ui->terminalMenu->model()->index(0, 0));
    readConfig_220();
}

bool MainWindow::commissionRunning() const
{
    return m_run && m_run->isRunning();
}

QString MainWindow::runStatusText() const
{
    if (m_device->connection() == DeviceInterface::Connection::SerialLost)
        return tr("Ввод в работу приостановлен: преобразователь отключен от ПК");
    if (m_runWaitingFor > 0)
        return tr("Подключите следующий считыватель");
    if (m_runAddress > 0)
        return tr("Ввод в работу: считыватель %1, %2").arg(m_runAddress).arg(m_runStep);
    return tr("Ввод в работу");
}

void MainWindow::applyRunControls()
{
    // Nothing of the window's own may reach the link while the run drives it, nor a command
    // typed in the console (it would go to the reader being served).
    m_statusTimer->stop();
    const QList<QWidget *> controls
            = {ui->rs485_Button,    ui->findDevsButton, ui->writeConfigButton, ui->restartButton,
               ui->remCfgButton,    ui->updateFwButton, ui->openFileButton,    ui->rs485_220_port,
               ui->rs485_220_speed, ui->rs485_selAddr,  ui->devParamsField,    ui->sendCommand,
               ui->cmdLine};
    for (QWidget *w : controls)
        w->setEnabled(false);
    displayDeviceStatus(m_device->connection() == DeviceInterface::Connection::SerialLost ? 3 : 2,
                        runStatusText());
    updateBusButtons();
}

QByteArray MainWindow::formTemplateXml() const
{
    // Only a form that holds a reader's configuration (read, or opened from a file) is one.
    if (m_configDoc.isNull() || ui->setBaudComboBox->count() == 0)
        return QByteArray();
    QDomDocument doc;
    QDomElement root = doc.createElement(QStringLiteral("configuration"));
    doc.appendChild(root);
    for (int id = 0; id < 5; ++id) {
        const QPair<QString, QString> field = fieldValue(id);
        QDomElement element = doc.createElement(field.first);
        element.setAttribute(QStringLiteral("param"), field.second);
        root.appendChild(element);
    }
    return doc.toByteArray(1);
}

void MainWindow::commissionClicked()
{
    if (commissionRunning()) {
        // The step under way is answered first; the readers after it stay untouched.
        // A run that waits (for a reader, or for the converter) ends at once, and its end is
        // told by then.
        m_run->stop();
        if (commissionRunning())
            ui->busRunLabel->setText(tr("Ввод в работу завершается после текущего шага"));
        return;
    }
    QList<CommissionTarget> targets;
    const QModelIndexList selected = ui->busTable->selectionModel()->selectedRows();
    QList<int> rows;
    for (const QModelIndex &index : selected)
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    for (int row : qAsConst(rows)) {
        const BusReader reader = m_busModel->reader(row);
        targets << CommissionTarget {reader.address, reader.baud};
    }
    auto *form = new CommissionForm(this, &m_prompter, targets, formTemplateXml(),
                                    m_device->baudList());
    connect(form, &CommissionForm::startRequested, this, [this, form] {
        CommissionOptions options;
        QString error;
        if (!form->options(&options, &error) || !startCommissioning(options, &error)) {
            form->showError(error);
            return;
        }
        form->started();
    });
    form->show();
}

bool MainWindow::startCommissioning(const CommissionOptions &options, QString *error)
{
    // The run needs the port: the watch gives it up.
    m_busWatch->stop();
    if (m_device->connection() == DeviceInterface::Connection::Closed)
        m_device->setPortName(ui->rs485_220_port->currentText());
    m_runStep.clear();
    m_runAddress = 0;
    m_runWaitingFor = 0;
    m_runLastDone.clear();
    if (!m_run->start(options, error)) {
        qDebug().noquote() << "/C:12"
                           << "Commissioning run not started:" << *error;
        return false;
    }
    ui->busRunLabel->setText(tr("Ввод в работу начат"));
    applyRunControls();
    return true;
}

void MainWindow::runStep(int address, const QString &step)
{
    static const QMap<QString, const char *> steps
            = {{QStringLiteral("identify"), QT_TR_NOOP("опознание")},
               {QStringLiteral("firmware"), QT_TR_NOOP("обновление прошивки")},
               {QStringLiteral("write"), QT_TR_NOOP("запись настроек")},
               {QStringLiteral("reboot"), QT_TR_NOOP("перезагрузка")},
               {QStringLiteral("read back"), QT_TR_NOOP("проверочное чтение")},
               {QStringLiteral("compare"), QT_TR_NOOP("сравнение с шаблоном")}};
    m_runAddress = address;
    m_runWaitingFor = 0;
    m_runStep = steps.contains(step) ? tr(steps.value(step)) : step;
    if (commissionRunning())
        applyRunControls();
}

void MainWindow::runReaderDone(const CommissionRecord &record)
{
    // A reader that answered its read-back is listed where it is now: the table's double-click
    // and watch reach it at its new address and speed.
    if (record.verdict == CommissionRecord::Verified
        || record.verdict == CommissionRecord::Differs) {
        BusReader reader;
        reader.address = record.addressAfter;
        reader.baud = record.baudAfter;
        reader.deviceId = record.device.toInt();
        reader.deviceName = m_db->deviceName(reader.deviceId);
        reader.firmware = record.firmwareAfter;
        reader.supported = m_db->knowsFirmware(reader.firmware, reader.deviceId);
        m_busModel->moveReader(record.addressBefore, record.baudBefore, reader);
    }
    const QList<CommissionRecord> records = m_run->records();
    const int verified = CommissionReport::verifiedCount(records);
    int done = 0;
    for (const CommissionRecord &r : records)
        done += r.verdict != CommissionRecord::Untouched ? 1 : 0;
    // The reader just served, with what went wrong, then the count so far (of how many, when
    // the readers were picked in the table).
    QString last = tr("Считыватель %1: %2")
                           .arg(record.addressAfter > 0 ? record.addressAfter : record.addressBefore)
                           .arg(CommissionReport::verdictText(record.verdict));
    const QString why = record.differences.isEmpty()
                                ? record.reason
                                : record.differences.join(QStringLiteral("; "));
    if (record.verdict != CommissionRecord::Verified && !why.isEmpty())
        last += QStringLiteral(" (") + why + QLatin1Char(')');
    const bool picked = m_run->header().mode == QLatin1String("selected");
    const QString count = picked ? tr("обслужено %1 из %2, проверено %3")
                                           .arg(done)
                                           .arg(records.size())
                                           .arg(verified)
                                 : tr("обслужено %1, проверено %2").arg(done).arg(verified);
    m_runLastDone = last + QStringLiteral(". ") + count;
    ui->busRunLabel->setText(m_runLastDone);
}

void MainWindow::runWaiting(int factoryAddress, int nextAddress, bool failedStillThere)
{
    // The engineer wires the next reader; the run looks at the factory address until it
    // answers. The button ends the run. The verdict of the reader just done stays on the page:
    // the engineer unplugs it knowing whether it took the template.
    m_runWaitingFor = nextAddress;
    QString waiting
            = failedStillThere
                      ? tr("Снимите с шины считыватель, не прошедший ввод в работу (адрес %1), и "
                           "подключите следующий: он получит адрес %2. Кнопка \"Завершить\" "
                           "заканчивает ввод в работу.")
                                .arg(factoryAddress)
                                .arg(nextAddress)
                      : tr("Подключите следующий считыватель (адрес %1): он получит адрес %2. "
                           "Кнопка \"Завершить\" заканчивает ввод в работу.")
                                .arg(factoryAddress)
                                .arg(nextAddress);
    const QString occupied = CommissionReport::occupiedText(m_run->header());
    if (!occupied.isEmpty())
        waiting += tr("\nАдреса, где уже отвечает другой считыватель, пропущены: %1.").arg(occupied);
    ui->busRunLabel->setText(
            m_runLastDone.isEmpty() ? waiting : m_runLastDone + QStringLiteral(".\n") + waiting);
    if (commissionRunning())
        applyRunControls();
}

void MainWindow::runPaused(bool)
{
    if (commissionRunning())
        applyRunControls();
}

void MainWindow::runFinished()
{
    m_runAddress = 0;
    m_runWaitingFor = 0;
    // The console types to the reader of the window's own session again.
    ui->sendCommand->setEnabled(true);
    ui->cmdLine->setEnabled(true);
    // The window takes the link back as the run left it, unless it closes.
    if (m_runClosing) {
        saveRunReports();
        return;
    }
    if (m_device->connection() == DeviceInterface::Connection::Closed)
        setGlobalState(0);
    else
        applyConnection();
    saveRunReports();
}

bool MainWindow::commissionAllowsClose()
{
    if (!commissionRunning())
        return true;
    const Prompt::Button answer = m_prompter.question(
            this, tr("Ввод в работу"),
            tr("Ввод в работу не завершён. Прервать его и закрыть программу?\nОтчёт об "
               "обслуженных считывателях будет сохранён."));
    if (answer != Prompt::Yes || !commissionRunning())
        return !commissionRunning();
    m_runClosing = true;
    m_run->abandon();
    return true;
}

void MainWindow::saveRunReports()
{
    const CommissionHeader header = m_run->header();
    const QList<CommissionRecord> records = m_run->records();
    QString summary = tr("Ввод в работу завершён: проверено %1 из %2")
                              .arg(CommissionReport::verifiedCount(records))
                              .arg(records.size());
    const QString occupied = CommissionReport::occupiedText(header);
    if (!occupied.isEmpty())
        summary += tr(", адреса заняты другими считывателями и пропущены: %1").arg(occupied);

    // A run that finds nothing to do ends within its second: the reports of an earlier run of
    // that second stay, these are numbered.
    const QDir dir(CommissionReportPdf::reportsDir());
    QString csvPath;
    QString pdfPath;
    for (int number = 1; number < 1000; ++number) {
        csvPath = dir.filePath(
                CommissionReport::fileName(header.started, QStringLiteral("csv"), number));
        pdfPath = dir.filePath(
                CommissionReport::fileName(header.started, QStringLiteral("pdf"), number));
        if (!QFileInfo::exists(csvPath) && !QFileInfo::exists(pdfPath))
            break;
    }
    const QByteArray csv = CommissionReport::csv(header, records);
    QSaveFile csvFile(csvPath);
    const bool csvSaved = csvFile.open(QIODevice::WriteOnly) && csvFile.write(csv) == csv.size()
                          && csvFile.commit();
    QString error;
    const bool pdfSaved = CommissionReportPdf::writePdf(pdfPath, header, records, &error);
    if (!csvSaved || !pdfSaved) {
        qDebug().noquote() << "/C:12"
                           << "Commissioning report not saved:" << (csvSaved ? "" : csvPath)
                           << (pdfSaved ? "" : pdfPath);
        // The table of the run kept in CSV is still the report: say where it is.
        ui->busRunLabel->setText(
                csvSaved ? summary + tr(". Отчёт: %1").arg(QDir::toNativeSeparators(csvPath))
                         : summary);
        if (m_runClosing)
            return;
        m_prompter.critical(
                this, tr("Ввод в работу"),
                csvSaved ? tr("Не удалось сохранить отчёт PDF в папку:\n%1\nОтчёт CSV сохранён:"
                              "\n%2")
                                   .arg(QDir::toNativeSeparators(dir.path()),
                                        QDir::toNativeSeparators(csvPath))
                         : tr("Не удалось сохранить отчёт в папку:\n%1")
                                   .arg(QDir::toNativeSeparators(dir.path())));
        return;
    }
    ui->busRunLabel->setText(summary + tr(". Отчёт: %1").arg(QDir::toNativeSeparators(pdfPath)));
    if (m_runClosing)
        return;
    const Prompt::Button open
            = m_prompter.question(this, tr("Ввод в работу"),
                                  summary
                                          + tr(".\nОтчёт сохранён:\n%1\n\nОткрыть отчёт?")
                                                    .arg(QDir::toNativeSeparators(pdfPath)));
    if (open != Prompt::Yes)
        return;
    // No PDF viewer, or no desktop to start one: say where the report is.
    if (!m_prompter.openUrl(QUrl::fromLocalFile(pdfPath)))
        m_prompter.information(this, tr("Ввод в работу"),
                               tr("Не удалось открыть отчёт. Откройте его программой просмотра "
                                  "PDF:\n%1")
                                       .arg(QDir::toNativeSeparators(pdfPath)));
}
