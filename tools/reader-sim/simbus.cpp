#include "simbus.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

// A partial request left this long without a further byte is dropped: a reader's receiver
// starts afresh after a pause on the line.
constexpr qint64 kRequestResetMs = 50;

quint32 baudOf(speed_t code)
{
    switch (code) {
    case B1200:
        return 1200;
    case B2400:
        return 2400;
    case B4800:
        return 4800;
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    case B230400:
        return 230400;
    default:
        return 0;
    }
}

} // namespace

SimBus::SimBus(QObject *parent)
    : QObject(parent)
    , m_wireTimer(new QTimer(this))
{
    m_clock.start();
    m_wireTimer->setSingleShot(true);
    m_wireTimer->setTimerType(Qt::PreciseTimer);
    connect(m_wireTimer, &QTimer::timeout, this, &SimBus::deliverWire);
}

SimBus::~SimBus()
{
    close();
}

bool SimBus::open(const QString &linkPath)
{
    close();
    m_error.clear();

    // Raw line from the start: no echo and no character processing, whoever opens the
    // device side.
    struct termios tio;
    std::memset(&tio, 0, sizeof tio);
    cfmakeraw(&tio);
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    tio.c_cflag |= CLOCAL | CREAD;
    char name[256] = {};
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, name, &tio, nullptr) != 0) {
        m_error = QString("openpty failed: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    const QString pty = QString::fromLocal8Bit(name);

    if (!linkPath.isEmpty()) {
        const QByteArray link = QFile::encodeName(linkPath);
        const QFileInfo existing(linkPath);
        if (existing.isSymLink()) {
            ::unlink(link.constData());
        } else if (existing.exists()) {
            m_error = QString("%1 exists and is not a symbolic link").arg(linkPath);
            ::close(master);
            ::close(slave);
            return false;
        }
        if (::symlink(name, link.constData()) != 0) {
            m_error = QString("cannot link %1 to %2: %3")
                              .arg(linkPath, pty, QString::fromLocal8Bit(std::strerror(errno)));
            ::close(master);
            ::close(slave);
            return false;
        }
    }

    m_masterFd = master;
    m_slaveFd = slave;
    m_ptyPath = pty;
    m_linkPath = linkPath;
    m_cutter.reset();
    m_lastByteMs = -1;
    ++m_generation;
    m_notifier = new QSocketNotifier(m_masterFd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SimBus::readMaster);
    return true;
}

QString SimBus::devicePath() const
{
    return m_linkPath.isEmpty() ? m_ptyPath : m_linkPath;
}

void SimBus::close()
{
    // Answers scheduled for this pair are dropped with it.
    ++m_generation;
    m_answersDue = 0;
    m_lastRequestAnswered = true;
    delete m_notifier;
    m_notifier = nullptr;
    if (m_masterFd >= 0)
        ::close(m_masterFd);
    if (m_slaveFd >= 0)
        ::close(m_slaveFd);
    m_masterFd = -1;
    m_slaveFd = -1;
    // Remove the link only while it still points at this pair: another bus may have taken
    // the path over since.
    if (!m_linkPath.isEmpty() && QFileInfo(m_linkPath).symLinkTarget() == m_ptyPath)
        ::unlink(QFile::encodeName(m_linkPath).constData());
    m_linkPath.clear();
    m_ptyPath.clear();
    m_cutter.reset();
    m_toReaders.clear();
    m_toDevice.clear();
    m_wireTimer->stop();
}

SimReader *SimBus::addReader(const SimReaderSettings &settings)
{
    return m_readers.add(settings, nowMs());
}

SimReader *SimBus::reader(quint8 address) const
{
    return m_readers.byAddress(address);
}

QList<SimReader *> SimBus::readers() const
{
    return m_readers.all();
}

quint32 SimBus::lineSpeed() const
{
    struct termios tio;
    // On a Linux pseudo-terminal the master reports the device side's settings.
    if (m_masterFd < 0 || ::tcgetattr(m_masterFd, &tio) != 0)
        return 0;
    return baudOf(cfgetospeed(&tio));
}

void SimBus::writeRaw(const QByteArray &bytes)
{
    writeMaster(bytes);
}

void SimBus::setWireTiming(bool on)
{
    m_wireTiming = on;
}

bool SimBus::writeMaster(const QByteArray &bytes)
{
    if (m_masterFd < 0)
        return false;
    if (m_wireTiming) {
        m_toDevice.send(bytes, m_clock.nsecsElapsed(), lineSpeed());
        scheduleWire();
        return true;
    }
    return writeNow(bytes);
}

bool SimBus::writeNow(const QByteArray &bytes)
{
    if (m_masterFd < 0)
        return false;
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_masterFd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            qWarning().noquote() << "Simulated bus: write to the line failed:"
                                 << QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
        done += n;
    }
    return true;
}

