#include "debuglogwindow.h"
#include "loghandler.h"
#include "mainwindow.h"
#include "resources.h"

#include <QApplication>
#include <QFontDatabase>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // What the start banner, the about box and the update check report.
    QCoreApplication::setApplicationVersion(QStringLiteral(ZEMO_VERSION));
    initZemoResources();
    QFontDatabase::addApplicationFont(QStringLiteral(":/font/font/ptsans.ttf"));

    bool console = false;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("-log")) {
            LogHandler::removeLogFile();
            LogHandler::install();
        } else if (args.at(i) == QLatin1String("-console")) {
            LogHandler::install();
            console = true;
        }
    }

    if (console)
        (new DebugLogWindow)->show();

    QCoreApplication::addLibraryPath(QStringLiteral("./sqldrivers/"));
    QCoreApplication::addLibraryPath(QStringLiteral("."));

    // The debug log window is reached through its instance only: deleteDebugLog may dispose of
    // it before the end, which must then not free it a second time.
    auto *window = new MainWindow;
    if (window->startupFailed()) {
        delete window;
        DebugLogWindow::destroyInstance();
        return 0;
    }
    window->attachDebugLog(DebugLogWindow::instance());
    window->show();
    const int result = app.exec();
    delete window;
    DebugLogWindow::destroyInstance();
    return result;
}
