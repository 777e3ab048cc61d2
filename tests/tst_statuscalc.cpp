#include "db_worker.h"
#include "statuscalc.h"
#include "statusword.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QtTest>

using StatusWord::Row;

namespace {
// Status bit descriptions as the device database gives them: name, text for 0, text for 1.
QMap<int, QStringList> descriptions()
{
    QMap<int, QStringList> bits;
    bits[0] = QStringList {"Питание", "Норма", "Авария"};
    bits[1] = QStringList {"Вход 1", "Разомкнут", "Замкнут"};
    bits[2] = QStringList {"Основной сервер", "Подключен", "Отключен"};
    bits[5] = QStringList {"Только имя"};
    bits[19] = QStringList {"Резервный сервер", "Подключен", "Отключен"};
    bits[31] = QStringList {"Сторож", "Спит", "Сработал"};
    return bits;
}

const char *const kFixture = R"SQL(
CREATE TABLE statusBits (bit INTEGER, a TEXT, b TEXT, c TEXT);
INSERT INTO statusBits VALUES (0, 'Питание', 'Норма', 'Авария');
INSERT INTO statusBits VALUES (1, 'Вход 1', 'Разомкнут', 'Замкнут');
INSERT INTO statusBits VALUES (3, 'Вход 3', 'Разомкнут', 'Замкнут');
INSERT INTO statusBits VALUES (31, 'Сторож', 'Спит', 'Сработал');
)SQL";

QString describeRows(const QVector<Row> &rows)
{
    QStringList out;
    for (const Row &row : rows)
        out << QStringLiteral("%1:%2=%3").arg(row.bit).arg(row.name, row.value);
    return out.join(QStringLiteral(", "));
}

QString tableText(QTableWidget *table)
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

QCheckBox *eventBox(QTableWidget *table, int row)
{
    QWidget *cell = table->cellWidget(row, 2);
    return cell ? cell->findChild<QCheckBox *>() : nullptr;
}
} // namespace

class TestStatusCalc : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void parse_data();
    void parse();
    void decode_data();
    void decode();
    void redecodeReusesRowsAndBoxes();
    void supportMaskChangeKeepsBoxesWithTheirBits();
    void decimalSwitchKeepsText();
    void validatorFollowsBase();
    void refreshWithAndWithoutCode();
    void closeReportsEventMask_data();
    void closeReportsEventMask();

private:
    TempProgramDir *m_dir = nullptr;
    DB_Worker *m_db = nullptr;
    StatusCalc *makeCalc(const QString &code, quint32 eventMask, quint32 supportMask);
};

void TestStatusCalc::init()
{
    m_dir = new TempProgramDir;
    QString error;
    QVERIFY2(createSqliteFile(DB_Worker::databasePath(), kFixture, &error), qPrintable(error));
    m_db = new DB_Worker;
    QVERIFY(m_db->checkDb()); // as the window does at start; it names the file
}

void TestStatusCalc::cleanup()
{
    delete m_db;
    m_db = nullptr;
    delete m_dir;
    m_dir = nullptr;
}

StatusCalc *TestStatusCalc::makeCalc(const QString &code, quint32 eventMask, quint32 supportMask)
{
    auto *calc = new StatusCalc(nullptr, code, eventMask);
    connect(calc, &StatusCalc::getStatusBits, m_db, &DB_Worker::getStatusBits, Qt::DirectConnection);
    calc->setSupportStatusMask(static_cast<int>(supportMask));
    return calc;
}

void TestStatusCalc::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<quint32>("value");
    QTest::newRow("hex FF") << "FF" << true << 0xFFu;
    QTest::newRow("hex lower case") << "80000001" << true << 0x80000001u;
    QTest::newRow("hex all ones") << "ffffffff" << true << 0xFFFFFFFFu;
    QTest::newRow("FF read as decimal is no number") << "FF" << false << 0u;
    QTest::newRow("decimal") << "4294967295" << false << 0xFFFFFFFFu;
    QTest::newRow("decimal over 32 bits") << "4294967296" << false << 0u;
    QTest::newRow("empty") << "" << true << 0u;
}

void TestStatusCalc::parse()
{
    QFETCH(QString, text);
    QFETCH(bool, hex);
    QFETCH(quint32, value);
    QCOMPARE(StatusWord::parse(text, hex), value);
}