void SimBus::readMaster()
{
    QByteArray bytes;
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(m_masterFd, buf, sizeof buf);
        if (n > 0) {
            bytes.append(buf, int(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            break;
        // The device side cannot vanish while the bus holds it open; should the line fail
        // anyway, stop listening rather than spin on it.
        qWarning().noquote() << "Simulated bus: the line failed:"
                             << QString::fromLocal8Bit(std::strerror(errno));
        m_notifier->setEnabled(false);
        break;
    }
    if (bytes.isEmpty())
        return;
    if (m_wireTiming) {
        m_toReaders.send(bytes, m_clock.nsecsElapsed(), lineSpeed());
        scheduleWire();
        return;
    }
    receive(bytes, nowMs(), nowMs());
}

void SimBus::receive(const QByteArray &bytes, qint64 firstMs, qint64 lastMs)
{
    if (m_lastByteMs >= 0 && firstMs - m_lastByteMs > kRequestResetMs)
        m_cutter.reset();
    m_lastByteMs = lastMs;
    const QList<QByteArray> frames = m_cutter.feed(bytes);
    for (const QByteArray &frame : frames)
        handleRequest(frame);
}

void SimBus::handleRequest(const QByteArray &frame)
{
    const qint64 now = nowMs();
    // With wire timing an answer is under way until its last byte has crossed the line.
    const bool busy = m_answersDue > 0 || !m_toDevice.isEmpty()
                      || (!m_lastRequestAnswered && m_lastRequestMs >= 0
                          && now - m_lastRequestMs < kMinRequestGapMs);
    if (busy) {
        ++m_overlaps;
        qWarning().noquote() << "Simulated bus: a request while the bus was not free:"
                             << frame.toHex(' ')
                             << QStringLiteral("(%1 ms after the last, %2 answers due)")
                                        .arg(now - m_lastRequestMs)
                                        .arg(m_answersDue);
    }
    m_requests.append(frame);
    emit requestReceived(frame);
    const quint32 speed = m_ignoreSpeed ? 0 : lineSpeed();
    const QList<SimReaderGroup::Answer> answers = m_readers.answer(frame, speed, m_ignoreSpeed, now);
    m_lastRequestMs = now;
    m_lastRequestAnswered = !answers.isEmpty();
    for (const SimReaderGroup::Answer &answer : answers)
        sendAnswer(answer);
}

void SimBus::sendAnswer(const SimReaderGroup::Answer &answer)
{
    const QByteArray &frame = answer.frame;
    const SimReaderSettings &settings = answer.settings;
    // Cut points of the pieces, as even as the frame allows.
    const int pieces = qBound(1, settings.splitPieces, frame.size());
    QList<int> cuts;
    for (int i = 1; i <= pieces; ++i)
        cuts.append(frame.size() * i / pieces);
    const quint64 generation = m_generation;
    const int gap = qMax(0, settings.splitGapMs);
    ++m_answersDue;
    QTimer::singleShot(qMax(0, settings.replyDelayMs), Qt::PreciseTimer, this,
                       [this, generation, frame, cuts, gap] {
                           writePieces(generation, frame, 0, cuts, gap);
                       });
}

// Writes the piece from start up to the first cut and schedules the rest.
void SimBus::writePieces(quint64 generation, const QByteArray &frame, int start, QList<int> cuts,
                         int gapMs)
{
    if (generation != m_generation || cuts.isEmpty())
        return;
    const int end = cuts.takeFirst();
    writeMaster(frame.mid(start, end - start));
    if (cuts.isEmpty()) {
        --m_answersDue;
        emit answerSent(frame);
        return;
    }
    QTimer::singleShot(gapMs, Qt::PreciseTimer, this, [this, generation, frame, end, cuts, gapMs] {
        writePieces(generation, frame, end, cuts, gapMs);
    });
}

void SimBus::deliverWire()
{
    const qint64 now = m_clock.nsecsElapsed();
    const QByteArray toDevice = m_toDevice.takeArrived(now);
    if (!toDevice.isEmpty())
        writeNow(toDevice);
    // A pause is judged by when the bytes crossed the line, not by when this thread got to
    // them: a busy machine must not break a request in two.
    qint64 firstNs = 0;
    qint64 lastNs = 0;
    const QByteArray toReaders = m_toReaders.takeArrived(now, &firstNs, &lastNs);
    if (!toReaders.isEmpty())
        receive(toReaders, firstNs / 1000000, lastNs / 1000000);
    scheduleWire();
}

void SimBus::scheduleWire()
{
    qint64 next = m_toDevice.nextArrivalNs();
    const qint64 nextToReaders = m_toReaders.nextArrivalNs();
    if (next < 0 || (nextToReaders >= 0 && nextToReaders < next))
        next = nextToReaders;
    if (next < 0) {
        m_wireTimer->stop();
        return;
    }
    // Timers count in milliseconds: what arrives within one is delivered together, never early.
    const qint64 waitNs = qMax<qint64>(0, next - m_clock.nsecsElapsed());
    m_wireTimer->start(int((waitNs + 999999) / 1000000));
}
