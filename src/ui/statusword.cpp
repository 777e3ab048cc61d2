#include "statusword.h"

#include "db_worker.h"

#include <QCoreApplication>

namespace StatusWord {

namespace {
// A text of the bit's description as shown: the database's texts go through the translator.
QString element(const QStringList &description, int index)
{
    return DB_Worker::shownText(description.value(index));
}

// The value text of a bit whose meaning depends on a service setting (bits 2 and 19).
QString serviceValue(bool set, bool configured, const QStringList &description)
{
    if (set)
        return configured ? element(description, 2)
                          : QCoreApplication::translate("StatusCalc", "Не установлено");
    return configured ? QCoreApplication::translate("StatusCalc", "Не задано")
                      : element(description, 1);
}
} // namespace

quint32 parse(const QString &text, bool hex, bool *ok)
{
    bool parsed = false;
    const quint32 value = text.toUInt(&parsed, hex ? 16 : 10);
    if (ok)
        *ok = parsed;
    return parsed ? value : 0;
}

QVector<Row> decode(quint32 value, quint32 supportMask, const QMap<int, QStringList> &bits,
                    ServiceSettings service)
{
    QVector<Row> rows;
    for (int i = 0; i < 32; ++i) {
        const QStringList description = bits.value(i);
        if (description.isEmpty() || !(supportMask & (1u << i)))
            continue;
        const bool set = value & (1u << i);
        Row row;
        row.bit = i;
        row.name = element(description, 0);
        if (i == 2)
            row.value = serviceValue(set, service.main, description);
        else if (i == 19)
            row.value = serviceValue(set, service.alt, description);
        else
            row.value = element(description, set ? 2 : 1);
        rows.append(row);
    }
    return rows;
}

} // namespace StatusWord
