#include "versioncompare.h"

#include <QtTest>

class TestVersion : public QObject
{
    Q_OBJECT
private slots:
    void compare_data();
    void compare();
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

QTEST_APPLESS_MAIN(TestVersion)
#include "tst_version.moc"
