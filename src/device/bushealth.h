#pragma once

#include <QCoreApplication>
#include <QMap>
#include <QMetaType>
#include <QString>

// How the line behaved during one connection: the requests the link put on it and how each
// ended. The link counts, the window and the log file show the counts; counting and formatting
// are here, without timers or I/O.
//
// A request ends with an accepted answer (good), or lost or damaged (bad): a time-out, or an
// answer whose checksum failed. A damaged answer followed by the time-out it leads to is one bad
// request, not two.
class BusHealth
{
    Q_DECLARE_TR_FUNCTIONS(BusHealth)
public:
    // The line is suspect when more than one in ten of the last requests (twenty, or all there
    // were) went unanswered or were answered damaged.
    static constexpr int RecentRequests = 20;

    // A frame went on the line (a resend too).
    void requestSent();
    // The frame in flight is sent again.
    void resent() { ++m_resends; }
    // The answer to the request in flight was taken, this many milliseconds after the request's
    // last byte (negative: not known).
    void answerAccepted(int answerMs);
    void checksumFailed();
    void answerFromOtherAddress() { ++m_otherAddress; }
    void timedOut();

    int requests() const { return m_requests; }
    int answers() const { return m_answers; }
    int checksumErrors() const { return m_checksumErrors; }
    int timeouts() const { return m_timeouts; }
    int resends() const { return m_resends; }
    int otherAddress() const { return m_otherAddress; }
    // Of the answer times in milliseconds (-1 while no answer time is known); the median of an
    // even number of times is the mean of the middle two, rounded down.
    int medianAnswerMs() const;
    int worstAnswerMs() const;
    // The time of the answer taken last, in milliseconds (-1 when not known or none yet).
    int lastAnswerMs() const { return m_lastAnswerMs; }
    bool lineSuspect() const;

    // The status strip's summary: answers of requests, resends and checksum errors; empty
    // before the first request.
    QString summary() const;
    // Every counter and the two answer times, a line each, and the advice when the line is
    // suspect.
    QString details() const;
    // The log file's line, in English: "Bus health: requests 14, answers 12, ...".
    QString logLine() const;

private:
    void judge(bool bad);

    int m_requests = 0;
    int m_answers = 0;
    int m_checksumErrors = 0;
    int m_timeouts = 0;
    int m_resends = 0;
    int m_otherAddress = 0;
    // Answer times: milliseconds -> how many answers took that long. Bounded by the answer
    // time-out, however long a session runs.
    QMap<int, int> m_answerTimes;
    // The outcomes of the last requests, newest in bit 0, a set bit for a bad one.
    quint32 m_recentBad = 0;
    int m_recentCount = 0;
    bool m_judged = true; // the request in flight has its outcome already
    int m_lastAnswerMs = -1;
};

Q_DECLARE_METATYPE(BusHealth)
