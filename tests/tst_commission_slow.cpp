// ctest: slow
// Thirty readers in each mode of the commissioning run, with the bus's faults: a reader that
// falls silent, one that refuses its values, one whose firmware devices.db does not know, and
// the converter pulled in the middle of a write and plugged in again. Each reader waits out the
// link's second of reboot hold, so a run takes about a minute. The report's rows are checked
// against what the simulated readers hold afterwards.
#include "commissioningrun.h"
#include "commissionreport.h"
#include "linkonbus.h"

#include <QtTest>

namespace {

QByteArray siteTemplate(bool withSpeed)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<configuration>\n"
                     " <rs485_addr_220 param=\"5\"/>\n"
                     " <gen_stat_220 param=\"1\"/>\n"
                     " <pull_up_220 param=\"1\"/>\n"
                     " <gen_mode_220 param=\"2\"/>\n";
    if (withSpeed)
        xml += " <rs485_speed_220 param=\"38400\"/>\n";
    return xml + "</configuration>\n";
}

// The rows of a CSV text as its fields (quotes undone), from the line of column names on.
QList<QStringList> csvRows(const QByteArray &csv)
{
    QString text = QString::fromUtf8(csv);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text.at(i + 1) == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            row << field;
            field.clear();
        } else if (c == '\r') {
            continue;
        } else if (c == '\n') {
            row << field;
            field.clear();
            rows << row;
            row.clear();
        } else {
            field += c;
        }
    }
    // The table starts after the empty line that ends the header.
    const int blank = rows.indexOf(QStringList {QString()});
    return blank < 0 ? QList<QStringList>() : rows.mid(blank + 1);
}

// Every write command (and reboot) seen for an address, "0600" and so on, in order.
QMap<int, QStringList> writesByAddress(const SimBus &bus)
{
    QMap<int, QStringList> out;
    for (const QByteArray &frame : bus.requests()) {
        if (frame.size() < 5)
            continue;
        const int code = (quint8(frame.at(3)) << 8) | quint8(frame.at(4));
        if (code == 0x0300 || code == 0x0302 || (code >= 0x0600 && code <= 0x0602))
            out[quint8(frame.at(0))] << QString::number(code, 16).rightJustified(4, '0') + ' '
                                                + frame.mid(5, frame.size() - 6).toHex();
    }
    return out;
}

struct Expected
{
    CommissionRecord::Verdict verdict = CommissionRecord::Verified;
    CommissionRecord::Cause cause = CommissionRecord::NoCause;
};

} // namespace

class TestCommissionSlow : public QObject
{
    Q_OBJECT
private slots:
    void selectedReaders();
    void addressAssignment();
};

