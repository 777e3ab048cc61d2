#include "linkonbus.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

int countLogLine(const LogCapture &log, const QString &text, const QString &value)
{
    const QString wanted = (text + QLatin1Char(' ') + value).simplified();
    int n = 0;
    for (const QString &line : log.lines()) {
        if (line.simplified().contains(wanted))
            ++n;
    }
    return n;
}

LinkOnBus::LinkOnBus()
{
    bus.open();
    db.checkDb();
    connect(&link, &DeviceInterface::changeDeviceStatus, this,
            [this](int code) { states.append(code); });
    connect(&link, &DeviceInterface::setProgress, this, [this](int v) { progress.append(v); });
    connect(&link, &DeviceInterface::writeEnded, this,
            [this](const QStringList &notTaken, bool refused) {
                writesEnded.append(((refused ? QStringList {"refused"} : QStringList()) + notTaken)
                                           .join(' '));
            });
    connect(&link, &DeviceInterface::setProgressMax, this, [this](int v) { progressMax.append(v); });
    connect(&link, &DeviceInterface::printToTerminal, this,
            [this](const QString &text) { console.append(text); });
    connect(&link, &DeviceInterface::updateGUI, this,
            [this](QBuffer *buffer) { guiDocuments.append(buffer->data()); });
    connect(&link, &DeviceInterface::fillFoundAddrs, this,
            [this](const QList<int> &found) { foundAddresses.append(found); });
    connect(&link, &DeviceInterface::setCurrentFwVer, this,
            [this](const QString &fwVer, const QString &, const QString &devId, const QString &) {
                db.setCurrentFwGroup(db.getFwGroup(fwVer, devId));
            });
    connect(&link, &DeviceInterface::getSupportedCommands, &db, &DB_Worker::getCommandList,
            Qt::DirectConnection);
}

LinkOnBus::~LinkOnBus() = default;

SimReader *LinkOnBus::addReader(const SimReaderSettings &settings)
{
    return bus.addReader(settings);
}

bool LinkOnBus::openPort(int baud, int address)
{
    link.setPortName(bus.devicePath());
    link.setBaudRate(baud);
    link.setDeviceAddress(QString::number(address));
    return link.togglePort();
}

bool LinkOnBus::startRead(int baud, int address)
{
    if (!openPort(baud, address))
        return false;
    link.readConfiguration_220();
    return true;
}

bool LinkOnBus::waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        // Wait in the event loop, never in a sleep: the bus and the link share this thread and
        // their timers must fire on time.
        QEventLoop loop;
        QTimer::singleShot(2, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

QStringList LinkOnBus::requestHex() const
{
    QStringList frames;
    for (const QByteArray &frame : bus.requests())
        frames << QString::fromLatin1(frame.toHex());
    return frames;
}

QList<int> LinkOnBus::requestCodes() const
{
    QList<int> codes;
    for (const QByteArray &frame : bus.requests()) {
        if (frame.size() >= 5)
            codes << ((quint8(frame.at(3)) << 8) | quint8(frame.at(4)));
    }
    return codes;
}

bool LinkOnBus::readOnce(int baud, int address, int timeoutMs)
{
    const int before = guiDocuments.size();
    return startRead(baud, address)
           && waitFor([&] { return guiDocuments.size() > before; }, timeoutMs);
}

void LinkOnBus::replaceCommandList(const QList<int> &commands)
{
    disconnect(&link, &DeviceInterface::getSupportedCommands, nullptr, nullptr);
    connect(
            &link, &DeviceInterface::getSupportedCommands, this, [commands] { return commands; },
            Qt::DirectConnection);
}

QStringList LinkOnBus::elementsOf(const QByteArray &xml)
{
    QDomDocument doc;
    if (!doc.setContent(xml))
        return {QStringLiteral("<unparsable>")};
    QStringList out;
    if (doc.documentElement().tagName() != QLatin1String("configuration"))
        out << QStringLiteral("<root %1>").arg(doc.documentElement().tagName());
    for (QDomElement e = doc.documentElement().firstChildElement(); !e.isNull();
         e = e.nextSiblingElement())
        out << e.tagName() + QLatin1Char('=') + e.attribute(QStringLiteral("param"));
    return out;
}