void TestStatusCalc::decode_data()
{
    QTest::addColumn<quint32>("value");
    QTest::addColumn<quint32>("support");
    QTest::addColumn<bool>("mainSetting");
    QTest::addColumn<bool>("altSetting");
    QTest::addColumn<QString>("rows");

    QTest::newRow("nothing supported") << 0xFFFFFFFFu << 0u << false << false << "";
    QTest::newRow("bits 0 and 31 set") << 0x80000001u << 0x80000001u << false << false
                                       << "0:Питание=Авария, 31:Сторож=Сработал";
    QTest::newRow("bits 0 and 31 clear")
            << 0x00000002u << 0x80000001u << false << false << "0:Питание=Норма, 31:Сторож=Спит";
    QTest::newRow("supported but not described")
            << 0x00000010u << 0x00000010u << false << false << "";
    QTest::newRow("described but not supported")
            << 0x00000002u << 0x00000001u << false << false << "0:Питание=Норма";
    QTest::newRow("missing texts read empty")
            << 0x20u << 0x20u << false << false << "5:Только имя=";
    QTest::newRow("bit 2 set without setting")
            << 0x4u << 0x4u << false << false << "2:Основной сервер=Не установлено";
    QTest::newRow("bit 2 clear without setting")
            << 0x0u << 0x4u << false << false << "2:Основной сервер=Подключен";
    QTest::newRow("bit 2 clear with setting")
            << 0x0u << 0x4u << true << false << "2:Основной сервер=Не задано";
    QTest::newRow("bit 2 set with setting")
            << 0x4u << 0x4u << true << false << "2:Основной сервер=Отключен";
    QTest::newRow("bit 19 follows the other setting")
            << 0x80004u << 0x80004u << true << false
            << "2:Основной сервер=Отключен, 19:Резервный сервер=Не установлено";
    QTest::newRow("bit 19 clear with its setting")
            << 0x0u << 0x80000u << false << true << "19:Резервный сервер=Не задано";
}

void TestStatusCalc::decode()
{
    QFETCH(quint32, value);
    QFETCH(quint32, support);
    QFETCH(bool, mainSetting);
    QFETCH(bool, altSetting);
    QFETCH(QString, rows);
    StatusWord::ServiceSettings service;
    service.main = mainSetting;
    service.alt = altSetting;
    QCOMPARE(describeRows(StatusWord::decode(value, support, descriptions(), service)), rows);
}

void TestStatusCalc::redecodeReusesRowsAndBoxes()
{
    LogCapture log;
    StatusCalc *calc = makeCalc("80000001", 0x2u, 0x8000000Bu);
    QVERIFY(log.contains("Support status mask:  2147483659"));
    auto *table = calc->findChild<QTableWidget *>("tableWidget");
    QCOMPARE(table->rowCount(), 0);
    QTest::mouseClick(calc->findChild<QPushButton *>("decryptButton"), Qt::LeftButton);
    QCOMPARE(tableText(table), QString("Питание=Авария [bitN_0], Вход 1=Разомкнут [bitN_1], "
                                       "Вход 3=Разомкнут [bitN_3], Сторож=Сработал [bitN_31]"));
    QCheckBox *first = eventBox(table, 0);
    QVERIFY(first);
    // Ticks come from the event mask given at opening.
    QVERIFY(!first->isChecked());
    QVERIFY(eventBox(table, 1)->isChecked());

    // The engineer marks bit 31 and unmarks bit 1; the mask follows the clicks.
    QTest::mouseClick(eventBox(table, 3), Qt::LeftButton);
    QTest::mouseClick(eventBox(table, 1), Qt::LeftButton);
    QCOMPARE(calc->eventMask(), 0x80000000u);

    calc->findChild<QLineEdit *>("statusCode")->setText("80000000");
    calc->decryptStatus();
    QCOMPARE(table->rowCount(), 4);
    QCOMPARE(eventBox(table, 0), first);
    QCOMPARE(tableText(table), QString("Питание=Норма [bitN_0], Вход 1=Разомкнут [bitN_1], "
                                       "Вход 3=Разомкнут [bitN_3], Сторож=Сработал [bitN_31]"));
    QVERIFY(eventBox(table, 3)->isChecked());
    QVERIFY(!eventBox(table, 1)->isChecked());
    delete calc;
}

void TestStatusCalc::supportMaskChangeKeepsBoxesWithTheirBits()
{
    StatusCalc *calc = makeCalc("FFFFFFFF", 0x80000000u, 0x80000003u);
    auto *table = calc->findChild<QTableWidget *>("tableWidget");
    calc->decryptStatus();
    QCOMPARE(table->rowCount(), 3);

    // Fewer bits: the table shrinks, and every row keeps the check box of its own bit.
    calc->setSupportStatusMask(0x80000001);
    calc->decryptStatus();
    QCOMPARE(tableText(table), QString("Питание=Авария [bitN_0], Сторож=Сработал [bitN_31]"));
    QVERIFY(eventBox(table, 1)->isChecked());
    QVERIFY(!eventBox(table, 0)->isChecked());

    calc->setSupportStatusMask(0x8000000A);
    calc->decryptStatus();
    QCOMPARE(tableText(table), QString("Вход 1=Замкнут [bitN_1], Вход 3=Замкнут [bitN_3], "
                                       "Сторож=Сработал [bitN_31]"));
    QVERIFY(eventBox(table, 2)->isChecked());
    QVERIFY(!eventBox(table, 0)->isChecked());
    delete calc;
}