void TestCommissionSlow::selectedReaders()
{
    LinkOnBus on;
    on.link.setAnswerTimeoutMs(200);
    QTemporaryDir dir;
    const QString path = dir.filePath("converter");
    on.bus.close();
    QVERIFY(on.bus.open(path));
    on.link.setPortName(path);

    // Readers 11 to 40: 15 silent, 20 refusing, 25 on an unknown firmware, 30 to 33 at 9600,
    // 35 holding the template already.
    QMap<int, SimReader *> readers;
    QMap<int, SimReaderSettings> initial;
    QMap<int, Expected> expected;
    CommissionOptions options;
    options.templateXml = siteTemplate(false);
    options.templateName = "site.xml";
    options.note = "Цех 3";
    for (int a = 11; a <= 40; ++a) {
        SimReaderSettings s = simReader(quint8(a), a >= 30 && a <= 33 ? 9600 : 19200);
        Expected e;
        if (a == 15) {
            s.silentRequests = 1000000;
            e = {CommissionRecord::Failed, CommissionRecord::Silent};
        } else if (a == 20) {
            s.rejectWrites = 2;
            e = {CommissionRecord::Failed, CommissionRecord::Refused};
        } else if (a == 25) {
            s.firmware = "0.9.0";
            e = {CommissionRecord::Failed, CommissionRecord::Unsupported};
        } else if (a == 35) {
            s.genState = 1;
            s.pullUp = 1;
            s.genMode = 2;
        }
        initial[a] = s;
        readers[a] = on.addReader(s);
        expected[a] = e;
        options.targets.append({a, int(s.speed)});
    }

    // The converter is pulled while reader 22 takes its pull-up, and plugged in again.
    bool pulled = false;
    connect(&on.bus, &SimBus::requestReceived, this, [&](const QByteArray &frame) {
        if (pulled || frame.size() < 5 || quint8(frame.at(0)) != 22 || quint8(frame.at(3)) != 6
            || quint8(frame.at(4)) != 1)
            return;
        pulled = true;
        QTimer::singleShot(0, this, [&] { on.bus.close(); });
        QTimer::singleShot(700, this, [&] { QVERIFY(on.bus.open(path)); });
    });

    CommissioningRun run(&on.link, &on.db);
    run.setConverterWaitMs(10000);
    QList<bool> pauses;
    QList<CommissionRecord> done;
    bool finished = false;
    connect(&run, &CommissioningRun::paused, this, [&](bool p) { pauses << p; });
    connect(&run, &CommissioningRun::readerDone, this,
            [&](const CommissionRecord &r) { done << r; });
    connect(&run, &CommissioningRun::finished, this, [&] { finished = true; });
    QString error;
    QVERIFY2(run.start(options, &error), qPrintable(error));
    QVERIFY(LinkOnBus::waitFor([&] { return finished; }, 180000));

    QVERIFY(pulled);
    QCOMPARE(pauses, QList<bool>({true, false}));
    QCOMPARE(done.size(), 30);
    QCOMPARE(on.bus.overlappingRequests(), 0);
    // Nothing is written twice: each value went to its reader once, the one cut off by the
    // pulled converter included (the reader read again shows it).
    const QMap<int, QStringList> writes = writesByAddress(on.bus);
    for (auto it = writes.cbegin(); it != writes.cend(); ++it) {
        QStringList once = it.value();
        QVERIFY2(once.removeDuplicates() == 0,
                 qPrintable(QString("%1: %2").arg(it.key()).arg(it.value().join(", "))));
    }
    QCOMPARE(writes.value(22).size(), 3);
    QVERIFY(!writes.contains(35));

    const QList<QStringList> rows = csvRows(CommissionReport::csv(run.header(), run.records()));
    QCOMPARE(rows.size(), 31);
    QCOMPARE(rows.at(0), CommissionReport::columns());
    for (int i = 1; i < rows.size(); ++i) {
        const QStringList row = rows.at(i);
        const int a = row.at(1).toInt();
        const SimReaderSettings now = readers.value(a)->settings();
        const SimReaderSettings before = initial.value(a);
        const CommissionRecord record = run.records().at(i - 1);
        QCOMPARE(record.verdict, expected.value(a).verdict);
        QCOMPARE(record.cause, expected.value(a).cause);
        QCOMPARE(row.at(9), CommissionReport::verdictText(record.verdict));
        // Address and speed after are where the reader is.
        QCOMPARE(row.at(2).toInt(), int(now.address));
        QCOMPARE(row.at(4).toInt(), int(now.speed));
        // A reader silent from the first request never told who it is.
        QCOMPARE(row.at(5), a == 15 ? QString() : QString("220"));
        QCOMPARE(row.at(7), a == 15 ? QString() : now.firmware);
        if (record.verdict == CommissionRecord::Verified) {
            QCOMPARE(int(now.genState), 1);
            QCOMPARE(int(now.pullUp), 1);
            QCOMPARE(int(now.genMode), 2);
            // What was written is what the reader did not hold, the pulled pull-up of reader 22
            // aside: it was taken, but its answer was lost.
            QStringList written;
            if (before.genState != 1)
                written << "gen_stat_220=1";
            if (before.pullUp != 1 && a != 22)
                written << "pull_up_220=1";
            if (before.genMode != 2)
                written << "gen_mode_220=2";
            QCOMPARE(row.at(8), written.join("; "));
            QCOMPARE(readers.value(a)->rebootCount(), written.isEmpty() ? 0 : 1);
            QVERIFY2(row.at(11).toInt() >= 4, qPrintable(row.join(',')));
        } else {
            QCOMPARE(row.at(8), QString());
            QVERIFY2(!row.at(10).isEmpty(), qPrintable(row.join(',')));
            QCOMPARE(int(now.genState), int(before.genState));
            QCOMPARE(int(now.genMode), int(before.genMode));
            QCOMPARE(readers.value(a)->rebootCount(), 0);
        }
    }
    QVERIFY(!on.link.isPortOpen());
}

