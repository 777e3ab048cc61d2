// The commissioning run: what it plans to write and how it judges a reader (tables), its CSV
// report, and short runs on the simulated bus: a reader that holds the template already, a stop
// in the middle, a template its firmware cannot take, a firmware image brought in on the way.
// Thirty readers in each mode with the bus's faults are in tst_commission_slow.
#include "commissioningplan.h"
#include "commissioningrun.h"
#include "commissionreport.h"
#include "firmwareimage.h"
#include "linkonbus.h"
#include "updatetestfiles.h"

#include <QtTest>

namespace {

using Values = CommissioningPlan::Values;

// A configuration file as the window saves one: the settings given, the address in hexadecimal.
QByteArray templateFile(const QList<QPair<QString, QString>> &elements)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<configuration>\n";
    for (const auto &e : elements)
        xml += " <" + e.first.toUtf8() + " param=\"" + e.second.toUtf8() + "\"/>\n";
    return xml + "</configuration>\n";
}

// gen 1, pull-up 1, generation mode 2, and an address that no mode uses.
QByteArray standardTemplate()
{
    return templateFile({{"rs485_addr_220", "5"},
                         {"gen_stat_220", "1"},
                         {"pull_up_220", "1"},
                         {"gen_mode_220", "2"}});
}

QString valuesText(const Values &values)
{
    QStringList out;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        out << it.key() + '=' + QString::number(it.value());
    return out.join(' ');
}

QString changesText(const QList<CommissioningPlan::Change> &changes)
{
    QStringList out;
    for (const auto &c : changes)
        out << c.first + '=' + QString::number(c.second);
    return out.join(' ');
}

Values values(const QString &text)
{
    Values out;
    for (const QString &pair : text.split(' ', Qt::SkipEmptyParts))
        out.insert(pair.section('=', 0, 0), pair.section('=', 1).toInt());
    return out;
}

// The write commands the bus saw for an address: "0600 0601 ...".
QString writesTo(const SimBus &bus, int address)
{
    QStringList out;
    for (const QByteArray &frame : bus.requests()) {
        if (frame.size() < 5 || quint8(frame.at(0)) != address)
            continue;
        const int code = (quint8(frame.at(3)) << 8) | quint8(frame.at(4));
        if (code == 0x0300 || code == 0x0302 || (code >= 0x0600 && code <= 0x0602) || code == 0x0200)
            out << QString::number(code, 16).rightJustified(4, '0');
    }
    return out.join(' ');
}

// A run on a bus of its own, wired as a face wires it, with what it reported.
struct RunRig
{
    LinkOnBus on;
    CommissioningRun run {&on.link, &on.db};
    QList<CommissionRecord> done;
    QStringList steps;
    QList<bool> pauses;
    int waits = 0;
    bool finished = false;

    RunRig()
    {
        // Silent readers are part of these cases, not what they are about.
        on.link.setAnswerTimeoutMs(150);
        on.link.setPortName(on.bus.devicePath());
        QObject::connect(&run, &CommissioningRun::readerDone, &run,
                         [this](const CommissionRecord &r) { done << r; });
        QObject::connect(&run, &CommissioningRun::step, &run, [this](int a, const QString &s) {
            steps << QString::number(a) + ' ' + s;
        });
        QObject::connect(&run, &CommissioningRun::paused, &run, [this](bool on) { pauses << on; });
        QObject::connect(&run, &CommissioningRun::waitingForReader, &run, [this] { ++waits; });
        QObject::connect(&run, &CommissioningRun::finished, &run, [this] { finished = true; });
    }
    bool waitFinished(int ms = 20000)
    {
        return LinkOnBus::waitFor([this] { return finished; }, ms);
    }
};

CommissionOptions selected(const QList<int> &addresses, const QByteArray &xml = standardTemplate())
{
    CommissionOptions o;
    o.templateXml = xml;
    o.templateName = "site.xml";
    o.mode = CommissionOptions::Selected;
    for (int a : addresses)
        o.targets.append({a, 19200});
    return o;
}

} // namespace

Q_DECLARE_METATYPE(CommissionOptions)

