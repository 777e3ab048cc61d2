#include "busexport.h"

// The texts of the table are quoted as the commissioning report quotes its own.
#include "commissionreport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

namespace {
QString optionalNumber(bool present, qint64 value)
{
    return present ? QString::number(value) : QString();
}
} // namespace

QByteArray BusExport::toCsv(const QList<BusReader> &readers)
{
    QStringList lines;
    lines << QStringLiteral("address,baud,device_id,device,firmware,supported,answer_ms,damaged,"
                            "looks,counter,uptime_s,last_answer_ms,silent,damaged_watch");
    for (const BusReader &r : readers) {
        const bool looked = r.looks > 0;
        QStringList fields;
        fields << QString::number(r.address) << QString::number(r.baud)
               << QString::number(r.deviceId) << CommissionReport::field(r.deviceName)
               << CommissionReport::field(r.firmware)
               << (r.supported ? QStringLiteral("yes") : QStringLiteral("no"))
               << optionalNumber(r.answerMs >= 0, r.answerMs) << QString::number(r.damaged)
               << QString::number(r.looks) << optionalNumber(r.hasCounter, r.counter)
               << optionalNumber(r.hasUptime, r.uptime)
               << optionalNumber(looked && r.lastAnswerMs >= 0, r.lastAnswerMs)
               << optionalNumber(looked, r.watchSilent) << optionalNumber(looked, r.watchDamaged);
        lines << fields.join(QLatin1Char(','));
    }
    return (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}

QByteArray BusExport::toJson(const QList<BusReader> &readers)
{
    QJsonArray array;
    for (const BusReader &r : readers) {
        QJsonObject o;
        o.insert(QStringLiteral("address"), r.address);
        o.insert(QStringLiteral("baud"), r.baud);
        o.insert(QStringLiteral("deviceId"), r.deviceId);
        o.insert(QStringLiteral("device"), r.deviceName);
        o.insert(QStringLiteral("firmware"), r.firmware);
        o.insert(QStringLiteral("supported"), r.supported);
        o.insert(QStringLiteral("answerMs"),
                 r.answerMs >= 0 ? QJsonValue(r.answerMs) : QJsonValue(QJsonValue::Null));
        o.insert(QStringLiteral("damaged"), r.damaged);
        if (r.looks > 0) {
            QJsonObject w;
            w.insert(QStringLiteral("looks"), r.looks);
            w.insert(QStringLiteral("counter"),
                     r.hasCounter ? QJsonValue(qint64(r.counter)) : QJsonValue(QJsonValue::Null));
            w.insert(QStringLiteral("uptime"),
                     r.hasUptime ? QJsonValue(qint64(r.uptime)) : QJsonValue(QJsonValue::Null));
            w.insert(QStringLiteral("lastAnswerMs"), r.lastAnswerMs >= 0
                                                             ? QJsonValue(r.lastAnswerMs)
                                                             : QJsonValue(QJsonValue::Null));
            w.insert(QStringLiteral("silent"), r.watchSilent);
            w.insert(QStringLiteral("damaged"), r.watchDamaged);
            o.insert(QStringLiteral("watch"), w);
        }
        array.append(o);
    }
    QJsonObject root;
    root.insert(QStringLiteral("readers"), array);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QByteArray BusExport::encode(const QList<BusReader> &readers, Format format)
{
    return format == Format::Json ? toJson(readers) : toCsv(readers);
}

BusExport::Format BusExport::formatOf(const QString &fileName)
{
    return fileName.endsWith(QLatin1String(".json"), Qt::CaseInsensitive) ? Format::Json
                                                                          : Format::Csv;
}
