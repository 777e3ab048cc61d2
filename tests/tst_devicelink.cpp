// ctest: threads
#include "chunkqueue.h"
#include "deviceinterface.h"
#include "linkonbus.h"
#include "packparser.h"
#include "testsupport.h"

#include <QSerialPort>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {
// While it lives, this process may not read and write the device node: as root the effective
// user becomes nobody (root's rights ignore file modes), else the node loses its mode.
struct NodeDeniedToUs
{
    explicit NodeDeniedToUs(const QString &node)
        : path(QFile::encodeName(node))
    {
        if (geteuid() == 0) {
            asRoot = true;
            ok = seteuid(65534) == 0;
        } else {
            struct stat st;
            ok = stat(path.constData(), &st) == 0 && chmod(path.constData(), 0) == 0;
            mode = st.st_mode & 07777;
        }
    }
    ~NodeDeniedToUs()
    {
        if (asRoot)
            QVERIFY(seteuid(0) == 0);
        else if (ok)
            chmod(path.constData(), mode);
    }
    QByteArray path;
    bool asRoot = false;
    bool ok = false;
    mode_t mode = 0;
};
} // namespace

// The device link over a real pseudo-terminal: ports, errors, the send and receive paths. How
// answers in pieces, glued answers and a converter pulled out are taken is shown by the fault
// tests of the serial line.
class TestDeviceLink : public QObject
{
    Q_OBJECT
private slots:
    void parserThreadTakesChunksInOrder();
    void openAndClose();
    void longestConsoleCommand();
    void unattendedJobs();
    void unattendedJobCutByLostConverter_data();
    void unattendedJobCutByLostConverter();
    void errorTable_data();
    void errorTable();
    void permissionErrorNamesTheCause_data();
    void permissionErrorNamesTheCause();
};

// The chunks the GUI thread queues are checked and decoded in the parser thread in their order;
// an idle parser thread sleeps until it is stopped.
void TestDeviceLink::parserThreadTakesChunksInOrder()
{
    ChunkQueue queue;
    QThread thread;
    auto *parser = new PackParser(&queue);
    parser->moveToThread(&thread);
    connect(&thread, &QThread::started, parser, &PackParser::startParser);
    connect(parser, &PackParser::finished, &thread, &QThread::quit, Qt::DirectConnection);
    connect(parser, &PackParser::finished, parser, &QObject::deleteLater, Qt::DirectConnection);
    QList<qint32> values;
    connect(parser, &PackParser::InputInfoStatus_220, this,
            [&](INPUT_STAT_220 info) { values << info.value; });
    LogCapture log;
    thread.start();
    QTest::qWait(200);
    QCOMPARE(queue.wakeUps(), quint64(0));

    // Counter answers 0..299: every tenth has a wrong checksum, every seventh (else) two
    // answers glued together; both are dropped as bad data.
    QList<qint32> expected;
    for (qint32 i = 0; i < 300; ++i) {
        QByteArray chunk = QByteArray::fromHex("0108dc850000");
        chunk.append(char(i >> 24)).append(char(i >> 16)).append(char(i >> 8)).append(char(i));
        quint8 sum = 0;
        for (char c : chunk)
            sum ^= quint8(c);
        chunk.append(char(i % 10 == 0 ? sum ^ 1 : sum));
        if (i % 10 != 0 && i % 7 == 0)
            chunk += QByteArray::fromHex("0504dc8000015c");
        else if (i % 10 != 0)
            expected << i;
        queue.append(chunk);
    }
    QTRY_COMPARE_WITH_TIMEOUT(values.size(), expected.size(), 5000);
    QCOMPARE(values, expected);
    QTRY_COMPARE(log.count("BAD DATA!"), 300 - expected.size());
    parser->stopParser();
    QVERIFY(thread.wait(5000));
}

