// The status word: decoding with the bit descriptions, and the calculator dialog.
#include "db_worker.h"
#include "mainwindowaccess.h"
#include "statuscalc.h"
#include "statusword.h"

using StatusWord::Row;

namespace {

// A calculator whose bit descriptions come from a fixture database with bits 0, 1, 3 and 31.
struct Calc
{
    Calc(const QString &code, quint32 eventMask, quint32 supportMask)
    {
        QString error;
        QVERIFY2(createSqliteFile(DB_Worker::databasePath(), R"SQL(
CREATE TABLE statusBits (bit INTEGER, a TEXT, b TEXT, c TEXT);
INSERT INTO statusBits VALUES (0, 'Питание', 'Норма', 'Авария');
INSERT INTO statusBits VALUES (1, 'Вход 1', 'Разомкнут', 'Замкнут');
INSERT INTO statusBits VALUES (3, 'Вход 3', 'Разомкнут', 'Замкнут');
INSERT INTO statusBits VALUES (31, 'Сторож', 'Спит', 'Сработал');
)SQL",
                                  &error),
                 qPrintable(error));
        QVERIFY(db.checkDb()); // as the window does at start; it names the file
        calc = new StatusCalc(nullptr, code, eventMask);
        QObject::connect(calc, &StatusCalc::getStatusBits, &db, &DB_Worker::getStatusBits,
                         Qt::DirectConnection);
        calc->setSupportStatusMask(int(supportMask));
        table = child<QTableWidget>(calc, "tableWidget");
    }
    ~Calc() { delete calc; }
    // Every row as "name=value [object name of its check box cell]".
    QString text() const
    {
        QStringList out;
        for (int row = 0; row < table->rowCount(); ++row) {
            QWidget *cell = table->cellWidget(row, 2);
            out << QStringLiteral("%1=%2 [%3]")
                            .arg(table->item(row, 0) ? table->item(row, 0)->text() : "-",
                                 table->item(row, 1) ? table->item(row, 1)->text() : "-",
                                 cell ? cell->objectName() : "-");
        }
        return out.join(QStringLiteral(", "));
    }
    QCheckBox *box(int row) const
    {
        QWidget *cell = table->cellWidget(row, 2);
        return cell ? cell->findChild<QCheckBox *>() : nullptr;
    }
    // The rows whose event box is ticked.
    QString ticked() const
    {
        QStringList rows;
        for (int row = 0; row < table->rowCount(); ++row)
            if (box(row) && box(row)->isChecked())
                rows << QString::number(row);
        return rows.join(' ');
    }
    void click(const QString &name)
    {
        QTest::mouseClick(child<QWidget>(calc, name), Qt::LeftButton);
    }
    QLineEdit *code() const { return child<QLineEdit>(calc, "statusCode"); }

    TempProgramDir dir;
    DB_Worker db;
    QPointer<StatusCalc> calc;
    QTableWidget *table = nullptr;
};

} // namespace

class TestStatusCalc : public QObject
{
    Q_OBJECT
private slots:
    void decode_data();
    void decode();
    void redecodeKeepsBoxesWithTheirBits();
    void codeThatIsNoNumber_data();
    void codeThatIsNoNumber();
};

void TestStatusCalc::decode_data()
{
    QTest::addColumn<quint32>("value");
    QTest::addColumn<quint32>("support");
    QTest::addColumn<int>("settings"); // 1: main server set, 2: alternative server set
    QTest::addColumn<QString>("rows");
    auto row = [](const char *name, quint32 value, quint32 support, int settings, const char *rows) {
        QTest::newRow(name) << value << support << settings << rows;
    };
    row("nothing supported", 0xFFFFFFFF, 0, 0, "");
    row("bits 0 and 31 set", 0x80000001, 0x80000001, 0, "0:Питание=Авария, 31:Сторож=Сработал");
    row("supported but not described", 0x10, 0x10, 0, "");
    row("described but not supported", 0x2, 0x1, 0, "0:Питание=Норма");
    row("missing texts read empty", 0x20, 0x20, 0, "5:Только имя=");
    row("bit 2 set without setting", 0x4, 0x4, 0, "2:Основной сервер=Не установлено");
    row("bit 2 clear without setting", 0x0, 0x4, 0, "2:Основной сервер=Подключен");
    row("bit 2 clear with setting", 0x0, 0x4, 1, "2:Основной сервер=Не задано");
    row("bit 19 follows the other setting", 0x80004, 0x80004, 1,
        "2:Основной сервер=Отключен, 19:Резервный сервер=Не установлено");
    row("bit 19 clear with its setting", 0x0, 0x80000, 2, "19:Резервный сервер=Не задано");
}

