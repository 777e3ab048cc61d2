// Starts the configurator's main window against an in-process simulated reader bus, connects to
// the reader and saves pictures of the window: closed (state 0) and connected (state 3), the
// console, the English interface, and the bus page: the readers found and watched, the
// commissioning dialog, and a run waiting for the next reader.
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
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableView>
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
    // More readers on the same bus for the bus page; the one at 7 has an older firmware.
    for (quint8 address = 2; address <= 8; ++address) {
        SimReaderSettings more;
        more.address = address;
        more.counter = 100 * address;
        more.uptime = 3600 * address;
        if (address == 7)
            more.firmware = QStringLiteral("1.2.5");
        bus.addReader(more);
    }
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
    if (!save(&window, out + QStringLiteral("/main-window-connected-en.png")))
        return 1;

    // The bus page, in Russian, with the connection closed: a search lists the readers as they
    // answer; the watch polls them in turn.
    window.changeLanguage(QStringLiteral("ru"));
    window.findChild<QPushButton *>(QStringLiteral("rs485_Button"))->click();
    if (!waitFor([&] { return window.globalState() == 0; }, 5000)) {
        qCritical("The connection did not close");
        return 1;
    }
    menu->setCurrentRow(2);
    window.itemSelected(menu->currentIndex());
    auto *table = window.findChild<QTableView *>(QStringLiteral("busTable"));
    auto *scan = window.findChild<QPushButton *>(QStringLiteral("busScanButton"));
    scan->click();
    if (!waitFor([&] { return table->model()->rowCount() >= 8; }, 20000)) {
        qCritical("The search did not list the readers");
        return 1;
    }
    scan->click();
    if (!waitFor([&] { return window.globalState() == 0 && scan->isEnabled(); }, 5000))
        return 1;
    auto *watch = window.findChild<QPushButton *>(QStringLiteral("busWatchButton"));
    if (!waitFor([&] { return watch->isEnabled(); }, 5000))
        return 1;
    watch->click();
    // Two rounds of the bus, shown with the watch's columns scrolled into view.
    pause(3000);
    table->horizontalScrollBar()->setValue(table->horizontalScrollBar()->maximum());
    pause(100);
    if (!save(&window, out + QStringLiteral("/bus-page.png")))
        return 1;
    table->horizontalScrollBar()->setValue(0);
    watch->click();
    if (!waitFor([&] { return window.globalState() == 0 && scan->isEnabled(); }, 5000))
        return 1;

    // The commissioning dialog: a template file, new readers given the addresses 21 to 40 from
    // the factory address 1.
    const QString templatePath = programDir.filePath(QStringLiteral("site.xml"));
    QFile templateFile(templatePath);
    if (!templateFile.open(QIODevice::WriteOnly)
        || templateFile.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<configuration>\n"
                              " <gen_stat_220 param=\"1\"/>\n <pull_up_220 param=\"1\"/>\n"
                              "</configuration>\n")
                   < 0)
        return 1;
    templateFile.close();
    table->clearSelection();
    window.findChild<QPushButton *>(QStringLiteral("commissionButton"))->click();
    QWidget *form = window.findChild<QWidget *>(QStringLiteral("CommissionForm"));
    if (!form)
        return 1;
    form->findChild<QRadioButton *>(QStringLiteral("templateFileRadio"))->setChecked(true);
    form->findChild<QLineEdit *>(QStringLiteral("templateFileEdit"))->setText(templatePath);
    form->findChild<QSpinBox *>(QStringLiteral("firstAddressSpin"))->setValue(21);
    form->findChild<QSpinBox *>(QStringLiteral("lastAddressSpin"))->setValue(40);
    form->findChild<QLineEdit *>(QStringLiteral("noteEdit"))
            ->setText(QStringLiteral("Склад 2, щит А"));
    pause(300);
    if (!save(form, out + QStringLiteral("/bus-commission-form.png")))
        return 1;
    form->findChild<QPushButton *>(QStringLiteral("startCommissionButton"))->click();
    // The reader at the factory address gets 21; then the run asks for the next one.
    auto *end = window.findChild<QPushButton *>(QStringLiteral("commissionButton"));
    auto *status = window.findChild<QLabel *>(QStringLiteral("globalStatusText"));
    if (!waitFor([&] { return status->text() == QStringLiteral("Подключите следующий считыватель"); },
                 20000)) {
        qCritical().noquote() << "The run did not wait for the next reader:" << status->text();
        return 1;
    }
    pause(300);
    if (!save(&window, out + QStringLiteral("/bus-commissioning.png")))
        return 1;
    end->click();
    return waitFor([&] { return end->text() == QStringLiteral("Ввод в работу"); }, 5000) ? 0 : 1;
}
