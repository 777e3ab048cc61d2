#pragma once

#include "bushealth.h"
#include "commissioning.h"
#include "configurationfile.h"
#include "prompter.h"
#include "records.h"

#include <QDomDocument>
#include <QList>
#include <QMainWindow>
#include <QMap>
#include <QModelIndex>
#include <QPoint>
#include <QStringList>
#include <QTranslator>

class BusScan;
class BusTableModel;
class CommissioningRun;
class BusWatch;
class DB_Worker;
class DebugLogWindow;
class DeviceInterface;
class Net;
class PortWatcher;
class RemoteConnectForm;
class SettingsForm;
class StatusCalc;
class UpdateUnpacker;

class QAction;
class QBuffer;
class QCompleter;
class QShortcut;
class QSignalMapper;
class QTimer;

namespace Ui {
class MainWindow;
}

// The configurator's only window and the controller of the whole interface. Builds and owns the
// device link, the device database, the update client and the settings object, wires their
// signals to its slots, and shows the global device state, the configuration form, the console
// and the connection panel.
//
// The slots are spread over files by concern: mainwindow.cpp (construction, window events),
// mainwindow_state.cpp (global state, status polling), mainwindow_connection.cpp (connection
// panel, page switching, hot-plug), mainwindow_firmware.cpp (firmware identification, local
// firmware catalogue), mainwindow_config.cpp (configuration documents and files),
// mainwindow_console.cpp (console page), mainwindow_dialogs.cpp (reboot, settings, about,
// help, status calculator), mainwindow_remote.cpp (remote configuration) and
// mainwindow_update.cpp (update workflow).
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    // The system locale name decides the language on the first start; tests hand in their own.
    explicit MainWindow(QWidget *parent = nullptr, const QString &systemLocale = QString());
    ~MainWindow() override;

    // True when the database check failed at construction: the engineer has been told and the
    // program ends with exit code 0.
    bool startupFailed() const { return m_startupFailed; }
    QString currentLanguage() const { return m_language; }
    Prompter &prompter() { return m_prompter; }

    // For tests and tools: the last global state code, the device link, and the two documents
    // as XML text (empty for a null document).
    int globalState() const { return m_state; }
    DeviceInterface *deviceInterface() const { return m_device; }
    QString configurationXml() const;
    QString changesXml() const;

    // The debug log window of "-console", when there is one: closed with the window and disposed
    // of by deleteDebugLog.
    void attachDebugLog(DebugLogWindow *log);