class TestCommission : public QObject
{
    Q_OBJECT
private slots:
    void templateValues_data();
    void templateValues();
    void changes_data();
    void changes();
    void addressLists_data();
    void addressLists();
    void reportFields_data();
    void reportFields();
    void reportFile();

    void startRefused_data();
    void startRefused();
    void readerHoldingTheTemplateIsNotWritten();
    void stopInTheMiddle();
    void templateTheFirmwareCannotTake();
    void firmwareBroughtUpOnTheWay();
    void stillThereAfterFailing();
    void occupiedAddressesPassedOver_data();
    void occupiedAddressesPassedOver();
};

void TestCommission::templateValues_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("expected"); // the values, or "error: <word in the reason>"
    QTest::newRow("address in hexadecimal, the rest decimal")
            << templateFile({{"rs485_addr_220", "1a"},
                             {"rs485_speed_220", "38400"},
                             {"gen_mode_220", "2"}})
            << "gen_mode_220=2 rs485_addr_220=26 rs485_speed_220=38400";
    QTest::newRow("read-only items of a saved read passed over")
            << templateFile({{"fw_ver", "1.3.2"}, {"gen_stat_220", "1"}, {"ser_num", "x"}})
            << "gen_stat_220=1";
    QTest::newRow("no settings at all") << templateFile({}) << "";
    QTest::newRow("speed outside the list")
            << templateFile({{"rs485_speed_220", "1234"}}) << "error: 1234";
    QTest::newRow("value no number") << templateFile({{"pull_up_220", "on"}}) << "error: on";
    QTest::newRow("negative choice") << templateFile({{"gen_stat_220", "-1"}}) << "error: -1";
    QTest::newRow("address 255") << templateFile({{"rs485_addr_220", "ff"}}) << "error: 255";
    QTest::newRow("foreign root") << QByteArray("<settings><gen_stat_220 param=\"1\"/></settings>")
                                  << "error: шаблон";
    QTest::newRow("no XML") << QByteArray("gen=1") << "error: шаблон";
}

void TestCommission::templateValues()
{
    QFETCH(QByteArray, xml);
    QFETCH(QString, expected);
    Values out;
    QString error;
    const bool ok = CommissioningPlan::templateValues(xml,
                                                      {"2400", "4800", "9600", "19200", "38400",
                                                       "57600", "115200"},
                                                      &out, &error);
    if (expected.startsWith("error: ")) {
        QVERIFY2(!ok, qPrintable(valuesText(out)));
        QVERIFY2(error.contains(expected.mid(7)), qPrintable(error));
    } else {
        QVERIFY2(ok, qPrintable(error));
        QCOMPARE(valuesText(out), expected);
    }
}

void TestCommission::changes_data()
{
    QTest::addColumn<QString>("templateValues");
    QTest::addColumn<int>("address"); // the run's
    QTest::addColumn<int>("baud"); // the reader's
    QTest::addColumn<QString>("read");
    QTest::addColumn<QString>("changes"); // in write order
    QTest::addColumn<QString>("document");
    const QString read = "rs485_addr_220=1 rs485_speed_220=19200 gen_stat_220=0 pull_up_220=0 "
                         "gen_mode_220=0";
    QTest::newRow("assign: choices first, the address last, in hexadecimal")
            << "rs485_addr_220=5 gen_stat_220=1 gen_mode_220=2" << 26 << 19200 << read
            << "gen_stat_220=1 gen_mode_220=2 rs485_addr_220=26"
            << "<gen_stat_220 param=\"1\"/><gen_mode_220 param=\"2\"/><rs485_addr_220 "
               "param=\"1a\"/>";
    QTest::newRow("a value the reader holds is not written")
            << "gen_stat_220=0 pull_up_220=1" << 1 << 19200 << read << "pull_up_220=1"
            << "<pull_up_220 param=\"1\"/>";
    QTest::newRow("the template's speed before the address")
            << "rs485_speed_220=38400" << 12 << 19200 << read
            << "rs485_speed_220=38400 rs485_addr_220=12"
            << "<rs485_speed_220 param=\"38400\"/><rs485_addr_220 param=\"c\"/>";
    QTest::newRow("no speed in the template: the reader keeps its own")
            << "gen_stat_220=0" << 1 << 19200 << read << ""
            << "";
    QTest::newRow("a setting the read lacks is written")
            << "gen_mode_220=1" << 1 << 19200 << "rs485_addr_220=1 rs485_speed_220=19200"
            << "gen_mode_220=1"
            << "<gen_mode_220 param=\"1\"/>";
}