void TestCommissionSlow::addressAssignment()
{
    LinkOnBus on;
    on.link.setAnswerTimeoutMs(200);
    QTemporaryDir dir;
    const QString path = dir.filePath("converter");
    on.bus.close();
    QVERIFY(on.bus.open(path));
    on.link.setPortName(path);

    // Thirty new readers at the factory address 1, 19200 baud, one at a time: the 5th falls
    // silent after its identity, the 10th refuses its values, the 15th runs a firmware devices.db
    // does not know; the converter is pulled while the 20th takes its generation mode.
    QList<SimReaderSettings> coming;
    for (int i = 1; i <= 30; ++i) {
        SimReaderSettings s = simReader(1);
        s.counter = i; // tells them apart in a failure message
        if (i == 10)
            s.rejectWrites = 1;
        if (i == 15)
            s.firmware = "0.9.0";
        coming << s;
    }
    QList<SimReader *> plugged;
    auto plugNext = [&] {
        if (plugged.size() < coming.size())
            plugged << on.addReader(coming.at(plugged.size()));
    };
    plugNext();

    bool pulled = false;
    connect(&on.bus, &SimBus::requestReceived, this, [&](const QByteArray &frame) {
        if (frame.size() < 5 || quint8(frame.at(0)) != 1)
            return;
        const int code = (quint8(frame.at(3)) << 8) | quint8(frame.at(4));
        // The 5th answers its identity, then nothing.
        if (plugged.size() == 5 && code == 0x0700)
            plugged.last()->settings().silentRequests = 1000000;
        if (plugged.size() == 20 && code == 0x0602 && !pulled) {
            pulled = true;
            QTimer::singleShot(0, this, [&] { on.bus.close(); });
            QTimer::singleShot(700, this, [&] { QVERIFY(on.bus.open(path)); });
        }
    });

    CommissioningRun run(&on.link, &on.db);
    run.setConverterWaitMs(10000);
    QList<bool> pauses;
    QList<CommissionRecord> done;
    bool finished = false;
    connect(&run, &CommissioningRun::paused, this, [&](bool p) { pauses << p; });
    connect(&run, &CommissioningRun::readerDone, this,
            [&](const CommissionRecord &r) { done << r; });
    connect(&run, &CommissioningRun::finished, this, [&] { finished = true; });
    connect(&run, &CommissioningRun::waitingForReader, this, [&](int factory, int) {
        // The engineer takes away what is at the factory address (a reader that failed) and
        // wires the next reader; taking one off and wiring the next takes him a second.
        bool tookOff = false;
        for (SimReader *r : qAsConst(plugged)) {
            if (r->settings().address == factory) {
                r->settings().address = 0;
                tookOff = true;
            }
        }
        if (plugged.size() == coming.size()) {
            run.stop();
            return;
        }
        QTimer::singleShot(tookOff ? 1000 : 200, this, plugNext);
    });

    CommissionOptions options;
    options.templateXml = siteTemplate(true);
    options.templateName = "site.xml";
    options.mode = CommissionOptions::Assign;
    options.firstAddress = 11;
    options.lastAddress = 40;
    QString error;
    QVERIFY2(run.start(options, &error), qPrintable(error));
    QVERIFY(LinkOnBus::waitFor([&] { return finished; }, 240000));

    QVERIFY(pulled);
    QCOMPARE(pauses, QList<bool>({true, false}));
    QCOMPARE(done.size(), 30);
    QCOMPARE(on.bus.overlappingRequests(), 0);
    const QMap<int, QStringList> writes = writesByAddress(on.bus);
    QStringList all = writes.value(1);
    // Each reader's values once: 27 readers, five commands each.
    QCOMPARE(all.size(), 27 * 5 + 1);

    const QList<QStringList> rows = csvRows(CommissionReport::csv(run.header(), run.records()));
    QCOMPARE(rows.size(), 31);
    int next = 11;
    for (int i = 0; i < 30; ++i) {
        const QStringList row = rows.at(i + 1);
        const CommissionRecord record = run.records().at(i);
        const SimReaderSettings now = plugged.at(i)->settings();
        const int n = i + 1;
        QVERIFY2(row.at(1) == "1", qPrintable(row.join(',')));
        if (n == 5 || n == 10 || n == 15) {
            QCOMPARE(record.verdict, CommissionRecord::Failed);
            QCOMPARE(record.cause, n == 5    ? CommissionRecord::Silent
                                   : n == 10 ? CommissionRecord::Refused
                                             : CommissionRecord::Unsupported);
            QCOMPARE(row.at(2), QString("1"));
            QCOMPARE(row.at(8), QString());
            QCOMPARE(plugged.at(i)->rebootCount(), 0);
            QCOMPARE(plugged.at(i)->pendingAddress(), quint8(0));
            QCOMPARE(now.speed, 19200u);
            continue;
        }
        QVERIFY2(record.verdict == CommissionRecord::Verified,
                 qPrintable(QString("reader %1: %2").arg(n).arg(row.join(','))));
        QCOMPARE(row.at(2).toInt(), next);
        QCOMPARE(int(now.address), next);
        QCOMPARE(row.at(3), QString("19200"));
        QCOMPARE(row.at(4), QString("38400"));
        QCOMPARE(now.speed, 38400u);
        QCOMPARE(int(now.genMode), 2);
        QCOMPARE(int(now.pullUp), 1);
        QCOMPARE(plugged.at(i)->rebootCount(), 1);
        const QString written = QString("gen_stat_220=1; pull_up_220=1; gen_mode_220=2; "
                                        "rs485_speed_220=38400; rs485_addr_220=%1")
                                        .arg(next);
        // The 20th took its generation mode as the converter went; its answer was lost.
        QCOMPARE(row.at(8), n == 20 ? QString(written).remove("gen_mode_220=2; ") : written);
        ++next;
    }
    QCOMPARE(next, 38);
}

QTEST_MAIN(TestCommissionSlow)
#include "tst_commission_slow.moc"