void TestDeviceLink::openAndClose()
{
    LogCapture log;
    LinkOnBus t;
    QVERIFY(t.openPort(19200, 1));
    QVERIFY(t.link.isPortOpen() && t.states.isEmpty());
    QCOMPARE(t.link.connection(), DeviceInterface::Connection::Serial);
    // Outside a job nothing reaches the line.
    t.link.sendCommand_220(0x0100);
    QVERIFY(!t.link.isAnswerTimerActive());
    QVERIFY(!log.contains("Out cmd pack: "));
    t.link.sendTerminalCmd("0100");
    QCOMPARE(t.link.answerTimerInterval(), 5000);
    // Closing stops the answer wait and tells state 0.
    QVERIFY(t.link.isAnswerTimerActive() && !t.link.togglePort());
    QVERIFY(!t.link.isPortOpen() && !t.link.isAnswerTimerActive() && t.link.isIdle());
    QCOMPARE(t.link.connection(), DeviceInterface::Connection::Closed);
    QCOMPARE(t.states, QList<int> {0});

    t.link.setPortName("/nonexistent/zemo-port");
    QVERIFY(!t.link.togglePort() && !t.link.isPortOpen());
    QCOMPARE(countLogLine(log, "Error open Com port:", "/nonexistent/zemo-port"), 1);
    // A device chosen outside the list leaves no port name.
    t.link.setCurrentDevice(3);
    QCOMPARE(t.link.portName(), QString());
}

// The longest console command makes the longest frame; one data byte more is refused before
// the bus (the console tests), and the link then sends the next command as usual.
void TestDeviceLink::longestConsoleCommand()
{
    LinkOnBus t;
    t.addReader(SimReaderSettings());
    QVERIFY(t.openPort());
    t.link.setAnswerTimeoutMs(300);

    // 250 bytes still fit: length byte 0xFD.
    t.link.sendTerminalCmd("0A01" + QString(500, '1'));
    QVERIFY(LinkOnBus::waitFor([&] { return !t.bus.requests().isEmpty(); }, 2000));
    QCOMPARE(t.bus.requests().size(), 1);
    QCOMPARE(t.bus.requests().at(0).size(), 256);
    QCOMPARE(quint8(t.bus.requests().at(0).at(1)), quint8(0xFD));
    QVERIFY(LinkOnBus::waitFor([&] { return t.link.isIdle(); }, 2000));
    t.link.sendTerminalCmd("0100");
    QVERIFY(LinkOnBus::waitFor([&] { return t.bus.requests().size() == 2; }, 2000));
}

