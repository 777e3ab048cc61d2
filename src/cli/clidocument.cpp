#include "clidocument.h"

namespace {
struct Key
{
    const char *key;
    const char *element;
    const char *formList; // the form's box, which names the list in devices.db
};
const Key kKeys[] = {
        {"address", "rs485_addr_220", ""},
        {"speed", "rs485_speed_220", "setBaudComboBox"},
        {"gen", "gen_stat_220", "genComboBox"},
        {"genmode", "gen_mode_220", "genTypeComboBox"},
        {"pullup", "pull_up_220", "pullUpComboBox"},
};

const Key *findKey(const QString &key)
{
    for (const Key &k : kKeys) {
        if (key == QLatin1String(k.key))
            return &k;
    }
    return nullptr;
}

constexpr int kMinAddress = 1;
constexpr int kMaxAddress = 254;

// The choices of a list with the indexes to type, each as index, blank, item.
QString numbered(const QStringList &items)
{
    QStringList out;
    for (int i = 0; i < items.size(); ++i)
        out << QString::number(i) + QLatin1Char(' ') + items.at(i);
    return out.join(QStringLiteral(", "));
}
} // namespace

QStringList CliDocument::keys()
{
    QStringList out;
    for (const Key &k : kKeys)
        out << QLatin1String(k.key);
    return out;
}

QString CliDocument::elementOf(const QString &key)
{
    const Key *k = findKey(key);
    return k ? QLatin1String(k->element) : QString();
}

QString CliDocument::keyOf(const QString &element)
{
    for (const Key &k : kKeys) {
        if (element == QLatin1String(k.element))
            return QLatin1String(k.key);
    }
    return QString();
}

QString CliDocument::formListOf(const QString &key)
{
    const Key *k = findKey(key);
    return k ? QLatin1String(k->formList) : QString();
}

QStringList CliDocument::formItems(const QStringList &elements)
{
    QStringList items;
    for (const QString &element : elements)
        items << element.section(QLatin1Char(':'), 0, 0);
    return items;
}

QString CliDocument::checkSetting(const CliSetting &setting, const QStringList &baudList)
{
    if (!findKey(setting.key))
        return tr("неизвестный ключ %1 (ключи: %2)")
                .arg(setting.key, keys().join(QStringLiteral(", ")));
    const QString value = setting.value.trimmed();
    bool number = false;
    const int n = value.toInt(&number);
    if (setting.key == QLatin1String("address")) {
        if (!number || n < kMinAddress || n > kMaxAddress)
            return tr("адрес вне диапазона %1..%2: %3").arg(kMinAddress).arg(kMaxAddress).arg(value);
    } else if (setting.key == QLatin1String("speed")) {
        if (!number || !baudList.contains(QString::number(n)))
            return tr("скорость не из списка %1: %2").arg(baudList.join(QStringLiteral(", ")), value);
    } else if (value.isEmpty()) {
        return tr("пустое значение ключа %1").arg(setting.key);
    } else if (number && n < 0) {
        return tr("номер варианта ключа %1 меньше 0: %2").arg(setting.key, value);
    }
    return QString();
}

QString CliDocument::paramOf(const CliSetting &setting, const QMap<QString, QStringList> &lists,
                             QString *error)
{
    error->clear();
    const QString value = setting.value.trimmed();
    bool number = false;
    const int n = value.toInt(&number);
    if (setting.key == QLatin1String("address")) {
        if (number && n >= kMinAddress && n <= kMaxAddress)
            return QString::number(n, 16);
        *error = tr("адрес вне диапазона %1..%2: %3").arg(kMinAddress).arg(kMaxAddress).arg(value);
        return QString();
    }
    const QStringList items = lists.value(setting.key);
    if (setting.key == QLatin1String("speed")) {
        if (number && items.contains(QString::number(n)))
            return QString::number(n);
        *error = tr("скорость %1 не из списка прошивки модуля: %2")
                         .arg(value, items.join(QStringLiteral(", ")));
        return QString();
    }
    if (!findKey(setting.key)) {
        *error = tr("неизвестный ключ %1 (ключи: %2)")
                         .arg(setting.key, keys().join(QStringLiteral(", ")));
        return QString();
    }
    int index = number ? n : -1;
    if (!number) {
        for (int i = 0; i < items.size() && index < 0; ++i) {
            if (items.at(i).compare(value, Qt::CaseInsensitive) == 0)
                index = i;
        }
    }
    if (index >= 0 && index < items.size())
        return QString::number(index);
    *error = tr("значение %1 не из вариантов ключа %2: %3").arg(value, setting.key, numbered(items));
    return QString();
}

bool CliDocument::settingOf(const QDomElement &element, CliSetting *setting)
{
    const QString key = keyOf(element.tagName());
    if (key.isEmpty())
        return false;
    const QString param = element.attribute(QStringLiteral("param")).trimmed();
    setting->key = key;
    setting->value = param;
    if (key == QLatin1String("address")) {
        bool ok = false;
        const int address = param.toInt(&ok, 16);
        if (ok)
            setting->value = QString::number(address);
    }
    return true;
}

QMap<QString, int> CliDocument::valuesOf(const QDomDocument &doc)
{
    QMap<QString, int> values;
    for (QDomElement e = doc.documentElement().firstChildElement(); !e.isNull();
         e = e.nextSiblingElement()) {
        CliSetting setting;
        bool ok = false;
        if (settingOf(e, &setting)) {
            const int value = setting.value.toInt(&ok);
            if (ok)
                values.insert(setting.key, value);
        }
    }
    return values;
}

QDomDocument CliDocument::fromRead(const QByteArray &readXml)
{
    QDomDocument doc;
    if (!doc.setContent(readXml))
        return QDomDocument();
    // The read sequence writes the address in decimal, the window keeps it hexadecimal.
    QDomElement address = doc.documentElement().firstChildElement(
            elementOf(QStringLiteral("address")));
    if (!address.isNull()) {
        bool ok = false;
        const int value = address.attribute(QStringLiteral("param")).toInt(&ok, 10);
        if (ok)
            address.setAttribute(QStringLiteral("param"), QString::number(value, 16));
    }
    return doc;
}

void CliDocument::setParameter(QDomDocument &doc, const QString &element, const QString &param)
{
    if (doc.isNull()) {
        doc.appendChild(
                doc.createProcessingInstruction(QStringLiteral("xml"),
                                                QStringLiteral(
                                                        "version=\"1.0\" encoding=\"UTF-8\"")));
        doc.appendChild(doc.createElement(QStringLiteral("configuration")));
    }
    QDomElement root = doc.documentElement();
    const QDomElement old = root.firstChildElement(element);
    if (!old.isNull())
        root.removeChild(old);
    QDomElement added = doc.createElement(element);
    added.setAttribute(QStringLiteral("param"), param);
    root.appendChild(added);
}
