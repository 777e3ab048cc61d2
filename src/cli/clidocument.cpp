#include "clidocument.h"

#include "configurationfile.h"

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
// The items with their numbers and, in brackets, their other names: "0 <item> (<name>), ...".
QString numbered(const QStringList &items, const CliDocument::OtherNames &otherNames = {})
{
    QStringList out;
    for (int i = 0; i < items.size(); ++i) {
        QString item = QString::number(i) + QLatin1Char(' ') + items.at(i);
        const QStringList others = otherNames ? otherNames(items.at(i)) : QStringList();
        if (!others.isEmpty())
            item += QStringLiteral(" (") + others.join(QStringLiteral(", ")) + QLatin1Char(')');
        out << item;
    }
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
    if (value.isEmpty())
        return tr("пустое значение ключа %1").arg(setting.key);
    bool number = false;
    const int n = value.toInt(&number);
    if (setting.key == QLatin1String("address") || setting.key == QLatin1String("speed")) {
        // Without the reader's lists the speeds are the link's.
        QMap<QString, QStringList> lists;
        lists.insert(QStringLiteral("speed"), baudList);
        QString error;
        QDomDocument doc;
        setParameter(doc, elementOf(setting.key), paramOf(setting, lists, &error));
        return error.isEmpty() ? misfit(doc, lists) : error;
    }
    if (number && n < 0)
        return tr("номер варианта ключа %1 меньше 0: %2").arg(setting.key, value);
    return QString();
}

QString CliDocument::paramOf(const CliSetting &setting, const QMap<QString, QStringList> &lists,
                             QString *error, const OtherNames &otherNames)
{
    error->clear();
    const QString value = setting.value.trimmed();
    bool number = false;
    const int n = value.toInt(&number);
    if (setting.key == QLatin1String("address")) {
        if (number)
            return QString::number(n, 16);
        *error = tr("адрес не число: %1").arg(value);
        return QString();
    }
    if (setting.key == QLatin1String("speed")) {
        if (number)
            return QString::number(n);
        *error = tr("скорость не число: %1").arg(value);
        return QString();
    }
    if (number)
        return QString::number(n);
    const QStringList items = lists.value(setting.key);
    for (int i = 0; i < items.size(); ++i) {
        if (items.at(i).compare(value, Qt::CaseInsensitive) == 0)
            return QString::number(i);
    }
    // The item's own text first: a translation that happens to equal another item's text does
    // not take its place.
    if (otherNames) {
        for (int i = 0; i < items.size(); ++i) {
            for (const QString &name : otherNames(items.at(i))) {
                if (name.compare(value, Qt::CaseInsensitive) == 0)
                    return QString::number(i);
            }
        }
    }
    *error = tr("значение %1 не из вариантов ключа %2: %3")
                     .arg(value, setting.key, numbered(items, otherNames));
    return QString();
}

QString CliDocument::misfit(const QDomDocument &doc, const QMap<QString, QStringList> &lists)
{
    ConfigurationFile::ValueLimits limits;
    limits.speeds = lists.value(QStringLiteral("speed"));
    limits.genStates = lists.value(QStringLiteral("gen")).size();
    limits.genModes = lists.value(QStringLiteral("genmode")).size();
    limits.pullUps = lists.value(QStringLiteral("pullup")).size();
    // The window's own check, element by element, so that the error can name the value.
    for (QDomElement e = doc.documentElement().firstChildElement(); !e.isNull();
         e = e.nextSiblingElement()) {
        QDomDocument single;
        setParameter(single, e.tagName(), e.attribute(QStringLiteral("param")));
        CliSetting setting;
        if (ConfigurationFile::valuesFit(single, limits) || !settingOf(e, &setting))
            continue;
        if (setting.key == QLatin1String("address"))
            return tr("адрес вне диапазона %1..%2: %3")
                    .arg(kMinAddress)
                    .arg(kMaxAddress)
                    .arg(setting.value);
        if (setting.key == QLatin1String("speed"))
            return tr("скорость не из списка %1: %2")
                    .arg(limits.speeds.join(QStringLiteral(", ")), setting.value);
        return tr("значение %1 не из вариантов ключа %2: %3")
                .arg(setting.value, setting.key, numbered(lists.value(setting.key)));
    }
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