// Unattended work on the bus: one identity request to an address, a look of the watch at a
// reader at its own speed, and a silent reader that ends the job instead of asking.
void TestDeviceLink::unattendedJobs()
{
    BoxRecorder boxes;
    LinkOnBus t;
    SimReaderSettings seven;
    seven.address = 7;
    SimReaderSettings nine;
    nine.address = 9;
    nine.speed = 9600;
    t.addReader(seven);
    t.addReader(nine);
    QVERIFY(t.openPort(19200, 1));

    QSignalSpy probes(&t.link, &DeviceInterface::probeAnswered);
    t.link.probeReader(7);
    t.link.probeReader(3); // waits its turn, then nobody answers
    QVERIFY(LinkOnBus::waitFor([&] { return probes.size() == 2; }, 3000));
    QCOMPARE(probes.at(0).at(0).toInt(), 7);
    QVERIFY(probes.at(0).at(1).toBool());
    QCOMPARE(probes.at(0).at(2).value<VERSION_INFO_220>().address, quint8(7));
    QCOMPARE(probes.at(1).at(0).toInt(), 3);
    QVERIFY(!probes.at(1).at(1).toBool());
    QCOMPARE(int(t.link.deviceAddress()), 1);

    QSignalSpy looks(&t.link, &DeviceInterface::readerWatched);
    t.link.watchReader(9, 9600);
    t.link.watchReader(7); // refused: the bus is busy, the next round asks
    QVERIFY(LinkOnBus::waitFor([&] { return looks.size() == 1 && t.link.isIdle(); }, 3000));
    const ReaderStatus status = looks.at(0).at(0).value<ReaderStatus>();
    QCOMPARE(status.address, 9);
    QCOMPARE(status.baud, 9600);
    QVERIFY(status.hasCounter && status.hasUptime && status.answerMs >= 0);
    QCOMPARE(status.silent + status.damaged, 0);
    QCOMPARE(t.link.baudRate(), 19200);
    QCOMPARE(int(t.link.deviceAddress()), 1);
    t.link.watchReader(5); // silent: each question once
    QVERIFY(LinkOnBus::waitFor([&] { return looks.size() == 2 && t.link.isIdle(); }, 3000));
    QCOMPARE(looks.at(1).at(0).value<ReaderStatus>().silent, 2);

    // Unattended, a silent reader ends the read as "not responding" after the resends, without
    // a question; the session stays for the next job.
    t.link.setUnattended(true);
    t.link.setAnswerTimeoutMs(100);
    t.link.setDeviceAddress("3");
    t.states.clear();
    t.link.readConfiguration_220();
    QVERIFY(LinkOnBus::waitFor([&] { return t.states.contains(6); }, 3000));
    QCOMPARE(t.states, (QList<int> {4, 6}));
    QCOMPARE(boxes.describe(), QString());
    QVERIFY(t.link.isIdle());
    QCOMPARE(t.link.connection(), DeviceInterface::Connection::Serial);
}

void TestDeviceLink::unattendedJobCutByLostConverter_data()
{
    QTest::addColumn<bool>("watch");
    QTest::newRow("probe of one address") << false;
    QTest::newRow("look of the watch at another speed") << true;
}

// A probe or a look of the watch talks for a moment to another reader, at its speed. Cut short
// by the converter going, the session that waits for it comes back to its own reader and speed.
void TestDeviceLink::unattendedJobCutByLostConverter()
{
    QFETCH(bool, watch);
    BoxRecorder boxes;
    LinkOnBus t;
    QTemporaryDir dir;
    const QString path = dir.filePath("converter");
    t.bus.close();
    QVERIFY(t.bus.open(path));
    t.addReader(SimReaderSettings());
    SimReaderSettings nine;
    nine.address = 9;
    nine.speed = 9600;
    nine.replyDelayMs = 250; // the converter goes while the reader is asked
    t.addReader(nine);
    QVERIFY(t.openPort(19200, 1));
    t.link.setResumeAfterLoss(5000);
    QSignalSpy resumed(&t.link, &DeviceInterface::sessionResumed);

    if (watch)
        t.link.watchReader(9, 9600);
    else
        t.link.probeReader(9);
    QVERIFY(LinkOnBus::waitFor([&] { return !t.bus.requests().isEmpty(); }, 2000));
    t.bus.close();
    QVERIFY(LinkOnBus::waitFor(
            [&] { return t.link.connection() == DeviceInterface::Connection::SerialLost; }, 2000));
    QVERIFY(t.bus.open(path));
    QVERIFY(LinkOnBus::waitFor([&] { return resumed.size() == 1; }, 3000));
    QCOMPARE(t.link.connection(), DeviceInterface::Connection::Serial);
    QCOMPARE(int(t.link.deviceAddress()), 1);
    QCOMPARE(t.link.baudRate(), 19200);
    QCOMPARE(boxes.describe(), QString());
}