void TestCommission::changes()
{
    QFETCH(QString, templateValues);
    QFETCH(int, address);
    QFETCH(int, baud);
    QFETCH(QString, read);
    QFETCH(QString, changes);
    QFETCH(QString, document);
    const Values expected = CommissioningPlan::expected(values(templateValues), address, baud);
    const QList<CommissioningPlan::Change> planned = CommissioningPlan::changes(expected,
                                                                                values(read));
    QCOMPARE(changesText(planned), changes);
    QString xml = QString::fromUtf8(CommissioningPlan::changesDocument(planned)).simplified();
    xml.remove(' ').replace("param=", " param=");
    QVERIFY2(xml.contains("<configuration>" + document + "</configuration>")
                     || (document.isEmpty() && xml.contains("<configuration/>")),
             qPrintable(xml));
    // What the read-back would show if the reader took everything: no difference left.
    Values after = values(read);
    for (const auto &c : planned)
        after.insert(c.first, c.second);
    QCOMPARE(CommissioningPlan::differences(expected, after), QStringList());
}

void TestCommission::addressLists_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected"); // addresses, or "error"
    QTest::newRow("range") << "11-15"
                           << "11 12 13 14 15";
    QTest::newRow("list and ranges in the order given") << "40,5,7-9"
                                                        << "40 5 7 8 9";
    QTest::newRow("one address") << "254"
                                 << "254";
    QTest::newRow("blanks") << " 3 - 4 , 6"
                            << "3 4 6";
    QTest::newRow("address twice") << "5,3-6"
                                   << "error";
    QTest::newRow("range backwards") << "40-11"
                                     << "error";
    QTest::newRow("address 0") << "0-3"
                               << "error";
    QTest::newRow("address 255") << "250-255"
                                 << "error";
    QTest::newRow("empty piece") << "5,,6"
                                 << "error";
    QTest::newRow("no number") << "a-b"
                               << "error";
    QTest::newRow("three parts") << "1-2-3"
                                 << "error";
}

void TestCommission::addressLists()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QList<int> addresses;
    QString error;
    const bool ok = CommissioningPlan::parseAddressList(text, &addresses, &error);
    if (expected == "error") {
        QVERIFY(!ok);
        QVERIFY2(!error.isEmpty(), "a refusal says why");
        return;
    }
    QVERIFY2(ok, qPrintable(error));
    QStringList out;
    for (int a : addresses)
        out << QString::number(a);
    QCOMPARE(out.join(' '), expected);
}

void TestCommission::reportFields_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("field");
    QTest::newRow("plain") << "site 7"
                           << "site 7";
    QTest::newRow("comma quoted") << "a, b"
                                  << "\"a, b\"";
    QTest::newRow("quote doubled") << "say \"hi\""
                                   << "\"say \"\"hi\"\"\"";
    QTest::newRow("line break quoted") << "one\ntwo"
                                       << "\"one\ntwo\"";
    QTest::newRow("formula kept as text") << "=HYPERLINK(\"x\")"
                                          << "\"'=HYPERLINK(\"\"x\"\")\"";
    QTest::newRow("plus") << "+1"
                          << "'+1";
    QTest::newRow("minus") << "-2"
                           << "'-2";
    QTest::newRow("at") << "@SUM(A1)"
                        << "'@SUM(A1)";
    QTest::newRow("empty") << ""
                           << "";
}

void TestCommission::reportFields()
{
    QFETCH(QString, text);
    QFETCH(QString, field);
    QCOMPARE(CommissionReport::field(text), field);
}

