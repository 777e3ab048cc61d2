#pragma once

#include "mainwindow.h"

#include <QTimer>

// The main window's timers and flags that a widget test cannot reach through object names.
class MainWindowTestAccess
{
public:
    static QTimer *statusTimer(MainWindow &w) { return w.m_statusTimer; }
    static QTimer *portTimer(MainWindow &w) { return w.m_portTimer; }
    static QTimer *rebootTimer(MainWindow &w) { return w.m_rebootTimer; }
    static void notifyDeviceChange(MainWindow &w) { w.deviceChangeNotified(); }
    static void setFwUpdateInProgress(MainWindow &w, bool on) { w.m_fwUpdateInProgress = on; }
    static bool fwSupported(MainWindow &w) { return w.m_fwSupported; }
    static quint32 statusBitMask(MainWindow &w) { return w.m_statusBitMask; }
    static QString deviceName(MainWindow &w) { return w.devIdByName; }
    static bool closeAfterWrite(MainWindow &w) { return w.m_closeAfterWrite; }
    static QMap<QString, QString> localFirmware(MainWindow &w) { return w.localFirmware; }
};
