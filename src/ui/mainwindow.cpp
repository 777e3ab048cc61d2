#include "mainwindow.h"

#include "apppaths.h"
#include "appversion.h"
#include "ui_mainwindow.h"

#include "db_worker.h"
#include "debuglogwindow.h"
#include "dialogprompts.h"
#include "deviceinterface.h"
#include "portwatcher.h"
#include "resources.h"
#include "settings.h"
#include "settingsform.h"
#include "statuscalc.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QCloseEvent>
#include <QCompleter>
#include <QDebug>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QRegExpValidator>
#include <QShortcut>
#include <QSignalMapper>
#include <QTimer>

namespace {
// Disabled tool buttons show their picture faded, so that what can be used stands out.
void fadeDisabledIcons(const QList<QPushButton *> &buttons)
{
    for (QPushButton *button : buttons) {
        QIcon icon = button->icon();
        if (icon.isNull())
            continue;
        const QPixmap normal = icon.pixmap(button->iconSize());
        QPixmap faded(normal.size());
        faded.setDevicePixelRatio(normal.devicePixelRatio());
        faded.fill(Qt::transparent);
        QPainter painter(&faded);
        painter.setOpacity(0.3);
        painter.drawPixmap(0, 0, normal);
        painter.end();
        icon.addPixmap(faded, QIcon::Disabled);
        button->setIcon(icon);
    }
}

// A session whose converter was pulled waits this long for the same port to come back.
const int kResumeAfterLossMs = 60000;

// Only the title area, the top 64 pixels, moves the frameless window.
const int kDragHandleHeight = 64;

// RS-485 bus addresses 1 to 254, decimal, without leading zeros.
const char *const kAddressPattern = "([1-9]|[1-9][0-9]|1[0-9][0-9]|2[0-4][0-9]|25[0-4])";
} // namespace

