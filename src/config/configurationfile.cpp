#include "configurationfile.h"

#include <QRegularExpression>
#include <QTextStream>

bool ConfigurationFile::parse(const QByteArray &bytes, QDomDocument *config, QDomDocument *changes)
{
    if (bytes.size() > MaxBytes)
        return false;
    QDomDocument parsedConfig;
    QDomDocument parsedChanges;
    if (!parsedConfig.setContent(bytes)
        || parsedConfig.firstChildElement(QStringLiteral("configuration")).isNull())
        return false;
    if (!parsedChanges.setContent(bytes))
        return false;
    *config = parsedConfig;
    *changes = parsedChanges;
    return true;
}

bool ConfigurationFile::valuesFit(const QDomDocument &config, const ValueLimits &limits)
{
    const QDomElement root = config.firstChildElement(QStringLiteral("configuration"));
    for (QDomElement element = root.firstChildElement(); !element.isNull();
         element = element.nextSiblingElement()) {
        const QString name = element.tagName();
        const QString value = element.attribute(QStringLiteral("param"));
        // The write takes the address and the choices as hexadecimal digits, two to a byte,
        // and the speed as a decimal number: nothing but digits may stand there.
        static const QRegularExpression hexByte(QStringLiteral("^[0-9a-fA-F]{1,2}$"));
        static const QRegularExpression decimal(QStringLiteral("^[0-9]{1,9}$"));
        if (name == QLatin1String("rs485_addr_220")) {
            if (!hexByte.match(value).hasMatch())
                return false;
            const uint address = value.toUInt(nullptr, 16);
            if (address < 1 || address > 254)
                return false;
        } else if (name == QLatin1String("rs485_speed_220")) {
            if (!decimal.match(value).hasMatch()
                || !limits.speeds.contains(QString::number(value.toUInt())))
                return false;
        } else {
            int choices = -1;
            if (name == QLatin1String("gen_stat_220"))
                choices = limits.genStates;
            else if (name == QLatin1String("pull_up_220"))
                choices = limits.pullUps;
            else if (name == QLatin1String("gen_mode_220"))
                choices = limits.genModes;
            // No list before a reader's firmware is known: nothing to hold the index against.
            if (choices <= 0)
                continue;
            if (!decimal.match(value).hasMatch() || value.toInt() >= choices)
                return false;
        }
    }
    return true;
}

QByteArray ConfigurationFile::serialize(const QDomDocument &config)
{
    QByteArray bytes;
    {
        QTextStream out(&bytes);
        config.save(out, 1);
    }
    QDomDocument again;
    QDomDocument againChanges;
    return parse(bytes, &again, &againChanges) ? bytes : QByteArray();
}
