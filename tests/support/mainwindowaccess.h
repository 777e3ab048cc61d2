#pragma once

#include "mainwindow.h"
#include "simbus.h"
#include "testsupport.h"

#include <QFile>
#include <QStringList>
#include <QTimer>
#include <QtGlobal>
#include <QtTest>
#include <QtWidgets>

#include <memory>
#include <type_traits>

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

// A timer's interval while it runs, "off" when it does not.
inline QString armed(const QTimer *timer)
{
    return timer->isActive() ? QString::number(timer->interval()) : QStringLiteral("off");
}

inline QStringList comboItems(QComboBox *box)
{
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list << box->itemText(i);
    return list;
}

// A window over a temporary program folder with the shipped devices.db, on a Russian system;
// every box and file dialog is answered and recorded. A rig that prepares the folder or the
// ports first passes false and calls make() itself.
struct WindowRig
{
    explicit WindowRig(bool makeNow = true)
    {
        if (makeNow)
            make();
    }
    MainWindow &make()
    {
        window.reset(new MainWindow(nullptr, "ru_RU"));
        return *window;
    }
    MainWindow &w() { return *window; }
    template<typename T = QWidget>
    T *get(const QString &name)
    {
        return child<T>(window.get(), name);
    }

    TempProgramDir dir {true};
    BoxRecorder boxes;
    std::unique_ptr<MainWindow> window;
};

// A window whose port list offers a simulated reader bus with the given readers.
// With BusPlace::OwnThread the bus runs in a thread of its own, as readers on a real line do: a
// window thread held up by a loaded machine then does not hold up their answers, and a test
// that counts on the 50 ms of a scan's probes stays true. The test reaches such a bus through
// onBus().
enum class BusPlace { WindowThread, OwnThread };

struct BusWindowRig : WindowRig
{
    explicit BusWindowRig(const QList<SimReaderSettings> &readers = {},
                          BusPlace place = BusPlace::WindowThread)
        : WindowRig(false)
    {
        bus.open();
        for (const SimReaderSettings &reader : readers)
            bus.addReader(reader);
        if (place == BusPlace::OwnThread) {
            bus.moveToThread(&thread);
            thread.start();
        }
        qputenv("ZEMO_EXTRA_PORTS", bus.devicePath().toLocal8Bit());
        make();
    }
    ~BusWindowRig()
    {
        window.reset();
        if (thread.isRunning()) {
            QThread *home = QThread::currentThread();
            onBus([&] { bus.moveToThread(home); });
            thread.quit();
            thread.wait();
        }
    }
    // Runs fn where the bus lives and gives its result.
    template<typename F>
    auto onBus(F fn) -> decltype(fn())
    {
        if (!thread.isRunning())
            return fn();
        if constexpr (std::is_void_v<decltype(fn())>) {
            QMetaObject::invokeMethod(&bus, fn, Qt::BlockingQueuedConnection);
        } else {
            decltype(fn()) result {};
            QMetaObject::invokeMethod(
                    &bus, [&] { result = fn(); }, Qt::BlockingQueuedConnection);
            return result;
        }
    }
    // Waits for the first port listing, which closes the connections (state 0), and chooses
    // the bus's port.
    bool listed()
    {
        auto *ports = get<QComboBox>("rs485_220_port");
        if (!QTest::qWaitFor([&] { return ports->findText(bus.devicePath()) >= 0; }, 3000))
            return false;
        ports->setCurrentText(bus.devicePath());
        return true;
    }
    // The bus's port, speed and reader address in the connection panel, once the ports are listed.
    bool choose(const QString &speed, const QString &address)
    {
        if (!listed())
            return false;
        get<QComboBox>("rs485_220_speed")->setCurrentText(speed);
        get<QComboBox>("rs485_selAddr")->setCurrentText(address);
        return true;
    }
    void press(const char *button) { QTest::mouseClick(get<QPushButton>(button), Qt::LeftButton); }
    // Connects to the reader chosen so; true once it is read (the ready state).
    bool connectAndRead(const QString &speed = "19200", const QString &address = "1")
    {
        if (!choose(speed, address))
            return false;
        press("rs485_Button");
        return QTest::qWaitFor([&] { return window->globalState() == 3; }, 15000);
    }

    QThread thread; // declared before the bus: it outlives it
    SimBus bus;
};

// The main window's timers and flags that a widget test cannot reach through object names.
class MainWindowTestAccess
{
public:
    static QTimer *statusTimer(MainWindow &w) { return w.m_statusTimer; }
    static QTimer *portTimer(MainWindow &w) { return w.m_portTimer; }
    static void notifyDeviceChange(MainWindow &w) { w.deviceChangeNotified(); }
    static bool fwSupported(MainWindow &w) { return w.m_fwSupported; }
    static quint32 statusBitMask(MainWindow &w) { return w.m_statusBitMask; }
    static QString deviceName(MainWindow &w) { return w.devIdByName; }
    static bool closeAfterWrite(MainWindow &w) { return w.m_closeAfterWrite; }
    static QMap<QString, QString> localFirmware(MainWindow &w) { return w.localFirmware; }
    static bool updateCheckPending(MainWindow &w) { return w.m_updateCheckPending; }
    static bool writeOnItsWay(MainWindow &w) { return !w.m_changesInWrite.isNull(); }
    static bool commissionRunning(MainWindow &w) { return w.commissionRunning(); }
    static bool busScanRunning(MainWindow &w) { return w.busScanRunning(); }
    static bool busWatchRunning(MainWindow &w) { return w.busWatchRunning(); }
    static bool busPageShown(MainWindow &w) { return w.isBusPageShown(); }
};