MainWindow::MainWindow(QWidget *parent, const QString &systemLocale)
    : QMainWindow(parent, Qt::Window | Qt::FramelessWindowHint)
    , ui(new Ui::MainWindow)
{
    initZemoResources();
    installDialogPrompts();
    ui->setupUi(this);
    setStyleSheet(zemoStyleSheet());
    fadeDisabledIcons(ui->verticalWidget->findChildren<QPushButton *>()
                      + ui->horizontalWidget->findChildren<QPushButton *>());
    ui->rs485_Button->setDefault(false);

    qDebug() << "\n-----------------Configurator started-----------------\n";
    qDebug().noquote() << "Version:" << AppVersion::text()
                       << "build date:" << AppVersion::sourceDate();

    m_language = startupLanguage(systemLocale.isEmpty() ? QLocale::system().name() : systemLocale);
    installLanguage();

    m_db = new DB_Worker(this);
    if (!m_db->checkDb()) {
        m_prompter.critical(this, tr("Ошибка"),
                            tr("Невозможно запустить конфигуратор, нарушена целосность файлов "
                               "программы. Выполните переустановку конфигуратора."));
        m_startupFailed = true;
        return;
    }

    loadCommandHistory();
    // The history is offered whatever the case typed, in a list under the command line; what
    // is sent is what the line shows: the typed text, or an entry the engineer picked from the
    // list. The completer is not the line edit's own: with one there, the combo box would match
    // the typed text against its entries in the completer's case-insensitive way, and Enter or
    // a click on the send button would replace "0a02" by a stored "0A02".
    ui->cmdLine->setEditable(true);
    ui->cmdLine->setCompleter(nullptr);
    m_completer = new QCompleter(ui->cmdLine->model(), this);
    m_completer->setCaseSensitivity(Qt::CaseInsensitive);
    m_completer->setCompletionMode(QCompleter::PopupCompletion);
    m_completer->setWidget(ui->cmdLine->lineEdit());
    connect(ui->cmdLine->lineEdit(), &QLineEdit::textEdited, m_completer,
            [this](const QString &text) {
                m_completer->setCompletionPrefix(text);
                if (text.isEmpty())
                    m_completer->popup()->hide();
                else
                    m_completer->complete();
            });
    connect(m_completer, QOverload<const QString &>::of(&QCompleter::highlighted),
            ui->cmdLine->lineEdit(), &QLineEdit::setText);
    connect(m_completer, QOverload<const QString &>::of(&QCompleter::activated),
            ui->cmdLine->lineEdit(), &QLineEdit::setText);

    ui->terminalEdit->document()->setMaximumBlockCount(10000);

    m_settings = new SettingsForm(this);

    clearLabels();
    setInputValidations();
    ui->stackedWidget->setFrameShape(QFrame::NoFrame);
    ui->globalStatusPict->setPixmap(QPixmap(QStringLiteral(":pict/svg/gray.svg")));
    ui->globalStatusText->setMinimumWidth(300);
    ui->globalStatusText->setText(tr("Порт закрыт"));
    ui->progressBar->setRange(0, 1000);

    connect(this, &MainWindow::getStatusBits, m_db, &DB_Worker::getStatusBits, Qt::DirectConnection);
    m_statusBits = emit getStatusBits();

    m_device = new DeviceInterface;
    m_device->setSoftwareVersion(AppVersion::text());
    connect(this, &MainWindow::startReadConfiguration_220, m_device,
            &DeviceInterface::readConfiguration_220);
    // The link asks the database for the group's read commands as soon as this returns.
    connect(m_device, &DeviceInterface::setCurrentFwVer, this, &MainWindow::setCurrentFwVer_220,
            Qt::DirectConnection);
    connect(m_device, &DeviceInterface::setCOMsList, this, &MainWindow::COMsListUpdater_220);
    connect(m_device, &DeviceInterface::setBaudList, this, &MainWindow::BaudsListUpdater_220);
    connect(m_device, &DeviceInterface::showVersionInfo, this, &MainWindow::updateVersionInfo);
    connect(m_device, &DeviceInterface::showUpTimeInfo_220, this, &MainWindow::updateUpTimeInfo_220);
    connect(m_device, &DeviceInterface::showInputInfo_220, this, &MainWindow::updateInputInfo_220);
    connect(m_device, &DeviceInterface::fillFoundAddrs, this, &MainWindow::getFoundAddrs);
    connect(this, &MainWindow::startFindDevices, m_device, &DeviceInterface::findDevices_220);
    connect(this, &MainWindow::stopFindDevices, m_device, &DeviceInterface::findExchangeStop);
    connect(this, &MainWindow::rebootDev, m_device, &DeviceInterface::reboot_220);
    connect(m_device, &DeviceInterface::changeDeviceStatus, this, &MainWindow::setGlobalState);
    connect(this, &MainWindow::startWriteConfiguration, m_device,
            &DeviceInterface::writeConfiguration);
    connect(m_device, &DeviceInterface::setProgress, ui->progressBar, &QProgressBar::setValue);
    connect(m_device, &DeviceInterface::printToTerminal, this, &MainWindow::printToTerminal);
    connect(m_device, &DeviceInterface::busHealthChanged, this, &MainWindow::showBusHealth);
    connect(this, &MainWindow::sendTerminalCommand, m_device, &DeviceInterface::sendTerminalCmd);
    connect(this, &MainWindow::disconnectDevice, m_device, &DeviceInterface::disconnectDevice);
    connect(m_device, &DeviceInterface::setProgressMax, this, &MainWindow::setProgressMax);
    connect(this, &MainWindow::startPoll, m_device, &DeviceInterface::startPoll);
    connect(m_device, &DeviceInterface::updateGUI, this, &MainWindow::readXmlBuffer);
    connect(m_device, &DeviceInterface::getSupportedCommands, m_db, &DB_Worker::getCommandList,
            Qt::DirectConnection);
    connect(m_device, &DeviceInterface::selectDevice, this, &MainWindow::showDeviceList);
    connect(this, &MainWindow::startUpdZemo200, m_device, &DeviceInterface::startUpdZemo200);
    connect(m_device, &DeviceInterface::authenticationFail, this,
            &MainWindow::remoteAuthenticationFailed);
    connect(m_device, &DeviceInterface::remoteServerUnreachable, this,
            &MainWindow::remoteServerUnreachable);
    connect(m_device, &DeviceInterface::writeEnded, this, &MainWindow::writeFinished);
    connect(m_device, &DeviceInterface::connectionChanged, this, &MainWindow::applyConnection);
    // A pulled converter leaves the session waiting a minute for it to come back.
    m_device->setResumeAfterLoss(kResumeAfterLossMs);
    connect(m_device, &DeviceInterface::sessionResumed, this, &MainWindow::resumeSession);

    m_consoleShortcut = new QShortcut(QKeySequence(QStringLiteral("Ctrl+Alt+C")), this);
    connect(m_consoleShortcut, &QShortcut::activated, this, &MainWindow::hotkeysCtrlAltC);
    connect(ui->aboutButton, &QPushButton::pressed, this, &MainWindow::aboutShow);
    connect(ui->helpButton, &QPushButton::pressed, this, &MainWindow::helpShow);
    connect(ui->rs485_220_port, &QComboBox::currentTextChanged, this, &MainWindow::settingPortName);
    connect(ui->rs485_220_speed, &QComboBox::currentTextChanged, this,
            &MainWindow::settingPortBaudrate);
    connect(ui->logo_label, &QLabel::linkActivated, this, &MainWindow::goToWebSite);
    connect(ui->checkUpdatesButton, &QPushButton::pressed, this, &MainWindow::checkUpdates);
    connect(ui->terminalMenu, &QListWidget::activated, this, &MainWindow::itemSelected);
    connect(ui->terminalMenu, &QListWidget::pressed, this, &MainWindow::itemSelected);
    connect(ui->cmdLine->lineEdit(), &QLineEdit::returnPressed, ui->sendCommand,
            &QPushButton::click);
    ui->stackedWidget->setCurrentIndex(0);
    createToolButtons();

    m_statusTimer = new QTimer(this);
    connect(m_statusTimer, &QTimer::timeout, this, &MainWindow::statusTimerTimeout);
    m_portTimer = new QTimer(this);
    m_portTimer->setSingleShot(true);
    m_rebootTimer = new QTimer(this);
    m_rebootTimer->setInterval(10000);
    connect(m_rebootTimer, &QTimer::timeout, this, &MainWindow::rebootComplite);
    connect(m_settings, &SettingsForm::refreshStatusChanged, this,
            &MainWindow::changeStatusTimerState);
    connect(m_portTimer, &QTimer::timeout, m_device, &DeviceInterface::enumeratePorts);

    m_configBuffer = new QBuffer(this);
    m_fieldMapper = new QSignalMapper(this);
    connect(ui->setAddrLine, &QLineEdit::editingFinished, m_fieldMapper,
            QOverload<>::of(&QSignalMapper::map));
    m_fieldMapper->setMapping(ui->setAddrLine, 0);
    const QList<QComboBox *> boxes = {ui->setBaudComboBox, ui->genComboBox, ui->pullUpComboBox,
                                      ui->genTypeComboBox};
    for (int i = 0; i < boxes.size(); ++i) {
        connect(boxes.at(i), QOverload<int>::of(&QComboBox::currentIndexChanged), m_fieldMapper,
                QOverload<>::of(&QSignalMapper::map));
        m_fieldMapper->setMapping(boxes.at(i), i + 1);
    }
    connect(m_fieldMapper, &QSignalMapper::mappedInt, this, &MainWindow::changeConfig);
    connect(ui->terminalEdit, &QWidget::customContextMenuRequested, this,
            &MainWindow::showConsoleMenu);

    // The first port listing runs once the window is up.
    m_portTimer->start(100);

    createUpdateClient();

    m_portWatcher = new PortWatcher(this);
    connect(m_portWatcher, &PortWatcher::portsChanged, this, &MainWindow::deviceChangeNotified);
}

