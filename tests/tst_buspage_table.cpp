#include "busexport.h"
#include "bustablemodel.h"
#include "db_worker.h"
#include "readerstatus.h"
#include "testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

// The bus table without the window: its rows, its files, and what the device database says of
// a reader that answered.
class TestBusPageTable : public QObject
{
    Q_OBJECT
private slots:
    void csv_data();
    void csv();
    void json_data();
    void json();
    void formatOfName_data();
    void formatOfName();
    void rows();
    void watchFigures();
    void database_data();
    void database();
};

namespace {
// What a scan found: address, baud, device id and name, firmware, supported, answer time and
// damaged answers.
BusReader found(int address, int baud, int devId, const QString &name, const QString &fw,
                bool supported, int answerMs, int damaged)
{
    return BusReader {address, baud, devId, name, fw, supported, answerMs, damaged};
}

BusReader watched(BusReader r, int looks, bool hasCounter, qint32 counter, bool hasUptime,
                  quint32 uptime, int lastAnswerMs, int silent, int damaged)
{
    r.looks = looks;
    r.hasCounter = hasCounter;
    r.counter = counter;
    r.hasUptime = hasUptime;
    r.uptime = uptime;
    r.lastAnswerMs = lastAnswerMs;
    r.watchSilent = silent;
    r.watchDamaged = damaged;
    return r;
}

const char *const kHeader = "address,baud,device_id,device,firmware,supported,answer_ms,damaged,"
                            "looks,counter,uptime_s,last_answer_ms,silent,damaged_watch";
} // namespace

void TestBusPageTable::csv_data()
{
    QTest::addColumn<BusReader>("reader");
    QTest::addColumn<QString>("line");

    const BusReader plain = found(5, 19200, 220, "zemo220", "1.3.2", true, 12, 0);
    QTest::newRow("found, not watched") << plain << "5,19200,220,zemo220,1.3.2,yes,12,0,0,,,,,";
    QTest::newRow("unknown device, damaged answers, no answer time")
            << found(7, 9600, 221, "", "2.0.0", false, -1, 2) << "7,9600,221,,2.0.0,no,,2,0,,,,,";
    QTest::newRow("watched, last look silent")
            << watched(plain, 3, true, -5, true, 3600, -1, 2, 1)
            << "5,19200,220,zemo220,1.3.2,yes,12,0,3,-5,3600,,2,1";
    QTest::newRow("watched, counter only")
            << watched(plain, 1, true, 2147483647, false, 0, 8, 0, 0)
            << "5,19200,220,zemo220,1.3.2,yes,12,0,1,2147483647,,8,0,0";
    // A spreadsheet must not run a name of the database as a formula, nor split it.
    QTest::newRow("formula and quotes in a name")
            << found(9, 115200, 220, "=HYPERLINK(\"x\"),1", "1.0.0", true, 3, 0)
            << "9,115200,220,\"'=HYPERLINK(\"\"x\"\"),1\",1.0.0,yes,3,0,0,,,,,";
    QTest::newRow("formula behind a tab") << found(9, 115200, 220, "\t=1+1", "1.0.0", true, 3, 0)
                                          << "9,115200,220,'\t=1+1,1.0.0,yes,3,0,0,,,,,";
    QTest::newRow("name with a line break") << found(9, 115200, 220, "a\nb", "1.0.0", true, 3, 0)
                                            << "9,115200,220,\"a\nb\",1.0.0,yes,3,0,0,,,,,";
}

void TestBusPageTable::csv()
{
    QFETCH(BusReader, reader);
    QFETCH(QString, line);
    const QByteArray expected = QByteArray(kHeader) + "\r\n" + line.toUtf8() + "\r\n";
    QCOMPARE(BusExport::toCsv({reader}), expected);
}

