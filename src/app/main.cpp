#include "debuglogwindow.h"
#include "loghandler.h"
#include "mainwindow.h"
#include "resources.h"

#include <QApplication>
#include <QFontDatabase>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
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

    DebugLogWindow *logWindow = nullptr;
    if (console) {
        logWindow = new DebugLogWindow;
        logWindow->show();
    }

    QCoreApplication::addLibraryPath(QStringLiteral("./sqldrivers/"));
    QCoreApplication::addLibraryPath(QStringLiteral("."));

    auto *window = new MainWindow;
    if (window->startupFailed()) {
        delete window;
        delete logWindow;
        return 0;
    }
    if (logWindow) {
        QObject::connect(window, &MainWindow::closeDebugLog, logWindow, &QWidget::close);
        QObject::connect(window, &MainWindow::deleteDebugLog, logWindow, &QObject::deleteLater);
    }
    window->show();
    const int result = app.exec();
    delete window;
    delete logWindow;
    return result;
}