MainWindow::~MainWindow()
{
    // Nothing the teardown does (a field losing the focus, the link closing its port) is an
    // action of the engineer any more.
    if (m_fieldMapper)
        m_fieldMapper->blockSignals(true);
    if (m_device)
        disconnect(m_device, nullptr, this, nullptr);
    if (!m_startupFailed)
        saveCommandHistory();
    // Open status calculators go while the window is whole: their closing is reported to it.
    qDeleteAll(findChildren<StatusCalc *>(QString(), Qt::FindDirectChildrenOnly));
    delete m_device;
    delete ui;
    qDebug() << "\n-----------------Configurator closed.-----------------\n";
}

void MainWindow::attachDebugLog(DebugLogWindow *log)
{
    if (!log)
        return;
    connect(this, &MainWindow::closeDebugLog, log, &QWidget::close);
    connect(this, &MainWindow::deleteDebugLog, log, &QObject::deleteLater);
}

FileRequest MainWindow::fileRequest(FileRequest::Kind kind, const QString &title,
                                    const QString &proposed, const QString &filter)
{
    FileRequest request;
    request.kind = kind;
    request.parent = this;
    request.title = title;
    request.proposed = proposed;
    request.filter = filter;
    return request;
}

QString MainWindow::configurationXml() const
{
    return m_configDoc.isNull() ? QString() : m_configDoc.toString(1);
}

QString MainWindow::changesXml() const
{
    return m_changeDoc.isNull() ? QString() : m_changeDoc.toString(1);
}

