// Starts the configurator's main window against an in-process simulated reader bus, connects to
// the reader and saves pictures of the window: closed (state 0) and connected (state 3).
//
//   zemo-screenshots <output folder>
#include "apppaths.h"
#include "mainwindow.h"
#include "prompter.h"
#include "resources.h"
#include "simbus.h"

#include <QApplication>
#include <QComboBox>
#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFontDatabase>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>

namespace {

// Runs the event loop until the condition holds or the time is up.
bool waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

void pause(int ms)
{
    waitFor([] { return false; }, ms);
}

bool save(QWidget *window, const QString &path)
{
    if (!window->grab().save(path)) {
        qCritical().noquote() << "Cannot write" << path;
        return false;
    }
    qInfo().noquote() << "Saved" << path;
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc < 2) {
        qCritical("usage: zemo-screenshots <output folder>");
        return 2;
    }
    const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QDir().mkpath(out);

    initZemoResources();
    QFontDatabase::addApplicationFont(QStringLiteral(":/font/font/ptsans.ttf"));

    // A program folder of its own, with the device database of the build.
    QTemporaryDir programDir;
    AppPaths::setProgramDir(programDir.path());
    QFile::copy(QStringLiteral(ZEMO_APP_BUILD_DIR "/devices.db"),
                programDir.filePath(QStringLiteral("devices.db")));
    QDir(programDir.path()).mkdir(QStringLiteral("translations"));
    QFile::copy(QStringLiteral(ZEMO_APP_BUILD_DIR "/translations/en.qm"),
                programDir.filePath(QStringLiteral("translations/en.qm")));
    Prompter::setDefaultHandlers([](const MessageRequest &box) {
        qWarning().noquote() << "Box:" << box.title << box.text;
        return Prompt::Ok;
    });

    SimBus bus;
    if (!bus.open(QDir::temp().filePath(
                QStringLiteral("ttySIM%1").arg(QCoreApplication::applicationPid())))) {
        qCritical().noquote() << "Simulated bus:" << bus.errorString();
        return 1;
    }
    SimReaderSettings reader;
    reader.address = 1;
    reader.firmware = QStringLiteral("1.3.2");
    reader.counter = 1523;
    reader.uptime = 86400;
    reader.genState = 1;
    reader.pullUp = 1;
    bus.addReader(reader);
    qputenv("ZEMO_EXTRA_PORTS", bus.devicePath().toLocal8Bit());

    MainWindow window(nullptr, QStringLiteral("ru_RU"));
    if (window.startupFailed())
        return 1;
    window.move(40, 40);
    window.show();

    auto *ports = window.findChild<QComboBox *>(QStringLiteral("rs485_220_port"));
    if (!waitFor([&] { return ports->findText(bus.devicePath()) >= 0; }, 5000)) {
        qCritical("The simulated port was not listed");
        return 1;
    }
    ports->setCurrentText(bus.devicePath());
    pause(300);
    if (!save(&window, out + QStringLiteral("/main-window-closed.png")))
        return 1;

    window.findChild<QPushButton *>(QStringLiteral("rs485_Button"))->click();
    if (!waitFor([&] { return window.globalState() == 3; }, 20000)) {
        qCritical("The reader was not read");
        return 1;
    }
    // Let one poll refresh counter and uptime.
    pause(1500);
    if (!save(&window, out + QStringLiteral("/main-window-connected.png")))
        return 1;

    // The console page, opened with Ctrl+Alt+C, after a typed command and its answer.
    window.hotkeysCtrlAltC();
    auto *menu = window.findChild<QListWidget *>(QStringLiteral("terminalMenu"));
    menu->setCurrentRow(1);
    window.itemSelected(menu->currentIndex());
    auto *command = window.findChild<QComboBox *>(QStringLiteral("cmdLine"));
    command->setEditText(QStringLiteral("0100"));
    window.findChild<QPushButton *>(QStringLiteral("sendCommand"))->click();
    pause(800);
    if (!save(&window, out + QStringLiteral("/main-window-console.png")))
        return 1;

    // The same session in English.
    menu->setCurrentRow(0);
    window.itemSelected(menu->currentIndex());
    window.changeLanguage(QStringLiteral("en"));
    pause(800);
    return save(&window, out + QStringLiteral("/main-window-connected-en.png")) ? 0 : 1;
}
