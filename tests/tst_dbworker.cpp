#include "db_worker.h"
#include "mainwindowaccess.h"
#include "versioncompare.h"

namespace {
// A model table with two ranges and two group tables, as the tests of firmware groups need.
const char *const kFixture = R"SQL(
CREATE TABLE zemo220 (range TEXT, grp TEXT);
INSERT INTO zemo220 VALUES ('1.0.0-1.2.0', 'groupA');
INSERT INTO zemo220 VALUES ('1.2.0-1.4.0', 'groupB');
CREATE TABLE zemo221 (range TEXT, grp TEXT);
INSERT INTO zemo221 VALUES ('1.0.0-1.2.0', 'groupA');
INSERT INTO zemo221 VALUES ('1.2.0', 'groupB');
CREATE TABLE zemo222 (range TEXT, grp TEXT);
INSERT INTO zemo222 VALUES (NULL, 'ghost');
INSERT INTO zemo222 VALUES ('2.0.0-2.1.0', 'groupA');
INSERT INTO zemo222 VALUES ('1.0.0-1.4.0', 'groupB');
CREATE TABLE groupA (cmd INTEGER, page TEXT, elements TEXT);
INSERT INTO groupA VALUES (769, 'config', NULL);
INSERT INTO groupA VALUES (1280, 'status', NULL);
INSERT INTO groupA VALUES (NULL, 'main', 'main;addr,speed');
INSERT INTO groupA VALUES (NULL, 'x', 'setBaudComboBox;9600:slow,19200,,x:y:z');
INSERT INTO groupA VALUES (NULL, 'x', 'statusBitMask;255');
CREATE TABLE groupB (cmd INTEGER, page TEXT, elements TEXT);
INSERT INTO groupB VALUES (1792, 'status', NULL);
)SQL";
} // namespace

class TestDbWorker : public QObject
{
    Q_OBJECT
private slots:
    void firmwareGroup_data();
    void firmwareGroup();
    void brokenDatabases_data();
    void brokenDatabases();
    void versionOrder_data();
    void versionOrder();
    void shippedRanges_data();
    void shippedRanges();
    void unknownFirmwareRead();
};

void TestDbWorker::firmwareGroup_data()
{
    QTest::addColumn<QString>("devId");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("logLine");
    auto row = [](const char *name, const char *devId, const char *version, const char *group,
                  const char *logLine) {
        QTest::newRow(name) << devId << version << group << logLine;
    };
    const char *explicitly = "cur fw found explicitly!";
    const char *inRange = "cur fw found in range!";
    const char *last = "SELECTED LAST FW IN DB: ";
    row("both rows match explicitly, the later wins", "220", "1.2.0", "groupB", explicitly);
    row("in the second range only", "220", "1.3.5", "groupB", inRange);
    row("first range", "220", "1.1.0", "groupA", inRange);
    row("newer than all: the row of the highest version", "220", "2.0.0", "groupB", last);
    row("older than all", "220", "0.9.0", "", "FW Not found");
    row("single version row matched itself, not by substring", "221", "1.2.0", "groupB", explicitly);
    // The first row that names 1.2.0 as a bound is the range row.
    row("newer than all: first row naming the highest version", "221", "1.3.0", "groupA", last);
    row("NULL range is skipped", "222", "2.0.5", "groupA", inRange);
    row("highest version in a later row", "222", "3.0.0", "groupA", last);
    row("unknown model table", "999", "1.0.0", "", "Set model ERROR!");
}

void TestDbWorker::firmwareGroup()
{
    QFETCH(QString, devId);
    QFETCH(QString, version);
    QFETCH(QString, group);
    QFETCH(QString, logLine);

    TempProgramDir dir;
    QString error;
    QVERIFY2(createSqliteFile(dir.filePath("devices.db"), kFixture, &error), qPrintable(error));
    LogCapture log;
    DB_Worker db;
    QVERIFY(db.checkDb());
    QCOMPARE(db.getFwGroup(version, devId), group);
    QVERIFY2(log.contains(logLine), qPrintable(log.lines().join('\n')));
    if (!group.isEmpty())
        QCOMPARE(log.lines().filter("FW Group: ").value(0).simplified(), "FW Group: " + group);
}

void TestDbWorker::brokenDatabases_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("garbage") << QByteArray(5000, 'x');
    QTest::newRow("text") << QByteArray("CREATE TABLE x(a);\n");

    // A sound database whose pages were overwritten in the middle: SQLite still opens it and
    // runs the check, which then describes the damage instead of answering "ok".
    QTemporaryDir tmp;
    const QString path = tmp.filePath("good.db");
    QString sql = "CREATE TABLE t (a INTEGER PRIMARY KEY, b TEXT);\nCREATE INDEX ib ON t(b);\n";
    for (int i = 0; i < 400; ++i)
        sql += QString("INSERT INTO t VALUES (%1, '%2');\n")
                       .arg(i)
                       .arg(QString(60, QChar('a' + i % 26)));
    createSqliteFile(path, sql);
    QByteArray damaged = readTestFile(path);
    for (int i = 4096 + 100; i < 4096 * 3; i += 7)
        damaged[i] = char(0xA5);
    QTest::newRow("damaged pages") << damaged;

    // Sound to SQLite, but a firmware range names a group that has no table: the firmware would
    // be taken as one without read commands and form choices.
    const QString missing = tmp.filePath("missing.db");
    createSqliteFile(missing,
                     QString(kFixture) + "INSERT INTO zemo221 VALUES ('2.0.0', 'groupC');\n");
    QTest::newRow("a range naming a missing group table") << readTestFile(missing);
}