void TestStatusCalc::decode()
{
    QFETCH(quint32, value);
    QFETCH(quint32, support);
    QFETCH(int, settings);
    QFETCH(QString, rows);
    // Status bit descriptions as the device database gives them: name, text for 0, text for 1.
    QMap<int, QStringList> bits;
    bits[0] = QStringList {"Питание", "Норма", "Авария"};
    bits[1] = QStringList {"Вход 1", "Разомкнут", "Замкнут"};
    bits[2] = QStringList {"Основной сервер", "Подключен", "Отключен"};
    bits[5] = QStringList {"Только имя"};
    bits[19] = QStringList {"Резервный сервер", "Подключен", "Отключен"};
    bits[31] = QStringList {"Сторож", "Спит", "Сработал"};
    StatusWord::ServiceSettings service;
    service.main = settings & 1;
    service.alt = settings & 2;
    QStringList got;
    for (const Row &row : StatusWord::decode(value, support, bits, service))
        got << QStringLiteral("%1:%2=%3").arg(row.bit).arg(row.name, row.value);
    QCOMPARE(got.join(", "), rows);
}

void TestStatusCalc::redecodeKeepsBoxesWithTheirBits()
{
    LogCapture log;
    Calc c("80000001", 0x2u, 0x8000000Bu);
    QVERIFY(log.contains("Support status mask:  2147483659"));
    QCOMPARE(c.table->rowCount(), 0);
    c.click("decryptButton");
    QCOMPARE(c.text(), QString("Питание=Авария [bitN_0], Вход 1=Разомкнут [bitN_1], "
                               "Вход 3=Разомкнут [bitN_3], Сторож=Сработал [bitN_31]"));
    // Ticks come from the event mask given at opening; the mask follows the clicks.
    QCOMPARE(c.ticked(), QString("1"));
    QCheckBox *first = c.box(0);
    QTest::mouseClick(c.box(3), Qt::LeftButton);
    QTest::mouseClick(c.box(1), Qt::LeftButton);
    QCOMPARE(c.calc->eventMask(), 0x80000000u);

    // Decoded again, the rows and their boxes are reused.
    c.code()->setText("80000000");
    c.calc->decryptStatus();
    QCOMPARE(c.box(0), first);
    QCOMPARE(c.text(), QString("Питание=Норма [bitN_0], Вход 1=Разомкнут [bitN_1], "
                               "Вход 3=Разомкнут [bitN_3], Сторож=Сработал [bitN_31]"));
    QCOMPARE(c.ticked(), QString("3"));

    // Fewer or other bits: every row keeps the check box of its own bit.
    c.code()->setText("FFFFFFFF");
    c.calc->setSupportStatusMask(0x80000001);
    c.calc->decryptStatus();
    QCOMPARE(c.text(), QString("Питание=Авария [bitN_0], Сторож=Сработал [bitN_31]"));
    QCOMPARE(c.ticked(), QString("1"));
    c.calc->setSupportStatusMask(0x8000000A);
    c.calc->decryptStatus();
    QCOMPARE(c.text(), QString("Вход 1=Замкнут [bitN_1], Вход 3=Замкнут [bitN_3], "
                               "Сторож=Сработал [bitN_31]"));
    QCOMPARE(c.ticked(), QString("2"));
}

void TestStatusCalc::codeThatIsNoNumber_data()
{
    QTest::addColumn<QString>("typedIn"); // the base selected while typing
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("readAs"); // the base selected before decoding
    QTest::addColumn<QString>("rows");
    auto row = [](const char *name, const char *typedIn, const char *code, const char *readAs,
                  const char *rows) {
        QTest::newRow(name) << QString(typedIn) + "RadioButton" << code
                            << QString(readAs) + "RadioButton" << rows;
    };
    row("hexadecimal digits read as decimal", "hex", "FF", "dec", "");
    row("decimal above 32 bits", "dec", "4294967296", "dec", "");
    row("nothing typed", "hex", "", "hex", "");
    row("the highest decimal", "dec", "4294967295", "dec",
        "Питание=Авария [bitN_0], Сторож=Сработал [bitN_31]");
    row("decimal digits read as hexadecimal", "dec", "80000000", "hex",
        "Питание=Норма [bitN_0], Сторож=Сработал [bitN_31]");
}

// A code that is no status word in the chosen base decodes to no rows; read as 0 it would show
// every bit as cleared, the status of a reader in order.
void TestStatusCalc::codeThatIsNoNumber()
{
    QFETCH(QString, typedIn);
    QFETCH(QString, code);
    QFETCH(QString, readAs);
    QFETCH(QString, rows);
    Calc c("00000001", 0, 0x80000001u);
    c.click("decryptButton");
    QCOMPARE(c.table->rowCount(), 2);
    c.click(typedIn);
    c.code()->clear();
    QTest::keyClicks(c.code(), code);
    QCOMPARE(c.code()->text(), code);
    c.click(readAs);
    c.click("decryptButton");
    QCOMPARE(c.text(), rows);
}

QTEST_MAIN(TestStatusCalc)
#include "tst_statuscalc.moc"