void TestCommission::reportFile()
{
    CommissionHeader header;
    header.started = QDateTime(QDate(2026, 12, 7), QTime(15, 55, 0));
    header.ended = QDateTime(QDate(2026, 12, 7), QTime(16, 2, 30));
    header.templateName = "site.xml";
    header.programVersion = "0.3.3";
    header.note = "Склад 2, линия \"А\"";
    header.mode = "assign 11-40 from 1";
    CommissionRecord verified;
    verified.time = QDateTime(QDate(2026, 12, 7), QTime(15, 56, 1));
    verified.addressBefore = 1;
    verified.addressAfter = 11;
    verified.baudBefore = 19200;
    verified.baudAfter = 38400;
    verified.device = "220";
    verified.firmwareBefore = verified.firmwareAfter = "1.3.2";
    verified.written = QStringList {"gen_stat_220=1", "rs485_addr_220=11"};
    verified.verdict = CommissionRecord::Verified;
    verified.answers = 15;
    verified.resends = 1;
    verified.checksumErrors = 1;
    verified.medianAnswerMs = 7;
    CommissionRecord differs = verified;
    differs.addressAfter = 12;
    differs.verdict = CommissionRecord::Differs;
    differs.differences = QStringList {"gen_mode_220: 2, 1"};
    differs.medianAnswerMs = -1;
    CommissionRecord untouched;
    untouched.addressBefore = untouched.addressAfter = 40;
    untouched.baudBefore = untouched.baudAfter = 19200;

    const QByteArray expected
            = "\xEF\xBB\xBF"
              "Отчёт о вводе модулей в работу\r\n"
              "Начало,2026-12-07 15:55:00\r\n"
              "Конец,2026-12-07 16:02:30\r\n"
              "Шаблон,site.xml\r\n"
              "Режим,assign 11-40 from 1\r\n"
              "Версия программы,0.3.3\r\n"
              "Примечание,\"Склад 2, линия \"\"А\"\"\"\r\n"
              "\r\n"
              "Время,Адрес до,Адрес после,Скорость до,Скорость после,Устройство,Прошивка до,"
              "Прошивка после,Записано,Итог,Отличия или причина,Ответов,Повторов,Ошибок КС,"
              "\"Медиана ответа, мс\"\r\n"
              "2026-12-07 15:56:01,1,11,19200,38400,220,1.3.2,1.3.2,gen_stat_220=1; "
              "rs485_addr_220=11,проверен,,15,1,1,7\r\n"
              "2026-12-07 15:56:01,1,12,19200,38400,220,1.3.2,1.3.2,gen_stat_220=1; "
              "rs485_addr_220=11,отличается,\"gen_mode_220: 2, 1\",15,1,1,\r\n"
              ",40,40,19200,19200,,,,,не затронут,,0,0,0,\r\n";
    const QByteArray csv = CommissionReport::csv(header, {verified, differs, untouched});
    QVERIFY2(csv == expected, qPrintable("\n" + QString::fromUtf8(csv)));
}

void TestCommission::startRefused_data()
{
    QTest::addColumn<CommissionOptions>("options");
    QTest::addColumn<QString>("word"); // in the reason
    CommissionOptions assign;
    assign.templateXml = standardTemplate();
    assign.mode = CommissionOptions::Assign;
    assign.firstAddress = 11;
    assign.lastAddress = 40;
    CommissionOptions o = assign;
    o.factoryAddress = 20;
    QTest::newRow("factory address inside the range") << o << "20";
    o = assign;
    o.firstAddress = 41;
    QTest::newRow("empty range") << o << "41";
    o = assign;
    o.factoryBaud = 1234;
    QTest::newRow("factory speed not in the list") << o << "1234";
    o = selected({});
    QTest::newRow("nothing selected") << o << "модуль";
    o = selected({5, 6, 5});
    QTest::newRow("a reader twice") << o << "5";
    o = selected({5}, "<x/>");
    QTest::newRow("template no configuration") << o << "шаблон";
    o = selected({5}, "<configuration><rs485_addr_220 param=\"5\"/></configuration>");
    QTest::newRow("template of nothing but the address") << o << "кроме адреса";
    o = selected({5});
    o.firmwarePath = "/nonexistent/Zemo200_v1.5.0_update.bin";
    QTest::newRow("firmware file missing") << o << "/nonexistent";
}