void TestDbWorker::brokenDatabases()
{
    QFETCH(QByteArray, content);
    TempProgramDir dir;
    QVERIFY(writeTestFile(dir.filePath("devices.db"), content));
    {
        LogCapture log;
        DB_Worker db;
        QVERIFY(!db.checkDb());
        QVERIFY2(log.contains("Error DB! "), qPrintable(log.lines().join('\n')));
        QVERIFY(!log.contains("DB check OK"));
    }

    // The window refuses to start with the start-up message.
    BoxRecorder boxes;
    MainWindow window(nullptr, "ru_RU");
    QVERIFY(window.startupFailed());
    QCOMPARE(boxes.describe(),
             QString("Critical Ошибка | Невозможно запустить конфигуратор, нарушена целосность "
                     "файлов программы. Выполните переустановку конфигуратора."));
}

void TestDbWorker::versionOrder_data()
{
    QTest::addColumn<QString>("older");
    QTest::addColumn<QString>("newer");
    QTest::newRow("numbers, not characters") << "1.4.9"
                                             << "1.4.12";
    QTest::newRow("a run of two digits") << "1.9.9"
                                         << "1.10.0";
    QTest::newRow("the shorter text runs out first") << "1.2"
                                                     << "1.2.0";
    // 01 equals 1; then the digit 1 meets the dot, and a digit sorts first.
    QTest::newRow("leading zero") << "01.2"
                                  << "1.2";
    QTest::newRow("digit before any other character") << "1.2.0"
                                                      << "1.2.a";
    QTest::newRow("runs above 2^31") << "1.2147483648"
                                     << "1.4294967296";
    QTest::newRow("runs past 32 bits") << "1.4294967295"
                                       << "1.4294967296";
    QTest::newRow("other characters by their code") << "1.2-beta"
                                                    << "1.2-rc";
}

void TestDbWorker::versionOrder()
{
    QFETCH(QString, older);
    QFETCH(QString, newer);
    QVERIFY(VersionCompare::compare(older, newer) < 0);
    QVERIFY(VersionCompare::compare(newer, older) > 0);
    QCOMPARE(VersionCompare::compare(older, older), 0);
    QStringList sorted {newer, older, newer};
    VersionCompare::sort(sorted);
    QCOMPARE(sorted, (QStringList {older, newer, newer}));
}

void TestDbWorker::shippedRanges_data()
{
    QTest::addColumn<QString>("devId");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("group");
    auto row = [](const char *name, const char *devId, const char *version, const char *group) {
        QTest::newRow(name) << devId << version << group;
    };
    row("first release", "220", "1.0.0", "zemo220_base");
    row("a patch above 9 before the uptime counter", "220", "1.1.10", "zemo220_base");
    row("last patch before the uptime counter", "220", "1.1.99", "zemo220_base");
    row("the uptime counter", "220", "1.2.0", "zemo220_uptime");
    row("newer than every range", "220", "1.5.0", "zemo220_uptime");
    row("before the first release", "220", "0.9.9", "");
    row("model 200", "200", "1.9.10", "zemo200_base");
}

// The shipped devices.db: every release of a model lies in one of its ranges.
void TestDbWorker::shippedRanges()
{
    QFETCH(QString, devId);
    QFETCH(QString, version);
    QFETCH(QString, group);
    TempProgramDir dir(true);
    DB_Worker db;
    QVERIFY(db.checkDb());
    QCOMPARE(db.getFwGroup(version, devId), group);
}

// A reader whose firmware the database does not list: the read has no command to send and ends
// in the ready state, where the progress bar stands still at its start.
void TestDbWorker::unknownFirmwareRead()
{
    BusWindowRig rig({simReader(1, 19200, "0.9.0")});
    QVERIFY(rig.connectAndRead());
    QCOMPARE(rig.boxes.describe(),
             QString("Warning Предупреждение | Версия прошивки не поддерживается конфигуратором"));
    auto *bar = rig.get<QProgressBar>("progressBar");
    // A bar of 0 to 0 is Qt's endless busy animation.
    QVERIFY2(bar->maximum() > bar->minimum(),
             qPrintable(QString("range %1..%2").arg(bar->minimum()).arg(bar->maximum())));
    QCOMPARE(bar->value(), bar->minimum());
}

QTEST_MAIN(TestDbWorker)
#include "tst_dbworker.moc"