void TestDeviceLink::errorTable_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<bool>("logged"); // "Port error: <name>"
    // What follows, with a reader connected: the port closed, its name cleared, state 0, a box.
    QTest::addColumn<QString>("outcome");
    using E = QSerialPort;
    auto row = [](const char *name, E::SerialPortError error, bool logged, const char *outcome) {
        QTest::newRow(name) << int(error) << logged << outcome;
    };
    const char *all = "closed cleared state0 box";
    row("NoError", E::NoError, false, "");
    // The open port vanished: the window is told, so that it does not show a connection.
    row("DeviceNotFoundError", E::DeviceNotFoundError, true, "closed state0");
    row("PermissionError", E::PermissionError, true, all);
    row("OpenError", E::OpenError, true, "");
    row("ParityError", E::ParityError, false, "");
    row("FramingError", E::FramingError, false, "");
    row("BreakConditionError", E::BreakConditionError, false, "");
    row("WriteError", E::WriteError, true, all);
    row("ReadError", E::ReadError, true, all);
    row("ResourceError", E::ResourceError, true, all);
    row("UnsupportedOperationError", E::UnsupportedOperationError, true, "closed cleared state0");
    row("UnknownError", E::UnknownError, false, "closed cleared state0");
    row("TimeoutError", E::TimeoutError, true, "");
    row("NotOpenError", E::NotOpenError, true, "");
}

void TestDeviceLink::errorTable()
{
    QFETCH(int, error);
    QFETCH(bool, logged);
    QFETCH(QString, outcome);
    BoxRecorder recorder;
    LinkOnBus t;
    QVERIFY(t.openPort());
    LogCapture log;
    t.link.errorHandler(QSerialPort::SerialPortError(error));
    QCOMPARE(log.count("Port error: "), logged ? 1 : 0);
    if (logged)
        QCOMPARE(log.count("Port error: " + QString(QTest::currentDataTag())), 1);
    QStringList got;
    if (!t.link.isPortOpen())
        got << "closed";
    if (t.link.portName().isEmpty())
        got << "cleared";
    if (t.states == QList<int> {0})
        got << "state0";
    if (!recorder.boxes.isEmpty())
        got << "box";
    QCOMPARE(got.join(' '), outcome);
    QVERIFY(recorder.boxes.size() <= 1);
    if (!recorder.boxes.isEmpty())
        QVERIFY(recorder.describe().startsWith("Critical Ошибка | ")
                && recorder.boxes.at(0).parent == nullptr);
}

void TestDeviceLink::permissionErrorNamesTheCause_data()
{
    QTest::addColumn<bool>("denied");
    QTest::addColumn<QString>("box");
    QTest::newRow("node not readable and writable for the user")
            << true
            << "Critical Ошибка | Нет доступа к порту %1.\nДобавьте пользователя в группу dialout "
               "и войдите в систему заново.";
    QTest::newRow("port held by another program")
            << false
            << "Critical Ошибка | Порт занят другой программой.\nЗакройте программу использующую "
               "порт и повторите подключение.";
}

// A port the user may not open and a port another program holds both end in PermissionError;
// the box tells which, so that the engineer on a fresh Linux system learns about the group.
void TestDeviceLink::permissionErrorNamesTheCause()
{
    QFETCH(bool, denied);
    QFETCH(QString, box);
    BoxRecorder recorder;
    LinkOnBus t;
    const QString node = t.bus.devicePath();
    QSerialPort other;
    std::unique_ptr<NodeDeniedToUs> deniedToUs;
    if (denied) {
        deniedToUs.reset(new NodeDeniedToUs(node));
        QVERIFY(deniedToUs->ok);
    } else {
        other.setPortName(node);
        QVERIFY2(other.open(QIODevice::ReadWrite), qPrintable(other.errorString()));
    }
    QVERIFY(!t.openPort());
    deniedToUs.reset();
    // The port's name as the port list shows a system port: without "/dev/".
    QCOMPARE(recorder.describe(), box.arg(QString(node).remove(QRegularExpression("^/dev/"))));
    QCOMPARE(t.link.portName(), QString());
    QCOMPARE(t.states, QList<int> {0});
}

QTEST_GUILESS_MAIN(TestDeviceLink)
#include "tst_devicelink.moc"
