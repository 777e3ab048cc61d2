#include "mainwindow.h"
#include "settings.h"
#include "testsupport.h"

#include <QtTest>

class TestSettings : public QObject
{
    Q_OBJECT
private slots:
    void unreadableFileGivesDefaults();
    void languageChoice_data();
    void languageChoice();
    void storedLanguageWins();
    void changeLanguageStoresAndReloads();
};

void TestSettings::unreadableFileGivesDefaults()
{
    TempProgramDir dir;
    QVERIFY(writeTestFile(dir.filePath("settings.conf"), QByteArray("\x00\xff\xfe[[[=\n\x01", 9)));
    QVERIFY(readSetting("Language", "lang").isNull());
    QCOMPARE(startupLanguage("ru_RU"), QString("ru"));
    // A folder in place of the file: nothing can be read or written, and nothing breaks.
    TempProgramDir folder;
    QVERIFY(QDir(folder.path()).mkdir("settings.conf"));
    QVERIFY(readSetting("Language", "lang").isNull());
    QCOMPARE(startupLanguage("de_DE"), QString("en"));
}

void TestSettings::languageChoice_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("code");
    QTest::newRow("ru_RU") << "ru_RU"
                           << "ru";
    for (const char *other : {"ru_UA", "ru", "en_US", "C"})
        QTest::newRow(other) << other << "en";
}

void TestSettings::languageChoice()
{
    QFETCH(QString, locale);
    QFETCH(QString, code);
    TempProgramDir dir;
    QCOMPARE(startupLanguage(locale), code);
    QCOMPARE(readSetting("Language", "lang").toString(), code); // stored at once
}

void TestSettings::storedLanguageWins()
{
    TempProgramDir dir(true);
    writeSetting("Language", "lang", "xx");
    BoxRecorder boxes;
    MainWindow window(nullptr, "ru_RU");
    QVERIFY(!window.startupFailed());
    QCOMPARE(window.currentLanguage(), QString("xx"));
    // No catalogue for "xx": the built-in Russian texts stay.
    QCOMPARE(window.windowTitle(), QString("Конфигуратор"));
    QCOMPARE(readSetting("Language", "lang").toString(), QString("xx"));
}

void TestSettings::changeLanguageStoresAndReloads()
{
    TempProgramDir dir(true);
    BoxRecorder boxes;
    MainWindow window(nullptr, "ru_RU");
    QCOMPARE(window.currentLanguage(), QString("ru"));
    window.changeLanguage("en");
    QCOMPARE(window.currentLanguage(), QString("en"));
    QCOMPARE(readSetting("Language", "lang").toString(), QString("en"));
    window.changeLanguage("ru");
    QCOMPARE(readSetting("Language", "lang").toString(), QString("ru"));
    // Qt's own buttons speak the interface language too (when Qt's catalogues are installed).
    if (QCoreApplication::translate("QPlatformTheme", "&Yes") == "&Yes")
        QSKIP("Qt's Russian catalogue is not installed");
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), QString("&Да"));
    window.changeLanguage("en");
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), QString("&Yes"));
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
