#include "configurationfile.h"

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
