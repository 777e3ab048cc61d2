#include "commissionreportpdf.h"
#include "resources.h"
#include "testsupport.h"

#include <QtTest>

// The hand-over document of a commissioning run: what it says of each reader, texts of the run
// and of the engineer shown as text, and the PDF file.
class TestBusPageReport : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { initZemoResources(); }
    void readerRows_data();
    void readerRows();
    void header();
    void pdf_data();
    void pdf();
};

namespace {
CommissionHeader runHeader()
{
    CommissionHeader h;
    h.started = QDateTime(QDate(2026, 12, 7), QTime(15, 30, 5));
    h.ended = QDateTime(QDate(2026, 12, 7), QTime(15, 42, 0));
    h.templateName = "site.xml";
    h.programVersion = "0.3.3";
    h.note = "Склад 2 <щит А>\nлиния 1";
    h.mode = "assign 11-40 from 1";
    return h;
}

CommissionRecord record(CommissionRecord::Verdict verdict)
{
    CommissionRecord r;
    r.time = QDateTime(QDate(2026, 12, 7), QTime(15, 31, 10));
    r.addressBefore = 1;
    r.baudBefore = 19200;
    r.addressAfter = 11;
    r.baudAfter = 9600;
    r.device = "220";
    r.firmwareBefore = "1.2.0";
    r.firmwareAfter = "1.3.2";
    r.written = QStringList {"rs485_addr_220=b", "rs485_speed_220=9600"};
    r.verdict = verdict;
    r.answers = 14;
    r.resends = 1;
    r.checksumErrors = 2;
    r.medianAnswerMs = 9;
    return r;
}
} // namespace

void TestBusPageReport::readerRows_data()
{
    QTest::addColumn<CommissionRecord>("record");
    QTest::addColumn<QStringList>("shown"); // pieces of the row's HTML, in order
    QTest::addColumn<QStringList>("notShown");

    QTest::newRow("verified, new address, speed and firmware")
            << record(CommissionRecord::Verified)
            << QStringList {"15:31:10",
                            "1 (19200) &rarr; 11 (9600)",
                            "220",
                            "1.2.0 &rarr; 1.3.2",
                            "rs485_addr_220=b<br>rs485_speed_220=9600",
                            "<b>проверен</b>",
                            "ответов 14, повторов 1, ошибок КС 2, медиана 9 мс"}
            << QStringList {};
    CommissionRecord differs = record(CommissionRecord::Differs);
    differs.differences = QStringList {"gen_mode_220: 2, 0"};
    QTest::newRow("differs, with the setting")
            << differs << QStringList {"<b>отличается</b><br>gen_mode_220: 2, 0"} << QStringList {};
    CommissionRecord failed = record(CommissionRecord::Failed);
    failed.addressAfter = 1;
    failed.baudAfter = 19200;
    failed.firmwareAfter.clear();
    failed.written.clear();
    failed.reason = "reader silent <after write>";
    failed.medianAnswerMs = -1;
    QTest::newRow("failed, nothing changed, hostile reason")
            << failed
            << QStringList {"<td>1 (19200)</td>", "<td>1.2.0</td>", "<td>-</td>",
                            "<b>не настроен</b><br>reader silent &lt;after write&gt;", "медиана -"}
            << QStringList {"&rarr; 1 (19200)", "<after write>"};
    CommissionRecord untouched;
    untouched.addressBefore = 25;
    QTest::newRow("untouched") << untouched
                               << QStringList {"<td>-</td><td>25</td>", "<b>не затронут</b>"}
                               << QStringList {"ответов"};
}

void TestBusPageReport::readerRows()
{
    QFETCH(CommissionRecord, record);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, notShown);
    const QString html = CommissionReportPdf::html(runHeader(), {record});
    const QString row = html.mid(html.lastIndexOf("<tr>"));
    int at = 0;
    for (const QString &piece : shown) {
        const int found = row.indexOf(piece, at);
        QVERIFY2(found >= 0, qPrintable(piece + "\nin\n" + row));
        at = found + piece.size();
    }
    for (const QString &piece : notShown)
        QVERIFY2(!row.contains(piece), qPrintable(piece));
}

void TestBusPageReport::header()
{
    const QString html = CommissionReportPdf::html(runHeader(), {record(CommissionRecord::Verified),
                                                                 record(CommissionRecord::Failed)});
    for (const QString &piece :
         {QString("2026-12-07 15:30:05"), QString("2026-12-07 15:42:00"), QString("site.xml"),
          QString("assign 11-40 from 1"), QString("0.3.3"),
          QString("Склад 2 &lt;щит А&gt;<br>линия 1"), QString("2, проверено 1")})
        QVERIFY2(html.contains(piece), qPrintable(piece));
}

void TestBusPageReport::pdf_data()
{
    QTest::addColumn<QString>("relative"); // under a temporary folder
    QTest::addColumn<bool>("written");
    QTest::newRow("new folder") << "reports/r.pdf" << true;
    QTest::newRow("older file replaced") << "old.pdf" << true;
    QTest::newRow("folder is a file") << "blocker/r.pdf" << false;
}

void TestBusPageReport::pdf()
{
    QFETCH(QString, relative);
    QFETCH(bool, written);
    QTemporaryDir dir;
    QVERIFY(writeTestFile(dir.filePath("old.pdf"), "not a report"));
    QVERIFY(writeTestFile(dir.filePath("blocker"), "a file"));
    QList<CommissionRecord> records;
    for (int i = 0; i < 40; ++i)
        records << record(i % 3 ? CommissionRecord::Verified : CommissionRecord::Differs);
    QString error;
    const QString path = dir.filePath(relative);
    QCOMPARE(CommissionReportPdf::writePdf(path, runHeader(), records, &error), written);
    if (written) {
        QVERIFY(readTestFile(path).startsWith("%PDF-"));
        QVERIFY(error.isEmpty());
    } else {
        QCOMPARE(error, "Не удалось записать отчёт: " + QDir::toNativeSeparators(path));
    }
}

QTEST_MAIN(TestBusPageReport)
#include "tst_buspage_report.moc"
