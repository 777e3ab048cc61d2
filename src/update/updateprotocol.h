#pragma once

#include <QByteArray>
#include <QString>
#include <QTime>

// The update server's text protocol, without sockets: the three JSON requests, the markers of an
// answer, the "WRFILE" chunk messages and their acknowledgements.
//
// A request is one write of UTF-8 text without a line end. The server answers with text markers
// or, for a file, with chunks "WRFILE <f0>,<f1>,<count>;<Base64 data>", each acknowledged with
// "WRFILE=0,<f1>,<count>" (stored) or "WRFILE=1" (wrong size, send it again), and ends a file
// with "complite".
class UpdateProtocol
{
public:
    // The request time stamp: the local time of day as nine digits "hhmmsszzz".
    static QString timeStamp(const QTime &time);

    static QByteArray firmwareCheckRequest(const QString &version, const QString &time,
                                           const QString &device);
    static QByteArray softwareCheckRequest(const QString &version, const QString &time);
    static QByteArray softwareDownloadRequest(const QString &version, const QString &time);

    // The text of one delivery: its bytes up to the first zero byte, one character per byte.
    static QString answerText(const QByteArray &bytes);

    static bool isTransferDone(const QString &text); // "complite"
    static bool isFirmwareUpToDate(const QString &text); // "fw":"up to date"
    static bool isSoftwareUpToDate(const QString &text); // "sw":"up to date"
    static bool isSoftwareOffer(const QString &text); // "sw":"<a.b.c>"
    static bool isChunk(const QString &text); // "WRFILE", any letter case

    // A newer configurator on the server: its version, archive size and archive name.
    struct SoftwareOffer
    {
        QString version;
        qint64 size = 0;
        QString fileName;
    };
    static SoftwareOffer parseSoftwareOffer(const QString &text, const QByteArray &bytes);

    // One chunk message cut into its parts. Missing parts are empty; a count that is no number
    // is 0. matches() tells whether the decoded data has the announced size.
    struct Chunk
    {
        QString echo; // header field 1, returned in the acknowledgement
        QString countText;
        int count = 0;
        QByteArray data;
        bool matches() const { return data.size() == count; }
    };
    static Chunk parseChunk(const QString &text);

    static QByteArray chunkAccepted(const Chunk &chunk);
    static QByteArray chunkRejected();

    // The message of a failed download names the URL, user and password included: keep the
    // credentials out of the log.
    static QString withoutCredentials(const QString &text);
};