public slots:
    void changeLanguage(QString lang);

    // Window (construction, tool buttons, labels).
    void createToolButtons();
    void setInputValidations();
    void clearLabels();
    void setProgressMax(int max);
    void on_minimizeButton_clicked();

    // Global device state and status polling.
    void setGlobalState(int code);
    void displayDeviceStatus(quint8 colour, QString text);
    void getStatusInfo();
    void statusTimerTimeout();
    void changeStatusTimerState(bool on);
    // Waits for a status read in flight to end; true when the connection is still there for the
    // command that follows (the wait runs the event loop, where the engineer may close it).
    bool waitEndReadStatus();
    void rebootComplite();
    // The status strip's summary of how the line behaves, from the link's counts.
    void showBusHealth(const BusHealth &health);

    // Configuration document, form and files.
    void readConfig_220();
    void readXmlBuffer(QBuffer *buffer);
    void updateGui(QDomNode node);
    void changeConfig(int id);
    void openFileSlot();
    void saveFileSlot();
    void writeConfig();
    void on_closeMainWindow_clicked();
    void updateVersionInfo(VERSION_INFO_220 info);
    void updateUpTimeInfo_220(UPTIME_INFO_220 info);
    void updateInputInfo_220(INPUT_STAT_220 info);

    // Console page.
    void on_sendCommand_clicked();
    void printToTerminal(QString line);
    void showConsoleMenu(QPoint pos);
    void saveConsoleLog();
    void saveConsoleBinLog();
    // Times in front of the console's request and answer lines, on or off (kept in
    // settings.conf).
    void setConsoleTimestamps(bool on);
    void hotkeysCtrlAltC();

    // Connection panel and page switching.
    void COMsListUpdater_220(QStringList ports);
    void BaudsListUpdater_220(QStringList rates);
    void settingPortName();
    void settingPortBaudrate();
    void findDevicesAct();
    void getFoundAddrs(QList<int> addresses);
    void itemSelected(QModelIndex index);
    void showDeviceList(QStringList devices);

    // Firmware identification.
    void setCurrentFwVer_220(QString fw_ver, QString opt, QString devID, QString devIdByName);

    // Reboot, settings, about, help, web page.
    void reloadDevice();
    void reloadConfirm();
    void reloadWaitCancel();
    void aboutShow();
    void helpShow();
    void goToWebSite(QString url);
    void settingShow();

    // Remote configuration.
    void startRemoteConfig();

    // Update workflow.
    void checkUpdates();
    void startUpdater();
    void fwSetUpdated();
    void swSetUpdated();
    void fwDownloaded();
    void swDownloaded();
    void swUpdated(QString newVer, qint64 swFsize, QString swFileName);
    void updaterFinished(int exitCode);
    void startUpdateFirmware();
    QString getLocalLastFw(QString devID);

    // The bus page.
    void busScanClicked();
    void busWatchClicked();
    void busExportClicked();
    // A double-click on a row connects to that reader.
    void busRowActivated(const QModelIndex &index);
    void updateBusButtons();
    // The commissioning run: its dialog, or a stop of the run under way.
    void commissionClicked();

    // Status calculator.
    void runStatusCalc(QString value);
    void runStatusCalc();
    void updateStatusCode();
    void statusCalcClosed();
    void updateStatusMask(quint32 mask);

signals:
    void startReadConfiguration_220();
    void changeConnToPort_220();
    void startFindDevices();
    void stopFindDevices();
    void readyStatus();
    void startReadConfiguration();
    void startWriteConfiguration(QBuffer *buffer);
    void startPoll();
    void changePassword(QString password);
    void sendTerminalCommand(QString command);
    void rebootDev();
    void disconnectDevice();
    void closeDebugLog();
    void deleteDebugLog();
    void startWriteBinLogFile(QString fileName);
    void stopWriteBinLogFile();
    QMap<int, QStringList> getStatusBits();
    void setupRemoteConfig(bool on);
    void startUpdZemo200(QString type);

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
#ifdef Q_OS_WIN
    bool nativeEvent(const QByteArray &eventType, void *message, long *result) override;
#endif

private slots:
    void busScanProgress();
    void busScanFinished(bool stopped);
    void busWatchLooked();
    void busWatchStopped();
    void runStep(int address, const QString &step);
    void runReaderDone(const CommissionRecord &record);
    void runWaiting(int factoryAddress, int nextAddress, bool failedStillThere);
    void runPaused(bool on);
    void runFinished();
    // A serial port came or went: re-list the ports after a pause, unless the link is busy.
    void deviceChangeNotified();
    // A write has ended: what the reader did not take stays a change, and is told.
    void writeFinished(const QStringList &notTaken, bool refused);
    // The configuration server refused the terminal's password, or could not be reached.
    void remoteAuthenticationFailed();
    void remoteServerUnreachable();
    // The download ended: swDownloaded and any failure code of the same exchange have come.
    void checkDownloadEnded();

