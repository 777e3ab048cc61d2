#include "mainwindow.h"
#include "settings.h"
#include "testsupport.h"

#include <QtTest>

class TestSettings : public QObject
{
    Q_OBJECT
private slots:
    void changeLanguageStoresAndReloads();
};

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