void TestBusPageTable::json_data()
{
    QTest::addColumn<BusReader>("reader");
    QTest::addColumn<QString>("expected"); // the reader's object, compact

    const BusReader plain = found(5, 19200, 220, "zemo220", "1.3.2", true, 12, 0);
    QTest::newRow("found, not watched")
            << plain
            << R"({"address":5,"answerMs":12,"baud":19200,"damaged":0,"device":"zemo220",)"
               R"("deviceId":220,"firmware":"1.3.2","supported":true})";
    QTest::newRow("no answer time, unknown device")
            << found(7, 9600, 221, "", "2.0.0", false, -1, 2)
            << R"({"address":7,"answerMs":null,"baud":9600,"damaged":2,"device":"",)"
               R"("deviceId":221,"firmware":"2.0.0","supported":false})";
    QTest::newRow("watched, last look silent")
            << watched(plain, 3, true, -5, false, 0, -1, 2, 1)
            << R"({"address":5,"answerMs":12,"baud":19200,"damaged":0,"device":"zemo220",)"
               R"("deviceId":220,"firmware":"1.3.2","supported":true,"watch":{"counter":-5,)"
               R"("damaged":1,"lastAnswerMs":null,"looks":3,"silent":2,"uptime":null}})";
}

void TestBusPageTable::json()
{
    QFETCH(BusReader, reader);
    QFETCH(QString, expected);
    const QJsonDocument doc = QJsonDocument::fromJson(BusExport::toJson({reader, reader}));
    QVERIFY(doc.isObject());
    const QJsonArray readers = doc.object().value("readers").toArray();
    QCOMPARE(readers.size(), 2);
    QCOMPARE(QString::fromUtf8(
                     QJsonDocument(readers.at(0).toObject()).toJson(QJsonDocument::Compact)),
             expected);
}

void TestBusPageTable::formatOfName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("json");
    QTest::newRow("json") << "/tmp/bus.json" << true;
    QTest::newRow("JSON in capitals") << "C:/bus.JSON" << true;
    QTest::newRow("csv") << "bus.csv" << false;
    QTest::newRow("json then csv") << "bus.json.csv" << false;
    QTest::newRow("no extension") << "bus" << false;
}

void TestBusPageTable::formatOfName()
{
    QFETCH(QString, name);
    QFETCH(bool, json);
    QCOMPARE(BusExport::formatOf(name) == BusExport::Format::Json, json);
}

// A reader is known by its address and speed: found again it keeps its row (and what the
// watch saw of it), at another speed it is another row.
void TestBusPageTable::rows()
{
    BusTableModel model;
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QCOMPARE(model.addReader(found(5, 19200, 220, "zemo220", "1.3.2", true, 12, 0)), 0);
    QCOMPARE(model.addReader(found(9, 19200, 220, "zemo220", "1.3.2", true, 14, 0)), 1);
    // address, baud, counter, uptime, answer time
    QVERIFY(model.applyStatus(ReaderStatus {5, 19200, true, 40, false, 0, 9}));
    QCOMPARE(model.addReader(found(5, 19200, 220, "zemo220", "1.4.0", true, 20, 1)), 0);
    QCOMPARE(model.addReader(found(5, 9600, 220, "zemo220", "1.3.2", true, 30, 0)), 2);
    QCOMPARE(inserted.count(), 3);
    QCOMPARE(model.rowCount(), 3);
    const BusReader again = model.reader(0);
    QCOMPARE(again.firmware, QString("1.4.0"));
    QCOMPARE(again.damaged, 1);
    QCOMPARE(again.counter, 40);
    QCOMPARE(model.data(model.index(0, BusTableModel::FirmwareColumn)).toString(),
             QString("1.4.0"));
    QCOMPARE(model.data(model.index(2, BusTableModel::BaudColumn)).toString(), QString("9600"));
    // A device the database has no name for is shown by its id.
    model.addReader(found(11, 19200, 4321, "", "1.0.0", false, 5, 0));
    QCOMPARE(model.data(model.index(3, BusTableModel::DeviceColumn)).toString(), QString("4321"));
    QCOMPARE(model.data(model.index(3, BusTableModel::SupportedColumn)).toString(), QString("нет"));
}