void TestStatusCalc::decimalSwitchKeepsText()
{
    StatusCalc *calc = makeCalc("FF", 0, 0x3u);
    auto *table = calc->findChild<QTableWidget *>("tableWidget");
    calc->decryptStatus();
    QCOMPARE(tableText(table), QString("Питание=Авария [bitN_0], Вход 1=Замкнут [bitN_1]"));
    QTest::mouseClick(calc->findChild<QRadioButton *>("decRadioButton"), Qt::LeftButton);
    QCOMPARE(calc->findChild<QLineEdit *>("statusCode")->text(), QString("FF"));
    calc->decryptStatus();
    QCOMPARE(tableText(table), QString("Питание=Норма [bitN_0], Вход 1=Разомкнут [bitN_1]"));
    delete calc;
}

void TestStatusCalc::validatorFollowsBase()
{
    StatusCalc *calc = makeCalc("", 0, 0);
    auto *edit = calc->findChild<QLineEdit *>("statusCode");
    QCOMPARE(edit->text(), QString("00000000"));
    QCOMPARE(edit->maxLength(), 10);
    edit->clear();
    QTest::keyClicks(edit, "1aG2bcdef9");
    QCOMPARE(edit->text(), QString("1a2bcdef")); // hex digits only, at most 8
    QTest::mouseClick(calc->findChild<QRadioButton *>("decRadioButton"), Qt::LeftButton);
    edit->clear();
    QTest::keyClicks(edit, "12a34567890123");
    QCOMPARE(edit->text(), QString("1234567890")); // decimal digits only, at most 10
    delete calc;
}

void TestStatusCalc::refreshWithAndWithoutCode()
{
    StatusCalc *calc = makeCalc("00000001", 0, 0x3u);
    auto *table = calc->findChild<QTableWidget *>("tableWidget");
    QSignalSpy asked(calc, &StatusCalc::getStatusCode);
    // The window answers a refresh with the code it knows, which may be none.
    connect(calc, &StatusCalc::getStatusCode, calc, [calc] { calc->updateStatusCode(QString()); });
    QTest::mouseClick(calc->findChild<QPushButton *>("refreshStatusButton"), Qt::LeftButton);
    QCOMPARE(asked.count(), 1);
    QCOMPARE(tableText(table), QString("Питание=Авария [bitN_0], Вход 1=Разомкнут [bitN_1]"));

    QTest::mouseClick(calc->findChild<QRadioButton *>("decRadioButton"), Qt::LeftButton);
    calc->updateStatusCode("2");
    QVERIFY(calc->findChild<QRadioButton *>("hexRadioButton")->isChecked());
    QCOMPARE(calc->findChild<QLineEdit *>("statusCode")->text(), QString("2"));
    QCOMPARE(tableText(table), QString("Питание=Норма [bitN_0], Вход 1=Замкнут [bitN_1]"));
    delete calc;
}

void TestStatusCalc::closeReportsEventMask_data()
{
    QTest::addColumn<bool>("escape");
    QTest::newRow("close button") << false;
    QTest::newRow("escape key") << true;
}

void TestStatusCalc::closeReportsEventMask()
{
    QFETCH(bool, escape);
    QPointer<StatusCalc> calc = makeCalc("0", 0x1u, 0x3u);
    QSignalSpy reported(calc.data(), &StatusCalc::updateStatusMask);
    calc->show();
    calc->decryptStatus();
    auto *table = calc->findChild<QTableWidget *>("tableWidget");
    QTest::mouseClick(eventBox(table, 1), Qt::LeftButton);
    if (escape)
        QTest::keyClick(calc.data(), Qt::Key_Escape);
    else
        QTest::mouseClick(calc->findChild<QPushButton *>("closeStatusCalcButton"), Qt::LeftButton);
    QCOMPARE(reported.count(), 1);
    QCOMPARE(reported.at(0).at(0).value<quint32>(), 0x3u);
    QTRY_VERIFY(calc.isNull()); // deleted once closed
}

QTEST_MAIN(TestStatusCalc)
#include "tst_statuscalc.moc"
