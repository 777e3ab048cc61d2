#pragma once

class QCoreApplication;

// Makes SIGINT and SIGTERM end the application's event loop, so that a tool closes what it
// opened (a pseudo-terminal link, a listening socket) before it exits.
bool quitOnStopSignals(QCoreApplication *app);
