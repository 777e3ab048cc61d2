#pragma once

#include "commissioning.h"

#include <QCoreApplication>
#include <QList>
#include <QString>

// The hand-over document of a commissioning run as a PDF: a header (date, template, program
// version, mode, the engineer's note) and one row per reader (time, address and firmware before
// and after, settings written, verdict, and the line's health while it was served). Laid out by
// a text document and printed by the PDF writer; no other library. Its words and dates are the
// CSV report's.
class CommissionReportPdf
{
    Q_DECLARE_TR_FUNCTIONS(CommissionReportPdf)
public:
    // The document's HTML; every text from the run or the engineer is escaped.
    static QString html(const CommissionHeader &header, const QList<CommissionRecord> &records);
    // Writes the PDF; false, with the reason in *error, when the file cannot be written.
    static bool writePdf(const QString &path, const CommissionHeader &header,
                         const QList<CommissionRecord> &records, QString *error = nullptr);
    // The folder of the reports: "reports" in the program's data folder (made when missing).
    static QString reportsDir();
};
