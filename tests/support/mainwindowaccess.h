#pragma once

#include "mainwindow.h"

#include <QComboBox>
#include <QFile>
#include <QStringList>
#include <QTimer>
#include <QtGlobal>

// Helpers of the main window tests.

// A widget or object of the window by its object name; a warning names a missing one.
template<typename T>
T *child(QObject *parent, const QString &name)
{
    T *found = parent->findChild<T *>(name);
    if (!found)
        qWarning("no child %s", qPrintable(name));
    return found;
}

inline QStringList comboItems(QComboBox *box)
{
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list << box->itemText(i);
    return list;
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

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
