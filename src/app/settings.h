#pragma once

#include <QString>
#include <QVariant>

// "settings.conf" in the program folder, INI format, keys written as group/key. Each call opens
// the file afresh; a file that cannot be read gives null values, a failed write is lost.
QString settingsFilePath();
QVariant readSetting(const QString &group, const QString &key);
void writeSetting(const QString &group, const QString &key, const QVariant &value);

// Language code for a system locale name: exactly "ru_RU" gives "ru", anything else "en".
QString languageForLocale(const QString &localeName);

// The language of a program that follows the environment, as every POSIX program does (the
// command-line tool): the first of LC_ALL, LC_MESSAGES and LANG that is set decides; "ru" and
// "ru_*" give "ru", anything else (C, POSIX, en_US.UTF-8, nothing) "en".
QString languageForEnvironment(const QByteArray &lcAll, const QByteArray &lcMessages,
                               const QByteArray &lang);

// The language at start-up: the stored "Language/lang", or the code for the system locale,
// which is then stored at once.
QString startupLanguage(const QString &systemLocaleName);

// The compiled catalogue of a language code: program folder + "/translations/" + code + ".qm".
QString translationFilePath(const QString &code);