// The watch adds up what went wrong, keeps a value the reader did not give this time, and marks
// the line suspect; an unlisted reader changes nothing.
void TestBusPageTable::watchFigures()
{
    BusTableModel model;
    model.addReader(found(5, 19200, 220, "zemo220", "1.3.2", true, 12, 0));
    auto look = [](bool answered, int silent, int damaged) {
        return answered ? ReaderStatus {5, 19200, true, 77, true, 100, 7, damaged, silent}
                        : ReaderStatus {5, 19200, false, 0, false, 0, -1, damaged, silent};
    };
    QVERIFY(model.applyStatus(look(true, 0, 0)));
    QVERIFY(!model.data(model.index(0, 0), BusTableModel::LineSuspectRole).toBool());
    QVERIFY(model.applyStatus(look(false, 1, 1)));
    QVERIFY(model.applyStatus(look(false, 2, 0)));
    BusReader r = model.reader(0);
    QCOMPARE(r.looks, 3);
    QCOMPARE(r.counter, 77);
    QCOMPARE(r.uptime, 100u);
    QCOMPARE(r.lastAnswerMs, -1);
    QCOMPARE(r.watchErrors(), 4);
    QVERIFY(model.data(model.index(0, 0), BusTableModel::LineSuspectRole).toBool());
    QCOMPARE(model.data(model.index(0, BusTableModel::ErrorsColumn)).toString(), QString("4"));

    ReaderStatus other = look(true, 0, 0);
    other.baud = 9600;
    QVERIFY(!model.applyStatus(other));
    model.clearWatch();
    r = model.reader(0);
    QCOMPARE(r.looks, 0);
    QVERIFY(!r.hasCounter);
    QCOMPARE(model.data(model.index(0, BusTableModel::ErrorsColumn)).toString(), QString());
}

void TestBusPageTable::database_data()
{
    QTest::addColumn<int>("devId");
    QTest::addColumn<QString>("firmware");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("known");
    QTest::newRow("listed range") << 220 << "1.1.0"
                                  << "zemo220" << true;
    QTest::newRow("range bound") << 220 << "1.4.0"
                                 << "zemo220" << true;
    QTest::newRow("older than every range") << 220 << "0.9.9"
                                            << "zemo220" << false;
    // Newer than the newest range: the read uses the newest group, so it is supported.
    QTest::newRow("newer than every range") << 220 << "2.0.0"
                                            << "zemo220" << true;
    QTest::newRow("range without a group") << 223 << "1.0.0"
                                           << "zemo223" << false;
    QTest::newRow("device the database does not know") << 999 << "1.0.0"
                                                       << "" << false;
}

// The database's name and support for a reader, asked while a firmware group is selected for a
// session: the group's command list stays.
void TestBusPageTable::database()
{
    QFETCH(int, devId);
    QFETCH(QString, firmware);
    QFETCH(QString, name);
    QFETCH(bool, known);
    TempProgramDir dir;
    QVERIFY(createSqliteFile(dir.filePath("devices.db"), R"SQL(
CREATE TABLE zemo220 (range TEXT, grp TEXT);
INSERT INTO zemo220 VALUES ('1.0.0-1.2.0', 'groupA');
INSERT INTO zemo220 VALUES ('1.2.0-1.4.0', 'groupA');
CREATE TABLE zemo223 (range TEXT, grp TEXT);
INSERT INTO zemo223 VALUES ('1.0.0', NULL);
CREATE TABLE groupA (cmd INTEGER, page TEXT, elements TEXT);
INSERT INTO groupA VALUES (769, 'config', NULL);
INSERT INTO groupA VALUES (1280, 'status', NULL);
)SQL"));
    DB_Worker db;
    QVERIFY(db.checkDb());
    db.setCurrentFwGroup("groupA");
    QCOMPARE(db.getCommandList(), (QList<int> {769, 1280}));
    QCOMPARE(db.deviceName(devId), name);
    QCOMPARE(db.knowsFirmware(firmware, devId), known);
    QCOMPARE(db.getCommandList(), (QList<int> {769, 1280}));
}

QTEST_GUILESS_MAIN(TestBusPageTable)
#include "tst_buspage_table.moc"
