#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

// The settings of one simulated model-220 reader: what it reports and how it misbehaves.
struct SimReaderSettings
{
    quint8 address = 1; // RS-485 address
    quint16 deviceId = 220; // device id (model number)
    QString firmware = "1.3.2"; // a.b.c, each number 0..255
    quint32 speed = 19200; // RS-485 speed in baud
    quint8 genState = 0, pullUp = 0, genMode = 0;
    qint32 counter = 0; // counter value when the clock starts; rises by counterPerSecond
    int counterPerSecond = 1;
    quint32 uptime = 0; // seconds at start; runs with the clock

    // Fault switches.
    int silentRequests = 0; // ignore the next N requests addressed to this reader
    bool badChecksum = false; // answers carry a wrong checksum: ...
    int badChecksumEvery = 1; // ... every this many (1 each answer, 3 every third)
    int splitPieces = 1; // write each answer in this many pieces ...
    int splitGapMs = 0; // ... with this gap between them
    int replyDelayMs = 2; // delay between the request's last byte and the answer
    quint8 rejectWrites = 0; // non-zero: write commands are answered with this result byte
    int rebootSilenceMs = 1000; // after a reboot the reader is silent this long
    bool answerAsAddress = false;
    quint8 answerAddress = 0; // with answerAsAddress: the address put in every answer

    // Model 200 (device id 200) takes firmware uploads: 0x0A00 prepares its update area,
    // 0x0A01 stores a page (index, 128 bytes), 0x0A02 checks the image; the next reboot starts
    // the new firmware, which then reports upgradeFirmware (empty: the build number plus one).
    QString upgradeFirmware;
    quint8 prepareStatus = 0; // non-zero: 0x0A00 is refused with this status
    int rejectPages = 0; // refuse the next N pages with status 1
    quint8 checkStatus = 0; // non-zero: 0x0A02 answers this status whatever it received
};

// One model-220 reader without any I/O: a request frame in, an answer frame out. Time comes
// from the caller in milliseconds on any clock that only runs forward.
class SimReader
{
public:
    // Result byte of a write whose data the reader cannot take (wrong size, unknown speed,
    // address outside 1..254).
    static constexpr quint8 kBadValue = 1;

    explicit SimReader(const SimReaderSettings &settings, qint64 startMs = 0);

    // The answer frame (checksum included) to one request frame, or empty when the reader
    // stays silent: a frame for another address, a wrong checksum or marker, a request it is
    // told to ignore, or any request while it reboots.
    QByteArray answer(const QByteArray &request, qint64 nowMs);

    // Live values: writes change them; address and speed change at the next reboot.
    SimReaderSettings &settings() { return m_settings; }
    const SimReaderSettings &settings() const { return m_settings; }

    qint32 counterAt(qint64 nowMs) const;
    quint32 uptimeAt(qint64 nowMs) const;
    bool isRebooting(qint64 nowMs) const { return nowMs < m_silentUntilMs; }
    // A written address or speed that waits for the next reboot; 0 when none.
    quint8 pendingAddress() const { return m_pendingAddress; }
    quint32 pendingSpeed() const { return m_pendingSpeed; }
    int rebootCount() const { return m_reboots; }

    // Model 200: the update area as received (0xFF where no page came) and the page indexes in
    // arrival order, both kept until the next preparation; whether a checked image waits for
    // the next reboot.
    bool acceptsFirmware() const { return m_settings.deviceId == 200; }
    QByteArray updateArea() const { return m_updateArea; }
    QList<int> receivedPages() const { return m_receivedPages; }
    bool hasCheckedImage() const { return m_imageChecked; }

private:
    QByteArray answerTo(quint16 code, const QByteArray &data, qint64 nowMs);
    quint8 write(quint16 code, const QByteArray &data);
    void reboot(qint64 nowMs);
    quint8 firmwareStep(quint16 code, const QByteArray &data);
    qint64 runningSeconds(qint64 nowMs) const;

    SimReaderSettings m_settings;
    qint64 m_clockStartMs;
    qint64 m_silentUntilMs = 0;
    quint8 m_pendingAddress = 0;
    quint32 m_pendingSpeed = 0;
    int m_reboots = 0;
    int m_answers = 0; // answers given, for the damaged every so many
    QByteArray m_updateArea;
    QList<int> m_receivedPages;
    bool m_imageChecked = false;
};
