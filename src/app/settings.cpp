#include "settings.h"

#include "apppaths.h"

#include <QSettings>

QString settingsFilePath()
{
    return AppPaths::dataFilePath(QStringLiteral("settings.conf"));
}

QVariant readSetting(const QString &group, const QString &key)
{
    QSettings settings(settingsFilePath(), QSettings::IniFormat);
    return settings.value(group + QLatin1Char('/') + key);
}

void writeSetting(const QString &group, const QString &key, const QVariant &value)
{
    QSettings settings(settingsFilePath(), QSettings::IniFormat);
    settings.setValue(group + QLatin1Char('/') + key, value);
    settings.sync();
}

QString languageForLocale(const QString &localeName)
{
    return localeName == QLatin1String("ru_RU") ? QStringLiteral("ru") : QStringLiteral("en");
}

QString languageForEnvironment(const QByteArray &lcAll, const QByteArray &lcMessages,
                               const QByteArray &lang)
{
    QByteArray locale = lang;
    if (!lcAll.isEmpty())
        locale = lcAll;
    else if (!lcMessages.isEmpty())
        locale = lcMessages;
    // "ru_RU.UTF-8", "ru_UA@modifier", "ru": the language is what comes before '_', '.' or '@'.
    int end = 0;
    while (end < locale.size() && locale.at(end) != '_' && locale.at(end) != '.'
           && locale.at(end) != '@')
        ++end;
    return locale.left(end) == "ru" ? QStringLiteral("ru") : QStringLiteral("en");
}

QString startupLanguage(const QString &systemLocaleName)
{
    const QVariant stored = readSetting(QStringLiteral("Language"), QStringLiteral("lang"));
    if (!stored.isNull())
        return stored.toString();
    const QString code = languageForLocale(systemLocaleName);
    writeSetting(QStringLiteral("Language"), QStringLiteral("lang"), code);
    return code;
}

QString translationFilePath(const QString &code)
{
    return AppPaths::programFilePath(QStringLiteral("translations/") + code + QStringLiteral(".qm"));
}
