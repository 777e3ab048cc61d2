#pragma once

#include "busreader.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The bus table as a file: CSV or JSON, one record per reader, in table order. Pure functions.
//
// CSV: UTF-8, a header line, fields separated by commas, lines ended by CRLF; a field with a
// comma, a quote or a line break is quoted with its quotes doubled, and a text field that a
// spreadsheet would take for a formula (=, +, -, @ in front) gets an apostrophe in front. A
// value the reader did not give (no watch yet, no answer) is an empty field.
//
// JSON: an object with "readers", an array of objects; the watch's figures are in "watch",
// present only for a reader the watch has looked at.
class BusExport
{
public:
    enum class Format { Csv, Json };

    static QByteArray toCsv(const QList<BusReader> &readers);
    static QByteArray toJson(const QList<BusReader> &readers);
    static QByteArray encode(const QList<BusReader> &readers, Format format);
    // The format a file name asks for: ".json" (any case) is JSON, everything else CSV.
    static Format formatOf(const QString &fileName);
};
