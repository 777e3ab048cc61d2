// Remote configuration through the configuration server: the login dialog and disconnecting.
#include "mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::startRemoteConfig() { }
