#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

// Decoding of the reader's 32-bit status word into named bits.
//
// The description of a bit comes from the device database: element 0 is the parameter name,
// element 1 the text for the bit cleared, element 2 the text for the bit set; a missing element
// reads as empty text.
namespace StatusWord {

struct Row
{
    int bit = 0;
    QString name;
    QString value;
};

// Two service settings of the reader change how bits 2 and 19 read: without the setting a set
// bit reads "not established", with it a cleared bit reads "not configured".
struct ServiceSettings
{
    bool main = false;
    bool alt = false;
};

// The status code typed by the engineer: hexadecimal or decimal digits. A text that is no
// number of that base or does not fit 32 bits ("FF" read as decimal, "9999999999") gives 0 and
// ok false: it is no status word, and nothing is to be decoded from it.
quint32 parse(const QString &text, bool hex, bool *ok = nullptr);

// One row per bit, from bit 0 up, that the firmware supports (supportMask) and the database
// describes (a non-empty list), with the texts as the interface shows them (translated).
QVector<Row> decode(quint32 value, quint32 supportMask, const QMap<int, QStringList> &bits,
                    ServiceSettings service = {});

} // namespace StatusWord
