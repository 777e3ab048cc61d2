#include "settingsform.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

class TestDialogs : public QObject
{
    Q_OBJECT
private slots:
    void settingsDefaultWrittenWhenAbsent();
    void settingsStoredChoiceWins_data();
    void settingsStoredChoiceWins();
    void settingsSaveStoresAndReports();
    void settingsCancelKeepsStoredChoice();
};

namespace {
template<typename T>
T *child(QWidget *parent, const char *name)
{
    T *widget = parent->findChild<T *>(QLatin1String(name));
    if (!widget)
        qWarning("no widget %s", name);
    return widget;
}

QVariant storedSetting(const TempProgramDir &dir, const char *key)
{
    QSettings raw(dir.filePath("settings.conf"), QSettings::IniFormat);
    return raw.value(QLatin1String(key));
}
} // namespace

void TestDialogs::settingsDefaultWrittenWhenAbsent()
{
    TempProgramDir dir;
    SettingsForm form;
    QVERIFY(form.statusRefresh());
    QVERIFY(child<QCheckBox>(&form, "statusCheckBox")->isChecked());
    QCOMPARE(storedSetting(dir, "Survey/Status").toBool(), true);
    QVERIFY(storedSetting(dir, "Survey/Status").isValid());
    // The fuel-level choice is only stored by Save.
    QVERIFY(!storedSetting(dir, "Survey/FLS").isValid());
}

void TestDialogs::settingsStoredChoiceWins_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("polling");
    QTest::newRow("false") << "false" << false;
    QTest::newRow("true") << "true" << true;
    QTest::newRow("0") << "0" << false;
}

void TestDialogs::settingsStoredChoiceWins()
{
    QFETCH(QString, stored);
    QFETCH(bool, polling);
    TempProgramDir dir;
    {
        QSettings raw(dir.filePath("settings.conf"), QSettings::IniFormat);
        raw.setValue("Survey/Status", stored);
    }
    SettingsForm form;
    QCOMPARE(form.statusRefresh(), polling);
    QCOMPARE(child<QCheckBox>(&form, "statusCheckBox")->isChecked(), polling);
    QCOMPARE(storedSetting(dir, "Survey/Status").toString(), stored);
}

void TestDialogs::settingsSaveStoresAndReports()
{
    TempProgramDir dir;
    SettingsForm form;
    QSignalSpy changed(&form, &SettingsForm::refreshStatusChanged);
    form.showSettings();
    child<QCheckBox>(&form, "statusCheckBox")->setChecked(false);
    child<QCheckBox>(&form, "flsCheckBox")->setChecked(true);
    QTest::mouseClick(child<QPushButton>(&form, "saveButton"), Qt::LeftButton);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toBool(), false);
    QVERIFY(!form.isVisible());
    QVERIFY(!form.statusRefresh());
    QVERIFY(form.flsRefresh());
    QCOMPARE(storedSetting(dir, "Survey/Status").toBool(), false);
    QCOMPARE(storedSetting(dir, "Survey/FLS").toBool(), true);

    // The next run starts with what was saved.
    SettingsForm next;
    QVERIFY(!next.statusRefresh());
    QVERIFY(next.flsRefresh());
}

void TestDialogs::settingsCancelKeepsStoredChoice()
{
    const char *const closers[] = {"cancelButton", "closeSettingsFormButton"};
    for (const char *closer : closers) {
        TempProgramDir dir;
        SettingsForm form;
        QSignalSpy changed(&form, &SettingsForm::refreshStatusChanged);
        form.showSettings();
        child<QCheckBox>(&form, "statusCheckBox")->setChecked(false);
        QTest::mouseClick(child<QPushButton>(&form, closer), Qt::LeftButton);
        QVERIFY2(!form.isVisible(), closer);
        QCOMPARE(changed.count(), 0);
        QVERIFY(form.statusRefresh());
        QCOMPARE(storedSetting(dir, "Survey/Status").toBool(), true);
        // Shown again, the dialog offers the stored choice, not the abandoned edit.
        form.showSettings();
        QVERIFY2(child<QCheckBox>(&form, "statusCheckBox")->isChecked(), closer);
    }
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
