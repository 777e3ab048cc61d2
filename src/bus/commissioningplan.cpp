#include "commissioningplan.h"

#include "configurationfile.h"

#include <QDomDocument>

#include <algorithm>

const QString CommissioningPlan::AddressElement = QStringLiteral("rs485_addr_220");
const QString CommissioningPlan::SpeedElement = QStringLiteral("rs485_speed_220");

namespace {
constexpr int kMinAddress = 1;
constexpr int kMaxAddress = 254;

// The settings of a document: the address read with the given base, the rest in decimal.
// Elements that are no setting are passed over; false (with the element) for a setting whose
// value is no number.
bool valuesOf(const QDomDocument &doc, int addressBase, CommissioningPlan::Values *values,
              QString *bad)
{
    const QStringList elements = CommissioningPlan::writeOrder();
    for (QDomElement e = doc.documentElement().firstChildElement(); !e.isNull();
         e = e.nextSiblingElement()) {
        if (!elements.contains(e.tagName()))
            continue;
        const QString param = e.attribute(QStringLiteral("param")).trimmed();
        bool ok = false;
        const int value = param.toInt(&ok, e.tagName() == CommissioningPlan::AddressElement
                                                   ? addressBase
                                                   : 10);
        if (!ok) {
            if (bad)
                *bad = e.tagName() + QLatin1Char('=') + param;
            return false;
        }
        values->insert(e.tagName(), value);
    }
    return true;
}
} // namespace

QStringList CommissioningPlan::writeOrder()
{
    return {QStringLiteral("gen_stat_220"), QStringLiteral("pull_up_220"),
            QStringLiteral("gen_mode_220"), SpeedElement, AddressElement};
}

bool CommissioningPlan::templateValues(const QByteArray &xml, const QStringList &speeds,
                                       Values *values, QString *error)
{
    QDomDocument config;
    QDomDocument changes;
    if (!ConfigurationFile::parse(xml, &config, &changes)) {
        *error = tr("шаблон не является файлом конфигурации");
        return false;
    }
    Values found;
    QString bad;
    if (!valuesOf(config, 16, &found, &bad)) {
        *error = tr("значение шаблона не число: %1").arg(bad);
        return false;
    }
    // The template's address is never written: each reader keeps its own or gets the next of
    // the range. It is still a setting that must make sense.
    if (found.contains(AddressElement)) {
        const int address = found.value(AddressElement);
        if (address < kMinAddress || address > kMaxAddress) {
            *error = tr("адрес шаблона вне диапазона %1..%2: %3")
                             .arg(kMinAddress)
                             .arg(kMaxAddress)
                             .arg(address);
            return false;
        }
    }
    if (found.contains(SpeedElement)
        && !speeds.contains(QString::number(found.value(SpeedElement)))) {
        *error = tr("скорость шаблона не из списка %1: %2")
                         .arg(speeds.join(QStringLiteral(", ")))
                         .arg(found.value(SpeedElement));
        return false;
    }
    for (auto it = found.cbegin(); it != found.cend(); ++it) {
        if (it.value() < 0) {
            *error = tr("значение шаблона меньше 0: %1").arg(settingText(it.key(), it.value()));
            return false;
        }
    }
    *values = found;
    return true;
}

CommissioningPlan::Values CommissioningPlan::readValues(const QByteArray &readXml)
{
    QDomDocument doc;
    Values values;
    if (!doc.setContent(readXml, false))
        return values;
    // A read document carries numbers the link formatted; one that is not stays out.
    const QStringList elements = writeOrder();
    for (QDomElement e = doc.documentElement().firstChildElement(); !e.isNull();
         e = e.nextSiblingElement()) {
        if (!elements.contains(e.tagName()))
            continue;
        bool ok = false;
        const int value = e.attribute(QStringLiteral("param")).trimmed().toInt(&ok);
        if (ok)
            values.insert(e.tagName(), value);
    }
    return values;
}

CommissioningPlan::Values CommissioningPlan::expected(const Values &templateValues, int address,
                                                      int baud)
{
    Values out = templateValues;
    out.insert(AddressElement, address);
    if (!out.contains(SpeedElement))
        out.insert(SpeedElement, baud);
    return out;
}

QList<CommissioningPlan::Change> CommissioningPlan::changes(const Values &expected,
                                                            const Values &read)
{
    QList<Change> out;
    for (const QString &element : writeOrder()) {
        if (!expected.contains(element))
            continue;
        const int value = expected.value(element);
        if (!read.contains(element) || read.value(element) != value)
            out.append({element, value});
    }
    return out;
}

QByteArray CommissioningPlan::changesDocument(const QList<Change> &changes)
{
    QDomDocument doc;
    doc.appendChild(doc.createProcessingInstruction(QStringLiteral("xml"),
                                                    QStringLiteral("version=\"1.0\"")));
    QDomElement root = doc.createElement(QStringLiteral("configuration"));
    doc.appendChild(root);
    for (const Change &change : changes) {
        QDomElement e = doc.createElement(change.first);
        e.setAttribute(QStringLiteral("param"), change.first == AddressElement
                                                        ? QString::number(change.second, 16)
                                                        : QString::number(change.second));
        root.appendChild(e);
    }
    return doc.toByteArray(1);
}

QString CommissioningPlan::settingText(const QString &element, int value)
{
    return element + QLatin1Char('=') + QString::number(value);
}

QStringList CommissioningPlan::differences(const Values &expected, const Values &readBack)
{
    QStringList out;
    for (const QString &element : writeOrder()) {
        if (!expected.contains(element))
            continue;
        if (readBack.contains(element) && readBack.value(element) == expected.value(element))
            continue;
        out << QStringLiteral("%1: %2, %3")
                        .arg(element)
                        .arg(expected.value(element))
                        .arg(readBack.contains(element) ? QString::number(readBack.value(element))
                                                        : tr("нет"));
    }
    return out;
}

bool CommissioningPlan::parseRange(const QString &text, int *first, int *last, QString *error)
{
    const QStringList parts = text.trimmed().split(QLatin1Char('-'));
    bool okFirst = false;
    bool okLast = false;
    const int a = parts.value(0).trimmed().toInt(&okFirst);
    const int b = parts.size() == 1 ? a : parts.value(1).trimmed().toInt(&okLast);
    if (parts.size() == 1)
        okLast = okFirst;
    if (parts.size() > 2 || !okFirst || !okLast || a < kMinAddress || b > kMaxAddress || a > b) {
        *error = tr("диапазон адресов задаётся как ОТ-ДО внутри %1..%2: %3")
                         .arg(kMinAddress)
                         .arg(kMaxAddress)
                         .arg(text);
        return false;
    }
    *first = a;
    *last = b;
    return true;
}

bool CommissioningPlan::parseAddressList(const QString &text, QList<int> *addresses, QString *error)
{
    QList<int> out;
    for (const QString &piece : text.split(QLatin1Char(','))) {
        int first = 0;
        int last = 0;
        if (!parseRange(piece, &first, &last, error))
            return false;
        for (int a = first; a <= last; ++a) {
            if (out.contains(a)) {
                *error = tr("адрес %1 указан дважды: %2").arg(a).arg(text);
                return false;
            }
            out << a;
        }
    }
    *addresses = out;
    return true;
}

int CommissioningPlan::median(QList<int> times)
{
    if (times.isEmpty())
        return -1;
    std::sort(times.begin(), times.end());
    const int n = times.size();
    if (n % 2 == 1)
        return times.at(n / 2);
    return (times.at(n / 2 - 1) + times.at(n / 2)) / 2;
}