void TestCommission::startRefused()
{
    QFETCH(CommissionOptions, options);
    QFETCH(QString, word);
    RunRig rig;
    QString error;
    QVERIFY(!rig.run.start(options, &error));
    QVERIFY2(error.contains(word), qPrintable(error));
    QVERIFY(!rig.run.isRunning());
    // Nothing was opened or sent.
    QVERIFY(!rig.on.link.isPortOpen());
    QTest::qWait(50);
    QCOMPARE(rig.on.bus.requests().size(), 0);
}

void TestCommission::readerHoldingTheTemplateIsNotWritten()
{
    RunRig rig;
    SimReaderSettings holding = simReader(7);
    holding.genState = 1;
    holding.pullUp = 1;
    holding.genMode = 2;
    rig.on.addReader(holding);
    SimReader *fresh = rig.on.addReader(simReader(8, 9600));
    CommissionOptions o = selected({7});
    o.targets.append({8, 9600});
    QString error;
    QVERIFY2(rig.run.start(o, &error), qPrintable(error));
    QVERIFY(rig.waitFinished());

    QCOMPARE(rig.done.size(), 2);
    const CommissionRecord first = rig.done.at(0);
    QCOMPARE(first.verdict, CommissionRecord::Verified);
    QCOMPARE(first.written, QStringList());
    // Read once, nothing written, no reboot.
    QCOMPARE(writesTo(rig.on.bus, 7), QString());
    QVERIFY(first.answers >= 4);

    const CommissionRecord second = rig.done.at(1);
    QCOMPARE(second.verdict, CommissionRecord::Verified);
    QCOMPARE(second.written, QStringList({"gen_stat_220=1", "pull_up_220=1", "gen_mode_220=2"}));
    QCOMPARE(writesTo(rig.on.bus, 8), QString("0600 0601 0602 0200"));
    QCOMPARE(second.baudAfter, 9600);
    QCOMPARE(fresh->settings().speed, 9600u);
    QCOMPARE(fresh->settings().genMode, quint8(2));
    QCOMPARE(rig.steps.join(", "), QString("7 identify, 7 compare, 8 identify, 8 write, 8 reboot, "
                                           "8 read back, 8 compare"));
    // The link is handed back as it was: port closed (the run opened it), attended.
    QVERIFY(!rig.on.link.isPortOpen());
    QVERIFY(!rig.on.link.isUnattended());
    QCOMPARE(rig.on.link.resumeAfterLoss(), 0);
    QCOMPARE(rig.on.bus.overlappingRequests(), 0);
}

void TestCommission::stopInTheMiddle()
{
    RunRig rig;
    for (int a : {11, 12, 13})
        rig.on.addReader(simReader(quint8(a)));
    QObject::connect(&rig.run, &CommissioningRun::step, &rig.run,
                     [&rig](int address, const QString &step) {
                         if (address == 12 && step == "write")
                             rig.run.stop();
                     });
    QString error;
    QVERIFY2(rig.run.start(selected({11, 12, 13}), &error), qPrintable(error));
    QVERIFY(rig.waitFinished());

    const QList<CommissionRecord> records = rig.run.records();
    QCOMPARE(records.size(), 3);
    QCOMPARE(records.at(0).verdict, CommissionRecord::Verified);
    // The write under way ends with its reboot; the read-back is not started.
    QCOMPARE(records.at(1).verdict, CommissionRecord::Incomplete);
    QCOMPARE(records.at(1).cause, CommissionRecord::Stopped);
    QCOMPARE(records.at(1).written,
             QStringList({"gen_stat_220=1", "pull_up_220=1", "gen_mode_220=2"}));
    QCOMPARE(writesTo(rig.on.bus, 12), QString("0600 0601 0602 0200"));
    QCOMPARE(rig.on.bus.reader(12)->rebootCount(), 1);
    QCOMPARE(records.at(2).verdict, CommissionRecord::Untouched);
    for (const QByteArray &frame : rig.on.bus.requests())
        QVERIFY2(quint8(frame.at(0)) != 13, qPrintable(hexBytes(frame)));
    QCOMPARE(rig.done.size(), 2);
}

