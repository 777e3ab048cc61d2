#include "commissionreport.h"

namespace {
const char kLineEnd[] = "\r\n";

QString joinFields(const QStringList &fields)
{
    QStringList out;
    for (const QString &f : fields)
        out << CommissionReport::field(f);
    return out.join(QLatin1Char(','));
}

QString numberOrEmpty(int value)
{
    return value > 0 ? QString::number(value) : QString();
}
} // namespace

QString CommissionReport::field(const QString &text)
{
    QString value = text;
    if (!value.isEmpty()) {
        const QChar first = value.at(0);
        if (first == QLatin1Char('=') || first == QLatin1Char('+') || first == QLatin1Char('-')
            || first == QLatin1Char('@') || first == QLatin1Char('\t')
            || first == QLatin1Char('\r'))
            value.prepend(QLatin1Char('\''));
    }
    if (value.contains(QLatin1Char(',')) || value.contains(QLatin1Char('"'))
        || value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r'))) {
        value.replace(QLatin1String("\""), QLatin1String("\"\""));
        value = QLatin1Char('"') + value + QLatin1Char('"');
    }
    return value;
}

QString CommissionReport::timeText(const QDateTime &time)
{
    return time.isValid() ? time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString();
}

QString CommissionReport::verdictText(CommissionRecord::Verdict verdict)
{
    switch (verdict) {
    case CommissionRecord::Verified:
        return tr("проверен");
    case CommissionRecord::Differs:
        return tr("отличается");
    case CommissionRecord::Failed:
        return tr("не настроен");
    case CommissionRecord::Incomplete:
        return tr("не закончен");
    case CommissionRecord::Untouched:
        break;
    }
    return tr("не затронут");
}

QString CommissionReport::verdictKey(CommissionRecord::Verdict verdict)
{
    switch (verdict) {
    case CommissionRecord::Verified:
        return QStringLiteral("verified");
    case CommissionRecord::Differs:
        return QStringLiteral("differs");
    case CommissionRecord::Failed:
        return QStringLiteral("failed");
    case CommissionRecord::Incomplete:
        return QStringLiteral("incomplete");
    case CommissionRecord::Untouched:
        break;
    }
    return QStringLiteral("untouched");
}

QStringList CommissionReport::columns()
{
    return {tr("Время"),          tr("Адрес до"),   tr("Адрес после"),         tr("Скорость до"),
            tr("Скорость после"), tr("Устройство"), tr("Прошивка до"),         tr("Прошивка после"),
            tr("Записано"),       tr("Итог"),       tr("Отличия или причина"), tr("Ответов"),
            tr("Повторов"),       tr("Ошибок КС"),  tr("Медиана ответа, мс")};
}

QString CommissionReport::differencesAndReason(const CommissionRecord &record)
{
    QStringList why = record.differences;
    if (!record.reason.isEmpty())
        why << record.reason;
    return why.join(QStringLiteral("; "));
}

int CommissionReport::verifiedCount(const QList<CommissionRecord> &records)
{
    int verified = 0;
    for (const CommissionRecord &record : records)
        verified += record.verdict == CommissionRecord::Verified ? 1 : 0;
    return verified;
}

QStringList CommissionReport::row(const CommissionRecord &record)
{
    return {timeText(record.time),
            numberOrEmpty(record.addressBefore),
            numberOrEmpty(record.addressAfter),
            numberOrEmpty(record.baudBefore),
            numberOrEmpty(record.baudAfter),
            record.device,
            record.firmwareBefore,
            record.firmwareAfter,
            record.written.join(QStringLiteral("; ")),
            verdictText(record.verdict),
            differencesAndReason(record),
            QString::number(record.answers),
            QString::number(record.resends),
            QString::number(record.checksumErrors),
            record.medianAnswerMs >= 0 ? QString::number(record.medianAnswerMs) : QString()};
}

QByteArray CommissionReport::csv(const CommissionHeader &header,
                                 const QList<CommissionRecord> &records)
{
    QStringList lines;
    lines << joinFields({tr("Отчёт о вводе модулей в работу")});
    lines << joinFields({tr("Начало"), timeText(header.started)});
    lines << joinFields({tr("Конец"), timeText(header.ended)});
    lines << joinFields({tr("Шаблон"), header.templateName});
    lines << joinFields({tr("Режим"), header.mode});
    if (!header.firmware.isEmpty())
        lines << joinFields({tr("Прошивка"), header.firmware});
    if (!header.occupied.isEmpty())
        lines << joinFields({tr("Пропущены занятые адреса"), occupiedText(header)});
    lines << joinFields({tr("Версия программы"), header.programVersion});
    lines << joinFields({tr("Примечание"), header.note});
    lines << QString();
    lines << joinFields(columns());
    for (const CommissionRecord &record : records)
        lines << joinFields(row(record));
    const QString text = lines.join(QLatin1String(kLineEnd)) + QLatin1String(kLineEnd);
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

QString CommissionReport::fileName(const QDateTime &started, const QString &suffix, int number)
{
    const QString numbered = number > 1 ? QStringLiteral("-%1").arg(number) : QString();
    return QStringLiteral("commissioning-%1%2.%3")
            .arg(started.toString(QStringLiteral("yyyy-MM-dd-HH-mm-ss")), numbered, suffix);
}

QString CommissionReport::occupiedText(const CommissionHeader &header)
{
    QStringList addresses;
    for (int address : header.occupied)
        addresses << QString::number(address);
    return addresses.join(QStringLiteral(", "));
}