void MainWindow::installLanguage()
{
    // A missing or unreadable catalogue leaves the built-in Russian texts.
    m_translator.load(translationFilePath(m_language));
    QCoreApplication::installTranslator(&m_translator);
    // Qt's own texts (the Yes and No of every question) in the same language: the catalogue
    // shipped beside the program, else the one Qt was installed with.
    const QString qtCatalogue = QStringLiteral("qtbase_") + m_language;
    if (!m_qtTranslator.load(qtCatalogue, AppPaths::filePath(QStringLiteral("translations"))))
        m_qtTranslator.load(qtCatalogue, QLibraryInfo::location(QLibraryInfo::TranslationsPath));
    QCoreApplication::installTranslator(&m_qtTranslator);
    retranslate();
}

void MainWindow::changeLanguage(QString lang)
{
    if (lang != m_language) {
        writeSetting(QStringLiteral("Language"), QStringLiteral("lang"), lang);
        m_language = lang;
    }
    QCoreApplication::removeTranslator(&m_translator);
    QCoreApplication::removeTranslator(&m_qtTranslator);
    installLanguage();
}

void MainWindow::retranslate()
{
    ui->retranslateUi(this);
    // Texts that follow the state are set again in the new language.
    ui->mainTitleWindow->setText(windowTitleText());
    if (m_stateGiven)
        ui->globalStatusText->setText(statusTextForState(m_statusState));
    else
        ui->globalStatusText->setText(tr("Порт закрыт"));
    if (!m_offeredFwVersion.isEmpty() && ui->updateFwButton->isEnabled())
        ui->updateFwButton->setToolTip(tr("Обновить прошивку устройства до версии ")
                                       + m_offeredFwVersion);
    // The choices that came from the database: their stored texts are the items' data.
    for (QComboBox *box :
         {ui->setBaudComboBox, ui->genComboBox, ui->genTypeComboBox, ui->pullUpComboBox}) {
        for (int i = 0; i < box->count(); ++i) {
            const QVariant stored = box->itemData(i);
            if (stored.isValid())
                box->setItemText(i, DB_Worker::shownText(stored.toString()));
        }
    }
    if (m_saveLogAction) {
        m_saveLogAction->setText(tr("Сохранить в файл"));
        m_binLogAction->setText(tr("Писать лог в файл"));
        m_clearLogAction->setText(tr("Очистить лог"));
        m_timestampsAction->setText(tr("Метки времени"));
    }
    if (m_device && !ui->busHealthLabel->text().isEmpty())
        showBusHealth(m_device->busHealth());
}

void MainWindow::createToolButtons()
{
    connect(ui->rs485_Button, &QPushButton::pressed, this, &MainWindow::readConfig_220);
    connect(ui->findDevsButton, &QPushButton::pressed, this, &MainWindow::findDevicesAct);
    connect(ui->openFileButton, &QPushButton::pressed, this, &MainWindow::openFileSlot);
    connect(ui->saveFileButton, &QPushButton::pressed, this, &MainWindow::saveFileSlot);
    connect(ui->writeConfigButton, &QPushButton::pressed, this, &MainWindow::writeConfig);
    connect(ui->restartButton, &QPushButton::pressed, this, &MainWindow::reloadDevice);
    connect(ui->updateFwButton, &QPushButton::pressed, this, &MainWindow::startUpdateFirmware);
    connect(ui->remCfgButton, &QPushButton::pressed, this, &MainWindow::startRemoteConfig);
    connect(ui->statusCalcButton, &QPushButton::pressed, this,
            QOverload<>::of(&MainWindow::runStatusCalc));
    connect(ui->settingsButton, &QPushButton::pressed, this, &MainWindow::settingShow);

    ui->updateFwButton->hide();
    // Shown again once a newer local firmware is offered.
    for (QPushButton *button : {ui->remCfgButton, ui->saveFileButton, ui->rs485_Button,
                                ui->writeConfigButton, ui->restartButton, ui->updateFwButton})
        button->setEnabled(false);

    m_device->setRememberedSpeed(19200);
    m_device->setRememberedAddress(1);
    restoreSession();

    m_saveLogAction = new QAction(tr("Сохранить в файл"), this);
    m_saveLogAction->setObjectName(QStringLiteral("saveLogAction"));
    connect(m_saveLogAction, &QAction::triggered, this, &MainWindow::saveConsoleLog);
    m_binLogAction = new QAction(tr("Писать лог в файл"), this);
    m_binLogAction->setObjectName(QStringLiteral("binLogAction"));
    m_binLogAction->setCheckable(true);
    connect(m_binLogAction, &QAction::triggered, this, &MainWindow::saveConsoleBinLog);
    m_clearLogAction = new QAction(tr("Очистить лог"), this);
    m_clearLogAction->setObjectName(QStringLiteral("clearLogAction"));
    connect(m_clearLogAction, &QAction::triggered, ui->terminalEdit, &QPlainTextEdit::clear);
    m_timestampsAction = new QAction(tr("Метки времени"), this);
    m_timestampsAction->setObjectName(QStringLiteral("timestampsAction"));
    m_timestampsAction->setCheckable(true);
    // Off unless chosen: the console looks as it always did.
    const bool timestamps = readSetting(QStringLiteral("Console"), QStringLiteral("timestamps"))
                                    .toBool();
    m_timestampsAction->setChecked(timestamps);
    m_device->setConsoleTimestamps(timestamps);
    connect(m_timestampsAction, &QAction::toggled, this, &MainWindow::setConsoleTimestamps);
}