void TestCommission::templateTheFirmwareCannotTake()
{
    // Firmware 1.0.5 offers two generation modes; the template asks for the third.
    RunRig rig;
    SimReader *old = rig.on.addReader(simReader(9, 19200, "1.0.5"));
    QString error;
    QVERIFY2(rig.run.start(selected({9}), &error), qPrintable(error));
    QVERIFY(rig.waitFinished());
    QCOMPARE(rig.done.size(), 1);
    QCOMPARE(rig.done.at(0).verdict, CommissionRecord::Failed);
    QCOMPARE(rig.done.at(0).cause, CommissionRecord::TemplateMisfit);
    QCOMPARE(writesTo(rig.on.bus, 9), QString());
    QCOMPARE(old->settings().genMode, quint8(0));
}

void TestCommission::firmwareBroughtUpOnTheWay()
{
    // An image 1.5.0 for model 200: a 200 at 1.4.0 takes it before its settings, one at 1.5.0
    // and a model 220 do not.
    QTemporaryDir dir;
    const QString path = dir.filePath("Zemo200_v1.5.0_update.bin");
    QVERIFY(writeTestFile(path, FirmwareImage::pack(firmwareTestImage(200, 1, 5, 0, 16),
                                                    {{0x3800, QByteArray(300, 'z')}})));
    RunRig rig;
    SimReaderSettings older = simReader(21, 19200, "1.4.0");
    older.deviceId = 200;
    older.upgradeFirmware = "1.5.0";
    SimReader *upgraded = rig.on.addReader(older);
    SimReaderSettings current = older;
    current.address = 22;
    current.firmware = "1.5.0";
    SimReader *kept = rig.on.addReader(current);
    rig.on.addReader(simReader(23));
    // Model 200 offers two generation modes.
    CommissionOptions o = selected({21, 22, 23},
                                   templateFile({{"gen_stat_220", "1"}, {"gen_mode_220", "1"}}));
    o.firmwarePath = path;
    QString error;
    QVERIFY2(rig.run.start(o, &error), qPrintable(error));
    QVERIFY(rig.waitFinished(30000));

    QCOMPARE(rig.done.size(), 3);
    for (const CommissionRecord &r : qAsConst(rig.done))
        QVERIFY2(r.verdict == CommissionRecord::Verified, qPrintable(r.reason));
    QCOMPARE(rig.done.at(0).firmwareBefore, QString("1.4.0"));
    QCOMPARE(rig.done.at(0).firmwareAfter, QString("1.5.0"));
    QCOMPARE(upgraded->settings().firmware, QString("1.5.0"));
    QCOMPARE(upgraded->receivedPages(), QList<int>({0, 1, 2}));
    QCOMPARE(upgraded->settings().genMode, quint8(1));
    QCOMPARE(rig.done.at(1).firmwareAfter, QString("1.5.0"));
    QVERIFY(kept->receivedPages().isEmpty());
    QCOMPARE(rig.done.at(2).firmwareAfter, QString("1.3.2"));
    QVERIFY(rig.steps.contains("21 firmware"));
    QVERIFY(!rig.steps.contains("22 firmware") && !rig.steps.contains("23 firmware"));
}

