#include "versioncompare.h"

#include <QtTest>

class TestVersion : public QObject
{
    Q_OBJECT
private slots:
    void compare_data();
    void compare();
    void sortStable();
};

void TestVersion::compare_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("sign");
    auto row = [](const char *name, const char *a, const char *b, int sign) {
        QTest::newRow(name) << a << b << sign;
    };
    row("equal", "1.4.12", "1.4.12", 0);
    row("numeric, not text", "1.4.12", "1.4.9", 1);
    row("two-digit minor", "1.10.0", "1.9.9", 1);
    row("shorter runs out first", "1.2", "1.2.0", -1);
    row("leading zero, digit before dot", "01.2", "1.2", -1);
    row("beyond 32 bits", "1.4294967296", "1.0", 1);
    row("beyond 32 bits, both", "1.4294967297", "1.4294967296", 1);
    row("digit before letter", "1.2", "a.2", -1);
    row("letter after digit", "a", "1", 1);
    row("letters by code", "1.a", "1.b", -1);
    row("empty vs version", "", "0.0.0", -1);
    row("both empty", "", "", 0);
    row("no local firmware is older than any", "0.0.0", "0.0.1", -1);
}

void TestVersion::compare()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, sign);
    const int r = VersionCompare::compare(a, b);
    QCOMPARE((r > 0) - (r < 0), sign);
    const int back = VersionCompare::compare(b, a);
    QCOMPARE((back > 0) - (back < 0), -sign);
}

void TestVersion::sortStable()
{
    QStringList list {"1.10.0", "1.4.9", "1.4.12"};
    VersionCompare::sort(list);
    QCOMPARE(list, QStringList({"1.4.9", "1.4.12", "1.10.0"}));

    // Digits of other scripts count by their value: "1.\u0662" equals "1.2" without being the same
    // text, so the two show that equal versions keep their order.
    const QString arabicTwo = QString::fromUtf8("1.\u0662");
    QCOMPARE(VersionCompare::compare(arabicTwo, "1.2"), 0);
    QStringList same {"2.0", arabicTwo, "1.0", "1.2"};
    VersionCompare::sort(same);
    QCOMPARE(same, QStringList({"1.0", arabicTwo, "1.2", "2.0"}));
}

QTEST_APPLESS_MAIN(TestVersion)
#include "tst_version.moc"
