#pragma once

#include "simframe.h"
#include "simreadergroup.h"
#include "wireline.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

class QSocketNotifier;
class QTimer;

// A pseudo-terminal pair with simulated readers on one bus. The program under test opens the
// device side (devicePath()) like a serial port; the bus reads requests on the master side and
// each reader whose address matches answers after its reply delay. Everything is driven by the
// notifier and timers of the thread the bus lives in, so it never blocks.
class SimBus : public QObject
{
    Q_OBJECT
public:
    explicit SimBus(QObject *parent = nullptr);
    ~SimBus() override;

    // Opens a new pair; with a link path, a symbolic link to the device side is made there (a
    // stale link is replaced, any other file is left alone and the open fails).
    bool open(const QString &linkPath = QString());
    bool isOpen() const { return m_masterFd >= 0; }
    // The link path if one was given, else the device side itself (/dev/pts/N).
    QString devicePath() const;
    QString ptyPath() const { return m_ptyPath; }
    QString errorString() const { return m_error; }
    // Closes the master: the device side then sees the converter pulled. The link is removed.
    void close();

    SimReader *addReader(const SimReaderSettings &settings);
    SimReader *reader(quint8 address) const; // by current address, the first one added
    QList<SimReader *> readers() const;

    // Every request frame cut from the line, in order, whatever its address or checksum.
    QList<QByteArray> requests() const { return m_requests; }
    void clearRequests() { m_requests.clear(); }

    // Requests that came while the bus was not free: an answer to the previous request was still
    // due or being written, or the previous request went unanswered less than kMinRequestGapMs
    // before (a master that did not wait for its answer). On a real half-duplex bus such a
    // request collides with the answer or is never answered.
    int overlappingRequests() const { return m_overlaps; }
    void clearOverlaps() { m_overlaps = 0; }
    // A third of the shortest wait for an answer that a master may take (the configurator's
    // probe of a scan, 45 to 50 ms): the bus reads requests when its thread gets to them, which
    // on a loaded machine may be late for one request and on time for the next. A master that
    // did not wait at all sends its next request within a millisecond.
    static constexpr qint64 kMinRequestGapMs = 15;

    // Raw bytes to the line at once (noise, glued answers) for fault tests.
    void writeRaw(const QByteArray &bytes);

    // Readers answer only when the device side's line speed equals their RS-485 speed, as on a
    // real bus where a wrong speed gives garbage; switched off, they answer at any speed.
    void setIgnoreSpeed(bool ignore) { m_ignoreSpeed = ignore; }
    bool ignoreSpeed() const { return m_ignoreSpeed; }
    // The speed the device side set on the line, 0 when it is not a known rate.
    quint32 lineSpeed() const;

    // Wire timing: every byte, both ways, is delivered when it would have crossed the line at
    // the speed the device side set (10 bit times a byte), where a pseudo-terminal moves it at
    // once; so a program on the bus waits what it would wait on a real RS-485 line. Off by
    // default.
    void setWireTiming(bool on);
    bool wireTiming() const { return m_wireTiming; }

    // The bus clock (ms since construction) that the readers' counters and uptimes run on.
    qint64 nowMs() const { return m_clock.elapsed(); }

signals:
    void requestReceived(const QByteArray &frame);
    // A whole answer, when its last piece has been written.
    void answerSent(const QByteArray &frame);

private:
    void readMaster();
    // Bytes from the device side as they reach the readers, with the bus clock times at which
    // the first and the last of them came off the line.
    void receive(const QByteArray &bytes, qint64 firstMs, qint64 lastMs);
    void handleRequest(const QByteArray &frame);
    void sendAnswer(const SimReaderGroup::Answer &answer);
    void writePieces(quint64 generation, const QByteArray &frame, int start, QList<int> cuts,
                     int gapMs);
    bool writeMaster(const QByteArray &bytes);
    bool writeNow(const QByteArray &bytes);
    // Delivers what has crossed the line by now, and waits for the next byte.
    void deliverWire();
    void scheduleWire();

    int m_masterFd = -1;
    int m_slaveFd = -1; // kept open so that the master never sees a hang-up between users
    QString m_ptyPath;
    QString m_linkPath;
    QString m_error;
    QSocketNotifier *m_notifier = nullptr;
    quint64 m_generation = 0; // answers scheduled for an earlier pair are dropped
    bool m_ignoreSpeed = false;
    QElapsedTimer m_clock;
    bool m_wireTiming = false;
    WireLine m_toReaders;
    WireLine m_toDevice;
    QTimer *m_wireTimer = nullptr;
    qint64 m_lastByteMs = -1;
    RequestCutter m_cutter;
    QList<QByteArray> m_requests;
    int m_overlaps = 0;
    int m_answersDue = 0; // answers scheduled and not yet written whole
    qint64 m_lastRequestMs = -1;
    bool m_lastRequestAnswered = true;
    SimReaderGroup m_readers;
};