void TestCommission::stillThereAfterFailing()
{
    // Assign mode: a reader that refuses its values stays at the factory address. It is not
    // taken for the next one: the run waits until it is gone, and the next reader gets the
    // address it did not take.
    RunRig rig;
    SimReaderSettings refusing = simReader(1);
    refusing.rejectWrites = 3;
    SimReader *first = rig.on.addReader(refusing);
    SimReader *second = nullptr;
    QObject::connect(&rig.run, &CommissioningRun::waitingForReader, &rig.run,
                     [&](int factory, int next, bool failedStillThere) {
                         QCOMPARE(factory, 1);
                         QCOMPARE(next, 11);
                         // Told to take the reader that failed off first.
                         QVERIFY(failedStillThere);
                         if (second) {
                             rig.run.stop();
                             return;
                         }
                         // Unplugged; the next one a moment later.
                         first->settings().address = 250;
                         QTimer::singleShot(600, &rig.run,
                                            [&] { second = rig.on.addReader(simReader(1)); });
                     });
    CommissionOptions o;
    o.templateXml = standardTemplate();
    o.mode = CommissionOptions::Assign;
    o.firstAddress = 11;
    o.lastAddress = 12;
    QObject::connect(&rig.run, &CommissioningRun::readerDone, &rig.run,
                     [&](const CommissionRecord &r) {
                         if (r.verdict == CommissionRecord::Verified)
                             QTimer::singleShot(0, &rig.run, [&] { rig.run.stop(); });
                     });
    QString error;
    QVERIFY2(rig.run.start(o, &error), qPrintable(error));
    QVERIFY(rig.waitFinished());

    QCOMPARE(rig.done.size(), 2);
    QCOMPARE(rig.done.at(0).verdict, CommissionRecord::Failed);
    QCOMPARE(rig.done.at(0).cause, CommissionRecord::Refused);
    QCOMPARE(rig.done.at(0).addressAfter, 1);
    QVERIFY2(rig.done.at(0).reason.contains("gen_stat_220=1"), qPrintable(rig.done.at(0).reason));
    QCOMPARE(rig.done.at(1).verdict, CommissionRecord::Verified);
    QCOMPARE(rig.done.at(1).addressAfter, 11);
    QVERIFY(second);
    QCOMPARE(second->settings().address, quint8(11));
    QCOMPARE(first->pendingAddress(), quint8(0));
    QCOMPARE(first->rebootCount(), 0);
    QCOMPARE(rig.waits, 1);
}

void TestCommission::occupiedAddressesPassedOver_data()
{
    QTest::addColumn<int>("lastAddress");
    QTest::addColumn<int>("newAddress"); // what the new reader gets, 0: nothing is free
    QTest::newRow("the next free one") << 14 << 13;
    QTest::newRow("the range taken") << 12 << 0;
}

// Assign mode on a bus where readers of an earlier visit answer at 11 and 12 already: the new
// reader is not given an address another answers at (the two would answer over each other);
// those addresses are passed over, said in the report, and their readers are sent nothing.
void TestCommission::occupiedAddressesPassedOver()
{
    QFETCH(int, lastAddress);
    QFETCH(int, newAddress);
    RunRig rig;
    rig.on.addReader(simReader(11));
    rig.on.addReader(simReader(12));
    SimReader *arriving = rig.on.addReader(simReader(1));
    QList<int> occupied;
    QObject::connect(&rig.run, &CommissioningRun::addressOccupied, &rig.run,
                     [&](int address) { occupied << address; });
    QObject::connect(&rig.run, &CommissioningRun::waitingForReader, &rig.run, [&](int, int next) {
        QCOMPARE(next, newAddress + 1);
        rig.run.stop();
    });
    CommissionOptions o;
    o.templateXml = standardTemplate();
    o.mode = CommissionOptions::Assign;
    o.firstAddress = 11;
    o.lastAddress = lastAddress;
    QString error;
    QVERIFY2(rig.run.start(o, &error), qPrintable(error));
    QVERIFY(rig.waitFinished());

    QCOMPARE(occupied, QList<int>({11, 12}));
    QCOMPARE(rig.run.header().occupied, QList<int>({11, 12}));
    QCOMPARE(writesTo(rig.on.bus, 11), QString());
    QCOMPARE(writesTo(rig.on.bus, 12), QString());
    const QString csv = QString::fromUtf8(CommissionReport::csv(rig.run.header(), rig.done));
    QVERIFY2(csv.contains("Пропущены занятые адреса,\"11, 12\""), qPrintable(csv));
    if (newAddress == 0) {
        QCOMPARE(rig.done.size(), 0);
        QCOMPARE(rig.waits, 0);
        QCOMPARE(arriving->settings().address, quint8(1));
        return;
    }
    QCOMPARE(rig.done.size(), 1);
    QCOMPARE(rig.done.at(0).verdict, CommissionRecord::Verified);
    QCOMPARE(rig.done.at(0).addressAfter, newAddress);
    QCOMPARE(int(arriving->settings().address), newAddress);
}

QTEST_MAIN(TestCommission)
#include "tst_commission.moc"
