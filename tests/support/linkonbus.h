#pragma once

#include "db_worker.h"
#include "deviceinterface.h"
#include "simbus.h"
#include "testsupport.h"

#include <QByteArray>
#include <QDomDocument>
#include <QList>
#include <QObject>
#include <QStringList>

#include <functional>

// Log lines are streamed in pieces ("Out cmd pack: " << hex), so blanks between the pieces vary:
// the number of lines that hold the text followed by the value, blanks simplified.
int countLogLine(const LogCapture &log, const QString &text, const QString &value);

// A device link on a simulated reader bus, wired the way the main window wires it: states 3 and 4
// mark the reader connected, and the
// firmware group of a version answer is selected in the shipped devices.db (in a temporary
// program folder). Records what the link reports.
class LinkOnBus : public QObject
{
    Q_OBJECT
public:
    LinkOnBus();
    ~LinkOnBus() override;

    SimReader *addReader(const SimReaderSettings &settings);
    // Port name, speed and reader address as the connection panel hands them over, then opens.
    bool openPort(int baud = 19200, int address = 1);
    // Opens the port and starts a read, as the connection button does.
    bool startRead(int baud = 19200, int address = 1);
    // Runs the event loop until the condition holds or the time is up.
    static bool waitFor(const std::function<bool()> &condition, int timeoutMs);
    // A whole read: opens the port, reads, and waits for the document.
    bool readOnce(int baud = 19200, int address = 1, int timeoutMs = 5000);
    // Makes the link's command list the given one instead of the database's.
    void replaceCommandList(const QList<int> &commands);
    // "name=param" for every element under the root "configuration", in document order.
    static QStringList elementsOf(const QByteArray &xml);
    // Request frames the bus saw, as hexadecimal text ("0103dc0100dd").
    QStringList requestHex() const;
    // The command codes of the requests the bus saw.
    QList<int> requestCodes() const;

    TempProgramDir programDir {true};
    SimBus bus;
    DB_Worker db;
    DeviceInterface link;

    QList<int> states;
    // Each write's end: "refused" when the reader refused a value, then the elements not taken.
    QStringList writesEnded;
    QList<int> progress;
    QList<int> progressMax;
    QStringList console;
    QList<QByteArray> guiDocuments; // the buffer's content at each updateGUI
    QList<QList<int>> foundAddresses;
};