void MainWindow::setInputValidations()
{
    const QRegExp pattern(QString::fromLatin1(kAddressPattern), Qt::CaseSensitive);
    ui->setAddrLine->setValidator(new QRegExpValidator(pattern, ui->setAddrLine));
    ui->rs485_selAddr->setEditable(true);
    ui->rs485_selAddr->setValidator(new QRegExpValidator(pattern, ui->rs485_selAddr));
}

void MainWindow::clearLabels()
{
    setWindowTitle(tr("Конфигуратор"));
    ui->label_220_fw->setText(QStringLiteral("-"));
    ui->label_220_rt->setText(QStringLiteral("-"));
    ui->label_220_count->setText(QStringLiteral("-"));
    ui->powStatusLabel->clear();
    ui->complectation_lbl->clear();
    m_fwUpdateAvailable = false;
    ui->terminalMenu->setRowHidden(1, true);
}

void MainWindow::setProgressMax(int max)
{
    // A run with nothing to do (a write without changes, a read of a firmware without read
    // commands) announces 0; a bar of 0 to 0 would show the endless busy animation from then
    // on, also in the ready state.
    ui->progressBar->setMaximum(qMax(max, ui->progressBar->minimum() + 1));
}

void MainWindow::on_minimizeButton_clicked()
{
    showMinimized();
}

QString MainWindow::windowTitleText() const
{
    if (!m_titleShowsDevice)
        return tr("Конфигуратор");
    return tr("Конфигуратор") + QLatin1Char('\t') + tr("Земо") + devID;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    emit closeDebugLog();
    QMainWindow::closeEvent(event);
}

void MainWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange && ui)
        retranslate();
    QMainWindow::changeEvent(event);
}

void MainWindow::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && event->pos().y() < kDragHandleHeight)
        m_dragPoint = event->pos();
    else
        m_dragEnabled = false;
    QMainWindow::mousePressEvent(event);
}

void MainWindow::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_dragEnabled = true;
    QMainWindow::mouseReleaseEvent(event);
}

void MainWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (event->pos().y() < kDragHandleHeight && m_dragEnabled)
        move(pos() + event->pos() - m_dragPoint);
    QMainWindow::mouseMoveEvent(event);
}

void MainWindow::restoreSession()
{
    // The last session's port, speed and address are offered again at the next start.
    const QString group = QStringLiteral("Session");
    const int speed = readSetting(group, QStringLiteral("speed")).toInt();
    if (m_device->baudList().contains(QString::number(speed)))
        m_device->setRememberedSpeed(speed);
    const int address = readSetting(group, QStringLiteral("address")).toInt();
    if (address >= 1 && address <= 254)
        m_device->setRememberedAddress(address);
    m_sessionPort = readSetting(group, QStringLiteral("port")).toString();
}

void MainWindow::rememberSession()
{
    if (m_device->connection() != DeviceInterface::Connection::Serial)
        return;
    const QString port = m_device->portName();
    const QString key = QStringLiteral("%1|%2|%3")
                                .arg(port)
                                .arg(m_device->baudRate())
                                .arg(m_device->deviceAddress());
    // Written when it changes, not at every status read.
    if (port.isEmpty() || key == m_sessionKey)
        return;
    m_sessionKey = key;
    m_sessionPort = port;
    const QString group = QStringLiteral("Session");
    writeSetting(group, QStringLiteral("port"), port);
    writeSetting(group, QStringLiteral("speed"), m_device->baudRate());
    writeSetting(group, QStringLiteral("address"), int(m_device->deviceAddress()));
}