private:
    friend class MainWindowTestAccess;

    void installLanguage();
    void retranslate();
    void loadCommandHistory();
    void saveCommandHistory();
    void setConsoleLayout(bool console);
    bool isConsolePageShown() const;
    // The console and the bus page take the device data panel's height.
    bool isWidePageShown() const;
    bool isBusPageShown() const;
    void setupBusPage();
    // The scan and the watch of the bus page tell whether they run; the window keeps no flag.
    bool busScanRunning() const;
    bool busWatchRunning() const;
    void startBusScan(bool allSpeeds);
    QString busScanStatusText() const;
    QString busWatchStatusText() const;
    // While the commissioning run drives the link the window's session machinery stands aside:
    // the state codes, records and documents of the run's reads and writes are the run's.
    bool commissionRunning() const;
    QString runStatusText() const;
    void applyRunControls();
    bool startCommissioning(const CommissionOptions &options, QString *error);
    // The form as a configuration document for the run's template; empty when it holds nothing.
    QByteArray formTemplateXml() const;
    void saveRunReports();
    // Closing while the run goes asks; true when the window may close (the run then ended and
    // its reports are saved).
    bool commissionAllowsClose();
    bool statusPollingEnabled() const;
    void offerFirmwareUpdate(const QString &latest);
    // Creates the update client and connects its outcomes to the update workflow.
    void createUpdateClient();
    QString statusTextForState(int code) const;
    static quint8 statusColourForState(int code);
    static bool stateHasStatus(int code);
    // Shows the status of the state the window is in (after a text of the update check).
    void showStateStatus();
    bool isBusy() const;
    // The link has a connection: an open port, or a session through the configuration server.
    bool connectionUsable() const;
    // Opens nothing: reads the reader on the open port, as the connection button does after
    // opening it.
    void startRead();
    // Reads the reader of a session whose converter came back, keeping the changes.
    void resumeSession();
    // The port, speed and address of the last session, kept in settings.conf for the next start.
    void rememberSession();
    void restoreSession();
    // A configurator download or unpacking that did not end in the hand-over: the engineer is
    // told why, and the window returns to the state it had before the update.
    void endSoftwareUpdate(const QString &reason);
    // Why an exchange with the update server failed, by its exit code.
    QString failureText(int exitCode) const;
    QString windowTitleText() const;
    // A file dialog of this window.
    FileRequest fileRequest(FileRequest::Kind kind, const QString &title, const QString &proposed,
                            const QString &filter);
    // Puts the change document into the configuration buffer and clears it; false when the
    // buffer cannot be opened.
    bool fillConfigBuffer();
    // The element name and the value a form field shows (0 address .. 4 generation mode).
    QPair<QString, QString> fieldValue(int id) const;
    // The address as the field shows it counts, also when the field still has the focus.
    void takeTypedFields();
    // Empties the form and what stands behind it before a reader is read.
    void clearForm();
    // Marks the fields whose changes are not in the reader yet.
    void markPendingFields();
    // The form's name of a setting, by its element name.
    QString settingName(const QString &element) const;
    // The link's connection decides what the connection panel offers.
    void applyConnection();
    // The speeds and choice counts the form offers for the reader's firmware.
    ConfigurationFile::ValueLimits formLimits() const;

    // The three element operations of the configuration documents.
    void removeElement(QDomDocument &doc, const QString &name);
    void addElement(QDomDocument &doc, const QString &name, const QStringList &attributes);
    void setParameter(const QString &name, const QStringList &attributes);

    Ui::MainWindow *ui = nullptr;
    Prompter m_prompter;
    QTranslator m_translator;
    QTranslator m_qtTranslator; // Qt's own texts: standard buttons, dialogs
    QString m_language;
    bool m_startupFailed = false;

    DB_Worker *m_db = nullptr;
    QCompleter *m_completer = nullptr;
    SettingsForm *m_settings = nullptr;
    DeviceInterface *m_device = nullptr;
    QShortcut *m_consoleShortcut = nullptr;
    Net *m_net = nullptr;
    PortWatcher *m_portWatcher = nullptr;

    QTimer *m_statusTimer = nullptr;
    QTimer *m_portTimer = nullptr;
    QTimer *m_rebootTimer = nullptr;

    // The full configuration behind the form, and the parameters still to be written.
    QDomDocument m_configDoc;
    QDomDocument m_changeDoc;
    QDomDocument m_changesInWrite; // handed to the write that runs
    QDomDocument m_readerDoc; // the values the reader holds, as read and written since
    QString m_sessionPort; // the port of the last session, offered at start
    QString m_sessionKey; // the session last stored in settings.conf
    // Carries the change document to the device link for writing.
    QBuffer *m_configBuffer = nullptr;
    // Maps edits of the five configuration fields to changeConfig(0..4).
    QSignalMapper *m_fieldMapper = nullptr;

    // Console actions: save text log, binary log on/off (checkable), clear, times on/off
    // (checkable).
    QAction *m_saveLogAction = nullptr;
    QAction *m_binLogAction = nullptr;
    QAction *m_clearLogAction = nullptr;
    QAction *m_timestampsAction = nullptr;

    // Global state (all cleared at construction).
    quint8 m_state = 0;
    bool m_stateGiven = false; // no code given yet: "Порт закрыт" is shown
    bool m_titleShowsDevice = false; // the title strip names the reader that was read
    bool m_configLoaded = false; // the form holds a configuration read from the reader
    bool m_fwUpdateAvailable = false; // a local firmware newer than the reader's exists
    bool m_fwUpdateInProgress = false; // the engineer accepted a firmware installation
    bool m_closeAfterWrite = false; // quit when the reader reboots after the write
    int m_statusState = 0; // the state whose status the strip shows

    // Window dragging by the top 64 pixels.
    bool m_dragEnabled = true;
    QPoint m_dragPoint;

    // Status bits of the device database, fetched once at start.
    QMap<int, QStringList> m_statusBits;

    // Firmware identification.
    QString fw_ver; // reader's firmware version a.b.c
    QString devID = QStringLiteral("-"); // type id, e.g. 220 or 200v2; "-" matches no firmware
    QString devIdByName; // "Zemo" + type id, for the update server
    bool m_fwSupported = false; // the device database knows the reader's firmware
    quint32 m_statusBitMask = 0; // status bits the reader's firmware supports
    QString m_offeredFwVersion; // newest local firmware offered on updateFwButton

    // Update workflow.
    QMap<QString, QString> localFirmware; // version -> full path, rebuilt by every scan
    bool m_updateCheckPending = false;
    int m_fwState = 0; // 0 none yet, 1 no newer firmware, 2 newer firmware stored locally
    int m_swState = 0; // 0 none yet, 1 configurator current, 2 newer configurator available
    bool m_swDownloadActive = false; // a configurator download runs (state 15)
    int m_stateBeforeUpdate = 0; // state 0 or 3, given back when an update ends without success
    bool m_readAfterUpload = false; // the reader boots new firmware: read it after the reboot
    bool m_reportFirmwareAfterRead = false; // tell the new version once that read is done
    UpdateUnpacker *unpacker = nullptr;
    // A downloaded configurator waits for the reader's job to end before it is installed.
    bool m_installWaiting = false;
    QMetaObject::Connection m_installWait;
    // Checks, asks and hands the archive to the unpacker once the link is idle.
    void installSoftwareUpdate();
    // A local firmware of this version is newer than the reader's, and the upload can lay it out
    // for the reader's type.
    bool firmwareInstallable(const QString &version) const;

    // Remote configuration: the latest login dialog.
    RemoteConnectForm *m_remoteForm = nullptr;

    // The bus page: the readers found, the scan that finds them and the watch.
    BusTableModel *m_busModel = nullptr;
    BusScan *m_busScan = nullptr;
    BusWatch *m_busWatch = nullptr;
    CommissioningRun *m_run = nullptr;
    // What the run is doing, as it told last (the status strip shows it).
    QString m_runStep;
    int m_runAddress = 0;
    int m_runWaitingFor = 0; // assign mode: the address the next reader gets, 0 when not waiting
    QString m_runLastDone; // the reader done last and the count so far, as the page shows them
    bool m_runClosing = false; // the window closes: the reports are saved without questions

    // Status calculator: the open dialog (null when none), the ticked events, and the status
    // code text handed back on a refresh.
    StatusCalc *m_statusCalc = nullptr;
    quint32 m_eventMask = 0;
    QString m_statusCode;
};
