#pragma once

#include "commissioning.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// The hand-over document of a commissioning run as CSV: pure functions from the run's header
// and records to text. The window's PDF is made from the same values.
//
// The file: UTF-8 with a byte order mark (spreadsheets then read the Cyrillic right), fields
// separated by commas, lines ended by CR LF, a field quoted when it holds a comma, a quote or a
// line break (quotes doubled). First the header as name,value lines, then an empty line, then
// one line of column names and one line per reader.
class CommissionReport
{
    Q_DECLARE_TR_FUNCTIONS(CommissionReport)
public:
    static QByteArray csv(const CommissionHeader &header, const QList<CommissionRecord> &records);

    // One field as the file carries it. A text that a spreadsheet would take for a formula
    // (starting with =, +, -, @, a tab or a carriage return) gets a ' in front: the engineer's
    // note and the readers' answers are data, never something to run.
    static QString field(const QString &text);
    // The names of the columns and the fields of one reader, in the same order.
    static QStringList columns();
    static QStringList row(const CommissionRecord &record);
    // What went wrong with a reader: its differences, then the reason, joined by "; " (empty
    // for a reader without either).
    static QString differencesAndReason(const CommissionRecord &record);
    // The readers that read back as the template has them.
    static int verifiedCount(const QList<CommissionRecord> &records);

    // The verdict as the report shows it ("проверен", ...) and as a word for scripts
    // ("verified", "differs", "failed", "incomplete", "untouched").
    static QString verdictText(CommissionRecord::Verdict verdict);
    static QString verdictKey(CommissionRecord::Verdict verdict);

    // The name of a report file of a run started then: "commissioning-2026-12-07-15-55-00.csv"
    // (with the suffix given); a second run of the same second is number 2
    // ("commissioning-2026-12-07-15-55-00-2.csv"), and so on.
    static QString fileName(const QDateTime &started, const QString &suffix = QStringLiteral("csv"),
                            int number = 1);

    // Date and time as the report writes them: "2026-12-07 15:55:00"; empty for none.
    static QString timeText(const QDateTime &time);
    // The addresses of the range passed over because a reader answered there already,
    // "12, 13" (empty: none).
    static QString occupiedText(const CommissionHeader &header);
};
